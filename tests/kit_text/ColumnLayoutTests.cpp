// Pages set in columns: the text fills each column from the top before the next, column breaks, a table
// inside a column, columns balanced before a continuous section; and a body aligned in the room it leaves.
#include "LayoutTestSupport.h"

#include <gtest/gtest.h>
#include <cmath>
#include <map>

namespace {

constexpr float kSpacing = 20;

// A small page (text area 300 x 200 points) in `columns` columns kSpacing apart.
struct ColumnPages : layouttest::DocumentLayout {
    static kit::PageSection smallSection(int columns) { return DocumentLayout::smallSection(columns, kSpacing); }
    using DocumentLayout::lay;
    void lay(int columns) { lay(std::vector<kit::PageSection> { smallSection(columns) }); }
};

std::string numberedLines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "Line " + std::to_string(i) + "\n";
    return text;
}

TEST(ColumnLayout, TextFillsEachColumnFromTheTopBeforeTheNextAndEveryByteOnce)
{
    ColumnPages two;
    two.body->append(numberedLines(60), kit::Attributes {});
    two.lay(2);
    const float columnWidth = (300 - kSpacing) / 2;
    ASSERT_GE(two.pages->pages().size(), 2u);
    std::map<std::size_t, int> seen;
    for (std::size_t page = 0; page < two.pages->pages().size(); ++page) {
        float previousTop = -1, previousX = 0;
        int inSecond = 0;
        for (const auto& line : two.lines(page)) {
            EXPECT_FLOAT_EQ(line.rect.width(), columnWidth) << "a line is as wide as its column";
            EXPECT_TRUE(line.rect.x() == 0 || std::abs(line.rect.x() - (columnWidth + kSpacing)) < 0.01f)
                << line.rect.x();
            EXPECT_LE(line.rect.maxY(), 200.5f) << "inside the page's text area";
            if (line.rect.x() > previousX) {
                EXPECT_LT(line.rect.y(), 1.0f) << "the second column starts at the top";
            } else if (previousTop >= 0) {
                EXPECT_GT(line.rect.y(), previousTop) << "lines go down within a column";
            }
            inSecond += line.rect.x() > 0;
            previousTop = line.rect.y();
            previousX = line.rect.x();
            ++seen[line.range.location];
        }
        if (page + 1 < two.pages->pages().size()) {
            EXPECT_GT(inSecond, 0) << "a full page uses its second column, page " << page;
        }
    }
    EXPECT_EQ(seen.size(), 60u);
    for (auto [start, count] : seen)
        EXPECT_EQ(count, 1) << "line at " << start;

    ColumnPages one;
    one.body->append(numberedLines(60), kit::Attributes {});
    one.lay(1);
    EXPECT_GT(one.pages->pages().size(), two.pages->pages().size() * 3 / 2)
        << "the same lines take about twice the pages in one column";
}

TEST(ColumnLayout, AColumnBreakStartsTheNextColumnOrAfterTheLastTheNextPage)
{
    kit::ParagraphStyle breaking;
    breaking.columnBreakBefore = true;
    kit::Attributes broken;
    broken.paragraph = std::make_shared<const kit::ParagraphStyle>(breaking);
    auto build = [&](ColumnPages& pages, int columns) {
        pages.body->append("First\n", kit::Attributes {});
        pages.body->append("Second\n", broken);
        pages.body->append("Third\n", broken);
        pages.lay(columns);
    };
    ColumnPages two;
    build(two, 2);
    const std::string& text = two.body->string();
    EXPECT_EQ(two.place(text.find("First")), (std::pair<std::size_t, float> { 0, 0 }));
    auto second = two.place(text.find("Second"));
    EXPECT_EQ(second.first, 0u);
    EXPECT_GT(second.second, 100) << "the second column of the first page";
    EXPECT_EQ(two.place(text.find("Third")), (std::pair<std::size_t, float> { 1, 0 }))
        << "the break in the last column starts the next page";
    EXPECT_EQ(two.pages->pages().size(), 2u);

    ColumnPages one;
    build(one, 1);
    EXPECT_EQ(one.pages->pages().size(), 1u) << "in one column the breaks do nothing";
    EXPECT_EQ(one.place(one.body->string().find("Third")).first, 0u);
}

TEST(ColumnLayout, ATableInTheSecondColumnIsAsWideAsTheColumnAndStandsInIt)
{
    ColumnPages two;
    // One line 190 points tall fills the first column; the table's row no longer fits under it.
    kit::ParagraphStyle tall;
    tall.lineSpacingRule = kit::LineSpacingRule::Exact;
    tall.lineSpacing = 190;
    kit::Attributes tallLine;
    tallLine.paragraph = std::make_shared<const kit::ParagraphStyle>(tall);
    two.body->append("Tall\n", tallLine);
    // A one-row, two-cell table whose widths ask for more than the column has.
    kit::TableCell left;
    left.tableId = 1;
    left.columnWidths = { 200, 200 };
    kit::TableCell right = left;
    right.column = 1;
    kit::Attributes cell;
    cell.tableCell = std::make_shared<const kit::TableCell>(left);
    two.body->append("Left cell\n", cell);
    cell.tableCell = std::make_shared<const kit::TableCell>(right);
    two.body->append("Right cell\n", cell);
    two.lay(2);
    const float columnWidth = (300 - kSpacing) / 2;
    ASSERT_EQ(two.pages->pages().size(), 1u);
    auto boxes = two.layout.cellBoxesForTextContainer(*two.layout.textContainers().at(0));
    ASSERT_EQ(boxes.size(), 2u);
    for (const auto& box : boxes) {
        EXPECT_GE(box.rect.x(), columnWidth + kSpacing - 0.5f) << "the cell stands in the second column";
        EXPECT_LE(box.rect.maxX(), 300.5f) << "and inside the page's text area";
        EXPECT_LT(box.rect.y(), 1.0f) << "at its top";
    }
    auto place = two.place(two.body->string().find("Right cell"));
    EXPECT_EQ(place.first, 0u);
    EXPECT_GT(place.second, columnWidth + kSpacing) << "the cell's text is in the column too";
}

TEST(ColumnLayout, UnequalColumnsStandAtTheirOwnPlacesAndAParagraphTakesEachColumnsWidth)
{
    // A narrow column of 80 points, 40 of room, a wide one of 180: 300 points, the text area's width.
    kit::PageSection section = ColumnPages::smallSection(2);
    section.unequalColumns = { { 80, 40 }, { 180, 0 } };
    std::string words;
    for (int i = 0; i < 160; ++i)
        words += "word ";
    ColumnPages pages;
    pages.body->append(words + "\n", kit::Attributes {});
    pages.lay({ section });
    ASSERT_GE(pages.pages->pages().size(), 1u);
    int narrow = 0, wide = 0;
    for (const auto& line : pages.lines(0)) {
        if (line.rect.x() < 1) {
            ++narrow;
            EXPECT_FLOAT_EQ(line.rect.width(), 80);
        } else {
            ++wide;
            EXPECT_FLOAT_EQ(line.rect.x(), 120) << "after the first column and its room";
            EXPECT_FLOAT_EQ(line.rect.width(), 180);
            EXPECT_LE(line.rect.maxX(), 300.5f);
        }
    }
    ASSERT_GT(narrow, 0);
    ASSERT_GT(wide, 0) << "one paragraph runs on into the wide column";
    // The wide column's lines were broken for its width: they hold about twice the words of a narrow one's.
    auto lineRanges = pages.lines(0);
    std::size_t narrowBytes = lineRanges.front().range.length, wideBytes = lineRanges.back().range.length;
    if (pages.pages->pages().size() > 1 || lineRanges.back().range.end() < words.size())
        EXPECT_GT(wideBytes, narrowBytes * 3 / 2) << narrowBytes << " " << wideBytes;
    else
        EXPECT_GT(lineRanges[std::size_t(narrow)].range.length, narrowBytes * 3 / 2);

    // Widths that do not add up to the text area are scaled to fill it, the room kept as it is.
    section.unequalColumns = { { 40, 40 }, { 90, 0 } };
    std::vector<kit::TextColumn> across = section.columnsAcross(300);
    ASSERT_EQ(across.size(), 2u);
    EXPECT_FLOAT_EQ(across[0].width, 80);
    EXPECT_FLOAT_EQ(across[1].x, 120);
    EXPECT_FLOAT_EQ(across[1].width, 180);
    section.unequalColumns = { { -5, 1e9f }, { std::nanf(""), 0 } };
    across = section.columnsAcross(300);
    ASSERT_EQ(across.size(), 2u);
    EXPECT_GE(across[0].width, 1) << "hostile widths still give columns inside the area";
    EXPECT_LE(across[1].x + across[1].width, 300.01f);
}

kit::Attributes paragraphAttributes(float spacingAfter = 0)
{
    kit::ParagraphStyle style;
    style.spacingAfter = spacingAfter;
    kit::Attributes attributes;
    attributes.paragraph = std::make_shared<const kit::ParagraphStyle>(style);
    return attributes;
}

TEST(SectionLayout, VerticalAlignmentPlacesTheBodyInTheRoomItLeaves)
{
    // Three one-line paragraphs on a 200-point body; a second page of forty more paragraphs.
    auto build = [](kit::VerticalAlignment alignment, bool longer) {
        auto pages = std::make_unique<ColumnPages>();
        int count = longer ? 40 : 3;
        for (int i = 0; i < count; ++i)
            pages->body->append("Paragraph " + std::to_string(i) + "\n", paragraphAttributes());
        kit::PageSection section = ColumnPages::smallSection(1);
        section.verticalAlignment = alignment;
        pages->lay({ section });
        return pages;
    };
    auto top = build(kit::VerticalAlignment::Top, false);
    auto topLines = top->lines(0);
    ASSERT_EQ(topLines.size(), 3u);
    const float used = topLines.back().rect.maxY();
    EXPECT_LT(topLines.front().rect.y(), 0.5f);

    const struct {
        kit::VerticalAlignment alignment;
        float firstTop;
        const char* why;
    } cases[] = {
        { kit::VerticalAlignment::Center, (200 - used) / 2, "centred: half the room above" },
        { kit::VerticalAlignment::Bottom, 200 - used, "at the bottom: all the room above" },
        { kit::VerticalAlignment::Justified, 0, "justified, on the section's last page: at the top" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto aligned = build(c.alignment, false);
        auto lines = aligned->lines(0);
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_NEAR(lines.front().rect.y(), c.firstTop, 0.01);
        EXPECT_NEAR(lines[1].rect.y() - lines[0].rect.y(), topLines[1].rect.y() - topLines[0].rect.y(), 0.01)
            << "the lines keep their distances";
        kit::Point inside { lines[1].rect.x() + 0.1f, lines[1].rect.midY() };
        auto hit = aligned->layout.characterIndexForPoint(inside, *aligned->layout.textContainers().front());
        EXPECT_EQ(hit, lines[1].range.location) << "a click finds the line where it is drawn";
    }

    // Justified, on a page the text runs on from: the paragraphs spread so the last reaches the foot, the
    // first stays at the top.
    auto spread = build(kit::VerticalAlignment::Justified, true);
    ASSERT_GE(spread->pages->pages().size(), 2u);
    auto first = spread->lines(0);
    auto plain = build(kit::VerticalAlignment::Top, true);
    auto unspread = plain->lines(0);
    ASSERT_EQ(first.size(), unspread.size()) << "the same lines on the page";
    EXPECT_LT(first.front().rect.y(), 0.5f);
    EXPECT_NEAR(first.back().rect.maxY(), 200, 0.01);
    EXPECT_GT(first.back().rect.maxY() - unspread.back().rect.maxY(), 0.01) << "there was room to spread";
    for (std::size_t i = 1; i < first.size(); ++i)
        EXPECT_GT(first[i].rect.y(), first[i - 1].rect.y());
}

// Lines in text order with the section each begins in.
TEST(SectionLayout, ColumnsBeforeAContinuousSectionAreBalancedAndItsOwnColumnsFollowOnThePage)
{
    // One column of three paragraphs, then (continuous) two columns of eleven, then (continuous) one again.
    ColumnPages pages;
    kit::Attributes plain = paragraphAttributes();
    for (int i = 0; i < 3; ++i)
        pages.body->append("Opening " + std::to_string(i) + "\n", plain);
    std::size_t twoStart = pages.body->length();
    for (int i = 0; i < 11; ++i)
        pages.body->append("Column text " + std::to_string(i) + "\n", plain);
    std::size_t oneStart = pages.body->length();
    for (int i = 0; i < 2; ++i)
        pages.body->append("Closing " + std::to_string(i) + "\n", plain);
    kit::PageSection one = ColumnPages::smallSection(1), two = ColumnPages::smallSection(2), last = ColumnPages::smallSection(1);
    two.start = twoStart;
    last.start = oneStart;
    pages.lay({ one, two, last });
    ASSERT_EQ(pages.pages->pages().size(), 1u) << "continuous sections share the page";
    float openingBottom = 0, leftBottom = 0, rightBottom = 0, twoTop = 1e9f, closingTop = 1e9f;
    int left = 0, right = 0;
    for (const auto& line : pages.lines(0)) {
        std::size_t at = line.range.location;
        if (at < twoStart) {
            EXPECT_FLOAT_EQ(line.rect.width(), 300);
            openingBottom = std::max(openingBottom, line.rect.maxY());
        } else if (at < oneStart) {
            twoTop = std::min(twoTop, line.rect.y());
            EXPECT_FLOAT_EQ(line.rect.width(), 140) << "the two-column section's own columns";
            bool isLeft = line.rect.x() < 1;
            (isLeft ? left : right)++;
            (isLeft ? leftBottom : rightBottom) = std::max(isLeft ? leftBottom : rightBottom, line.rect.maxY());
        } else {
            closingTop = std::min(closingTop, line.rect.y());
            EXPECT_FLOAT_EQ(line.rect.width(), 300) << "one column again";
        }
    }
    EXPECT_NEAR(twoTop, openingBottom, 0.01) << "the columns begin below the opening, not at the page's top";
    EXPECT_EQ(left, 6) << "eleven lines balanced: six and five";
    EXPECT_EQ(right, 5);
    EXPECT_GE(closingTop, std::max(leftBottom, rightBottom) - 0.01) << "below both columns";
    EXPECT_LT(closingTop, std::max(leftBottom, rightBottom) + 0.5f) << "right below the longer one";
    // The bands the page's rules are drawn in: each section's columns, as tall as their text.
    auto bands = pages.layout.columnBandsForTextContainer(*pages.layout.textContainers().front());
    ASSERT_EQ(bands.size(), 3u);
    EXPECT_EQ(bands[0].columns.size(), 1u);
    EXPECT_EQ(bands[1].section, 1u);
    ASSERT_EQ(bands[1].columns.size(), 2u);
    EXPECT_FLOAT_EQ(bands[1].columns[1].x, 160);
    EXPECT_NEAR(bands[1].top, openingBottom, 0.01);
    EXPECT_NEAR(bands[1].bottom, std::max(leftBottom, rightBottom), 0.01);
    EXPECT_EQ(bands[2].section, 2u);

    // After a page break the section starts a page of its own: nothing to balance or share.
    ColumnPages broken;
    broken.body->append("Before\f", plain);
    std::size_t start = broken.body->length();
    for (int i = 0; i < 4; ++i)
        broken.body->append("After " + std::to_string(i) + "\n", plain);
    kit::PageSection second = ColumnPages::smallSection(2);
    second.start = start;
    broken.lay({ ColumnPages::smallSection(1), second });
    ASSERT_EQ(broken.pages->pages().size(), 2u);
    for (const auto& line : broken.lines(1))
        EXPECT_LT(line.rect.x(), 1) << "four lines fill the first column of a page that is not balanced";
}

TEST(SectionLayout, UnequalColumnsAreBalancedToOneHeightToo)
{
    // A narrow and a wide column: the narrow one holds fewer words a line, so balancing gives it less than
    // half the band's text, and both come out of about one height.
    ColumnPages pages;
    std::string words;
    for (int i = 0; i < 90; ++i)
        words += "word ";
    pages.body->append(words + "\n", paragraphAttributes());
    std::size_t after = pages.body->length();
    pages.body->append("After\n", paragraphAttributes());
    kit::PageSection columns = ColumnPages::smallSection(2), next = ColumnPages::smallSection(1);
    columns.unequalColumns = { { 80, 40 }, { 180, 0 } };
    next.start = after;
    pages.lay({ columns, next });
    ASSERT_EQ(pages.pages->pages().size(), 1u);
    float leftBottom = 0, rightBottom = 0, lineHeight = 0;
    for (const auto& line : pages.lines(0)) {
        if (line.range.location >= after)
            continue;
        lineHeight = line.rect.height();
        (line.rect.x() < 1 ? leftBottom : rightBottom) = std::max(line.rect.x() < 1 ? leftBottom : rightBottom, line.rect.maxY());
    }
    ASSERT_GT(rightBottom, 0);
    EXPECT_LE(std::abs(leftBottom - rightBottom), lineHeight + 0.01) << leftBottom << " " << rightBottom;
}

TEST(SectionLayout, ABalancedBandThatDoesNotFitRunsOnToTheNextPage)
{
    // Two columns of sixty lines cannot balance on one page: the first page fills both columns, the rest
    // is balanced on the second above the continuous section that follows.
    ColumnPages pages;
    kit::Attributes plain = paragraphAttributes();
    for (int i = 0; i < 60; ++i)
        pages.body->append("Line " + std::to_string(i) + "\n", plain);
    std::size_t after = pages.body->length();
    pages.body->append("After the columns\n", plain);
    kit::PageSection columns = ColumnPages::smallSection(2), next = ColumnPages::smallSection(1);
    next.start = after;
    pages.lay({ columns, next });
    ASSERT_GE(pages.pages->pages().size(), 2u);
    std::size_t count = 0;
    for (std::size_t page = 0; page < pages.pages->pages().size(); ++page)
        for (const auto& line : pages.lines(page))
            count += !line.isDecoration;
    EXPECT_EQ(count, 61u) << "every line once";
    auto lastPage = pages.lines(pages.pages->pages().size() - 1);
    float leftBottom = 0, rightBottom = 0;
    for (const auto& line : lastPage) {
        if (line.range.location >= after)
            continue;
        (line.rect.x() < 1 ? leftBottom : rightBottom) = std::max(line.rect.x() < 1 ? leftBottom : rightBottom, line.rect.maxY());
    }
    EXPECT_GT(rightBottom, 0) << "the rest is spread over both columns";
    EXPECT_LE(std::abs(leftBottom - rightBottom), lastPage.front().rect.height() + 0.01);
}

} // namespace
