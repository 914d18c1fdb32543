#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Text decoding shared by the importers: legacy code pages through iconv, UTF-16 and UTF-8 checks.
//
// Code pages are named by their Windows numbers everywhere (1252, 1251, 932, 10000 for Mac Roman, 20866 for
// KOI8-R...), since that is what RTF (\ansicpg, \cpg), .doc (the FIB's code page) and fonts' charsets give us.
// Every decoder returns valid UTF-8: bytes a code page does not define become U+FFFD, never an error, because
// a document with one bad byte is still worth showing.
namespace importer::encoding {

inline constexpr int kCodePageWindowsLatin1 = 1252;
inline constexpr int kCodePageWindowsCyrillic = 1251;
inline constexpr int kCodePageDosCyrillic = 866;
inline constexpr int kCodePageKoi8R = 20866;
inline constexpr int kCodePageMacRoman = 10000;
inline constexpr int kCodePageShiftJis = 932;
inline constexpr int kCodePageGbk = 936;
inline constexpr int kCodePageEucKr = 949;
inline constexpr int kCodePageBig5 = 950;
inline constexpr int kCodePageUtf16LE = 1200;
inline constexpr int kCodePageUtf16BE = 1201;
inline constexpr int kCodePageUtf8 = 65001;
// Windows' pseudo code page of symbol fonts (Symbol, Wingdings): bytes name glyphs, not characters.
inline constexpr int kCodePageSymbol = 42;

// The iconv name of a Windows code page number, or nullptr when iconv cannot decode it.
const char* iconvNameForCodePage(int codePage);

// The code page of an RTF or Windows font charset (\fcharsetN, LOGFONT lfCharSet): 0 → 1252, 204 → 1251,
// 128 → 932, 2 → kCodePageSymbol... 0 means "the document's default" (charset 1, DEFAULT_CHARSET) and
// unknown charsets.
int codePageForCharset(int charset);

// The code page of a charset label as HTML and MIME write it ("windows-1251", "koi8-r", "shift_jis",
// "utf-8", "latin1", "gb2312"...), case-insensitive; 0 when unknown.
int codePageForLabel(std::string_view label);

// True for code pages where a lead byte starts a two-byte character (932, 936, 949, 950, 1361).
bool isDoubleByteCodePage(int codePage);
// True when byte starts a two-byte character in that code page (always false for single-byte pages).
bool isLeadByte(int codePage, std::uint8_t byte);

// Bytes in a code page to UTF-8. An unknown code page decodes as Windows-1252; kCodePageSymbol maps the
// Symbol font's glyphs to their Unicode characters.
std::string decode(std::span<const std::uint8_t> bytes, int codePage);
std::string decode(std::string_view bytes, int codePage);
// The same with an iconv encoding name; nullopt when iconv does not know the name.
std::optional<std::string> decodeWithIconv(std::span<const std::uint8_t> bytes, const char* iconvName);

// One byte of a symbol font to Unicode: the Symbol font's Greek letters and mathematical signs, the common
// Wingdings bullets; other bytes map to U+F000 + byte (the private-use alias Windows gives them).
char32_t symbolFontCharacter(std::string_view fontName, std::uint8_t byte);

// UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD, an odd trailing byte is dropped.
std::string utf16ToUtf8(std::span<const std::uint8_t> bytes, bool bigEndian);

bool isValidUtf8(std::span<const std::uint8_t> bytes);
// Valid UTF-8 as is; invalid sequences (overlong, surrogates, truncated) replaced by U+FFFD.
std::string sanitizeUtf8(std::span<const std::uint8_t> bytes);

// Text from a document's markup (.docx w:t, OpenDocument text nodes) as the text model takes it: valid UTF-8
// (invalid sequences become U+FFFD), without control characters other than the tab (C0, DEL and C1: an ESC
// would reach a terminal, a form feed inside a cell would break its row), and without U+FFFC, which stands
// for an attachment (a literal one has none and becomes U+FFFD). A line end becomes a space: page and line
// breaks come from the markup. RTF text drops its line ends instead: its line breaks are control words, and a
// raw line end in RTF is no part of the text.
enum class LineEnds { BecomeSpaces, AreDropped };
std::string cleanMarkupText(std::string_view utf8, LineEnds lineEnds = LineEnds::BecomeSpaces);

// Appends a code point as UTF-8; surrogates and values past U+10FFFF become U+FFFD.
void appendUtf8(std::string& out, char32_t codePoint);

// Chooses among Windows-1252, Windows-1251, CP866 and KOI8-R by how plausible each decoding's letters are
// (Russian letter frequencies, words that do not mix scripts, lower-case words). Windows-1252 when the bytes
// are ASCII or the evidence is thin.
int guessLegacyCodePage(std::span<const std::uint8_t> bytes);

} // namespace importer::encoding
