#include "kit/foundation/RunLoop.h"
#include "kit/host/HeadlessHost.h"
#include "kit/view/ActionTable.h"
#include "kit/view/Button.h"
#include "kit/view/ColorWell.h"
#include "kit/view/Menu.h"
#include "kit/view/ProgressIndicator.h"
#include "kit/view/SegmentedControl.h"
#include "kit/view/Window.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace kit;
using namespace std::chrono_literals;

namespace {

// The window's content view, receiving the controls' actions through the responder chain.
class Receiver : public View {
public:
    struct Call {
        std::string selector;
        Responder* sender;
        int senderState;
    };
    std::vector<Call> calls;
    bool acceptsFirstResponder() const override { return true; }

    void record(std::string selector, Responder* sender)
    {
        int state = 0;
        if (auto* button = dynamic_cast<Button*>(sender))
            state = button->state();
        if (auto* segmented = dynamic_cast<SegmentedControl*>(sender))
            state = segmented->selectedSegment();
        calls.push_back({ std::move(selector), sender, state });
    }
    void changeAutoUpdate(Responder* sender) { record("changeAutoUpdate:", sender); }
    void zoom(Responder* sender) { record("zoom:", sender); }
    void changeColor(Responder* sender) { record("changeColor:", sender); }
    void menuAction(Responder* sender) { record("menuAction:", sender); }

protected:
    bool dispatchAction(std::string_view selector, Responder* sender, bool perform) override
    {
        static const ActionTable<Receiver> actions {
            { "changeAutoUpdate:", &Receiver::changeAutoUpdate },
            { "zoom:", &Receiver::zoom },
            { "changeColor:", &Receiver::changeColor },
            { "menuAction:", &Receiver::menuAction },
        };
        return actions.dispatch(*this, selector, sender, perform) || View::dispatchAction(selector, sender, perform);
    }
};

Event click(Event::Type type, Point location)
{
    Event event;
    event.type = type;
    event.locationInWindow = location;
    return event;
}

struct Fixture {
    HeadlessHost host;
    std::unique_ptr<Window> window;
    Receiver* receiver;
    Fixture()
    {
        host.setEchoesToStandardError(false);
        Host::setCurrent(&host);
        window = std::make_unique<Window>(Size { 300, 200 });
        auto content = std::make_unique<Receiver>();
        receiver = content.get();
        window->setContentView(std::move(content));
        // Actions without a target start at the first responder, as the keyboard focus would have it.
        window->makeFirstResponder(receiver);
    }
    ~Fixture()
    {
        window.reset();
        Host::setCurrent(nullptr);
    }
};

} // namespace

TEST(Controls, CheckBoxClickSwitchesStateThenSendsAction)
{
    Fixture f;
    auto& box = f.receiver->add<Button>(Rect { 10, 10, 200, 20 }, "Check for updates automatically", Button::Type::CheckBox);
    box.setAction("changeAutoUpdate:");
    const struct {
        int before, after;
        const char* why;
    } cases[] = {
        { Button::OnState, Button::OffState, "on becomes off" },
        { Button::OffState, Button::OnState, "off becomes on" },
        { Button::MixedState, Button::OnState, "mixed becomes on" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        box.setState(c.before);
        f.receiver->calls.clear();
        f.window->sendEvent(click(Event::Type::MouseDown, { 20, 20 }));
        f.window->sendEvent(click(Event::Type::MouseUp, { 20, 20 }));
        ASSERT_EQ(f.receiver->calls.size(), 1u);
        EXPECT_EQ(f.receiver->calls[0].sender, &box);
        EXPECT_EQ(f.receiver->calls[0].senderState, c.after) << "the action sees the new state";
    }
    f.receiver->calls.clear();
    f.window->sendEvent(click(Event::Type::MouseDown, { 20, 20 }));
    f.window->sendEvent(click(Event::Type::MouseUp, { 250, 150 }));
    EXPECT_TRUE(f.receiver->calls.empty()) << "released outside: no click";
    box.setState(5);
    EXPECT_EQ(box.state(), Button::OnState) << "any other non-zero state is on";
}

TEST(Controls, SegmentedControlSelectsAndSends)
{
    Fixture f;
    auto& control = f.receiver->add<SegmentedControl>(Rect { 100, 100, 48, 20 });
    control.addSegment({ "\u2212", 24 });
    control.addSegment({ "+", 24 });
    control.setAction("zoom:");
    EXPECT_EQ(control.selectedSegment(), -1);

    f.window->sendEvent(click(Event::Type::MouseDown, { 130, 110 }));
    ASSERT_EQ(f.receiver->calls.size(), 1u);
    EXPECT_EQ(f.receiver->calls[0].senderState, 1) << "the right segment";
    EXPECT_EQ(control.selectedSegment(), 1) << "select-one keeps the selection";

    control.setTrackingMode(SegmentedControl::TrackingMode::Momentary);
    f.window->sendEvent(click(Event::Type::MouseDown, { 101, 110 }));
    ASSERT_EQ(f.receiver->calls.size(), 2u);
    EXPECT_EQ(f.receiver->calls[1].senderState, 0) << "during the action the clicked segment is selected";
    EXPECT_EQ(control.selectedSegment(), -1) << "momentary: none afterwards";

    control.setSelectedSegment(7);
    EXPECT_EQ(control.selectedSegment(), -1) << "out of range selects none";
}

TEST(Controls, ColorWellAsksTheHostsPanel)
{
    Fixture f;
    auto& well = f.receiver->add<ColorWell>(Rect { 10, 10, 52, 28 });
    well.setAction("changeColor:");
    well.setColor(Color::calibratedRGB(0.38f, 0.45f, 0.56f));
    EXPECT_TRUE(f.receiver->calls.empty()) << "setting the colour sends nothing";

    Color picked = Color::calibratedRGB(1, 0, 0, 0.5f);
    f.host.queueColorAnswer(picked);
    f.window->sendEvent(click(Event::Type::MouseDown, { 20, 20 }));
    ASSERT_TRUE(RunLoop::runUntil([&] { return !f.receiver->calls.empty(); }, 2000ms));
    EXPECT_EQ(well.color(), picked) << "alpha included";
    EXPECT_EQ(f.receiver->calls[0].sender, &well);

    f.receiver->calls.clear();
    f.window->sendEvent(click(Event::Type::MouseDown, { 20, 20 })); // nothing queued: the panel is cancelled
    RunLoop::drain();
    EXPECT_TRUE(f.receiver->calls.empty());
    EXPECT_EQ(well.color(), picked);
    EXPECT_EQ(f.host.transcript().back(), "colour panel: cancel");
}

TEST(Controls, ContextMenuItemsSendToTheirTargetOrTheChain)
{
    Fixture f;
    auto menu = std::make_shared<Menu>();
    menu->addItemWithTitle("Through the chain", "menuAction:");
    MenuItem& targeted = menu->addItemWithTitle("Targeted", "menuAction:");
    menu->addSeparator();
    menu->addItemWithTitle("Nobody", "nobody:");
    Receiver other;
    targeted.setTarget(&other);
    targeted.setTag(3);
    f.receiver->setMenu(menu);

    EXPECT_TRUE(menu->performActionForItemAtIndex(0, f.window.get()));
    ASSERT_EQ(f.receiver->calls.size(), 1u);
    EXPECT_EQ(f.receiver->calls[0].sender, menu->itemAtIndex(0));
    EXPECT_TRUE(menu->performActionForItemAtIndex(1, f.window.get()));
    ASSERT_EQ(other.calls.size(), 1u);
    EXPECT_EQ(other.calls[0].sender->tag(), 3);
    EXPECT_FALSE(menu->performActionForItemAtIndex(2, f.window.get())) << "a separator";
    EXPECT_FALSE(menu->performActionForItemAtIndex(3, f.window.get())) << "nobody performs it";
    EXPECT_FALSE(menu->performActionForItemAtIndex(9, f.window.get())) << "out of range";

    // A right click shows the menu through the host, which performs the chosen item.
    f.host.queueMenuAnswer("Through the chain");
    f.window->sendEvent(click(Event::Type::RightMouseDown, { 150, 100 }));
    ASSERT_TRUE(RunLoop::runUntil([&] { return f.receiver->calls.size() == 2; }, 2000ms));
}

TEST(Controls, ProgressIndicatorSpinsOnTheRunLoop)
{
    Fixture f;
    auto& indicator = f.receiver->add<ProgressIndicator>(Rect { 134, 84, 32, 32 });
    EXPECT_FALSE(indicator.isAnimating());
    indicator.startAnimation();
    EXPECT_TRUE(indicator.isAnimating());
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 300, 200);
    cairo_t* context = cairo_create(surface);
    f.window->display(context); // clears the damage
    ASSERT_FALSE(f.window->needsDisplay());
    int start = indicator.phase();
    ASSERT_TRUE(RunLoop::runUntil([&] { return indicator.phase() != start; }, 2000ms)) << "a timer turns it";
    EXPECT_TRUE(f.window->needsDisplay()) << "each turn asks for a redraw";
    EXPECT_EQ(f.window->dirtyRect(), (Rect { 134, 84, 32, 32 })) << "of the indicator only";
    cairo_destroy(context);
    cairo_surface_destroy(surface);
    indicator.stopAnimation();
    int stopped = indicator.phase();
    EXPECT_FALSE(indicator.isAnimating());
    // A sentinel timer of three ticks: by the time it fires, a timer left running would have turned it.
    bool sentinel = false;
    RunLoop::addTimer(3 * 84ms, [&] { return sentinel = true, false; });
    ASSERT_TRUE(RunLoop::runUntil([&] { return sentinel; }, 2000ms));
    EXPECT_EQ(indicator.phase(), stopped);

    indicator.startAnimation();
    indicator.removeFromSuperview(); // destroyed while spinning: its timer must go with it
    sentinel = false;
    RunLoop::addTimer(3 * 84ms, [&] { return sentinel = true, false; });
    ASSERT_TRUE(RunLoop::runUntil([&] { return sentinel; }, 2000ms));
}
