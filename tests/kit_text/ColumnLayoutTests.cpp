// Pages set in columns: the text fills each column from the top before the next, column breaks, and a
// table inside a column.
#include "kit/text/DocumentPages.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"

#include <gtest/gtest.h>
#include <cmath>
#include <map>

namespace {

constexpr float kSpacing = 20;

// A small page (text area 300 x 200 points) in `columns` columns kSpacing apart.
struct ColumnPages {
    std::shared_ptr<kit::TextStorage> body = std::make_shared<kit::TextStorage>();
    std::shared_ptr<kit::PageSetup> setup = std::make_shared<kit::PageSetup>();
    kit::LayoutManager layout;
    std::unique_ptr<kit::DocumentPages> pages;

    static kit::PageSection smallSection(int columns)
    {
        kit::PageSection section;
        section.paperSize = { 400, 300 };
        section.margins = { 50, 50, 50, 50, 20, 20, 0 };
        section.columnCount = columns;
        section.columnSpacing = kSpacing;
        return section;
    }
    void lay(int columns) { lay(std::vector<kit::PageSection> { smallSection(columns) }); }
    void lay(std::vector<kit::PageSection> sections)
    {
        setup->sections = std::move(sections);
        body->setPageSetup(setup);
        pages = std::make_unique<kit::DocumentPages>(setup);
        layout.replaceTextStorage(body);
        pages->paginate(layout);
    }
    std::vector<kit::LayoutManager::LineFragment> lines(std::size_t page)
    {
        return layout.lineFragmentsForTextContainer(*layout.textContainers().at(page));
    }
    // The page and the left edge of the line that holds byte `index`.
    std::pair<std::size_t, float> place(std::size_t index)
    {
        for (std::size_t page = 0; page < pages->pages().size(); ++page)
            for (const auto& line : lines(page))
                if (!line.isDecoration && index >= line.range.location && index < line.range.end())
                    return { page, line.rect.x() };
        return { SIZE_MAX, -1 };
    }
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

} // namespace
