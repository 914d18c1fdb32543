#pragma once

#include <cstdint>
#include <span>
#include <string>

// Writes bytes to path whole or not at all: a temporary file in the same folder, flushed to disk, renamed
// over path, then the folder flushed. On failure nothing is left under path or as a temporary file.
bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);
