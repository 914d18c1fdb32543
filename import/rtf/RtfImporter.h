#pragma once

#include "import/Importer.h"

namespace importer {

// True when the bytes start with "{\rtf" (after an optional UTF-8 byte-order mark and white space).
bool looksLikeRtf(std::span<const std::uint8_t> bytes);
// RTF to attributed text. Damaged files give what could be read; bytes that are not RTF give no text.
ImportResult importRtf(std::span<const std::uint8_t> bytes);

// Installs this reader and the writer beside it as kit's RTF hooks (TextStorage::fromRtf and
// rtfFromRange). Idempotent; importDocument calls it too.
void installRtfHooks();

} // namespace importer
