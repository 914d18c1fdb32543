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

// Pango adds up a paragraph's advances in 32-bit units of 1/1024 point before it breaks lines; past
// 2^31 (about two million points of text) the sum wraps and Pango stops wrapping the paragraph at all.
// Pieces are kept well under that: at most a million points' worth of the paragraph's largest font, and
// never more than 16 KB, which is several pages. A piece ends after a space where it can.
constexpr std::size_t kMaximumPieceBytes = 16384;
constexpr float kMaximumPiecePoints = 1e6f;

void appendInPieces(TextStructure& structure, Paragraph paragraph, const TextStorage& storage)
{
    if (paragraph.length <= 512) {
        structure.paragraphs.push_back(paragraph);
        return;
    }
    float largest = 1;
    const auto& runs = storage.runs();
    auto run = std::upper_bound(runs.begin(), runs.end(), std::size_t(paragraph.start),
        [](std::size_t i, const AttributeRun& r) { return i < r.location; });
    for (auto it = run == runs.begin() ? run : run - 1;
         it != runs.end() && it->location < paragraph.start + paragraph.length; ++it)
        largest = std::max(largest, it->attributes->fontSize);
    std::size_t limit = std::clamp(std::size_t(kMaximumPiecePoints / largest), std::size_t(64), kMaximumPieceBytes);

    const std::string& text = storage.string();
    std::uint32_t start = paragraph.start;
    const std::uint32_t contentEnd = paragraph.start + paragraph.length;
    while (contentEnd - start > limit) {
        std::size_t cut = start + limit;
        std::size_t space = text.rfind(' ', cut - 1);
        if (space != std::string::npos && space >= start + limit / 2) {
            cut = space + 1;
        } else {
            while (cut > start + 1 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
                --cut; // never inside a character
        }
        Paragraph piece = paragraph;
        piece.start = start;
        piece.length = std::uint32_t(cut - start);
        piece.terminatorLength = 0;
        piece.pageBreakAfter = false;
        piece.continuesParagraph = start != paragraph.start;
        piece.continuedAfter = true;
        structure.paragraphs.push_back(piece);
        start = std::uint32_t(cut);
    }
    Paragraph last = paragraph;
    last.start = start;
    last.length = contentEnd - start;
    last.continuesParagraph = start != paragraph.start;
    structure.paragraphs.push_back(last);
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
        // A plain scan: find_first_of looks each byte up in the set with a call of its own.
        std::size_t end = position;
        while (end < text.size() && text[end] != '\n' && text[end] != kPageBreak)
            ++end;
        Paragraph paragraph;
        paragraph.start = std::uint32_t(position);
        if (end == text.size()) {
            paragraph.length = std::uint32_t(text.size() - position);
        } else {
            paragraph.length = std::uint32_t(end - position);
            paragraph.terminatorLength = 1;
            paragraph.pageBreakAfter = text[end] == kPageBreak;
        }
        paragraph.paragraphStart = paragraph.start;
        auto index = std::uint32_t(structure.paragraphs.size());
        appendInPieces(structure, paragraph, storage);
        position = paragraph.end();

        std::shared_ptr<const TableCell> cell;
        if (hasTables) {
            while (run + 1 < runs.size() && runs[run + 1].location <= paragraph.start)
                ++run;
            cell = runs[run].attributes->tableCell;
        }
        auto pieces = std::uint32_t(structure.paragraphs.size()) - index;
        if (!cell) {
            for (std::uint32_t piece = 0; piece < pieces; ++piece)
                structure.body.push_back({ Block::Kind::Paragraph, index + piece });
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
                table.rows.push_back({ level->row, level->isHeaderRow, level->rowKeepsTogether, {} });
            Row& row = table.rows.back();
            if (row.cells.empty() || row.cells.back().attributes->column != level->column)
                row.cells.push_back({ level, {} });
            blocks = &row.cells.back().blocks;
        }
        for (std::uint32_t piece = 0; piece < pieces; ++piece)
            blocks->push_back({ Block::Kind::Paragraph, index + piece });
    }
    return structure;
}

} // namespace kit::layout
