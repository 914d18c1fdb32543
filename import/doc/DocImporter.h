#pragma once

#include "import/Importer.h"

namespace importer {

// The bytes start with the OLE2 compound file signature.
bool looksLikeOle(std::span<const std::uint8_t> bytes);

// An OLE2 compound file: a Word binary document, an encrypted .docx (EncryptedPackage), or not a known format.
ImportResult importOle(std::span<const std::uint8_t> bytes);

} // namespace importer
