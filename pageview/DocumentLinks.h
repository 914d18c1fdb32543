#pragma once

#include "kit/foundation/Range.h"
#include "kit/geometry/Geometry.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kit {
class TextStorage;
}
class NRVLectorinMultiPageView;

// The links of a document as the reader follows them.
namespace DocumentLinks {

struct Hit {
    std::string url; // as the document gives it: "https://...", "mailto:...", "#bookmark"
    kit::Range range; // the link's characters around the point
};
// The link whose glyphs are under point (the page view's coordinates); nothing over plain text, margins
// or the empty end of a line.
std::optional<Hit> linkAtPoint(NRVLectorinMultiPageView& pageView, kit::Point point);

// What a click on a link does: a web or mail address opens with the desktop's handler; a bookmark of the
// document ("#name") scrolls to it; anything else (file:, ftp:, a program's own scheme) is opened only
// after the reader agreed.
enum class Action { Open, GoToBookmark, Ask, Nothing };
Action actionForURL(std::string_view url);
// The bookmark a "#name" link names (percent escapes decoded), else empty.
std::string bookmarkName(std::string_view url);
// Where the target of that name starts: the bookmark of that name; else, for Word's outline targets
// ("Heading text|outline") and for a name no bookmark has, the first heading whose text is the name
// (white space collapsed, letter case ignored, with or without its list label). Nothing when neither is found.
std::optional<std::size_t> bookmarkLocation(const kit::TextStorage& text, std::string_view name);

} // namespace DocumentLinks
