#include "kit/text/VectorDrawing.h"

#include "kit/foundation/CRelease.h"
#include "kit/foundation/GRefPtr.h"
#include "kit/text/FontMap.h"

#include <algorithm>
#include <cmath>
#include <pango/pangocairo.h>

namespace kit {

namespace {

void setSource(cairo_t* cr, const Color& color)
{
    auto rgba = color.usingCalibratedRGB().value_or(Color::blackColor()).rgba();
    cairo_set_source_rgba(cr, rgba[0], rgba[1], rgba[2], rgba[3]);
}

void roundedRectangle(cairo_t* cr, const Rect& r, float radius)
{
    double k = std::clamp<double>(radius, 0, std::min(r.width(), r.height()) / 2);
    cairo_new_sub_path(cr);
    cairo_arc(cr, r.maxX() - k, r.minY() + k, k, -M_PI / 2, 0);
    cairo_arc(cr, r.maxX() - k, r.maxY() - k, k, 0, M_PI / 2);
    cairo_arc(cr, r.minX() + k, r.maxY() - k, k, M_PI / 2, M_PI);
    cairo_arc(cr, r.minX() + k, r.minY() + k, k, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

// An ellipse's outline (or a sector of it) as the path of a unit circle scaled into rect.
void ellipticPath(cairo_t* cr, const Rect& r, const VectorShape* sector)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    cairo_save(cr);
    cairo_translate(cr, r.midX(), r.midY());
    cairo_scale(cr, r.width() / 2, r.height() / 2);
    if (sector) {
        cairo_move_to(cr, 0, 0);
        cairo_arc(cr, 0, 0, 1, sector->startAngle, sector->endAngle);
        cairo_close_path(cr);
    } else {
        cairo_new_sub_path(cr);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_close_path(cr);
    }
    cairo_restore(cr);
}

void drawText(cairo_t* cr, const VectorShape& shape, PangoFontMap* textFonts)
{
    if (shape.text.empty() || !g_utf8_validate(shape.text.data(), gssize(shape.text.size()), nullptr))
        return;
    auto layout = adoptGRef(
        FontMap::createLayout(textFonts, "Liberation Sans", std::clamp(shape.fontSize, 1.0f, 200.0f), shape.bold));
    pango_layout_set_text(layout.get(), shape.text.data(), int(shape.text.size()));
    int width = 0, height = 0;
    pango_layout_get_size(layout.get(), &width, &height);
    double w = double(width) / PANGO_SCALE, h = double(height) / PANGO_SCALE;
    double x = shape.rect.x();
    if (shape.alignment == VectorShape::Alignment::Center)
        x = shape.rect.midX() - w / 2;
    else if (shape.alignment == VectorShape::Alignment::Right)
        x = shape.rect.maxX() - w;
    setSource(cr, shape.fill.value_or(Color::blackColor()));
    cairo_move_to(cr, x, shape.rect.midY() - h / 2);
    pango_cairo_show_layout(cr, layout.get());
}

} // namespace

void drawVectorDrawing(cairo_t* cr, const VectorDrawing& drawing, const Rect& rect, PangoFontMap* textFonts)
{
    if (rect.isEmpty() || drawing.size.width <= 0 || drawing.size.height <= 0)
        return;
    cairo_save(cr);
    cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
    cairo_clip(cr);
    cairo_translate(cr, rect.x(), rect.y());
    cairo_scale(cr, rect.width() / drawing.size.width, rect.height() / drawing.size.height);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_ROUND);
    for (const VectorShape& shape : drawing.shapes) {
        if (shape.kind == VectorShape::Kind::Text) {
            drawText(cr, shape, textFonts);
            continue;
        }
        cairo_new_path(cr);
        const Rect& r = shape.rect;
        switch (shape.kind) {
        case VectorShape::Kind::Rectangle:
            cairo_rectangle(cr, r.x(), r.y(), r.width(), r.height());
            break;
        case VectorShape::Kind::RoundedRectangle:
            roundedRectangle(cr, r, shape.radius);
            break;
        case VectorShape::Kind::Ellipse:
            ellipticPath(cr, r, nullptr);
            break;
        case VectorShape::Kind::Sector:
            ellipticPath(cr, r, &shape);
            break;
        case VectorShape::Kind::Polyline:
        case VectorShape::Kind::Polygon:
            for (std::size_t i = 0; i < shape.points.size(); ++i) {
                if (i == 0)
                    cairo_move_to(cr, shape.points[i].x, shape.points[i].y);
                else
                    cairo_line_to(cr, shape.points[i].x, shape.points[i].y);
            }
            if (shape.kind == VectorShape::Kind::Polygon && shape.points.size() > 2)
                cairo_close_path(cr);
            break;
        case VectorShape::Kind::Text:
            break;
        }
        bool open = shape.kind == VectorShape::Kind::Polyline;
        if (shape.fill && !open) {
            setSource(cr, *shape.fill);
            cairo_fill_preserve(cr);
        }
        if (shape.stroke && shape.strokeWidth > 0) {
            setSource(cr, *shape.stroke);
            cairo_set_line_width(cr, std::min(shape.strokeWidth, 100.0f));
            cairo_stroke_preserve(cr);
        }
        cairo_new_path(cr);
    }
    cairo_restore(cr);
}

std::vector<std::uint8_t> vectorDrawingPng(const VectorDrawing& drawing, Size size, float pixelsPerPoint)
{
    std::vector<std::uint8_t> bytes;
    if (!(size.width > 0) || !(size.height > 0) || !(pixelsPerPoint > 0))
        return bytes;
    float scale = std::min({ pixelsPerPoint, 4096 / size.width, 4096 / size.height });
    int width = std::max(1, int(std::lround(size.width * scale))), height = std::max(1, int(std::lround(size.height * scale)));
    CPtr<cairo_surface_t, cairo_surface_destroy> surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return bytes;
    {
        CPtr<cairo_t, cairo_destroy> cr(cairo_create(surface.get()));
        cairo_set_source_rgb(cr.get(), 1, 1, 1);
        cairo_paint(cr.get());
        drawVectorDrawing(cr.get(), drawing, { 0, 0, float(width), float(height) });
    }
    cairo_surface_flush(surface.get());
    auto append = [](void* closure, const unsigned char* data, unsigned int length) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
        out->insert(out->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    };
    if (cairo_surface_write_to_png_stream(surface.get(), append, &bytes) != CAIRO_STATUS_SUCCESS)
        bytes.clear();
    return bytes;
}

} // namespace kit
