// Layout and pagination of styled text made from the input: each byte pair is an instruction (append a
// word, end a paragraph, break a page, change the font size, weight, slant, script position, line spacing,
// indents, alignment or tabs, open or close a table cell) and what the text then says is laid out on pages
// added one at a time, as the page view adds them. Every page must place some text and the pagination must
// end: a page that places nothing would make the view add pages forever.
#include "OutputChecks.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {

std::shared_ptr<kit::TextStorage> styledText(const std::uint8_t* data, std::size_t size)
{
    static const char* words[] = { "the", "extraordinarily", "é", "Ärger", "\xE4\xB8\xAD\xE6\x96\x87", "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D",
        "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7", "co-operation", "\t", " ", "\xE2\x80\xA8", "x", "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW",
        "\xC2\xAD", "\xE2\x80\x8B", "1.5" };
    auto storage = std::make_shared<kit::TextStorage>();
    kit::Attributes attributes;
    kit::ParagraphStyle paragraph;
    std::shared_ptr<kit::TableCell> cell;
    int tableId = 0, row = 0, column = 0;
    bool paragraphOpen = false;
    auto endParagraph = [&](char terminator) {
        kit::Attributes mark = attributes;
        mark.paragraph = std::make_shared<const kit::ParagraphStyle>(paragraph);
        mark.tableCell = cell;
        storage->append(std::string_view(&terminator, 1), mark);
        paragraphOpen = false;
    };
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        std::uint8_t operation = data[i], operand = data[i + 1];
        switch (operation % 16) {
        case 0:
        case 1:
        case 2:
        case 3: {
            kit::Attributes run = attributes;
            run.paragraph = std::make_shared<const kit::ParagraphStyle>(paragraph);
            run.tableCell = cell;
            storage->append(words[operand % std::size(words)], run);
            paragraphOpen = true;
            break;
        }
        case 4:
            endParagraph('\n');
            break;
        case 5:
            if (!cell)
                endParagraph(kit::kPageBreak);
            break;
        case 6:
            attributes.fontSize = 1 + float(operand) * (operand > 250 ? 6 : 0.5f);
            break;
        case 7:
            attributes.bold = operand & 1, attributes.italic = operand & 2;
            attributes.superscript = std::int8_t(int(operand % 3) - 1);
            attributes.baselineShift = float(int(operand) - 128) / 4;
            attributes.fontFamily = operand & 4 ? "Liberation Sans" : operand & 8 ? "Carlito" : "Times New Roman";
            break;
        case 8:
            paragraph.lineSpacingRule = kit::LineSpacingRule(operand % 3);
            paragraph.lineSpacing = paragraph.lineSpacingRule == kit::LineSpacingRule::Multiple ? float(operand % 8) / 2 : float(operand);
            break;
        case 9:
            paragraph.firstLineHeadIndent = float(int(operand) - 64) * 4;
            paragraph.headIndent = float(operand % 32) * 12;
            paragraph.tailIndent = float(operand % 16) * 20;
            break;
        case 10:
            paragraph.alignment = kit::TextAlignment(operand % 5);
            paragraph.baseDirection = kit::WritingDirection(operand / 5 % 3);
            break;
        case 11:
            if (paragraph.tabStops.size() < 32)
                paragraph.tabStops.push_back({ paragraph.tabStops.empty() ? float(operand) : paragraph.tabStops.back().location + float(operand) + 1,
                    kit::TabAlignment(operand % 4) });
            else
                paragraph.tabStops.clear();
            break;
        case 12:
            paragraph.spacingBefore = float(operand) * 2, paragraph.spacingAfter = float(operand % 64);
            paragraph.pageBreakBefore = operand & 0x80, paragraph.keepWithNext = operand & 0x40;
            break;
        case 13: {
            // The next cell of the table: a new row when the operand says so, or after the fourth column.
            if (paragraphOpen || cell)
                endParagraph('\n');
            if (!cell)
                ++tableId, row = 0, column = 0;
            else if (operand & 1 || column >= 4)
                ++row, column = 0;
            auto next = std::make_shared<kit::TableCell>();
            next->tableId = tableId;
            next->row = row;
            next->column = column;
            next->columnSpan = 1 + (operand >> 1) % 2;
            next->columnWidths = { 80, float(operand), 120, 40, 60, 20 };
            column += next->columnSpan;
            cell = next;
            break;
        }
        case 14:
            if (cell) {
                endParagraph('\n');
                cell = nullptr;
            }
            break;
        default:
            paragraph = {};
            attributes = {};
            break;
        }
    }
    if (paragraphOpen || cell)
        endParagraph('\n');
    return storage;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto storage = styledText(data, std::min<std::size_t>(size, 8192));
    fuzzoutput::checkOutput(*storage, "layout");
    kit::LayoutManager layoutManager;
    layoutManager.replaceTextStorage(storage);
    const std::size_t limit = storage->length() + 2;
    std::size_t pages = 0;
    for (bool ends = false; !ends; ++pages) {
        fuzzoutput::require(pages < limit, "layout", "the pagination ends: no more pages than characters");
        layoutManager.addTextContainer(std::make_unique<kit::TextContainer>(kit::Size { 468, 648 }));
        kit::TextContainer& added = *layoutManager.textContainers().back();
        kit::Range range = layoutManager.glyphRangeForTextContainer(added);
        fuzzoutput::require(range.end() <= storage->length(), "layout", "a page's range lies inside the text");
        ends = layoutManager.textEndsInOrBeforeTextContainer(added);
    }
    return 0;
}
