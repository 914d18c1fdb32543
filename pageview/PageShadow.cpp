#include "pageview/PageShadow.h"

#include <algorithm>
#include <cmath>
#include <vector>

struct PageShadow::Mask {
    int pageWidth = 0; // device pixels
    int pageHeight = 0;
    double sigma = 0; // device pixels
    int padding = 0;
    cairo_surface_t* surface = nullptr; // A8, owned
    ~Mask() { cairo_surface_destroy(surface); }
};

PageShadow::PageShadow() = default;

PageShadow::~PageShadow() = default;

namespace {

// One box blur pass of radius r along rows (horizontal) or columns, in place, with a running sum.
void boxBlur(std::vector<float>& pixels, int width, int height, int r, bool horizontal)
{
    int length = horizontal ? width : height;
    int lines = horizontal ? height : width;
    std::vector<float> line(std::size_t(length), 0.0f);
    float scale = 1.0f / float(2 * r + 1);
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> float& { return horizontal ? pixels[std::size_t(l) * width + i] : pixels[std::size_t(i) * width + l]; };
        for (int i = 0; i < length; ++i)
            line[std::size_t(i)] = at(i);
        float sum = 0;
        for (int i = -r; i <= r; ++i)
            sum += (i >= 0 && i < length) ? line[std::size_t(i)] : 0.0f;
        for (int i = 0; i < length; ++i) {
            at(i) = sum * scale;
            int out = i - r, in = i + r + 1;
            if (out >= 0)
                sum -= line[std::size_t(out)];
            if (in < length)
                sum += line[std::size_t(in)];
        }
    }
}

} // namespace

void PageShadow::draw(cairo_t* context, kit::Rect pageRect, kit::Size offset, float blurRadius, float alpha)
{
    // Work in device pixels so the blur is as soft on screen at every zoom and resolution.
    double x0 = pageRect.minX(), y0 = pageRect.minY(), x1 = pageRect.maxX(), y1 = pageRect.maxY();
    cairo_user_to_device(context, &x0, &y0);
    cairo_user_to_device(context, &x1, &y1);
    double dx = offset.width, dy = offset.height;
    cairo_user_to_device_distance(context, &dx, &dy);
    double unitX = 1, unitY = 0;
    cairo_user_to_device_distance(context, &unitX, &unitY);
    double deviceScale = std::hypot(unitX, unitY);

    int width = int(std::lround(std::fabs(x1 - x0)));
    int height = int(std::lround(std::fabs(y1 - y0)));
    double sigma = blurRadius / 2.0 * deviceScale;
    if (width <= 0 || height <= 0)
        return;
    if (!m_mask || m_mask->pageWidth != width || m_mask->pageHeight != height || std::fabs(m_mask->sigma - sigma) > 1e-6) {
        auto mask = std::make_unique<Mask>();
        mask->pageWidth = width;
        mask->pageHeight = height;
        mask->sigma = sigma;
        mask->padding = int(std::ceil(sigma * 3)) + 1;
        int w = width + 2 * mask->padding, h = height + 2 * mask->padding;
        std::vector<float> pixels(std::size_t(w) * h, 0.0f);
        for (int y = mask->padding; y < mask->padding + height; ++y)
            std::fill_n(pixels.begin() + std::size_t(y) * w + mask->padding, width, 1.0f);
        // Three box passes approximate a Gaussian; each box's width comes from the variance it must add.
        if (sigma > 0.5) {
            int r = std::max(1, int(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
            for (int pass = 0; pass < 3; ++pass) {
                boxBlur(pixels, w, h, r, true);
                boxBlur(pixels, w, h, r, false);
            }
        }
        mask->surface = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
        unsigned char* data = cairo_image_surface_get_data(mask->surface);
        int stride = cairo_image_surface_get_stride(mask->surface);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x)
                data[std::size_t(y) * stride + x] = (unsigned char)std::lround(std::clamp(pixels[std::size_t(y) * w + x], 0.0f, 1.0f) * 255);
        }
        cairo_surface_mark_dirty(mask->surface);
        m_mask = std::move(mask);
        ++m_masksBuilt;
    }
    cairo_save(context);
    cairo_identity_matrix(context);
    cairo_set_source_rgba(context, 0, 0, 0, alpha);
    double left = std::min(x0, x1) + dx - m_mask->padding;
    double top = std::min(y0, y1) + dy - m_mask->padding;
    cairo_mask_surface(context, m_mask->surface, std::round(left), std::round(top));
    cairo_restore(context);
}
