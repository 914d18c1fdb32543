#pragma once

#include "kit/text/Attributes.h"
#include "kit/text/VectorDrawing.h"

#include <cairo.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace testsupport {

// An attachment drawn as one box of a solid colour, so that tests of layout and drawing need no image
// decoder; it floats where placement says, or stands in its line without one.
inline std::shared_ptr<const kit::Attachment> filledBox(
    kit::Size size, kit::Color color, std::optional<kit::FloatPlacement> placement = std::nullopt)
{
    auto drawing = std::make_shared<kit::VectorDrawing>();
    drawing->size = size;
    kit::VectorShape shape;
    shape.rect = { {}, size };
    shape.fill = color;
    drawing->shapes.push_back(shape);
    auto attachment = std::make_shared<kit::Attachment>();
    attachment->size = size;
    attachment->drawing = drawing;
    attachment->placement = placement;
    return attachment;
}

// What draw paints on a white image of size points at one pixel a point: 0xRRGGBB, row-major.
inline std::vector<std::uint32_t> drawnPixels(kit::Size size, const std::function<void(cairo_t*)>& draw)
{
    int width = int(size.width), height = int(size.height);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgb(context, 1, 1, 1);
    cairo_paint(context);
    draw(context);
    cairo_destroy(context);
    cairo_surface_flush(surface);
    std::vector<std::uint32_t> pixels;
    pixels.reserve(std::size_t(width) * std::size_t(height));
    const unsigned char* data = cairo_image_surface_get_data(surface);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<const std::uint32_t*>(data + y * cairo_image_surface_get_stride(surface));
        for (int x = 0; x < width; ++x)
            pixels.push_back(row[x] & 0xffffff);
    }
    cairo_surface_destroy(surface);
    return pixels;
}

} // namespace testsupport
