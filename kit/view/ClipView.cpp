#include "kit/view/ClipView.h"

#include "kit/view/NibAttributeTable.h"
#include "kit/view/RedrawingSetter.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"

#include <algorithm>
#include <vector>

namespace kit {

void ClipView::setDocumentView(std::unique_ptr<View> view)
{
    // The old document goes before the new one arrives, so documentView() never names the wrong one.
    if (View* old = documentView())
        old->removeFromSuperview();
    if (!view) {
        reflectInScrollView();
        return;
    }
    addSubview(std::move(view));
}

void ClipView::setDocumentView(View& view)
{
    if (&view == documentView())
        return;
    if (View* old = documentView())
        old->removeFromSuperview();
    addSubview(view);
}

void ClipView::didAddSubview(View& subview)
{
    // Only one document: anything added while another is here replaces it.
    while (subviews().size() > 1) {
        View* old = subviews().front().get() == &subview ? subviews()[1].get() : subviews().front().get();
        old->removeFromSuperview();
    }
    setBoundsOrigin(constrainScrollPoint(subview.frame().origin));
    viewFrameChanged();
}

std::unique_ptr<View> ClipView::takeDocumentView()
{
    View* document = documentView();
    if (!document)
        return nullptr;
    std::unique_ptr<View> taken = document->detachFromSuperview();
    reflectInScrollView();
    return taken;
}

Rect ClipView::documentRect() const
{
    View* document = documentView();
    return document ? document->frame() : Rect {};
}

Rect ClipView::documentVisibleRect() const
{
    View* document = documentView();
    return document ? convertRect(bounds(), document) : Rect {};
}

void ClipView::scrollToPoint(Point point)
{
    setBoundsOrigin(constrainScrollPoint(point));
    reflectInScrollView();
}

Point ClipView::constrainScrollPoint(Point proposed) const
{
    View* document = documentView();
    if (!document)
        return proposed;
    Rect doc = document->frame();
    Size visible = bounds().size;
    auto clamp = [](float value, float min, float docLength, float visibleLength) {
        float max = min + docLength - visibleLength;
        return max <= min ? min : std::clamp(value, min, max);
    };
    return { clamp(proposed.x, doc.minX(), doc.width(), visible.width),
        clamp(proposed.y, doc.minY(), doc.height(), visible.height) };
}

void ClipView::viewFrameChanged()
{
    scrollToPoint(bounds().origin);
}

void ClipView::viewBoundsChanged()
{
    scrollToPoint(bounds().origin);
}

void ClipView::subviewFrameDidChange(View& subview)
{
    if (&subview == documentView())
        viewFrameChanged();
}

void ClipView::subviewBoundsDidChange(View& subview)
{
    if (&subview == documentView())
        viewBoundsChanged();
}

void ClipView::reflectInScrollView()
{
    if (auto* scrollView = dynamic_cast<ScrollView*>(superview()); scrollView && scrollView->contentView() == this)
        scrollView->reflectScrolledClipView(*this);
}

void ClipView::setBoundsOrigin(Point origin)
{
    Point old = bounds().origin;
    if (origin == old)
        return;
    View::setBoundsOriginWithoutDisplay(origin);
    if (!movePixelsForScroll(old))
        setNeedsDisplay(true);
}

bool ClipView::movePixelsForScroll(Point oldOrigin)
{
    Window* shown = window();
    if (!shown || isHiddenOrHasHiddenAncestor())
        return false;
    // Moved pixels must be this view's: what it shows covers whatever lies behind it.
    View* document = documentView();
    bool covered = isOpaque()
        || (document && document->isOpaque() && !document->isHidden() && document->frame().contains(bounds()));
    if (!covered)
        return false;
    Rect visible = visibleRect();
    if (visible.isEmpty())
        return false;
    // Views drawn over this one (a control in a corner) have their pixels moved along: they are drawn again
    // where they are and where their pixels went.
    std::vector<Rect> above;
    for (const View* view = this; view->superview(); view = view->superview()) {
        bool later = false;
        for (const auto& sibling : view->superview()->subviews()) {
            if (sibling.get() == view)
                later = true;
            else if (later && !sibling->isHidden() && sibling->frame().intersects(view->frame()))
                above.push_back(view->superview()->convertRect(sibling->frame(), nullptr));
        }
    }
    // The document's point that was at the corner of the bounds is now drawn delta (base units) from there.
    Point corner = convertPoint(bounds().origin, nullptr);
    Point moved = convertPoint(oldOrigin, nullptr);
    Size delta { moved.x - corner.x, moved.y - corner.y };
    Rect area = convertRect(visible, nullptr);
    if (!shown->scrollRect(area, delta))
        return false;
    for (const Rect& over : above) {
        shown->setNeedsDisplayInRect(intersection(over, area));
        shown->setNeedsDisplayInRect(intersection(over.offsetBy(delta.width, delta.height), area));
    }
    return true;
}

void ClipView::setBackgroundColor(Color color)
{
    setAndRedraw(*this, m_backgroundColor, color);
}

void ClipView::setDrawsBackground(bool draws)
{
    setAndRedraw(*this, m_drawsBackground, draws);
}

void ClipView::setFrame(Rect frame)
{
    Size old = this->frame().size;
    View::setFrame(frame);
    if (this->frame().size != old)
        scrollToPoint(bounds().origin);
}

void ClipView::setFrameOrigin(Point origin)
{
    View::setFrameOrigin(origin);
}

void ClipView::setFrameSize(Size size)
{
    Size old = frame().size;
    View::setFrameSize(size);
    if (frame().size != old)
        scrollToPoint(bounds().origin);
}

bool ClipView::isFlipped() const
{
    View* document = documentView();
    return document && document->isFlipped();
}

void ClipView::drawRect(cairo_t* context, Rect dirty)
{
    if (!m_drawsBackground)
        return;
    auto [r, g, b, a] = m_backgroundColor.rgba();
    cairo_set_source_rgba(context, r, g, b, a);
    cairo_rectangle(context, dirty.minX(), dirty.minY(), dirty.width(), dirty.height());
    cairo_fill(context);
}

bool ClipView::setNibAttribute(std::string_view name, std::string_view value)
{
    static const NibAttributeTable<ClipView, View> attributes {
        { "backgroundColor", nib::set<nib::parseColor, &ClipView::setBackgroundColor> },
        { "drawsBackground", nib::set<nib::parseBool, &ClipView::setDrawsBackground> },
    };
    return attributes.apply(*this, name, value);
}

} // namespace kit
