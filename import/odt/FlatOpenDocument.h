#pragma once

#include "import/Importer.h"

namespace importer {

// A flat OpenDocument text (.fodt): one XML file whose office:document root holds what a package spreads
// over its parts (font faces, styles, automatic and master styles, the body), pictures inline as
// office:binary-data. Told by the root element and its namespace, in UTF-8 or UTF-16; a flat document of
// another kind (spreadsheet, drawing) is not claimed.
bool looksLikeFlatOpenDocument(std::span<const std::uint8_t> bytes);

// Reads it with the OpenDocument text reader; the format is "fodt".
ImportResult importFlatOpenDocument(std::span<const std::uint8_t> bytes);

} // namespace importer
