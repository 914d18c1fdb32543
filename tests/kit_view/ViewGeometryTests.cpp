#include "ViewTestSupport.h"
#include "kit/foundation/NotificationCenter.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

using namespace kit;
using viewtest::FlippedView;

namespace {

void expectNear(Point actual, Point expected, const char* why)
{
    EXPECT_NEAR(actual.x, expected.x, 1e-3) << why;
    EXPECT_NEAR(actual.y, expected.y, 1e-3) << why;
}

// A window holding, in its unflipped content view: a flipped scroll view at (50, 50) 300 x 200 whose clip
// view is scrolled to a fractional origin over a flipped document view scaled x1.5, which holds an unflipped
// child; and a plain sibling view elsewhere.
struct ScrolledTree {
    Window window { { 400, 300 } };
    ScrollView* scrollView;
    FlippedView* document;
    View* child;
    View* sibling;

    ScrolledTree()
    {
        scrollView = &window.contentView()->add<ScrollView>(Rect { 50, 50, 300, 200 });
        auto documentView = std::make_unique<FlippedView>(Rect { 0, 0, 600, 900 });
        document = documentView.get();
        scrollView->setDocumentView(std::move(documentView));
        document->scaleUnitSquareToSize({ 1.5f, 1.5f });
        child = &document->add<View>(Rect { 100, 200, 50, 40 });
        sibling = &window.contentView()->add<View>(Rect { 10, 260, 30, 30 });
        scrollView->contentView()->scrollToPoint({ 10.25f, 30.5f });
    }
};

} // namespace

TEST(ViewConversion, MapsThroughFlippedScaledAndScrolledAncestors)
{
    ScrolledTree tree;
    ASSERT_EQ(tree.scrollView->contentView()->bounds().origin, (Point { 10.25f, 30.5f }));

    // Document (flipped, x1.5) -> clip (flipped, scrolled) -> scroll view (flipped) -> content (unflipped).
    // (20, 40) -> (30, 60) -> (19.75, 29.5) -> (69.75, 50 + 200 - 29.5).
    expectNear(tree.document->convertPoint({ 20, 40 }, nullptr), { 69.75f, 220.5f }, "document to base");
    expectNear(tree.document->convertPointFromView({ 69.75f, 220.5f }, nullptr), { 20, 40 }, "base to document");
    // The unflipped child's origin corner is its bottom left: the largest y of its frame in the flipped document.
    expectNear(tree.child->convertPoint({ 0, 0 }, tree.document), { 100, 240 }, "unflipped child in flipped parent");
    expectNear(tree.child->convertPoint({ 0, 40 }, tree.document), { 100, 200 }, "its top edge");

    const Point points[] = { { 0, 0 }, { 12.5f, 7.25f }, { -3, 41 }, { 49.9f, 0.1f } };
    for (Point p : points) {
        SCOPED_TRACE(testing::Message() << "point " << p.x << ", " << p.y);
        expectNear(tree.child->convertPointFromView(tree.child->convertPoint(p, nullptr), nullptr), p, "via base");
        expectNear(tree.child->convertPointFromView(tree.child->convertPoint(p, tree.sibling), tree.sibling), p,
            "via a view in another branch");
        expectNear(tree.sibling->convertPoint(tree.child->convertPoint(p, tree.sibling), tree.child), p,
            "the inverse direction of the same pair");
    }
}

TEST(ViewConversion, SizesAndRectanglesComeBackAbsolute)
{
    ScrolledTree tree;
    const struct {
        const View* from;
        const View* to;
        Size size, expected;
        const char* why;
    } cases[] = {
        { tree.document, nullptr, { 10, 10 }, { 15, 15 }, "the document's scale applies, its flip does not" },
        { nullptr, tree.document, { 15, 15 }, { 10, 10 }, "window to document divides by the scale" },
        { tree.child, tree.sibling, { 4, 2 }, { 6, 3 }, "between branches only the scale ratio counts" },
        { tree.scrollView, tree.sibling, { 7, 9 }, { 7, 9 }, "unscaled views: unchanged" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Size actual = c.from ? c.from->convertSize(c.size, c.to) : c.to->convertSizeFromView(c.size, nullptr);
        EXPECT_NEAR(actual.width, c.expected.width, 1e-4);
        EXPECT_NEAR(actual.height, c.expected.height, 1e-4);
    }
    // A rectangle through a flip keeps a positive size and covers the same area.
    Rect inBase = tree.document->convertRect({ 20, 40, 10, 20 }, nullptr);
    EXPECT_NEAR(inBase.minX(), 69.75f, 1e-3);
    EXPECT_NEAR(inBase.maxY(), 220.5f, 1e-3);
    EXPECT_NEAR(inBase.width(), 15, 1e-3);
    EXPECT_NEAR(inBase.height(), 30, 1e-3);
    Rect back = tree.document->convertRectFromView(inBase, nullptr);
    EXPECT_NEAR(back.minX(), 20, 1e-3);
    EXPECT_NEAR(back.minY(), 40, 1e-3);
    EXPECT_NEAR(back.height(), 20, 1e-3);
}

TEST(ViewScale, FrameChangesKeepTheScale)
{
    View view({ 0, 0, 200, 100 });
    view.scaleUnitSquareToSize({ 2, 2 });
    EXPECT_EQ(view.bounds().size, (Size { 100, 50 }));
    view.setFrameSize({ 300, 100 });
    EXPECT_EQ(view.bounds().size, (Size { 150, 50 })) << "a view scaled x2 whose frame becomes 300 wide is 150 wide";
    EXPECT_EQ(view.convertSize({ 1, 1 }, nullptr), (Size { 2, 2 }));

    // A zero-sized frame must not lose the scale either.
    view.setFrameSize({ 0, 0 });
    view.setFrameSize({ 80, 40 });
    EXPECT_EQ(view.bounds().size, (Size { 40, 20 }));
    EXPECT_EQ(view.convertSize({ 1, 1 }, nullptr), (Size { 2, 2 }));
}

TEST(ViewScale, ScalingIsRelativeAndCanBeReset)
{
    View parent({ 0, 0, 400, 400 });
    View& child = parent.add<View>(Rect { 10, 10, 100, 100 });
    parent.scaleUnitSquareToSize({ 2, 2 });
    child.scaleUnitSquareToSize({ 1.5f, 1.5f });
    EXPECT_EQ(child.convertSize({ 1, 1 }, nullptr), (Size { 3, 3 })) << "scales multiply down the tree";

    // Resetting: the size of one window unit in the child's units, applied as a scale, undoes every scale.
    Size unitInChild = child.convertSizeFromView({ 1, 1 }, nullptr);
    child.scaleUnitSquareToSize(unitInChild);
    Size now = child.convertSize({ 1, 1 }, nullptr);
    EXPECT_NEAR(now.width, 1, 1e-6);
    EXPECT_NEAR(now.height, 1, 1e-6);

    // The bounds origin is divided too, so the same content stays at the frame's corner.
    View scrolled({ 0, 0, 100, 100 });
    scrolled.setBoundsOrigin({ 40, 20 });
    scrolled.scaleUnitSquareToSize({ 2, 4 });
    EXPECT_EQ(scrolled.bounds(), (Rect { 20, 5, 50, 25 }));

    const Size refused[] = { { 0, 1 }, { -2, 2 }, { 1, std::numeric_limits<float>::infinity() } };
    for (Size s : refused) {
        scrolled.scaleUnitSquareToSize(s);
        EXPECT_EQ(scrolled.bounds(), (Rect { 20, 5, 50, 25 })) << "factors must be positive and finite";
    }
}

TEST(ViewNotifications, FrameAndBoundsChangesAreAnnouncedOnce)
{
    auto& center = NotificationCenter::defaultCenter();
    View view({ 0, 0, 100, 100 });
    std::vector<std::string> heard;
    int observer = 0;
    center.addObserver(&observer, ViewFrameDidChangeNotification, &view, [&](auto&) { heard.push_back("frame"); });
    center.addObserver(&observer, ViewBoundsDidChangeNotification, &view, [&](auto&) { heard.push_back("bounds"); });

    const testsupport::Case<std::function<void()>, std::vector<std::string>> cases[] = {
        { [&] { view.setFrameSize({ 120, 100 }); }, { "frame" }, "a frame change that moves the bounds size is a frame change only" },
        { [&] { view.setFrameSize({ 120, 100 }); }, {}, "the same size again is no change" },
        { [&] { view.setFrameOrigin({ 5, 5 }); }, { "frame" }, "moving is a frame change" },
        { [&] { view.setFrameRotation(90); }, { "frame" }, "rotation is recorded as a frame change" },
        { [&] { view.setBoundsOrigin({ 3, 4 }); }, { "bounds" }, "scrolling" },
        { [&] { view.scaleUnitSquareToSize({ 2, 2 }); }, { "bounds" }, "scaling" },
        { [&] { view.setBoundsSize({ 30, 25 }); }, { "bounds" }, "setting the bounds size" },
        { [&] { view.setPostsFrameChangedNotifications(false); view.setFrameSize({ 10, 10 }); view.setFrameSize({ 20, 20 }); },
            {}, "posting off: nothing" },
        { [&] { view.setPostsFrameChangedNotifications(true); }, { "frame" }, "turned back on: one for what was missed" },
        { [&] { view.setPostsFrameChangedNotifications(false); view.setPostsFrameChangedNotifications(true); }, {},
            "nothing missed: nothing posted" },
    };
    for (const auto& c : cases) {
        heard.clear();
        c.input();
        EXPECT_EQ(heard, c.expected) << c.why;
    }
    center.removeObserver(&observer);
}

TEST(ViewAutoresizing, SubviewsFollowTheirMasks)
{
    View root({ 0, 0, 400, 300 });
    View& panel = root.add<View>(Rect { 0, 0, 400, 300 });
    panel.setAutoresizingMask(ViewWidthSizable | ViewHeightSizable);
    View& centred = panel.add<View>(Rect { 184, 134, 32, 32 });
    centred.setAutoresizingMask(ViewMinXMargin | ViewMaxXMargin | ViewMinYMargin | ViewMaxYMargin);
    View& corner = panel.add<View>(Rect { 329, 272, 48, 20 });
    corner.setAutoresizingMask(ViewMinXMargin | ViewMinYMargin);
    View& fixed = panel.add<View>(Rect { 10, 10, 20, 20 });
    View& stretched = panel.add<View>(Rect { 100, 0, 100, 300 });
    stretched.setAutoresizingMask(ViewMinXMargin | ViewWidthSizable);

    root.setFrameSize({ 600, 500 });
    EXPECT_EQ(panel.frame(), (Rect { 0, 0, 600, 500 })) << "a panel at (0, 0) follows its superview's size";
    EXPECT_EQ(centred.frame(), (Rect { 284, 234, 32, 32 })) << "equal flexible margins keep it centred";
    EXPECT_EQ(corner.frame(), (Rect { 529, 472, 48, 20 })) << "the right and top margins are fixed";
    EXPECT_EQ(fixed.frame(), (Rect { 10, 10, 20, 20 })) << "no mask: stays";
    EXPECT_EQ(stretched.frame(), (Rect { 200, 0, 200, 300 })) << "growth shared in proportion to margin and width";

    root.setFrameSize({ 0, 0 });
    EXPECT_EQ(panel.frame().size, (Size { 0, 0 }));
    root.setFrameSize({ 400, 300 });
    EXPECT_EQ(panel.frame(), (Rect { 0, 0, 400, 300 })) << "grows back from nothing";
    EXPECT_EQ(centred.frame(), (Rect { 184, 134, 32, 32 }));

    root.setAutoresizesSubviews(false);
    root.setFrameSize({ 500, 300 });
    EXPECT_EQ(panel.frame().size.width, 400) << "a view that does not autoresize its subviews leaves them";
}
