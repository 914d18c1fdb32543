#pragma once

#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"

#include <cairo.h>
#include <string_view>

// Single-paragraph text for controls (labels, button titles), laid out with Pango at 72 dpi so that one
// unit is one point. The context must be in a flipped (y down) coordinate system.
namespace kit::text {

enum class Alignment { Left, Center, Right };

struct Style {
    float fontSize = 13; // points
    bool bold = false;
    Alignment alignment = Alignment::Left;
    Color color = Color::blackColor();
    bool wraps = true; // else one line, cut off at the rectangle's width
};

// The size the text takes when laid out at most maxWidth wide (maxWidth <= 0: no limit).
Size measure(std::string_view utf8, const Style& style, float maxWidth);
// Draws the text in rect, from its top; centred vertically when centerVertically is set.
void draw(cairo_t* context, std::string_view utf8, Rect rect, const Style& style, bool centerVertically = false);

} // namespace kit::text
