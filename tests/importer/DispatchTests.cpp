#include "import/Importer.h"
#include "import_docx/ZipBuilder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const char* kWordTypes = R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
                         R"(<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>)";
const char* kWordBody = R"(<w:document xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main">)"
                        R"(<w:body><w:p><w:r><w:t>from the Word part</w:t></w:r></w:p></w:body></w:document>)";
const char* kOdtContent = R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
                          R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body><office:text>)"
                          R"(<text:p>from the OpenDocument part</text:p></office:text></office:body></office:document-content>)";

std::vector<std::uint8_t> bytesOf(const std::string& text) { return { text.begin(), text.end() }; }

} // namespace

// The importer tries its formats in a fixed order and the first that claims the bytes reads them; a ZIP
// package is then offered to each package format in turn.
TEST(ImporterDispatch, TheFirstFormatThatClaimsTheBytesReadsThem)
{
    auto both = testzip::build({ { "mimetype", "application/vnd.oasis.opendocument.text", false },
        { "content.xml", kOdtContent }, { "[Content_Types].xml", kWordTypes }, { "word/document.xml", kWordBody } });
    auto word = testzip::build({ { "[Content_Types].xml", kWordTypes }, { "word/document.xml", kWordBody } });
    auto neither = testzip::build({ { "readme.txt", "hello" } });
    std::vector<std::uint8_t> cutZip(word.begin(), word.begin() + std::ptrdiff_t(word.size() / 2));
    const struct {
        std::vector<std::uint8_t> bytes;
        const char* format;
        const char* error;
        const char* why;
    } cases[] = {
        { both, "odt", "", "a package with both kinds of parts: OpenDocument's mimetype is the more specific claim" },
        { word, "docx", "", "a Word package" },
        { neither, "none", "not a known format", "a ZIP no package format claims" },
        { cutZip, "none", "truncated", "a ZIP cut in half says why, once, whichever format it was" },
        { bytesOf("{\\rtf1\\ansi rich\\par}"), "rtf", "", "RTF before HTML and text" },
        { bytesOf("<html><body><p>marked up</p></body></html>"), "html", "", "HTML before text" },
        { bytesOf("plain words"), "text", "", "text takes what no other format claimed" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = importer::importDocument(c.bytes);
        EXPECT_EQ(result.format, c.format);
        EXPECT_STREQ(errorText(result.error), c.error);
        EXPECT_EQ(bool(result.text), !*c.error);
    }
}

// kit reaches the RTF writer, which lives beside the reader, through the hook the importer installs.
TEST(ImporterDispatch, InstallsTheRtfWriterForKit)
{
    auto result = importer::importDocument(bytesOf("plain words"));
    ASSERT_TRUE(result.text);
    std::string rtf = result.text->rtfFromRange({ 0, result.text->length() });
    EXPECT_EQ(rtf.rfind("{\\rtf1", 0), 0u) << rtf;
    EXPECT_NE(rtf.find("plain words"), std::string::npos);
}
