#include "kit/text/PageSetup.h"

#include "kit/text/Numerals.h"

#include <algorithm>
#include <cmath>

namespace kit {

namespace {

constexpr float kMinimumTextSide = 72;

using Stories = std::array<std::shared_ptr<TextStorage>, kHeaderFooterKinds>;

// A section without a story of a kind shows the nearest earlier section's of that kind.
std::shared_ptr<TextStorage> linkedStory(
    const std::vector<PageSection>& sections, std::size_t section, HeaderFooterKind kind, Stories PageSection::*stories)
{
    if (sections.empty())
        return nullptr;
    for (std::size_t i = std::min(section, sections.size() - 1) + 1; i-- > 0;) {
        if (const auto& story = (sections[i].*stories)[std::size_t(kind)])
            return story;
    }
    return nullptr;
}

} // namespace

Rect PageSection::textRect() const
{
    float left = std::max(0.0f, margins.left) + std::max(0.0f, margins.gutter);
    float right = std::max(0.0f, margins.right);
    float top = std::max(0.0f, margins.top), bottom = std::max(0.0f, margins.bottom);
    float width = std::max(paperSize.width - left - right, kMinimumTextSide);
    float height = std::max(paperSize.height - top - bottom, kMinimumTextSide);
    left = std::min(left, std::max(0.0f, paperSize.width - width));
    top = std::min(top, std::max(0.0f, paperSize.height - height));
    return { left, top, width, height };
}

std::vector<TextColumn> PageSection::columnsAcross(float width) const
{
    width = std::max(width, 1.0f);
    if (unequalColumns.size() < 2)
        return equalColumns(width, unequalColumns.empty() ? columnCount : 1, columnSpacing);
    std::size_t count = std::min<std::size_t>(unequalColumns.size(), 16);
    auto sane = [](float length) { return std::isfinite(length) ? std::clamp(length, 0.0f, 100000.0f) : 0.0f; };
    float total = 0, spaces = 0;
    for (std::size_t i = 0; i < count; ++i) {
        total += std::max(sane(unequalColumns[i].width), 1.0f);
        if (i + 1 < count)
            spaces += sane(unequalColumns[i].spaceAfter);
    }
    // Room between columns never takes more than half the width.
    float spaceScale = spaces > width / 2 ? width / 2 / spaces : 1;
    float columnScale = (width - spaces * spaceScale) / total;
    std::vector<TextColumn> columns;
    float x = 0;
    for (std::size_t i = 0; i < count; ++i) {
        float columnWidth = std::max(sane(unequalColumns[i].width), 1.0f) * columnScale;
        columns.push_back({ x, columnWidth });
        x += columnWidth + (i + 1 < count ? sane(unequalColumns[i].spaceAfter) * spaceScale : 0);
    }
    return columns;
}

std::size_t PageSetup::sectionIndexAt(std::size_t byte) const
{
    auto it = std::upper_bound(sections.begin(), sections.end(), byte,
        [](std::size_t b, const PageSection& section) { return b < section.start; });
    return it == sections.begin() ? 0 : std::size_t(it - sections.begin()) - 1;
}

std::shared_ptr<TextStorage> PageSetup::header(std::size_t section, HeaderFooterKind kind) const
{
    return linkedStory(sections, section, kind, &PageSection::headers);
}

std::shared_ptr<TextStorage> PageSetup::footer(std::size_t section, HeaderFooterKind kind) const
{
    return linkedStory(sections, section, kind, &PageSection::footers);
}

std::string formatPageNumber(int number, PageNumberFormat format)
{
    switch (format) {
    case PageNumberFormat::LowerLetter:
    case PageNumberFormat::UpperLetter:
        return letterNumeral(number, format == PageNumberFormat::UpperLetter);
    case PageNumberFormat::LowerRoman:
    case PageNumberFormat::UpperRoman:
        return romanNumeral(number, format == PageNumberFormat::UpperRoman);
    default:
        return std::to_string(number);
    }
}

} // namespace kit
