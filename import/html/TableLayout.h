#pragma once

#include <optional>
#include <vector>

namespace importer::html {

// Column widths by the automatic table layout of browsers: each column's minimum and maximum content
// widths come from its cells (spanning cells spread their excess over the columns they cover), widths given
// in points or percent hold where the content allows, and the table takes its maximum width when that fits
// the available width, else shares the available width in proportion to how much each column wants beyond
// its minimum. All widths in points, cell padding and borders included.
class TableLayout {
public:
    explicit TableLayout(int columns);

    void addCell(int column, int span, float minimum, float maximum, std::optional<float> width,
        std::optional<float> percent);
    // A <col> width.
    void setColumnWidth(int column, std::optional<float> width, std::optional<float> percent);

    float minimumWidth() const;
    float maximumWidth() const;

    // tableWidth is the table's own width when it has one (points), tablePercent a percentage of available.
    std::vector<float> columnWidths(float available, std::optional<float> tableWidth,
        std::optional<float> tablePercent) const;

private:
    struct Column {
        float minimum = 0;
        float maximum = 0;
        std::optional<float> fixed;
        std::optional<float> percent;
    };
    struct SpanningCell {
        int column;
        int span;
        float minimum;
        float maximum;
    };
    std::vector<Column> resolvedColumns() const;

    std::vector<Column> m_columns;
    std::vector<SpanningCell> m_spanning;
};

} // namespace importer::html
