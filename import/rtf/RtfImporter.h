#pragma once

#include "import/Importer.h"

namespace importer {

bool looksLikeRtf(std::span<const std::uint8_t> bytes);
ImportResult importRtf(std::span<const std::uint8_t> bytes);

} // namespace importer
