// Anchored objects, shapes and charts of DrawingML: where they float, how shapes and charts are drawn.
#include "DocxBuilder.h"

#include "import/docx/DocxChart.h"
#include "import/docx/DocxShape.h"
#include "import/package/XmlPart.h"
#include "kit/text/VectorDrawing.h"

#include "support/Cases.h"

#include <cmath>
#include <cstdio>
#include <gtest/gtest.h>

namespace {

using Placement = kit::FloatPlacement;

const char* kChartNamespace = R"( xmlns:c="http://schemas.openxmlformats.org/drawingml/2006/chart")"
                              R"( xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")"
                              R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")";

std::string emu(float points) { return std::to_string(long(points * 12700)); }

// A run with one DrawingML object, inline or anchored with the given anchor attributes and children.
std::string object(const std::string& graphicData, float width, float height, const std::string& anchor = {},
    const std::string& anchorAttributes = {})
{
    std::string frame = anchor.empty() ? "wp:inline" : "wp:anchor";
    return "<w:p><w:r><w:drawing><" + frame + anchorAttributes + ">" + anchor + "<wp:extent cx=\"" + emu(width) + "\" cy=\""
        + emu(height) + "\"/><wp:docPr id=\"1\" name=\"Object\" descr=\"An object\"/><a:graphic><a:graphicData>" + graphicData
        + "</a:graphicData></a:graphic></" + frame + "></w:drawing></w:r><w:r><w:t>Text after it.</w:t></w:r></w:p>";
}

std::string shape(const std::string& preset, const std::string& properties = {}, const std::string& style = {})
{
    return "<wps:wsp><wps:spPr><a:prstGeom prst=\"" + preset + "\"/>" + properties + "</wps:spPr>" + style
        + "<wps:bodyPr/></wps:wsp>";
}

std::shared_ptr<const kit::Attachment> onlyAttachment(const importer::ImportResult& result)
{
    std::shared_ptr<const kit::Attachment> found;
    if (!result.text)
        return found;
    const std::string& text = result.text->string();
    std::size_t at = text.find(kit::kAttachmentCharacter);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos)
        found = result.text->attributesAt(at).attachment;
    EXPECT_EQ(text.find(kit::kAttachmentCharacter, at + 3), std::string::npos) << "one object";
    return found;
}

// Draws an attachment's drawing on white at one pixel a point and counts the pixels of a colour.
int pixelsOf(const kit::Attachment& attachment, std::uint32_t rgb)
{
    int width = int(attachment.size.width), height = int(attachment.size.height);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    if (attachment.drawing)
        kit::drawVectorDrawing(cr, *attachment.drawing, { 0, 0, float(width), float(height) });
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    int count = 0;
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface));
        for (int x = 0; x < width; ++x)
            count += (row[x] & 0xffffff) == rgb;
    }
    cairo_surface_destroy(surface);
    return count;
}

} // namespace

TEST(DocxDrawingObjects, AnchorsSayWhereTheObjectFloats)
{
    const std::string rect = shape("rect", "<a:solidFill><a:srgbClr val=\"00FF00\"/></a:solidFill>");
    const std::string fromPage = "<wp:positionH relativeFrom=\"page\"><wp:posOffset>" + emu(72)
        + "</wp:posOffset></wp:positionH><wp:positionV relativeFrom=\"paragraph\"><wp:posOffset>" + emu(-6)
        + "</wp:posOffset></wp:positionV>";
    const std::string aligned = "<wp:positionH relativeFrom=\"margin\"><wp:align>right</wp:align></wp:positionH>"
                                "<wp:positionV relativeFrom=\"topMargin\"><wp:align>center</wp:align></wp:positionV>";
    const struct {
        std::string anchor, attributes;
        Placement::Frame horizontal, vertical;
        Placement::Align alignAcross, alignDown;
        kit::Point offset;
        Placement::Wrap wrap;
        bool behind;
        const char* why;
    } cases[] = {
        { fromPage + "<wp:wrapSquare wrapText=\"bothSides\"/>", " distL=\"" + emu(9) + "\" distR=\"" + emu(4) + "\"",
            Placement::Frame::Page, Placement::Frame::Paragraph, Placement::Align::Offset, Placement::Align::Offset,
            { 72, -6 }, Placement::Wrap::Square, false, "offsets from the page and the paragraph, square wrap" },
        { aligned + "<wp:wrapTopAndBottom/>", "", Placement::Frame::Margin, Placement::Frame::Page, Placement::Align::End,
            Placement::Align::Center, {}, Placement::Wrap::TopAndBottom, false, "aligned, top and bottom" },
        { fromPage + "<wp:wrapNone/>", " behindDoc=\"1\"", Placement::Frame::Page, Placement::Frame::Paragraph,
            Placement::Align::Offset, Placement::Align::Offset, { 72, -6 }, Placement::Wrap::None, true, "behind the text" },
        { fromPage + "<wp:wrapTight wrapText=\"bothSides\"><wp:wrapPolygon edited=\"0\"/></wp:wrapTight>", "",
            Placement::Frame::Page, Placement::Frame::Paragraph, Placement::Align::Offset, Placement::Align::Offset,
            { 72, -6 }, Placement::Wrap::Square, false, "tight is read as square" },
        { "<wp:simplePos x=\"" + emu(30) + "\" y=\"" + emu(40) + "\"/>" + aligned + "<wp:wrapSquare/>", " simplePos=\"1\"",
            Placement::Frame::Page, Placement::Frame::Page, Placement::Align::Offset, Placement::Align::Offset, { 30, 40 },
            Placement::Wrap::Square, false, "a simple position is the page's" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = testdocx::importBody(object(rect, 100, 50, c.anchor, c.attributes));
        auto attachment = onlyAttachment(result);
        ASSERT_TRUE(attachment);
        ASSERT_TRUE(attachment->placement);
        const Placement& p = *attachment->placement;
        EXPECT_EQ(p.horizontalFrame, c.horizontal);
        EXPECT_EQ(p.verticalFrame, c.vertical);
        EXPECT_EQ(p.horizontalAlign, c.alignAcross);
        EXPECT_EQ(p.verticalAlign, c.alignDown);
        EXPECT_NEAR(p.offset.x, c.offset.x, 0.01f);
        EXPECT_NEAR(p.offset.y, c.offset.y, 0.01f);
        EXPECT_EQ(p.wrap, c.wrap);
        EXPECT_EQ(p.behindText, c.behind);
        EXPECT_EQ(attachment->size, (kit::Size { 100, 50 }));
    }
    auto result = testdocx::importBody(object(rect, 100, 50, fromPage + "<wp:wrapSquare/>", " distL=\"" + emu(9) + "\" distR=\"" + emu(4) + "\""));
    auto attachment = onlyAttachment(result);
    ASSERT_TRUE(attachment && attachment->placement);
    EXPECT_NEAR(attachment->placement->distance[1], 9, 0.01f);
    EXPECT_NEAR(attachment->placement->distance[3], 4, 0.01f);
    EXPECT_FALSE(onlyAttachment(testdocx::importBody(object(rect, 100, 50)))->placement) << "inline objects do not float";
}

TEST(DocxDrawingObjects, AbsolutelyPositionedVmlPicturesFloat)
{
    testdocx::Parts parts;
    parts.extra.push_back({ "word/media/image1.png", testdocx::pngBytes(40, 20) });
    parts.relationships.push_back({ "rIdPng", "image", "media/image1.png" });
    auto pict = [](const std::string& style, const std::string& wrap) {
        return "<w:p><w:r><w:pict><v:shape style=\"" + style + "\"><v:imagedata r:id=\"rIdPng\"/>" + wrap
            + "</v:shape></w:pict></w:r></w:p>";
    };
    const std::string w10 = " xmlns:w10=\"urn:schemas-microsoft-com:office:word\"";
    parts.body = pict("position:absolute;margin-left:20pt;margin-top:10pt;width:100pt;height:50pt;"
                      "mso-position-horizontal-relative:page;mso-position-vertical:bottom;mso-position-vertical-relative:margin;z-index:-3",
        "<w10:wrap" + w10 + " type=\"square\"/>");
    auto floating = onlyAttachment(testdocx::import(parts));
    ASSERT_TRUE(floating && floating->placement);
    EXPECT_EQ(floating->size, (kit::Size { 100, 50 }));
    EXPECT_EQ(floating->placement->horizontalFrame, Placement::Frame::Page);
    EXPECT_EQ(floating->placement->verticalFrame, Placement::Frame::Margin);
    EXPECT_EQ(floating->placement->verticalAlign, Placement::Align::End);
    EXPECT_EQ(floating->placement->offset, (kit::Point { 20, 10 }));
    EXPECT_EQ(floating->placement->wrap, Placement::Wrap::Square);
    EXPECT_TRUE(floating->placement->behindText);

    parts.body = pict("width:100pt;height:50pt", "");
    auto inlined = onlyAttachment(testdocx::import(parts));
    ASSERT_TRUE(inlined);
    EXPECT_FALSE(inlined->placement) << "a shape without an absolute position stands in its line";

    parts.body = "<w:p><w:r><w:pict><v:group style=\"position:absolute;width:100pt;height:50pt\" coordsize=\"100,50\">"
                 "<v:shape style=\"position:absolute;left:10;top:10;width:30;height:20\"><v:imagedata r:id=\"rIdPng\"/></v:shape>"
                 "</v:group></w:pict></w:r></w:p>";
    auto member = onlyAttachment(testdocx::import(parts));
    ASSERT_TRUE(member);
    EXPECT_FALSE(member->placement) << "a group's member is placed in the group's coordinates, not the page's";
}

TEST(DocxDrawingObjects, PlainShapesAreDrawnWithTheirFillAndOutline)
{
    {
        SCOPED_TRACE("an ellipse filled red with a blue outline two points wide");
        auto attachment = onlyAttachment(testdocx::importBody(object(shape("ellipse",
            "<a:solidFill><a:srgbClr val=\"FF0000\"/></a:solidFill><a:ln w=\"25400\"><a:solidFill><a:srgbClr val=\"0000FF\"/></a:solidFill></a:ln>"),
            80, 40)));
        ASSERT_TRUE(attachment && attachment->drawing);
        ASSERT_EQ(attachment->drawing->shapes.size(), 1u);
        const kit::VectorShape& drawn = attachment->drawing->shapes[0];
        EXPECT_EQ(drawn.kind, kit::VectorShape::Kind::Ellipse);
        EXPECT_FLOAT_EQ(drawn.strokeWidth, 2);
        EXPECT_GT(pixelsOf(*attachment, 0xff0000), 80 * 40 / 2) << "the inside is red";
        EXPECT_GT(pixelsOf(*attachment, 0x0000ff), 50) << "the outline is blue";
        EXPECT_GT(pixelsOf(*attachment, 0xffffff), 80 * 40 / 10) << "the corners stay white";
    }
    {
        SCOPED_TRACE("a rectangle whose colours come from its style, a theme colour made darker");
        auto attachment = onlyAttachment(testdocx::importBody(object(shape("rect", {},
            "<wps:style><a:lnRef idx=\"2\"><a:schemeClr val=\"accent1\"><a:shade val=\"50000\"/></a:schemeClr></a:lnRef>"
            "<a:fillRef idx=\"1\"><a:schemeClr val=\"accent1\"/></a:fillRef></wps:style>"), 60, 30)));
        ASSERT_TRUE(attachment && attachment->drawing);
        EXPECT_GT(pixelsOf(*attachment, 0x4472c4), 60 * 30 / 2);
    }
    {
        SCOPED_TRACE("a shape it does not draw still holds its place");
        auto attachment = onlyAttachment(testdocx::importBody(object(shape("star5"), 60, 30)));
        ASSERT_TRUE(attachment);
        EXPECT_FALSE(attachment->drawing);
        EXPECT_EQ(attachment->size, (kit::Size { 60, 30 }));
    }
}

TEST(DocxDrawingObjects, ThemeColoursTakeTheirChanges)
{
    // Word's own names for these: "Blue, Accent 1, Darker 25%", "Lighter 40%", a half shade of orange.
    const testsupport::Case<const char*, const char*> cases[] = {
        { "<a:schemeClr val=\"accent1\"><a:lumMod val=\"75000\"/></a:schemeClr>", "2F5597", "darker by luminance" },
        { "<a:schemeClr val=\"accent1\"><a:lumMod val=\"60000\"/><a:lumOff val=\"40000\"/></a:schemeClr>", "8FAADC", "lighter" },
        { "<a:srgbClr val=\"ED7D31\"><a:shade val=\"50000\"/></a:srgbClr>", "773F19", "shaded" },
        { "<a:sysClr val=\"window\" lastClr=\"FFFFFF\"/>", "FFFFFF", "a system colour's last value" },
    };
    testsupport::expectEach(cases, [](const char* xml) {
        auto part = importer::XmlPart::parse(std::string("<a:solidFill") + kChartNamespace + ">" + xml + "</a:solidFill>");
        auto color = part ? importer::docx::drawingColor(part->root()) : std::nullopt;
        if (!color)
            return std::string("none");
        auto c = color->usingCalibratedRGB()->rgba();
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02X%02X%02X", int(std::lround(c[0] * 255)), int(std::lround(c[1] * 255)), int(std::lround(c[2] * 255)));
        return std::string(hex);
    });
}

namespace {

std::string chartPart(const std::string& plot, const std::string& title = {})
{
    return std::string("<?xml version=\"1.0\"?><c:chartSpace") + kChartNamespace + "><c:chart>" + title + "<c:plotArea>" + plot
        + "</c:plotArea></c:chart></c:chartSpace>";
}

std::string points(const std::vector<std::string>& values, const char* cache)
{
    std::string out = std::string("<c:") + cache + "><c:ptCount val=\"" + std::to_string(values.size()) + "\"/>";
    for (std::size_t i = 0; i < values.size(); ++i)
        out += "<c:pt idx=\"" + std::to_string(i) + "\"><c:v>" + values[i] + "</c:v></c:pt>";
    return out + "</c:" + cache + ">";
}

std::string series(const std::string& name, const std::vector<std::string>& values, const std::string& color = {})
{
    std::string out = "<c:ser><c:idx val=\"0\"/><c:tx><c:strRef><c:f>Sheet1!$B$1</c:f>" + points({ name }, "strCache") + "</c:strRef></c:tx>";
    if (!color.empty())
        out += "<c:spPr><a:solidFill><a:srgbClr val=\"" + color + "\"/></a:solidFill></c:spPr>";
    out += "<c:cat><c:strRef><c:f>Sheet1!$A$2:$A$4</c:f>" + points({ "North", "South", "East" }, "strCache") + "</c:strRef></c:cat>";
    out += "<c:val><c:numRef><c:f>Sheet1!$B$2:$B$4</c:f>" + points(values, "numCache") + "</c:numRef></c:val></c:ser>";
    return out;
}

importer::ImportResult importChart(const std::string& part)
{
    testdocx::Parts parts;
    parts.body = object("<c:chart" + std::string(kChartNamespace) + " r:id=\"rIdChart\"/>", 300, 200);
    parts.extra.push_back({ "word/charts/chart1.xml", part });
    parts.relationships.push_back({ "rIdChart", "chart", "charts/chart1.xml" });
    return testdocx::import(parts);
}

} // namespace

TEST(DocxDrawingObjects, ChartsAreDrawnFromTheirCachedValues)
{
    const std::string columns = "<c:barChart><c:barDir val=\"col\"/><c:grouping val=\"clustered\"/>"
        + series("Sales", { "10", "25", "15" }, "C00000") + series("Costs", { "8", "12", "30" }, "00B050") + "</c:barChart>";
    auto attachment = onlyAttachment(importChart(chartPart(columns,
        "<c:title><c:tx><c:rich><a:p><a:r><a:t>Regional</a:t></a:r><a:r><a:t> results</a:t></a:r></a:p></c:rich></c:tx></c:title>")));
    ASSERT_TRUE(attachment && attachment->drawing);
    EXPECT_EQ(attachment->size, (kit::Size { 300, 200 }));
    int sales = pixelsOf(*attachment, 0xc00000), costs = pixelsOf(*attachment, 0x00b050);
    EXPECT_GT(sales, 500);
    EXPECT_GT(costs, 500);
    // The columns' areas follow their values: 50 against 50 in all, East's 30 the tallest.
    EXPECT_NEAR(double(sales) / costs, 1.0, 0.2);
    bool titled = false;
    for (const auto& shape : attachment->drawing->shapes)
        titled |= shape.kind == kit::VectorShape::Kind::Text && shape.text == "Regional results";
    EXPECT_TRUE(titled);

    {
        SCOPED_TRACE("a pie with its slices' own colours");
        std::string pie = "<c:pieChart>" + series("Share", { "1", "1", "2" }) + "</c:pieChart>";
        // The slice colours go in the series: insert data points before its categories.
        std::string colored = "<c:dPt><c:idx val=\"2\"/><c:spPr><a:solidFill><a:srgbClr val=\"7030A0\"/></a:solidFill></c:spPr></c:dPt><c:cat>";
        pie.replace(pie.find("<c:cat>"), 7, colored);
        auto drawn = onlyAttachment(importChart(chartPart(pie)));
        ASSERT_TRUE(drawn && drawn->drawing);
        int purple = pixelsOf(*drawn, 0x7030a0), first = pixelsOf(*drawn, 0x4472c4);
        EXPECT_GT(purple, 1000);
        EXPECT_NEAR(double(purple) / first, 2.0, 0.3) << "half the pie against a quarter";
    }
    {
        SCOPED_TRACE("a chart without cached values, or its part missing, holds a place");
        auto empty = onlyAttachment(importChart(chartPart("<c:barChart><c:ser><c:idx val=\"0\"/></c:ser></c:barChart>")));
        ASSERT_TRUE(empty);
        EXPECT_FALSE(empty->drawing);
        EXPECT_EQ(empty->alternativeText, "An object");
        auto missing = onlyAttachment(testdocx::importBody(object("<c:chart" + std::string(kChartNamespace) + " r:id=\"rIdNone\"/>", 300, 200)));
        ASSERT_TRUE(missing);
        EXPECT_FALSE(missing->drawing);
    }
}

TEST(DocxDrawingObjects, ChartPartsAreReadWithinBounds)
{
    // Indices far past any real chart are dropped, not allocated; kinds map to what is drawn.
    std::string hostile = "<c:lineChart><c:ser><c:val><c:numLit><c:pt idx=\"4000000000\"><c:v>1</c:v></c:pt>"
                          "<c:pt idx=\"-3\"><c:v>2</c:v></c:pt><c:pt idx=\"1\"><c:v>3</c:v></c:pt></c:numLit></c:val></c:ser></c:lineChart>";
    auto part = importer::XmlPart::parse(chartPart(hostile));
    ASSERT_TRUE(part);
    auto chart = importer::docx::readChart(part->root());
    ASSERT_TRUE(chart);
    EXPECT_EQ(chart->kind, importer::ChartData::Kind::Line);
    ASSERT_EQ(chart->series.size(), 1u);
    ASSERT_EQ(chart->series[0].values.size(), 2u);
    EXPECT_FALSE(chart->series[0].values[0]);
    EXPECT_EQ(chart->series[0].values[1], 3.0);

    auto bars = importer::XmlPart::parse(chartPart("<c:barChart><c:barDir val=\"bar\"/><c:grouping val=\"stacked\"/>"
        + series("A", { "1", "2", "3" }) + "</c:barChart>"));
    ASSERT_TRUE(bars);
    auto across = importer::docx::readChart(bars->root());
    ASSERT_TRUE(across);
    EXPECT_EQ(across->kind, importer::ChartData::Kind::Bar);
    EXPECT_TRUE(across->stacked);
    EXPECT_EQ(across->categories, (std::vector<std::string> { "North", "South", "East" }));
    EXPECT_EQ(across->series[0].name, "A");
    EXPECT_FALSE(importer::docx::readChart(importer::XmlPart::parse(chartPart("<c:surfaceChart/>"))->root()));
}
