#include "kit/text/LayoutModel.h"

#include "kit/text/TextStorage.h"

#include <algorithm>
#include <unordered_map>

namespace kit::layout {

namespace {

using CellChain = std::vector<std::shared_ptr<const TableCell>>;

// The cells enclosing a paragraph, outermost first. A parent pointer is followed only when a run of the
// storage still holds that cell, so a stale pointer is never read. A nested cell whose enclosing cells
// cannot be reached that way lies in the cells that enclosed the paragraph before it.
CellChain cellChain(const std::shared_ptr<const TableCell>& cell,
    const std::unordered_map<const TableCell*, std::shared_ptr<const TableCell>>& held, const CellChain& previous)
{
    CellChain chain;
    for (auto current = cell; current && chain.size() < 64;) {
        chain.push_back(current);
        if (!current->parent || current->nestingLevel <= 1)
            break;
        auto it = held.find(current->parent);
        if (it == held.end())
            break;
        current = it->second;
    }
    std::reverse(chain.begin(), chain.end());
    int outermost = chain.front()->nestingLevel;
    CellChain enclosing;
    for (const auto& level : previous) {
        if (level->nestingLevel >= outermost)
            break;
        enclosing.push_back(level);
    }
    chain.insert(chain.begin(), enclosing.begin(), enclosing.end());
    return chain;
}

} // namespace

TextStructure TextStructure::build(const TextStorage& storage)
{
    TextStructure structure;
    const std::string& text = storage.string();
    const auto& runs = storage.runs();

    std::unordered_map<const TableCell*, std::shared_ptr<const TableCell>> held;
    bool hasTables = false;
    for (const auto& run : runs) {
        if (run.attributes->tableCell) {
            held.emplace(run.attributes->tableCell.get(), run.attributes->tableCell);
            hasTables = true;
        }
    }

    std::size_t run = 0;
    std::size_t position = 0;
    CellChain chain; // the cells around the last paragraph in a table
    while (position < text.size()) {
        std::size_t end = text.find_first_of("\n\f", position);
        Paragraph paragraph;
        paragraph.start = std::uint32_t(position);
        if (end == std::string::npos) {
            paragraph.length = std::uint32_t(text.size() - position);
        } else {
            paragraph.length = std::uint32_t(end - position);
            paragraph.terminatorLength = 1;
            paragraph.pageBreakAfter = text[end] == kPageBreak;
        }
        auto index = std::uint32_t(structure.paragraphs.size());
        structure.paragraphs.push_back(paragraph);
        position = paragraph.end();

        std::shared_ptr<const TableCell> cell;
        if (hasTables) {
            while (run + 1 < runs.size() && runs[run + 1].location <= paragraph.start)
                ++run;
            cell = runs[run].attributes->tableCell;
        }
        if (!cell) {
            structure.body.push_back({ Block::Kind::Paragraph, index });
            chain.clear();
            continue;
        }
        std::vector<Block>* blocks = &structure.body;
        chain = cellChain(cell, held, chain);
        for (const auto& level : chain) {
            if (blocks->empty() || blocks->back().kind != Block::Kind::Table
                || structure.tables[blocks->back().index].id != level->tableId) {
                structure.tables.push_back({ level->tableId, {} });
                blocks->push_back({ Block::Kind::Table, std::uint32_t(structure.tables.size() - 1) });
            }
            Table& table = structure.tables[blocks->back().index];
            if (table.rows.empty() || table.rows.back().row != level->row)
                table.rows.push_back({ level->row, level->isHeaderRow, {} });
            Row& row = table.rows.back();
            if (row.cells.empty() || row.cells.back().attributes->column != level->column)
                row.cells.push_back({ level, {} });
            blocks = &row.cells.back().blocks;
        }
        blocks->push_back({ Block::Kind::Paragraph, index });
    }
    return structure;
}

} // namespace kit::layout
