#pragma once

#include "import/Importer.h"

namespace importer {

// After a byte-order mark, white space, an XML prolog and comments: a doctype, <html or a common leading tag.
bool looksLikeHtml(std::span<const std::uint8_t> bytes);
// Styled text from HTML as a browser shows it: the encoding from the bytes and <meta>, libxml2's HTML parser,
// the CSS cascade for the properties the text model carries, lists with labels, tables with the automatic
// column widths, images from data: URLs and placeholders for the rest. It never fetches anything.
ImportResult importHtml(std::span<const std::uint8_t> bytes);

} // namespace importer
