#pragma once

#include <pugixml.hpp>

namespace importer::docx {

// The branch of an mc:AlternateContent a reader of this importer should read: the first mc:Choice whose
// required namespaces it understands, else mc:Fallback; an empty node when neither is there. Only one
// branch is ever read, so the text of a text box written both ways appears once.
pugi::xml_node chooseAlternative(pugi::xml_node alternateContent);

} // namespace importer::docx
