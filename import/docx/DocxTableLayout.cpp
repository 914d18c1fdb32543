#include "import/docx/DocxTableLayout.h"

#include "import/package/OfficeUnits.h"

#include <algorithm>
#include <map>
#include <string_view>

namespace importer::docx {

namespace {

// Word allows 63 columns; anything past this many grid columns is noise or an attack.
constexpr int kMaxColumns = 1000;
// Rows and cells wrapped in content controls and custom XML nest no deeper than this.
constexpr int kMaxWrapperDepth = 16;

enum class VerticalMerge { None, Restart, Continue };

struct RawCell {
    pugi::xml_node node;
    int column = 0;
    int span = 1;
    VerticalMerge merge = VerticalMerge::None;
    float width = 0; // w:tcW in points when given in twips
    CellProperties direct; // w:tcPr
};

struct RawRow {
    pugi::xml_node node;
    std::vector<RawCell> cells;
    bool isHeader = false;
    bool cantSplit = false;
    int extent = 0; // grid columns covered, w:gridBefore and w:gridAfter included
    TableProperties exceptions; // w:tblPrEx
};

struct Look {
    bool firstRow = false, lastRow = false, firstColumn = false, lastColumn = false;
    bool noHorizontalBands = false, noVerticalBands = false;
};

Look readLook(pugi::xml_node look)
{
    Look result;
    if (!look)
        return result;
    if (auto value = look.attribute("w:val")) {
        long bits = std::strtol(value.value(), nullptr, 16);
        result.firstRow = bits & 0x20;
        result.lastRow = bits & 0x40;
        result.firstColumn = bits & 0x80;
        result.lastColumn = bits & 0x100;
        result.noHorizontalBands = bits & 0x200;
        result.noVerticalBands = bits & 0x400;
    }
    auto flag = [&](const char* name, bool& into) {
        if (auto attribute = look.attribute(name)) {
            std::string_view text = attribute.value();
            into = text == "1" || text == "true" || text == "on";
        }
    };
    flag("w:firstRow", result.firstRow);
    flag("w:lastRow", result.lastRow);
    flag("w:firstColumn", result.firstColumn);
    flag("w:lastColumn", result.lastColumn);
    flag("w:noHBand", result.noHorizontalBands);
    flag("w:noVBand", result.noVerticalBands);
    return result;
}

int intValue(pugi::xml_node node, int fallback, int low, int high)
{
    auto value = parseInteger(node.attribute("w:val").value());
    return value ? int(std::clamp(*value, long(low), long(high))) : fallback;
}

void collectCells(pugi::xml_node container, std::vector<pugi::xml_node>& cells, int depth)
{
    if (depth > kMaxWrapperDepth)
        return;
    for (auto child : container.children()) {
        std::string_view name = child.name();
        if (name == "w:tc")
            cells.push_back(child);
        else if (name == "w:sdt")
            collectCells(child.child("w:sdtContent"), cells, depth + 1);
        else if (name == "w:customXml" || name == "w:ins" || name == "w:moveTo")
            collectCells(child, cells, depth + 1);
    }
}

RawRow readRow(pugi::xml_node row)
{
    RawRow raw;
    raw.node = row;
    pugi::xml_node properties = row.child("w:trPr");
    if (auto header = properties.child("w:tblHeader"))
        raw.isHeader = isOn(header);
    if (auto cantSplit = properties.child("w:cantSplit"))
        raw.cantSplit = isOn(cantSplit);
    raw.exceptions = parseTableProperties(row.child("w:tblPrEx"));
    int column = intValue(properties.child("w:gridBefore"), 0, 0, kMaxColumns);
    std::vector<pugi::xml_node> cells;
    collectCells(row, cells, 0);
    for (auto node : cells) {
        CellMarkup markup;
        CellProperties direct = parseCellProperties(node.child("w:tcPr"), &markup);
        // A legacy horizontal merge continues the cell to its left.
        if (markup.horizontalMerge && std::string_view(markup.horizontalMerge.attribute("w:val").value()) != "restart"
            && !raw.cells.empty()) {
            int span = intValue(markup.gridSpan, 1, 1, kMaxColumns);
            raw.cells.back().span = std::min(raw.cells.back().span + span, kMaxColumns);
            column = std::min(column + span, kMaxColumns);
            continue;
        }
        RawCell cell;
        cell.node = node;
        cell.column = column;
        cell.direct = std::move(direct);
        cell.span = intValue(markup.gridSpan, 1, 1, kMaxColumns - column > 0 ? kMaxColumns - column : 1);
        if (markup.verticalMerge)
            cell.merge = std::string_view(markup.verticalMerge.attribute("w:val").value()) == "restart" ? VerticalMerge::Restart : VerticalMerge::Continue;
        if (auto width = markup.width) {
            std::string_view type = width.attribute("w:type").value();
            auto value = parseInteger(width.attribute("w:w").value());
            if ((type == "dxa" || type.empty()) && value && *value > 0)
                cell.width = std::min(twips(*value), 31680.0f);
        }
        column = std::min(column + cell.span, kMaxColumns);
        raw.cells.push_back(cell);
    }
    raw.extent = std::min(column + intValue(properties.child("w:gridAfter"), 0, 0, kMaxColumns), kMaxColumns);
    return raw;
}

void collectRows(pugi::xml_node container, std::vector<RawRow>& rows, int depth)
{
    if (depth > kMaxWrapperDepth)
        return;
    for (auto child : container.children()) {
        std::string_view name = child.name();
        if (name == "w:tr") {
            // A row whose deletion is tracked is gone from the final text.
            if (child.child("w:trPr").child("w:del"))
                continue;
            rows.push_back(readRow(child));
        } else if (name == "w:sdt") {
            collectRows(child.child("w:sdtContent"), rows, depth + 1);
        } else if (name == "w:customXml") {
            collectRows(child, rows, depth + 1);
        }
    }
}

std::vector<float> columnWidths(pugi::xml_node table, const std::vector<RawRow>& rows, const TableProperties& properties,
    float availableWidth)
{
    std::vector<float> widths;
    for (auto column : table.child("w:tblGrid").children("w:gridCol")) {
        if (widths.size() >= std::size_t(kMaxColumns))
            break;
        auto value = parseInteger(column.attribute("w:w").value());
        widths.push_back(value && *value > 0 ? std::min(twips(*value), 31680.0f) : 0);
    }
    std::size_t count = widths.size();
    for (const auto& row : rows)
        count = std::max(count, std::size_t(row.extent));
    widths.resize(count, 0);
    if (count == 0)
        return widths;
    // Unknown columns take the width of a one-column cell, else an equal share of what is left.
    for (const auto& row : rows) {
        for (const auto& cell : row.cells) {
            if (cell.span == 1 && widths[std::size_t(cell.column)] == 0 && cell.width > 0)
                widths[std::size_t(cell.column)] = cell.width;
        }
    }
    float known = 0;
    int unknown = 0;
    for (float width : widths) {
        known += width;
        unknown += width == 0;
    }
    if (unknown) {
        float target = properties.widthPercent ? availableWidth * *properties.widthPercent
                                               : properties.width.value_or(availableWidth);
        float share = target > known ? (target - known) / float(unknown) : 36;
        for (float& width : widths) {
            if (width == 0)
                width = share;
        }
    }
    float total = 0;
    for (float width : widths)
        total += width;
    if (total > availableWidth && availableWidth > 0) {
        float scale = availableWidth / total;
        for (float& width : widths)
            width *= scale;
    }
    return widths;
}

kit::Border borderOr(const std::optional<kit::Border>& first, const std::optional<kit::Border>& second)
{
    if (first)
        return *first;
    return second.value_or(kit::Border {});
}

} // namespace

TableLayout layoutTable(pugi::xml_node table, DocxStyles& styles, float availableWidth, int nestingLevel)
{
    TableLayout layout;
    pugi::xml_node tblPr = table.child("w:tblPr");
    const ResolvedStyle* style = styles.tableStyle(tblPr.child("w:tblStyle").attribute("w:val").value());
    TableProperties direct = parseTableProperties(tblPr);
    TableProperties properties = style->table;
    properties.overlay(direct);
    Look look = readLook(tblPr.child("w:tblLook"));

    std::vector<RawRow> rows;
    collectRows(table, rows, 0);
    std::size_t cellCount = 0;
    for (const auto& row : rows)
        cellCount += row.cells.size();
    layout.cells.reserve(cellCount);
    layout.columnWidths = columnWidths(table, rows, properties, availableWidth);
    int columnCount = int(layout.columnWidths.size());
    int rowCount = int(rows.size());
    int rowBand = properties.rowBandSize.value_or(1), columnBand = properties.columnBandSize.value_or(1);

    // Header rows are the rows marked so at the top of the table.
    std::vector<bool> isHeader(rows.size(), false);
    for (std::size_t r = 0; r < rows.size() && rows[r].isHeader; ++r)
        isHeader[r] = true;

    std::map<int, std::size_t> openMerges; // grid column → index in layout.cells of the cell a merge started in
    for (int r = 0; r < rowCount; ++r) {
        const RawRow& row = rows[std::size_t(r)];
        TableProperties rowTable = properties;
        rowTable.overlay(row.exceptions);
        std::map<int, std::size_t> stillOpen;
        for (const RawCell& raw : row.cells) {
            if (raw.merge == VerticalMerge::Continue) {
                if (auto open = openMerges.find(raw.column); open != openMerges.end()) {
                    LaidOutCell& owner = layout.cells[open->second];
                    ++owner.cell.rowSpan;
                    // The owner's bottom border is the continuation's.
                    CellProperties continuation = owner.format->cell;
                    continuation.overlay(raw.direct);
                    owner.cell.borders[2] = borderOr(continuation.borders[Bottom],
                        r + 1 == rowCount ? rowTable.borders[Bottom] : rowTable.borders[InsideHorizontal]);
                    stillOpen[raw.column] = open->second;
                    continue;
                }
            }
            LaidOutCell out;
            out.node = raw.node;
            kit::TableCell& cell = out.cell;
            cell.row = r;
            cell.column = std::min(raw.column, std::max(columnCount - 1, 0));
            cell.columnSpan = std::max(1, std::min(raw.span, columnCount - cell.column));
            cell.nestingLevel = nestingLevel;
            cell.isHeaderRow = isHeader[std::size_t(r)];
            cell.rowKeepsTogether = row.cantSplit;

            // The table style's formatting: whole table, then bands, then edges, then corners.
            static const char* const kinds[] = { "wholeTable", "band1Vert", "band2Vert", "band1Horz", "band2Horz", "firstCol",
                "lastCol", "firstRow", "lastRow", "nwCell", "neCell", "swCell", "seCell" };
            bool isFirstRow = look.firstRow && r == 0;
            bool isLastRow = look.lastRow && r == rowCount - 1;
            bool isFirstColumn = look.firstColumn && raw.column == 0;
            bool isLastColumn = look.lastColumn && raw.column + raw.span >= columnCount;
            unsigned mask = 1;
            if (!look.noVerticalBands && !isFirstColumn && !isLastColumn)
                mask |= ((raw.column - (look.firstColumn ? 1 : 0)) / columnBand) % 2 == 0 ? 1u << 1 : 1u << 2;
            if (!look.noHorizontalBands && !isFirstRow && !isLastRow)
                mask |= ((r - (look.firstRow ? 1 : 0)) / rowBand) % 2 == 0 ? 1u << 3 : 1u << 4;
            mask |= (isFirstColumn ? 1u << 5 : 0) | (isLastColumn ? 1u << 6 : 0) | (isFirstRow ? 1u << 7 : 0) | (isLastRow ? 1u << 8 : 0);
            mask |= (isFirstRow && isFirstColumn ? 1u << 9 : 0) | (isFirstRow && isLastColumn ? 1u << 10 : 0);
            mask |= (isLastRow && isFirstColumn ? 1u << 11 : 0) | (isLastRow && isLastColumn ? 1u << 12 : 0);
            auto& shared = layout.formats[mask];
            if (!shared) {
                shared = std::make_unique<ConditionalFormat>();
                shared->run = style->run;
                shared->paragraph = style->paragraph;
                shared->table = style->table;
                shared->cell = style->cell;
                for (unsigned kind = 0; kind < 13; ++kind) {
                    if (!(mask & 1u << kind))
                        continue;
                    if (auto it = style->conditionals.find(kinds[kind]); it != style->conditionals.end())
                        shared->overlay(it->second);
                }
            }
            out.format = shared.get();
            const ConditionalFormat& format = *shared;

            CellProperties own = format.cell;
            own.overlay(raw.direct);
            bool top = r == 0, bottom = r == rowCount - 1;
            bool left = raw.column == 0, right = raw.column + raw.span >= columnCount;
            cell.borders[0] = borderOr(own.borders[Top], top ? rowTable.borders[Top] : own.borders[InsideHorizontal] ? own.borders[InsideHorizontal] : rowTable.borders[InsideHorizontal]);
            cell.borders[1] = borderOr(own.borders[Left], left ? rowTable.borders[Left] : own.borders[InsideVertical] ? own.borders[InsideVertical] : rowTable.borders[InsideVertical]);
            cell.borders[2] = borderOr(own.borders[Bottom], bottom ? rowTable.borders[Bottom] : own.borders[InsideHorizontal] ? own.borders[InsideHorizontal] : rowTable.borders[InsideHorizontal]);
            cell.borders[3] = borderOr(own.borders[Right], right ? rowTable.borders[Right] : own.borders[InsideVertical] ? own.borders[InsideVertical] : rowTable.borders[InsideVertical]);
            if (own.shading)
                cell.shading = *own.shading;
            else if (rowTable.shading)
                cell.shading = *rowTable.shading;
            for (std::size_t side = 0; side < 4; ++side) {
                if (own.margins[side])
                    cell.padding[side] = *own.margins[side];
                else if (rowTable.cellMargins[side])
                    cell.padding[side] = *rowTable.cellMargins[side];
            }
            float width = 0;
            for (int c = cell.column; c < cell.column + cell.columnSpan && c < columnCount; ++c)
                width += layout.columnWidths[std::size_t(c)];
            out.contentWidth = std::max(width - cell.padding[1] - cell.padding[3], 12.0f);

            if (raw.merge == VerticalMerge::Restart)
                stillOpen[raw.column] = layout.cells.size();
            layout.cells.push_back(std::move(out));
        }
        openMerges = std::move(stillOpen);
    }
    return layout;
}

} // namespace importer::docx
