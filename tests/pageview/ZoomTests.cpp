#include "kit/host/HeadlessHost.h"
#include "pageview/DisplayResolution.h"
#include "pageview/ScaleUtilities.h"
#include "pageview/ZoomFactors.h"

#include <gtest/gtest.h>

TEST(Zoom, TableAndPercentArithmetic)
{
    ASSERT_EQ(kZoomFactorsCount, 10);
    EXPECT_EQ(kZoomFactors[kZoomFactorNormal], 1.0f);
    // Single precision: 1.2 * 100 is not exactly 120.
    EXPECT_EQ(double(1.0f * (kZoomFactors[5] * 100.0f)), 120.00000762939453);
    const float factor = float(96.0 / 72.0);
    EXPECT_EQ(factor, 1.3333334f);
    EXPECT_EQ(factor * (kZoomFactors[4] * 100.0f), 133.33334f);
    EXPECT_EQ(factor * (kZoomFactors[0] * 100.0f), 66.66667f);
    EXPECT_EQ(factor * (kZoomFactors[9] * 100.0f), 333.33334f);
}

TEST(ScaleUtilities, ScaleIsAbsoluteAndReadsBack)
{
    kit::View root(kit::Rect { 0, 0, 500, 500 });
    auto& view = root.add<kit::View>(kit::Rect { 0, 0, 100, 100 });
    pageview::ScaleUtilities::setScale(view, { 2, 2 });
    pageview::ScaleUtilities::setScale(view, { 2, 2 });
    EXPECT_EQ(pageview::ScaleUtilities::scale(view), (kit::Size { 2, 2 })) << "not multiplied onto the previous scale";
    pageview::ScaleUtilities::setScalePercent(view, 150);
    EXPECT_FLOAT_EQ(pageview::ScaleUtilities::scalePercent(view), 150);
    EXPECT_TRUE(view.needsDisplay());
    view.setFrameSize({ 300, 300 });
    EXPECT_FLOAT_EQ(pageview::ScaleUtilities::scalePercent(view), 150) << "a frame change keeps the scale";
    pageview::ScaleUtilities::resetScaling(view);
    EXPECT_EQ(pageview::ScaleUtilities::scale(view), (kit::Size { 1, 1 }));

    auto& inner = view.add<kit::View>(kit::Rect { 0, 0, 10, 10 });
    pageview::ScaleUtilities::setScale(view, { 2, 2 });
    pageview::ScaleUtilities::setScale(inner, { 3, 3 });
    EXPECT_EQ(pageview::ScaleUtilities::scale(inner), (kit::Size { 3, 3 })) << "relative to the window, not the superview";
}

TEST(DisplayResolution, ReadsDensityFromHostDisplay)
{
    kit::HeadlessHost host;
    kit::Host::setCurrent(&host);
    const struct {
        kit::DisplayInfo display;
        int expectedResult;
        double expectedHorizontal;
        const char* why;
    } cases[] = {
        { { true, 1440, 900, 381, 238 }, 0, 96.0, "15 inches wide at 1440 pixels: 96 per inch" },
        { { false }, 1000, -1, "no display" },
        { { true, 1440, 900, 0, 0 }, 1000, -1, "a zero size is unknown, not infinitely dense" },
        { { true, 1440, 900, 1600, 1000 }, 1000, -1, "bogus size: 22.9 pixels per inch" },
        { { true, 3840, 2160, 60, 34 }, 1000, -1, "bogus size: 1625 pixels per inch" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        host.setDisplay(c.display);
        kit::Value mode = kit::Value::dictionary();
        mode.set("Width", kit::Value::integer(c.display.widthPixels));
        mode.set("Height", kit::Value::integer(c.display.heightPixels));
        double horizontal = -1, vertical = -1;
        EXPECT_EQ(GetDisplayDPI(mode, 1, &horizontal, &vertical), c.expectedResult);
        EXPECT_DOUBLE_EQ(horizontal, c.expectedHorizontal) << "outputs are untouched on failure";
    }
    kit::Host::setCurrent(nullptr);
}

TEST(DisplayResolution, IntegersFromDictionaries)
{
    kit::Value d = kit::Value::dictionary();
    d.set("int", kit::Value::integer(1440));
    d.set("real", kit::Value::real(381.9));
    d.set("string", kit::Value::string("1440"));
    d.set("zero", kit::Value::integer(0));
    EXPECT_EQ(GetIntFromDictionaryForKeyForTesting(d, "int"), 1440);
    EXPECT_EQ(GetIntFromDictionaryForKeyForTesting(d, "real"), 381);
    EXPECT_EQ(GetIntFromDictionaryForKeyForTesting(d, "string"), 0);
    EXPECT_EQ(GetIntFromDictionaryForKeyForTesting(d, "absent"), 0);
    EXPECT_EQ(GetIntFromDictionaryForKeyForTesting(d, "zero"), 0);
}
