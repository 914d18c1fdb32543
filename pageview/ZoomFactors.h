#pragma once

#include "kit/geometry/Geometry.h"

// The zoom steps of the page view, from 50 % to 250 %, each multiplied by the display's resolution factor.
extern const float kZoomFactors[];
extern const int kZoomFactorsCount;
// The 1.0 entry: where every page view starts and where standard size returns to.
extern const int kZoomFactorNormal;
// The unit square the scaling operations convert between coordinate systems.
extern const kit::Size unitSize;

// A step's scale in percent on a display of the given resolution factor: the factor times the step's entry
// in percent, in single precision and in that order (1.2 gives 120.00000762939453 at factor 1, not 120).
float zoomStepPercent(int step, float displayResolutionFactor);
