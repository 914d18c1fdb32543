#pragma once

#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"

#include <cairo.h>
#include <cstdint>
#include <optional>
#include <pango/pango.h>
#include <string>
#include <vector>

namespace kit {

// One shape of a drawing, in the drawing's own coordinates (points, y down, from its top-left corner).
struct VectorShape {
    enum class Kind : std::uint8_t {
        Rectangle, // rect
        RoundedRectangle, // rect, corner radius
        Ellipse, // inscribed in rect
        Polyline, // points, open
        Polygon, // points, closed
        Sector, // of the ellipse inscribed in rect, from startAngle to endAngle (radians, clockwise from 3 o'clock)
        Text, // text in rect, on one line, aligned by alignment
    };
    enum class Alignment : std::uint8_t { Left, Center, Right };
    Kind kind = Kind::Rectangle;
    Rect rect;
    std::vector<Point> points;
    float radius = 0;
    float startAngle = 0, endAngle = 0;
    std::optional<Color> fill;
    std::optional<Color> stroke;
    float strokeWidth = 0.75f;
    std::string text; // UTF-8
    float fontSize = 8;
    bool bold = false;
    Alignment alignment = Alignment::Left;
};

// What a shape, a group of shapes or a chart looks like, drawn at any scale: its natural size and its
// shapes in painting order.
struct VectorDrawing {
    Size size;
    std::vector<VectorShape> shapes;
};

// Draws the drawing scaled to rect (user space of cr), clipped to it. Text goes through textFonts, or
// where that is null through the process's font map, which only the UI thread may use.
void drawVectorDrawing(cairo_t*, const VectorDrawing&, const Rect& rect, PangoFontMap* textFonts = nullptr);

// The drawing as PNG bytes at pixelsPerPoint (its size at most 4096 pixels a side), on white: for formats
// that carry pictures only. Empty when it cannot be made.
std::vector<std::uint8_t> vectorDrawingPng(const VectorDrawing&, Size size, float pixelsPerPoint);

} // namespace kit
