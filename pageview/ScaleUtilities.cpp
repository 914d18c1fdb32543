#include "pageview/ScaleUtilities.h"

#include "pageview/ZoomFactors.h"

namespace pageview::ScaleUtilities {

void resetScaling(kit::View& view)
{
    // One window unit measured in the view's units is the reciprocal of its current scale.
    kit::Size s = view.convertSizeFromView(unitSize, nullptr);
    view.scaleUnitSquareToSize(s);
}

void setScale(kit::View& view, kit::Size newScale)
{
    resetScaling(view);
    view.scaleUnitSquareToSize(newScale);
}

kit::Size scale(const kit::View& view)
{
    return view.convertSize(unitSize, nullptr);
}

float scalePercent(const kit::View& view)
{
    return scale(view).width * 100.0f;
}

void setScalePercent(kit::View& view, float percent)
{
    float x = percent / 100.0f;
    setScale(view, { x, x });
    view.setNeedsDisplay(true);
}

} // namespace pageview::ScaleUtilities
