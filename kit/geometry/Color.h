#pragma once

#include <array>
#include <optional>

namespace kit {

enum class ColorSpace { CalibratedRGB, DeviceRGB, CalibratedWhite, DeviceCMYK, Pattern };

// A colour with the space it was made in. Calibrated RGB is drawn as sRGB unchanged.
class Color {
public:
    constexpr Color() = default; // opaque black, calibrated RGB

    static constexpr Color calibratedRGB(float r, float g, float b, float a = 1) { return { ColorSpace::CalibratedRGB, { r, g, b, a, 0 } }; }
    static constexpr Color deviceRGB(float r, float g, float b, float a = 1) { return { ColorSpace::DeviceRGB, { r, g, b, a, 0 } }; }
    static constexpr Color white(float w, float a = 1) { return { ColorSpace::CalibratedWhite, { w, a, 0, 0, 0 } }; }
    static constexpr Color cmyk(float c, float m, float y, float k, float a = 1) { return { ColorSpace::DeviceCMYK, { c, m, y, k, a } }; }
    // A pattern has no components: it cannot be expressed in calibrated RGB.
    static constexpr Color pattern() { return { ColorSpace::Pattern, { 0, 0, 0, 1, 0 } }; }

    static constexpr Color blackColor() { return calibratedRGB(0, 0, 0); }
    static constexpr Color whiteColor() { return calibratedRGB(1, 1, 1); }
    static constexpr Color clearColor() { return calibratedRGB(0, 0, 0, 0); }

    constexpr ColorSpace space() const { return m_space; }
    // The conversion to calibrated RGB; nullopt for a pattern.
    std::optional<Color> usingCalibratedRGB() const;
    // Components in calibrated RGB; meaningful only when usingCalibratedRGB() has a value.
    float red() const { return rgba()[0]; }
    float green() const { return rgba()[1]; }
    float blue() const { return rgba()[2]; }
    float alpha() const;
    Color withAlpha(float a) const;
    std::array<float, 4> rgba() const;

    constexpr bool operator==(const Color&) const = default;

private:
    constexpr Color(ColorSpace space, std::array<float, 5> c)
        : m_space(space)
        , m_components(c)
    {
    }
    ColorSpace m_space { ColorSpace::CalibratedRGB };
    std::array<float, 5> m_components { 0, 0, 0, 1, 0 };
};

} // namespace kit
