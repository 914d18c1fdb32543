#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

// The one reader and writer of UTF-8. Its rule for bad bytes: every byte that does not begin a well-formed
// sequence (a stray continuation byte, an overlong form, an encoded surrogate, a value past U+10FFFF, a
// sequence cut short) stands for U+FFFD on its own, and reading goes on at the next byte, so that the text
// after it keeps its characters.
namespace kit {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The byte count (1 to 4) of the well-formed sequence at text[at], or 0 when the bytes there do not start one.
std::size_t utf8SequenceLength(std::string_view text, std::size_t at);

// The character at text[at]; at moves past it (one byte, for a bad byte read as U+FFFD). at < text.size().
char32_t decodeUtf8(std::string_view text, std::size_t& at);

// Appends c as UTF-8; a surrogate or a value past U+10FFFF is written as U+FFFD.
void appendUtf8(std::string& out, char32_t c);
std::string encodeUtf8(char32_t c);

// UTF-16 code units (no byte-order mark) to UTF-8; an unpaired surrogate becomes U+FFFD, an odd trailing byte
// is dropped.
std::string utf16ToUtf8(std::span<const std::uint8_t> bytes, bool bigEndian);

bool isValidUtf8(std::string_view text);
bool isValidUtf8(std::span<const std::uint8_t> bytes);
// Well-formed sequences as they are; each bad byte as U+FFFD.
std::string sanitizeUtf8(std::string_view text);
std::string sanitizeUtf8(std::span<const std::uint8_t> bytes);

} // namespace kit
