#pragma once

#include "import/odt/OdtStyles.h"
#include "kit/text/Attributes.h"

#include <pugixml.hpp>

#include <optional>

namespace importer::odt {

// Where a frame or shape floats: from its anchor type (text:anchor-type), its offsets (svg:x, svg:y) and its
// graphic style's position, wrap and margins. None for a frame anchored as a character, which stands in its
// line.
std::optional<kit::FloatPlacement> framePlacement(pugi::xml_node frame, const GraphicProperties&);

} // namespace importer::odt
