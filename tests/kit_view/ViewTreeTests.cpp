#include "ViewTestSupport.h"
#include "kit/view/ActionTable.h"
#include "kit/view/Button.h"
#include "kit/view/NibTopLevelObjects.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"
#include "kit/view/WindowController.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace kit;
using viewtest::FlippedView;
using viewtest::mouse;
using viewtest::TrackedView;

namespace {

// A view that records the actions it performs and the events it receives.
class RecordingView : public View {
public:
    RecordingView(Rect frame, std::string name, std::vector<std::string>* log, bool acceptsFocus = false)
        : View(frame)
        , m_name(std::move(name))
        , m_log(log)
        , m_acceptsFocus(acceptsFocus)
    {
    }
    void zoomIn(Responder* sender) { m_log->push_back(m_name + " zoomIn: from tag " + std::to_string(sender ? sender->tag() : -1)); }
    void find(Responder*) { m_log->push_back(m_name + " find:"); }
    void mouseDown(const Event&) override { m_log->push_back(m_name + " mouseDown"); }
    void mouseUp(const Event&) override { m_log->push_back(m_name + " mouseUp"); }
    bool acceptsFirstResponder() const override { return m_acceptsFocus; }

protected:
    bool dispatchAction(std::string_view selector, Responder* sender, bool perform) override
    {
        static const ActionTable<RecordingView> actions {
            { "zoomIn:", &RecordingView::zoomIn },
            { "find:", &RecordingView::find },
        };
        return actions.dispatch(*this, selector, sender, perform) || View::dispatchAction(selector, sender, perform);
    }

private:
    std::string m_name;
    std::vector<std::string>* m_log;
    bool m_acceptsFocus;
};

// Answers only find:, as a text view would, so that other actions pass it by.
class FindOnlyView : public View {
public:
    explicit FindOnlyView(std::vector<std::string>* log)
        : View({ 0, 0, 10, 10 })
        , m_log(log)
    {
    }
    bool acceptsFirstResponder() const override { return true; }
    void find(Responder*) { m_log->push_back("text view find:"); }

protected:
    bool dispatchAction(std::string_view selector, Responder* sender, bool perform) override
    {
        static const ActionTable<FindOnlyView> actions { { "find:", &FindOnlyView::find } };
        return actions.dispatch(*this, selector, sender, perform) || View::dispatchAction(selector, sender, perform);
    }

private:
    std::vector<std::string>* m_log;
};

class RecordingController : public WindowController {
public:
    explicit RecordingController(std::vector<std::string>* log)
        : WindowController("None", "/nonexistent")
        , m_log(log)
    {
    }
    void showHelp(Responder*) { m_log->push_back("controller showHelp:"); }

protected:
    bool dispatchAction(std::string_view selector, Responder* sender, bool perform) override
    {
        static const ActionTable<RecordingController> actions { { "showHelp:", &RecordingController::showHelp } };
        return actions.dispatch(*this, selector, sender, perform) || WindowController::dispatchAction(selector, sender, perform);
    }

private:
    std::vector<std::string>* m_log;
};

} // namespace

TEST(ResponderChain, ActionsRiseFromTheFirstResponderToTheWindowController)
{
    std::vector<std::string> log;
    Window window({ 300, 200 });
    RecordingController controller(&log);
    window.setWindowController(&controller);
    auto& plugin = window.contentView()->add<RecordingView>(Rect { 0, 0, 300, 200 }, "plugin", &log, true);
    auto& panel = plugin.add<View>(Rect { 0, 0, 300, 200 });
    auto& text = panel.add<FindOnlyView>(&log);
    Button& sender = panel.add<Button>(Rect { 0, 0, 10, 10 }, "Zoom");
    sender.setTag(7);

    ASSERT_TRUE(window.makeFirstResponder(&text));
    const testsupport::Case<std::tuple<const char*, bool>, const char*> cases[] = {
        { { "find:", true }, "text view find:", "the first responder has it" },
        { { "zoomIn:", true }, "plugin zoomIn: from tag 7",
            "passes the text view and the panel, reaches the plug-in view" },
        { { "showHelp:", true }, "controller showHelp:", "past the window to its controller" },
        { { "noSuchAction:", false }, "", "nobody has it" },
    };
    for (const auto& c : cases) {
        const auto& [selector, performed] = c.input;
        log.clear();
        EXPECT_EQ(window.sendAction(selector, &sender), performed) << c.why;
        EXPECT_EQ(log, performed ? std::vector<std::string> { c.expected } : std::vector<std::string> {}) << c.why;
    }

    log.clear();
    EXPECT_TRUE(window.sendAction("find:", &sender, &plugin)) << "a target takes the action directly";
    EXPECT_EQ(log, (std::vector<std::string> { "plugin find:" }));
    EXPECT_FALSE(window.sendAction("showHelp:", &sender, &plugin)) << "a target does not pass it on";
    EXPECT_TRUE(plugin.respondsToAction("zoomIn:"));
    EXPECT_FALSE(text.respondsToAction("zoomIn:"));
    window.setWindowController(nullptr);
}

TEST(ResponderChain, FirstResponderRulesAndTeardown)
{
    std::vector<std::string> log;
    Window window({ 300, 200 });
    Window other({ 100, 100 });
    auto& refuses = window.contentView()->add<View>(Rect { 0, 0, 10, 10 });
    auto& elsewhere = other.contentView()->add<FindOnlyView>(&log);
    bool destroyed = false;
    auto& focusable = window.contentView()->add<TrackedView>(Rect { 20, 20, 10, 10 }, &destroyed);

    EXPECT_FALSE(window.makeFirstResponder(&refuses)) << "a view that does not accept";
    EXPECT_EQ(window.firstResponder(), &window);
    EXPECT_FALSE(window.makeFirstResponder(&elsewhere)) << "a view of another window";
    EXPECT_TRUE(window.makeFirstResponder(&focusable));
    EXPECT_EQ(window.firstResponder(), &focusable);
    EXPECT_TRUE(window.makeFirstResponder(nullptr)) << "null gives the focus to the window";
    EXPECT_EQ(window.firstResponder(), &window);

    ASSERT_TRUE(window.makeFirstResponder(&focusable));
    focusable.setHidden(true);
    EXPECT_EQ(window.firstResponder(), &window) << "a hidden view cannot keep the focus";
    focusable.setHidden(false);
    ASSERT_TRUE(window.makeFirstResponder(&focusable));
    focusable.removeFromSuperview();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(window.firstResponder(), &window) << "a destroyed view clears itself as first responder";
    EXPECT_FALSE(window.sendAction("anything:", nullptr)) << "and the chain starts safely at the window";
}

TEST(ViewOwnership, HandOversMoveOrDestroyExactly)
{
    Window window({ 300, 200 });
    bool destroyed = false;
    auto& a = window.contentView()->add<View>(Rect { 0, 0, 100, 100 });
    auto& b = window.contentView()->add<View>(Rect { 100, 0, 100, 100 });
    auto& tracked = a.add<TrackedView>(Rect { 0, 0, 10, 10 }, &destroyed);
    ASSERT_TRUE(window.makeFirstResponder(&tracked));

    b.addSubview(tracked);
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(tracked.superview(), &b) << "adding a subview of another view moves it";
    EXPECT_TRUE(a.subviews().empty());
    EXPECT_EQ(window.firstResponder(), &tracked) << "a move inside the window keeps the focus";

    std::unique_ptr<View> detached = tracked.detachFromSuperview();
    EXPECT_EQ(detached.get(), &tracked);
    EXPECT_EQ(tracked.window(), nullptr);
    EXPECT_EQ(window.firstResponder(), &window) << "a view that leaves the window leaves the focus";
    EXPECT_EQ(tracked.detachFromSuperview(), nullptr) << "no superview: nothing to detach";
    b.addSubview(std::move(detached));
    EXPECT_EQ(tracked.window(), &window);

    // A nib's top-level view leaves its owner's set when it is added.
    NibTopLevelObjects set;
    bool panelDestroyed = false;
    auto panel = std::make_unique<TrackedView>(Rect { 0, 0, 50, 50 }, &panelDestroyed);
    TrackedView* panelPointer = panel.get();
    set.add(std::move(panel));
    a.addSubview(*panelPointer);
    EXPECT_TRUE(set.empty());
    EXPECT_EQ(panelPointer->superview(), &a);
    EXPECT_EQ(panelPointer->owningNibSet(), nullptr);
    set.clear();
    EXPECT_FALSE(panelDestroyed) << "the set no longer owns it";

    b.removeFromSuperview();
    EXPECT_TRUE(destroyed) << "removing destroys the view and its subviews";
}

TEST(ViewOwnership, ScrollViewHandsBackItsClipViewWithTheDocument)
{
    ScrollView scrollView({ 0, 0, 200, 100 });
    bool destroyed = false;
    scrollView.setDocumentView(std::make_unique<TrackedView>(Rect { 0, 0, 300, 400 }, &destroyed));
    View* document = scrollView.documentView();
    ASSERT_NE(document, nullptr);
    ClipView* oldClip = scrollView.contentView();

    auto replacement = std::make_unique<ClipView>(oldClip->frame());
    replacement->setBackgroundColor(Color::calibratedRGB(0.2f, 0.3f, 0.4f));
    std::unique_ptr<ClipView> old = scrollView.setContentView(std::move(replacement));
    EXPECT_EQ(old.get(), oldClip);
    EXPECT_EQ(old->documentView(), document) << "the old clip view still holds the document";
    EXPECT_EQ(scrollView.documentView(), nullptr);
    EXPECT_EQ(scrollView.backgroundColor(), Color::calibratedRGB(0.2f, 0.3f, 0.4f)) << "the colour is the clip view's";

    scrollView.setDocumentView(*document);
    EXPECT_EQ(scrollView.documentView(), document) << "the document moved into the new clip view";
    EXPECT_EQ(old->documentView(), nullptr);
    old.reset();
    EXPECT_FALSE(destroyed);

    std::unique_ptr<View> taken = scrollView.contentView()->takeDocumentView();
    EXPECT_EQ(taken.get(), document);
    EXPECT_EQ(scrollView.documentView(), nullptr);
    EXPECT_FALSE(destroyed) << "taking releases without destroying";
    scrollView.setDocumentView(std::move(taken));
    scrollView.setDocumentView(std::make_unique<View>(Rect { 0, 0, 10, 10 }));
    EXPECT_TRUE(destroyed) << "replacing the document destroys the old one";
}

TEST(HitTesting, MouseDownGoesToTheDeepestVisibleView)
{
    std::vector<std::string> log;
    Window window({ 400, 300 });
    auto& back = window.contentView()->add<RecordingView>(Rect { 0, 0, 400, 300 }, "back", &log);
    auto& flipped = back.add<FlippedView>(Rect { 100, 100, 200, 100 });
    flipped.scaleUnitSquareToSize({ 2, 2 }); // bounds 100 x 50, y down
    auto& top = flipped.add<RecordingView>(Rect { 0, 0, 50, 10 }, "top-left", &log, true);
    auto& covered = back.add<RecordingView>(Rect { 0, 0, 50, 50 }, "covered", &log);
    auto& cover = back.add<RecordingView>(Rect { 0, 0, 50, 50 }, "cover", &log);
    auto& hidden = back.add<RecordingView>(Rect { 350, 250, 50, 50 }, "hidden", &log);
    hidden.setHidden(true);
    auto& overflowing = flipped.add<RecordingView>(Rect { 90, 40, 100, 100 }, "overflowing", &log);

    const testsupport::Case<Point, const View*> cases[] = {
        { { 101, 199 }, &top, "top-left of a flipped, scaled view" },
        { { 199, 181 }, &top, "the far corner of that subview (49.5, 9.5 in its parent)" },
        { { 200, 180 }, &flipped, "just past it: the half-open edge" },
        { { 25, 25 }, &cover, "the later sibling is on top" },
        { { 375, 275 }, &back, "a hidden view is not hit" },
        { { 299, 101 }, &overflowing, "the part of a subview inside its superview" },
        { { 310, 101 }, &back, "the part outside its superview is clipped away" },
        { { 400, 300 }, nullptr, "outside the window" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(window.contentView()->hitTest(c.input), c.expected) << c.why;
    }
    (void)covered;

    log.clear();
    window.sendEvent(mouse(Event::Type::MouseDown, { 101, 199 }));
    window.sendEvent(mouse(Event::Type::MouseUp, { 5, 5 }));
    EXPECT_EQ(log, (std::vector<std::string> { "top-left mouseDown", "top-left mouseUp" }))
        << "the mouse-up goes to the view that took the mouse-down";
    EXPECT_EQ(window.firstResponder(), &top) << "a clicked view that accepts becomes first responder";
}
