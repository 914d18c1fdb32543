#include "pageview/ZoomFactors.h"

const float kZoomFactors[] = { 0.5f, 0.58f, 0.7f, 0.83f, 1.0f, 1.2f, 1.44f, 1.75f, 2.0f, 2.5f };
const int kZoomFactorsCount = sizeof(kZoomFactors) / sizeof(kZoomFactors[0]);
const int kZoomFactorNormal = 4;
const kit::Size unitSize = { 1.0f, 1.0f };

float zoomStepPercent(int step, float displayResolutionFactor)
{
    return displayResolutionFactor * (kZoomFactors[step] * 100.0f);
}
