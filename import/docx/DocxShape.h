#pragma once

#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"
#include "kit/text/VectorDrawing.h"

#include <pugixml.hpp>

#include <optional>

namespace importer::docx {

// A DrawingML colour: the first colour element (a:srgbClr, a:schemeClr, a:sysClr, a:prstClr) below node,
// with its shade, tint and luminance changes. Scheme colours take the default Office theme's values.
std::optional<kit::Color> drawingColor(pugi::xml_node node);

// A shape (wps:wsp) of a preset geometry Word draws plainly (rectangles, rounded rectangles, ellipses,
// lines) as a drawing of the given size, with its fill and outline from its properties or its style.
// None for geometries it does not draw, which hold a place instead. A text box's shape with neither fill
// nor outline is a drawing without shapes.
std::optional<kit::VectorDrawing> readShapeDrawing(pugi::xml_node shape, kit::Size size);

} // namespace importer::docx
