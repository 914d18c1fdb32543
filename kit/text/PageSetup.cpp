#include "kit/text/PageSetup.h"

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
    if (number < 1 || format == PageNumberFormat::Decimal)
        return std::to_string(number);
    if (format == PageNumberFormat::LowerLetter || format == PageNumberFormat::UpperLetter) {
        // a...z, then aa...zz, as word processors count.
        char letter = char((format == PageNumberFormat::LowerLetter ? 'a' : 'A') + (number - 1) % 26);
        return std::string(std::size_t(std::min((number - 1) / 26 + 1, 64)), letter);
    }
    static const struct {
        int value;
        const char* digits;
    } kRoman[] = { { 1000, "m" }, { 900, "cm" }, { 500, "d" }, { 400, "cd" }, { 100, "c" }, { 90, "xc" },
        { 50, "l" }, { 40, "xl" }, { 10, "x" }, { 9, "ix" }, { 5, "v" }, { 4, "iv" }, { 1, "i" } };
    std::string text;
    int rest = std::min(number, 100000);
    for (const auto& [value, digits] : kRoman) {
        for (; rest >= value; rest -= value)
            text += digits;
    }
    if (format == PageNumberFormat::UpperRoman)
        std::transform(text.begin(), text.end(), text.begin(), [](char c) { return char(c - 'a' + 'A'); });
    return text;
}

} // namespace kit
