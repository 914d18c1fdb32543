#pragma once

#include "import/html/StyleSheet.h"

#include <libxml/tree.h>

#include <vector>

namespace importer::html {

// The HTML attributes that browsers map to CSS (align, bgcolor, width, <font>'s face, size and color, a
// table's border and cellpadding on its cells, list types, dir, hidden), as declarations that every author
// rule overrides.
std::vector<CssDeclaration> presentationalHints(const xmlNode* element);

} // namespace importer::html
