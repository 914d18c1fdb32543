#pragma once

#include "import/Importer.h"

namespace importer {

// An OLE2 compound file: a Word binary document, an encrypted .docx (EncryptedPackage), or not a known format.
ImportResult importOle(std::span<const std::uint8_t> bytes);

} // namespace importer
