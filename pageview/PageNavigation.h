#pragma once

#include "kit/geometry/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kit {
class ClipView;
}
class NRVLectorinMultiPageView;

// Where the reader is in the stack of pages and how to take them elsewhere. Pages are 0-based here; the
// hosts show them 1-based. Points and rectangles are in the page view's own (flipped) coordinates.
namespace PageNavigation {

// The clip view that shows the page view, or null when it is not in one.
kit::ClipView* clipView(const NRVLectorinMultiPageView& pageView);
// The page whose slot holds y: a page and half of the separators above and below it. Clamped to the pages.
std::uint32_t pageAtY(NRVLectorinMultiPageView& pageView, float y);
// The page at the vertical middle of the visible area, which is the page the reader is reading.
std::uint32_t pageAtMiddleOfView(NRVLectorinMultiPageView& pageView);
// Scrolls so that page's top edge, with the separator above it, is at the top of the view.
void scrollToPage(NRVLectorinMultiPageView& pageView, std::uint32_t page);
// Scrolls so that rect's middle is at the middle of the view vertically; horizontally only when rect is not
// wholly in sight. The clip view constrains the result, so near the ends rect is as near as it can be.
void centerRectInView(NRVLectorinMultiPageView& pageView, kit::Rect rect);

// The page that holds the character at index; nothing when no page holds it.
std::optional<std::uint32_t> pageOfCharacter(NRVLectorinMultiPageView& pageView, std::size_t index);
// Where the bytes [location, location + length) are drawn, one rectangle per line part; empty when no
// page holds them. A range that spans pages gives the parts on each.
std::vector<kit::Rect> rectsForCharacterRange(NRVLectorinMultiPageView& pageView, std::size_t location, std::size_t length);
// Scrolls so that the line holding the character at index is at the top of the view, with a separator's
// height of room above it (a heading the outline goes to, a bookmark a link names). A character on a page
// still to come is scrolled to when its page arrives, without making the pages before it at once.
void scrollCharacterToTop(NRVLectorinMultiPageView& pageView, std::size_t index);

} // namespace PageNavigation
