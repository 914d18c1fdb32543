#pragma once

#include "kit/text/TextStorage.h"

#include <string>

namespace importer::rtf {

// RTF of the range with everything the attribute model carries (tables, pictures, links, list labels),
// which importRtf reads back to the same text and attributes. kit reaches it as TextStorage::rtfFromRange
// once installRtfHooks has run.
std::string writeRtf(const kit::TextStorage& text, kit::Range range);

} // namespace importer::rtf
