#include "import/common/Encoding.h"

#include <glib.h>
#include <gtest/gtest.h>

using namespace importer::encoding;

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text)
{
    return { reinterpret_cast<const std::uint8_t*>(text.data()), text.size() };
}

// UTF-8 text in another encoding, through GLib's iconv (independent of the code under test).
std::string encode(const std::string& utf8, const char* encoding)
{
    gsize written = 0;
    gchar* converted = g_convert(utf8.data(), gssize(utf8.size()), encoding, "UTF-8", nullptr, &written, nullptr);
    EXPECT_TRUE(converted) << encoding;
    std::string result = converted ? std::string(converted, written) : std::string();
    g_free(converted);
    return result;
}

} // namespace

TEST(Encoding, DecodesCodePages)
{
    const struct {
        std::string bytes;
        int codePage;
        std::string expected;
        const char* why;
    } cases[] = {
        { "\x93quoted\x94 \x80", 1252, "“quoted” €", "Windows-1252 punctuation" },
        { "caf\xE9", 1252, "café", "Windows-1252 letters" },
        { "a\x81z", 1252, "a\xEF\xBF\xBDz", "a byte Windows-1252 leaves undefined" },
        { "\xCF\xF0\xE8\xE2\xE5\xF2", 1251, "Привет", "Windows-1251" },
        { "\x8F\xE0\xA8\xA2\xA5\xE2", 866, "Привет", "CP866" },
        { "\xF0\xD2\xC9\xD7\xC5\xD4", 20866, "Привет", "KOI8-R" },
        { "\x8E\x87", 10000, "éá", "Mac Roman" },
        { "\x82\xA0\x83\x65", 932, "あテ", "Shift-JIS with an ASCII-range trail byte" },
        { "\xC4\xE3\xBA\xC3", 936, "你好", "GBK" },
        { "\xA4\xA4\xA4\xE5", 950, "中文", "Big5" },
        { "\xC7\xD1\xB1\xDB", 949, "한글", "EUC-KR" },
        { "ok\x82", 932, "ok\xEF\xBF\xBD", "a lead byte cut off at the end" },
        { "\xE9", 424242, "é", "an unknown code page reads as Windows-1252" },
        { "\xB7\x61", kCodePageSymbol, "•α", "the Symbol font" },
        { "h\xC3\xA9", 65001, "hé", "UTF-8" },
        { "", 1251, "", "nothing" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(decode(c.bytes, c.codePage), c.expected);
    }
}

TEST(Encoding, MapsCharsetsLabelsAndCodePages)
{
    const struct {
        int charset;
        int codePage;
        const char* why;
    } charsets[] = {
        { 0, 1252, "ANSI" }, { 1, 0, "default: the document's code page" }, { 2, kCodePageSymbol, "symbol" },
        { 77, 10000, "Mac" }, { 128, 932, "Shift-JIS" }, { 129, 949, "Hangul" }, { 134, 936, "GB2312" },
        { 136, 950, "Big5" }, { 161, 1253, "Greek" }, { 162, 1254, "Turkish" }, { 177, 1255, "Hebrew" },
        { 178, 1256, "Arabic" }, { 186, 1257, "Baltic" }, { 204, 1251, "Russian" }, { 222, 874, "Thai" },
        { 238, 1250, "Eastern Europe" }, { 255, 850, "OEM" }, { 300, 0, "unknown" },
    };
    for (const auto& c : charsets) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(codePageForCharset(c.charset), c.codePage);
    }
    const struct {
        const char* label;
        int codePage;
    } labels[] = {
        { "UTF-8", 65001 }, { " Windows-1251 ", 1251 }, { "KOI8-R", 20866 }, { "shift_jis", 932 }, { "latin1", 1252 },
        { "ISO-8859-1", 1252 }, { "gb2312", 936 }, { "Big5", 950 }, { "euc-kr", 949 }, { "cp1250", 1250 },
        { "ibm866", 866 }, { "x-unknown", 0 }, { "cp99999", 0 }, { "", 0 },
    };
    for (const auto& c : labels) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(codePageForLabel(c.label), c.codePage);
    }
    EXPECT_STREQ(iconvNameForCodePage(20866), "KOI8-R");
    EXPECT_STREQ(iconvNameForCodePage(10000), "MACINTOSH");
    EXPECT_EQ(iconvNameForCodePage(4242), nullptr);
    EXPECT_TRUE(isLeadByte(932, 0x82));
    EXPECT_FALSE(isLeadByte(932, 0xA0)) << "half-width katakana are single bytes";
    EXPECT_FALSE(isLeadByte(1252, 0x82));
}

TEST(Encoding, ConvertsUtf16)
{
    const struct {
        std::string bytes;
        bool bigEndian;
        std::string expected;
        const char* why;
    } cases[] = {
        { std::string("H\0i\0", 4), false, "Hi", "little endian" },
        { std::string("\0H\0i", 4), true, "Hi", "big endian" },
        { std::string("\x3D\xD8\x00\xDE", 4), false, "😀", "a surrogate pair" },
        { std::string("\x3D\xD8" "A\0", 4), false, "\xEF\xBF\xBD" "A", "a high surrogate without its low half" },
        { std::string("\x00\xDE", 2), false, "\xEF\xBF\xBD", "a lone low surrogate" },
        { std::string("A\0B", 3), false, "A", "an odd trailing byte" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(utf16ToUtf8(bytesOf(c.bytes), c.bigEndian), c.expected);
    }
}

TEST(Encoding, ValidatesUtf8)
{
    const struct {
        std::string bytes;
        bool isValid;
        std::string sanitized;
        const char* why;
    } cases[] = {
        { "plain", true, "plain", "ASCII" },
        { "\xF0\x9F\x98\x80", true, "\xF0\x9F\x98\x80", "four bytes" },
        { "\xF4\x8F\xBF\xBF", true, "\xF4\x8F\xBF\xBF", "U+10FFFF, the last code point" },
        { "\xF4\x90\x80\x80", false, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "past U+10FFFF" },
        { "\xC0\x80", false, "\xEF\xBF\xBD\xEF\xBF\xBD", "overlong NUL" },
        { "\xED\xA0\x80", false, "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", "an encoded surrogate" },
        { "a\xE2\x82", false, "a\xEF\xBF\xBD\xEF\xBF\xBD", "cut off" },
        { "\xE9t\xE9", false, "\xEF\xBF\xBDt\xEF\xBF\xBD", "Latin-1 bytes" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(isValidUtf8(bytesOf(c.bytes)), c.isValid);
        EXPECT_EQ(sanitizeUtf8(bytesOf(c.bytes)), c.sanitized);
    }
    const struct {
        char32_t codePoint;
        std::string utf8;
    } boundaries[] = {
        { 0x7F, "\x7F" }, { 0x80, "\xC2\x80" }, { 0x7FF, "\xDF\xBF" }, { 0x800, "\xE0\xA0\x80" },
        { 0xFFFF, "\xEF\xBF\xBF" }, { 0x10000, "\xF0\x90\x80\x80" }, { 0x10FFFF, "\xF4\x8F\xBF\xBF" },
        { 0x110000, "\xEF\xBF\xBD" }, { 0xD800, "\xEF\xBF\xBD" },
    };
    for (const auto& c : boundaries) {
        std::string out;
        appendUtf8(out, c.codePoint);
        EXPECT_EQ(out, c.utf8) << std::hex << std::uint32_t(c.codePoint);
    }
}

TEST(Encoding, MapsSymbolFonts)
{
    auto symbol = [](const char* font, std::uint8_t byte) { return std::uint32_t(symbolFontCharacter(font, byte)); };
    EXPECT_EQ(symbol("Symbol", 0xB7), std::uint32_t(U'•'));
    EXPECT_EQ(symbol("Symbol", 0x61), std::uint32_t(U'α'));
    EXPECT_EQ(symbol("Symbol", 0x44), std::uint32_t(U'Δ'));
    EXPECT_EQ(symbol("Wingdings", 0xA7), std::uint32_t(U'▪'));
    EXPECT_EQ(symbol("Wingdings", 0xD8), std::uint32_t(U'➢'));
    EXPECT_EQ(symbol("Wingdings", 0x30), 0xF030u) << "unmapped glyphs keep the private-use alias";
}

TEST(Encoding, GuessesLegacyCodePages)
{
    const std::string russian = "Съешь же ещё этих мягких французских булок, да выпей чаю. Москва - столица России.";
    const std::string french = "Le cœur déçu mais l'âme plutôt naïve, Louÿs rêva de crapaüter en canoë au delà des îles.";
    const std::string german = "Falsches Üben von Xylophonmusik quält jeden größeren Zwerg. Straße, Bäume, Öl.";
    const struct {
        std::string bytes;
        int expected;
        const char* why;
    } cases[] = {
        { encode(russian, "CP1251"), 1251, "Russian in Windows-1251" },
        { encode(russian, "CP866"), 866, "Russian in CP866" },
        { encode(russian, "KOI8-R"), 20866, "Russian in KOI8-R" },
        { encode(french, "CP1252"), 1252, "French" },
        { encode(german, "CP1252"), 1252, "German" },
        { "plain ASCII only", 1252, "no high bytes at all" },
        { "one \xE9", 1252, "too little evidence" },
        { encode("Привет, как дела?", "CP1251"), 1251, "a short line is enough when it reads as Russian" },
        { encode("Привет, как дела?", "KOI8-R"), 20866, "the same line in KOI8-R" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(guessLegacyCodePage(bytesOf(c.bytes)), c.expected);
    }
}
