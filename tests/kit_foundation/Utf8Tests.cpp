#include "kit/foundation/Utf8.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using namespace kit;

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text)
{
    return { reinterpret_cast<const std::uint8_t*>(text.data()), text.size() };
}

std::vector<char32_t> decodedAll(std::string_view text)
{
    std::vector<char32_t> out;
    for (std::size_t i = 0; i < text.size();)
        out.push_back(decodeUtf8(text, i));
    return out;
}

} // namespace

TEST(Utf8, ConvertsUtf16)
{
    const testsupport::Case<std::tuple<std::string, bool>, std::string> cases[] = {
        { { std::string("H\0i\0", 4), false }, "Hi", "little endian" },
        { { std::string("\0H\0i", 4), true }, "Hi", "big endian" },
        { { std::string("\x3D\xD8\x00\xDE", 4), false }, "😀", "a surrogate pair" },
        { { std::string("\x3D\xD8" "A\0", 4), false }, "\xEF\xBF\xBD" "A", "a high surrogate without its low half" },
        { { std::string("\x00\xDE", 2), false }, "\xEF\xBF\xBD", "a lone low surrogate" },
        { { std::string("A\0B", 3), false }, "A", "an odd trailing byte" },
    };
    for (const auto& c : cases) {
        const auto& [bytes, bigEndian] = c.input;
        SCOPED_TRACE(c.why);
        EXPECT_EQ(utf16ToUtf8(bytesOf(bytes), bigEndian), c.expected);
    }
}

TEST(Utf8, ValidatesAndSanitizes)
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

// The readers this one replaced disagreed on bad bytes: some took a stray byte as the Latin-1 character of
// its value, some glued a lead byte to whatever followed, one gave U+FFFD. The rule now: each byte that does
// not start a well-formed sequence is one U+FFFD, and the next byte is read afresh, so the letter after a
// cut-off sequence survives.
TEST(Utf8, DecodesEachBadByteAsOneReplacementCharacter)
{
    constexpr char32_t R = kReplacementCharacter;
    const testsupport::Case<std::string, std::vector<char32_t>> cases[] = {
        { "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", { U'a', 0xE9, 0x20AC, 0x1F600 }, "one to four bytes" },
        { "\xE9t\xE9", { R, U't', R }, "Latin-1 bytes are not their Latin-1 characters" },
        { "\xE2\x82" "A", { R, R, U'A' }, "a sequence cut short keeps the letter after it" },
        { "\x80\xBF", { R, R }, "stray continuation bytes" },
        { "\xC0\xAF", { R, R }, "an overlong form" },
        { "\xED\xA0\x80", { R, R, R }, "an encoded surrogate" },
        { "\xF4\x90\x80\x80", { R, R, R, R }, "past U+10FFFF" },
        { "\xF8\x88\x80\x80\x80", { R, R, R, R, R }, "five-byte forms do not exist" },
        { "\xF0\x9F\x98", { R, R, R }, "four bytes cut off at the end of the text" },
        { std::string("\0", 1), { 0 }, "NUL is a character like any other here" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(decodedAll(c.input), c.expected);
        std::string reencoded;
        for (char32_t character : c.expected)
            appendUtf8(reencoded, character);
        EXPECT_EQ(sanitizeUtf8(c.input), reencoded) << "sanitizing and decoding agree byte for byte";
    }
}

TEST(Utf8, EncodesOneCharacter)
{
    EXPECT_EQ(encodeUtf8(0x1F600), "\xF0\x9F\x98\x80");
    EXPECT_EQ(encodeUtf8(0xDFFF), "\xEF\xBF\xBD") << "a surrogate cannot be written";
}
