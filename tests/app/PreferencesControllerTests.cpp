// The preferences and About windows: their controllers, the controls' actions and the colour
// notification that every plug-in view follows.
#include "PreferencesTestSupport.h"
#include "kit/view/Button.h"
#include "kit/view/ColorWell.h"
#include "kit/view/Label.h"
#include "preferences/NRVLectorinAboutBoxController.h"
#include "preferences/NRVLectorinPreferencesController.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

using namespace preftest;

namespace {

constexpr kit::Color kDefaultColor = kit::Color::calibratedRGB(0.38f, 0.45f, 0.56f, 1.0f);

// A settings folder, a bundle whose update host refuses connections (so that the automatic check of the
// first view ends at once and quietly) and a recording host.
struct WindowTest {
    Isolation isolation;
    nettest::RefusingPort refusing;
    std::filesystem::path bundle = installBundle("127.0.0.1:" + std::to_string(refusing.port()));
    RecordingHost host;
};

// Counts the colour notifications posted by any sender.
struct NotificationCounter {
    NotificationCounter()
    {
        kit::NotificationCenter::defaultCenter().addObserver(this, kBackgroundColorChangedNotification, nullptr,
            [this](const kit::Notification&) { ++count; });
    }
    ~NotificationCounter() { kit::NotificationCenter::defaultCenter().removeObserver(this); }
    int count = 0;
};

void collectLabels(kit::View& view, std::vector<std::string>& texts)
{
    if (auto* label = dynamic_cast<kit::Label*>(&view))
        texts.push_back(label->text());
    for (const auto& child : view.subviews())
        collectLabels(*child, texts);
}

} // namespace

TEST(PreferencesController, SharedControllersAreProcessWide)
{
    WindowTest test;
    EXPECT_EQ(&NRVLectorinPreferencesController::sharedPreferencesController(),
        &NRVLectorinPreferencesController::sharedPreferencesController());
    EXPECT_EQ(&NRVLectorinAboutBoxController::sharedAboutBoxController(), &NRVLectorinAboutBoxController::sharedAboutBoxController());
    EXPECT_EQ(NRVLectorinPreferencesController::sharedPreferencesController().windowNibName(), "Preferences");
    EXPECT_EQ(NRVLectorinAboutBoxController::sharedAboutBoxController().windowNibName(), "AboutBox");
}

TEST(PreferencesController, WindowDidLoadFillsControlsFromTheStore)
{
    const struct {
        std::optional<kit::Value> color, autoUpdate;
        kit::Color well;
        int box;
        const char* why;
    } cases[] = {
        { std::nullopt, std::nullopt, kDefaultColor, kit::Button::OnState, "no stored settings: default colour, box on" },
        { floats({ 0.1, 0.2, 0.3 }), kit::Value::boolean(false), kit::Color::calibratedRGB(0.1f, 0.2f, 0.3f),
            kit::Button::OffState, "stored colour; Auto Update false opens the box off" },
        { floats({ 0.9 }), kit::Value::string("maybe"), kit::Color::calibratedRGB(0.9f, 0.45f, 0.56f), kit::Button::OnState,
            "a value that is no valid boolean opens the box on; missing components keep their defaults" },
        { std::nullopt, kit::Value::boolean(true), kDefaultColor, kit::Button::OnState, "Auto Update true" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        WindowTest test;
        if (c.color)
            store(kBackgroundColorKey, *c.color);
        if (c.autoUpdate)
            store(kAutoUpdateKey, *c.autoUpdate);
        std::string before = testsupport::readText(test.isolation.preferencesFile());
        // A controller of its own per row: the shared one loads its window once per process.
        NRVLectorinPreferencesController controller;
        kit::Window* window = controller.window();
        ASSERT_NE(window, nullptr) << controller.loadError();
        ASSERT_NE(controller.backgroundColorWell(), nullptr);
        ASSERT_NE(controller.autoUpdateButton(), nullptr);
        EXPECT_EQ(controller.backgroundColorWell()->color(), c.well);
        EXPECT_EQ(controller.autoUpdateButton()->state(), c.box);
        EXPECT_EQ(window->frameTopLeftPoint(), (kit::Point { 332, 206 })) << "centred on the (default 1024 x 768) screen";
        EXPECT_EQ(testsupport::readText(test.isolation.preferencesFile()), before) << "loading the window writes nothing";
    }
}

TEST(PreferencesController, SecondOpeningShowsTheWindowAsLeft)
{
    WindowTest test;
    auto& controller = NRVLectorinPreferencesController::sharedPreferencesController();
    OpenView view = openView();
    view.window->sendAction("showPreferences:", nullptr, view.plugin);
    kit::Window* window = controller.window();
    ASSERT_NE(window, nullptr) << controller.loadError();
    EXPECT_TRUE(test.host.isShown(*window));
    EXPECT_EQ(window->frameTopLeftPoint(), (kit::Point { 332, 206 }));

    // The user moves the window, closes it, and the settings change behind its back.
    window->setFrameTopLeftPoint({ 10, 20 });
    window->orderOut(nullptr);
    controller.backgroundColorWell()->setColor(kit::Color::calibratedRGB(0.5f, 0.5f, 0.5f));
    store(kBackgroundColorKey, floats({ 0.9, 0.9, 0.9 }));
    store(kAutoUpdateKey, kit::Value::boolean(false));

    view.window->sendAction("showPreferences:", nullptr, view.plugin);
    EXPECT_EQ(controller.window(), window) << "the same window, not loaded again";
    EXPECT_TRUE(test.host.isShown(*window));
    EXPECT_EQ(window->frameTopLeftPoint(), (kit::Point { 10, 20 })) << "not centred again";
    EXPECT_EQ(controller.backgroundColorWell()->color(), kit::Color::calibratedRGB(0.5f, 0.5f, 0.5f)) << "not re-read";
    EXPECT_EQ(controller.autoUpdateButton()->state(), kit::Button::OnState) << "not re-read";
}

TEST(PreferencesController, ColourChangeRecoloursEveryViewBeforeTheActionReturns)
{
    WindowTest test;
    OpenView first = openView();
    OpenView second = openView();
    ASSERT_EQ(first.plugin->backgroundColor(), kDefaultColor);
    auto& controller = NRVLectorinPreferencesController::sharedPreferencesController();
    controller.showWindow(nullptr);
    kit::ColorWell* well = controller.backgroundColorWell();
    ASSERT_NE(well, nullptr);

    NotificationCounter notifications;
    well->setColor(kit::Color::calibratedRGB(0.25f, 0.5f, 0.75f, 0.5f));
    controller.changeBackgroundColor(nullptr);
    // No turn of the run loop in between: the notification is delivered inside the action.
    EXPECT_EQ(notifications.count, 1);
    EXPECT_EQ(first.plugin->backgroundColor(), kit::Color::calibratedRGB(0.25f, 0.5f, 0.75f, 1)) << "shown opaque";
    EXPECT_EQ(second.plugin->backgroundColor(), kit::Color::calibratedRGB(0.25f, 0.5f, 0.75f, 1));
    EXPECT_EQ(well->color().alpha(), 0.5f) << "the well keeps the colour as picked";
    EXPECT_EQ(stored(kBackgroundColorKey), floats({ 0.25, 0.5, 0.75 })) << "three floats, no alpha";
}

TEST(PreferencesController, ColourPickedInThePanelReachesTheViews)
{
    WindowTest test;
    OpenView view = openView();
    auto& controller = NRVLectorinPreferencesController::sharedPreferencesController();
    controller.showWindow(nullptr);
    kit::ColorWell* well = controller.backgroundColorWell();
    ASSERT_NE(well, nullptr);
    // The user clicks the well and picks a grey in the colour panel, which answers from the run loop.
    test.host.queueColorAnswer(kit::Color::white(0.25f));
    well->activate();
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return stored(kBackgroundColorKey).has_value(); }, std::chrono::seconds(10)));
    EXPECT_EQ(stored(kBackgroundColorKey), floats({ 0.25, 0.25, 0.25 })) << "the grey's calibrated-RGB conversion";
    EXPECT_EQ(view.plugin->backgroundColor(), kit::Color::calibratedRGB(0.25f, 0.25f, 0.25f));
}

TEST(PreferencesController, PatternColourStoresAndPostsNothing)
{
    WindowTest test;
    store(kBackgroundColorKey, floats({ 0.1, 0.2, 0.3 }));
    OpenView view = openView();
    auto& controller = NRVLectorinPreferencesController::sharedPreferencesController();
    controller.showWindow(nullptr);
    std::string before = testsupport::readText(test.isolation.preferencesFile());
    NotificationCounter notifications;
    controller.backgroundColorWell()->setColor(kit::Color::pattern());
    controller.changeBackgroundColor(nullptr);
    EXPECT_EQ(notifications.count, 0);
    EXPECT_EQ(testsupport::readText(test.isolation.preferencesFile()), before);
    EXPECT_EQ(view.plugin->backgroundColor(), kit::Color::calibratedRGB(0.1f, 0.2f, 0.3f));
}

TEST(PreferencesController, NotificationFromAnotherSenderIsIgnored)
{
    WindowTest test;
    OpenView view = openView();
    store(kBackgroundColorKey, floats({ 1, 0, 0 }));
    NRVLectorinPreferencesController other;
    kit::NotificationCenter::defaultCenter().postNotification(kBackgroundColorChangedNotification, &other);
    kit::NotificationCenter::defaultCenter().postNotification(kBackgroundColorChangedNotification, nullptr);
    EXPECT_EQ(view.plugin->backgroundColor(), kDefaultColor) << "neither another controller nor no sender recolours";
    kit::NotificationCenter::defaultCenter().postNotification(kBackgroundColorChangedNotification,
        &NRVLectorinPreferencesController::sharedPreferencesController());
    EXPECT_EQ(view.plugin->backgroundColor(), kit::Color::calibratedRGB(1, 0, 0)) << "the shared controller's does";
}

TEST(PreferencesController, ClosedViewNoLongerObserves)
{
    WindowTest test;
    std::size_t before = kit::NotificationCenter::defaultCenter().observationCount();
    {
        OpenView view = openView();
        EXPECT_GT(kit::NotificationCenter::defaultCenter().observationCount(), before);
    }
    EXPECT_EQ(kit::NotificationCenter::defaultCenter().observationCount(), before);
    // Posting after the view is gone reaches nothing that was freed (AddressSanitizer would say).
    NRVLectorinPreferencesController::sharedPreferencesController().showWindow(nullptr);
    NRVLectorinPreferencesController::sharedPreferencesController().changeBackgroundColor(nullptr);
}

TEST(PreferencesController, CheckBoxStoresItsState)
{
    WindowTest test;
    auto& controller = NRVLectorinPreferencesController::sharedPreferencesController();
    controller.showWindow(nullptr);
    kit::Button* box = controller.autoUpdateButton();
    ASSERT_NE(box, nullptr);
    ASSERT_EQ(box->state(), kit::Button::OnState);
    const testsupport::Case<std::function<void()>, bool> steps[] = {
        { [&] { box->performClick(box); }, false, "a click switches the box off" },
        { [&] { box->performClick(box); }, true, "and on again" },
        { [&] { box->setState(kit::Button::MixedState); controller.changeAutoUpdate(box); }, false, "a mixed state stores false" },
        { [&] { box->performClick(box); }, true, "a click on a mixed box switches it on" },
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.why);
        step.input();
        EXPECT_EQ(stored(kAutoUpdateKey), kit::Value::boolean(step.expected));
    }
    EXPECT_EQ(stored(kNextScheduledUpdateCheckKey), std::nullopt) << "the switch does not touch the schedule";
}

TEST(PreferencesController, AboutWindowShowsNameVersionAndDescription)
{
    WindowTest test;
    OpenView view = openView();
    auto& about = NRVLectorinAboutBoxController::sharedAboutBoxController();
    view.window->sendAction("showAboutBox:", nullptr, view.plugin);
    kit::Window* window = about.window();
    ASSERT_NE(window, nullptr) << about.loadError();
    EXPECT_TRUE(test.host.isShown(*window));
    EXPECT_EQ(window->frameTopLeftPoint(), (kit::Point { 342, 196 })) << "centred when loaded";
    std::vector<std::string> labels;
    collectLabels(*window->contentView(), labels);
    EXPECT_NE(std::find(labels.begin(), labels.end(), "Lectorin"), labels.end());
    EXPECT_NE(std::find(labels.begin(), labels.end(), "Version 1.0"), labels.end()) << "the bundle's version";
    EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [](const std::string& t) { return t.find("documents") != std::string::npos; }))
        << "a one-line description";

    window->setFrameTopLeftPoint({ 5, 5 });
    window->orderOut(nullptr);
    view.window->sendAction("showAboutBox:", nullptr, view.plugin);
    EXPECT_EQ(about.window(), window) << "the same window the second time";
    EXPECT_TRUE(test.host.isShown(*window));
    EXPECT_EQ(window->frameTopLeftPoint(), (kit::Point { 5, 5 }));
}
