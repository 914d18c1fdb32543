#include "hosts/gtk/ThumbnailPainter.h"

#include "pageview/PageSnapshot.h"

#include <algorithm>
#include <cmath>

namespace hosts {

cairo_surface_t* ThumbnailPainter::paint(const pageview::PageSnapshot& page, int width)
{
    kit::Rect paper = page.pageRect();
    if (width <= 0 || width > 4096 || !(paper.width() > 0) || !(paper.height() > 0))
        return nullptr;
    double scale = double(width) / paper.width();
    int height = std::clamp(int(std::lround(paper.height() * scale)), 1, 4 * 4096);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, -paper.x(), -paper.y());
    page.draw(cr, paper, m_images);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

} // namespace hosts
