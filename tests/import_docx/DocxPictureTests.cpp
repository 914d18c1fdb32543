#include "DocxBuilder.h"

#include <gtest/gtest.h>

using testdocx::paragraph;

namespace {

// A DrawingML picture of the given extent in points (1 pt = 12700 EMU).
std::string drawing(const std::string& relationshipId, float width, float height, const std::string& description = {},
    const std::string& anchor = "inline")
{
    return "<w:r><w:drawing><wp:" + anchor + "><wp:extent cx=\"" + std::to_string(long(width * 12700)) + "\" cy=\"" + std::to_string(long(height * 12700))
        + "\"/><wp:docPr id=\"1\" name=\"Picture 1\" descr=\"" + description + "\"/><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
        + "<pic:pic><pic:blipFill><a:blip r:embed=\"" + relationshipId + "\"/></pic:blipFill></pic:pic></a:graphicData></a:graphic></wp:" + anchor
        + "></w:drawing></w:r>";
}

std::vector<std::shared_ptr<const kit::Attachment>> attachments(const kit::TextStorage& storage)
{
    std::vector<std::shared_ptr<const kit::Attachment>> found;
    const std::string& text = storage.string();
    for (std::size_t at = text.find(kit::kAttachmentCharacter); at != std::string::npos; at = text.find(kit::kAttachmentCharacter, at + 3)) {
        auto attachment = storage.attributesAt(at).attachment;
        EXPECT_TRUE(attachment) << "every U+FFFC carries an attachment";
        found.push_back(attachment);
    }
    return found;
}

testdocx::Parts withPictures(const std::string& body)
{
    testdocx::Parts parts;
    parts.extra.push_back({ "word/media/image1.png", testdocx::pngBytes(40, 20) });
    parts.extra.push_back({ "word/media/image2.emf", std::string("\x01\x00\x00\x00 EMF header and records", 26) });
    parts.relationships.push_back({ "rIdPng", "image", "media/image1.png" });
    parts.relationships.push_back({ "rIdEmf", "image", "media/image2.emf" });
    parts.relationships.push_back({ "rIdFar", "image", "http://example.com/far.png", true });
    parts.body = body;
    return parts;
}

} // namespace

TEST(DocxPictures, PicturesStandAtTheirAnchorSizedFromTheExtent)
{
    const struct {
        std::string run;
        const char* mimeType;
        kit::Size size;
        const char* alternativeText;
        const char* why;
    } cases[] = {
        { drawing("rIdPng", 200, 100, "A chart of sales"), "image/png", { 200, 100 }, "A chart of sales", "inline PNG at its extent" },
        { drawing("rIdPng", 200, 100, "", "anchor"), "image/png", { 200, 100 }, "", "an anchored picture stands at its anchor too" },
        { drawing("rIdPng", 936, 100), "image/png", { 468, 50 }, "", "twice the text width: halved" },
        { drawing("rIdPng", 468, 100), "image/png", { 468, 100 }, "", "exactly the text width: unchanged" },
        { drawing("rIdPng", 100, 1296), "image/png", { 50, 648 }, "", "twice the text height: halved" },
        { drawing("rIdEmf", 120, 80, "Logo"), "", { 120, 80 }, "Logo", "EMF holds a place" },
        { drawing("rIdFar", 30, 30), "", { 30, 30 }, "", "an external picture holds a place" },
        { drawing("rIdNone", 30, 30), "", { 30, 30 }, "", "a missing relationship holds a place" },
        { "<w:r><w:pict><v:shape style=\"width:150pt;height:75pt\" alt=\"VML picture\"><v:imagedata r:id=\"rIdPng\"/></v:shape></w:pict></w:r>", "image/png",
            { 150, 75 }, "VML picture", "VML picture sized by its style" },
        { "<w:r><w:object><v:shape style=\"width:1in;height:0.5in\"><v:imagedata r:id=\"rIdEmf\" o:title=\"Equation\"/></v:shape><o:OLEObject/></w:object></w:r>", "",
            { 72, 36 }, "Equation", "an embedded object's preview" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = testdocx::import(withPictures("<w:p><w:r><w:t xml:space=\"preserve\">Before </w:t></w:r>" + c.run + "<w:r><w:t xml:space=\"preserve\"> after</w:t></w:r></w:p>"));
        ASSERT_TRUE(result.text);
        EXPECT_EQ(testdocx::text(result), "Before \xEF\xBF\xBC after\n");
        auto found = attachments(*result.text);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0]->mimeType, c.mimeType);
        EXPECT_NEAR(found[0]->size.width, c.size.width, 0.01f);
        EXPECT_NEAR(found[0]->size.height, c.size.height, 0.01f);
        EXPECT_EQ(found[0]->alternativeText, c.alternativeText);
        EXPECT_EQ(found[0]->bytes.empty(), found[0]->mimeType.empty()) << "placeholders carry no bytes, pictures do";
    }
}

TEST(DocxPictures, PictureBytesAreThePartsBytes)
{
    auto result = testdocx::import(withPictures(paragraph("x") + "<w:p>" + drawing("rIdPng", 10, 5) + drawing("rIdPng", 10, 5) + drawing("rIdPng", 20, 10) + "</w:p>"));
    ASSERT_TRUE(result.text);
    auto found = attachments(*result.text);
    ASSERT_EQ(found.size(), 3u);
    std::string png = testdocx::pngBytes(40, 20);
    EXPECT_EQ(std::string(found[0]->bytes.begin(), found[0]->bytes.end()), png);
    EXPECT_EQ(found[0], found[1]) << "the same picture at the same size shares one attachment";
    EXPECT_NE(found[0], found[2]);
}

TEST(DocxPictures, PicturesInCellsFitTheCell)
{
    auto result = testdocx::import(withPictures("<w:tbl><w:tblGrid><w:gridCol w:w=\"2216\"/></w:tblGrid><w:tr><w:tc><w:p>" + drawing("rIdPng", 300, 150)
        + "</w:p></w:tc></w:tr></w:tbl>"));
    ASSERT_TRUE(result.text);
    auto found = attachments(*result.text);
    ASSERT_EQ(found.size(), 1u);
    // 2216 twips is 110.8 points, less 5.4 points of padding each side: 100 points for the picture.
    EXPECT_NEAR(found[0]->size.width, 100, 0.01f);
    EXPECT_NEAR(found[0]->size.height, 50, 0.01f);
}

TEST(DocxPictures, ChartsDiagramsAndShapesHoldAPlace)
{
    auto graphic = [](const std::string& data) {
        return "<w:r><w:drawing><wp:inline><wp:extent cx=\"2540000\" cy=\"1270000\"/><wp:docPr id=\"2\" name=\"Object\" title=\"Titled\"/><a:graphic><a:graphicData>" + data
            + "</a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
    };
    const struct {
        std::string data;
        const char* why;
    } cases[] = {
        { "<c:chart xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" r:id=\"rIdChart\"/>", "chart" },
        { "<dgm:relIds xmlns:dgm=\"http://schemas.openxmlformats.org/drawingml/2006/diagram\" r:dm=\"rId9\"/>", "SmartArt" },
        { "<wps:wsp><wps:spPr/></wps:wsp>", "a shape without text" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = testdocx::importBody("<w:p>" + graphic(c.data) + "</w:p>");
        ASSERT_TRUE(result.text);
        auto found = attachments(*result.text);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_TRUE(found[0]->bytes.empty());
        EXPECT_EQ(found[0]->size, (kit::Size { 200, 100 }));
        EXPECT_EQ(found[0]->alternativeText, "Titled") << "the title stands in for a missing description";
    }
}
