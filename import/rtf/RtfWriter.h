#pragma once

#include "kit/text/TextStorage.h"

#include <string>

namespace importer::rtf {

// RTF of the range with everything the attribute model carries (tables, pictures, links, list labels),
// which importRtf reads back to the same text and attributes. kit reaches it as TextStorage::rtfFromRange
// once installRtfHooks has run.
std::string writeRtf(const kit::TextStorage& text, kit::Range range);

// The whole text with its page setup besides: each section's paper, margins and page numbering, and its
// headers and footers, for a text handed from one process to another whole.
std::string writeRtfWithPageSetup(const kit::TextStorage& text);

} // namespace importer::rtf
