#include "import/common/Encoding.h"
#include "import_text/EncodedText.h"
#include "support/Cases.h"

#include <glib.h>
#include <gtest/gtest.h>
#include <thread>
#include <tuple>
#include <vector>

using namespace importer::encoding;

using testtext::bytesOf;
using testtext::encode;

TEST(Encoding, DecodesCodePages)
{
    const testsupport::Case<std::tuple<std::string, int>, std::string> cases[] = {
        { { "\x93quoted\x94 \x80", 1252 }, "“quoted” €", "Windows-1252 punctuation" },
        { { "caf\xE9", 1252 }, "café", "Windows-1252 letters" },
        { { "a\x81z", 1252 }, "a\xEF\xBF\xBDz", "a byte Windows-1252 leaves undefined" },
        { { "\xCF\xF0\xE8\xE2\xE5\xF2", 1251 }, "Привет", "Windows-1251" },
        { { "\x8F\xE0\xA8\xA2\xA5\xE2", 866 }, "Привет", "CP866" },
        { { "\xF0\xD2\xC9\xD7\xC5\xD4", 20866 }, "Привет", "KOI8-R" },
        { { "\x8E\x87", 10000 }, "éá", "Mac Roman" },
        { { "\x82\xA0\x83\x65", 932 }, "あテ", "Shift-JIS with an ASCII-range trail byte" },
        { { "\xC4\xE3\xBA\xC3", 936 }, "你好", "GBK" },
        { { "\xA4\xA4\xA4\xE5", 950 }, "中文", "Big5" },
        { { "\xC7\xD1\xB1\xDB", 949 }, "한글", "EUC-KR" },
        { { "ok\x82", 932 }, "ok\xEF\xBF\xBD", "a lead byte cut off at the end" },
        { { "\xE9", 424242 }, "é", "an unknown code page reads as Windows-1252" },
        { { "\xB7\x61", kCodePageSymbol }, "•α", "the Symbol font" },
        { { "h\xC3\xA9", 65001 }, "hé", "UTF-8" },
        { { "", 1251 }, "", "nothing" },
    };
    for (const auto& c : cases) {
        const auto& [bytes, codePage] = c.input;
        SCOPED_TRACE(c.why);
        EXPECT_EQ(decode(bytes, codePage), c.expected);
    }
}

// Documents import on several threads at once, each decoding through the code-page caches.
TEST(Encoding, DecodesOnSeveralThreadsAtOnce)
{
    const struct {
        std::string bytes;
        int codePage;
        std::string expected;
    } cases[] = {
        { "\xCF\xF0\xE8\xE2\xE5\xF2", 1251, "Привет" },
        { "\xA3\xF3" "d\x9F", 1250, "Łódź" },
        { "\x93\x8C\x8B\x9E", 932, "東京" },
        { "\xC4\xE3\xBA\xC3", 936, "你好" },
    };
    std::vector<std::thread> threads;
    std::vector<int> wrong(std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        threads.emplace_back([&, i] {
            for (std::size_t round = 0; round < 200; ++round) {
                const auto& c = cases[(i + round) % std::size(cases)];
                wrong[i] += decode(c.bytes, c.codePage) != c.expected;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(wrong[i], 0) << "thread " << i;
}

TEST(Encoding, MapsCharsetsLabelsAndCodePages)
{
    const testsupport::Case<int, int> charsets[] = {
        { 0, 1252, "ANSI" }, { 1, 0, "default: the document's code page" }, { 2, kCodePageSymbol, "symbol" },
        { 77, 10000, "Mac" }, { 128, 932, "Shift-JIS" }, { 129, 949, "Hangul" }, { 134, 936, "GB2312" },
        { 136, 950, "Big5" }, { 161, 1253, "Greek" }, { 162, 1254, "Turkish" }, { 177, 1255, "Hebrew" },
        { 178, 1256, "Arabic" }, { 186, 1257, "Baltic" }, { 204, 1251, "Russian" }, { 222, 874, "Thai" },
        { 238, 1250, "Eastern Europe" }, { 255, 850, "OEM" }, { 300, 0, "unknown" },
    };
    testsupport::expectEach(charsets, [&](const auto& input) { return codePageForCharset(input); });
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
    const testsupport::Case<std::string, int> cases[] = {
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
    testsupport::expectEach(cases, [&](const auto& input) { return guessLegacyCodePage(bytesOf(input)); });
}
