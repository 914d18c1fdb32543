#include "DocxBuilder.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

using testdocx::paragraph;

TEST(DocxPackage, MainPartIsFoundThroughRelationshipsNotByPath)
{
    const struct {
        const char* path;
        const char* type;
        bool loads;
        const char* why;
    } cases[] = {
        { "word/document.xml", "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml", true, "the usual place" },
        { "content/main part.xml", "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml", true, "anywhere the relationship says" },
        { "word/document.xml", "application/vnd.ms-word.document.macroEnabled.main+xml", true, ".docm" },
        { "word/document.xml", "application/vnd.openxmlformats-officedocument.wordprocessingml.template.main+xml", true, ".dotx" },
        { "word/document.xml", "application/vnd.ms-word.template.macroEnabledTemplate.main+xml", true, ".dotm" },
        { "xl/workbook.xml", "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml", false, "a workbook is not a text" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        testdocx::Parts parts;
        parts.mainPath = c.path;
        parts.mainType = c.type;
        parts.body = paragraph("Hello");
        auto result = testdocx::import(parts);
        if (c.loads) {
            EXPECT_EQ(result.format, "docx");
            EXPECT_EQ(testdocx::text(result), "Hello\n");
        } else {
            EXPECT_FALSE(result.text);
            EXPECT_EQ(result.error, importer::ImportError::NotKnownFormat);
        }
    }
}

TEST(DocxPackage, PartsOfTheMainPartResolveRelativeToIt)
{
    // Styles found through the main part's relationships, in a folder of its own.
    testdocx::Parts parts;
    parts.mainPath = "doc/main.xml";
    parts.styles = R"(<w:style w:type="paragraph" w:default="1" w:styleId="N"><w:rPr><w:b/></w:rPr></w:style>)";
    parts.body = paragraph("Bold by default");
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text);
    EXPECT_TRUE(testdocx::attributesOf(*result.text, "Bold").bold);
}

TEST(DocxPackage, ContainersThatAreNeitherAreNotAKnownFormat)
{
    const struct {
        std::vector<testzip::Entry> entries;
        const char* why;
    } cases[] = {
        { { { "readme.txt", "hello" } }, "an ordinary archive" },
        { { { "[Content_Types].xml", "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>" } }, "a package without a main part" },
        { { { "mimetype", "application/vnd.oasis.opendocument.spreadsheet", false }, { "content.xml", "<x/>" } }, "an OpenDocument spreadsheet" },
        { { { "[Content_Types].xml", "not xml at all <<<" }, { "_rels/.rels", "\x01\x02" } }, "broken package parts" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto bytes = testzip::build(c.entries);
        auto result = importer::importDocx(testzip::view(bytes));
        EXPECT_FALSE(result.text);
        EXPECT_EQ(result.error, importer::ImportError::NotKnownFormat);
    }
}

TEST(DocxPackage, TruncatedDocumentYieldsNoTextNotItsBytes)
{
    testdocx::Parts parts;
    parts.body = paragraph("Some text that must not leak as bytes");
    auto bytes = testdocx::build(parts);
    const struct {
        std::size_t keep;
        const char* why;
    } cases[] = {
        { bytes.size() - 1, "one byte short" },
        { bytes.size() * 3 / 4, "three quarters" },
        { 30, "a local header only" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + std::ptrdiff_t(c.keep));
        auto result = importer::importDocx(testzip::view(cut));
        EXPECT_FALSE(result.text);
        EXPECT_EQ(result.error, importer::ImportError::Truncated);
    }
    EXPECT_TRUE(importer::importDocx(testzip::view(bytes)).text) << "the whole file reads";
}

TEST(DocxPackage, MalformedXmlInTheMainPartIsAnError)
{
    auto bytes = testzip::build({
        { "[Content_Types].xml", R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>)" },
        { "word/document.xml", "<w:document><w:body><w:p>" },
    });
    auto result = importer::importDocx(testzip::view(bytes));
    EXPECT_FALSE(result.text);
    EXPECT_NE(result.error, importer::ImportError::None);
}

TEST(DocxPackage, HostileStructureStaysBounded)
{
    auto repeat = [](const std::string& text, int count) {
        std::string out;
        for (int i = 0; i < count; ++i)
            out += text;
        return out;
    };
    const testsupport::Case<std::string, const char*> cases[] = {
        { repeat("<w:sdt><w:sdtContent>", 100000) + paragraph("deep") + repeat("</w:sdtContent></w:sdt>", 100000), "",
            "content controls nested 100000 deep: what lies below the depth cap is not read" },
        { repeat("<w:tbl><w:tr><w:tc>", 3000) + paragraph("inner") + repeat("</w:tc></w:tr></w:tbl>", 3000), nullptr,
            "tables nested 3000 deep" },
        { "<w:p>" + repeat("<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>", 100000) + "<w:r><w:t>x</w:t></w:r></w:p>", "\n",
            "a hundred thousand fields begun: their code is never shown" },
        { "<w:p>" + repeat("<w:hyperlink>", 50000) + "<w:r><w:t>link</w:t></w:r>" + repeat("</w:hyperlink>", 50000) + "</w:p>", "\n",
            "hyperlinks nested 50000 deep" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = testdocx::importBody(c.input);
        ASSERT_TRUE(result.text) << errorText(result.error);
        EXPECT_LT(result.text->length(), 20000u);
        if (c.expected) {
            EXPECT_EQ(result.text->string(), c.expected);
        }
    }
}

TEST(DocxPackage, NumberingAndStyleLoopsEnd)
{
    testdocx::Parts parts;
    parts.styles = R"(<w:style w:type="numbering" w:styleId="S1"><w:pPr><w:numPr><w:numId w:val="1"/></w:numPr></w:pPr></w:style>)"
                   R"(<w:style w:type="paragraph" w:styleId="A"><w:basedOn w:val="A"/><w:rPr><w:b/></w:rPr></w:style>)";
    parts.numbering = R"(<w:abstractNum w:abstractNumId="0"><w:numStyleLink w:val="S1"/></w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num>)";
    parts.body = paragraph("Item", "", "<w:pStyle w:val=\"A\"/><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr>");
    auto result = testdocx::import(parts);
    EXPECT_EQ(testdocx::text(result), "Item\n");
    EXPECT_TRUE(testdocx::attributesOf(*result.text, "Item").bold);
}
