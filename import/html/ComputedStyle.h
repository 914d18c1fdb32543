#pragma once

#include "kit/text/Attributes.h"

#include <array>
#include <optional>
#include <string>

namespace importer::html {

enum class Display : std::uint8_t { Inline, Block, ListItem, None, Table, TableRow, TableCell, TableCaption, TableSection, TableColumn };
enum class WhiteSpace : std::uint8_t { Normal, NoWrap, Pre, PreWrap, PreLine };
enum class ListStyle : std::uint8_t {
    Disc, Circle, Square, Decimal, DecimalLeadingZero, LowerAlpha, UpperAlpha, LowerRoman, UpperRoman, LowerGreek, None
};

// Box sides in CSS order.
enum Side { Top = 0, Right = 1, Bottom = 2, Left = 3 };

// What the cascade gives one element, in points. Inherited properties come first.
struct ComputedStyle {
    // Inherited.
    std::string fontFamily = "Times New Roman";
    std::string fontFamilyEastAsian;
    std::string fontFamilyComplex;
    float fontSize = 12;
    bool bold = false;
    bool italic = false;
    bool smallCaps = false;
    bool allCaps = false;
    std::optional<kit::Color> color;
    kit::TextAlignment textAlign = kit::TextAlignment::Natural;
    kit::WritingDirection direction = kit::WritingDirection::Natural;
    kit::LineSpacingRule lineHeightRule = kit::LineSpacingRule::Multiple;
    float lineHeight = 1; // a multiple, or points for Exact
    float textIndent = 0;
    WhiteSpace whiteSpace = WhiteSpace::Normal;
    ListStyle listStyle = ListStyle::Disc;

    // Not inherited in CSS, but they reach the text of every descendant: decorations, the shift of sub- and
    // superscripts, the background of inline boxes and the target of an enclosing link.
    kit::LineStyle underline = kit::LineStyle::None;
    kit::LineStyle strikethrough = kit::LineStyle::None;
    std::int8_t verticalAlign = 0; // 1 super, -1 sub
    std::optional<kit::Color> textBackground;
    std::string link;
    std::string anchor; // the id (or <a name>) of the innermost element that has one

    // Not inherited.
    Display display = Display::Inline;
    std::array<float, 4> margin {}; // CSS order: top, right, bottom, left
    std::array<float, 4> padding {};
    std::array<kit::Border, 4> border {};
    std::optional<kit::Color> background;
    bool pageBreakBefore = false;
    bool pageBreakAfter = false;
    std::optional<float> width; // points
    std::optional<float> widthPercent;
    std::optional<float> height;

    // The character attributes of text in this style.
    kit::Attributes characterAttributes() const;
};

} // namespace importer::html
