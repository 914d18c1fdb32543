#include "import/doc/FontTable.h"

#include "import/common/Encoding.h"

namespace importer::doc {

namespace {

constexpr std::size_t kMaximumFonts = 4096;
// In Word 97 the name follows the flags, weight, charset, alternative-name index, PANOSE (10 bytes) and the
// font signature (24 bytes); in Word 6 it follows the first four fields.
constexpr std::size_t kWord97NameOffset = 39;
constexpr std::size_t kWord6NameOffset = 5;

std::string readName(const ByteReader& entry, std::size_t offset, WordVersion version, int codePage)
{
    if (version == WordVersion::Word97) {
        std::vector<std::uint8_t> units;
        for (std::size_t at = offset; entry.contains(at, 2); at += 2) {
            if (*entry.readU16LE(at) == 0)
                break;
            units.push_back(*entry.readU8(at));
            units.push_back(*entry.readU8(at + 1));
        }
        return encoding::utf16ToUtf8(units, false);
    }
    std::vector<std::uint8_t> bytes;
    for (std::size_t at = offset; at < entry.size() && *entry.readU8(at); ++at)
        bytes.push_back(*entry.readU8(at));
    return encoding::decode(bytes, codePage);
}

} // namespace

FontTable FontTable::read(const ByteReader& sttbf, WordVersion version, int codePage)
{
    FontTable table;
    std::size_t at = 0, end = sttbf.size();
    if (version == WordVersion::Word97) {
        auto count = sttbf.readU16LE(0);
        if (!count)
            return table;
        at = 4; // the count and the (empty) extra-data size
        if (*count == 0xFFFF)
            at = 6; // an extended table: the real count follows the marker
    } else {
        // Word 6 starts with the table's total size in bytes.
        end = std::min<std::size_t>(end, sttbf.readU16LE(0).value_or(0));
        at = 2;
    }
    while (at < end && table.m_fonts.size() < kMaximumFonts) {
        std::size_t size = std::size_t(*sttbf.readU8(at)) + 1;
        ByteReader entry = sttbf.clippedSlice(at + 1, std::min(size - 1, end - at - 1));
        Font font;
        font.charset = entry.readU8(3).value_or(0);
        int fontCodePage = encoding::codePageForCharset(font.charset);
        font.name = readName(entry, version == WordVersion::Word97 ? kWord97NameOffset : kWord6NameOffset, version,
            fontCodePage && fontCodePage != encoding::kCodePageSymbol ? fontCodePage : codePage);
        table.m_fonts.push_back(std::move(font));
        at += size;
    }
    return table;
}

const std::string& FontTable::name(std::uint16_t ftc) const
{
    static const std::string fallback = "Times New Roman";
    if (ftc >= m_fonts.size() || m_fonts[ftc].name.empty())
        return fallback;
    return m_fonts[ftc].name;
}

std::uint8_t FontTable::charset(std::uint16_t ftc) const
{
    return ftc < m_fonts.size() ? m_fonts[ftc].charset : 0;
}

bool FontTable::isSymbolFont(std::uint16_t ftc) const
{
    return charset(ftc) == 2;
}

} // namespace importer::doc
