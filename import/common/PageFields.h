#pragma once

#include "kit/text/Attributes.h"

#include <string_view>

namespace importer {

// What a field's code asks the pagination for: PAGE, NUMPAGES and SECTIONPAGES (any case, with or without
// switches); None for every other code. Word's formats (.doc, .docx, RTF) share the codes.
kit::PageField pageFieldOfInstruction(std::string_view instruction);

} // namespace importer
