#include "kit/view/ClipView.h"

#include "kit/view/NibAttributeTable.h"
#include "kit/view/RedrawingSetter.h"
#include "kit/view/ScrollView.h"

#include <algorithm>

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
    static const NibAttributeTable<ClipView> attributes {
        { "backgroundColor", nib::set<nib::parseColor, &ClipView::setBackgroundColor> },
        { "drawsBackground", nib::set<nib::parseBool, &ClipView::setDrawsBackground> },
    };
    if (auto applied = attributes.apply(*this, name, value))
        return *applied;
    return View::setNibAttribute(name, value);
}

} // namespace kit
