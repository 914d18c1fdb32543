// The page view's find highlights: every match of the find string marked on the pages, behind the text.
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "pageview/NRVLectorinMultiPageView.h"

#include <algorithm>

kit::Color NRVLectorinMultiPageView::findHighlightColor()
{
    return kit::Color::calibratedRGB(1.0f, 0.93f, 0.35f);
}

kit::Color NRVLectorinMultiPageView::currentFindHighlightColor()
{
    return kit::Color::calibratedRGB(1.0f, 0.55f, 0.1f);
}

void NRVLectorinMultiPageView::setFindHighlights(std::vector<kit::Range> matches)
{
    if (matches == m_findHighlights)
        return;
    m_findHighlights = std::move(matches);
    m_highlightRects.clear();
    setNeedsDisplay(true);
}

std::vector<std::pair<kit::Rect, kit::Color>> NRVLectorinMultiPageView::findHighlightRects(std::uint32_t page)
{
    std::vector<std::pair<kit::Rect, kit::Color>> highlights;
    kit::LayoutManager* layout = m_textLayoutManager.get();
    if (!layout || page >= layout->textContainers().size() || m_findHighlights.empty())
        return highlights;
    auto cached = m_highlightRects.find(page);
    if (cached == m_highlightRects.end()) {
        // The matches that start on this page or run onto it from the one before.
        std::vector<HighlightRect> rects;
        const kit::TextContainer& container = *layout->textContainers()[page];
        kit::Range placed = layout->glyphRangeForTextContainer(container);
        kit::Point origin = documentRectForPageNumber(page).origin;
        auto first = std::lower_bound(m_findHighlights.begin(), m_findHighlights.end(), placed.location,
            [](const kit::Range& match, std::size_t location) { return match.end() <= location; });
        for (auto match = first; match != m_findHighlights.end() && match->location < placed.end(); ++match) {
            for (kit::Rect rect : layout->rectsForCharacterRange(*match, container))
                rects.push_back({ { rect.x() + origin.x, rect.y() + origin.y, rect.width(), rect.height() }, *match });
        }
        cached = m_highlightRects.emplace(page, std::move(rects)).first;
    }
    kit::Range current = layout->selectedRange();
    for (const auto& highlight : cached->second)
        highlights.push_back({ highlight.rect, highlight.match == current ? currentFindHighlightColor() : findHighlightColor() });
    return highlights;
}

void NRVLectorinMultiPageView::drawFindHighlights(cairo_t* context, std::uint32_t page, kit::Rect dirty)
{
    for (const auto& [rect, color] : findHighlightRects(page)) {
        if (!rect.intersects(dirty))
            continue;
        auto c = color.rgba();
        cairo_set_source_rgba(context, c[0], c[1], c[2], c[3]);
        cairo_rectangle(context, rect.x(), rect.y(), rect.width(), rect.height());
        cairo_fill(context);
    }
}
