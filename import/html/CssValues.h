#pragma once

#include "kit/geometry/Color.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reading CSS values and the HTML attributes that stand for them. Lengths come out in points (1/72 inch),
// with a CSS pixel worth 0.75 point, as browsers print at 96 pixels per inch.
namespace importer::html {

inline constexpr float kPointsPerPixel = 0.75f;
// The initial font size of browsers: 16 pixels.
inline constexpr float kMediumFontSize = 12;

// The space-separated parts of a value; quoted strings and parenthesised groups stay whole, and a comma
// is a part of its own.
std::vector<std::string_view> valueTokens(std::string_view value);

std::string asciiLower(std::string_view text);
std::string_view trimmed(std::string_view text);

// A CSS colour: names, #rgb, #rgba, #rrggbb, #rrggbbaa, rgb(), rgba(), hsl(), hsla(). With legacyAttribute,
// also the forms HTML attributes accept ("ff0000" without '#'). nullopt for "transparent" and garbage.
std::optional<kit::Color> parseColor(std::string_view value, bool legacyAttribute = false);

// A length in points: absolute units, px, em and ex against fontSize, rem against the initial font size and
// percentages of percentBase. A bare number counts as pixels only when unitlessPixels is set (attributes,
// and zero everywhere).
std::optional<float> parseLength(std::string_view value, float fontSize, float percentBase, bool unitlessPixels = false);

// A font-size value (lengths, percentages, keywords, larger/smaller) given the parent's size, in points.
std::optional<float> parseFontSize(std::string_view value, float parentSize);

// The size the size attribute of <font> gives: 1 to 7, or relative to 3 with a sign.
std::optional<float> htmlFontSize(std::string_view value);

// The family to show for a font-family list: the first family this machine renders faithfully (the Office
// families and their metric twins) or generic family, else the first family as written. Empty when the
// list names none.
std::string resolveFontFamily(std::string_view list);

} // namespace importer::html
