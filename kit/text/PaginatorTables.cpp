#include "kit/text/Paginator.h"
#include "kit/text/TextStorage.h"

#include <algorithm>
#include <limits>
#include <numeric>

namespace kit {

using namespace layout;

namespace {

// Word processors allow 63 columns; a document claiming far more is damaged, and a grid that size would
// only exhaust memory.
constexpr int kMaximumColumns = 1000;

int firstColumn(const TableCell& cell) { return std::clamp(cell.column, 0, kMaximumColumns); }

// One past the cell's last grid column.
int endColumn(const TableCell& cell) { return firstColumn(cell) + std::clamp(cell.columnSpan, 1, kMaximumColumns); }

// The grid's column edges (points from the table's left edge): the table's own widths, missing or unusable
// ones sharing what is left of the width, all scaled down together when the table is wider than width.
std::vector<float> columnEdges(const Table& table, float width)
{
    std::vector<float> widths;
    std::size_t columns = 0;
    for (const Row& row : table.rows) {
        for (const Cell& cell : row.cells) {
            if (widths.empty())
                widths = cell.attributes->columnWidths.values();
            columns = std::max<std::size_t>(columns, std::size_t(endColumn(*cell.attributes)));
        }
    }
    if (widths.size() > std::size_t(2 * kMaximumColumns))
        widths.resize(std::size_t(2 * kMaximumColumns));
    columns = std::max<std::size_t>({ columns, widths.size(), 1 });
    widths.resize(columns, 0);
    float known = 0;
    std::size_t missing = 0;
    for (float& w : widths)
        w = saneLength(w, 0, 100000);
    for (float& w : widths) {
        if (w > 0)
            known += w;
        else
            ++missing;
    }
    if (missing) {
        float share = known < width ? (width - known) / float(missing) : width / float(columns);
        for (float& w : widths) {
            if (!(w > 0))
                w = std::max(share, 1.0f);
        }
    }
    float total = std::accumulate(widths.begin(), widths.end(), 0.0f);
    float scale = total > width && total > 0 ? width / total : 1;
    std::vector<float> edges(columns + 1, 0);
    for (std::size_t c = 0; c < columns; ++c)
        edges[c + 1] = edges[c] + widths[c] * scale;
    return edges;
}

} // namespace

float Paginator::layOutCellContent(
    const Cell& cell, float x, float y, float width, float maxObjectHeight, RowGroup& group)
{
    float cursor = y;
    std::vector<LineBox> lines;
    for (const Block& block : cell.blocks) {
        if (block.kind == Block::Kind::Paragraph) {
            const ParagraphStyle& paragraphStyle = style(block.index);
            const Paragraph& piece = m_structure.paragraphs[block.index];
            if (!piece.continuesParagraph)
                cursor += spacingBefore(paragraphStyle);
            measureParagraph(block.index, width, maxObjectHeight, lines);
            for (std::size_t i = 0; i < lines.size(); ++i) {
                const LineBox& box = lines[i];
                group.items.push_back({ cursor, cursor + box.height, std::uint32_t(group.lines.size()), 1 });
                group.lines.push_back({ block.index, std::uint32_t(i), box.start, box.end, x, cursor, box.height,
                    cursor + box.baseline });
                cursor += box.height;
            }
            if (!piece.continuedAfter)
                cursor += spacingAfter(paragraphStyle);
            continue;
        }
        // A nested table's row groups are not split: each is one item of this cell.
        for (RowGroup& nested : layOutTable(block.index, width, maxObjectHeight)) {
            auto item = int(group.items.size());
            group.items.push_back({ cursor, cursor + nested.height, std::uint32_t(group.lines.size()),
                std::uint32_t(nested.lines.size()) });
            for (GroupLine line : nested.lines) {
                line.x += x;
                line.top += cursor;
                line.baseline += cursor;
                group.lines.push_back(line);
            }
            for (GroupBox box : nested.boxes) {
                box.rect = box.rect.offsetBy(x, cursor);
                box.item = item;
                group.boxes.push_back(box);
            }
            cursor += nested.height;
        }
    }
    return cursor - y;
}

std::vector<RowGroup> Paginator::layOutTable(std::uint32_t tableIndex, float width, float maxObjectHeight)
{
    std::vector<RowGroup> groups;
    std::size_t nextRow = 0;
    layOutRowGroups(tableIndex, width, maxObjectHeight, nextRow, std::numeric_limits<float>::infinity(), groups);
    return groups;
}

void Paginator::layOutRowGroups(std::uint32_t tableIndex, float width, float maxObjectHeight, std::size_t& nextRow,
    float budget, std::vector<RowGroup>& groups)
{
    const Table& table = m_structure.tables[tableIndex];
    std::vector<float> edges = columnEdges(table, width);
    const std::size_t columns = edges.size() - 1;
    auto columnEdge = [&](int column) { return edges[std::min<std::size_t>(std::size_t(column), columns)]; };

    const std::size_t rows = table.rows.size();
    float laidOut = 0;
    bool body = false;
    std::size_t first = nextRow;
    while (first < rows && !(body && laidOut >= budget)) {
        // Rows tied together by a vertically merged cell form one group.
        std::size_t last = first;
        for (std::size_t r = first; r <= last; ++r) {
            for (const Cell& cell : table.rows[r].cells)
                last = std::max(last, std::min(rows - 1, r + std::size_t(std::max(1, cell.attributes->rowSpan)) - 1));
        }
        RowGroup group;
        group.isHeader = true;
        std::vector<float> rowTop(last - first + 2, 0);
        struct Pending {
            const Cell* cell;
            std::size_t row; // index within the group
            float needed;
        };
        std::vector<Pending> cells;
        for (std::size_t r = first; r <= last; ++r) {
            const Row& row = table.rows[r];
            group.isHeader = group.isHeader && row.isHeader;
            group.keepsTogether = group.keepsTogether || row.keepsTogether;
            std::size_t local = r - first;
            float rowHeight = 0;
            for (const Cell& cell : row.cells) {
                const TableCell& attributes = *cell.attributes;
                float x0 = columnEdge(firstColumn(attributes));
                float x1 = columnEdge(endColumn(attributes));
                float padTop = std::max(0.0f, attributes.padding[0]), padLeft = std::max(0.0f, attributes.padding[1]);
                float padBottom = std::max(0.0f, attributes.padding[2]),
                      padRight = std::max(0.0f, attributes.padding[3]);
                float contentWidth = std::max(1.0f, x1 - x0 - padLeft - padRight);
                float content = layOutCellContent(
                    cell, x0 + padLeft, rowTop[local] + padTop, contentWidth, maxObjectHeight, group);
                float needed = padTop + content + padBottom;
                std::size_t span = std::min<std::size_t>(std::size_t(std::max(1, attributes.rowSpan)), last - r + 1);
                cells.push_back({ &cell, local, needed });
                if (span == 1)
                    rowHeight = std::max(rowHeight, needed);
            }
            // A merged cell that ends on this row makes it tall enough for the merged cell's content.
            for (const Pending& pending : cells) {
                std::size_t span = std::min<std::size_t>(
                    std::size_t(std::max(1, pending.cell->attributes->rowSpan)), last - first - pending.row + 1);
                if (span > 1 && pending.row + span - 1 == local)
                    rowHeight = std::max(rowHeight, pending.needed - (rowTop[local] - rowTop[pending.row]));
            }
            rowTop[local + 1] = rowTop[local] + rowHeight;
        }
        group.height = rowTop.back();
        // The group's own cells are drawn first, under the nested tables' cells already in the list.
        std::vector<GroupBox> own;
        for (const Pending& pending : cells) {
            const TableCell& attributes = *pending.cell->attributes;
            std::size_t span
                = std::min<std::size_t>(std::size_t(std::max(1, attributes.rowSpan)), last - first - pending.row + 1);
            float x0 = columnEdge(firstColumn(attributes));
            float x1 = columnEdge(endColumn(attributes));
            Rect rect { x0, rowTop[pending.row], x1 - x0, rowTop[pending.row + span] - rowTop[pending.row] };
            own.push_back({ rect, &attributes, -1 });
        }
        group.boxes.insert(group.boxes.begin(), own.begin(), own.end());
        laidOut += group.height;
        body = body || !group.isHeader;
        groups.push_back(std::move(group));
        first = last + 1;
    }
    nextRow = first;
}

} // namespace kit
