// A printed page of the document's own layout: its paper's colour, the rules between its columns, and its
// floating objects, in the margins too.
#include "kit/print/DocumentPrintJob.h"
#include "kit/text/PageSetup.h"
#include "kit/text/TextStorage.h"
#include "support/Drawings.h"

#include <gtest/gtest.h>

namespace {

using Placement = kit::FloatPlacement;

std::shared_ptr<const kit::Attachment> redBox(kit::Size size, std::optional<Placement> placement)
{
    return testsupport::filledBox(size, kit::Color::calibratedRGB(1, 0, 0), placement);
}

std::shared_ptr<kit::PageSetup> smallPaper(kit::PageSection section = {})
{
    section.paperSize = { 200, 200 };
    section.margins = { 50, 50, 50, 50, 20, 20, 0 };
    auto setup = std::make_shared<kit::PageSetup>();
    setup->sections = { section };
    return setup;
}

// The first page of the text on 200-point paper with 50-point margins and the section's other settings,
// drawn by the print job on white at one pixel a point.
struct Page {
    Page(const std::shared_ptr<kit::TextStorage>& text, const kit::PageSection& section)
    {
        text->setPageSetup(smallPaper(section));
        kit::DocumentPrintJob job(text, "drawing");
        count = job.pageCount();
        pixels = testsupport::drawnPixels({ 200, 200 }, [&](cairo_t* cr) { job.drawPage(0, cr); });
    }
    std::uint32_t pixel(int x, int y) const { return pixels[std::size_t(y) * 200 + std::size_t(x)]; }
    int count = 0;
    std::vector<std::uint32_t> pixels;
};

} // namespace

TEST(DocumentPageDrawing, APrintedPageDrawsTheObjectInTheMargin)
{
    auto body = std::make_shared<kit::TextStorage>();
    kit::Attributes a;
    Placement placement;
    placement.horizontalFrame = placement.verticalFrame = Placement::Frame::Page;
    placement.offset = { 5, 5 };
    a.attachment = redBox({ 30, 30 }, placement);
    body->append(kit::kAttachmentCharacter, a);
    body->append("Text\n", kit::Attributes {});
    Page page(body, kit::PageSection {});
    ASSERT_EQ(page.count, 1);
    EXPECT_EQ(page.pixel(20, 20), 0xff0000u) << "inside the box, in the top margin";
    EXPECT_EQ(page.pixel(45, 45), 0xffffffu) << "past its corner";
}


TEST(DocumentPageDrawing, PaperColourAndRulesBetweenColumns)
{
    // Two columns of 40 points 20 apart in a 100-point text area, a rule between them, on pale green paper.
    kit::PageSection section;
    section.columnCount = 2;
    section.columnSpacing = 20;
    section.columnSeparator = true;
    section.pageColor = kit::Color::calibratedRGB(0.8f, 1, 0.8f);
    auto body = std::make_shared<kit::TextStorage>();
    kit::Attributes a;
    a.fontSize = 8;
    for (int i = 0; i < 14; ++i)
        body->append("Line\n", a);
    Page page(body, section);
    ASSERT_EQ(page.count, 1);
    EXPECT_EQ(page.pixel(5, 5), 0xccffccu) << "the paper's colour, in the margin too";
    EXPECT_EQ(page.pixel(195, 195), 0xccffccu);
    // The rule stands in the middle of the gap, x = 50 + 40 + 10, from the text's top down as far as it goes.
    EXPECT_NE(page.pixel(100, 52), 0xccffccu);
    EXPECT_EQ(page.pixel(97, 52), 0xccffccu);
    EXPECT_EQ(page.pixel(100, 148), 0xccffccu) << "no lower than the longer column";

    // Columns of 20 and 60 points with 20 between them: the rule moves to x = 50 + 20 + 10.
    section.unequalColumns = { { 20, 20 }, { 60, 0 } };
    Page uneven(body, section);
    EXPECT_NE(uneven.pixel(80, 52), 0xccffccu);
    EXPECT_EQ(uneven.pixel(75, 52), 0xccffccu) << "the rule is thin, in the middle of the room";
    section.unequalColumns.clear();

    section.columnSeparator = false;
    section.pageColor.reset();
    Page white(body, section);
    EXPECT_EQ(white.pixel(5, 5), 0xffffffu);
    EXPECT_EQ(white.pixel(100, 52), 0xffffffu);
}

TEST(DocumentPageDrawing, PageBordersStandTheirDistanceFromTheTextOrThePapersEdge)
{
    auto body = std::make_shared<kit::TextStorage>();
    body->append("Text\n", kit::Attributes {});
    kit::Border red { kit::LineStyle::Single, 2, kit::Color::calibratedRGB(1, 0, 0) };
    kit::PageSection section;
    section.borders.sides = { red, red, red, kit::Border {} };
    section.borders.distances = { 10, 10, 10, 10 };
    Page page(body, section);
    // The text area is 50...150 each way: the lines' centres stand 10 + 1 points outside it.
    EXPECT_EQ(page.pixel(100, 38), 0xff0000u) << "top";
    EXPECT_EQ(page.pixel(38, 100), 0xff0000u) << "left";
    EXPECT_EQ(page.pixel(100, 161), 0xff0000u) << "bottom";
    EXPECT_EQ(page.pixel(161, 100), 0xffffffu) << "no right side";
    EXPECT_EQ(page.pixel(100, 35), 0xffffffu) << "a two-point line";
    EXPECT_EQ(page.pixel(100, 42), 0xffffffu);

    section.borders.measuredFromText = false;
    section.borders.distances = { 5, 5, 5, 5000 };
    section.borders.sides[3] = red;
    Page edge(body, section);
    EXPECT_EQ(edge.pixel(100, 6), 0xff0000u) << "5 points in from the paper's edge";
    EXPECT_EQ(edge.pixel(100, 38), 0xffffffu);
    EXPECT_EQ(edge.pixel(6, 100), 0xff0000u);
    EXPECT_EQ(edge.pixel(100, 193), 0xff0000u);
    EXPECT_EQ(edge.pixel(150, 100), 0xff0000u) << "a distance past the margin stops at the text area";
    EXPECT_EQ(edge.pixel(100, 100), 0xffffffu);
}
