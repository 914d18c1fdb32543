#include "ViewTestSupport.h"
#include "support/TestSupport.h"
#include "kit/host/HeadlessHost.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"

#include <gtest/gtest.h>

using namespace kit;
using viewtest::ColorView;

namespace {

constexpr std::uint32_t kRed = 0xffff0000, kBlue = 0xff0000ff, kGreen = 0xff00ff00, kYellow = 0xffffff00;
// The window's own background, 0.93 grey: Cairo may round it either way.
constexpr std::uint32_t kWindowGrey = 0xffededed;

// The pixel, opaque, with the window grey snapped to kWindowGrey when within one step of it.
std::uint32_t rgb(std::uint32_t pixel)
{
    pixel |= 0xff000000;
    auto near = [](std::uint32_t channel) { return channel >= 0xec && channel <= 0xee; };
    if (near(pixel >> 16 & 0xff) && near(pixel >> 8 & 0xff) && near(pixel & 0xff))
        return kWindowGrey;
    return pixel;
}

} // namespace

TEST(Drawing, ViewTreeReadBackAsPixels)
{
    HeadlessHost host;
    host.setEchoesToStandardError(false);
    Host::setCurrent(&host);
    {
        Window window({ 200, 100 });
        View* content = window.contentView();
        auto& red = content->add<ColorView>(Rect { 10, 10, 50, 30 }, 1, 0, 0);
        red.add<ColorView>(Rect { 0, 0, 10, 10 }, 0, 0, 1, true); // bottom left of the unflipped red view
        auto& yellow = content->add<ColorView>(Rect { 100, 50, 40, 40 }, 1, 1, 0);
        yellow.add<ColorView>(Rect { 20, 20, 40, 40 }, 0, 1, 0); // runs out of its parent to the right and top
        auto& hidden = content->add<ColorView>(Rect { 150, 10, 20, 20 }, 1, 0, 1);
        hidden.setHidden(true);
        auto& scaled = content->add<View>(Rect { 170, 60, 20, 20 });
        scaled.scaleUnitSquareToSize({ 2, 2 });
        scaled.add<ColorView>(Rect { 0, 0, 5, 5 }, 0, 0, 1); // 10 x 10 on screen

        auto path = testsupport::temporaryFolder("drawing") / "window.png";
        auto written = host.writeWindowPNG(window, path, 1);
        ASSERT_TRUE(written.ok()) << written.error();
        testsupport::Image image = testsupport::readPng(path);
        ASSERT_EQ(image.width, 200);
        ASSERT_EQ(image.height, 100);
        // Image rows run down from the top; the window's base runs up from the bottom: row = 100 - y.
        const struct {
            int x, row;
            std::uint32_t expected;
            const char* why;
        } cases[] = {
            { 40, 70, kRed, "the red view (base y 10...40 is rows 60...90)" },
            { 15, 85, kBlue, "its flipped child sits at its bottom left" },
            { 25, 85, kRed, "just right of that child" },
            { 5, 95, kWindowGrey, "the window's background around everything" },
            { 110, 40, kYellow, "the yellow parent" },
            { 130, 20, kGreen, "the green child inside its parent" },
            { 150, 20, kWindowGrey, "the part of the child outside its parent is clipped" },
            { 160, 80, kWindowGrey, "a hidden view is not drawn" },
            { 175, 35, kBlue, "a scaled view's child, 10 x 10 on screen" },
            { 182, 35, kWindowGrey, "and no larger" },
        };
        for (const auto& c : cases)
            EXPECT_EQ(rgb(image.at(c.x, c.row)), c.expected) << c.why;

        // At twice the resolution every point is four pixels.
        auto twice = host.writeWindowPNG(window, path, 2);
        ASSERT_TRUE(twice.ok());
        EXPECT_EQ(twice.value(), (Size { 400, 200 }));
        testsupport::Image large = testsupport::readPng(path);
        EXPECT_EQ(rgb(large.at(31, 171)), kBlue);
        EXPECT_EQ(rgb(large.at(41, 171)), kRed);
    }
    Host::setCurrent(nullptr);
}

TEST(Drawing, ClipViewBackgroundShowsAroundASmallDocument)
{
    HeadlessHost host;
    host.setEchoesToStandardError(false);
    Host::setCurrent(&host);
    {
        Window window({ 100, 100 });
        auto& scrollView = window.contentView()->add<ScrollView>(Rect { 0, 0, 100, 100 });
        scrollView.setBackgroundColor(Color::calibratedRGB(0, 0, 1));
        scrollView.setDocumentView(std::make_unique<ColorView>(Rect { 0, 0, 40, 40 }, 1, 0, 0, true));
        scrollView.contentView()->scrollToPoint({ 0, 0 });
        auto path = testsupport::temporaryFolder("drawing") / "clip.png";
        ASSERT_TRUE(host.writeWindowPNG(window, path).ok());
        testsupport::Image image = testsupport::readPng(path);
        EXPECT_EQ(rgb(image.at(10, 10)), kRed) << "a flipped document starts at the top left";
        EXPECT_EQ(rgb(image.at(60, 60)), kBlue) << "the clip view's colour around it";
    }
    Host::setCurrent(nullptr);
}

TEST(Drawing, DamageIsTrackedInBaseCoordinatesAndDrawingSkipsWhatItMisses)
{
    Window window({ 200, 100 });
    auto& flipped = window.contentView()->add<ColorView>(Rect { 100, 0, 100, 100 }, 1, 0, 0, true);
    auto& left = window.contentView()->add<ColorView>(Rect { 0, 0, 50, 50 }, 0, 1, 0);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 200, 100);
    cairo_t* context = cairo_create(surface);
    window.display(context);
    EXPECT_FALSE(window.needsDisplay()) << "a full display clears the damage";

    flipped.setNeedsDisplayInRect({ 10, 10, 20, 5 });
    EXPECT_EQ(window.dirtyRect(), (Rect { 110, 85, 20, 5 })) << "y down in the flipped view, y up in the base";
    EXPECT_EQ(window.deviceRectFromBase(window.dirtyRect()), (Rect { 110, 10, 20, 5 }));
    flipped.setNeedsDisplayInRect({ 90, 90, 50, 50 });
    EXPECT_EQ(window.dirtyRect(), (Rect { 110, 0, 90, 90 })) << "damage is clipped to the view and accumulates";

    int leftBefore = left.drawCount, flippedBefore = flipped.drawCount;
    window.displayRect({ 120, 20, 10, 10 }, context);
    EXPECT_EQ(left.drawCount, leftBefore) << "a view outside the area is not drawn";
    EXPECT_EQ(flipped.drawCount, flippedBefore + 1);
    EXPECT_TRUE(window.needsDisplay()) << "a part does not clear damage it does not cover";

    flipped.setHidden(true);
    int hiddenBefore = flipped.drawCount;
    window.display(context);
    EXPECT_EQ(flipped.drawCount, hiddenBefore);
    cairo_destroy(context);
    cairo_surface_destroy(surface);
}
