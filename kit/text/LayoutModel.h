#pragma once

// Internal to the layout manager: the text's block structure and the geometry placed in containers.
// Nothing here is part of kit's interface.

#include "kit/foundation/Range.h"
#include "kit/geometry/Geometry.h"
#include "kit/text/Attributes.h"
#include "kit/text/ParagraphEngine.h"
#include "kit/text/TextContainer.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

namespace kit {

class TextStorage;

namespace layout {

// Paragraph spacing, points, as the layout uses it whatever the document says.
inline float spacingBefore(const ParagraphStyle& style) { return saneLength(style.spacingBefore, 0, 10000); }
inline float spacingAfter(const ParagraphStyle& style) { return saneLength(style.spacingAfter, 0, 10000); }

// A paragraph: its content and the '\n' or '\f' that ends it (none for a final paragraph without one).
// A paragraph too long for one Pango layout is kept as several pieces, each laid out on its own; only
// the last has the terminator.
struct Paragraph {
    std::uint32_t start = 0;
    std::uint32_t length = 0; // content bytes, without the terminator
    std::uint8_t terminatorLength = 0;
    bool pageBreakAfter = false; // ended by '\f'
    bool continuesParagraph = false; // a later piece
    bool continuedAfter = false; // a piece that more pieces follow
    std::uint32_t paragraphStart = 0; // the whole paragraph's first byte (its style's)
    std::uint32_t end() const { return start + length + terminatorLength; }
};

struct Block {
    enum class Kind : std::uint8_t { Paragraph, Table };
    Kind kind = Kind::Paragraph;
    std::uint32_t index = 0; // into TextStructure::paragraphs or ::tables
};

struct Cell {
    std::shared_ptr<const TableCell> attributes; // of the cell's first paragraph
    std::vector<Block> blocks;
};

struct Row {
    int row = 0;
    bool isHeader = false;
    bool keepsTogether = false;
    std::vector<Cell> cells; // in text order
};

struct Table {
    int id = 0;
    std::vector<Row> rows;
};

// The storage read as paragraphs and (nested) tables, in text order.
struct TextStructure {
    std::vector<Paragraph> paragraphs;
    std::deque<Table> tables; // a deque: building a nested table must not move its enclosing one
    std::vector<Block> body;

    static TextStructure build(const TextStorage&);
};

// A line with its paragraph's line spacing applied. Vertical lengths in points from the line box's top.
struct LineBox {
    std::uint32_t start = 0;
    std::uint32_t end = 0; // one past the last byte; the paragraph's last line holds the terminator
    float height = 0;
    float baseline = 0;
};

// A table row (or rows tied by a vertical merge) laid out in its own coordinates: x from the table's
// left edge, y from the group's top, points. Nested tables are flattened into their enclosing group.
struct GroupLine {
    std::uint32_t paragraph = 0;
    std::uint32_t line = 0; // index within the paragraph's lines
    std::uint32_t start = 0, end = 0;
    float x = 0; // the left edge of the line's column
    float top = 0, height = 0, baseline = 0; // baseline from the group's top
};

struct GroupBox {
    Rect rect;
    const TableCell* cell = nullptr;
    int item = -1; // the nested row group (an item) it belongs to; -1 for the group's own cells
};

// The pieces a row can be split between: one line of a cell, or a whole nested row group.
struct GroupItem {
    float top = 0, bottom = 0;
    std::uint32_t firstLine = 0, lineCount = 0;
};

struct RowGroup {
    float height = 0;
    bool isHeader = false;
    bool keepsTogether = false; // a row of it may not break across pages

    std::vector<GroupLine> lines;
    std::vector<GroupBox> boxes;
    std::vector<GroupItem> items; // in text order
};

// What one container holds, in container coordinates (points, y down from the container's top).
struct PlacedLine {
    std::uint32_t paragraph = 0;
    std::uint32_t line = 0;
    std::uint32_t start = 0, end = 0;
    float x = 0; // the left edge of the line's column
    float top = 0, height = 0, baseline = 0;
    bool isDecoration = false; // a repeated table header: drawn, but not part of the container's text
    // A line of a note placed where the document's pages show it (the foot of a page, the end of a section):
    // its bytes stand after the body's, so it stays out of the container's glyph range.
    bool isNote = false;
};

struct PlacedBox {
    Rect rect; // the cell's rectangle, clipped to the part of its row in this container
    const TableCell* cell = nullptr;
};

// An object the paginator placed outside the lines, in container coordinates (it may lie outside the
// container, in the page's margins).
struct PlacedFloat {
    Rect rect;
    std::shared_ptr<const Attachment> attachment;
    std::uint32_t anchor = 0; // the byte of its U+FFFC
};

struct ContainerLayout {
    Range glyphRange; // of the body lines; of the note lines when the container holds nothing else
    std::vector<PlacedLine> lines; // non-decoration lines in text order, then the footnotes' lines
    std::vector<PlacedBox> boxes;
    float usedHeight = 0;
    // The short rules above the footnotes at the container's foot and above the endnotes where they begin.
    std::vector<Rect> noteSeparators;
    bool holdsNotes = false; // some line is a note's
    std::vector<PlacedFloat> floats; // in anchor order
    std::vector<ColumnBand> bands; // top to bottom: one, unless sections begin on the container
};

} // namespace layout
} // namespace kit
