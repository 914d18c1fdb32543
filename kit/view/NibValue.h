#pragma once

#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"

#include <optional>
#include <string_view>

// Readers of the attribute values of nib files. Each returns nullopt for anything it cannot read whole.
namespace kit::nib {

std::optional<float> parseNumber(std::string_view text);
std::optional<int> parseInteger(std::string_view text);
// "yes", "no", "true", "false", "1", "0".
std::optional<bool> parseBool(std::string_view text);
// "x y width height", numbers separated by spaces or commas.
std::optional<Rect> parseRect(std::string_view text);
// "width height".
std::optional<Size> parseSize(std::string_view text);
// "r g b" or "r g b a" (calibrated RGB, components 0...1), "white w" or "white w a" (grey), "#RRGGBB" or
// "#RRGGBBAA".
std::optional<Color> parseColor(std::string_view text);
// Space-separated flags: "width", "height", "minX", "maxX", "minY", "maxY", or "none".
std::optional<unsigned> parseAutoresizing(std::string_view text);

} // namespace kit::nib
