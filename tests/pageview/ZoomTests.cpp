#include "kit/host/HeadlessHost.h"
#include "kit/text/TextStorage.h"
#include "pageview/DisplayResolution.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/ScaleUtilities.h"
#include "pageview/ZoomFactors.h"

#include <gtest/gtest.h>

TEST(Zoom, StepPercentagesAreTheKnownSinglePrecisionFigures)
{
    ASSERT_EQ(kZoomFactorsCount, 10);
    EXPECT_EQ(kZoomFactors[kZoomFactorNormal], 1.0f);
    // The factor of a display 1440 pixels across 381 mm (96 pixels per inch), 96 / 72 in single precision.
    const float dense = 1.3333333730697632f;
    const struct {
        int step;
        float factor;
        double expected;
        const char* why;
    } cases[] = {
        { 5, 1, 120.00000762939453, "1.2 x 100 in single precision is not exactly 120" },
        { 4, 1, 100, "the standard step" },
        { 4, dense, 133.33334350585938, "96 pixels per inch: actual size is 4/3 of a point per pixel" },
        { 0, dense, 66.66667175292969, "the first step" },
        { 9, dense, 333.3333435058594, "the last step" },
        { 1, dense, 77.33333587646484, "the entry in percent first, then the factor (the other way: 77.33332824707031)" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(double(zoomStepPercent(c.step, c.factor)), c.expected);
    }
}

TEST(Zoom, APageViewOnADenseDisplayScalesByTheKnownFigures)
{
    kit::HeadlessHost host;
    host.setDisplay(kit::DisplayInfo { true, 1440, 900, 381, 238 });
    kit::Host::setCurrent(&host);
    {
        NRVLectorinMultiPageView view(kit::Rect { 0, 0, 100, 100 });
        EXPECT_EQ(double(view.displayResolutionFactor()), 1.3333333730697632);
        view.setTextStorage(std::make_shared<kit::TextStorage>("Zoom."));
        EXPECT_FLOAT_EQ(pageview::ScaleUtilities::scalePercent(view), 133.33334f) << "the document arrives at step 4";
        for (int i = 0; i < 4; ++i)
            view.zoomOut();
        EXPECT_FLOAT_EQ(pageview::ScaleUtilities::scalePercent(view), 66.66667f);
        for (int i = 0; i < 9; ++i)
            view.zoomIn();
        EXPECT_FLOAT_EQ(pageview::ScaleUtilities::scalePercent(view), 333.33334f);
        EXPECT_FLOAT_EQ(view.zoomPercent(), 250) << "what the reader is told: the step, without the factor";
    }
    kit::Host::setCurrent(nullptr);
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
        { { true, 499, 500, 254, 254 }, 1000, -1, "10 inches: 49.9 pixels per inch is too few" },
        { { true, 500, 500, 254, 254 }, 0, 50.0, "exactly 50 is plausible" },
        { { true, 501, 500, 254, 254 }, 0, 50.1, "50.1" },
        { { true, 5999, 6000, 254, 254 }, 0, 599.9, "599.9" },
        { { true, 6000, 6000, 254, 254 }, 0, 600.0, "exactly 600 is plausible" },
        { { true, 6001, 6000, 254, 254 }, 1000, -1, "600.1 is too many" },
        { { true, 1440, 6001, 381, 254 }, 1000, -1, "a plausible width but not height" },
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

TEST(DisplayResolution, APageViewOnAnImplausibleDisplayKeepsFactorOne)
{
    kit::HeadlessHost host;
    kit::Host::setCurrent(&host);
    const struct {
        kit::DisplayInfo display;
        float expectedFactor, expectedPercent;
        const char* why;
    } cases[] = {
        { { true, 499, 499, 254, 254 }, 1, 100, "49.9 pixels per inch" },
        { { true, 500, 500, 254, 254 }, 0.6944444f, 69.44444f, "50: the pages drawn smaller, at their paper size" },
        { { true, 6000, 6000, 254, 254 }, 8.333333f, 833.3333f, "600" },
        { { true, 6001, 6001, 254, 254 }, 1, 100, "600.1 pixels per inch" },
        { { true, 1440, 900, 0, 0 }, 1, 100, "no size" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        host.setDisplay(c.display);
        NRVLectorinMultiPageView view(kit::Rect { 0, 0, 100, 100 });
        EXPECT_FLOAT_EQ(view.displayResolutionFactor(), c.expectedFactor);
        view.setTextStorage(std::make_shared<kit::TextStorage>("Zoom."));
        EXPECT_FLOAT_EQ(pageview::ScaleUtilities::scalePercent(view), c.expectedPercent);
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
