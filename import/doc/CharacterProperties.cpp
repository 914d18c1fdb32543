#include "import/doc/Properties.h"

#include <algorithm>

namespace importer::doc {

namespace {

constexpr ColorRef rgb(unsigned r, unsigned g, unsigned b) { return r | g << 8 | b << 16; }

// Shading patterns as the share of the foreground colour, in per mille: clear, solid, the twelve
// percentages, twelve hatchings (drawn here as their average coverage), then the finer percentages.
constexpr std::uint16_t kPatternCoverage[] = {
    0, 1000, 50, 100, 200, 250, 300, 400, 500, 600, 700, 750, 800, 900, // 0-13
    500, 500, 500, 500, 500, 500, 250, 250, 250, 250, 250, 250, // 14-25 hatchings
    0, 0, 0, 0, 0, 0, 0, 0, 0, // 26-34 unused
    25, 75, 125, 150, 175, 225, 275, 325, 350, 375, 425, 450, 475, 525, 550, 575, 625, 650, 675, 725, 775, 825,
    850, 875, 925, 950, 975, 970, // 35-62
};

bool toggle(std::uint8_t operand, bool current, bool styleValue)
{
    switch (operand) {
    case 0:
        return false;
    case 1:
        return true;
    case 0x80:
        return styleValue;
    case 0x81:
        return !styleValue;
    default:
        return current;
    }
}

} // namespace

bool isAutomatic(ColorRef color)
{
    return (color >> 24) == 0xFF;
}

kit::Color colorFromRef(ColorRef color)
{
    return kit::Color::calibratedRGB(float(color & 0xFF) / 255, float((color >> 8) & 0xFF) / 255,
        float((color >> 16) & 0xFF) / 255);
}

ColorRef colorRefFromIco(unsigned ico)
{
    static constexpr ColorRef table[] = {
        kAutoColor, rgb(0, 0, 0), rgb(0, 0, 255), rgb(0, 255, 255), rgb(0, 255, 0), rgb(255, 0, 255),
        rgb(255, 0, 0), rgb(255, 255, 0), rgb(255, 255, 255), rgb(0, 0, 128), rgb(0, 128, 128), rgb(0, 128, 0),
        rgb(128, 0, 128), rgb(128, 0, 0), rgb(128, 128, 0), rgb(128, 128, 128), rgb(192, 192, 192),
    };
    return ico < std::size(table) ? table[ico] : kAutoColor;
}

std::optional<kit::Color> shadingColor(ColorRef foreground, ColorRef background, unsigned pattern)
{
    if (pattern >= std::size(kPatternCoverage))
        return std::nullopt; // nil (0xFFFF) or a value no version defines
    if (pattern == 0)
        return isAutomatic(background) ? std::nullopt : std::optional(colorFromRef(background));
    // Automatic means black ink on white paper.
    ColorRef fore = isAutomatic(foreground) ? rgb(0, 0, 0) : foreground;
    ColorRef back = isAutomatic(background) ? rgb(255, 255, 255) : background;
    float share = float(kPatternCoverage[pattern]) / 1000;
    auto mix = [&](int shift) {
        float f = float((fore >> shift) & 0xFF), b = float((back >> shift) & 0xFF);
        return (f * share + b * (1 - share)) / 255;
    };
    return kit::Color::calibratedRGB(mix(0), mix(8), mix(16));
}

kit::Border BorderLine::border() const
{
    kit::Border border;
    if (!isSet())
        return border;
    border.style = type == 3 ? kit::LineStyle::Double : kit::LineStyle::Single;
    border.width = std::max(width, 0.25f);
    border.color = isAutomatic(color) ? kit::Color::blackColor() : colorFromRef(color);
    return border;
}

BorderLine BorderLine::fromBrc80(const ByteReader& bytes, std::size_t offset)
{
    BorderLine line;
    auto value = bytes.readU32LE(offset);
    if (!value || *value == 0xFFFFFFFF) {
        line.type = 255;
        return line;
    }
    line.width = float(*value & 0xFF) / 8;
    line.type = (*value >> 8) & 0xFF;
    line.color = colorRefFromIco((*value >> 16) & 0xFF);
    line.space = float((*value >> 24) & 0x1F);
    return line;
}

BorderLine BorderLine::fromBrc(const ByteReader& bytes, std::size_t offset)
{
    BorderLine line;
    auto color = bytes.readU32LE(offset);
    auto rest = bytes.readU32LE(offset + 4);
    if (!color || !rest || (*color == 0xFFFFFFFF && *rest == 0xFFFFFFFF)) {
        line.type = 255;
        return line;
    }
    line.color = *color;
    line.width = float(*rest & 0xFF) / 8;
    line.type = (*rest >> 8) & 0xFF;
    line.space = float((*rest >> 16) & 0x1F);
    return line;
}

BorderLine BorderLine::fromBrc10(const ByteReader& bytes, std::size_t offset)
{
    // Word 6: width in units of 0.75 point (3 bits), type (2 bits), shadow, colour index (5 bits), spacing.
    BorderLine line;
    auto value = bytes.readU16LE(offset);
    if (!value || *value == 0xFFFF) {
        line.type = 255;
        return line;
    }
    unsigned width = *value & 7;
    unsigned type = (*value >> 3) & 3;
    if (width > 5) {
        // Widths 6 and 7 stand for dotted and dashed hairlines.
        type = width;
        width = 1;
    }
    line.type = std::uint8_t(type);
    line.width = float(width) * 0.75f;
    line.color = colorRefFromIco((*value >> 6) & 0x1F);
    return line;
}

void CharacterProperties::apply(const Sprm& sprm, const CharacterProperties& base)
{
    switch (sprm.code) {
    case sprm::CFRMarkDel:
        isDeleted = sprm.u8() != 0;
        break;
    case sprm::CFFldVanish:
        isFieldVanish = sprm.u8() != 0;
        break;
    case sprm::CPicLocation:
        pictureOffset = sprm.u32();
        if (sprm.isWord6)
            isSpecial = true;
        break;
    case sprm::CFData:
        isData = sprm.u8() != 0;
        break;
    case sprm::CSymbol:
        symbolFont = sprm.u16(0);
        symbolCharacter = sprm.operand.size() >= 4 ? char16_t(sprm.u16(2)) : char16_t(sprm.u8(2));
        isSpecial = true;
        break;
    case sprm::CFOle2:
        isOle2 = sprm.u8() != 0;
        break;
    case sprm::CHighlight:
        highlight = sprm.u8();
        break;
    case sprm::CIstd:
        istd = sprm.u16();
        break;
    case sprm::CPlain: {
        // Back to the paragraph style's formatting; what the character is stays.
        CharacterProperties kept = *this;
        *this = base;
        isDeleted = kept.isDeleted;
        isFieldVanish = kept.isFieldVanish;
        isSpecial = kept.isSpecial;
        isOle2 = kept.isOle2;
        isData = kept.isData;
        isObject = kept.isObject;
        pictureOffset = kept.pictureOffset;
        symbolFont = kept.symbolFont;
        symbolCharacter = kept.symbolCharacter;
        break;
    }
    case sprm::CFBold:
        bold = toggle(sprm.u8(), bold, base.bold);
        break;
    case sprm::CFItalic:
        italic = toggle(sprm.u8(), italic, base.italic);
        break;
    case sprm::CFStrike:
        strike = toggle(sprm.u8(), strike, base.strike);
        break;
    case sprm::CFSmallCaps:
        smallCaps = toggle(sprm.u8(), smallCaps, base.smallCaps);
        break;
    case sprm::CFCaps:
        caps = toggle(sprm.u8(), caps, base.caps);
        break;
    case sprm::CFVanish:
        hidden = toggle(sprm.u8(), hidden, base.hidden);
        break;
    case sprm::CFtcDefault:
        fonts.fill(sprm.u16());
        break;
    case sprm::CKul:
        underline = sprm.u8();
        break;
    case sprm::CSizePos:
        if (sprm.u8(0))
            halfPoints = sprm.u8(0);
        break;
    case sprm::CIco:
        color = colorRefFromIco(sprm.u8());
        break;
    case sprm::CHps:
        halfPoints = std::clamp<std::uint16_t>(sprm.u16(), 2, 3276);
        break;
    case sprm::CHpsPos:
        raisedHalfPoints = sprm.i16();
        break;
    case sprm::CIss:
        verticalPosition = sprm.u8();
        break;
    case sprm::CRgFtc0:
        fonts[0] = sprm.u16();
        break;
    case sprm::CRgFtc1:
        fonts[1] = sprm.u16();
        break;
    case sprm::CRgFtc2:
        fonts[2] = sprm.u16();
        break;
    case sprm::CFDStrike:
        doubleStrike = toggle(sprm.u8(), doubleStrike, base.doubleStrike);
        break;
    case sprm::CFSpec:
        isSpecial = sprm.u8() != 0;
        break;
    case sprm::CFObj:
        isObject = sprm.u8() != 0;
        break;
    case sprm::CFBiDi:
        isBidi = sprm.u8() != 0;
        break;
    case sprm::CFBoldBi:
        boldBidi = toggle(sprm.u8(), boldBidi, base.boldBidi);
        break;
    case sprm::CFItalicBi:
        italicBidi = toggle(sprm.u8(), italicBidi, base.italicBidi);
        break;
    case sprm::CFtcBi:
        fontBidi = sprm.u16();
        hasFontBidi = true;
        break;
    case sprm::CHpsBi:
        halfPointsBidi = std::clamp<std::uint16_t>(sprm.u16(), 2, 3276);
        break;
    case sprm::CShd80: {
        std::uint16_t value = sprm.u16();
        shading = value == 0xFFFF ? std::nullopt
                                  : shadingColor(colorRefFromIco(value & 0x1F), colorRefFromIco((value >> 5) & 0x1F), value >> 10);
        break;
    }
    case sprm::CCv:
        color = sprm.u32();
        break;
    case sprm::CShd:
        if (sprm.operand.size() >= 10)
            shading = shadingColor(sprm.u32(0), sprm.u32(4), sprm.u16(8));
        break;
    case sprm::CFComplexScripts:
        isComplexScript = sprm.u8() != 0;
        break;
    default:
        break;
    }
}

} // namespace importer::doc
