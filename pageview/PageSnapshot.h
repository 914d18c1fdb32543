#pragma once

#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"
#include "kit/text/Attributes.h"
#include "kit/text/PageDisplayList.h"

#include <array>
#include <cairo.h>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class NRVLectorinMultiPageView;

namespace kit {
class AttachmentImages;
}

namespace pageview {

class PageShadow;

// What the page view shows of one page, taken on the UI thread so that any thread can draw it: the paper
// and its colour, its borders, the header and footer, the column rules, the floats, the find highlights,
// the text with its cells and the selection, as display lists and rectangles. Nothing in it refers to the
// view, the layout, the storage or a Pango object, and it never changes once taken.
//
// View coordinates: points of the page view's bounds, y down, as the view draws itself.
class PageSnapshot {
public:
    // The page (0-based) as the view would draw it now; null past the pages it shows. Recording the
    // page's display lists, where the view has not drawn the page yet, lays them out here.
    static std::shared_ptr<const PageSnapshot> capture(NRVLectorinMultiPageView&, std::uint32_t page);

    // The paper, view coordinates.
    kit::Rect pageRect() const { return m_paper; }
    // The view draws a message on this page (a document that cannot be shown): the message is not in the
    // snapshot, since its text is laid out with the UI thread's fonts.
    bool showsMessage() const { return m_showsMessage; }

    // Draws what the view draws in dirty (view coordinates, the user space of cr): with surroundings, the
    // view's background, the shadows of this page and of its neighbours and their paper; then this page's
    // paper and everything on it. Pictures come from images, whose thread draws: on a thread other than
    // the UI thread, one made with its own text fonts. The same pixels as the view's own drawing of dirty.
    void draw(cairo_t*, kit::Rect dirty, kit::AttachmentImages& images, PageShadow* surroundings = nullptr) const;

private:
    struct Story {
        std::shared_ptr<const kit::PageDisplayList> list;
        kit::Point origin; // the container's top left
    };
    struct Neighbour {
        kit::Rect paper;
        kit::Color color;
    };
    struct Highlight {
        kit::Rect rect;
        kit::Color color;
    };
    void drawPaper(cairo_t*, const kit::Rect& paper, const kit::Color&, const kit::Rect& dirty, PageShadow*) const;

    kit::Rect m_bounds; // the view's
    kit::Color m_background = kit::Color::white(1);
    std::vector<Neighbour> m_before, m_after; // pages whose shadows may reach onto this page's surroundings
    kit::Rect m_paper;
    kit::Color m_paperColor = kit::Color::whiteColor();
    kit::Rect m_borderRect;
    std::array<kit::Border, 4> m_borders {};
    std::vector<Story> m_bands; // header, footer
    std::vector<std::pair<kit::Point, kit::Point>> m_columnRules;
    Story m_body; // origin: the text area's top left, where the floats are drawn from
    std::vector<Highlight> m_highlights;
    // The page's text view: its frame, which clips the text, and the selection on it (text view coordinates).
    bool m_hasTextView = false;
    kit::Rect m_textFrame;
    std::vector<kit::Rect> m_selection;
    bool m_showsMessage = false;
};

} // namespace pageview
