#include "pageview/DocumentLinks.h"

#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextOutline.h"
#include "kit/text/TextStorage.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/PageNavigation.h"

#include <glib.h>

namespace DocumentLinks {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && g_ascii_strncasecmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// Text as headings are compared: one line, white space collapsed, letter case folded.
std::string comparable(std::string_view text)
{
    std::string collapsed = kit::outlineTitle(text);
    char* folded = g_utf8_casefold(collapsed.data(), gssize(collapsed.size()));
    std::string result = folded ? folded : collapsed;
    g_free(folded);
    return result;
}

// The heading at location without the list label in front of it ("2.1<tab>"), as comparable text.
std::string headingWithoutLabel(const kit::TextStorage& text, std::size_t location)
{
    const std::string& string = text.string();
    std::size_t start = location;
    while (start < string.size()) {
        kit::Range run;
        if (!text.attributesAt(start, &run).listLabel || run.end() <= start)
            break;
        start = run.end();
    }
    std::size_t end = std::min(string.find_first_of("\n\f", start), string.size());
    return comparable(std::string_view(string).substr(start, end - start));
}

} // namespace

std::optional<Hit> linkAtPoint(NRVLectorinMultiPageView& pageView, kit::Point point)
{
    kit::LayoutManager* layout = pageView.layoutManager();
    kit::TextStorage* text = pageView.textStorage();
    if (!layout || !text || text->length() == 0)
        return std::nullopt;
    std::uint32_t page = PageNavigation::pageAtY(pageView, point.y);
    if (page >= layout->textContainers().size())
        return std::nullopt;
    const kit::TextContainer& container = *layout->textContainers()[page];
    kit::Point origin = pageView.documentRectForPageNumber(page).origin;
    kit::Point inContainer { point.x - origin.x, point.y - origin.y };
    std::size_t index = layout->characterIndexForPoint(inContainer, container);
    // The insertion point nearest to the point lies before or after the character the point is on.
    for (std::size_t candidate : { index, index ? index - 1 : index }) {
        if (candidate >= text->length())
            continue;
        kit::Range run;
        const kit::Attributes& attributes = text->attributesAt(candidate, &run);
        if (attributes.link.empty())
            continue;
        const char* at = text->string().data() + candidate;
        std::size_t length = std::size_t(g_utf8_next_char(at) - at);
        for (kit::Rect rect : layout->rectsForCharacterRange({ candidate, length }, container)) {
            if (rect.contains(inContainer))
                return Hit { attributes.link, run };
        }
    }
    return std::nullopt;
}

Action actionForURL(std::string_view url)
{
    if (url.empty())
        return Action::Nothing;
    if (url.front() == '#')
        return url.size() > 1 ? Action::GoToBookmark : Action::Nothing;
    if (startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://") || startsWithNoCase(url, "mailto:"))
        return Action::Open;
    return Action::Ask;
}

std::string bookmarkName(std::string_view url)
{
    if (url.size() < 2 || url.front() != '#')
        return {};
    std::string escaped(url.substr(1));
    char* unescaped = g_uri_unescape_string(escaped.c_str(), nullptr);
    std::string name = unescaped ? unescaped : escaped;
    g_free(unescaped);
    return name;
}

std::optional<std::size_t> bookmarkLocation(const kit::TextStorage& text, std::string_view name)
{
    if (name.empty())
        return std::nullopt;
    constexpr std::string_view kOutlineSuffix = "|outline";
    bool namesHeading = name.size() > kOutlineSuffix.size()
        && g_ascii_strcasecmp(std::string(name.substr(name.size() - kOutlineSuffix.size())).c_str(), kOutlineSuffix.data()) == 0;
    if (!namesHeading) {
        for (const auto& run : text.runs()) {
            if (run.attributes->anchor == name)
                return run.location;
        }
    }
    std::string heading = comparable(namesHeading ? name.substr(0, name.size() - kOutlineSuffix.size()) : name);
    if (heading.empty())
        return std::nullopt;
    for (const kit::OutlineEntry& entry : kit::outlineOfText(text)) {
        if (comparable(entry.title) == heading || headingWithoutLabel(text, entry.location) == heading)
            return entry.location;
    }
    return std::nullopt;
}

} // namespace DocumentLinks
