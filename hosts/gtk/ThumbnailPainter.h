#pragma once

#include "kit/text/AttachmentImages.h"

#include <cairo.h>

namespace pageview {
class PageSnapshot;
}

namespace hosts {

// Draws thumbnails of pages taken from the page view (pageview::PageSnapshot), on whichever one thread owns
// it: the pages are drawn from their display lists, and the painter decodes its own pictures and lays their
// text out with fonts of its own, so that it shares nothing with the UI thread.
class ThumbnailPainter {
public:
    ThumbnailPainter() = default;
    ThumbnailPainter(const ThumbnailPainter&) = delete;
    ThumbnailPainter& operator=(const ThumbnailPainter&) = delete;

    // The page's paper and what it shows scaled to width device pixels (its height follows the paper's
    // proportions), on opaque white, as premultiplied native-endian ARGB32 (Cairo's image format); null
    // when the size is unusable.
    cairo_surface_t* paint(const pageview::PageSnapshot&, int width);

private:
    kit::AttachmentImages m_images { kit::AttachmentImages::TextFonts::Own };
};

} // namespace hosts
