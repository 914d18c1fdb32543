#include "import/doc/StyleSheet.h"

#include "import/common/Encoding.h"

#include <algorithm>

namespace importer::doc {

namespace {

constexpr std::uint16_t kNoStyle = 0x0FFF;
// Base chains longer than this are loops or damage; Word itself nests a few levels.
constexpr int kMaximumDepth = 32;
constexpr std::size_t kMaximumStyles = 4096;

} // namespace

StyleSheet StyleSheet::read(const ByteReader& stsh, WordVersion version)
{
    StyleSheet sheet;
    sheet.m_version = version;
    auto headerSize = stsh.readU16LE(0);
    if (!headerSize)
        return sheet;
    ByteReader header = stsh.clippedSlice(2, *headerSize);
    std::size_t count = std::min<std::size_t>(header.readU16LE(0).value_or(0), kMaximumStyles);
    std::size_t baseSize = header.readU16LE(2).value_or(version == WordVersion::Word97 ? 10 : 8);
    // The default fonts for ASCII, East Asian and other text (Word 6 has only the first).
    if (header.size() >= 14)
        sheet.m_defaultCharacter.fonts.fill(*header.readU16LE(12));
    if (header.size() >= 18) {
        for (std::size_t i = 0; i < 3; ++i)
            sheet.m_defaultCharacter.fonts[i] = *header.readU16LE(12 + 2 * i);
    }

    std::size_t at = 2 + std::size_t(*headerSize);
    for (std::size_t index = 0; index < count; ++index) {
        auto size = stsh.readU16LE(at);
        if (!size)
            break;
        ByteReader std = stsh.clippedSlice(at + 2, *size);
        at += 2 + std::size_t(*size);
        Style style;
        if (std.size() >= 6 && baseSize >= 6) {
            std::uint16_t first = *std.readU16LE(0), second = *std.readU16LE(2), third = *std.readU16LE(4);
            style.sti = first & 0x0FFF;
            style.base = second >> 4;
            unsigned kind = second & 0x0F;
            unsigned upxCount = third & 0x0F;
            style.kind = kind >= 1 && kind <= 4 ? Kind(kind) : Kind::None;
            // The name: UTF-16 with a 16-bit length in Word 97, 8-bit with an 8-bit length in Word 6; both
            // end in a terminator.
            std::size_t upx = baseSize;
            if (version == WordVersion::Word97) {
                std::size_t length = std.readU16LE(baseSize).value_or(0);
                style.name = encoding::utf16ToUtf8(std.clippedSlice(baseSize + 2, 2 * length).bytes(), false);
                upx = baseSize + 2 + 2 * length + 2;
            } else {
                std::size_t length = std.readU8(baseSize).value_or(0);
                style.name = encoding::decode(std.clippedSlice(baseSize + 1, length).bytes(), encoding::kCodePageWindowsLatin1);
                upx = baseSize + 1 + length + 1;
            }
            // The property exceptions, each padded to an even offset: paragraph styles have the paragraph's
            // (with its style index) then the characters', character styles only the latter; table styles
            // start with the table's.
            std::vector<ByteReader> upxs;
            for (unsigned i = 0; i < upxCount && upx < std.size(); ++i) {
                upx += upx & 1;
                std::size_t length = std.readU16LE(upx).value_or(0);
                upxs.push_back(std.clippedSlice(upx + 2, length));
                upx += 2 + length;
            }
            auto upxAt = [&](std::size_t i) { return i < upxs.size() ? upxs[i] : ByteReader(); };
            switch (style.kind) {
            case Kind::Paragraph:
                style.paragraphGrpprl = upxAt(0).clippedSlice(2, upxAt(0).size());
                style.characterGrpprl = upxAt(1);
                break;
            case Kind::Character:
                style.characterGrpprl = upxAt(0);
                break;
            case Kind::Table:
                style.paragraphGrpprl = upxAt(1).clippedSlice(2, upxAt(1).size());
                style.characterGrpprl = upxAt(2);
                break;
            case Kind::List:
                style.paragraphGrpprl = upxAt(0).clippedSlice(2, upxAt(0).size());
                break;
            case Kind::None:
                break;
            }
        }
        sheet.m_styles.push_back(std::move(style));
    }
    return sheet;
}

void StyleSheet::resolve(std::uint16_t istd, int depth)
{
    Style& style = m_styles[istd];
    if (style.isResolved || style.isResolving)
        return;
    style.isResolving = true;
    ParagraphProperties paragraph = m_defaultParagraph;
    CharacterProperties character = m_defaultCharacter;
    if (style.base < m_styles.size() && style.base != istd && depth < kMaximumDepth
        && m_styles[style.base].kind == Kind::Paragraph) {
        resolve(style.base, depth + 1);
        if (m_styles[style.base].isResolved) {
            paragraph = m_styles[style.base].paragraph;
            character = m_styles[style.base].character;
        }
    }
    CharacterProperties base = character;
    forEachSprm(style.paragraphGrpprl, m_version, [&](const Sprm& sprm) { paragraph.apply(sprm); });
    forEachSprm(style.characterGrpprl, m_version, [&](const Sprm& sprm) { character.apply(sprm, base); });
    // The built-in Heading 1...9 styles are the outline's levels unless they say otherwise.
    if (paragraph.outlineLevel < 0 && style.sti >= 1 && style.sti <= 9)
        paragraph.outlineLevel = std::int16_t(style.sti - 1);
    paragraph.istd = istd;
    style.paragraph = std::move(paragraph);
    style.character = std::move(character);
    style.isResolving = false;
    style.isResolved = true;
}

const ParagraphProperties& StyleSheet::paragraphProperties(std::uint16_t istd)
{
    if (istd >= m_styles.size() || m_styles[istd].kind != Kind::Paragraph)
        istd = 0;
    if (istd >= m_styles.size())
        return m_defaultParagraph;
    resolve(istd, 0);
    return m_styles[istd].isResolved ? m_styles[istd].paragraph : m_defaultParagraph;
}

const CharacterProperties& StyleSheet::characterProperties(std::uint16_t istd)
{
    if (istd >= m_styles.size() || m_styles[istd].kind != Kind::Paragraph)
        istd = 0;
    if (istd >= m_styles.size())
        return m_defaultCharacter;
    resolve(istd, 0);
    return m_styles[istd].isResolved ? m_styles[istd].character : m_defaultCharacter;
}

CharacterProperties StyleSheet::withCharacterStyle(std::uint16_t istd, const CharacterProperties& paragraphStyle) const
{
    // The chain from the style to its root, applied root first.
    std::vector<std::uint16_t> chain;
    for (std::uint16_t at = istd; at < m_styles.size() && m_styles[at].kind == Kind::Character && chain.size() < std::size_t(kMaximumDepth);
         at = m_styles[at].base) {
        if (std::find(chain.begin(), chain.end(), at) != chain.end())
            break;
        chain.push_back(at);
    }
    CharacterProperties result = paragraphStyle;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        forEachSprm(m_styles[*it].characterGrpprl, m_version, [&](const Sprm& sprm) { result.apply(sprm, paragraphStyle); });
    result.istd = istd;
    return result;
}

const std::string& StyleSheet::name(std::uint16_t istd) const
{
    static const std::string none;
    return istd < m_styles.size() ? m_styles[istd].name : none;
}

std::optional<std::uint16_t> StyleSheet::builtInIdentifier(std::uint16_t istd) const
{
    if (istd >= m_styles.size() || m_styles[istd].kind == Kind::None)
        return std::nullopt;
    return m_styles[istd].sti;
}

std::uint16_t StyleSheet::istdForBuiltIn(std::uint16_t sti) const
{
    for (std::size_t i = 0; i < m_styles.size(); ++i) {
        if (m_styles[i].kind != Kind::None && m_styles[i].sti == sti)
            return std::uint16_t(i);
    }
    return kNoStyle;
}

} // namespace importer::doc
