#pragma once

#include "import/html/ComputedStyle.h"

#include <libxml/tree.h>

#include <string_view>
#include <vector>

namespace importer::html {

class HtmlConverter;

// Turns one <table> into cells of the text model: rows from its sections (thead first, tfoot last), cells
// placed on the grid with their row and column spans, every paragraph of a cell carrying the cell, and the
// column widths of the automatic table layout. A caption and content that strayed between rows come before
// the table, where browsers show them.
class TableConverter {
public:
    // Tables nested deeper than this are read as blocks: their text stays, their grid does not.
    static constexpr std::size_t kMaxNesting = 16;
    // Each cell carries the widths of all columns, so a row of thousands of cells would cost the square of
    // that; cells past this column join the last cell of their row.
    static constexpr int kMaxColumns = 256;

    explicit TableConverter(HtmlConverter& converter);
    void convert(const xmlNode* table, const ComputedStyle& tableStyle);

private:
    struct Row {
        const xmlNode* element = nullptr; // null for cells written straight into a table or section
        ComputedStyle style;
        bool isHeader = false;
        std::vector<const xmlNode*> cells;
    };
    struct Section {
        const xmlNode* element = nullptr;
        ComputedStyle style;
        bool isHeader = false;
        bool isFooter = false;
    };
    struct Placed {
        const xmlNode* element;
        ComputedStyle style;
        std::size_t row;
        int column;
        int rowSpan;
        int columnSpan;
        std::vector<std::pair<const xmlNode*, ComputedStyle>> overflow; // cells past kMaxColumns
    };

    void gatherTableChildren(const xmlNode* parent, int depth);
    // The name of a child element to sort into the table's parts; empty for other nodes, and text that is not
    // white space is fostered out of the table on the way.
    std::string_view sortedChildName(const xmlNode* child);
    void gatherSectionChildren(const xmlNode* parent, std::size_t section, int depth);
    void gatherRow(const xmlNode* row, std::size_t section);
    void gatherCells(const xmlNode* parent, Row& row, int depth);
    void addLooseCell(const xmlNode* cell, std::size_t section);
    void place();

    HtmlConverter& m_converter;
    const ComputedStyle* m_tableStyle = nullptr;
    std::vector<Section> m_sections;
    std::vector<std::pair<Row, std::size_t>> m_rows; // with the index of their section
    std::vector<const xmlNode*> m_captions;
    std::vector<const xmlNode*> m_fostered;
    std::vector<const xmlNode*> m_columns;
    std::vector<Placed> m_placed;
    std::vector<std::vector<bool>> m_occupied;
    int m_columnCount = 0;
    bool m_looseRowOpen = false;
};

} // namespace importer::html
