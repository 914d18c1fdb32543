#include "import/doc/Word2Document.h"

#include "import/common/ByteReader.h"
#include "import/common/Encoding.h"
#include "import/doc/CodePages.h"

#include <algorithm>
#include <map>

namespace importer {

namespace {

// Offsets in the file information block of Word for Windows 1.x and 2.0.
constexpr std::size_t kFlags = 0x0A; // fEncrypted is 0x0100
constexpr std::size_t kLanguage = 0x06;
constexpr std::size_t kTextStart = 0x18; // fcMin
constexpr std::size_t kTextLength = 0x34; // ccpText
constexpr std::size_t kCharacterBinTable = 0xA0; // fcPlcfbteChpx (4 bytes), lcbPlcfbteChpx (2 bytes)
constexpr std::size_t kPageSize = 512;

// Formatting of a stretch of the file's bytes: the leading bytes of a CHP, those that differ from the default.
struct CharacterFormat {
    bool bold = false, italic = false, strike = false, smallCaps = false, caps = false, hidden = false;
    float size = 10; // points
};

CharacterFormat characterFormat(ByteReader page, std::size_t offset)
{
    CharacterFormat format;
    std::uint8_t count = page.readU8(offset).value_or(0);
    auto byte = [&](std::size_t i) { return i < count ? page.readU8(offset + 1 + i).value_or(0) : std::uint8_t(0); };
    std::uint8_t flags = byte(0);
    format.bold = flags & 0x01;
    format.italic = flags & 0x02;
    format.strike = flags & 0x04;
    format.smallCaps = flags & 0x20;
    format.caps = flags & 0x40;
    format.hidden = flags & 0x80;
    if (count > 6 && byte(6) >= 2)
        format.size = byte(6) / 2.0f;
    return format;
}

// The file offsets at which the character formatting changes, from the formatting pages the bin table names.
std::map<std::uint32_t, CharacterFormat> characterRuns(const ByteReader& file)
{
    std::map<std::uint32_t, CharacterFormat> runs;
    auto tableOffset = file.readU32LE(kCharacterBinTable);
    auto tableLength = file.readU16LE(kCharacterBinTable + 4);
    if (!tableOffset || !tableLength || *tableLength < 10)
        return runs;
    std::size_t entries = (*tableLength - 4) / 6;
    for (std::size_t i = 0; i < entries && i < 10000; ++i) {
        auto pageNumber = file.readU16LE(*tableOffset + 4 * (entries + 1) + 2 * i);
        auto page = pageNumber ? file.slice(std::size_t(*pageNumber) * kPageSize, kPageSize) : std::nullopt;
        if (!page)
            continue;
        std::size_t count = page->readU8(kPageSize - 1).value_or(0);
        if (4 * (count + 1) + count > kPageSize - 1)
            continue;
        for (std::size_t run = 0; run < count; ++run) {
            auto start = page->readU32LE(4 * run);
            std::uint8_t wordOffset = page->readU8(4 * (count + 1) + run).value_or(0);
            if (start)
                runs[*start] = wordOffset ? characterFormat(*page, std::size_t(wordOffset) * 2) : CharacterFormat {};
        }
    }
    return runs;
}

} // namespace

bool looksLikeWord2(std::span<const std::uint8_t> bytes)
{
    ByteReader reader(bytes);
    auto magic = reader.readU16LE(0);
    return magic && (*magic == 0xA59B || *magic == 0xA59C || *magic == 0xA5DB) && bytes.size() >= 0x100;
}

ImportResult importWord2(std::span<const std::uint8_t> bytes)
{
    ByteReader file(bytes);
    if (file.readU16LE(kFlags).value_or(0) & 0x0100)
        return { nullptr, "doc", ImportError::Encrypted };
    auto start = file.readU32LE(kTextStart);
    auto length = file.readU32LE(kTextLength);
    if (!start || !length || *start >= bytes.size())
        return { nullptr, "doc", ImportError::Damaged };
    // A length past the end of the file is cut to what is there.
    std::size_t textLength = std::min<std::size_t>(*length, bytes.size() - *start);
    auto table = doc::singleByteTable(doc::codePageForLanguage(file.readU16LE(kLanguage).value_or(0x0409)));
    std::map<std::uint32_t, CharacterFormat> runs = characterRuns(file);

    auto out = std::make_shared<kit::TextStorage>();
    CharacterFormat format;
    auto formatAt = [&](std::uint32_t offset) {
        auto next = runs.upper_bound(offset);
        return next == runs.begin() ? CharacterFormat {} : std::prev(next)->second;
    };
    std::string pending;
    kit::Attributes attributes;
    auto flush = [&] {
        if (!pending.empty())
            out->append(pending, attributes);
        pending.clear();
    };
    int fieldDepth = 0; // inside a field's instructions, which are not shown
    for (std::size_t i = 0; i < textLength; ++i) {
        std::uint32_t offset = std::uint32_t(*start + i);
        if (i == 0 || runs.count(offset)) {
            CharacterFormat now = formatAt(offset);
            flush();
            format = now;
            attributes = {};
            attributes.bold = format.bold;
            attributes.italic = format.italic;
            attributes.strikethrough = format.strike ? kit::LineStyle::Single : kit::LineStyle::None;
            attributes.smallCaps = format.smallCaps;
            attributes.allCaps = format.caps;
            attributes.fontSize = format.size;
        }
        std::uint8_t byte = bytes[*start + i];
        if (byte == 0x13) {
            ++fieldDepth;
            continue;
        }
        if (byte == 0x14 || byte == 0x15) {
            fieldDepth = std::max(0, fieldDepth - 1);
            continue;
        }
        if (fieldDepth > 0 || (format.hidden && byte != 0x0D))
            continue;
        switch (byte) {
        case 0x0D:
        case 0x07: // a cell's end: its own paragraph, as table structure is not read
            pending += '\n';
            break;
        case 0x0C:
            pending += kit::kPageBreak;
            break;
        case 0x0B:
            pending += kit::kLineSeparator;
            break;
        case 0x09:
            pending += '\t';
            break;
        case 0x1E:
            pending += '-';
            break;
        default:
            if (byte >= 0x20)
                encoding::appendUtf8(pending, char32_t(table[byte] == 0xFFFD ? u'?' : table[byte]));
            // Line feeds after paragraph ends, pictures, note marks and the other control bytes show nothing.
        }
    }
    flush();
    if (out->length() && out->string().back() != '\n')
        out->append("\n", attributes);
    return { out, "doc", {} };
}

} // namespace importer
