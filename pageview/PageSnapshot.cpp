#include "pageview/PageSnapshot.h"

#include "kit/text/AttachmentImages.h"
#include "kit/text/DocumentPages.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/PageSetup.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextView.h"
#include "kit/view/ScrollView.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/PageShadow.h"

namespace pageview {

namespace {

void setSource(cairo_t* cr, const kit::Color& color)
{
    auto c = color.rgba();
    cairo_set_source_rgba(cr, c[0], c[1], c[2], c[3]);
}

// The rectangle a page's shadow may touch.
kit::Rect shadowed(const kit::Rect& paper)
{
    float reach = PageShadow::extent(NRVLectorinMultiPageView::kShadowBlurRadius);
    return { paper.x() - reach, paper.y() - reach, paper.width() + 2 * reach,
        paper.height() + 2 * reach + NRVLectorinMultiPageView::kShadowOffset };
}

} // namespace

std::shared_ptr<const PageSnapshot> PageSnapshot::capture(NRVLectorinMultiPageView& view, std::uint32_t page)
{
    if (page >= view.numberOfPages())
        return nullptr;
    auto snapshot = std::make_shared<PageSnapshot>();
    PageSnapshot& s = *snapshot;
    s.m_bounds = view.bounds();
    if (kit::ScrollView* scrollView = view.enclosingScrollView())
        s.m_background = scrollView->backgroundColor();
    kit::DocumentPages* pages = view.documentPages();
    auto paperColor = [&](std::uint32_t index) { return pages ? pages->paperColor(index) : kit::Color::whiteColor(); };
    s.m_paper = view.pageRectForPageNumber(page);
    s.m_paperColor = paperColor(page);
    // Pages drawn before and after this one whose shadows reach into what surrounds it.
    kit::Rect around = shadowed(s.m_paper);
    for (std::uint32_t other = page; other-- > 0;) {
        kit::Rect paper = view.pageRectForPageNumber(other);
        if (!shadowed(paper).intersects(around))
            break;
        s.m_before.insert(s.m_before.begin(), { paper, paperColor(other) });
    }
    for (std::uint32_t other = page + 1; other < view.numberOfPages(); ++other) {
        kit::Rect paper = view.pageRectForPageNumber(other);
        if (!shadowed(paper).intersects(around))
            break;
        s.m_after.push_back({ paper, paperColor(other) });
    }
    s.m_showsMessage = page == 0 && !view.message().empty();

    kit::LayoutManager* layout = view.layoutManager();
    const kit::TextContainer* container
        = layout && page < layout->textContainers().size() ? layout->textContainers()[page].get() : nullptr;
    kit::Point paperOrigin = s.m_paper.origin;
    if (pages && page < pages->pages().size()) {
        kit::Rect border = pages->pageBorderRect(page);
        std::size_t section = pages->pages()[page].section;
        if (!border.isEmpty() && section < pages->setup().sections.size()) {
            s.m_borderRect = border.offsetBy(paperOrigin.x, paperOrigin.y);
            s.m_borders = pages->setup().sections[section].borders.sides;
        }
        auto band = [&](const std::shared_ptr<kit::TextStorage>& story, kit::Rect rect) {
            if (!story || rect.height() <= 0)
                return;
            kit::LayoutManager& storyLayout = pages->storyLayout(story, page);
            s.m_bands.push_back({ storyLayout.displayListForTextContainer(*storyLayout.textContainers().front()),
                { paperOrigin.x + rect.x(), paperOrigin.y + rect.y() } });
        };
        band(pages->headerFor(page), pages->headerRect(page));
        band(pages->footerFor(page), pages->footerRect(page));
        if (container)
            s.m_columnRules = pages->columnRules(page, paperOrigin, layout->columnBandsForTextContainer(*container));
    }
    if (container) {
        s.m_body = { layout->displayListForTextContainer(*container), view.documentRectForPageNumber(page).origin };
        for (auto& [rect, color] : view.findHighlightRects(page))
            s.m_highlights.push_back({ rect, color });
        const kit::TextView* textView = container->textView();
        if (textView && !textView->isHidden() && textView->superview() == &view) {
            s.m_hasTextView = true;
            s.m_textFrame = textView->frame();
            if (layout->selectedRange().length)
                s.m_selection = layout->rectsForCharacterRange(layout->selectedRange(), *container);
        }
    }
    return snapshot;
}

void PageSnapshot::drawPaper(
    cairo_t* cr, const kit::Rect& paper, const kit::Color& color, const kit::Rect& dirty, PageShadow* shadow) const
{
    if (!shadowed(paper).intersects(dirty))
        return;
    if (shadow) {
        shadow->draw(cr, paper, { 0, NRVLectorinMultiPageView::kShadowOffset }, NRVLectorinMultiPageView::kShadowBlurRadius,
            NRVLectorinMultiPageView::kShadowAlpha);
    }
    setSource(cr, color);
    cairo_rectangle(cr, paper.x(), paper.y(), paper.width(), paper.height());
    cairo_fill(cr);
}

void PageSnapshot::draw(cairo_t* cr, kit::Rect dirty, kit::AttachmentImages& images, PageShadow* surroundings) const
{
    // As the view draws itself: clipped to its bounds, the pages in order, then the page's text view.
    dirty = kit::intersection(dirty, m_bounds);
    if (dirty.isEmpty())
        return;
    kit::PageDisplayList::PictureDrawer pictures
        = [&images](cairo_t* c, const std::shared_ptr<const kit::Attachment>& attachment, const kit::Rect& rect) {
              images.draw(c, attachment, rect);
          };
    cairo_save(cr);
    cairo_rectangle(cr, m_bounds.minX(), m_bounds.minY(), m_bounds.width(), m_bounds.height());
    cairo_clip(cr);
    cairo_save(cr);
    if (surroundings) {
        setSource(cr, m_background);
        cairo_rectangle(cr, m_bounds.x(), m_bounds.y(), m_bounds.width(), m_bounds.height());
        cairo_fill(cr);
        for (const Neighbour& neighbour : m_before)
            drawPaper(cr, neighbour.paper, neighbour.color, dirty, surroundings);
    }
    if (shadowed(m_paper).intersects(dirty)) {
        drawPaper(cr, m_paper, m_paperColor, dirty, surroundings);
        if (!m_borderRect.isEmpty()) {
            cairo_save(cr);
            kit::LayoutManager::drawBorders(cr, m_borderRect, m_borders);
            cairo_restore(cr);
        }
        for (const Story& band : m_bands) {
            if (!band.list)
                continue;
            band.list->drawFloats(cr, band.origin, dirty, pictures);
            band.list->drawBackground(cr, band.origin, dirty);
            band.list->drawText(cr, band.origin, dirty, pictures);
        }
        if (!m_columnRules.empty())
            kit::DocumentPages::strokeColumnRules(cr, m_columnRules);
        if (m_body.list)
            m_body.list->drawFloats(cr, m_body.origin, dirty, pictures);
        for (const Highlight& highlight : m_highlights) {
            if (!highlight.rect.intersects(dirty))
                continue;
            setSource(cr, highlight.color);
            cairo_rectangle(cr, highlight.rect.x(), highlight.rect.y(), highlight.rect.width(), highlight.rect.height());
            cairo_fill(cr);
        }
    }
    if (surroundings) {
        for (const Neighbour& neighbour : m_after)
            drawPaper(cr, neighbour.paper, neighbour.color, dirty, surroundings);
    }
    cairo_restore(cr);

    if (m_hasTextView && m_body.list && m_textFrame.intersects(dirty)) {
        // The text view's own space: its frame's origin, clipped to its bounds.
        kit::Rect local = kit::intersection(
            dirty.offsetBy(-m_textFrame.x(), -m_textFrame.y()), { { 0, 0 }, m_textFrame.size });
        if (!local.isEmpty()) {
            cairo_save(cr);
            cairo_matrix_t matrix;
            cairo_matrix_init(&matrix, 1, 0, 0, 1, double(m_textFrame.minX()), double(m_textFrame.minY()));
            cairo_transform(cr, &matrix);
            cairo_rectangle(cr, 0, 0, m_textFrame.width(), m_textFrame.height());
            cairo_clip(cr);
            m_body.list->drawBackground(cr, {}, local);
            if (!m_selection.empty()) {
                cairo_save(cr);
                setSource(cr, kit::LayoutManager::selectionColor());
                for (const kit::Rect& rect : m_selection) {
                    if (rect.intersects(local))
                        cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
                }
                cairo_fill(cr);
                cairo_restore(cr);
            }
            m_body.list->drawText(cr, {}, local, pictures);
            cairo_restore(cr);
        }
    }
    cairo_restore(cr);
}

} // namespace pageview
