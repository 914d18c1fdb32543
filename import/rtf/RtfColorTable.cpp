#include "import/rtf/RtfColorTable.h"

#include <algorithm>

namespace importer::rtf {

namespace {
// More entries than any document uses; a hostile table stops growing here.
constexpr std::size_t kMaximumColors = 4096;
} // namespace

void RtfColorTable::begin()
{
    m_colors.clear();
    m_components = { -1, -1, -1 };
}

void RtfColorTable::setComponent(int component, int value)
{
    m_components[component == 0 ? 0 : component == 1 ? 1 : 2] = value;
}

void RtfColorTable::endEntry()
{
    if (m_colors.size() < kMaximumColors) {
        auto [red, green, blue] = m_components;
        if (red < 0 && green < 0 && blue < 0)
            m_colors.push_back(std::nullopt);
        else
            m_colors.push_back(kit::Color::calibratedRGB(float(std::clamp(red, 0, 255)) / 255.0f,
                float(std::clamp(green, 0, 255)) / 255.0f, float(std::clamp(blue, 0, 255)) / 255.0f));
    }
    m_components = { -1, -1, -1 };
}

std::optional<kit::Color> RtfColorTable::color(int index) const
{
    if (index <= 0 || std::size_t(index) >= m_colors.size())
        return std::nullopt;
    return m_colors[std::size_t(index)];
}

} // namespace importer::rtf
