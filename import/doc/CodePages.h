#pragma once

#include <array>
#include <cstdint>

namespace importer::doc {

// The Windows code page of a language identifier (LID): what Word 6 and 95 wrote 8-bit text in when the
// document's language was that one. 1252 for languages written in Latin-1 and for unknown ones.
int codePageForLanguage(std::uint16_t lid);

// The text of compressed pieces in Word 97 and later: Latin-1, except that 0x80-0x9F carry the Windows-1252
// punctuation (quotes, dashes, the euro sign...).
char16_t compressedCharacter(std::uint8_t byte);

// Each byte of a single-byte code page as a UTF-16 unit (U+FFFD where the page defines nothing).
std::array<char16_t, 256> singleByteTable(int codePage);

} // namespace importer::doc
