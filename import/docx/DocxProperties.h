#pragma once

#include "import/common/ParagraphAlignment.h"
#include "kit/text/Attributes.h"

#include <pugixml.hpp>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The formatting properties of WordprocessingML (w:rPr, w:pPr, w:tblPr, w:tcPr) as layers: every field is
// optional, unset fields inherit from the layer below (document defaults, styles, numbering, direct
// formatting), and overlay() stacks one layer on another. Lengths are kept in points.
namespace importer::docx {

// The theme's fonts, which rFonts refers to by role ("minorHAnsi", "majorEastAsia"...).
struct ThemeFonts {
    std::string majorLatin, majorEastAsian, majorComplex;
    std::string minorLatin, minorEastAsian, minorComplex;
    // The real font name for a theme role; empty when the theme does not name one.
    std::string resolve(std::string_view role) const;
};

struct RunProperties {
    std::optional<std::string> fontAscii, fontHighAnsi, fontEastAsian, fontComplex;
    std::optional<float> size, sizeComplex; // points
    std::optional<bool> bold, boldComplex, italic, italicComplex;
    std::optional<bool> allCaps, smallCaps, hidden, rightToLeft, complexScript;
    std::optional<bool> strike, doubleStrike;
    std::optional<kit::LineStyle> underline;
    // The outer optional says whether the layer sets it; the inner one is "auto" / none.
    std::optional<std::optional<kit::Color>> color, highlight, shading;
    std::optional<std::int8_t> verticalAlign; // 1 superscript, -1 subscript, 0 baseline
    std::optional<float> position; // points, positive raises
    void overlay(const RunProperties& over);
};

struct TabSpec {
    float position = 0; // points from the text area's leading edge
    kit::TabAlignment alignment = kit::TabAlignment::Left;
    bool clear = false; // removes an inherited stop at this position
};

using Justification = ParagraphAlignment;

struct ParagraphProperties {
    std::optional<Justification> justification;
    std::optional<bool> bidi, pageBreakBefore, keepNext, contextualSpacing;
    std::optional<float> indentStart, indentEnd;
    std::optional<float> firstLine; // points; negative for a hanging indent
    std::optional<float> spacingBefore, spacingAfter;
    std::optional<bool> spacingBeforeAuto, spacingAfterAuto;
    std::optional<kit::LineSpacingRule> lineRule;
    std::optional<float> line; // a multiple for Multiple, else points
    std::vector<TabSpec> tabs; // in the order the layers set them
    std::optional<int> numberingId, numberingLevel;
    std::optional<int> outlineLevel; // 1...9 a heading of that level, 0 body text (w:outlineLvl + 1)
    void overlay(const ParagraphProperties& over);
};

// Border sides in w:tblBorders and w:tcBorders; inside borders belong to tables (and conditional cells).
enum BorderSide { Top, Left, Bottom, Right, InsideHorizontal, InsideVertical, BorderSideCount };

struct TableProperties {
    std::array<std::optional<kit::Border>, BorderSideCount> borders;
    std::array<std::optional<float>, 4> cellMargins; // top, left, bottom, right
    std::optional<std::optional<kit::Color>> shading;
    std::optional<int> rowBandSize, columnBandSize;
    std::optional<float> width; // points; only for widths given in twentieths of a point
    std::optional<float> widthPercent; // a fraction of the text width
    void overlay(const TableProperties& over);
};

struct CellProperties {
    std::array<std::optional<kit::Border>, BorderSideCount> borders;
    std::array<std::optional<float>, 4> margins;
    std::optional<std::optional<kit::Color>> shading;
    void overlay(const CellProperties& over);
};

// The children of w:pPr and w:tcPr that are not formatting layers, found in the same pass.
struct ParagraphMarkup {
    pugi::xml_node style; // w:pStyle
    pugi::xml_node markProperties; // w:rPr: the paragraph mark's run properties
    pugi::xml_node section; // w:sectPr: the paragraph ends a section
    pugi::xml_node frame; // w:framePr
};
struct CellMarkup {
    pugi::xml_node gridSpan, verticalMerge, horizontalMerge, width;
};

// styleId, when given, receives the w:rStyle the run properties name.
RunProperties parseRunProperties(pugi::xml_node rPr, const ThemeFonts& theme, std::string_view* styleId = nullptr);
ParagraphProperties parseParagraphProperties(pugi::xml_node pPr, ParagraphMarkup* markup = nullptr);
TableProperties parseTableProperties(pugi::xml_node tblPr);
CellProperties parseCellProperties(pugi::xml_node tcPr, CellMarkup* markup = nullptr);
// w:shd: the colour behind, mixing a percentage pattern's colour over its fill.
std::optional<kit::Color> parseShading(pugi::xml_node shd);
// A border element (w:top, w:insideH...): nullopt when absent; style None for nil/none.
std::optional<kit::Border> parseBorder(pugi::xml_node border);

// An on/off property: present without w:val is on; "0", "false", "off" are off.
bool isOn(pugi::xml_node node);

// The character attributes of resolved properties. complex selects the complex-script size, weight and
// slant (w:szCs, w:bCs, w:iCs), which Word uses for Arabic, Hebrew and other complex scripts.
void applyRunProperties(const RunProperties& run, bool complex, kit::Attributes& attributes);
kit::ParagraphStyle makeParagraphStyle(const ParagraphProperties& paragraph, float defaultTabInterval);

// Twentieths of a point (twips), as most WordprocessingML lengths are written.
inline float twips(long value) { return float(value) / 20.0f; }

} // namespace importer::docx
