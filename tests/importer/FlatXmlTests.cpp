#include "import/Importer.h"
#include "import_docx/DocxBuilder.h"
#include "kit/foundation/Base64.h"
#include "kit/text/PageSetup.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text) { return { text.begin(), text.end() }; }

std::string pngBase64(int width, int height)
{
    std::string bytes = testdocx::pngBytes(width, height);
    std::string encoded = kit::encodeBase64({ reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size() });
    // Producers break their base64 into lines.
    for (std::size_t at = 76; at < encoded.size(); at += 77)
        encoded.insert(at, 1, '\n');
    return encoded;
}

// ASCII text as UTF-16, with or without a byte-order mark.
std::vector<std::uint8_t> utf16(const std::string& ascii, bool bigEndian, bool mark)
{
    std::vector<std::uint8_t> out;
    auto unit = [&](std::uint8_t high, std::uint8_t low) {
        out.push_back(bigEndian ? high : low);
        out.push_back(bigEndian ? low : high);
    };
    if (mark)
        unit(0xFE, 0xFF);
    for (char ch : ascii)
        unit(0, std::uint8_t(ch));
    return out;
}

const kit::Attributes& at(const kit::TextStorage& text, const std::string& needle)
{
    auto index = text.string().find(needle);
    EXPECT_NE(index, std::string::npos) << needle << " in " << text.string();
    return text.attributesAt(index == std::string::npos ? 0 : index);
}

// Both test documents set up one section: A5 landscape, 2 cm margins, a running head.
void expectA5LandscapeWithAHeader(const kit::TextStorage& text)
{
    ASSERT_TRUE(text.pageSetup());
    ASSERT_EQ(text.pageSetup()->sections.size(), 1u);
    const kit::PageSection& section = text.pageSetup()->sections[0];
    EXPECT_NEAR(section.paperSize.width, 595.3, 0.1);
    EXPECT_NEAR(section.paperSize.height, 419.5, 0.1);
    EXPECT_NEAR(section.margins.left, 56.7, 0.1);
    EXPECT_NEAR(section.margins.top, 56.7, 0.1);
    auto header = text.pageSetup()->header(0, kit::HeaderFooterKind::Default);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->string(), "Running head\n");
}

std::string flatOpenDocument(const std::string& declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>")
{
    return declaration + R"xml(
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"
 xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" xmlns:xlink="http://www.w3.org/1999/xlink"
 xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" office:version="1.3"
 office:mimetype="application/vnd.oasis.opendocument.text">
 <office:font-face-decls><style:font-face style:name="Body Face" svg:font-family="'Liberation Serif'"/></office:font-face-decls>
 <office:styles>
  <style:default-style style:family="paragraph"><style:text-properties style:font-name="Body Face" fo:font-size="12pt"/></style:default-style>
  <style:style style:name="Heading_20_1" style:display-name="Heading 1" style:family="paragraph">
   <style:text-properties fo:font-size="18pt" fo:font-weight="bold"/></style:style>
 </office:styles>
 <office:automatic-styles>
  <style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>
  <style:style style:name="T2" style:family="text"><style:text-properties fo:font-style="italic"/></style:style>
  <text:list-style style:name="L1"><text:list-level-style-number text:level="1" style:num-format="1" style:num-suffix=".">
   <style:list-level-properties text:space-before="0.25in" text:min-label-width="0.25in"/></text:list-level-style-number></text:list-style>
  <style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="21cm" fo:page-height="14.8cm"
   fo:margin-top="2cm" fo:margin-bottom="2cm" fo:margin-left="2cm" fo:margin-right="2cm"/></style:page-layout>
 </office:automatic-styles>
 <office:master-styles><style:master-page style:name="Standard" style:page-layout-name="pm1">
  <style:header><text:p>Running head</text:p></style:header></style:master-page></office:master-styles>
 <office:body><office:text>
  <text:h text:style-name="Heading_20_1" text:outline-level="1">Flat heading</text:h>
  <text:p>Plain <text:span text:style-name="T1">bold</text:span> and <text:span text:style-name="T2">italic</text:span> words.</text:p>
  <text:list text:style-name="L1"><text:list-item><text:p>first item</text:p></text:list-item>
   <text:list-item><text:p>second item</text:p></text:list-item></text:list>
  <table:table table:name="T"><table:table-column table:number-columns-repeated="2"/>
   <table:table-row><table:table-cell><text:p>cell one</text:p></table:table-cell><table:table-cell><text:p>cell two</text:p></table:table-cell></table:table-row>
  </table:table>
  <text:p>Picture <draw:frame svg:width="2in" svg:height="1in"><draw:image><office:binary-data>)xml"
        + pngBase64(40, 20) + R"xml(</office:binary-data></draw:image></draw:frame> here.</text:p>
 </office:text></office:body>
</office:document>)xml";
}

std::string wordXml2003(const std::string& declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>")
{
    return declaration + R"xml(
<?mso-application progid="Word.Document"?>
<w:wordDocument xmlns:w="http://schemas.microsoft.com/office/word/2003/wordml" xmlns:v="urn:schemas-microsoft-com:vml"
 xmlns:w10="urn:schemas-microsoft-com:office:word" xmlns:aml="http://schemas.microsoft.com/aml/2001/core"
 xmlns:wx="http://schemas.microsoft.com/office/word/2003/auxHint" xmlns:o="urn:schemas-microsoft-com:office:office"
 xmlns:st1="urn:schemas-microsoft-com:office:smarttags" w:macrosPresent="no" xml:space="preserve">
 <o:DocumentProperties><o:Title>Not shown</o:Title></o:DocumentProperties>
 <w:fonts><w:defaultFonts w:ascii="Arial" w:fareast="Arial" w:h-ansi="Arial" w:cs="Arial"/></w:fonts>
 <w:lists>
  <w:listDef w:listDefId="0"><w:plt w:val="HybridMultilevel"/><w:lvl w:ilvl="0"><w:start w:val="1"/><w:nfc w:val="4"/>
   <w:lvlText w:val="%1)"/><w:pPr><w:ind w:left="720" w:hanging="360"/></w:pPr></w:lvl></w:listDef>
  <w:list w:ilfo="1"><w:ilst w:val="0"/></w:list>
 </w:lists>
 <w:styles>
  <w:style w:type="paragraph" w:default="on" w:styleId="Normal"><w:name w:val="Normal"/>
   <w:rPr><wx:font wx:val="Arial"/><w:sz w:val="24"/><w:sz-cs w:val="24"/></w:rPr></w:style>
  <w:style w:type="paragraph" w:styleId="Heading1"><w:name w:val="heading 1"/><wx:uiName wx:val="Heading 1"/>
   <w:basedOn w:val="Normal"/><w:pPr><w:keep-next/><w:outlineLvl w:val="0"/></w:pPr><w:rPr><w:b/><w:sz w:val="36"/></w:rPr></w:style>
 </w:styles>
 <w:docPr><w:defaultTabStop w:val="720"/><w:footnotePr><w:footnote w:type="separator"><w:p><w:r><w:t>separator</w:t></w:r></w:p></w:footnote></w:footnotePr></w:docPr>
 <w:body><wx:sect><wx:sub-section>
  <w:p><w:pPr><w:pStyle w:val="Heading1"/></w:pPr><w:r><w:t>Old heading</w:t></w:r></w:p>
  <w:p><w:pPr><w:ind w:first-line="360"/></w:pPr><w:r><w:t>Plain </w:t></w:r><w:r><w:rPr><w:b w:val="on"/></w:rPr><w:t>bold</w:t></w:r>
   <w:r><w:t xml:space="preserve"> and </w:t></w:r><w:r><w:rPr><w:i/><w:u w:val="dotted-heavy"/></w:rPr><w:t>italic</w:t></w:r>
   <w:r><w:rPr><w:b w:val="off"/></w:rPr><w:t> words</w:t></w:r>
   <aml:annotation aml:id="1" w:type="Word.Deletion"><aml:content><w:r><w:delText>struck out</w:delText></w:r></aml:content></aml:annotation>
   <aml:annotation aml:id="2" w:type="Word.Insertion"><aml:content><w:r><w:t> added</w:t></w:r></aml:content></aml:annotation>
   <aml:annotation aml:id="3" w:type="Word.Comment"><aml:content><w:p><w:r><w:t>a remark</w:t></w:r></w:p></aml:content></aml:annotation>
   <w:r><w:t>, in </w:t></w:r><st1:place><st1:City><w:r><w:t>Lisbon</w:t></w:r></st1:City></st1:place><w:r><w:t>.</w:t></w:r></w:p>
  <w:p><w:pPr><w:listPr><w:ilvl w:val="0"/><w:ilfo w:val="1"/><wx:t wx:val="a)"/></w:listPr></w:pPr><w:r><w:t>first item</w:t></w:r></w:p>
  <w:p><w:pPr><w:listPr><w:ilvl w:val="0"/><w:ilfo w:val="1"/></w:listPr></w:pPr><w:r><w:t>second item</w:t></w:r></w:p>
  <w:p><w:hlink w:dest="http://example.com/"><w:r><w:t>a link</w:t></w:r></w:hlink>
   <w:r><w:rPr><w:vertAlign w:val="superscript"/></w:rPr><w:footnote><w:p><w:r><w:t>The note.</w:t></w:r></w:p></w:footnote></w:r></w:p>
  </wx:sub-section><wx:sub-section>
  <w:tbl><w:tblPr><w:tblW w:w="0" w:type="auto"/></w:tblPr><w:tblGrid><w:gridCol w:w="2880"/><w:gridCol w:w="2880"/></w:tblGrid>
   <w:tr><w:tc><w:tcPr><w:tcW w:w="2880" w:type="dxa"/><w:vmerge w:val="restart"/></w:tcPr><w:p><w:r><w:t>cell one</w:t></w:r></w:p></w:tc>
    <w:tc><w:tcPr><w:tcW w:w="2880" w:type="dxa"/></w:tcPr><w:p><w:r><w:t>cell two</w:t></w:r></w:p></w:tc></w:tr>
   <w:tr><w:tc><w:tcPr><w:tcW w:w="2880" w:type="dxa"/><w:vmerge/></w:tcPr><w:p/></w:tc>
    <w:tc><w:tcPr><w:tcW w:w="2880" w:type="dxa"/></w:tcPr><w:p><w:r><w:t>cell four</w:t></w:r></w:p></w:tc></w:tr>
  </w:tbl>
  <w:p><w:r><w:t>Picture </w:t></w:r><w:r><w:pict><w:binData w:name="wordml://02000001.png">)xml"
        + pngBase64(40, 20) + R"xml(</w:binData>
   <v:shape id="_x0000_i1025" type="#_x0000_t75" style="width:144pt;height:72pt"><v:imagedata src="wordml://02000001.png" o:title="A picture"/></v:shape></w:pict></w:r>
   <w:r><w:pict><v:shape style="width:72pt;height:36pt"><v:imagedata src="wordml://02000001.png"/></v:shape></w:pict></w:r></w:p>
  <w:sectPr><w:hdr w:type="odd"><w:p><w:r><w:t>Running head</w:t></w:r></w:p></w:hdr>
   <w:pgSz w:w="11906" w:h="8391"/><w:pgMar w:top="1134" w:right="1134" w:bottom="1134" w:left="1134" w:header="709" w:footer="709" w:gutter="0"/></w:sectPr>
 </wx:sub-section></wx:sect></w:body>
</w:wordDocument>)xml";
}

} // namespace

// A flat OpenDocument text is read as its package would be: styles, lists, tables, inline pictures and the
// master page's size and header all come from the one file.
TEST(FlatXml, FlatOpenDocumentReadsAsItsPackageWould)
{
    auto result = importer::importDocument(bytesOf(flatOpenDocument()));
    EXPECT_EQ(result.format, "fodt");
    ASSERT_TRUE(result.text) << errorText(result.error);
    const kit::TextStorage& text = *result.text;
    EXPECT_EQ(text.string().substr(0, 13), "Flat heading\n");
    EXPECT_TRUE(at(text, "Flat heading").bold);
    EXPECT_EQ(at(text, "Flat heading").fontSize, 18);
    EXPECT_EQ(at(text, "Plain").fontFamily, "Liberation Serif");
    EXPECT_TRUE(at(text, "bold").bold);
    EXPECT_FALSE(at(text, "bold").italic);
    EXPECT_TRUE(at(text, "italic").italic);
    EXPECT_NE(text.string().find("1.\tfirst item\n2.\tsecond item\n"), std::string::npos) << text.string();
    ASSERT_TRUE(at(text, "cell two").tableCell);
    EXPECT_EQ(at(text, "cell one").tableCell->column, 0);
    EXPECT_EQ(at(text, "cell two").tableCell->column, 1);
    const auto& picture = at(text, "\xEF\xBF\xBC");
    ASSERT_TRUE(picture.attachment);
    EXPECT_EQ(picture.attachment->mimeType, "image/png");
    EXPECT_EQ(picture.attachment->size, (kit::Size { 144, 72 }));
    expectA5LandscapeWithAHeader(text);
}

// Word 2003 XML goes through the WordprocessingML reader: its own names (list definitions, w:listPr,
// w:hlink, w:vmerge, hyphenated attributes, notes inline, headers in w:sectPr, w:binData pictures) come out
// as their successors' would, and its wrappers neither hide text nor show what was deleted.
TEST(FlatXml, WordXml2003ReadsThroughTheWordprocessingReader)
{
    auto result = importer::importDocument(bytesOf(wordXml2003()));
    EXPECT_EQ(result.format, "wordxml");
    ASSERT_TRUE(result.text) << errorText(result.error);
    const kit::TextStorage& text = *result.text;
    const std::string& string = text.string();
    EXPECT_EQ(string.substr(0, 12), "Old heading\n");
    EXPECT_TRUE(at(text, "Old heading").bold);
    EXPECT_EQ(at(text, "Old heading").fontSize, 18);
    ASSERT_TRUE(at(text, "Old heading").paragraph);
    EXPECT_TRUE(at(text, "Old heading").paragraph->keepWithNext);
    EXPECT_EQ(at(text, "Plain").fontFamily, "Arial") << "the document's default fonts";
    ASSERT_TRUE(at(text, "Plain").paragraph);
    EXPECT_EQ(at(text, "Plain").paragraph->firstLineHeadIndent, 18);
    EXPECT_TRUE(at(text, "bold").bold);
    EXPECT_FALSE(at(text, " words").bold) << "w:val=\"off\"";
    EXPECT_TRUE(at(text, "italic").italic);
    EXPECT_NE(at(text, "italic").underline, kit::LineStyle::None);
    EXPECT_NE(string.find("Plain bold and italic words added, in Lisbon.\n"), std::string::npos) << string;
    EXPECT_EQ(string.find("struck out"), std::string::npos) << "deleted text";
    EXPECT_EQ(string.find("a remark"), std::string::npos) << "comments";
    EXPECT_EQ(string.find("Not shown"), std::string::npos);
    EXPECT_EQ(string.find("separator"), std::string::npos);
    EXPECT_NE(string.find("a)\tfirst item\nb)\tsecond item\n"), std::string::npos) << string;
    EXPECT_EQ(at(text, "a link").link, "http://example.com/");
    auto note = string.find("The note.");
    ASSERT_NE(note, std::string::npos);
    EXPECT_GT(note, string.find("cell four")) << "notes follow the body";

    ASSERT_TRUE(at(text, "cell four").tableCell);
    EXPECT_EQ(at(text, "cell one").tableCell->rowSpan, 2) << "w:vmerge";
    EXPECT_EQ(at(text, "cell two").tableCell->column, 1);
    EXPECT_EQ(at(text, "cell four").tableCell->row, 1);

    std::vector<kit::Size> pictures;
    for (std::size_t index = string.find("\xEF\xBF\xBC"); index != std::string::npos;
         index = string.find("\xEF\xBF\xBC", index + 1)) {
        const auto& attachment = text.attributesAt(index).attachment;
        ASSERT_TRUE(attachment);
        EXPECT_EQ(attachment->mimeType, "image/png") << "the second picture reuses the first one's bytes";
        pictures.push_back(attachment->size);
    }
    EXPECT_EQ(pictures, (std::vector<kit::Size> { { 144, 72 }, { 72, 36 } }));

    expectA5LandscapeWithAHeader(text);
}

// Both formats are told by their root element whatever encoding the file is in, and nothing else that is XML
// is claimed: it stays with HTML or text as before.
TEST(FlatXml, TheRootElementTellsTheFormat)
{
    const std::string utf16Declaration = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>";
    const testsupport::Case<std::vector<std::uint8_t>, const char*> cases[] = {
        { bytesOf("\xEF\xBB\xBF" + flatOpenDocument()), "fodt", "UTF-8 with a byte-order mark" },
        { utf16(flatOpenDocument(utf16Declaration), false, true), "fodt", "UTF-16 little-endian with a mark" },
        { utf16(wordXml2003(utf16Declaration), true, false), "wordxml", "UTF-16 big-endian without a mark" },
        { bytesOf(wordXml2003("<?xml version=\"1.0\"?>\n<!-- saved -->\n<!DOCTYPE x [ <!ENTITY a \"b>\"> ]>")),
            "wordxml", "a comment and a document type with '>' inside before the root" },
        { bytesOf("<?xml version=\"1.0\"?><catalog><book id=\"1\">A title</book></catalog>"), "text",
            "plain XML" },
        { bytesOf("<?xml version=\"1.0\"?><w:wordDocument xmlns:w=\"urn:example:other\"><w:body/></w:wordDocument>"),
            "text", "the same root name in another namespace" },
        { bytesOf("<?xml version=\"1.0\"?><office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\""
                  " office:mimetype=\"application/vnd.oasis.opendocument.spreadsheet\"><office:body/></office:document>"),
            "text", "a flat spreadsheet" },
        { bytesOf("<?xml version=\"1.0\"?><html xmlns=\"http://www.w3.org/1999/xhtml\"><body><p>x</p></body></html>"),
            "html", "XHTML stays HTML" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = importer::importDocument(c.input);
        EXPECT_EQ(result.format, c.expected);
        ASSERT_TRUE(result.text) << errorText(result.error);
    }
    auto damaged = bytesOf(wordXml2003());
    damaged.resize(damaged.size() / 2);
    auto cut = importer::importDocument(damaged);
    EXPECT_EQ(cut.format, "wordxml");
    EXPECT_EQ(cut.error, importer::ImportError::Damaged) << "a file cut short is not valid XML";
}
