#pragma once

#include "kit/text/TextStorage.h"

#include <string>

namespace importer {

// The text as plain UTF-8: paragraphs on lines, the cells of a table row separated by tabs, line breaks
// as new lines, page breaks as form feeds, attachments as U+FFFC.
std::string plainText(const kit::TextStorage& storage);

// One line per attribute run: the run's byte range, its attributes that differ from the defaults, and its
// text (escaped). For golden files, which are reviewed like code.
std::string dumpRuns(const kit::TextStorage& storage);

} // namespace importer
