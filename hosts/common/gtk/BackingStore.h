#pragma once

#include <cairo.h>
#include <cstdint>
#include <functional>
#include <vector>

namespace kit {
class Window;
}

namespace hosts {

// A rectangle of device pixels, (0, 0) at the top left.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool isEmpty() const { return width <= 0 || height <= 0; }
    bool intersects(const PixelRect& other) const
    {
        return !isEmpty() && !other.isEmpty() && x < other.x + other.width && other.x < x + width
            && y < other.y + other.height && other.y < y + height;
    }
    bool operator==(const PixelRect&) const = default;
};

// The pixels of one kit::Window at the screen's scale factor: one image surface of window size times scale,
// whose device scale makes one user unit one window point, so text is drawn at the screen's full
// resolution. Only the window's damage is drawn again. The surface is cut into square tiles for the
// compositor, which is handed again only the tiles that changed.
class BackingStore {
public:
    static constexpr int kTileSize = 256; // device pixels

    BackingStore() = default;
    ~BackingStore();
    BackingStore(const BackingStore&) = delete;
    BackingStore& operator=(const BackingStore&) = delete;

    // Makes the surface width x height window units at scale device pixels per unit. A change throws the
    // old pixels away and damages the whole window. False when the size is empty or the surface cannot be
    // made (then nothing is drawn).
    bool configure(kit::Window& window, int width, int height, int scale);
    // Draws the window's damage, widened to whole device pixels, and clears it. Returns the rectangle around
    // the pixels drawn.
    PixelRect update(kit::Window& window);
    // Moves the pixels of area (device pixels) by dx, dy, as a scroll does; pixels moved out of the area are
    // dropped, and the part of it they left keeps what it had until it is drawn. False (nothing moved) when
    // the area is not inside the surface.
    bool scroll(PixelRect area, int dx, int dy);
    // Told after each drawing with the surface and the device pixels just drawn, which it may change (a way
    // of showing the pixels, such as night reading: the views never know). Configure the filter before the
    // pixels it should see are drawn; changing it leaves the pixels drawn so far as they are.
    using PixelFilter = std::function<void(cairo_surface_t* surface, int scale, PixelRect drawn)>;
    void setPixelFilter(PixelFilter filter) { m_filter = std::move(filter); }

    cairo_surface_t* surface() const { return m_surface; }
    int width() const { return m_width; }
    int height() const { return m_height; }
    int scale() const { return m_scale; }
    int pixelWidth() const { return m_width * m_scale; }
    int pixelHeight() const { return m_height * m_scale; }

    // The tiles, in rows from the top left, and which of them changed since the compositor last took them.
    int tileColumns() const;
    int tileRows() const;
    PixelRect tileRect(int index) const;
    bool isTileStale(int index) const { return m_staleTiles[std::size_t(index)]; }
    void markTileFresh(int index) { m_staleTiles[std::size_t(index)] = false; }
    // Device pixels drawn in all since the store was made, for tests and benchmarks.
    unsigned long long drawnPixels() const { return m_drawnPixels; }
    // One 0xAARRGGBB pixel (premultiplied), for tests.
    std::uint32_t pixelAt(int x, int y) const;

private:
    void release();
    void markStale(PixelRect changed);

    cairo_surface_t* m_surface = nullptr;
    int m_width = 0;
    int m_height = 0;
    int m_scale = 1;
    std::vector<bool> m_staleTiles;
    unsigned long long m_drawnPixels = 0;
    PixelFilter m_filter;
};

} // namespace hosts
