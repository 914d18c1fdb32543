#pragma once

#include "kit/geometry/Color.h"

#include <algorithm>
#include <array>

namespace kit {

// Hue, saturation and lightness, each 0 to 1 (hue in turns), as CSS and office documents write colours.
struct Hsl {
    float hue = 0, saturation = 0, lightness = 0;
};

inline Color colorFromHsl(Hsl hsl, float alpha = 1)
{
    float l = std::clamp(hsl.lightness, 0.0f, 1.0f), s = std::clamp(hsl.saturation, 0.0f, 1.0f);
    float q = l < 0.5f ? l * (1 + s) : l + s - l * s;
    float p = 2 * l - q;
    auto channel = [&](float t) {
        if (t < 0)
            t += 1;
        if (t > 1)
            t -= 1;
        if (t < 1.0f / 6)
            return p + (q - p) * 6 * t;
        if (t < 0.5f)
            return q;
        if (t < 2.0f / 3)
            return p + (q - p) * (2.0f / 3 - t) * 6;
        return p;
    };
    return Color::calibratedRGB(channel(hsl.hue + 1.0f / 3), channel(hsl.hue), channel(hsl.hue - 1.0f / 3), alpha);
}

inline Hsl hslOf(float r, float g, float b)
{
    float high = std::max({ r, g, b }), low = std::min({ r, g, b });
    Hsl hsl;
    hsl.lightness = (high + low) / 2;
    if (high <= low)
        return hsl;
    float d = high - low;
    hsl.saturation = hsl.lightness > 0.5f ? d / (2 - high - low) : d / (high + low);
    if (high == r)
        hsl.hue = (g - b) / d + (g < b ? 6 : 0);
    else if (high == g)
        hsl.hue = (b - r) / d + 2;
    else
        hsl.hue = (r - g) / d + 4;
    hsl.hue /= 6;
    return hsl;
}

} // namespace kit
