#include "import/common/Encoding.h"

#include "kit/foundation/Ascii.h"
#include "kit/foundation/Utf8.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>

namespace importer::encoding {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct CodePageName {
    int codePage;
    const char* iconvName;
};

// Windows code page numbers and the glibc iconv names that decode them. Shift-JIS, GBK, UHC and Big5 are
// Windows' own supersets (CP932, CP936, CP949, CP950), which is what documents written on Windows contain.
constexpr CodePageName kCodePages[] = {
    { 437, "CP437" }, { 708, "ISO-8859-6" }, { 737, "CP737" }, { 775, "CP775" }, { 850, "CP850" },
    { 852, "CP852" }, { 855, "CP855" }, { 857, "CP857" }, { 858, "CP858" }, { 860, "CP860" }, { 861, "CP861" },
    { 862, "CP862" }, { 863, "CP863" }, { 864, "CP864" }, { 865, "CP865" }, { 866, "CP866" }, { 869, "CP869" },
    { 874, "CP874" }, { 932, "CP932" }, { 936, "CP936" }, { 949, "CP949" }, { 950, "CP950" },
    { 1200, "UTF-16LE" }, { 1201, "UTF-16BE" }, { 1250, "CP1250" }, { 1251, "CP1251" }, { 1252, "CP1252" },
    { 1253, "CP1253" }, { 1254, "CP1254" }, { 1255, "CP1255" }, { 1256, "CP1256" }, { 1257, "CP1257" },
    { 1258, "CP1258" }, { 1361, "JOHAB" }, { 10000, "MACINTOSH" }, { 10001, "SHIFT_JIS" }, { 10004, "MAC-ARABIC" },
    { 10006, "MAC-GREEK" }, { 10007, "MAC-CYRILLIC" }, { 10029, "MAC-CENTRALEUROPE" }, { 10079, "MAC-IS" },
    { 10081, "MAC-TURKISH" }, { 20127, "ASCII" }, { 20866, "KOI8-R" }, { 20932, "EUC-JP" }, { 20936, "GB2312" },
    { 21866, "KOI8-U" }, { 28591, "ISO-8859-1" }, { 28592, "ISO-8859-2" }, { 28593, "ISO-8859-3" },
    { 28594, "ISO-8859-4" }, { 28595, "ISO-8859-5" }, { 28596, "ISO-8859-6" }, { 28597, "ISO-8859-7" },
    { 28598, "ISO-8859-8" }, { 28599, "ISO-8859-9" }, { 28603, "ISO-8859-13" }, { 28605, "ISO-8859-15" },
    { 50220, "ISO-2022-JP" }, { 50221, "ISO-2022-JP" }, { 50222, "ISO-2022-JP" }, { 50225, "ISO-2022-KR" },
    { 51932, "EUC-JP" }, { 51936, "GB2312" }, { 51949, "EUC-KR" }, { 52936, "HZ" }, { 54936, "GB18030" },
    { 65000, "UTF-7" }, { 65001, "UTF-8" },
};

struct CharsetCodePage {
    int charset;
    int codePage;
};

// Font charsets (RTF \fcharset, Windows LOGFONT) and the code page their bytes are in.
constexpr CharsetCodePage kCharsets[] = {
    { 0, 1252 }, { 2, kCodePageSymbol }, { 77, 10000 }, { 78, 10001 }, { 79, 949 }, { 80, 936 }, { 81, 950 },
    { 82, 1361 }, { 83, 10005 }, { 84, 10004 }, { 85, 10006 }, { 86, 10081 }, { 87, 10021 }, { 88, 10029 },
    { 89, 10007 }, { 128, 932 }, { 129, 949 }, { 130, 1361 }, { 134, 936 }, { 136, 950 }, { 161, 1253 },
    { 162, 1254 }, { 163, 1258 }, { 177, 1255 }, { 178, 1256 }, { 179, 1256 }, { 180, 1256 }, { 181, 1255 },
    { 186, 1257 }, { 204, 1251 }, { 222, 874 }, { 238, 1250 }, { 254, 437 }, { 255, 850 },
};

struct LabelCodePage {
    const char* label;
    int codePage;
};

// Labels as web pages and MIME headers spell them, after lower-casing; the WHATWG encoding standard maps
// latin1 and iso-8859-1 to windows-1252, because that is what such pages really contain.
constexpr LabelCodePage kLabels[] = {
    { "utf-8", 65001 }, { "utf8", 65001 }, { "unicode-1-1-utf-8", 65001 }, { "utf-16", 1200 },
    { "utf-16le", 1200 }, { "utf-16be", 1201 }, { "us-ascii", 1252 }, { "ascii", 1252 },
    { "iso-8859-1", 1252 }, { "iso8859-1", 1252 }, { "latin1", 1252 }, { "l1", 1252 }, { "windows-1252", 1252 },
    { "cp1252", 1252 }, { "x-cp1252", 1252 }, { "iso-8859-2", 28592 }, { "latin2", 28592 },
    { "iso-8859-5", 28595 }, { "iso-8859-7", 28597 }, { "iso-8859-8", 28598 }, { "iso-8859-8-i", 28598 },
    { "iso-8859-9", 1254 }, { "latin5", 1254 }, { "iso-8859-13", 28603 }, { "iso-8859-15", 28605 },
    { "latin9", 28605 }, { "windows-1250", 1250 }, { "cp1250", 1250 }, { "windows-1251", 1251 },
    { "cp1251", 1251 }, { "x-cp1251", 1251 }, { "windows-1253", 1253 }, { "windows-1254", 1254 },
    { "windows-1255", 1255 }, { "windows-1256", 1256 }, { "windows-1257", 1257 }, { "windows-1258", 1258 },
    { "windows-874", 874 }, { "tis-620", 874 }, { "koi8-r", 20866 }, { "koi8r", 20866 }, { "koi8", 20866 },
    { "koi8-u", 21866 }, { "ibm866", 866 }, { "cp866", 866 }, { "866", 866 }, { "csibm866", 866 },
    { "macintosh", 10000 }, { "mac", 10000 }, { "x-mac-roman", 10000 }, { "x-mac-cyrillic", 10007 },
    { "shift_jis", 932 }, { "shift-jis", 932 }, { "sjis", 932 }, { "ms_kanji", 932 }, { "windows-31j", 932 },
    { "x-sjis", 932 }, { "cp932", 932 }, { "euc-jp", 51932 }, { "iso-2022-jp", 50220 }, { "gbk", 936 },
    { "gb2312", 936 }, { "gb_2312-80", 936 }, { "x-gbk", 936 }, { "cp936", 936 }, { "chinese", 936 },
    { "gb18030", 54936 }, { "big5", 950 }, { "big5-hkscs", 950 }, { "cn-big5", 950 }, { "x-x-big5", 950 },
    { "cp950", 950 }, { "euc-kr", 949 }, { "ks_c_5601-1987", 949 }, { "korean", 949 }, { "cp949", 949 },
    { "windows-949", 949 },
};

struct IconvCloser {
    void operator()(void* handle) const { iconv_close(static_cast<iconv_t>(handle)); }
};
using IconvPtr = std::unique_ptr<void, IconvCloser>;

IconvPtr openToUtf8(const char* from)
{
    iconv_t handle = iconv_open("UTF-8", from);
    if (handle == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    return IconvPtr(handle);
}

// Converts with iconv, replacing each byte it rejects by U+FFFD and going on after it. A truncated final
// sequence also becomes U+FFFD.
std::string convertWithIconv(void* handle, std::span<const std::uint8_t> bytes)
{
    iconv_t cd = static_cast<iconv_t>(handle);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.reserve(bytes.size() * 2);
    char buffer[4096];
    char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
    std::size_t inLeft = bytes.size();
    while (inLeft > 0) {
        char* outPointer = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t result = iconv(cd, &in, &inLeft, &outPointer, &outLeft);
        out.append(buffer, std::size_t(outPointer - buffer));
        if (result != std::size_t(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // EILSEQ or EINVAL: skip one byte, reset the shift state, mark the loss.
        appendUtf8(out, kReplacement);
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    char* outPointer = buffer;
    std::size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &outPointer, &outLeft);
    out.append(buffer, std::size_t(outPointer - buffer));
    return out;
}

// A single-byte code page as a table of 256 code points, built once through iconv. Decoding byte by byte
// through a table keeps the RTF reader's \'hh escapes cheap.
using ByteTable = std::array<char32_t, 256>;

const ByteTable* singleByteTable(int codePage)
{
    // A cache per thread, since imports run on several threads at once: a handful of code pages, 1 KB each.
    thread_local std::map<int, std::unique_ptr<ByteTable>> tables;
    auto found = tables.find(codePage);
    if (found != tables.end())
        return found->second.get();
    const char* name = iconvNameForCodePage(codePage);
    auto handle = name ? openToUtf8(name) : nullptr;
    if (!handle) {
        tables.emplace(codePage, nullptr);
        return nullptr;
    }
    auto table = std::make_unique<ByteTable>();
    for (int byte = 0; byte < 256; ++byte) {
        std::uint8_t one = std::uint8_t(byte);
        std::string utf8 = convertWithIconv(handle.get(), { &one, 1 });
        // A multi-character result (never seen for these pages) keeps its first character.
        std::size_t first = 0;
        (*table)[byte] = utf8.empty() ? kReplacement : kit::decodeUtf8(utf8, first);
    }
    // CP1252 leaves five bytes undefined; Windows itself passes them through as C1 controls, which nobody
    // can read, so they stay U+FFFD.
    const ByteTable* result = table.get();
    tables.emplace(codePage, std::move(table));
    return result;
}

bool isSingleByteCodePage(int codePage)
{
    if (isDoubleByteCodePage(codePage))
        return false;
    switch (codePage) {
    case 1200:
    case 1201:
    case 65000:
    case 65001:
    case 20932:
    case 20936:
    case 50220:
    case 50221:
    case 50222:
    case 50225:
    case 51932:
    case 51936:
    case 51949:
    case 52936:
    case 54936:
    case 10001:
        return false;
    default:
        return true;
    }
}

void* multiByteDecoder(int codePage)
{
    // iconv keeps its shift state in the handle, so each thread converts through handles of its own.
    thread_local std::map<int, IconvPtr> decoders;
    auto found = decoders.find(codePage);
    if (found != decoders.end())
        return found->second.get();
    const char* name = iconvNameForCodePage(codePage);
    IconvPtr handle = name ? openToUtf8(name) : nullptr;
    void* result = handle.get();
    decoders.emplace(codePage, std::move(handle));
    return result;
}

constexpr char32_t kSymbolHigh[] = {
    // 0xA0 to 0xFF of the Symbol font.
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663, 0x2666, 0x2665, 0x2660, 0x2194, 0x2190,
    0x2191, 0x2192, 0x2193, 0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022, 0x00F7, 0x2260,
    0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5, 0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205,
    0x2229, 0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209, 0x2220, 0x2207, 0x00AE, 0x00A9,
    0x2122, 0x220F, 0x221A, 0x22C5, 0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3, 0x25CA,
    0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C, 0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8,
    0x23A9, 0x23AA, 0xF8FF, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F, 0x23A0, 0x23A4, 0x23A5,
    0x23A6, 0x23AB, 0x23AC, 0x23AD, 0xF8FF,
};

// 0x20 to 0x7F of the Symbol font: ASCII punctuation and digits where they agree, Greek for the letters.
constexpr char32_t kSymbolLow[] = {
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B, 0x0028, 0x0029, 0x2217, 0x002B, 0x002C,
    0x2212, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039,
    0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6,
    0x0393, 0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F, 0x03A0, 0x0398, 0x03A1, 0x03A3,
    0x03A4, 0x03A5, 0x03C2, 0x03A9, 0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F, 0x203E,
    0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3, 0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC,
    0x03BD, 0x03BF, 0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9, 0x03BE, 0x03C8, 0x03B6,
    0x007B, 0x007C, 0x007D, 0x223C, 0xF07F,
};

struct SymbolGlyph {
    std::uint8_t byte;
    char32_t character;
};

// The Wingdings glyphs that documents use as list bullets and check marks.
constexpr SymbolGlyph kWingdings[] = {
    { 0x21, 0x270F }, { 0x22, 0x2702 }, { 0x28, 0x260E }, { 0x2A, 0x2709 }, { 0x3F, 0x270D }, { 0x41, 0x270C },
    { 0x43, 0x1F44D }, { 0x44, 0x1F44E }, { 0x45, 0x261C }, { 0x46, 0x261E }, { 0x4A, 0x263A }, { 0x4B, 0x1F610 },
    { 0x4C, 0x2639 }, { 0x4E, 0x2620 }, { 0x52, 0x263C }, { 0x54, 0x2744 }, { 0x58, 0x2720 }, { 0x59, 0x2721 },
    { 0x5B, 0x262F }, { 0x6C, 0x25CF }, { 0x6D, 0x274D }, { 0x6E, 0x25A0 }, { 0x6F, 0x25A1 }, { 0x70, 0x25FB },
    { 0x71, 0x2751 }, { 0x72, 0x2752 }, { 0x73, 0x2B27 }, { 0x74, 0x29EB }, { 0x75, 0x25C6 }, { 0x76, 0x2756 },
    { 0x77, 0x2B25 }, { 0x78, 0x2327 }, { 0x9F, 0x2022 }, { 0xA0, 0x25AB }, { 0xA1, 0x25CB }, { 0xA2, 0x2B55 },
    { 0xA7, 0x25AA }, { 0xA8, 0x25FB }, { 0xAA, 0x2726 }, { 0xAB, 0x2605 }, { 0xAC, 0x2736 }, { 0xAE, 0x2739 },
    { 0xD5, 0x232B }, { 0xD6, 0x2326 }, { 0xD8, 0x27A2 }, { 0xDF, 0x2190 }, { 0xE0, 0x2192 }, { 0xE1, 0x2191 },
    { 0xE2, 0x2193 }, { 0xE8, 0x2794 }, { 0xEF, 0x21E6 }, { 0xF0, 0x21E8 }, { 0xF1, 0x21E7 }, { 0xF2, 0x21E9 },
    { 0xFB, 0x2717 }, { 0xFC, 0x2713 }, { 0xFD, 0x2612 }, { 0xFE, 0x2611 },
};

} // namespace

const char* iconvNameForCodePage(int codePage)
{
    for (const auto& entry : kCodePages) {
        if (entry.codePage == codePage)
            return entry.iconvName;
    }
    return nullptr;
}

int codePageForCharset(int charset)
{
    for (const auto& entry : kCharsets) {
        if (entry.charset == charset)
            return entry.codePage;
    }
    return 0;
}

int codePageForLabel(std::string_view label)
{
    while (!label.empty() && std::isspace(static_cast<unsigned char>(label.front())))
        label.remove_prefix(1);
    while (!label.empty() && std::isspace(static_cast<unsigned char>(label.back())))
        label.remove_suffix(1);
    std::string lower = kit::asciiLower(label);
    for (const auto& entry : kLabels) {
        if (lower == entry.label)
            return entry.codePage;
    }
    // "cp1251", "windows-1251", "ibm866" with numbers we know but no label row.
    for (std::string_view prefix : { "windows-", "cp", "ibm", "x-cp" }) {
        if (lower.rfind(prefix, 0) == 0 && lower.size() > prefix.size()) {
            std::string digits = lower.substr(prefix.size());
            if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })
                && digits.size() <= 5) {
                int number = std::stoi(digits);
                if (iconvNameForCodePage(number))
                    return number;
            }
        }
    }
    return 0;
}

bool isDoubleByteCodePage(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 || codePage == 1361;
}

bool isLeadByte(int codePage, std::uint8_t byte)
{
    switch (codePage) {
    case 932:
        return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
        return byte >= 0x81 && byte <= 0xFE;
    case 1361:
        return (byte >= 0x84 && byte <= 0xD3) || (byte >= 0xD8 && byte <= 0xDE) || (byte >= 0xE0 && byte <= 0xF9);
    default:
        return false;
    }
}

char32_t symbolFontCharacter(std::string_view fontName, std::uint8_t byte)
{
    std::string name = kit::asciiLower(fontName);
    if (name.rfind("wingdings", 0) == 0 && name != "wingdings 2" && name != "wingdings 3") {
        for (const auto& glyph : kWingdings) {
            if (glyph.byte == byte)
                return glyph.character;
        }
        return 0xF000 + byte;
    }
    if (name == "symbol" || name.empty()) {
        if (byte >= 0x20 && byte < 0x80)
            return kSymbolLow[byte - 0x20];
        if (byte >= 0xA0)
            return kSymbolHigh[byte - 0xA0];
    }
    if (byte < 0x20)
        return byte;
    return 0xF000 + byte;
}

std::string decode(std::span<const std::uint8_t> bytes, int codePage)
{
    std::string out;
    if (codePage == kCodePageSymbol) {
        for (std::uint8_t byte : bytes)
            appendUtf8(out, symbolFontCharacter("Symbol", byte));
        return out;
    }
    if (codePage == kCodePageUtf8)
        return sanitizeUtf8(bytes);
    if (codePage == kCodePageUtf16LE || codePage == kCodePageUtf16BE)
        return utf16ToUtf8(bytes, codePage == kCodePageUtf16BE);
    if (!iconvNameForCodePage(codePage))
        codePage = kCodePageWindowsLatin1;
    if (isSingleByteCodePage(codePage)) {
        const ByteTable* table = singleByteTable(codePage);
        if (!table)
            table = singleByteTable(kCodePageWindowsLatin1);
        out.reserve(bytes.size());
        for (std::uint8_t byte : bytes) {
            if (byte < 0x80 && table && (*table)[byte] == byte)
                out += char(byte);
            else
                appendUtf8(out, table ? (*table)[byte] : char32_t(byte));
        }
        return out;
    }
    void* decoder = multiByteDecoder(codePage);
    if (!decoder)
        return decode(bytes, kCodePageWindowsLatin1);
    return convertWithIconv(decoder, bytes);
}

std::string decode(std::string_view bytes, int codePage)
{
    return decode(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), codePage);
}

std::optional<std::string> decodeWithIconv(std::span<const std::uint8_t> bytes, const char* iconvName)
{
    if (!iconvName)
        return std::nullopt;
    IconvPtr handle = openToUtf8(iconvName);
    if (!handle)
        return std::nullopt;
    return convertWithIconv(handle.get(), bytes);
}

// UTF-8 and UTF-16 themselves are read and written by the kit, with its one rule for bad bytes.
std::string utf16ToUtf8(std::span<const std::uint8_t> bytes, bool bigEndian)
{
    return kit::utf16ToUtf8(bytes, bigEndian);
}

bool isValidUtf8(std::span<const std::uint8_t> bytes)
{
    return kit::isValidUtf8(bytes);
}

std::string sanitizeUtf8(std::span<const std::uint8_t> bytes)
{
    return kit::sanitizeUtf8(bytes);
}

void appendUtf8(std::string& out, char32_t codePoint)
{
    kit::appendUtf8(out, codePoint);
}

std::string cleanMarkupText(std::string_view utf8, LineEnds lineEnds)
{
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        auto byte = std::uint8_t(utf8[i]);
        if (byte < 0x80) {
            if ((byte >= 0x20 && byte != 0x7F) || byte == '\t')
                out += char(byte);
            else if ((byte == '\n' || byte == '\r') && lineEnds == LineEnds::BecomeSpaces)
                out += ' '; // a line end inside markup text separates words; it never ends the paragraph
            ++i;
            continue;
        }
        std::size_t length = kit::utf8SequenceLength(utf8, i);
        if (!length) {
            appendUtf8(out, kReplacement);
            ++i;
            continue;
        }
        bool isC1 = length == 2 && byte == 0xC2 && std::uint8_t(utf8[i + 1]) < 0xA0;
        bool isObjectReplacement
            = length == 3 && byte == 0xEF && std::uint8_t(utf8[i + 1]) == 0xBF && std::uint8_t(utf8[i + 2]) == 0xBC;
        if (isObjectReplacement)
            appendUtf8(out, kReplacement);
        else if (!isC1)
            out.append(utf8.substr(i, length));
        i += length;
    }
    return out;
}

namespace {

// Relative frequency of Russian letters а..я in percent (ё last), from large text counts.
constexpr float kRussianFrequency[33] = {
    8.01f, 1.59f, 4.54f, 1.70f, 2.98f, 8.45f, 0.94f, 1.65f, 7.35f, 1.21f, 3.49f, 4.40f, 3.21f, 6.70f, 10.97f,
    2.81f, 4.73f, 5.47f, 6.26f, 2.62f, 0.26f, 0.97f, 0.48f, 1.44f, 0.73f, 0.36f, 0.04f, 1.90f, 1.74f, 0.32f,
    0.64f, 2.01f, 0.04f,
};

bool isCyrillic(char32_t c) { return c >= 0x0400 && c <= 0x04FF; }
bool isCyrillicUpper(char32_t c) { return (c >= 0x0410 && c <= 0x042F) || (c >= 0x0400 && c <= 0x040F); }
bool isLatinLetter(char32_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7);
}
bool isLetter(char32_t c) { return isLatinLetter(c) || isCyrillic(c); }
bool isLowerLetter(char32_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 0xDF && c <= 0xFF && c != 0xF7) || (c >= 0x0430 && c <= 0x045F);
}
bool isUpperLetter(char32_t c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || isCyrillicUpper(c);
}

// How plausible one non-ASCII character is in running text.
float characterScore(char32_t c)
{
    if (c >= 0x0430 && c <= 0x044F)
        return 1 + kRussianFrequency[c - 0x0430];
    if (c == 0x0451)
        return 1;
    if (c >= 0x0410 && c <= 0x042F)
        return 0.5f + kRussianFrequency[c - 0x0410] * 0.3f;
    if (isCyrillic(c))
        return 0.5f; // Ukrainian, Belarusian and Serbian letters
    switch (c) {
    case 0xE9: // é
        return 5;
    case 0xE8: case 0xE0: case 0xFC: case 0xF6: case 0xE4: case 0xF3: case 0xE1: case 0xED: case 0xF1:
    case 0xE7: case 0xFA: case 0xE2: case 0xEA: case 0xF4: case 0xEE: case 0xDF: case 0xE5: case 0xF8:
    case 0xE6: case 0xE3: case 0xF5: case 0xFB:
        return 3;
    case 0x2019: case 0x201C: case 0x201D: case 0x2018: case 0x2013: case 0x2014: case 0x2026: case 0xAB:
    case 0xBB: case 0x20AC: case 0xA0: case 0xB0: case 0xA9: case 0x2022: case 0x2116: case 0xA7: case 0xAE:
    case 0x2122: case 0xA3: case 0xBF: case 0xA1:
        return 1;
    default:
        break;
    }
    if (isLatinLetter(c))
        return c >= 0xC0 && c <= 0xDE ? 1 : 1.5f;
    if (c >= 0x2500 && c <= 0x259F)
        return -2; // box drawing and blocks: pictures drawn with characters are rarer than text
    if (c == kReplacement || c < 0x20 || (c >= 0x80 && c < 0xA0))
        return -6;
    return 0;
}

float plausibility(std::span<const std::uint8_t> bytes, const ByteTable& table)
{
    float score = 0;
    // State of the current word: which scripts it mixes and whether a capital follows a small letter.
    bool hasAsciiLetter = false;
    bool hasCyrillic = false;
    int nonAsciiInWord = 0;
    char32_t previous = 0;
    auto endWord = [&] {
        if (hasAsciiLetter && hasCyrillic)
            score -= 6.0f * float(nonAsciiInWord);
        hasAsciiLetter = hasCyrillic = false;
        nonAsciiInWord = 0;
    };
    for (std::uint8_t byte : bytes) {
        char32_t c = table[byte];
        if (!isLetter(c)) {
            endWord();
            if (byte >= 0x80)
                score += characterScore(c);
            previous = c;
            continue;
        }
        if (c < 0x80) {
            hasAsciiLetter = true;
        } else {
            ++nonAsciiInWord;
            score += characterScore(c);
            if (isCyrillic(c))
                hasCyrillic = true;
        }
        if (isUpperLetter(c) && isLowerLetter(previous) && c >= 0x80)
            score -= 3; // "пРИВЕТ": the case pattern of a mismatched Cyrillic code page
        previous = c;
    }
    endWord();
    return score;
}

} // namespace

int guessLegacyCodePage(std::span<const std::uint8_t> bytes)
{
    // A sample is enough: the scores settle within a few kilobytes of text.
    bytes = bytes.first(std::min<std::size_t>(bytes.size(), 256 * 1024));
    std::size_t high = std::count_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b >= 0x80; });
    if (high == 0)
        return kCodePageWindowsLatin1;
    const int candidates[] = { kCodePageWindowsLatin1, kCodePageWindowsCyrillic, kCodePageDosCyrillic, kCodePageKoi8R };
    int best = kCodePageWindowsLatin1;
    float bestScore = 0;
    float latinScore = 0;
    for (int codePage : candidates) {
        const ByteTable* table = singleByteTable(codePage);
        if (!table)
            continue;
        float score = plausibility(bytes, *table) / float(high);
        if (codePage == kCodePageWindowsLatin1) {
            latinScore = score;
            bestScore = score;
            continue;
        }
        if (score > bestScore) {
            best = codePage;
            bestScore = score;
        }
    }
    // Unsure: a Cyrillic reading has to be clearly better than the Western one.
    if (best != kCodePageWindowsLatin1 && bestScore < latinScore + 0.5f)
        return kCodePageWindowsLatin1;
    return best;
}

} // namespace importer::encoding
