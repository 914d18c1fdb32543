#include "pageview/PageShadow.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace pageview {

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

// One box blur pass of radius r over a line, with a running sum; values beyond the ends count as 0.
void boxBlur(std::vector<float>& line, int r)
{
    int length = int(line.size());
    std::vector<float> source = line;
    float scale = 1.0f / float(2 * r + 1);
    float sum = 0;
    for (int i = -r; i <= r; ++i)
        sum += (i >= 0 && i < length) ? source[std::size_t(i)] : 0.0f;
    for (int i = 0; i < length; ++i) {
        line[std::size_t(i)] = sum * scale;
        int out = i - r, in = i + r + 1;
        if (out >= 0)
            sum -= source[std::size_t(out)];
        if (in < length)
            sum += source[std::size_t(in)];
    }
}

// The blurred edge profile across one side of the page: `length` ones with `padding` zeros either side,
// blurred, as bytes. A blurred rectangle is the product of its two profiles (the box passes run along
// rows and columns separately), so the mask costs two short lines instead of a page-sized blur.
std::vector<unsigned> blurredProfile(int length, int padding, double sigma)
{
    std::vector<float> line(std::size_t(length + 2 * padding), 0.0f);
    std::fill_n(line.begin() + padding, length, 1.0f);
    // Three box passes approximate a Gaussian; each box's width comes from the variance it must add.
    if (sigma > 0.5) {
        int r = std::max(1, int(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
        for (int pass = 0; pass < 3; ++pass)
            boxBlur(line, r);
    }
    std::vector<unsigned> bytes(line.size());
    for (std::size_t i = 0; i < line.size(); ++i)
        bytes[i] = unsigned(std::lround(std::clamp(line[i], 0.0f, 1.0f) * 255));
    return bytes;
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
        std::vector<unsigned> across = blurredProfile(width, mask->padding, sigma);
        std::vector<unsigned> down = blurredProfile(height, mask->padding, sigma);
        mask->surface = cairo_image_surface_create(CAIRO_FORMAT_A8, w, h);
        unsigned char* data = cairo_image_surface_get_data(mask->surface);
        int stride = cairo_image_surface_get_stride(mask->surface);
        for (int y = 0; y < h; ++y) {
            unsigned char* row = data + std::size_t(y) * stride;
            unsigned v = down[std::size_t(y)];
            for (int x = 0; x < w; ++x)
                row[x] = (unsigned char)((across[std::size_t(x)] * v + 127) / 255);
        }
        cairo_surface_mark_dirty(mask->surface);
        m_mask = std::move(mask);
        ++m_masksBuilt;
    }
    cairo_save(context);
    cairo_identity_matrix(context);
    cairo_set_source_rgba(context, 0, 0, 0, alpha);
    // The page is painted opaque over its own rectangle: compositing the mask there would be wasted work on
    // the largest part of it. A pixel inside the page's edge is kept, so the edge antialiases as before.
    double pageLeft = std::min(x0, x1), pageTop = std::min(y0, y1);
    if (width > 2 && height > 2) {
        cairo_rectangle(context, pageLeft - m_mask->padding + std::min(dx, 0.0), pageTop - m_mask->padding + std::min(dy, 0.0),
            width + 2 * m_mask->padding + std::fabs(dx), height + 2 * m_mask->padding + std::fabs(dy));
        cairo_rectangle(context, std::ceil(pageLeft) + 1, std::ceil(pageTop) + 1, width - 3, height - 3);
        cairo_set_fill_rule(context, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_clip(context);
    }
    double left = std::min(x0, x1) + dx - m_mask->padding;
    double top = std::min(y0, y1) + dy - m_mask->padding;
    cairo_mask_surface(context, m_mask->surface, std::round(left), std::round(top));
    cairo_restore(context);
}

} // namespace pageview
