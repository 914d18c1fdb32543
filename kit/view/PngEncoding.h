#pragma once

#include <cairo.h>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

namespace kit {

// PNG of a Cairo image surface, encoded for speed: zlib's fastest level and one cheap filter, a few times
// faster than cairo_surface_write_to_png for a page of text at a few per cent more bytes. The pixels read
// back as Cairo writes them: RGB for RGB24 and for ARGB32 that is opaque throughout, else RGBA
// unpremultiplied. Other formats go through Cairo's own writer. Any thread.
std::optional<std::vector<std::uint8_t>> encodePng(cairo_surface_t*);
// The same written to path; false when the surface is not an image or the file cannot be written.
bool writePng(cairo_surface_t*, const std::filesystem::path&);

} // namespace kit
