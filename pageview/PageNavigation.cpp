#include "pageview/PageNavigation.h"

#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/view/ClipView.h"
#include "kit/view/ScrollView.h"
#include "pageview/NRVLectorinMultiPageView.h"

#include <algorithm>
#include <cmath>

namespace PageNavigation {

kit::ClipView* clipView(const NRVLectorinMultiPageView& pageView)
{
    kit::ScrollView* scrollView = pageView.enclosingScrollView();
    return scrollView ? scrollView->contentView() : nullptr;
}

std::uint32_t pageAtY(NRVLectorinMultiPageView& pageView, float y)
{
    std::uint32_t count = pageView.numberOfPages();
    if (count <= 1)
        return 0;
    float s = pageView.pageSeparatorHeight();
    if (pageView.showsDocumentPages()) {
        // Pages of different heights: the first whose slot ends below y.
        std::uint32_t low = 0, high = count - 1;
        while (low < high) {
            std::uint32_t middle = (low + high) / 2;
            if (pageView.pageRectForPageNumber(middle).maxY() + s / 2 <= y)
                low = middle + 1;
            else
                high = middle;
        }
        return low;
    }
    kit::Rect first = pageView.pageRectForPageNumber(0);
    float pitch = first.height() + s;
    float slot = std::floor((y - (first.y() - s / 2)) / pitch);
    if (!(slot > 0))
        return 0;
    return std::min(count - 1, std::uint32_t(std::min(slot, float(count))));
}

std::uint32_t pageAtMiddleOfView(NRVLectorinMultiPageView& pageView)
{
    kit::ClipView* clip = clipView(pageView);
    if (!clip)
        return 0;
    kit::Rect visible = clip->documentVisibleRect();
    return pageAtY(pageView, visible.midY());
}

void scrollToPage(NRVLectorinMultiPageView& pageView, std::uint32_t page)
{
    kit::ClipView* clip = clipView(pageView);
    if (!clip || pageView.numberOfPages() == 0)
        return;
    page = std::min(page, pageView.numberOfPages() - 1);
    kit::Rect rect = pageView.pageRectForPageNumber(page);
    float s = pageView.pageSeparatorHeight();
    kit::Rect slotInClip = pageView.convertRect({ rect.x(), rect.y() - s, rect.width(), rect.height() + s }, clip);
    clip->scrollToPoint({ clip->bounds().x(), slotInClip.minY() });
}

void centerRectInView(NRVLectorinMultiPageView& pageView, kit::Rect rect)
{
    kit::ClipView* clip = clipView(pageView);
    if (!clip)
        return;
    kit::Rect inClip = pageView.convertRect(rect, clip);
    kit::Rect bounds = clip->bounds();
    kit::Point origin = bounds.origin;
    origin.y = std::round(inClip.midY() - bounds.height() / 2);
    if (inClip.minX() < bounds.minX() || inClip.maxX() > bounds.maxX())
        origin.x = std::round(inClip.midX() - bounds.width() / 2);
    clip->scrollToPoint(origin);
}

std::optional<std::uint32_t> pageOfCharacter(NRVLectorinMultiPageView& pageView, std::size_t index)
{
    kit::LayoutManager* layout = pageView.layoutManager();
    kit::TextContainer* container = layout ? layout->textContainerForGlyphAtIndex(index) : nullptr;
    if (!container)
        return std::nullopt;
    auto page = layout->indexOfTextContainer(*container);
    if (!page || *page >= pageView.numberOfPages())
        return std::nullopt;
    return std::uint32_t(*page);
}

std::vector<kit::Rect> rectsForCharacterRange(NRVLectorinMultiPageView& pageView, std::size_t location, std::size_t length)
{
    std::vector<kit::Rect> rects;
    kit::LayoutManager* layout = pageView.layoutManager();
    auto first = pageOfCharacter(pageView, location);
    if (!layout || !first)
        return rects;
    std::size_t end = location + std::max<std::size_t>(length, 1);
    const auto& containers = layout->textContainers();
    for (std::uint32_t page = *first; page < pageView.numberOfPages() && page < containers.size(); ++page) {
        kit::Range placed = layout->glyphRangeForTextContainer(*containers[page]);
        if (placed.location >= end)
            break;
        kit::Point origin = pageView.documentRectForPageNumber(page).origin;
        for (kit::Rect rect : layout->rectsForCharacterRange({ location, end - location }, *containers[page]))
            rects.push_back({ rect.x() + origin.x, rect.y() + origin.y, rect.width(), rect.height() });
    }
    return rects;
}

namespace {

void scrollLaidOutCharacterToTop(NRVLectorinMultiPageView& pageView, std::size_t index)
{
    kit::ClipView* clip = clipView(pageView);
    std::vector<kit::Rect> rects = rectsForCharacterRange(pageView, index, 1);
    if (!clip || rects.empty())
        return;
    float s = pageView.pageSeparatorHeight();
    kit::Rect inClip = pageView.convertRect({ rects.front().x(), rects.front().y() - s, rects.front().width(), rects.front().height() + s }, clip);
    clip->scrollToPoint({ clip->bounds().x(), std::round(inClip.minY()) });
}

} // namespace

void scrollCharacterToTop(NRVLectorinMultiPageView& pageView, std::size_t index)
{
    kit::LayoutManager* layout = pageView.layoutManager();
    if (!layout)
        return;
    // The layout manager drops a waiting call with itself, and the page view holds the manager: the view
    // is there whenever the call comes.
    layout->whenContainerForGlyphIsLaidOut(index, [view = &pageView, index](kit::TextContainer* container) {
        if (container)
            scrollLaidOutCharacterToTop(*view, index);
    });
}

} // namespace PageNavigation
