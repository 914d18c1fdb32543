#include "import/html/TableConverter.h"

#include "import/html/CssValues.h"
#include "import/html/HtmlConverter.h"
#include "import/html/HtmlDom.h"

#include <algorithm>
#include <cstdlib>

namespace importer::html {

namespace {

// Wrappers (a <form> around rows) are looked through this deep; deeper content is shown before the table.
constexpr int kMaxWrapperDepth = 8;
// Grid slots marked for spans, in all: overlapping spans in a hostile table cannot cost more than this.
constexpr std::size_t kMaxSpanMarks = 4'000'000;

bool isWhitespace(const xmlNode* node)
{
    if (!node->content)
        return true;
    for (const xmlChar* c = node->content; *c; ++c) {
        if (!(*c == ' ' || *c == '\t' || *c == '\n' || *c == '\r' || *c == '\f'))
            return false;
    }
    return true;
}

bool isCell(std::string_view name)
{
    return name == "td" || name == "th";
}

bool isSection(std::string_view name)
{
    return name == "thead" || name == "tbody" || name == "tfoot";
}

// Whether a wrapper element holds rows or cells of this table (not of a nested one).
bool containsTableParts(const xmlNode* element, int depth)
{
    if (depth > kMaxWrapperDepth)
        return false;
    for (const xmlNode* child = element->children; child; child = child->next) {
        if (!isElement(child))
            continue;
        std::string_view name = elementName(child);
        if (name == "tr" || isCell(name) || isSection(name))
            return true;
        if (name != "table" && containsTableParts(child, depth + 1))
            return true;
    }
    return false;
}

int spanAttribute(const xmlNode* element, const char* name, int fallback)
{
    auto value = attribute(element, name);
    if (!value)
        return fallback;
    std::string text(trimmed(*value));
    if (text.empty() || !(text[0] >= '0' && text[0] <= '9'))
        return fallback;
    long number = std::strtol(text.c_str(), nullptr, 10);
    return int(std::clamp(number, 0L, 65534L));
}

} // namespace

TableConverter::TableConverter(HtmlConverter& converter)
    : m_converter(converter)
{
}

std::string_view TableConverter::sortedChildName(const xmlNode* child)
{
    if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
        if (!isWhitespace(child))
            m_fostered.push_back(child);
        return {};
    }
    return isElement(child) ? elementName(child) : std::string_view();
}

void TableConverter::gatherTableChildren(const xmlNode* parent, int depth)
{
    for (const xmlNode* child = parent->children; child; child = child->next) {
        std::string_view name = sortedChildName(child);
        if (name.empty())
            continue;
        if (name == "caption") {
            m_captions.push_back(child);
        } else if (name == "colgroup") {
            bool hasColumns = false;
            for (const xmlNode* column = child->children; column; column = column->next) {
                if (isElement(column) && elementName(column) == "col") {
                    m_columns.push_back(column);
                    hasColumns = true;
                }
            }
            if (!hasColumns)
                m_columns.push_back(child);
        } else if (name == "col") {
            m_columns.push_back(child);
        } else if (isSection(name)) {
            Section section;
            section.element = child;
            section.style = m_converter.resolver().computeStyle(child, *m_tableStyle, m_converter.blockWidth());
            if (section.style.display == Display::None)
                continue;
            section.isHeader = name == "thead";
            section.isFooter = name == "tfoot";
            m_sections.push_back(std::move(section));
            m_looseRowOpen = false;
            gatherSectionChildren(child, m_sections.size() - 1, 0);
            m_looseRowOpen = false;
        } else if (name == "tr") {
            gatherRow(child, 0);
        } else if (isCell(name)) {
            addLooseCell(child, 0);
        } else if (name == "script" || name == "style" || name == "template") {
            continue;
        } else if (depth < kMaxWrapperDepth && containsTableParts(child, 0)) {
            gatherTableChildren(child, depth + 1);
        } else {
            m_fostered.push_back(child);
        }
    }
}

void TableConverter::gatherSectionChildren(const xmlNode* parent, std::size_t section, int depth)
{
    for (const xmlNode* child = parent->children; child; child = child->next) {
        std::string_view name = sortedChildName(child);
        if (name.empty())
            continue;
        if (name == "tr")
            gatherRow(child, section);
        else if (isCell(name))
            addLooseCell(child, section);
        else if (name == "script" || name == "style" || name == "template")
            continue;
        else if (depth < kMaxWrapperDepth && containsTableParts(child, 0))
            gatherSectionChildren(child, section, depth + 1);
        else
            m_fostered.push_back(child);
    }
}

void TableConverter::gatherRow(const xmlNode* element, std::size_t section)
{
    m_looseRowOpen = false;
    Row row;
    row.element = element;
    row.style = m_converter.resolver().computeStyle(element, m_sections[section].style, m_converter.blockWidth());
    if (row.style.display == Display::None)
        return;
    row.isHeader = m_sections[section].isHeader;
    gatherCells(element, row, 0);
    if (!row.cells.empty())
        m_rows.emplace_back(std::move(row), section);
}

void TableConverter::gatherCells(const xmlNode* parent, Row& row, int depth)
{
    for (const xmlNode* child = parent->children; child; child = child->next) {
        std::string_view name = sortedChildName(child);
        if (name.empty())
            continue;
        if (isCell(name))
            row.cells.push_back(child);
        else if (name == "script" || name == "style" || name == "template")
            continue;
        else if (depth < kMaxWrapperDepth && name != "table" && containsTableParts(child, 0))
            gatherCells(child, row, depth + 1);
        else
            m_fostered.push_back(child);
    }
}

void TableConverter::addLooseCell(const xmlNode* cell, std::size_t section)
{
    // Cells outside any row make a row of their own, as the parser of browsers would.
    if (!m_looseRowOpen || m_rows.empty()) {
        Row row;
        row.style = m_sections[section].style;
        row.isHeader = m_sections[section].isHeader;
        m_rows.emplace_back(std::move(row), section);
        m_looseRowOpen = true;
    }
    m_rows.back().first.cells.push_back(cell);
}

void TableConverter::place()
{
    std::size_t rowCount = m_rows.size();
    m_occupied.assign(rowCount, {});
    std::size_t marks = 0;
    auto occupied = [&](std::size_t r, int c) { return std::size_t(c) < m_occupied[r].size() && m_occupied[r][std::size_t(c)]; };
    for (std::size_t r = 0; r < rowCount; ++r) {
        const Row& row = m_rows[r].first;
        int column = 0;
        for (const xmlNode* element : row.cells) {
            ComputedStyle style = m_converter.resolver().computeStyle(element, row.style, m_converter.blockWidth());
            if (style.display == Display::None)
                continue;
            while (column < kMaxColumns && occupied(r, column))
                ++column;
            if (column >= kMaxColumns) {
                if (!m_placed.empty())
                    m_placed.back().overflow.emplace_back(element, std::move(style));
                continue;
            }
            int columnSpan = std::clamp(spanAttribute(element, "colspan", 1), 1, 1000);
            columnSpan = std::min(columnSpan, kMaxColumns - column);
            int rowsLeft = int(rowCount - r);
            int rowSpan = spanAttribute(element, "rowspan", 1);
            rowSpan = rowSpan == 0 ? rowsLeft : std::clamp(rowSpan, 1, rowsLeft);
            if (marks + std::size_t(rowSpan) * std::size_t(columnSpan) > kMaxSpanMarks)
                rowSpan = 1;
            for (int rr = 0; rr < rowSpan; ++rr) {
                auto& slots = m_occupied[r + std::size_t(rr)];
                if (slots.size() < std::size_t(column + columnSpan))
                    slots.resize(std::size_t(column + columnSpan), false);
                for (int c = column; c < column + columnSpan; ++c)
                    slots[std::size_t(c)] = true;
            }
            marks += std::size_t(rowSpan) * std::size_t(columnSpan);
            m_placed.push_back({ element, std::move(style), r, column, rowSpan, columnSpan, {} });
            column += columnSpan;
            m_columnCount = std::max(m_columnCount, column);
        }
    }
}

void TableConverter::convert(const xmlNode* table, const ComputedStyle& tableStyle)
{
    m_tableStyle = &tableStyle;
    ParagraphBuilder& builder = m_converter.builder();
    m_converter.finishParagraph(true);

    Section body;
    body.element = table;
    body.style = tableStyle;
    m_sections.push_back(std::move(body));
    gatherTableChildren(table, 0);
    // Header rows come first and footer rows last, wherever the markup put them.
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const auto& a, const auto& b) {
        auto rank = [&](std::size_t section) {
            return m_sections[section].isHeader ? 0 : m_sections[section].isFooter ? 2 : 1;
        };
        return rank(a.second) < rank(b.second);
    });

    for (const xmlNode* node : m_fostered)
        m_converter.convertAsBlock(node, tableStyle);
    for (const xmlNode* caption : m_captions)
        m_converter.convertAsBlock(caption, tableStyle);
    place();
    if (m_placed.empty() || m_columnCount == 0)
        return;

    builder.addMargin(tableStyle.margin[Top]);
    builder.moveMarginToPreviousParagraph();

    auto record = std::make_unique<TableRecord>();
    record->layout = TableLayout(m_columnCount);
    record->width = tableStyle.width;
    record->percent = tableStyle.widthPercent;
    record->enclosingCell = m_converter.currentCell();
    int columnIndex = 0;
    for (const xmlNode* column : m_columns) {
        int span = std::clamp(spanAttribute(column, "span", 1), 1, 1000);
        ComputedStyle style = m_converter.resolver().computeStyle(column, tableStyle, m_converter.blockWidth());
        for (int k = 0; k < span && columnIndex < m_columnCount; ++k, ++columnIndex)
            record->layout.setColumnWidth(columnIndex, style.width, style.widthPercent);
    }

    int tableId = m_converter.nextTableId();
    int nestingLevel = m_converter.nestingLevel() + 1;
    const kit::TableCell* parent = m_converter.currentCell();
    std::size_t rowCount = m_rows.size();
    bool first = true;
    for (Placed& placed : m_placed) {
        const Row& row = m_rows[placed.row].first;
        const Section& section = m_sections[m_rows[placed.row].second];
        auto cell = std::make_shared<kit::TableCell>();
        cell->tableId = tableId;
        cell->row = int(placed.row);
        cell->column = placed.column;
        cell->rowSpan = placed.rowSpan;
        cell->columnSpan = placed.columnSpan;
        cell->nestingLevel = nestingLevel;
        cell->parent = parent;
        cell->isHeaderRow = row.isHeader;
        const ComputedStyle& style = placed.style;
        // The text model orders sides top, left, bottom, right.
        static constexpr int kModelSide[4] = { Top, Left, Bottom, Right };
        for (int side = 0; side < 4; ++side) {
            cell->borders[std::size_t(side)] = style.border[kModelSide[side]];
            cell->padding[std::size_t(side)] = style.padding[kModelSide[side]];
        }
        // The table's own frame drawn on the edges of the cells along it.
        bool atEdge[4] = { placed.row == 0, placed.column == 0, placed.row + std::size_t(placed.rowSpan) >= rowCount,
            placed.column + placed.columnSpan >= m_columnCount };
        for (int side = 0; side < 4; ++side) {
            const kit::Border& frame = tableStyle.border[kModelSide[side]];
            if (atEdge[side] && frame.style != kit::LineStyle::None && cell->borders[std::size_t(side)].style == kit::LineStyle::None)
                cell->borders[std::size_t(side)] = frame;
        }
        if (style.background)
            cell->shading = style.background;
        else if (row.style.background)
            cell->shading = row.style.background;
        else if (section.style.background)
            cell->shading = section.style.background;
        else if (tableStyle.background)
            cell->shading = tableStyle.background;
        record->cells.push_back(cell);

        ContentWidths widths;
        auto saved = builder.enterCell(cell, &widths);
        if (first && tableStyle.pageBreakBefore && builder.hasWrittenParagraph())
            builder.requestPageBreak();
        first = false;
        m_converter.m_cellRecords.push_back(record.get());
        float estimate = style.width.value_or(m_converter.blockWidth());
        m_converter.convertCellContent(placed.element, style, cell.get(), estimate);
        for (const auto& [element, overflowStyle] : placed.overflow)
            m_converter.convertCellContent(element, overflowStyle, cell.get(), estimate);
        m_converter.m_cellRecords.pop_back();
        builder.leaveCell(std::move(saved));

        float extra = cell->padding[1] + cell->padding[3] + cell->borders[1].width + cell->borders[3].width;
        std::optional<float> width;
        if (style.width)
            width = std::max(*style.width, 0.0f);
        record->layout.addCell(placed.column, placed.columnSpan, widths.minimum + extra, widths.maximum + extra,
            width, style.widthPercent);
    }
    builder.reportWidths({ record->layout.minimumWidth(), record->layout.maximumWidth() });
    builder.addMargin(tableStyle.margin[Bottom]);
    m_converter.closeTable(std::move(record));
}

} // namespace importer::html
