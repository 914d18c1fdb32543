#include "import/common/DocumentMarks.h"

#include "kit/text/TextStorage.h"

#include <algorithm>
#include <glib.h>

namespace importer {

int headingLevelOfStyleName(std::string_view name)
{
    constexpr std::string_view heading = "heading";
    if (name.size() < heading.size() + 1)
        return 0;
    for (std::size_t i = 0; i < heading.size(); ++i) {
        char c = name[i];
        if ((c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c) != heading[i])
            return 0;
    }
    std::string_view rest = name.substr(heading.size());
    if (rest.front() == ' ' || rest.front() == '_')
        rest.remove_prefix(1);
    if (rest.size() != 1 || rest[0] < '1' || rest[0] > '9')
        return 0;
    return rest[0] - '0';
}

} // namespace importer

namespace importer {

void applyAnchors(kit::TextStorage& text, const Anchors& anchors)
{
    // Bookmarks that share a place take the characters after it, up to a few: a link to any of them then
    // still lands on the same line.
    constexpr int kMaximumShift = 16;
    const std::string& string = text.string();
    for (const auto& anchor : anchors) {
        const std::string& name = anchor.first;
        std::size_t location = anchor.second;
        for (int shift = 0; location < string.size() && !text.attributesAt(location).anchor.empty() && shift < kMaximumShift; ++shift)
            location = std::size_t(g_utf8_next_char(string.data() + location) - string.data());
        if (name.empty() || location >= string.size() || !text.attributesAt(location).anchor.empty())
            continue;
        std::size_t length = std::size_t(g_utf8_next_char(string.data() + location) - (string.data() + location));
        length = std::min(length, string.size() - location);
        text.modifyAttributes({ location, length }, [&](kit::Attributes& attributes) { attributes.anchor = name; });
    }
}

void applyColumnBreaks(kit::TextStorage& text, const std::vector<std::size_t>& paragraphStarts)
{
    constexpr std::size_t kMaximumBreaks = 4096;
    const std::string& string = text.string();
    std::size_t applied = 0;
    for (std::size_t start : paragraphStarts) {
        if (start >= string.size() || applied == kMaximumBreaks)
            break;
        ++applied;
        std::size_t end = string.find_first_of("\n\f", start);
        end = end == std::string::npos ? string.size() : end + 1;
        text.modifyAttributes({ start, end - start }, [](kit::Attributes& attributes) {
            kit::ParagraphStyle style = attributes.paragraphStyle();
            style.columnBreakBefore = true;
            attributes.paragraph = std::make_shared<const kit::ParagraphStyle>(std::move(style));
        });
    }
}

} // namespace importer
