#pragma once

#include "import/odt/OdtStyles.h"

#include <pugixml.hpp>

#include <vector>

namespace importer::odt {

struct OdtLaidOutCell {
    pugi::xml_node node; // table:table-cell
    kit::TableCell cell; // place, spans, borders, shading, padding (table id, parent and column widths left to the reader)
    float contentWidth = 0; // points between the cell's paddings
};

struct OdtTableLayout {
    std::vector<OdtLaidOutCell> cells; // in reading order; covered cells are left out
    kit::ColumnWidths columnWidths; // points; shared by the cells
};

// Lays out a table:table: its columns (through column groups and repeats) with their widths, absolute or
// relative shares of the table's width, scaled down to availableWidth; its rows (header rows, row groups,
// repeats) and cells (repeats, spans, covered cells) with their cell styles. Repeats are bounded, and no more
// than maxCells cells are laid out.
OdtTableLayout layoutOdtTable(pugi::xml_node table, const OdtStyles& styles, float availableWidth, int nestingLevel, std::size_t maxCells);

} // namespace importer::odt
