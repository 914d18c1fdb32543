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

namespace {

// A host that keeps the window's pixels and moves them when asked, as the GTK host does; it records what
// it was asked.
class MovingHost : public HeadlessHost {
public:
    bool windowScrollRect(Window&, Rect rect, Size delta) override
    {
        moves.push_back({ rect, delta });
        return movesPixels;
    }
    struct Move {
        Rect rect;
        Size delta;
    };
    std::vector<Move> moves;
    bool movesPixels = true;
};

} // namespace

// A scrolled clip view asks the host to move what is in sight and damages only the strip that came into
// sight, plus the places that damage not yet drawn was carried to; far-apart damage stays apart.
TEST(Drawing, AScrollMovesThePixelsAndDamagesWhatCameIntoSight)
{
    MovingHost host;
    host.setEchoesToStandardError(false);
    Host::setCurrent(&host);
    {
        Window window({ 300, 200 });
        auto& scroll = window.contentView()->add<ScrollView>(Rect { 0, 0, 280, 200 });
        auto& marker = window.contentView()->add<ColorView>(Rect { 285, 0, 15, 200 }, 0, 0, 1);
        auto document = std::make_unique<ColorView>(Rect { 0, 0, 280, 2000 }, 1, 1, 1, true);
        ColorView& page = *document;
        scroll.setDocumentView(std::move(document));
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 300, 200);
        cairo_t* context = cairo_create(surface);
        window.display(context);
        ClipView& clip = *scroll.contentView();
        Rect inSight = clip.convertRect(clip.visibleRect(), nullptr);

        clip.scrollToPoint({ 0, 50 });
        ASSERT_EQ(host.moves.size(), 1u);
        EXPECT_EQ(host.moves[0].rect, inSight);
        EXPECT_EQ(host.moves[0].delta, (Size { 0, 50 })) << "the pixels go up 50 points (the base is y up)";
        ASSERT_EQ(window.dirtyRects().size(), 1u);
        EXPECT_EQ(window.dirtyRects()[0], (Rect { inSight.minX(), inSight.minY(), inSight.width(), 50 }))
            << "the strip at the bottom came into sight";

        marker.setNeedsDisplay(true);
        EXPECT_EQ(window.dirtyRects().size(), 2u) << "a piece far from the strip is kept apart";
        EXPECT_EQ(window.dirtyRect(), (Rect { inSight.minX(), 0, 300 - inSight.minX(), 200 })) << "their union";
        window.displayRect(window.dirtyRects()[1], context);
        EXPECT_EQ(window.dirtyRects().size(), 1u) << "drawing one piece leaves the other";
        window.display(context);

        // Damage waiting inside the clip view moves with the pixels it spoils.
        page.setNeedsDisplayInRect({ 10, 60, 20, 10 }); // 10 points below the top of what is in sight
        clip.scrollToPoint({ 0, 40 });
        EXPECT_EQ(host.moves.back().delta, (Size { 0, -10 }));
        Rect spoiled = page.convertRect(Rect { 10, 60, 20, 10 }, nullptr); // where the spoiled pixels are now
        bool carried = false;
        for (const Rect& dirty : window.dirtyRects())
            carried = carried || intersection(dirty, spoiled) == spoiled;
        EXPECT_TRUE(carried) << "the damage went where its pixels went";
        window.display(context);

        // A host that keeps no pixels: everything in sight is drawn again.
        host.movesPixels = false;
        clip.scrollToPoint({ 0, 400 });
        EXPECT_EQ(window.dirtyRect(), inSight);

        // A view lying over the clip view has its pixels moved along: it is drawn again where it is and
        // where they went.
        host.movesPixels = true;
        auto& over = scroll.add<ColorView>(Rect { 20, 20, 30, 30 }, 1, 0, 0);
        window.display(context);
        clip.scrollToPoint({ 0, 300 });
        Rect overInBase = scroll.convertRect(over.frame(), nullptr);
        auto isDamaged = [&](Rect rect) {
            for (const Rect& dirty : window.dirtyRects()) {
                if (intersection(dirty, rect) == rect)
                    return true;
            }
            return false;
        };
        EXPECT_TRUE(isDamaged(overInBase)) << "where it is";
        EXPECT_TRUE(isDamaged(intersection(overInBase.offsetBy(0, 100), inSight))) << "where its pixels went";
        EXPECT_FALSE(isDamaged(inSight)) << "not everything";
        cairo_destroy(context);
        cairo_surface_destroy(surface);
    }
    Host::setCurrent(nullptr);
}

// Damage made before the window shrank lay partly beyond it: drawing the whole smaller window clears it,
// rather than leaving the window to be drawn whole at every frame from then on.
TEST(Drawing, AWindowThatShrankForgetsDamageBeyondIt)
{
    Window window({ 300, 200 });
    window.contentView()->add<ColorView>(Rect { 0, 0, 300, 200 }, 1, 1, 1);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 300, 200);
    cairo_t* context = cairo_create(surface);
    window.display(context);
    window.setNeedsDisplayInRect({ 250, 150, 50, 50 });
    window.setContentSize({ 200, 150 });
    EXPECT_EQ(window.dirtyRect(), (Rect { 0, 0, 200, 150 }));
    window.displayRect({ 0, 0, 200, 150 }, context);
    EXPECT_FALSE(window.needsDisplay());
    cairo_destroy(context);
    cairo_surface_destroy(surface);
}
