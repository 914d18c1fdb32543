// Objects that float beside the text: where the paginator places them on the page, how the lines make way
// for them.
#include "LayoutTestSupport.h"
#include "support/Drawings.h"

#include <gtest/gtest.h>
#include <map>

namespace {

using Placement = kit::FloatPlacement;

// A solid red box of the given size, drawn from shapes so that the test needs no image decoder.
std::shared_ptr<const kit::Attachment> redBox(kit::Size size, std::optional<Placement> placement)
{
    return testsupport::filledBox(size, kit::Color::calibratedRGB(1, 0, 0), placement);
}

Placement square(Placement::Align across = Placement::Align::Offset, float x = 0, float y = 0)
{
    Placement placement;
    placement.horizontalAlign = across;
    placement.offset = { x, y };
    placement.distance = { 0, 10, 0, 10 };
    return placement;
}

// Paper 400 x 300 with margins of 50: a text area of 300 x 200 points, lines of 12-point text.
struct FloatPages : layouttest::DocumentLayout {
    kit::Attributes text;

    FloatPages() { text.fontFamily = "Liberation Serif"; }
    std::size_t addObject(std::shared_ptr<const kit::Attachment> object)
    {
        std::size_t at = body->length();
        kit::Attributes a = text;
        a.attachment = std::move(object);
        body->append(kit::kAttachmentCharacter, a);
        return at;
    }
    void addText(const std::string& s) { body->append(s, text); }
    // Ends the paragraph being written with a text box anchored at its end, holding these paragraphs right
    // after it, as importers write them. Returns where the box's text starts.
    std::size_t addFrame(kit::Size size, Placement placement, const std::vector<std::string>& paragraphs)
    {
        kit::TextFrame frame;
        frame.anchor = body->length();
        addText("\n");
        std::size_t start = body->length();
        for (const std::string& paragraph : paragraphs)
            addText(paragraph + "\n");
        frame.text = { start, body->length() - start };
        frame.box = testsupport::filledBox(size, kit::Color::calibratedRGB(0.9f, 0.9f, 0.9f), placement);
        frame.insets = { 5, 5, 5, 5 };
        setup->frames.push_back(frame);
        return start;
    }
    void addLines(int count, const char* word = "Line")
    {
        for (int i = 0; i < count; ++i)
            addText(std::string(word) + " " + std::to_string(i) + "\n");
    }
};

TEST(FloatLayout, SquareWrappedTextRunsBesideTheObjectThenUnderIt)
{
    FloatPages doc;
    doc.addObject(redBox({ 100, 80 }, square()));
    doc.addText("Beside the picture\n");
    doc.addLines(12);
    doc.lay();
    auto floats = doc.floats(0);
    ASSERT_EQ(floats.size(), 1u);
    EXPECT_EQ(floats[0].rect, (kit::Rect { 0, 0, 100, 80 })) << "at the column's left edge, level with its paragraph";
    EXPECT_EQ(floats[0].anchor, 0u);

    int beside = 0, below = 0;
    for (const auto& line : doc.lines(0)) {
        SCOPED_TRACE(line.range.location);
        if (line.rect.minY() < 80 + 0.5f) {
            // Lines level with the object keep its distance from it, on the wider side.
            EXPECT_GE(line.usedRect.minX(), 110 - 0.01f);
            EXPECT_LE(line.usedRect.maxX(), 300 + 0.01f);
            ++beside;
        } else {
            EXPECT_LT(line.usedRect.minX(), 1) << "below the object, lines have the whole column again";
            ++below;
        }
    }
    EXPECT_GE(beside, 4);
    EXPECT_GE(below, 3);
    // Every byte is still shown once.
    std::size_t shown = 0;
    for (std::size_t page = 0; page < doc.pages->pages().size(); ++page)
        for (const auto& line : doc.lines(page))
            shown += line.range.length;
    EXPECT_EQ(shown, doc.body->length());
}

TEST(FloatLayout, ALongParagraphHasTheWholeColumnAgainBelowTheObject)
{
    FloatPages doc;
    doc.addObject(redBox({ 60, 40 }, square()));
    std::string words;
    for (int i = 0; i < 60; ++i)
        words += "word" + std::to_string(i) + " ";
    doc.addText(words + "end\n");
    doc.lay();
    auto lines = doc.lines(0);
    ASSERT_GE(lines.size(), 6u);
    int beside = 0, below = 0;
    std::size_t next = 0;
    for (const auto& line : lines) {
        SCOPED_TRACE(line.range.location);
        EXPECT_EQ(line.range.location, next) << "the lines follow one another without gaps or repeats";
        next = line.range.end();
        if (line.rect.minY() < 40 - 0.5f) {
            EXPECT_GE(line.usedRect.minX(), 70 - 0.01f);
            ++beside;
        } else {
            EXPECT_LT(line.usedRect.minX(), 1);
            EXPECT_FLOAT_EQ(line.rect.width(), 300);
            ++below;
        }
    }
    EXPECT_EQ(next, doc.body->length());
    EXPECT_GE(beside, 2);
    EXPECT_GE(below, 2);
    // A line below the object that the object's distance kept narrow is not drawn at the wrong width: its
    // glyphs stand within the column.
    for (const auto& line : lines)
        EXPECT_LE(line.usedRect.maxX(), 300 + 0.01f);
}

TEST(FloatLayout, AnObjectOnTheRightLeavesTheTextOnTheLeft)
{
    FloatPages doc;
    doc.addText("Before\n");
    doc.addObject(redBox({ 120, 60 }, square(Placement::Align::End)));
    doc.addLines(8);
    doc.lay();
    auto floats = doc.floats(0);
    ASSERT_EQ(floats.size(), 1u);
    EXPECT_FLOAT_EQ(floats[0].rect.maxX(), 300);
    float top = floats[0].rect.minY();
    EXPECT_GT(top, 5) << "level with the paragraph that anchors it, after the first";
    for (const auto& line : doc.lines(0)) {
        if (line.rect.minY() >= top - 0.5f && line.rect.minY() < floats[0].rect.maxY()) {
            EXPECT_LT(line.usedRect.minX(), 1);
            EXPECT_LE(line.usedRect.maxX(), 180 - 10 + 0.01f);
        }
    }
}

TEST(FloatLayout, TopAndBottomWrapAndNoWrap)
{
    {
        SCOPED_TRACE("top and bottom: the text goes on below the object");
        FloatPages doc;
        Placement placement = square(Placement::Align::Center);
        placement.wrap = Placement::Wrap::TopAndBottom;
        placement.distance = { 0, 0, 6, 0 };
        doc.addObject(redBox({ 80, 50 }, placement));
        doc.addLines(3);
        doc.lay();
        auto floats = doc.floats(0);
        ASSERT_EQ(floats.size(), 1u);
        EXPECT_FLOAT_EQ(floats[0].rect.midX(), 150);
        for (const auto& line : doc.lines(0))
            EXPECT_GE(line.rect.minY(), 56 - 0.01f) << line.range.location;
    }
    {
        SCOPED_TRACE("no wrap: the text ignores the object, drawn over or behind it");
        FloatPages doc;
        Placement placement = square();
        placement.wrap = Placement::Wrap::None;
        doc.addObject(redBox({ 80, 50 }, placement));
        doc.addLines(3);
        doc.lay();
        ASSERT_EQ(doc.floats(0).size(), 1u);
        auto lines = doc.lines(0);
        ASSERT_FALSE(lines.empty());
        EXPECT_FLOAT_EQ(lines.front().rect.minY(), 0);
        for (const auto& line : lines)
            EXPECT_LT(line.usedRect.minX(), 1);
        EXPECT_LT(lines.front().rect.height(), 20) << "the object takes no room in its line";
    }
}

TEST(FloatLayout, PagePlacementIsMeasuredFromThePaperAndStaysOnIt)
{
    FloatPages doc;
    Placement fromPaper = square(Placement::Align::Offset, 20, 20);
    fromPaper.horizontalFrame = fromPaper.verticalFrame = Placement::Frame::Page;
    doc.addObject(redBox({ 60, 40 }, fromPaper));
    Placement tooFar = fromPaper;
    tooFar.offset = { 390, 290 };
    tooFar.wrap = Placement::Wrap::None;
    doc.addObject(redBox({ 60, 40 }, tooFar));
    doc.addLines(2);
    doc.lay();
    auto floats = doc.floats(0);
    ASSERT_EQ(floats.size(), 2u);
    // Container coordinates: the text area's corner stands at (50, 50) on the paper.
    EXPECT_EQ(floats[0].rect, (kit::Rect { -30, -30, 60, 40 }));
    EXPECT_EQ(floats[1].rect, (kit::Rect { 290, 210, 60, 40 })) << "kept whole on the paper";
}

TEST(FloatLayout, AnObjectGoesToThePageOfItsParagraph)
{
    FloatPages doc;
    doc.addLines(30, "Filler");
    std::size_t anchor = doc.addObject(redBox({ 50, 50 }, square()));
    doc.addLines(3, "After");
    doc.lay();
    ASSERT_GE(doc.pages->pages().size(), 2u);
    EXPECT_TRUE(doc.floats(0).empty());
    std::size_t page = 0;
    for (; page < doc.pages->pages().size(); ++page) {
        auto floats = doc.floats(page);
        if (!floats.empty()) {
            EXPECT_EQ(floats[0].anchor, anchor);
            break;
        }
    }
    ASSERT_LT(page, doc.pages->pages().size());
    bool holdsAnchor = false;
    for (const auto& line : doc.lines(page))
        holdsAnchor |= line.range.contains(anchor);
    EXPECT_TRUE(holdsAnchor);
}

TEST(FloatLayout, ATextBoxShowsItsTextInItsBoxAndTheBodyFlowsAroundIt)
{
    FloatPages doc;
    doc.addText("Anchor");
    std::size_t inside = doc.addFrame({ 120, 60 }, square(), { "Inside one", "Inside two" });
    std::size_t after = doc.body->length();
    doc.addLines(14);
    doc.lay();
    auto floats = doc.floats(0);
    ASSERT_EQ(floats.size(), 1u);
    EXPECT_EQ(floats[0].rect, (kit::Rect { 0, 0, 120, 60 }));

    float anchorBottom = -1;
    int boxLines = 0;
    std::size_t shown = 0;
    for (std::size_t page = 0; page < doc.pages->pages().size(); ++page) {
        for (const auto& line : doc.lines(page)) {
            SCOPED_TRACE(line.range.location);
            shown += line.range.length;
            if (line.range.location == 0)
                anchorBottom = line.rect.maxY();
            if (line.range.location >= inside && line.range.location < after) {
                // The box's own lines stand inside it, within its insets, on its first page.
                EXPECT_EQ(page, 0u);
                EXPECT_EQ(line.rect.minX(), 5);
                EXPECT_GE(line.rect.minY(), 5 - 0.01f);
                EXPECT_LE(line.rect.maxY(), 55 + 0.01f);
                EXPECT_LE(line.usedRect.maxX(), 115 + 0.01f);
                ++boxLines;
            } else if (page == 0 && line.rect.minY() < 60) {
                EXPECT_GE(line.usedRect.minX(), 130 - 0.01f) << "beside the box, at its distance";
            }
            if (line.range.location == after) {
                EXPECT_NEAR(line.rect.minY(), anchorBottom, 0.01f) << "the box's text takes no room in the flow";
            }
        }
    }
    EXPECT_EQ(boxLines, 2);
    EXPECT_EQ(shown, doc.body->length()) << "every byte shown once";
    EXPECT_EQ(doc.layout.textContainerForGlyphAtIndex(inside), doc.layout.textContainers().front().get())
        << "find reaches the box's text on its page";
}

TEST(FloatLayout, ATextBoxAnchoredInAnEmptyParagraphKeepsItsText)
{
    FloatPages doc;
    doc.addLines(3, "Before");
    std::size_t inside = doc.addFrame({ 100, 40 }, square(Placement::Align::End), { "Boxed" });
    doc.addLines(2, "After");
    doc.lay();
    ASSERT_EQ(doc.floats(0).size(), 1u);
    EXPECT_EQ(doc.floats(0)[0].rect.maxX(), 300) << "at the column's right edge";
    bool found = false;
    for (const auto& line : doc.lines(0)) {
        if (line.range.location == inside) {
            found = true;
            EXPECT_EQ(line.rect.minX(), 205);
        }
    }
    EXPECT_TRUE(found);
}

TEST(FloatLayout, ATextBoxBeforeTheParagraphThatAnchorsItStandsBesideThatParagraph)
{
    FloatPages doc;
    doc.addLines(2, "Before");
    kit::TextFrame frame;
    frame.text.location = doc.body->length();
    doc.addText("Boxed\n");
    frame.text.length = doc.body->length() - frame.text.location;
    frame.anchor = doc.body->length();
    frame.box = testsupport::filledBox({ 100, 40 }, kit::Color::whiteColor(), square());
    doc.setup->frames.push_back(frame);
    doc.addLines(3, "After");
    doc.lay();
    ASSERT_EQ(doc.floats(0).size(), 1u);
    const kit::Rect box = doc.floats(0)[0].rect;
    std::map<std::size_t, kit::LayoutManager::LineFragment> byStart;
    for (const auto& line : doc.lines(0))
        byStart[line.range.location] = line;
    ASSERT_EQ(byStart.size(), 6u);
    const auto& anchor = byStart[frame.anchor];
    EXPECT_EQ(box.minY(), anchor.rect.minY()) << "level with its anchor";
    EXPECT_GE(anchor.usedRect.minX(), box.maxX() + 10 - 0.01f) << "which runs beside it";
    EXPECT_TRUE(box.contains(byStart[frame.text.location].usedRect.origin)) << "its text inside it";
    EXPECT_NEAR(byStart[frame.text.location - 9].rect.maxY(), anchor.rect.minY(), 0.01f) << "and out of the flow";
}

TEST(FloatLayout, AGrowingTextBoxIsAsTallAsItsText)
{
    FloatPages doc;
    doc.addText("Anchor");
    doc.addFrame({ 120, 10 }, square(), { "One", "Two", "Three" });
    doc.setup->frames.back().growsWithText = true;
    doc.addLines(3);
    doc.lay();
    ASSERT_EQ(doc.floats(0).size(), 1u);
    const kit::Rect box = doc.floats(0)[0].rect;
    float bottom = 0;
    for (const auto& line : doc.lines(0)) {
        if (line.rect.minX() == box.minX() + 5)
            bottom = std::max(bottom, line.rect.maxY());
    }
    EXPECT_GT(bottom, 30) << "three lines";
    EXPECT_NEAR(box.maxY(), bottom + 5, 0.01f) << "the box ends below its last line, by its inset";
}

TEST(FloatLayout, OnThePrintersPaperATextBoxsTextFollowsItsParagraph)
{
    FloatPages doc;
    doc.addText("Anchor");
    std::size_t inside = doc.addFrame({ 120, 60 }, square(), { "Inside" });
    doc.addLines(1);
    doc.body->setPageSetup(doc.setup);
    kit::LayoutManager plain;
    plain.replaceTextStorage(doc.body);
    plain.addTextContainer(std::make_unique<kit::TextContainer>(kit::Size { 300, 200 }));
    auto lines = plain.lineFragmentsForTextContainer(*plain.textContainers().front());
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].range.location, inside);
    EXPECT_EQ(lines[1].rect.minX(), 0);
    EXPECT_NEAR(lines[1].rect.minY(), lines[0].rect.maxY(), 0.01f);
}

TEST(FloatLayout, AFloatingObjectInATableCellStandsInItsLine)
{
    FloatPages doc;
    auto cell = std::make_shared<kit::TableCell>();
    cell->tableId = 1;
    cell->columnWidths = { 200 };
    doc.text.tableCell = cell;
    doc.addObject(redBox({ 60, 70 }, square()));
    doc.addText("\n");
    doc.text.tableCell = nullptr;
    doc.addLines(1);
    doc.lay();
    EXPECT_TRUE(doc.floats(0).empty());
    auto lines = doc.lines(0);
    ASSERT_FALSE(lines.empty());
    EXPECT_GE(lines.front().rect.height(), 70);
}

} // namespace
