#pragma once

#include "import/Importer.h"

namespace importer {

// Word for Windows 1.x and 2.0: no compound file, the file information block at the start, its magic
// number (0xA59B, 0xA59C, 0xA5DB) in the first two bytes.
bool looksLikeWord2(std::span<const std::uint8_t> bytes);

// Their main text with its character formatting (bold, italic, strikethrough, capitals, size); paragraph
// and table formatting are not read. Fast-saved files with a piece table are read as their text runs lie.
ImportResult importWord2(std::span<const std::uint8_t> bytes);

} // namespace importer
