#pragma once

#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kit {

enum class TextAlignment : std::uint8_t { Natural, Left, Right, Center, Justified };
enum class WritingDirection : std::uint8_t { Natural, LeftToRight, RightToLeft };
enum class LineStyle : std::uint8_t { None, Single, Double };
enum class LineSpacingRule : std::uint8_t { Multiple, Exact, AtLeast };
enum class TabAlignment : std::uint8_t { Left, Center, Right, Decimal };
// A field whose text the pagination computes. The run holds the result the document last saved; where its
// pages are laid out, the page's own number (or the count of pages) is drawn instead.
enum class PageField : std::uint8_t { None, Page, NumPages, SectionPages };

struct TabStop {
    float location = 0; // points from the text area's leading edge
    TabAlignment alignment = TabAlignment::Left;
    bool operator==(const TabStop&) const = default;
};

// Paragraph attributes. Lengths in points. The paragraph's style is the one on its first character.
struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::Natural;
    WritingDirection baseDirection = WritingDirection::Natural;
    float firstLineHeadIndent = 0; // from the leading edge of the text area, first line
    float headIndent = 0; // from the leading edge, other lines
    float tailIndent = 0; // inset from the trailing edge (>= 0)
    float spacingBefore = 0;
    float spacingAfter = 0;
    LineSpacingRule lineSpacingRule = LineSpacingRule::Multiple;
    float lineSpacing = 1; // a multiple of the natural line height, or points for Exact and AtLeast
    std::vector<TabStop> tabStops; // ascending locations
    float defaultTabInterval = 36;
    bool pageBreakBefore = false;
    // Starts the next column of a page set in columns (the document's own pages); nothing in one column.
    bool columnBreakBefore = false;
    bool keepWithNext = false;
    // 1...9: a heading of that level in the document's outline; 0: body text.
    std::uint8_t outlineLevel = 0;
    bool operator==(const ParagraphStyle&) const = default;
};

struct Border {
    LineStyle style = LineStyle::None;
    float width = 0; // points
    Color color;
    bool operator==(const Border&) const = default;
};

// A table's column widths (points, grid order). Every cell of a table carries them; they are immutable and
// shared, so a table of many cells holds one list, not one copy per cell. Equality compares the values.
class ColumnWidths {
public:
    using value_type = float;
    using const_iterator = std::vector<float>::const_iterator;
    using iterator = const_iterator;

    ColumnWidths() = default;
    ColumnWidths(std::vector<float> widths)
        : m_widths(widths.empty() ? nullptr : std::make_shared<const std::vector<float>>(std::move(widths)))
    {
    }
    ColumnWidths(std::initializer_list<float> widths)
        : ColumnWidths(std::vector<float>(widths))
    {
    }

    const std::vector<float>& values() const { return m_widths ? *m_widths : none(); }
    operator const std::vector<float>&() const { return values(); }
    std::size_t size() const { return values().size(); }
    bool empty() const { return values().empty(); }
    float operator[](std::size_t column) const { return values()[column]; }
    const_iterator begin() const { return values().begin(); }
    const_iterator end() const { return values().end(); }
    // True when both hold the very same list (cells of one table).
    bool isSharedWith(const ColumnWidths& o) const { return m_widths == o.m_widths; }

    bool operator==(const ColumnWidths& o) const { return isSharedWith(o) || values() == o.values(); }
    bool operator==(const std::vector<float>& o) const { return values() == o; }

private:
    static const std::vector<float>& none()
    {
        static const std::vector<float> none;
        return none;
    }
    std::shared_ptr<const std::vector<float>> m_widths;
};

// Carried by every paragraph of a table cell; every cell ends in a paragraph break.
struct TableCell {
    int tableId = 0; // unique within the storage; a nested table has its own id
    int row = 0;
    int column = 0; // grid column of the cell's first column
    int rowSpan = 1; // > 1 on the first cell of a vertical merge; continuation cells are not emitted
    int columnSpan = 1;
    int nestingLevel = 1; // 1 for a top-level table
    std::array<Border, 4> borders; // top, left, bottom, right
    std::optional<Color> shading;
    std::array<float, 4> padding { 0, 5.4f, 0, 5.4f }; // top, left, bottom, right, points
    ColumnWidths columnWidths; // of the whole table, shared by its cells
    bool isHeaderRow = false; // repeated at the top of each page the table continues on
    bool rowKeepsTogether = false; // the row may not break across pages (in the document's own layout)
    const TableCell* parent = nullptr; // the enclosing cell of a nested table (owned by the storage's runs)
    bool operator==(const TableCell& o) const
    {
        return tableId == o.tableId && row == o.row && column == o.column && rowSpan == o.rowSpan
            && columnSpan == o.columnSpan && nestingLevel == o.nestingLevel && borders == o.borders
            && shading == o.shading && padding == o.padding && columnWidths == o.columnWidths
            && isHeaderRow == o.isHeaderRow && rowKeepsTogether == o.rowKeepsTogether;
    }
};

// Where an object anchored in a paragraph floats, instead of standing in its line like a character.
// Offsets are points from the frame's top-left corner; an alignment other than Offset ignores the offset.
struct FloatPlacement {
    enum class Frame : std::uint8_t { Page, Margin, Column, Paragraph };
    enum class Align : std::uint8_t { Offset, Start, Center, End }; // start: left or top; end: right or bottom
    // Square: text runs beside the object on the wider side; TopAndBottom: above and below it only;
    // None: the object is drawn over (or behind) the text, which ignores it.
    enum class Wrap : std::uint8_t { Square, TopAndBottom, None };
    Frame horizontalFrame = Frame::Column; // Paragraph is not a horizontal frame: it means Column
    Frame verticalFrame = Frame::Paragraph;
    Align horizontalAlign = Align::Offset;
    Align verticalAlign = Align::Offset;
    Point offset;
    Wrap wrap = Wrap::Square;
    bool behindText = false;
    std::array<float, 4> distance { 0, 9, 0, 9 }; // the room kept free around it: top, left, bottom, right
    bool operator==(const FloatPlacement&) const = default;
};

struct VectorDrawing; // kit/text/VectorDrawing.h

// An image (or a placeholder for what cannot be drawn) standing on one U+FFFC.
struct Attachment {
    std::vector<std::uint8_t> bytes; // empty for a placeholder
    std::string mimeType; // "image/png", "image/jpeg", "image/gif"; empty for a placeholder
    Size size; // displayed size in points
    std::string alternativeText;
    // Shapes and charts: drawn from these shapes, at any scale, instead of from bytes.
    std::shared_ptr<const VectorDrawing> drawing;
    // None: the object stands in its line. Floating objects inside table cells, notes, headers and footers
    // stand in their line too; the paginator places those of the body's paragraphs.
    std::optional<FloatPlacement> placement;
    bool operator==(const Attachment&) const = default;
};

// Every attribute a run can carry. Heavy parts are shared and immutable; equality compares their values.
struct Attributes {
    std::string fontFamily = "Times New Roman";
    std::string fontFamilyEastAsian; // empty: same as fontFamily
    std::string fontFamilyComplex; // Arabic, Hebrew and other complex scripts; empty: same as fontFamily
    float fontSize = 12; // points
    bool bold = false;
    bool italic = false;
    LineStyle underline = LineStyle::None;
    LineStyle strikethrough = LineStyle::None;
    bool allCaps = false; // drawn upper-cased, never stored so
    bool smallCaps = false;
    std::optional<Color> foreground; // none: black
    std::optional<Color> background; // highlight or shading behind the glyphs
    // Super- and subscript: the drawing shrinks the font to 2/3 and shifts the baseline by a third of the size.
    std::int8_t superscript = 0; // 1 superscript, -1 subscript
    float baselineShift = 0; // points, positive raises, in addition to superscript
    std::string link; // URL, empty for none
    // The name of a bookmark (a target of links inside the document, "#name"); the first run that carries
    // it is the bookmark's place. Importers mark the first character, or the whole element it names.
    std::string anchor;
    bool listLabel = false; // the label characters and tab at the start of a list paragraph
    PageField pageField = PageField::None;
    std::shared_ptr<const ParagraphStyle> paragraph; // null: the default paragraph style
    std::shared_ptr<const TableCell> tableCell; // null outside tables
    std::shared_ptr<const Attachment> attachment; // only on a U+FFFC

    const ParagraphStyle& paragraphStyle() const;
    bool operator==(const Attributes& o) const;
};

// Special characters of the text, as every importer writes them:
//   '\n'     ends a paragraph (never '\r'; "\r\n" is normalised to '\n' on import)
//   U+2028  a line break inside a paragraph
//   '\f'     a page break: the text after it starts on the next page (it ends its paragraph too)
//   '\t'     a tab
//   U+FFFC  an attachment (image or placeholder); the run carries the attachment attribute
inline constexpr const char* kAttachmentCharacter = "\xEF\xBF\xBC"; // U+FFFC in UTF-8
inline constexpr const char* kLineSeparator = "\xE2\x80\xA8"; // U+2028 in UTF-8
inline constexpr char kPageBreak = '\f';

} // namespace kit
