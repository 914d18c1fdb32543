#pragma once

#include "kit/geometry/Geometry.h"

// The zoom steps of the page view, from 50 % to 250 %, each multiplied by the display's resolution factor.
extern const float kZoomFactors[];
extern const int kZoomFactorsCount;
// The 1.0 entry: where every page view starts and where standard size returns to.
extern const int kZoomFactorNormal;
// The unit square the scaling operations convert between coordinate systems.
extern const kit::Size unitSize;
