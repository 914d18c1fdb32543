#include "import/doc/TableWriter.h"

#include "import/common/OutputBudget.h"

#include <algorithm>
#include <map>

namespace importer::doc {

namespace {

// Deeper nesting is written as plain paragraphs of the deepest table kept.
constexpr int kMaximumNesting = 16;
// Word treats cell edges this close (twips) as one: rows drawn by hand rarely line up exactly.
constexpr std::int32_t kEdgeTolerance = 3;
// Cells beyond a row's definition, and rows without one, get this width (twips).
constexpr std::int32_t kFallbackCellWidth = 1440;
// A word processor's own limit is far below this; a table with more columns comes from a damaged or hostile
// file. Cells past it in a row join the row's last cell, so their text stays.
constexpr std::size_t kMaximumColumns = 1000;

struct CellModel {
    std::vector<const Paragraph*> content;
    std::size_t index = 0; // among the row's cells as the text has them
    std::int32_t left = 0, right = 0;
    const TableCellDefinition* definition = nullptr;
    bool isContinuation = false;
    int column = 0, columnSpan = 1, rowSpan = 1;
};

struct RowModel {
    std::vector<CellModel> cells;
    const TableProperties* properties = nullptr;
};

bool hasText(const std::vector<const Paragraph*>& content)
{
    return std::any_of(content.begin(), content.end(), [](const Paragraph* paragraph) {
        return std::any_of(paragraph->spans.begin(), paragraph->spans.end(), [](const Span& span) { return !span.text.empty(); });
    });
}

} // namespace

TableWriter::TableWriter(kit::TextStorage& storage, float defaultTabInterval)
    : m_storage(storage)
    , m_defaultTabInterval(defaultTabInterval)
{
}

void TableWriter::write(const std::vector<Paragraph>& paragraphs)
{
    std::vector<const Paragraph*> list;
    list.reserve(paragraphs.size());
    for (const auto& paragraph : paragraphs)
        list.push_back(&paragraph);
    writeRange(list, 0, nullptr);
}

void TableWriter::writeRange(Paragraphs list, int level, const std::shared_ptr<const kit::TableCell>& cell)
{
    std::size_t i = 0;
    while (i < list.size()) {
        if (list[i]->depth > level && level < kMaximumNesting) {
            std::size_t j = i;
            while (j < list.size() && list[j]->depth > level)
                ++j;
            writeTable(list.subspan(i, j - i), level + 1, cell);
            i = j;
            continue;
        }
        if (!list[i]->endsRow)
            writeParagraph(*list[i], cell);
        ++i;
    }
}

void TableWriter::writeTable(Paragraphs list, int level, const std::shared_ptr<const kit::TableCell>& parent)
{
    // Rows end at their row marks, cells at their cell marks; deeper paragraphs belong to nested tables.
    std::vector<RowModel> rows;
    RowModel row;
    CellModel cell;
    for (const Paragraph* paragraph : list) {
        bool atLevel = paragraph->depth == level;
        if (atLevel && paragraph->endsRow) {
            if (!cell.content.empty()) {
                row.cells.push_back(std::move(cell));
                cell = {};
            }
            row.properties = paragraph->row ? &*paragraph->row : nullptr;
            rows.push_back(std::move(row));
            row = {};
            continue;
        }
        cell.content.push_back(paragraph);
        if (atLevel && paragraph->endsCell) {
            if (row.cells.size() < kMaximumColumns)
                row.cells.push_back(std::move(cell));
            else
                row.cells.back().content.insert(row.cells.back().content.end(), cell.content.begin(), cell.content.end());
            cell = {};
        }
    }
    if (!cell.content.empty()) {
        if (row.cells.size() < kMaximumColumns)
            row.cells.push_back(std::move(cell));
        else
            row.cells.back().content.insert(row.cells.back().content.end(), cell.content.begin(), cell.content.end());
    }
    if (!row.cells.empty())
        rows.push_back(std::move(row));

    // Cell edges from the row definitions; horizontally merged and zero-width cells join the cell before.
    std::vector<std::int32_t> edges;
    for (auto& model : rows) {
        const TableProperties* properties = model.properties;
        bool hasGeometry = properties && properties->boundaries.size() >= 2;
        CellModel* previous = nullptr;
        for (std::size_t c = 0; c < model.cells.size(); ++c) {
            CellModel& current = model.cells[c];
            current.index = c;
            if (hasGeometry) {
                std::size_t defined = properties->boundaries.size() - 1;
                if (c < defined) {
                    current.left = properties->boundaries[c];
                    current.right = properties->boundaries[c + 1];
                    if (c < properties->cells.size())
                        current.definition = &properties->cells[c];
                } else {
                    current.left = properties->boundaries.back() + std::int32_t(c - defined) * kFallbackCellWidth;
                    current.right = current.left + kFallbackCellWidth;
                }
            } else {
                current.left = std::int32_t(c) * 2 * kFallbackCellWidth;
                current.right = current.left + 2 * kFallbackCellWidth;
            }
            current.right = std::max(current.right, current.left);
            bool merged = current.definition && current.definition->isMerged && !current.definition->isFirstMerged;
            if (previous && (merged || current.right - current.left <= kEdgeTolerance)) {
                previous->right = std::max(previous->right, current.right);
                if (hasText(current.content))
                    previous->content.insert(previous->content.end(), current.content.begin(), current.content.end());
                current.isContinuation = true;
                continue;
            }
            previous = &current;
        }
        for (const auto& current : model.cells) {
            if (!current.isContinuation) {
                edges.push_back(current.left);
                edges.push_back(current.right);
            }
        }
    }
    std::sort(edges.begin(), edges.end());
    // Rows that share no edges would make a grid line of every edge: past the column limit, edges ever
    // farther apart count as one.
    std::vector<std::int32_t> grid;
    std::int32_t tolerance = kEdgeTolerance;
    for (;; tolerance *= 2) {
        grid.clear();
        for (std::int32_t edge : edges) {
            if (grid.empty() || edge - grid.back() > tolerance)
                grid.push_back(edge);
        }
        if (grid.size() <= kMaximumColumns + 1)
            break;
    }
    auto gridIndex = [&](std::int32_t x) {
        auto it = std::lower_bound(grid.begin(), grid.end(), x - tolerance);
        return int(std::min<std::size_t>(std::size_t(it - grid.begin()), grid.empty() ? 0 : grid.size() - 1));
    };
    int columnCount = std::max(1, int(grid.size()) - 1);
    // Widths below the tolerance can still crowd two cells onto one grid line: a row's cells always take
    // distinct columns, and the grid grows when a row needs more than it has.
    // Past the column limit, a row's cells join the one before.
    for (auto& model : rows) {
        int next = 0;
        CellModel* previous = nullptr;
        for (auto& current : model.cells) {
            if (current.isContinuation)
                continue;
            if (previous && next >= int(kMaximumColumns)) {
                previous->content.insert(previous->content.end(), current.content.begin(), current.content.end());
                current.isContinuation = true;
                continue;
            }
            previous = &current;
            current.column = std::min(std::max(gridIndex(current.left), next), int(kMaximumColumns) - 1);
            current.columnSpan = std::clamp(gridIndex(current.right) - current.column, 1, int(kMaximumColumns) - current.column);
            next = current.column + current.columnSpan;
            columnCount = std::max(columnCount, next);
        }
    }

    // Columns, then vertical merges: a continuation joins the cell that started the merge in its column.
    std::map<int, std::pair<std::size_t, std::size_t>> openMerges; // column → (row, cell) of the first cell
    for (std::size_t r = 0; r < rows.size(); ++r) {
        for (std::size_t c = 0; c < rows[r].cells.size(); ++c) {
            CellModel& current = rows[r].cells[c];
            if (current.isContinuation)
                continue;
            const TableCellDefinition* definition = current.definition;
            if (definition && definition->isVerticallyMerged && !definition->isVerticalRestart) {
                auto open = openMerges.find(current.column);
                if (open != openMerges.end()) {
                    CellModel& owner = rows[open->second.first].cells[open->second.second];
                    if (owner.columnSpan == current.columnSpan) {
                        ++owner.rowSpan;
                        if (hasText(current.content))
                            owner.content.insert(owner.content.end(), current.content.begin(), current.content.end());
                        current.isContinuation = true;
                        continue;
                    }
                }
            }
            for (int column = current.column; column < current.column + current.columnSpan; ++column)
                openMerges.erase(column);
            if (definition && definition->isVerticalRestart)
                openMerges[current.column] = { r, c };
        }
    }

    // One list for the whole table, shared by its cells.
    std::vector<float> gridWidths;
    for (std::size_t i = 1; i < grid.size(); ++i)
        gridWidths.push_back(twipsToPoints(grid[i] - grid[i - 1]));
    if (gridWidths.empty())
        gridWidths.push_back(twipsToPoints(2 * kFallbackCellWidth));
    gridWidths.resize(std::size_t(columnCount), 0);
    const kit::ColumnWidths widths(std::move(gridWidths));

    int tableId = m_nextTableId++;
    bool inHeader = true;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const TableProperties* properties = rows[r].properties;
        inHeader = inHeader && properties && properties->isHeader;
        for (auto& current : rows[r].cells) {
            if (current.isContinuation)
                continue;
            kit::TableCell model;
            model.tableId = tableId;
            model.row = int(r);
            model.column = current.column;
            model.rowSpan = current.rowSpan;
            model.columnSpan = current.columnSpan;
            model.nestingLevel = level;
            model.columnWidths = widths;
            model.isHeaderRow = inHeader;
            model.rowKeepsTogether = properties && properties->cantSplit;
            model.parent = parent.get();
            if (properties) {
                // A cell's own border wins; otherwise the table's outer or inner border for that side.
                const auto& table = properties->tableBorders;
                bool top = r == 0, bottom = r + std::size_t(current.rowSpan) >= rows.size();
                bool left = current.column == 0, right = current.column + current.columnSpan >= columnCount;
                std::array<const BorderLine*, 4> fallback = { &table[top ? 0 : 4], &table[left ? 1 : 5],
                    &table[bottom ? 2 : 4], &table[right ? 3 : 5] };
                for (int side = 0; side < 4; ++side) {
                    const BorderLine* line = current.definition && current.definition->borders[side].isSet()
                        ? &current.definition->borders[side]
                        : fallback[side];
                    model.borders[side] = line->border();
                }
                if (current.index < properties->shading.size())
                    model.shading = properties->shading[current.index];
                float gap = twipsToPoints(properties->gapHalf);
                model.padding = properties->padding.value_or(std::array<float, 4> { 0, gap, 0, gap });
            }
            auto shared = std::make_shared<const kit::TableCell>(std::move(model));
            // Every cell ends in a paragraph of its own, even when the file left it empty.
            if (current.content.empty() || current.content.back()->depth != level) {
                static const Paragraph empty;
                current.content.push_back(&empty);
            }
            writeRange(current.content, level, shared);
        }
    }
}

void TableWriter::writeParagraph(const Paragraph& paragraph, const std::shared_ptr<const kit::TableCell>& cell)
{
    if (paragraph.startsSection >= 0)
        m_sectionStarts.emplace(paragraph.startsSection, m_storage.length());
    if (paragraph.startsNote >= 0)
        m_noteStarts.emplace(paragraph.startsNote, m_storage.length());
    for (auto [byte, cp] : paragraph.noteReferences)
        m_noteReferences.emplace(cp, m_storage.length() + byte);
    kit::ParagraphStyle style = paragraph.properties.style(m_defaultTabInterval);
    if (!m_lastStyle || !(*m_lastStyle == style))
        m_lastStyle = std::make_shared<const kit::ParagraphStyle>(std::move(style));
    std::size_t paragraphStart = m_storage.length();
    for (const Span& span : paragraph.spans) {
        kit::Attributes attributes = span.attributes;
        attributes.paragraph = m_lastStyle;
        attributes.tableCell = cell;
        if (cell && span.text.find('\f') != std::string::npos) {
            // Nor can one stand inside a cell's paragraph (Word puts one before a table's first row, in its
            // first cell): there it ends the paragraph, as in RTF.
            std::string text = span.text;
            std::replace(text.begin(), text.end(), '\f', '\n');
            OutputBudget::current().append(m_storage, text, attributes);
            continue;
        }
        OutputBudget::current().append(m_storage, span.text, attributes);
    }
    if (!cell) {
        for (std::size_t at : paragraph.columnBreaks)
            m_columnBreaks.push_back(paragraphStart + at + 1);
        for (const FrameAnchor& anchor : paragraph.frameAnchors) {
            kit::TextFrame& frame = m_frames[anchor.shape];
            frame.anchor = paragraphStart + anchor.byte;
            frame.box = anchor.box;
            frame.insets = anchor.insets;
        }
    }
    kit::Attributes attributes = paragraph.terminatorAttributes;
    attributes.paragraph = m_lastStyle;
    attributes.tableCell = cell;
    // A page break cannot end a paragraph inside a cell: the row would have to split around it.
    char terminator = cell && paragraph.terminator == '\f' ? '\n' : paragraph.terminator;
    OutputBudget::current().append(m_storage, std::string_view(&terminator, 1), attributes);
    if (paragraph.frameShape && !cell) {
        kit::TextFrame& frame = m_frames[*paragraph.frameShape];
        if (frame.text.length == 0)
            frame.text.location = paragraphStart;
        frame.text.length = m_storage.length() - frame.text.location;
    }
}

std::vector<kit::TextFrame> TableWriter::frames() const
{
    std::vector<kit::TextFrame> frames;
    for (const auto& [shape, frame] : m_frames) {
        if (frame.box && frame.text.length > 0)
            frames.push_back(frame);
    }
    std::sort(frames.begin(), frames.end(),
        [](const kit::TextFrame& a, const kit::TextFrame& b) { return a.text.location < b.text.location; });
    return frames;
}

} // namespace importer::doc
