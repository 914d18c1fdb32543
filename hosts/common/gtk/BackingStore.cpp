#include "hosts/common/gtk/BackingStore.h"

#include "kit/view/Window.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace hosts {

namespace {

// Cairo's image surfaces hold at most this many pixels per side.
constexpr int kMaximumSurfaceSide = 32767;

PixelRect unite(PixelRect a, PixelRect b)
{
    if (a.isEmpty())
        return b;
    if (b.isEmpty())
        return a;
    int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    int x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
    return { x0, y0, x1 - x0, y1 - y0 };
}

} // namespace

BackingStore::~BackingStore()
{
    release();
}

void BackingStore::release()
{
    if (m_surface)
        cairo_surface_destroy(m_surface);
    m_surface = nullptr;
    m_staleTiles.clear();
}

bool BackingStore::configure(kit::Window& window, int width, int height, int scale)
{
    scale = std::max(scale, 1);
    if (m_surface && width == m_width && height == m_height && scale == m_scale)
        return true;
    release();
    m_width = width;
    m_height = height;
    m_scale = scale;
    if (width <= 0 || height <= 0 || width * scale > kMaximumSurfaceSide || height * scale > kMaximumSurfaceSide)
        return false;
    m_surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width * scale, height * scale);
    if (cairo_surface_status(m_surface) != CAIRO_STATUS_SUCCESS) {
        release();
        return false;
    }
    // User space in points: Window::displayRect draws one unit per point.
    cairo_surface_set_device_scale(m_surface, scale, scale);
    m_staleTiles.assign(std::size_t(tileColumns() * tileRows()), true);
    window.setNeedsDisplayInRect({ { 0, 0 }, window.contentSize() });
    return true;
}

PixelRect BackingStore::update(kit::Window& window)
{
    if (!m_surface || !window.needsDisplay())
        return {};
    PixelRect around;
    // Each piece on its own, so that the filter sees every pixel drawn once and nothing else.
    std::vector<kit::Rect> pieces = window.dirtyRects();
    for (const kit::Rect& dirty : pieces) {
        kit::Rect device = window.deviceRectFromBase(dirty); // points, y down
        // Widened to whole device pixels: a clip edge inside a pixel would blend the new drawing into the old.
        int x0 = std::clamp(int(std::floor(device.minX() * m_scale)), 0, pixelWidth());
        int y0 = std::clamp(int(std::floor(device.minY() * m_scale)), 0, pixelHeight());
        int x1 = std::clamp(int(std::ceil(device.maxX() * m_scale)), 0, pixelWidth());
        int y1 = std::clamp(int(std::ceil(device.maxY() * m_scale)), 0, pixelHeight());
        PixelRect drawn { x0, y0, x1 - x0, y1 - y0 };
        float contentHeight = window.contentSize().height;
        float left = float(x0) / m_scale, top = float(y0) / m_scale, right = float(x1) / m_scale, bottom = float(y1) / m_scale;
        kit::Rect base { left, contentHeight - bottom, right - left, bottom - top };
        // The union only guards against rounding in the flips: the window forgets damage only when the area
        // drawn covers all of it.
        base = kit::unionRect(base, dirty);
        cairo_t* context = cairo_create(m_surface);
        window.displayRect(base, context);
        cairo_destroy(context);
        cairo_surface_flush(m_surface);
        if (m_filter && !drawn.isEmpty()) {
            m_filter(m_surface, m_scale, drawn);
            cairo_surface_mark_dirty(m_surface);
        }
        markStale(drawn);
        around = unite(around, drawn);
        m_drawnPixels += static_cast<unsigned long long>(std::max(drawn.width, 0)) * static_cast<unsigned long long>(std::max(drawn.height, 0));
    }
    return around;
}

bool BackingStore::scroll(PixelRect area, int dx, int dy)
{
    if (!m_surface || area.isEmpty() || area.x < 0 || area.y < 0 || area.x + area.width > pixelWidth()
        || area.y + area.height > pixelHeight())
        return false;
    // Where the moved pixels land inside the area.
    int x0 = std::max(area.x, area.x + dx), x1 = std::min(area.x + area.width, area.x + area.width + dx);
    int y0 = std::max(area.y, area.y + dy), y1 = std::min(area.y + area.height, area.y + area.height + dy);
    if (x1 <= x0 || y1 <= y0)
        return true;
    cairo_surface_flush(m_surface);
    unsigned char* data = cairo_image_surface_get_data(m_surface);
    std::size_t stride = std::size_t(cairo_image_surface_get_stride(m_surface));
    std::size_t rowBytes = std::size_t(x1 - x0) * 4;
    // Rows are copied away from the direction of travel so that none is overwritten before it is read.
    auto copyRow = [&](int y) {
        std::memmove(data + std::size_t(y) * stride + std::size_t(x0) * 4,
            data + std::size_t(y - dy) * stride + std::size_t(x0 - dx) * 4, rowBytes);
    };
    if (dy > 0) {
        for (int y = y1 - 1; y >= y0; --y)
            copyRow(y);
    } else {
        for (int y = y0; y < y1; ++y)
            copyRow(y);
    }
    cairo_surface_mark_dirty(m_surface);
    markStale({ x0, y0, x1 - x0, y1 - y0 });
    return true;
}

void BackingStore::markStale(PixelRect changed)
{
    int count = tileColumns() * tileRows();
    for (int i = 0; i < count; ++i) {
        if (!m_staleTiles[std::size_t(i)] && tileRect(i).intersects(changed))
            m_staleTiles[std::size_t(i)] = true;
    }
}

int BackingStore::tileColumns() const
{
    return (pixelWidth() + kTileSize - 1) / kTileSize;
}

int BackingStore::tileRows() const
{
    return (pixelHeight() + kTileSize - 1) / kTileSize;
}

PixelRect BackingStore::tileRect(int index) const
{
    int columns = std::max(tileColumns(), 1);
    int x = (index % columns) * kTileSize;
    int y = (index / columns) * kTileSize;
    return { x, y, std::min(kTileSize, pixelWidth() - x), std::min(kTileSize, pixelHeight() - y) };
}

std::uint32_t BackingStore::pixelAt(int x, int y) const
{
    if (!m_surface || x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight())
        return 0;
    const unsigned char* data = cairo_image_surface_get_data(m_surface);
    int stride = cairo_image_surface_get_stride(m_surface);
    return *reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride + std::size_t(x) * 4);
}

} // namespace hosts
