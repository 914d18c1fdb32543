#include "pageview/NRVLectorinSBCenteringClipView.h"

#include "pageview/NRVLectorinMultiPageView.h"

#include <algorithm>
#include <cmath>

void NRVLectorinSBCenteringClipView::centerDocument()
{
    // While the clip view is being installed it can be resized before it has a document: nothing to centre on.
    kit::View* document = documentView();
    if (!document)
        return;
    kit::Rect d = document->frame();
    kit::Rect b = bounds();
    kit::Point q = b.origin;
    if (b.width() > d.width())
        q.x = std::round((d.width() - b.width()) / 2.0f);
    if (b.height() > d.height())
        q.y = std::round((d.height() - b.height()) / 2.0f);
    scrollToPoint(q);
    setNeedsDisplay(true);
}

kit::Point NRVLectorinSBCenteringClipView::constrainScrollPoint(kit::Point proposed) const
{
    kit::View* document = documentView();
    if (!document)
        return bounds().origin;
    kit::Rect d = document->frame();
    kit::Rect b = bounds();
    float maxX = d.width() - b.width();
    float maxY = d.height() - b.height();
    // std::round rounds halves away from zero, as roundf does; the comparisons are strict, so a document
    // exactly as wide as the view is clamped to 0 rather than centred.
    float x = b.width() > d.width() ? std::round(maxX / 2.0f) : std::round(std::max(std::min(proposed.x, maxX), 0.0f));
    float y = b.height() > d.height() ? std::round(maxY / 2.0f) : std::round(std::max(std::min(proposed.y, maxY), 0.0f));
    return { x, y };
}

void NRVLectorinSBCenteringClipView::viewBoundsChanged()
{
    kit::ClipView::viewBoundsChanged();
    centerDocument();
}

void NRVLectorinSBCenteringClipView::viewFrameChanged()
{
    kit::ClipView::viewFrameChanged();
    centerDocument();
}

void NRVLectorinSBCenteringClipView::setFrame(kit::Rect frame)
{
    kit::Size old = this->frame().size;
    kit::ClipView::setFrame(frame);
    if (frame.size != old)
        documentDidSeeResize();
    centerDocument();
}

void NRVLectorinSBCenteringClipView::documentDidSeeResize()
{
    // Pages fitted to the visible area follow its size.
    if (auto* pages = dynamic_cast<NRVLectorinMultiPageView*>(documentView()))
        pages->clipViewDidResize();
}

void NRVLectorinSBCenteringClipView::setFrameOrigin(kit::Point origin)
{
    kit::ClipView::setFrameOrigin(origin);
    centerDocument();
}

void NRVLectorinSBCenteringClipView::setFrameSize(kit::Size size)
{
    kit::Size old = frame().size;
    kit::ClipView::setFrameSize(size);
    if (size != old)
        documentDidSeeResize();
    centerDocument();
}

void NRVLectorinSBCenteringClipView::setFrameRotation(float degrees)
{
    kit::ClipView::setFrameRotation(degrees);
    centerDocument();
}
