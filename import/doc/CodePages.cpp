#include "import/doc/CodePages.h"

#include "import/common/Encoding.h"


namespace importer::doc {

int codePageForLanguage(std::uint16_t lid)
{
    switch (lid) {
    case 0x0C1A: // Serbian in Cyrillic script; the Latin one shares Croatian's page
    case 0x201A:
        return 1251;
    case 0x0804: // Chinese (PRC, Singapore): simplified
    case 0x1004:
        return 936;
    default:
        break;
    }
    switch (lid & 0x3FF) {
    case 0x19: // Russian
    case 0x22: // Ukrainian
    case 0x23: // Belarusian
    case 0x02: // Bulgarian
    case 0x2F: // Macedonian
    case 0x3F: // Kazakh
    case 0x40: // Kyrgyz
    case 0x50: // Mongolian
        return 1251;
    case 0x05: // Czech
    case 0x15: // Polish
    case 0x0E: // Hungarian
    case 0x1A: // Croatian
    case 0x18: // Romanian
    case 0x1B: // Slovak
    case 0x24: // Slovenian
    case 0x1C: // Albanian
        return 1250;
    case 0x08:
        return 1253;
    case 0x1F: // Turkish
    case 0x2C: // Azeri
        return 1254;
    case 0x0D:
        return 1255;
    case 0x01: // Arabic
    case 0x29: // Farsi
    case 0x20: // Urdu
        return 1256;
    case 0x25: // Estonian
    case 0x26: // Latvian
    case 0x27: // Lithuanian
        return 1257;
    case 0x2A:
        return 1258;
    case 0x1E:
        return 874;
    case 0x11:
        return 932;
    case 0x12:
        return 949;
    case 0x04: // Chinese (Taiwan, Hong Kong): traditional
        return 950;
    default:
        return 1252;
    }
}

char16_t compressedCharacter(std::uint8_t byte)
{
    static constexpr char16_t kHigh[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152,
        0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122,
        0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : char16_t(byte);
}

std::array<char16_t, 256> singleByteTable(int codePage)
{
    std::array<char16_t, 256> table {};
    for (int byte = 0; byte < 256; ++byte) {
        if (byte < 0x80) {
            table[std::size_t(byte)] = char16_t(byte);
            continue;
        }
        std::uint8_t one = std::uint8_t(byte);
        std::string utf8 = encoding::decode(std::span<const std::uint8_t>(&one, 1), codePage);
        // One character in UTF-8: decode its code point (all Windows single-byte pages stay in the BMP).
        char32_t c = 0xFFFD;
        auto u = reinterpret_cast<const unsigned char*>(utf8.data());
        if (utf8.size() == 1)
            c = u[0];
        else if (utf8.size() == 2)
            c = char32_t(u[0] & 0x1F) << 6 | (u[1] & 0x3F);
        else if (utf8.size() == 3)
            c = char32_t(u[0] & 0x0F) << 12 | char32_t(u[1] & 0x3F) << 6 | (u[2] & 0x3F);
        table[std::size_t(byte)] = char16_t(c);
    }
    return table;
}

} // namespace importer::doc
