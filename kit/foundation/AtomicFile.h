#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kit {

// Writes bytes to path whole or not at all: a temporary file in the same folder (so that the rename stays on
// one file system), flushed to disk, renamed over path, then the folder flushed so that the rename itself
// survives a crash. False means path still holds what it held: on failure nothing is left under path or as
// a temporary file, and once the rename is done the write has succeeded. The file gets mode less the umask.
bool writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode = 0666);
inline bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, unsigned mode = 0666)
{
    return writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), mode);
}

} // namespace kit
