#pragma once

#include "kit/geometry/Geometry.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The one reader of picture headers for every importer: which of the formats the drawing side decodes (PNG,
// JPEG, GIF) the bytes are, and the pixel size their header gives.
namespace importer {

// "image/png", "image/jpeg", "image/gif" from the leading bytes alone; empty for anything else.
std::string sniffImageType(std::span<const std::uint8_t> bytes);

// Pixels larger than this on a side are taken for a damaged header, not a picture.
inline constexpr std::uint32_t kMaximumImagePixels = 1000000;

// The pixel size in a PNG's IHDR chunk, a GIF's logical screen or a JPEG's first start-of-frame segment.
// nullopt for other formats, for a header cut short or damaged (a JPEG segment shorter than its own length
// field), and for a side of zero or past kMaximumImagePixels.
std::optional<kit::Size> imagePixelSize(std::span<const std::uint8_t> bytes);

} // namespace importer
