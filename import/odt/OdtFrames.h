#pragma once

#include "import/odt/OdtStyles.h"
#include "kit/text/Attributes.h"
#include "kit/text/VectorDrawing.h"

#include <pugixml.hpp>

#include <array>
#include <optional>

namespace importer::odt {

// Where a frame or shape floats: from its anchor type (text:anchor-type), its offsets (svg:x, svg:y) and its
// graphic style's position, wrap and margins. None for a frame anchored as a character, which stands in its
// line.
std::optional<kit::FloatPlacement> framePlacement(pugi::xml_node frame, const GraphicProperties&);

// What a text frame draws behind its text: its background and its border, as its graphic style gives them.
kit::VectorDrawing frameBoxDrawing(const GraphicProperties&, kit::Size);
// The room between a text frame's edges and its text: its padding and its border's width (top, left,
// bottom, right).
std::array<float, 4> frameInsets(const GraphicProperties&);

} // namespace importer::odt
