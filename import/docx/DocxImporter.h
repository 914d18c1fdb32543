#pragma once

#include "import/Importer.h"

namespace importer {

// A ZIP container: .docx and its variants, or OpenDocument text (handed to the .odt reader).
ImportResult importOfficeZip(std::span<const std::uint8_t> bytes);

} // namespace importer
