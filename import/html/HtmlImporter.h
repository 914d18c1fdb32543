#pragma once

#include "import/Importer.h"

namespace importer {

// After a byte-order mark, white space, an XML prolog and comments: a doctype, <html or a common leading tag.
bool looksLikeHtml(std::span<const std::uint8_t> bytes);
ImportResult importHtml(std::span<const std::uint8_t> bytes);

} // namespace importer
