#pragma once

#include "kit/geometry/Color.h"

#include <optional>
#include <string_view>

// Units and values shared by the package formats: OpenDocument and VML lengths, hexadecimal colours.
namespace importer {

// A length with its unit ("12pt", "2.54cm", "1in", "10mm", "3pc", "96px"; a bare number is points) in points.
// Percentages and unknown units are nullopt.
std::optional<float> parseLength(std::string_view text);

// "45%" → 0.45; nullopt when the text is not a percentage.
std::optional<float> parsePercent(std::string_view text);

// "RRGGBB" or "#RRGGBB" (OpenDocument's "#rrggbb" too); nullopt for "auto", "transparent" and anything else.
std::optional<kit::Color> parseHexColor(std::string_view text);

// A whole number, or nullopt for empty text, trailing junk or overflow. Office files write some numbers with a
// fraction ("720.0") where an integer belongs; those round.
std::optional<long> parseInteger(std::string_view text);
std::optional<double> parseNumber(std::string_view text);

} // namespace importer
