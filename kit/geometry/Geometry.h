#pragma once

#include <algorithm>
#include <cmath>

namespace kit {

// Lengths are points (1/72 inch) in single precision, in whatever coordinate space the owner names.
struct Point {
    float x = 0;
    float y = 0;
    constexpr bool operator==(const Point&) const = default;
};

struct Size {
    float width = 0;
    float height = 0;
    constexpr bool operator==(const Size&) const = default;
};

struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(Point o, Size s)
        : origin(o)
        , size(s)
    {
    }
    constexpr Rect(float x, float y, float width, float height)
        : origin { x, y }
        , size { width, height }
    {
    }

    constexpr float x() const { return origin.x; }
    constexpr float y() const { return origin.y; }
    constexpr float width() const { return size.width; }
    constexpr float height() const { return size.height; }
    constexpr float minX() const { return origin.x; }
    constexpr float minY() const { return origin.y; }
    constexpr float maxX() const { return origin.x + size.width; }
    constexpr float maxY() const { return origin.y + size.height; }
    constexpr float midX() const { return origin.x + size.width / 2; }
    constexpr float midY() const { return origin.y + size.height / 2; }
    constexpr bool isEmpty() const { return !(size.width > 0 && size.height > 0); }
    // Half-open: a point on the max edges is outside, as for pixels.
    constexpr bool contains(Point p) const { return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY(); }
    // Every point of `inner` lies in this rectangle (edges may touch).
    constexpr bool contains(const Rect& inner) const
    {
        return minX() <= inner.minX() && minY() <= inner.minY() && maxX() >= inner.maxX() && maxY() >= inner.maxY();
    }
    constexpr bool intersects(const Rect& other) const
    {
        return !isEmpty() && !other.isEmpty() && other.minX() < maxX() && minX() < other.maxX()
            && other.minY() < maxY() && minY() < other.maxY();
    }
    constexpr Rect offsetBy(float dx, float dy) const { return { { origin.x + dx, origin.y + dy }, size }; }
    constexpr Rect insetBy(float dx, float dy) const
    {
        return { { origin.x + dx, origin.y + dy }, { size.width - 2 * dx, size.height - 2 * dy } };
    }
    constexpr bool operator==(const Rect&) const = default;
};

// Empty when a and b only touch: shared edges are not an overlap.
constexpr Rect intersection(const Rect& a, const Rect& b)
{
    float x0 = std::max(a.minX(), b.minX()), x1 = std::min(a.maxX(), b.maxX());
    float y0 = std::max(a.minY(), b.minY()), y1 = std::min(a.maxY(), b.maxY());
    return (x1 <= x0 || y1 <= y0) ? Rect {} : Rect { { x0, y0 }, { x1 - x0, y1 - y0 } };
}

// The smallest rectangle holding both; an empty rectangle adds nothing.
constexpr Rect unionRect(const Rect& a, const Rect& b)
{
    if (a.isEmpty())
        return b;
    if (b.isEmpty())
        return a;
    float x0 = std::min(a.minX(), b.minX()), x1 = std::max(a.maxX(), b.maxX());
    float y0 = std::min(a.minY(), b.minY()), y1 = std::max(a.maxY(), b.maxY());
    return { { x0, y0 }, { x1 - x0, y1 - y0 } };
}

// Grows a rectangle outward to whole units, as needed before rasterising a damaged area.
inline Rect integralRect(const Rect& r)
{
    if (r.isEmpty())
        return {};
    float x0 = std::floor(r.minX()), y0 = std::floor(r.minY());
    return { { x0, y0 }, { std::ceil(r.maxX()) - x0, std::ceil(r.maxY()) - y0 } };
}

} // namespace kit
