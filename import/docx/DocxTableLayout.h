#pragma once

#include "import/docx/DocxStyles.h"

#include <pugixml.hpp>

#include <map>
#include <memory>
#include <vector>

namespace importer::docx {

// One cell of a table's grid with everything the attribute model needs to know about it.
struct LaidOutCell {
    pugi::xml_node node; // w:tc
    kit::TableCell cell; // geometry, borders, shading, padding (table id, parent and column widths left to the reader)
    const ConditionalFormat* format = nullptr; // the table style's formatting for this cell's paragraphs (owned by the layout)
    float contentWidth = 0; // points between the cell's paddings
};

struct TableLayout {
    std::vector<LaidOutCell> cells; // in reading order; continuations of vertical merges are left out
    kit::ColumnWidths columnWidths; // points, grid order; shared by the cells
    // One combination of the table style's conditional formats per kind of cell, shared by the cells.
    std::map<unsigned, std::unique_ptr<ConditionalFormat>> formats;
};

// Lays out a w:tbl: rows and cells (through content controls and custom XML wrappers), the grid columns each
// cell covers (w:gridBefore, w:gridSpan, legacy w:hMerge), vertical merges counted into row spans, column
// widths from w:tblGrid (falling back to cell widths, then equal shares) scaled down to availableWidth, header
// rows, and borders, shading and padding from direct formatting over the table style's conditional formats.
TableLayout layoutTable(pugi::xml_node table, DocxStyles& styles, float availableWidth, int nestingLevel);

} // namespace importer::docx
