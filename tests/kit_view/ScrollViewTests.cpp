#include "ViewTestSupport.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"
#include "support/Cases.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using namespace kit;
using viewtest::FlippedView;
using viewtest::mouse;

namespace {

Event wheel(Point location, float dx, float dy)
{
    Event event;
    event.type = Event::Type::ScrollWheel;
    event.locationInWindow = location;
    event.deltaX = dx;
    event.deltaY = dy;
    return event;
}

} // namespace

TEST(ScrollView, ScrollersAppearOnlyForALargerDocument)
{
    ScrollView scrollView({ 0, 0, 300, 200 });
    scrollView.setHasVerticalScroller(true);
    scrollView.setHasHorizontalScroller(true);
    auto document = std::make_unique<FlippedView>(Rect { 0, 0, 100, 100 });
    FlippedView* doc = document.get();
    scrollView.setDocumentView(std::move(document));

    const struct {
        Size document;
        bool vertical, horizontal;
        Size content;
        const char* why;
    } cases[] = {
        { { 100, 100 }, false, false, { 300, 200 }, "smaller: no scrollers, the clip view fills the scroll view" },
        { { 300, 200 }, false, false, { 300, 200 }, "exactly as large: still none" },
        { { 300, 201 }, true, true, { 285, 185 }, "one point taller: the vertical scroller narrows it, so both" },
        { { 200, 600 }, true, false, { 285, 200 }, "taller only" },
        { { 900, 150 }, false, true, { 300, 185 }, "wider only" },
        { { 290, 190 }, false, false, { 300, 200 }, "shrinks back: the scrollers go again" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        doc->setFrameSize(c.document);
        EXPECT_EQ(!scrollView.verticalScroller()->isHidden(), c.vertical);
        EXPECT_EQ(!scrollView.horizontalScroller()->isHidden(), c.horizontal);
        EXPECT_EQ(scrollView.contentSize(), c.content);
    }
    scrollView.setHasVerticalScroller(false);
    doc->setFrameSize({ 100, 900 });
    EXPECT_TRUE(scrollView.verticalScroller()->isHidden()) << "a scroll view without one never shows it";
}

TEST(ScrollView, ClipViewConfinesTheScrollOrigin)
{
    ScrollView scrollView({ 0, 0, 300, 200 });
    scrollView.setDocumentView(std::make_unique<FlippedView>(Rect { 0, 0, 600, 1000 }));
    ClipView* clip = scrollView.contentView();
    const struct {
        Point proposed, expected;
        const char* why;
    } cases[] = {
        { { 10.5f, 20.25f }, { 10.5f, 20.25f }, "inside: unchanged, fractions kept" },
        { { -5, -1 }, { 0, 0 }, "before the start" },
        { { 300, 800 }, { 300, 800 }, "exactly the end" },
        { { 301, 801 }, { 300, 800 }, "past the end" },
    };
    for (const auto& c : cases) {
        clip->scrollToPoint(c.proposed);
        EXPECT_EQ(clip->bounds().origin, c.expected) << c.why;
    }
    scrollView.documentView()->setFrameSize({ 100, 100 });
    EXPECT_EQ(clip->bounds().origin, (Point { 0, 0 })) << "a document that shrinks below the view pins it at its origin";
}

TEST(ScrollView, WheelAndScrollerMoveTheVisibleArea)
{
    Window window({ 300, 200 });
    auto& scrollView = window.contentView()->add<ScrollView>(Rect { 0, 0, 300, 200 });
    scrollView.setHasVerticalScroller(true);
    scrollView.setDocumentView(std::make_unique<FlippedView>(Rect { 0, 0, 285, 1000 }));
    ClipView* clip = scrollView.contentView();
    ASSERT_FALSE(scrollView.verticalScroller()->isHidden());

    window.sendEvent(wheel({ 100, 100 }, 0, 40));
    EXPECT_EQ(clip->bounds().origin, (Point { 0, 40 })) << "a positive delta moves down the document";
    window.sendEvent(wheel({ 100, 100 }, 0, -100));
    EXPECT_EQ(clip->bounds().origin, (Point { 0, 0 })) << "and stops at its start";
    window.sendEvent(wheel({ 100, 100 }, 0, 5000));
    EXPECT_EQ(clip->bounds().origin, (Point { 0, 800 })) << "or at its end";
    EXPECT_FLOAT_EQ(scrollView.verticalScroller()->value(), 1);
    EXPECT_FLOAT_EQ(scrollView.verticalScroller()->knobProportion(), 0.2f);

    // Drag the knob from the bottom end to the middle of its travel. The scroller is flipped, at x 285...300;
    // the window's base is y up, so the scroller's y = 200 - base y.
    Scroller* scroller = scrollView.verticalScroller();
    Rect knob = scroller->knobRect();
    float travel = (200 - 4) - knob.height();
    Point grab = scroller->convertPoint({ knob.midX(), knob.midY() }, nullptr);
    window.sendEvent(mouse(Event::Type::MouseDown, grab));
    window.sendEvent(mouse(Event::Type::MouseDragged, { grab.x, grab.y + travel / 2 }));
    window.sendEvent(mouse(Event::Type::MouseUp, { grab.x, grab.y + travel / 2 }));
    EXPECT_NEAR(clip->bounds().origin.y, 400, 0.01) << "half the knob's travel is half the scroll range";

    // A click in the track above the knob pages back by the visible height less one line.
    Point above = scroller->convertPoint({ 7, 3 }, nullptr);
    window.sendEvent(mouse(Event::Type::MouseDown, above));
    window.sendEvent(mouse(Event::Type::MouseUp, above));
    EXPECT_NEAR(clip->bounds().origin.y, 400 - (200 - 16), 0.01);
}

TEST(ScrollView, UnflippedDocumentsScrollFromTheirTop)
{
    ScrollView scrollView({ 0, 0, 300, 200 });
    scrollView.setDocumentView(std::make_unique<View>(Rect { 0, 0, 300, 1000 }));
    ClipView* clip = scrollView.contentView();
    EXPECT_FALSE(clip->isFlipped()) << "the clip view takes its document's orientation";
    clip->scrollToPoint({ 0, 800 }); // the top of an unflipped document: y up, so the largest origin
    Event event = wheel({}, 0, 50);
    scrollView.scrollWheel(event);
    EXPECT_EQ(clip->bounds().origin, (Point { 0, 750 })) << "moving down the document lowers y";
}

namespace {

// A clip view that centres a small document, as a page view's clip view does, and logs the hooks it gets.
class CentringClipView : public ClipView {
public:
    using ClipView::ClipView;
    std::vector<std::string> calls;

    void setFrame(Rect frame) override
    {
        ClipView::setFrame(frame);
        calls.push_back("setFrame");
    }
    void viewFrameChanged() override
    {
        ClipView::viewFrameChanged();
        calls.push_back("viewFrameChanged");
    }
    void viewBoundsChanged() override
    {
        ClipView::viewBoundsChanged();
        calls.push_back("viewBoundsChanged");
    }
    Point constrainScrollPoint(Point proposed) const override
    {
        Point clamped = ClipView::constrainScrollPoint(proposed);
        if (View* document = documentView(); document && bounds().width() > document->frame().width())
            clamped.x = std::round((document->frame().width() - bounds().width()) / 2);
        return clamped;
    }
};

} // namespace

TEST(ScrollView, ClipViewSubclassesHearTheirDocumentAndTheirOwnResizing)
{
    ScrollView scrollView({ 0, 0, 801, 600 });
    auto clip = std::make_unique<CentringClipView>(scrollView.contentView()->frame());
    CentringClipView* centring = clip.get();
    scrollView.setContentView(std::move(clip));
    scrollView.setDocumentView(std::make_unique<FlippedView>(Rect { 0, 0, 644, 2440 }));
    EXPECT_EQ(centring->bounds().origin, (Point { -79, 0 })) << "centred at once: (644 - 801) / 2 rounds to -79";

    const testsupport::Case<std::function<void()>, const char*> cases[] = {
        { [&] { scrollView.documentView()->setFrameSize({ 322, 1220 }); }, "viewFrameChanged", "a new document size" },
        { [&] { scrollView.documentView()->scaleUnitSquareToSize({ 2, 2 }); }, "viewBoundsChanged", "a new scale" },
        { [&] { scrollView.setFrameSize({ 1001, 600 }); }, "setFrame", "the scroll view lays its clip view out anew" },
    };
    for (const auto& c : cases) {
        centring->calls.clear();
        c.input();
        EXPECT_NE(std::find(centring->calls.begin(), centring->calls.end(), c.expected), centring->calls.end()) << c.why;
    }
    EXPECT_EQ(centring->bounds().origin.x, std::round((322 - 1001) / 2.0f)) << "and the origin follows through the override";
    Event event = wheel({}, 30, 0);
    scrollView.scrollWheel(event);
    EXPECT_EQ(centring->bounds().origin.x, std::round((322 - 1001) / 2.0f)) << "a centred axis cannot be scrolled";
}
