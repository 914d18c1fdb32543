#pragma once

#include "import/doc/Sprm.h"
#include "kit/text/Attributes.h"

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace importer::doc {

// A colour as Word stores it: red, green, blue and an "automatic" flag (the last byte 0xFF).
using ColorRef = std::uint32_t;
inline constexpr ColorRef kAutoColor = 0xFF000000;
bool isAutomatic(ColorRef color);
kit::Color colorFromRef(ColorRef color);
// The 16 colours of the old colour index (1 black ... 16 light grey); automatic (0) and unknown indices are
// kAutoColor.
ColorRef colorRefFromIco(unsigned ico);
// The colour a shading pattern shows: the foreground over the background in the pattern's proportion; nullopt
// when it is clear over an automatic background.
std::optional<kit::Color> shadingColor(ColorRef foreground, ColorRef background, unsigned pattern);

// A border line (BRC in its three sizes).
struct BorderLine {
    std::uint8_t type = 0; // 0 none, 3 double, 255 nil (not set); anything else draws a line
    float width = 0; // points
    ColorRef color = kAutoColor;
    float space = 0; // points between the line and what it borders
    bool isSet() const { return type != 0 && type != 255; }
    kit::Border border() const;
    // Word 97's four-byte form, Word 2000's eight-byte form, Word 6's two-byte form.
    static BorderLine fromBrc80(const ByteReader& bytes, std::size_t offset);
    static BorderLine fromBrc(const ByteReader& bytes, std::size_t offset);
    static BorderLine fromBrc10(const ByteReader& bytes, std::size_t offset);
};

// Character properties (CHP), in Word's units until they become kit attributes.
struct CharacterProperties {
    std::uint16_t istd = 10; // the character style; 10 is "Default Paragraph Font"
    std::array<std::uint16_t, 3> fonts {}; // ASCII, East Asian, other
    std::uint16_t fontBidi = 0;
    bool hasFontBidi = false;
    std::uint16_t halfPoints = 20;
    std::uint16_t halfPointsBidi = 20;
    bool bold = false, italic = false, boldBidi = false, italicBidi = false;
    bool strike = false, doubleStrike = false, smallCaps = false, caps = false, hidden = false;
    std::uint8_t underline = 0; // kul: 0 none, 3 double, others single
    ColorRef color = kAutoColor;
    std::uint8_t highlight = 0; // colour index; 0 none
    std::optional<kit::Color> shading;
    std::uint8_t verticalPosition = 0; // iss: 1 superscript, 2 subscript
    std::int16_t raisedHalfPoints = 0; // hpsPos
    bool isDeleted = false; // a tracked deletion: never shown
    bool isFieldVanish = false;
    bool isSpecial = false; // fSpec: the character is a placeholder (picture, note reference, field...)
    bool isOle2 = false;
    bool isData = false;
    bool isObject = false;
    bool isBidi = false;
    bool isComplexScript = false;
    std::optional<std::uint32_t> pictureOffset; // sprmCPicLocation: offset into the Data stream
    std::optional<std::uint16_t> symbolFont;
    char16_t symbolCharacter = 0;

    // Applies one sprm; toggles (0x80, 0x81) refer to the style's value in base.
    void apply(const Sprm& sprm, const CharacterProperties& base);
};

struct TabDefinition {
    std::int16_t position = 0; // twips
    std::uint8_t alignment = 0; // 0 left, 1 centre, 2 right, 3 decimal, 4 bar
};

// Paragraph properties (PAP). Indents and spacing in twips.
struct ParagraphProperties {
    std::uint16_t istd = 0;
    std::uint8_t justification = 0; // 0 start, 1 centre, 2 end, 3 both, 4 distributed, ...
    bool justificationIsLogical = true; // sprmPJc (logical) rather than sprmPJc80 (physical)
    bool isRightToLeft = false;
    std::int32_t leftIndent = 0, rightIndent = 0, firstLineIndent = 0;
    std::int32_t spaceBefore = 0, spaceAfter = 0;
    bool spaceBeforeAuto = false, spaceAfterAuto = false;
    std::int16_t lineSpacing = 240;
    std::int16_t lineSpacingIsMultiple = 1;
    std::vector<TabDefinition> tabs;
    bool keepTogether = false, keepWithNext = false, pageBreakBefore = false;
    std::int16_t outlineLevel = -1; // sprmPOutLvl: 0...8 a heading's level, 9 body text; -1 unsaid
    bool inTable = false;
    bool isRowEnd = false; // fTtp
    std::int32_t tableDepth = 0; // itap; 0 outside tables
    bool hasTableDepth = false;
    bool isInnerCellEnd = false;
    bool isInnerRowEnd = false;
    std::uint16_t listFormat = 0; // ilfo: 1-based index of a list format override; 0 none
    std::uint8_t listLevel = 0;
    bool hasListFormat = false; // set directly (a paragraph can remove its style's list)
    // Word 6 numbering (ANLD), kept raw for the list code.
    std::vector<std::uint8_t> word6Numbering;
    std::uint8_t word6NumberingLevel = 0;

    void apply(const Sprm& sprm);
    int depth() const { return hasTableDepth ? tableDepth : (inTable ? 1 : 0); }
    kit::ParagraphStyle style(float defaultTabInterval) const;
};

struct TableCellDefinition {
    bool isFirstMerged = false, isMerged = false;
    bool isVerticallyMerged = false, isVerticalRestart = false;
    std::array<BorderLine, 4> borders; // top, left, bottom, right
};

// Table row properties (TAP): carried by the row's end mark.
struct TableProperties {
    std::vector<std::int16_t> boundaries; // twips: cell i spans boundaries[i] .. boundaries[i + 1]
    std::vector<TableCellDefinition> cells;
    std::vector<std::optional<kit::Color>> shading;
    std::array<BorderLine, 6> tableBorders; // top, left, bottom, right, inside horizontal, inside vertical
    std::int16_t gapHalf = 108; // half the space between cells: the cells' left and right padding, twips
    std::optional<std::array<float, 4>> padding; // default cell padding (points) when the row sets one
    bool isHeader = false;
    bool cantSplit = false; // the row may not break across pages

    void apply(const Sprm& sprm);
};

inline constexpr float twipsToPoints(double twips) { return float(twips / 20.0); }

} // namespace importer::doc
