// Word binary files built to multiply themselves: a level text of 65,535 placeholders rebuilt for every
// numbered paragraph, a row of more cells than any table has columns. Each import runs in a memory-bounded
// child and must end with the document, its repetitions capped and its text kept.
#include "TestDocuments.h"
#include "import/common/OutputBudget.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace testdoc;

namespace {

// One simple list whose only level shows its number 65,535 times, used by override 1.
void addPlaceholderBombList(WordFileBuilder& builder)
{
    Bytes lists;
    put16(lists, 1);
    lists = concat({ lists, listDefinition(0x1234, true) });
    Bytes levels = listLevel(1000000, 0, std::u16string(0xFFFF, u'\0'));
    Bytes overrides;
    put32(overrides, 1);
    put32(overrides, 0x1234);
    put32(overrides, 0);
    put32(overrides, 0);
    for (int i = 0; i < 4; ++i)
        overrides.push_back(0);
    put32(overrides, 0xFFFFFFFF);
    builder.tableEntries[kPlfLst] = lists;
    builder.trailingBytes[kPlfLst] = levels;
    builder.tableEntries[kPlfLfo] = overrides;
}

} // namespace

TEST(DocHostile, LevelTextIsCappedBeforeItIsRebuiltPerParagraph)
{
    constexpr std::size_t kParagraphs = 5000;
    std::vector<std::u16string> texts(kParagraphs, u"x");
    std::vector<Bytes> grpprls(kParagraphs, concat({ sprm16(0x460B, 1), sprm(0x260A, { 0 }) }));
    WordFileBuilder builder = paragraphs(texts, grpprls);
    addPlaceholderBombList(builder);
    Bytes bytes = builder.build();
    auto outcome = testsupport::runBoundedChild([&] {
        auto result = importBytes(bytes);
        if (!result.text)
            return "failed " + std::string(errorText(result.error));
        std::size_t end = result.text->string().find('\t');
        return "label " + std::to_string(end) + " text " + std::to_string(result.text->length());
    });
    ASSERT_TRUE(outcome.exitedNormally) << "signal " << outcome.signal << ": " << outcome.report;
    if (!testsupport::hasAddressSpaceLimit()) {
        EXPECT_LT(std::size_t(outcome.peakResidentKiB) * 1024, testsupport::kChildAddressSpace);
    }
    std::size_t label = 0, length = 0;
    ASSERT_EQ(std::sscanf(outcome.report.c_str(), "label %zu text %zu", &label, &length), 2) << outcome.report;
    EXPECT_GE(label, importer::kMaxListLabelTemplate) << "a number for each of the template's first units";
    EXPECT_LE(label, importer::kMaxListLabelTemplate * 11) << "and no more";
    EXPECT_GE(length, kParagraphs * (label + 3));
}

TEST(DocHostile, ARowOfSixtyThousandCellsKeepsItsTextInOneSharedGrid)
{
    // One row of 60,000 cells without a definition. Each cell carrying its own copy of the table's widths
    // would be 60,000 squared floats (14 GB); the cells past the column limit join the last one.
    constexpr std::size_t kCells = 60000;
    WordFileBuilder builder;
    for (std::size_t i = 0; i < kCells; ++i) {
        builder.text += u"x\x07";
        builder.paragraphRuns.push_back({ std::uint32_t(builder.text.size()), 0, sprm(0x2416, { 1 }) });
    }
    builder.text += u"\x07";
    builder.paragraphRuns.push_back({ std::uint32_t(builder.text.size()), 0, concat({ sprm(0x2416, { 1 }), sprm(0x2417, { 1 }) }) });
    builder.text += u"after\r";
    builder.paragraphRuns.push_back({ std::uint32_t(builder.text.size()), 0, {} });
    Bytes bytes = builder.build();
    auto outcome = testsupport::runBoundedChild([&] {
        auto result = importBytes(bytes);
        if (!result.text)
            return "failed " + std::string(errorText(result.error));
        const std::string& text = result.text->string();
        std::size_t cells = 0, shared = 0, widest = 0, overrun = 0;
        const kit::TableCell* last = nullptr;
        const kit::TableCell* first = result.text->attributesAt(0).tableCell.get();
        for (const auto& run : result.text->runs()) {
            const kit::TableCell* cell = run.attributes->tableCell.get();
            if (!cell || cell == last)
                continue;
            last = cell;
            ++cells;
            shared += first && cell->columnWidths.isSharedWith(first->columnWidths);
            widest = std::max<std::size_t>(widest, std::size_t(cell->column + cell->columnSpan));
            overrun += std::size_t(cell->column + cell->columnSpan) > cell->columnWidths.size();
        }
        return "x " + std::to_string(std::count(text.begin(), text.end(), 'x')) + " cells " + std::to_string(cells)
            + " shared " + std::to_string(shared) + " columns " + std::to_string(widest) + " overrun " + std::to_string(overrun);
    });
    ASSERT_TRUE(outcome.exitedNormally) << "signal " << outcome.signal << ": " << outcome.report;
    if (!testsupport::hasAddressSpaceLimit()) {
        EXPECT_LT(std::size_t(outcome.peakResidentKiB) * 1024, testsupport::kChildAddressSpace);
    }
    std::size_t xs = 0, cells = 0, shared = 0, columns = 0, overrun = 0;
    ASSERT_EQ(std::sscanf(outcome.report.c_str(), "x %zu cells %zu shared %zu columns %zu overrun %zu", &xs, &cells, &shared,
                  &columns, &overrun),
        5)
        << outcome.report;
    EXPECT_EQ(xs, kCells) << "every cell's text is kept";
    EXPECT_GT(cells, 100u);
    EXPECT_LE(columns, 1000u) << "no more columns than a word processor allows";
    EXPECT_EQ(shared, cells) << "one list of widths for the whole table";
    EXPECT_EQ(overrun, 0u) << "every cell lies inside the grid";
}
