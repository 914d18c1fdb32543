#pragma once

#include <cstdint>

namespace importer {

// Why an import gave no text, or only part of it (a cut-short file keeps what could be read).
enum class ImportError : std::uint8_t {
    None, // it gave all there is
    NotKnownFormat,
    Encrypted,
    Truncated,
    Damaged,
    TooLarge,
    Stopped, // its caller asked it to stop
};

// The one spelling of each error, as results and reports show it: "not a known format", "encrypted",
// "truncated", "damaged", "too large", "stopped"; empty for None.
const char* errorText(ImportError error);

} // namespace importer
