#pragma once

#include "kit/view/View.h"

// Scaling operations every view has: an absolute scale relative to the window's base coordinate system.
namespace pageview::ScaleUtilities {

// Makes one view unit one window unit.
void resetScaling(kit::View& view);
// Sets the scale per axis; absolute, never multiplied onto the previous scale.
void setScale(kit::View& view, kit::Size scale);
// The size of one view unit in window units, per axis.
kit::Size scale(const kit::View& view);
// The horizontal scale in percent (single precision).
float scalePercent(const kit::View& view);
// Scales both axes to percent and marks the view for display.
void setScalePercent(kit::View& view, float percent);

} // namespace pageview::ScaleUtilities
