#include "kit/text/PageSetup.h"

#include "kit/text/Numerals.h"

#include <algorithm>

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
