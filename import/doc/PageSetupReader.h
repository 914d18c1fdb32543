#pragma once

#include "import/doc/StoryReader.h"
#include "kit/text/PageSetup.h"

#include <map>
#include <memory>

namespace importer::doc {

// The document's page setup: one page section per section of the main text, starting at the byte offsets
// where the text storage received their first paragraphs (sectionStarts, by section index), with the headers
// and footers of the header document read by reader. Null when the document has no section table.
std::shared_ptr<const kit::PageSetup> readPageSetup(
    WordDocument&, StoryReader& reader, const std::map<int, std::size_t>& sectionStarts, std::size_t bodyLength);

} // namespace importer::doc
