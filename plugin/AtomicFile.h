#pragma once

#include <cstdint>
#include <span>
#include <string>

// Writes bytes to path whole or not at all: a temporary file in the same folder, flushed to disk, renamed
// over path, then the folder flushed. On failure nothing is left under path or as a temporary file. The file
// gets mode less the umask (0600: private to the user).
bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, unsigned mode = 0666);
