#include "kit/geometry/Color.h"

namespace kit {

std::array<float, 4> Color::rgba() const
{
    const auto& c = m_components;
    switch (m_space) {
    case ColorSpace::CalibratedRGB:
    case ColorSpace::DeviceRGB:
        return { c[0], c[1], c[2], c[3] };
    case ColorSpace::CalibratedWhite:
        return { c[0], c[0], c[0], c[1] };
    case ColorSpace::DeviceCMYK:
        // The naive conversion, as without a colour profile: each ink takes away its complement.
        return { (1 - c[0]) * (1 - c[3]), (1 - c[1]) * (1 - c[3]), (1 - c[2]) * (1 - c[3]), c[4] };
    case ColorSpace::Pattern:
        break;
    }
    return { 0, 0, 0, 1 };
}

float Color::alpha() const
{
    return rgba()[3];
}

std::optional<Color> Color::usingCalibratedRGB() const
{
    if (m_space == ColorSpace::Pattern)
        return std::nullopt;
    auto c = rgba();
    return calibratedRGB(c[0], c[1], c[2], c[3]);
}

Color Color::withAlpha(float a) const
{
    Color copy = *this;
    switch (m_space) {
    case ColorSpace::CalibratedRGB:
    case ColorSpace::DeviceRGB:
    case ColorSpace::Pattern:
        copy.m_components[3] = a;
        break;
    case ColorSpace::CalibratedWhite:
        copy.m_components[1] = a;
        break;
    case ColorSpace::DeviceCMYK:
        copy.m_components[4] = a;
        break;
    }
    return copy;
}

} // namespace kit
