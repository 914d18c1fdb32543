#pragma once

#include "kit/view/ClipView.h"

// The page view's clip view: along each axis in which the document is smaller than the visible area it
// holds the document in the middle; along the others it confines scrolling to the document. Every scroll
// origin it produces is whole points. It re-centres after every change of its own frame and of the
// document view's frame or bounds.
class NRVLectorinSBCenteringClipView : public kit::ClipView {
public:
    using kit::ClipView::ClipView;

    void centerDocument();
    kit::Point constrainScrollPoint(kit::Point proposed) const override;

    void viewBoundsChanged() override;
    void viewFrameChanged() override;
    void setFrame(kit::Rect frame) override;
    void setFrameOrigin(kit::Point origin) override;
    void setFrameSize(kit::Size size) override;
    void setFrameRotation(float degrees) override;

private:
    void documentDidSeeResize();
};
