#include "import/docx/DocxShape.h"

#include "import/package/OfficeUnits.h"
#include "kit/geometry/Hsl.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

namespace importer::docx {

namespace {

using kit::Color;

// The default Office theme's colour scheme.
std::optional<Color> schemeColor(std::string_view name)
{
    static const struct {
        const char* name;
        const char* value;
    } scheme[] = {
        { "dk1", "000000" }, { "tx1", "000000" }, { "lt1", "FFFFFF" }, { "bg1", "FFFFFF" },
        { "dk2", "44546A" }, { "tx2", "44546A" }, { "lt2", "E7E6E6" }, { "bg2", "E7E6E6" },
        { "accent1", "4472C4" }, { "accent2", "ED7D31" }, { "accent3", "A5A5A5" },
        { "accent4", "FFC000" }, { "accent5", "5B9BD5" }, { "accent6", "70AD47" },
        { "hlink", "0563C1" }, { "folHlink", "954F72" }, { "phClr", "4472C4" },
    };
    for (const auto& entry : scheme) {
        if (name == entry.name)
            return parseHexColor(entry.value);
    }
    return std::nullopt;
}

float fraction(pugi::xml_node modifier)
{
    auto value = parseNumber(modifier.attribute("val").value());
    return value ? float(std::clamp(*value / 100000.0, 0.0, 10.0)) : 1.0f;
}

// Luminance changes work in HSL: lumMod scales the lightness, lumOff adds to it.
Color withLuminance(Color color, float scale, float offset)
{
    auto c = color.usingCalibratedRGB().value_or(Color::blackColor()).rgba();
    kit::Hsl hsl = kit::hslOf(c[0], c[1], c[2]);
    hsl.lightness = std::clamp(hsl.lightness * scale + offset, 0.0f, 1.0f);
    return kit::colorFromHsl(hsl, c[3]);
}

std::optional<Color> modified(Color color, pugi::xml_node element)
{
    float lumMod = 1, lumOff = 0;
    bool luminance = false;
    for (auto modifier : element.children()) {
        std::string_view name = modifier.name();
        auto c = color.usingCalibratedRGB().value_or(Color::blackColor()).rgba();
        if (name == "a:shade") {
            float f = fraction(modifier);
            color = Color::calibratedRGB(c[0] * f, c[1] * f, c[2] * f, c[3]);
        } else if (name == "a:tint") {
            float f = fraction(modifier);
            color = Color::calibratedRGB(1 - (1 - c[0]) * f, 1 - (1 - c[1]) * f, 1 - (1 - c[2]) * f, c[3]);
        } else if (name == "a:alpha") {
            color = Color::calibratedRGB(c[0], c[1], c[2], std::clamp(fraction(modifier), 0.0f, 1.0f));
        } else if (name == "a:lumMod") {
            lumMod = fraction(modifier);
            luminance = true;
        } else if (name == "a:lumOff") {
            lumOff = fraction(modifier);
            luminance = true;
        }
    }
    return luminance ? withLuminance(color, lumMod, lumOff) : color;
}

// Whether the properties say "no fill" (or "no line") outright.
bool saysNone(pugi::xml_node properties) { return bool(properties.child("a:noFill")); }

} // namespace

std::optional<Color> drawingColor(pugi::xml_node node)
{
    for (auto child : node.children()) {
        std::string_view name = child.name();
        std::optional<Color> base;
        if (name == "a:srgbClr")
            base = parseHexColor(child.attribute("val").value());
        else if (name == "a:schemeClr")
            base = schemeColor(child.attribute("val").value());
        else if (name == "a:sysClr")
            base = parseHexColor(child.attribute("lastClr").value());
        else if (name == "a:prstClr")
            base = std::string_view(child.attribute("val").value()) == "white" ? Color::whiteColor() : Color::blackColor();
        else
            continue;
        if (!base)
            return std::nullopt;
        return modified(*base, child);
    }
    return std::nullopt;
}

std::optional<kit::VectorDrawing> readShapeDrawing(pugi::xml_node shape, kit::Size size)
{
    pugi::xml_node properties = shape.child("wps:spPr");
    std::string_view preset = properties.child("a:prstGeom").attribute("prst").value();
    using Kind = kit::VectorShape::Kind;
    kit::VectorShape drawn;
    bool isLine = preset == "line" || preset == "straightConnector1";
    if (preset == "rect" || preset == "flowChartProcess")
        drawn.kind = Kind::Rectangle;
    else if (preset == "roundRect" || preset == "flowChartAlternateProcess")
        drawn.kind = Kind::RoundedRectangle;
    else if (preset == "ellipse" || preset == "flowChartConnector")
        drawn.kind = Kind::Ellipse;
    else if (isLine)
        drawn.kind = Kind::Polyline;
    else
        return std::nullopt;
    if (!(size.width >= 0) || !(size.height >= 0) || size.width + size.height <= 0)
        return std::nullopt;

    // The style's references stand for the theme's fill and line when the properties give none.
    pugi::xml_node style = shape.child("wps:style");
    if (!isLine) {
        if (auto fill = properties.child("a:solidFill"))
            drawn.fill = drawingColor(fill);
        else if (!saysNone(properties) && style.child("a:fillRef").attribute("idx").as_int() > 0)
            drawn.fill = drawingColor(style.child("a:fillRef"));
    }
    pugi::xml_node outline = properties.child("a:ln");
    if (!saysNone(outline)) {
        if (auto fill = outline.child("a:solidFill"))
            drawn.stroke = drawingColor(fill);
        else if (style.child("a:lnRef").attribute("idx").as_int() > 0)
            drawn.stroke = drawingColor(style.child("a:lnRef"));
        auto width = parseNumber(outline.attribute("w").value());
        drawn.strokeWidth = width ? float(std::clamp(*width / 12700.0, 0.0, 100.0)) : 0.75f;
    }
    kit::VectorDrawing drawing;
    drawing.size = { std::max(size.width, 1.0f), std::max(size.height, 1.0f) };
    // A shape with nothing to draw it with still shows its outline; a text box shows its text alone.
    if (!drawn.fill && !drawn.stroke) {
        if (shape.child("wps:txbx"))
            return drawing;
        drawn.stroke = Color::blackColor();
    }

    // Inset by half the outline, so that it stays inside the shape's box.
    float half = drawn.stroke ? drawn.strokeWidth / 2 : 0;
    if (isLine) {
        pugi::xml_node transform = properties.child("a:xfrm");
        bool flipH = transform.attribute("flipH").as_bool(), flipV = transform.attribute("flipV").as_bool();
        float w = drawing.size.width, h = drawing.size.height;
        drawn.points = { { flipH ? w : 0, flipV ? h : 0 }, { flipH ? 0 : w, flipV ? 0 : h } };
        // A level or upright line runs through the middle of its thin box, not along its clipped edge.
        for (auto& point : drawn.points) {
            if (h < 2)
                point.y = h / 2;
            if (w < 2)
                point.x = w / 2;
        }
    } else {
        drawn.rect = { half, half, std::max(0.0f, size.width - 2 * half), std::max(0.0f, size.height - 2 * half) };
        drawn.radius = std::min(size.width, size.height) * 0.1667f; // the preset's default adjustment
    }
    drawing.shapes.push_back(std::move(drawn));
    return drawing;
}

} // namespace importer::docx
