#include "LayoutTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace layouttest;
using namespace kit;

namespace {

using Fragments = std::vector<LayoutManager::LineFragment>;

Fragments fragmentsOf(const Pages& pages, std::size_t container)
{
    return pages.layoutManager->lineFragmentsForTextContainer(pages.container(container));
}

// The line that starts at a byte, on whichever page it is.
LayoutManager::LineFragment lineAt(const Pages& pages, std::size_t start, std::size_t* page = nullptr)
{
    for (std::size_t p = 0; p < pages.count(); ++p) {
        for (const auto& fragment : fragmentsOf(pages, p)) {
            if (!fragment.isDecoration && fragment.range.location == start) {
                if (page)
                    *page = p;
                return fragment;
            }
        }
    }
    ADD_FAILURE() << "no line starts at " << start;
    return {};
}

// Every byte lies on exactly one line of one page (decorations aside), whatever order the pages hold them in.
void expectEveryBytePlacedOnce(const Pages& pages)
{
    std::vector<Range> lines;
    for (std::size_t p = 0; p < pages.count(); ++p) {
        for (const auto& fragment : fragmentsOf(pages, p)) {
            if (!fragment.isDecoration)
                lines.push_back(fragment.range);
        }
    }
    std::sort(lines.begin(), lines.end(), [](Range a, Range b) { return a.location < b.location; });
    std::size_t next = 0;
    for (Range line : lines) {
        EXPECT_EQ(line.location, next);
        next = line.end();
    }
    EXPECT_EQ(next, pages.storage->length());
}

std::vector<std::string> lines(int count, const std::string& word)
{
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i)
        result.push_back(word + " " + std::to_string(i));
    return result;
}

} // namespace

TEST(TableLayout, ColumnsTakeTheTablesWidthsScaledToFit)
{
    const struct {
        std::vector<float> widths;
        float secondColumn;
        float secondWidth;
        const char* why;
    } cases[] = {
        { { 100, 200 }, 100, 200, "the table's own widths" },
        { { 400, 400 }, 234, 234, "wider than the text: scaled down together" },
        { {}, 234, 234, "no widths: the column shares the width equally" },
        { { 100 }, 100, 368, "a missing width takes what is left" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = std::make_shared<TextStorage>();
        TableBuilder table(storage, 1, c.widths);
        table.cell(0, 0, { "left" });
        std::size_t second = storage->length();
        table.cell(0, 1, { "right" });
        Pages pages = paginate(storage);
        auto fragment = lineAt(pages, second);
        EXPECT_NEAR(fragment.rect.x(), c.secondColumn + 5.4f, 0.01f) << "column edge plus the cell's left padding";
        EXPECT_NEAR(fragment.rect.width(), c.secondWidth - 10.8f, 0.01f);
        EXPECT_NEAR(lineAt(pages, 0).rect.x(), 5.4f, 0.01f);
    }
}

TEST(TableLayout, RowsAreAsTallAsTheirTallestCell)
{
    auto storage = std::make_shared<TextStorage>();
    TableBuilder table(storage, 1, { 200, 200 });
    table.cell(0, 0, lines(3, "tall"));
    table.cell(0, 1, { "short" });
    std::size_t secondRow = storage->length();
    table.cell(1, 0, { "next row" });
    table.cell(1, 1, { "next row too" });
    std::size_t after = storage->length();
    storage->append("After the table\n", attributes());
    Pages pages = paginate(storage);
    float line = lineAt(pages, 0).rect.height();
    EXPECT_NEAR(lineAt(pages, secondRow).rect.y(), 3 * line, 0.01f);
    EXPECT_NEAR(lineAt(pages, after).rect.y(), 4 * line, 0.01f) << "the text after the table follows its last row";
    expectEveryBytePlacedOnce(pages);
}

TEST(TableLayout, MergedCellsSpanColumnsAndRows)
{
    auto storage = std::make_shared<TextStorage>();
    TableBuilder table(storage, 1, { 100, 100, 100 });
    std::size_t wide = storage->length();
    table.cell(0, 0, { "two columns" }, 1, 2);
    table.cell(0, 2, lines(4, "merged down"), 2);
    std::size_t secondRow = storage->length();
    table.cell(1, 0, { "a" });
    table.cell(1, 1, { "b" });
    std::size_t after = storage->length();
    storage->append("After\n", attributes());
    Pages pages = paginate(storage);
    float line = lineAt(pages, wide).rect.height();
    EXPECT_NEAR(lineAt(pages, wide).rect.width(), 200 - 10.8f, 0.01f) << "spans two columns";
    EXPECT_NEAR(lineAt(pages, secondRow).rect.y(), line, 0.01f) << "row 2 starts below row 1's own cells";
    EXPECT_NEAR(lineAt(pages, after).rect.y(), 4 * line, 0.01f) << "the rows grow to hold the merged cell";
    expectEveryBytePlacedOnce(pages);
}

TEST(TableLayout, NestedTablesLayOutInsideTheirCell)
{
    auto storage = std::make_shared<TextStorage>();
    TableBuilder outer(storage, 1, { 200, 268 });
    auto outerCell = outer.cell(0, 0, { "outer first" });
    // The second outer cell holds a nested table, then a paragraph of its own.
    TableCell holder = outer.prototype;
    holder.column = 1;
    auto holderShared = std::make_shared<const TableCell>(holder);
    TableBuilder inner(storage, 2, { 100, 100 });
    std::size_t innerSecond = 0;
    inner.cell(0, 0, { "inner a" }, 1, 1, holderShared.get());
    innerSecond = storage->length();
    inner.cell(0, 1, { "inner b" }, 1, 1, holderShared.get());
    std::size_t outerTail = storage->length();
    Attributes a = attributes();
    a.tableCell = holderShared;
    storage->append("outer tail\n", a);
    (void)outerCell;
    Pages pages = paginate(storage);
    EXPECT_NEAR(lineAt(pages, innerSecond).rect.x(), 200 + 5.4f + 100 + 5.4f, 0.01f)
        << "outer column, outer padding, inner column, inner padding";
    auto tail = lineAt(pages, outerTail);
    EXPECT_NEAR(tail.rect.x(), 205.4f, 0.01f);
    EXPECT_NEAR(tail.rect.y(), lineAt(pages, innerSecond).rect.maxY(), 0.01f) << "below the nested table";
    expectEveryBytePlacedOnce(pages);
}

TEST(TableLayout, RowThatFitsOnTheNextPageMovesThereWhole)
{
    auto storage = std::make_shared<TextStorage>();
    for (int i = 0; i < 6; ++i)
        storage->append("body\n", attributes());
    TableBuilder table(storage, 1, { 200, 200 });
    std::size_t row = storage->length();
    table.cell(0, 0, lines(4, "cell"));
    table.cell(0, 1, lines(2, "cell"));
    float line = 13.799f;
    Pages pages = paginate(storage, { 468, 8 * line + 1 });
    ASSERT_EQ(pages.count(), 2u);
    EXPECT_EQ(pages.ranges[0].end(), row);
    EXPECT_EQ(pages.ranges[1].location, row) << "the row went whole to the next page";
    EXPECT_EQ(pages.ranges[1].end(), storage->length());
}

TEST(TableLayout, InTheDocumentsOwnLayoutRowsBreakAcrossPagesUnlessKeptTogether)
{
    // Twelve lines of body leave room for two of the fourteen lines a page holds.
    for (bool keep : { false, true }) {
        SCOPED_TRACE(keep ? "kept together" : "may break");
        DocumentLayout doc;
        for (int i = 0; i < 12; ++i)
            doc.body->append("body\n", attributes());
        TableBuilder table(doc.body, 1, { 150, 150 });
        table.prototype.rowKeepsTogether = keep;
        table.cell(0, 0, lines(4, "left"));
        table.cell(0, 1, lines(2, "right"));
        doc.lay();
        ASSERT_EQ(doc.pages->pages().size(), 2u);
        EXPECT_EQ(doc.pageOf("left 0"), keep ? 1u : 0u);
        EXPECT_EQ(doc.pageOf("left 1"), keep ? 1u : 0u);
        EXPECT_EQ(doc.pageOf("left 2"), 1u);
        EXPECT_EQ(doc.pageOf("right 1"), keep ? 1u : 0u) << "the short cell ends on the row's first page";
    }
}

TEST(TableLayout, RowTallerThanAPageSplitsBetweenLines)
{
    auto storage = std::make_shared<TextStorage>();
    TableBuilder table(storage, 1, { 200, 200 });
    table.cell(0, 0, lines(25, "left"));
    std::size_t right = storage->length();
    table.cell(0, 1, lines(12, "right"));
    std::size_t after = storage->length();
    storage->append("after\n", attributes());
    float line = 13.799f;
    Pages pages = paginate(storage, { 468, 10 * line + 1 });
    ASSERT_EQ(pages.count(), 3u);
    expectEveryBytePlacedOnce(pages);
    EXPECT_GT(pages.ranges[0].end(), pages.ranges[1].location) << "a split row's range overlaps the next page's";
    std::size_t page = 0;
    lineAt(pages, right, &page);
    EXPECT_EQ(page, 0u) << "the right cell starts beside the left one";
    auto tail = lineAt(pages, after, &page);
    EXPECT_EQ(page, 2u);
    EXPECT_NEAR(tail.rect.y(), 5 * line, 0.01f) << "after the left cell's last five lines";
}

TEST(TableLayout, RowTallerThanAPageSpreadsEveryCellOverThePagesItNeeds)
{
    // Pages hold 10 lines. Each cell's lines continue page after page in order; a cell that ends early
    // leaves its column empty below.
    const struct {
        std::vector<int> cellLines;
        int linesAfter;
        std::size_t pages;
        const char* why;
    } cases[] = {
        { { 25, 2 }, 0, 3, "the row is the last block: pagination must not stop once the short cell is placed" },
        { { 25, 2 }, 3, 3, "text after the row follows the long cell's last lines" },
        { { 30 }, 0, 3, "one cell three pages tall" },
        { { 2, 25 }, 0, 3, "the long cell is the last one" },
        { { 25, 12, 1 }, 1, 3, "three cells ending on three different pages" },
    };
    float line = 13.799f;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = std::make_shared<TextStorage>();
        TableBuilder table(storage, 1, std::vector<float>(c.cellLines.size(), 468.0f / float(c.cellLines.size())));
        std::vector<std::size_t> cellStarts;
        for (std::size_t i = 0; i < c.cellLines.size(); ++i) {
            cellStarts.push_back(storage->length());
            table.cell(0, int(i), lines(c.cellLines[i], "cell" + std::to_string(i)));
        }
        std::size_t after = storage->length();
        for (int i = 0; i < c.linesAfter; ++i)
            storage->append("after " + std::to_string(i) + "\n", attributes());
        Pages pages = paginate(storage, { 468, 10 * line + 1 });
        ASSERT_EQ(pages.count(), c.pages);
        expectEveryBytePlacedOnce(pages);
        for (std::size_t i = 0; i < c.cellLines.size(); ++i) {
            // Line k of a cell lies on page k / 10, at row k % 10.
            std::size_t start = cellStarts[i];
            for (int k = 0; k < c.cellLines[i]; ++k) {
                std::size_t page = 0;
                auto fragment = lineAt(pages, start, &page);
                EXPECT_EQ(page, std::size_t(k / 10)) << "cell " << i << " line " << k;
                EXPECT_NEAR(fragment.rect.y(), float(k % 10) * line, 0.01f) << "cell " << i << " line " << k;
                start = fragment.range.end();
            }
        }
        int longest = *std::max_element(c.cellLines.begin(), c.cellLines.end());
        if (c.linesAfter) {
            std::size_t page = 0;
            auto fragment = lineAt(pages, after, &page);
            EXPECT_EQ(page, std::size_t(longest / 10));
            EXPECT_NEAR(fragment.rect.y(), float(longest % 10) * line, 0.01f);
        }
        EXPECT_TRUE(pages.layoutManager->textEndsInOrBeforeTextContainer(pages.container(pages.count() - 1)));
        EXPECT_FALSE(pages.layoutManager->textEndsInOrBeforeTextContainer(pages.container(pages.count() - 2)));
    }
}

TEST(TableLayout, HeaderRowsRepeatAsDecorationOnEveryPage)
{
    auto storage = std::make_shared<TextStorage>();
    TableBuilder table(storage, 1, { 234, 234 });
    table.cell(0, 0, { "Header A" }, 1, 1, nullptr, true);
    table.cell(0, 1, { "Header B" }, 1, 1, nullptr, true);
    std::size_t headerEnd = storage->length();
    for (int row = 1; row <= 30; ++row) {
        table.cell(row, 0, { "row " + std::to_string(row) });
        table.cell(row, 1, { "value" });
    }
    float line = 13.799f;
    Pages pages = paginate(storage, { 468, 10 * line + 1 });
    ASSERT_GE(pages.count(), 3u);
    expectEveryBytePlacedOnce(pages);
    for (std::size_t p = 1; p < pages.count(); ++p) {
        SCOPED_TRACE(p);
        Fragments fragments = fragmentsOf(pages, p);
        ASSERT_GE(fragments.size(), 2u);
        EXPECT_TRUE(fragments[0].isDecoration);
        EXPECT_EQ(fragments[0].range, (Range { 0, 9 }));
        EXPECT_EQ(fragments[0].rect.y(), 0);
        EXPECT_GE(pages.ranges[p].location, headerEnd) << "the repeated header is not part of the page's text";
        EXPECT_TRUE(pages.layoutManager->rectsForCharacterRange({ 0, headerEnd }, pages.container(p)).empty())
            << "nor of its selection";
    }
}

TEST(TableLayout, CharacterIndexForPointFindsTheCellUnderThePoint)
{
    auto storage = std::make_shared<TextStorage>();
    TableBuilder table(storage, 1, { 200, 200 });
    table.cell(0, 0, { "left" });
    std::size_t right = storage->length();
    table.cell(0, 1, { "right" });
    Pages pages = paginate(storage);
    float y = lineAt(pages, 0).rect.midY();
    EXPECT_EQ(pages.layoutManager->characterIndexForPoint({ 206, y }, pages.container(0)), right);
    EXPECT_EQ(pages.layoutManager->characterIndexForPoint({ 6, y }, pages.container(0)), 0u);
}

TEST(TableLayout, NestedCellWithAnUnreachableParentStaysInTheEnclosingCell)
{
    auto storage = std::make_shared<TextStorage>();
    TableBuilder outer(storage, 1, { 200, 268 });
    outer.cell(0, 0, { "outer first" });
    auto holder = outer.cell(0, 1, { "outer lead" });
    // A parent no run of the storage holds (an importer's copy, say): it must never be read.
    TableCell detached = *holder;
    TableBuilder inner(storage, 2, { 100, 100 });
    inner.cell(0, 0, { "inner a" }, 1, 1, &detached);
    std::size_t innerSecond = storage->length();
    inner.cell(0, 1, { "inner b" }, 1, 1, &detached);
    Pages pages = paginate(storage);
    EXPECT_NEAR(lineAt(pages, innerSecond).rect.x(), 200 + 5.4f + 100 + 5.4f, 0.01f)
        << "inside the cell that enclosed the paragraph before it";
    expectEveryBytePlacedOnce(pages);
}
