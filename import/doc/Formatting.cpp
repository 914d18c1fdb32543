#include "import/doc/Formatting.h"

#include <algorithm>
#include <array>

namespace importer::doc {

namespace {

// The property modifiers a piece can carry without a grpprl: a 7-bit index into this table of Word 97 sprms
// with a one-byte operand.
constexpr std::uint16_t kPieceSprms[128] = {
    0, 0, 0, 0, 0x2402, 0x2403, 0x2404, 0x2405, 0x2406, 0x2407, 0x2408, 0x2409, 0x260A, 0, 0x240C, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0x2416, 0x2417, 0, 0, 0, 0x261B, 0, 0,
    0, 0, 0, 0, 0, 0x2423, 0, 0, 0, 0, 0, 0, 0x242A, 0, 0, 0,
    0, 0, 0x2430, 0x2431, 0, 0x2433, 0x2434, 0x2435, 0x2436, 0x2437, 0x2438, 0, 0, 0x243B, 0, 0,
    0, 0x0800, 0x0801, 0x0802, 0, 0, 0, 0x0806, 0, 0, 0, 0x080A, 0, 0x2A0C, 0x0858, 0x2859,
    0, 0, 0, 0x2A33, 0, 0x0835, 0x0836, 0x0837, 0x0838, 0x0839, 0x083A, 0x083B, 0x083C, 0, 0x2A3E, 0,
    0, 0, 0x2A42, 0, 0x2A44, 0, 0x2A46, 0, 0x2A48, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0x2A53, 0x0854, 0x0855, 0x0856, 0x2E00, 0x2640, 0x2441, 0, 0, 0, 0, 0, 0,
};

} // namespace

template<typename Visit> void Formatting::forEachPieceSprm(std::uint32_t cp, Visit&& visit)
{
    const PieceTable::Piece* piece = m_document.pieces.pieceAt(cp);
    if (!piece || piece->prm == 0)
        return;
    WordVersion version = m_document.fib.version;
    if (piece->prm & 1) {
        std::size_t index = piece->prm >> 1;
        if (index < m_document.pieces.grpprls().size())
            forEachSprm(m_document.pieces.grpprls()[index], version, visit);
        return;
    }
    std::uint8_t index = (piece->prm >> 1) & 0x7F;
    std::uint8_t operand = std::uint8_t(piece->prm >> 8);
    std::array<std::uint8_t, 3> bytes {};
    std::size_t size = 0;
    if (version == WordVersion::Word6) {
        bytes = { index, operand, 0 };
        size = 2;
    } else {
        std::uint16_t code = kPieceSprms[index];
        if (!code)
            return;
        bytes = { std::uint8_t(code), std::uint8_t(code >> 8), operand };
        size = 3;
    }
    forEachSprm(ByteReader(std::span<const std::uint8_t>(bytes.data(), size)), version, visit);
}

bool Formatting::endsParagraphRun(std::uint32_t cp) const
{
    const PieceTable::Piece* piece = m_document.pieces.pieceAt(cp);
    if (!piece)
        return false;
    std::uint32_t width = piece->isEightBit ? 1 : 2;
    std::uint32_t fc = piece->fc + (cp - piece->cpStart) * width;
    const FormattingRuns::Run* run = m_document.paragraphRuns.find(fc);
    return run && run->fcEnd == fc + width;
}

ParagraphProperties Formatting::paragraphProperties(std::uint32_t markCp, std::optional<TableProperties>* row)
{
    auto fc = m_document.pieces.fcAt(markCp);
    const FormattingRuns::Run* run = fc ? m_document.paragraphRuns.find(*fc) : nullptr;
    std::uint16_t istd = run ? run->istd : 0;
    WordVersion version = m_document.fib.version;
    const ParagraphProperties base = m_document.styles.paragraphProperties(istd);
    auto applyDirect = [&](ParagraphProperties& properties) {
        auto apply = [&](const Sprm& sprm) { properties.apply(sprm); };
        if (run)
            forEachSprm(run->grpprl, version, apply);
        forEachPieceSprm(markCp, apply);
    };
    ParagraphProperties properties = base;
    applyDirect(properties);
    // A list level's indents and tabs lie between the style and the paragraph's own formatting.
    if (const ListTable::Level* level = m_document.lists.level(properties.listFormat, properties.listLevel)) {
        ParagraphProperties listed = base;
        forEachSprm(level->paragraphGrpprl, version, [&](const Sprm& sprm) { listed.apply(sprm); });
        applyDirect(listed);
        properties = std::move(listed);
    }
    properties.istd = istd;
    if (row) {
        TableProperties table;
        auto apply = [&](const Sprm& sprm) { table.apply(sprm); };
        if (run)
            forEachSprm(run->grpprl, version, apply);
        forEachPieceSprm(markCp, apply);
        *row = std::move(table);
    }
    return properties;
}

Formatting::Segment Formatting::segmentAt(std::uint32_t cp, std::uint32_t limit, const CharacterProperties& paragraphStyle)
{
    Segment segment { paragraphStyle, limit };
    const PieceTable::Piece* piece = m_document.pieces.pieceAt(cp);
    if (!piece)
        return segment;
    std::uint32_t width = piece->isEightBit ? 1 : 2;
    std::uint32_t fc = piece->fc + (cp - piece->cpStart) * width;
    segment.end = std::min(limit, piece->cpEnd);
    CharacterProperties base = paragraphStyle;
    const auto& runs = m_document.characterRuns.runs();
    std::size_t index = m_document.characterRuns.firstEndingAfter(fc);
    WordVersion version = m_document.fib.version;
    if (index < runs.size()) {
        const auto& run = runs[index];
        if (run.fcStart <= fc) {
            segment.end = std::min<std::uint64_t>(segment.end, cp + (std::uint64_t(run.fcEnd) - fc + width - 1) / width);
            forEachSprm(run.grpprl, version, [&](const Sprm& sprm) {
                if (sprm.code == sprm::CIstd)
                    base = m_document.styles.withCharacterStyle(sprm.u16(), paragraphStyle);
            });
            segment.properties = base;
            forEachSprm(run.grpprl, version, [&](const Sprm& sprm) {
                if (sprm.code != sprm::CIstd)
                    segment.properties.apply(sprm, base);
            });
        } else {
            segment.end = std::min<std::uint64_t>(segment.end, cp + std::max<std::uint64_t>(1, (run.fcStart - fc) / width));
        }
    }
    forEachPieceSprm(cp, [&](const Sprm& sprm) { segment.properties.apply(sprm, base); });
    segment.end = std::max(segment.end, cp + 1);
    return segment;
}

kit::Attributes Formatting::attributes(const CharacterProperties& properties) const
{
    kit::Attributes attributes;
    const FontTable& fonts = m_document.fonts;
    bool isComplex = properties.isBidi || properties.isComplexScript;
    attributes.fontFamily = fonts.name(properties.fonts[0]);
    const std::string& eastAsian = fonts.name(properties.fonts[1]);
    if (eastAsian != attributes.fontFamily && properties.fonts[1] < fonts.size())
        attributes.fontFamilyEastAsian = eastAsian;
    if (properties.hasFontBidi) {
        const std::string& complex = fonts.name(properties.fontBidi);
        if (complex != attributes.fontFamily)
            attributes.fontFamilyComplex = complex;
    }
    attributes.fontSize = float(isComplex ? properties.halfPointsBidi : properties.halfPoints) / 2;
    attributes.bold = isComplex ? properties.boldBidi || properties.bold : properties.bold;
    attributes.italic = isComplex ? properties.italicBidi || properties.italic : properties.italic;
    if (properties.underline)
        attributes.underline = properties.underline == 3 ? kit::LineStyle::Double : kit::LineStyle::Single;
    if (properties.doubleStrike)
        attributes.strikethrough = kit::LineStyle::Double;
    else if (properties.strike)
        attributes.strikethrough = kit::LineStyle::Single;
    attributes.allCaps = properties.caps;
    attributes.smallCaps = properties.smallCaps;
    if (!isAutomatic(properties.color))
        attributes.foreground = colorFromRef(properties.color);
    if (properties.highlight && !isAutomatic(colorRefFromIco(properties.highlight)))
        attributes.background = colorFromRef(colorRefFromIco(properties.highlight));
    else if (properties.shading)
        attributes.background = properties.shading;
    if (properties.verticalPosition == 1)
        attributes.superscript = 1;
    else if (properties.verticalPosition == 2)
        attributes.superscript = -1;
    attributes.baselineShift = float(properties.raisedHalfPoints) / 2;
    return attributes;
}

} // namespace importer::doc
