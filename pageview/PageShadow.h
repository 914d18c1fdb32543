#pragma once

#include "kit/geometry/Geometry.h"

#include <cairo.h>
#include <memory>

namespace pageview {

// The soft shadow under a page: a blurred copy of the page's rectangle, built once per page size in device
// pixels (that is, per zoom) and then stamped under every page drawn.
class PageShadow {
public:
    PageShadow();
    ~PageShadow();
    PageShadow(const PageShadow&) = delete;
    PageShadow& operator=(const PageShadow&) = delete;

    // Draws the shadow of pageRect (user space of context) offset by offset points and blurred with
    // blurRadius points (a Gaussian of sigma blurRadius / 2, as CSS does), in black at alpha. The inside of
    // pageRect is left alone: the caller paints the opaque page over it next.
    void draw(cairo_t* context, kit::Rect pageRect, kit::Size offset, float blurRadius, float alpha);

    // How far the shadow reaches beyond the page on each side, in points.
    static float extent(float blurRadius) { return blurRadius * 1.5f + 1; }

    // Building the mask is the expensive part; tests and benchmarks can see when it happens.
    int masksBuilt() const { return m_masksBuilt; }

private:
    struct Mask;
    std::unique_ptr<Mask> m_mask;
    int m_masksBuilt = 0;
};

} // namespace pageview
