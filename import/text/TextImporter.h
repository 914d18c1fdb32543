#pragma once

#include "import/Importer.h"

namespace importer {

// Plain text: UTF-8, UTF-16 (byte-order mark or zero-byte pattern), else a legacy code page chosen by
// letter frequency. Bytes that are not text (NULs in the body) give no text.
ImportResult importText(std::span<const std::uint8_t> bytes);

} // namespace importer
