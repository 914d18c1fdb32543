#pragma once

#include "kit/text/Attributes.h"

#include <string>
#include <string_view>

namespace importer {

// What a field's code asks the pagination for: PAGE, NUMPAGES and SECTIONPAGES (any case, with or without
// switches); None for every other code. Word's formats (.doc, .docx, RTF) share the codes.
kit::PageField pageFieldOfInstruction(std::string_view instruction);

// The link a HYPERLINK field's code makes (UTF-8 code, any case): its address, and a bookmark named by
// \l as the fragment ("#name" alone for a place inside the document); empty for every other code.
std::string hyperlinkOfInstruction(std::string_view instruction);

} // namespace importer
