#include "import/odt/OdtTableLayout.h"

#include "import/package/OfficeUnits.h"

#include <algorithm>
#include <optional>

namespace importer::odt {

namespace {

// Repeated rows and cells (table:number-rows-repeated, table:number-columns-repeated) can claim millions of
// copies; past these numbers the rest is dropped.
constexpr int kMaxRepeat = 1000;
constexpr int kMaxColumns = 1000;

int repeatCount(pugi::xml_node node, const char* name)
{
    auto value = parseInteger(node.attribute(name).value());
    return value ? int(std::clamp(*value, 1L, long(kMaxRepeat))) : 1;
}

struct Column {
    std::optional<float> width, share;
};

struct Row {
    pugi::xml_node node;
    bool isHeader;
};

void collect(pugi::xml_node container, bool header, int level, const OdtStyles& styles, std::vector<Column>& columns, std::vector<Row>& rows)
{
    if (level > 8)
        return;
    for (auto child : container.children()) {
        std::string_view name = child.name();
        if (name == "table:table-column") {
            const Style* style = styles.find("table-column", child.attribute("table:style-name").value());
            int repeat = repeatCount(child, "table:number-columns-repeated");
            for (int i = 0; i < repeat && columns.size() < std::size_t(kMaxColumns); ++i)
                columns.push_back({ style ? style->columnWidth : std::nullopt, style ? style->relativeColumnWidth : std::nullopt });
        } else if (name == "table:table-columns" || name == "table:table-header-columns" || name == "table:table-column-group") {
            collect(child, header, level + 1, styles, columns, rows);
        } else if (name == "table:table-header-rows") {
            collect(child, true, level + 1, styles, columns, rows);
        } else if (name == "table:table-rows" || name == "table:table-row-group") {
            collect(child, header, level + 1, styles, columns, rows);
        } else if (name == "table:table-row") {
            int repeat = repeatCount(child, "table:number-rows-repeated");
            for (int i = 0; i < repeat; ++i)
                rows.push_back({ child, header });
        }
    }
}

} // namespace

OdtTableLayout layoutOdtTable(pugi::xml_node table, const OdtStyles& styles, float available, int nestingLevel, std::size_t maxCells)
{
    OdtTableLayout layout;
    std::vector<Column> columns;
    std::vector<Row> rows;
    collect(table, false, 0, styles, columns, rows);
    std::size_t columnCount = columns.size();
    for (const auto& row : rows) {
        std::size_t cells = 0;
        for (auto cell : row.node.children()) {
            std::string_view name = cell.name();
            if (name == "table:table-cell" || name == "table:covered-table-cell")
                cells += std::size_t(repeatCount(cell, "table:number-columns-repeated"));
        }
        columnCount = std::max(columnCount, std::min(cells, std::size_t(kMaxColumns)));
    }
    columns.resize(columnCount);
    const Style* tableStyle = styles.find("table", table.attribute("table:style-name").value());
    float tableWidth = available;
    if (tableStyle && tableStyle->tableWidth && *tableStyle->tableWidth > 0)
        tableWidth = *tableStyle->tableWidth;
    else if (tableStyle && tableStyle->tableWidthPercent)
        tableWidth = available * std::clamp(*tableStyle->tableWidthPercent, 0.01f, 1.0f);
    std::vector<float> widths(columnCount, 0);
    bool allAbsolute = std::all_of(columns.begin(), columns.end(), [](const Column& c) { return c.width && *c.width > 0; });
    bool allShares = std::all_of(columns.begin(), columns.end(), [](const Column& c) { return c.share.has_value(); });
    float shareTotal = 0;
    for (const auto& column : columns)
        shareTotal += column.share.value_or(0);
    for (std::size_t i = 0; i < columnCount; ++i) {
        if (allAbsolute)
            widths[i] = *columns[i].width;
        else if (allShares && shareTotal > 0)
            widths[i] = tableWidth * *columns[i].share / shareTotal;
        else
            widths[i] = tableWidth / float(columnCount);
    }
    float total = 0;
    for (float width : widths)
        total += width;
    if (total > available && total > 0) {
        for (float& width : widths)
            width *= available / total;
    }
    layout.columnWidths = widths;

    std::size_t cellsLaid = 0;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        int column = 0;
        for (auto cellNode : rows[r].node.children()) {
            std::string_view name = cellNode.name();
            if (name != "table:table-cell" && name != "table:covered-table-cell")
                continue;
            int repeat = repeatCount(cellNode, "table:number-columns-repeated");
            if (name == "table:covered-table-cell") {
                column += repeat;
                continue;
            }
            for (int i = 0; i < repeat && column < int(columnCount) && cellsLaid < maxCells; ++i, ++column, ++cellsLaid) {
                OdtLaidOutCell out;
                out.node = cellNode;
                kit::TableCell& cell = out.cell;
                cell.row = int(r);
                cell.column = column;
                auto rowSpan = parseInteger(cellNode.attribute("table:number-rows-spanned").value());
                auto columnSpan = parseInteger(cellNode.attribute("table:number-columns-spanned").value());
                cell.rowSpan = int(std::clamp(rowSpan.value_or(1), 1L, long(rows.size() - r)));
                cell.columnSpan = int(std::clamp(columnSpan.value_or(1), 1L, long(columnCount) - column));
                cell.nestingLevel = nestingLevel;
                cell.isHeaderRow = rows[r].isHeader;
                const Style* rowStyle = styles.find("table-row", rows[r].node.attribute("table:style-name").value());
                cell.rowKeepsTogether = rowStyle && rowStyle->rowKeepsTogether;
                // A tenth of a centimetre, as OpenDocument writers pad cells by default.
                cell.padding = { 2.85f, 2.85f, 2.85f, 2.85f };
                if (const Style* style = styles.find("table-cell", cellNode.attribute("table:style-name").value())) {
                    for (std::size_t side = 0; side < 4; ++side) {
                        if (style->cell.borders[side])
                            cell.borders[side] = *style->cell.borders[side];
                        if (style->cell.padding[side])
                            cell.padding[side] = *style->cell.padding[side];
                    }
                    if (style->cell.background)
                        cell.shading = *style->cell.background;
                }
                float width = 0;
                for (int c = column; c < column + cell.columnSpan; ++c)
                    width += widths[std::size_t(c)];
                out.contentWidth = std::max(width - cell.padding[1] - cell.padding[3], 12.0f);
                layout.cells.push_back(std::move(out));
            }
        }
    }
    return layout;
}

} // namespace importer::odt
