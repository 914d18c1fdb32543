#include "kit/view/ScrollView.h"

#include "kit/view/NibAttributeTable.h"

#include <algorithm>
#include <cmath>

namespace kit {

ScrollView::ScrollView()
    : ScrollView(Rect {})
{
}

ScrollView::ScrollView(Rect frame)
    : View(frame)
{
    m_contentView = &add<ClipView>();
    m_verticalScroller = &add<Scroller>(Scroller::Orientation::Vertical);
    m_horizontalScroller = &add<Scroller>(Scroller::Orientation::Horizontal);
    tile();
}

std::unique_ptr<ClipView> ScrollView::setContentView(std::unique_ptr<ClipView> clipView)
{
    std::unique_ptr<ClipView> old;
    if (m_contentView) {
        std::unique_ptr<View> detached = m_contentView->detachFromSuperview();
        old.reset(static_cast<ClipView*>(detached.release()));
    }
    if (clipView) {
        ClipView* added = clipView.get();
        insertSubview(std::move(clipView), 0);
        m_contentView = added;
    }
    tile();
    return old;
}

void ScrollView::setDocumentView(std::unique_ptr<View> view)
{
    if (m_contentView)
        m_contentView->setDocumentView(std::move(view));
}

void ScrollView::setDocumentView(View& view)
{
    if (m_contentView)
        m_contentView->setDocumentView(view);
}

void ScrollView::willRemoveSubview(View& subview)
{
    if (&subview == m_contentView)
        m_contentView = nullptr;
    else if (&subview == m_verticalScroller)
        m_verticalScroller = nullptr;
    else if (&subview == m_horizontalScroller)
        m_horizontalScroller = nullptr;
}

Color ScrollView::backgroundColor() const
{
    return m_contentView ? m_contentView->backgroundColor() : Color::white(1);
}

void ScrollView::setBackgroundColor(Color color)
{
    if (m_contentView)
        m_contentView->setBackgroundColor(color);
}

bool ScrollView::drawsBackground() const
{
    return m_contentView && m_contentView->drawsBackground();
}

void ScrollView::setDrawsBackground(bool draws)
{
    if (m_contentView)
        m_contentView->setDrawsBackground(draws);
}

void ScrollView::setHasVerticalScroller(bool has)
{
    if (has == m_hasVerticalScroller)
        return;
    m_hasVerticalScroller = has;
    tile();
}

void ScrollView::setHasHorizontalScroller(bool has)
{
    if (has == m_hasHorizontalScroller)
        return;
    m_hasHorizontalScroller = has;
    tile();
}

void ScrollView::setAutohidesScrollers(bool autohides)
{
    if (autohides == m_autohidesScrollers)
        return;
    m_autohidesScrollers = autohides;
    tile();
}

Scroller* ScrollView::verticalScroller() const
{
    return m_verticalScroller;
}

Scroller* ScrollView::horizontalScroller() const
{
    return m_horizontalScroller;
}

Size ScrollView::documentSize() const
{
    if (!m_contentView || !m_contentView->documentView())
        return {};
    return m_contentView->convertSize(m_contentView->documentRect().size, this);
}

void ScrollView::tile()
{
    if (m_tiling)
        return;
    m_tiling = true;
    Size full = bounds().size;
    Size document = documentSize();
    // Showing one scroller narrows the other axis, which may then need its own: settle in two passes.
    bool showVertical = false, showHorizontal = false;
    for (int pass = 0; pass < 2; ++pass) {
        float width = full.width - (showVertical ? Scroller::kWidth : 0);
        float height = full.height - (showHorizontal ? Scroller::kWidth : 0);
        showVertical = m_hasVerticalScroller && (!m_autohidesScrollers || document.height > height);
        showHorizontal = m_hasHorizontalScroller && (!m_autohidesScrollers || document.width > width);
    }
    Size content { std::max(0.0f, full.width - (showVertical ? Scroller::kWidth : 0)),
        std::max(0.0f, full.height - (showHorizontal ? Scroller::kWidth : 0)) };
    if (m_verticalScroller) {
        m_verticalScroller->setHidden(!showVertical);
        m_verticalScroller->setFrame({ content.width, 0, Scroller::kWidth, content.height });
    }
    if (m_horizontalScroller) {
        m_horizontalScroller->setHidden(!showHorizontal);
        m_horizontalScroller->setFrame({ 0, content.height, content.width, Scroller::kWidth });
    }
    if (m_contentView)
        m_contentView->setFrame({ {}, content });
    m_tiling = false;
    updateScrollers();
}

void ScrollView::reflectScrolledClipView(ClipView& clipView)
{
    if (&clipView != m_contentView)
        return;
    if (!m_tiling) {
        // Re-tile only when a scroller has to appear or go; tile() updates the scrollers itself.
        Size document = documentSize();
        Size content = contentSize();
        bool vertical = m_verticalScroller && !m_verticalScroller->isHidden();
        bool horizontal = m_horizontalScroller && !m_horizontalScroller->isHidden();
        float fullWidth = content.width + (vertical ? Scroller::kWidth : 0);
        float fullHeight = content.height + (horizontal ? Scroller::kWidth : 0);
        bool wantVertical = m_hasVerticalScroller
            && (!m_autohidesScrollers || document.height > fullHeight - (horizontal ? Scroller::kWidth : 0));
        bool wantHorizontal = m_hasHorizontalScroller
            && (!m_autohidesScrollers || document.width > fullWidth - (vertical ? Scroller::kWidth : 0));
        if (wantVertical != vertical || wantHorizontal != horizontal) {
            tile();
            return;
        }
    }
    updateScrollers();
}

Point ScrollView::offsetFromDocumentStart() const
{
    if (!m_contentView || !m_contentView->documentView())
        return {};
    Rect document = m_contentView->documentRect();
    Rect visible = m_contentView->bounds();
    float y = m_contentView->isFlipped() ? visible.minY() - document.minY() : document.maxY() - visible.maxY();
    return { visible.minX() - document.minX(), y };
}

void ScrollView::setOffsetFromDocumentStart(Point offset)
{
    if (!m_contentView || !m_contentView->documentView())
        return;
    Rect document = m_contentView->documentRect();
    Rect visible = m_contentView->bounds();
    float y = m_contentView->isFlipped() ? document.minY() + offset.y : document.maxY() - offset.y - visible.height();
    m_contentView->scrollToPoint({ document.minX() + offset.x, y });
}

void ScrollView::updateScrollers()
{
    if (!m_contentView)
        return;
    Rect document = m_contentView->documentRect();
    Size visible = m_contentView->bounds().size;
    Point offset = offsetFromDocumentStart();
    auto update = [](Scroller* scroller, float documentLength, float visibleLength, float offset) {
        if (!scroller)
            return;
        float range = documentLength - visibleLength;
        scroller->setKnobProportion(documentLength > 0 ? std::min(1.0f, visibleLength / documentLength) : 1);
        scroller->setValue(range > 0 ? offset / range : 0);
    };
    update(m_verticalScroller, document.height(), visible.height, offset.y);
    update(m_horizontalScroller, document.width(), visible.width, offset.x);
}

void ScrollView::scrollerDidMove(Scroller& scroller, float value)
{
    if (!m_contentView)
        return;
    Rect document = m_contentView->documentRect();
    Size visible = m_contentView->bounds().size;
    Point offset = offsetFromDocumentStart();
    if (&scroller == m_verticalScroller)
        offset.y = value * std::max(0.0f, document.height() - visible.height);
    else
        offset.x = value * std::max(0.0f, document.width() - visible.width);
    setOffsetFromDocumentStart(offset);
}

void ScrollView::scrollerDidPage(Scroller& scroller, int direction)
{
    if (!m_contentView)
        return;
    Size visible = m_contentView->bounds().size;
    // A page keeps one line of the previous view in sight.
    if (&scroller == m_verticalScroller)
        scrollByScreenDelta(0, direction * std::max(visible.height - m_lineScroll, m_lineScroll));
    else
        scrollByScreenDelta(direction * std::max(visible.width - m_lineScroll, m_lineScroll), 0);
}

bool ScrollView::scrollByScreenDelta(float dx, float dy)
{
    if (!m_contentView || !m_contentView->documentView())
        return false;
    Point before = m_contentView->bounds().origin;
    Point offset = offsetFromDocumentStart();
    // Deltas are in this view's points; the clip view may be scaled.
    Size delta = convertSize({ std::abs(dx), std::abs(dy) }, m_contentView);
    setOffsetFromDocumentStart({ offset.x + std::copysign(delta.width, dx), offset.y + std::copysign(delta.height, dy) });
    return m_contentView->bounds().origin != before;
}

void ScrollView::scrollWheel(const Event& event)
{
    if (!scrollByScreenDelta(event.deltaX, event.deltaY))
        View::scrollWheel(event);
}

void ScrollView::keyDown(const Event& event)
{
    float page = std::max(contentSize().height - m_lineScroll, m_lineScroll);
    float huge = 1e9f;
    const std::string& key = event.keyName;
    bool moved = false;
    if (key == "Down")
        moved = scrollByScreenDelta(0, m_lineScroll);
    else if (key == "Up")
        moved = scrollByScreenDelta(0, -m_lineScroll);
    else if (key == "PageDown" || (event.characters == " " && !event.hasModifier(Event::Shift)))
        moved = scrollByScreenDelta(0, page);
    else if (key == "PageUp" || (event.characters == " " && event.hasModifier(Event::Shift)))
        moved = scrollByScreenDelta(0, -page);
    else if (key == "Home")
        moved = scrollByScreenDelta(0, -huge);
    else if (key == "End")
        moved = scrollByScreenDelta(0, huge);
    else {
        View::keyDown(event);
        return;
    }
    (void)moved;
}

void ScrollView::resizeSubviewsWithOldSize(Size)
{
    tile();
}

void ScrollView::drawRect(cairo_t* context, Rect dirty)
{
    // Only the corner between two showing scrollers is left to this view.
    (void)dirty;
    if (m_verticalScroller && !m_verticalScroller->isHidden() && m_horizontalScroller
        && !m_horizontalScroller->isHidden()) {
        Rect corner { m_verticalScroller->frame().minX(), m_horizontalScroller->frame().minY(), Scroller::kWidth,
            Scroller::kWidth };
        cairo_set_source_rgb(context, 0.94, 0.94, 0.94);
        cairo_rectangle(context, corner.minX(), corner.minY(), corner.width(), corner.height());
        cairo_fill(context);
    }
}

bool ScrollView::setNibAttribute(std::string_view name, std::string_view value)
{
    static const NibAttributeTable<ScrollView, View> attributes {
        { "backgroundColor", nib::set<nib::parseColor, &ScrollView::setBackgroundColor> },
        { "hasVerticalScroller", nib::set<nib::parseBool, &ScrollView::setHasVerticalScroller> },
        { "hasHorizontalScroller", nib::set<nib::parseBool, &ScrollView::setHasHorizontalScroller> },
        { "autohidesScrollers", nib::set<nib::parseBool, &ScrollView::setAutohidesScrollers> },
        { "drawsBackground", nib::set<nib::parseBool, &ScrollView::setDrawsBackground> },
    };
    return attributes.apply(*this, name, value);
}

} // namespace kit
