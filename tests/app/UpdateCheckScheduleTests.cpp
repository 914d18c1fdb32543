// The automatic update check: the weekly schedule, the switch, the once-per-process trigger in the first
// plug-in view's setup, and what may happen while its alert is up.
#include "PreferencesTestSupport.h"
#include "preferences/NRVLectorinPreferencesController.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace preftest;

namespace {

struct CheckTest {
    CheckTest() { installBundle(server.host()); }
    Isolation isolation;
    VersionServer server;
    RecordingHost host;
};

// A document server for the plug-in views, counting the downloads they start.
struct DocumentServer {
    std::atomic<int> requests = 0;
    nettest::LoopbackServer server { [this](httplib::Server& s) {
        s.Get("/doc.rtf", [this](const httplib::Request&, httplib::Response& r) {
            ++requests;
            r.set_content("{\\rtf1\\ansi Hello.\\par}", "application/rtf");
        });
    } };
    kit::Value arguments() const { return PluginFixture::arguments(server.url("/doc.rtf")); }
};

} // namespace

TEST(UpdateCheckSchedule, DueOrNot)
{
    const struct {
        double now;
        std::optional<kit::Value> scheduled;
        bool due;
        const char* why;
    } cases[] = {
        { kNow, std::nullopt, true, "nothing scheduled: due" },
        { kNow, kit::Value::date(kNow), false, "scheduled for this very instant: not due" },
        { kNow, kit::Value::date(kNow - 1), true, "one second earlier: due" },
        { kNow, kit::Value::date(kNow + 1), false, "one second later: not due" },
        { kNow + 0.75, kit::Value::date(kNow), false, "within the same whole second: dates compare truncated" },
        { kNow, kit::Value::date(kNow - 30 * kWeek), true, "long overdue" },
        { kNow, kit::Value::string("2030-01-01T00:00:00Z"), true, "a string is no date: due at once" },
        { kNow, kit::Value::real(kNow + kWeek), true, "a number is no date either" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CheckTest test;
        kit::Clock::setFixedNow(c.now);
        if (c.scheduled)
            store(kNextScheduledUpdateCheckKey, *c.scheduled);
        checkAutomaticallyAndWait();
        EXPECT_TRUE(NRVLectorin::versionCheckPerformed());
        EXPECT_EQ(test.server.requests(), c.due ? 1 : 0);
        std::optional<kit::Value> after = stored(kNextScheduledUpdateCheckKey);
        if (c.due) {
            ASSERT_TRUE(after && after->isDate()) << "replaced by a proper date";
            EXPECT_EQ(*after->asDate(), std::floor(c.now) + kWeek) << "exactly a week after the check";
        } else {
            EXPECT_EQ(after, c.scheduled) << "a check that is not due leaves the schedule alone";
        }
        EXPECT_TRUE(test.host.alerts.empty()) << "the installed version is the published one: quiet";
    }
}

TEST(UpdateCheckSchedule, UnreachableServerIsQuietAndMovesTheSchedule)
{
    Isolation isolation;
    nettest::RefusingPort refusing;
    installBundle("127.0.0.1:" + std::to_string(refusing.port()));
    RecordingHost host;
    checkAutomaticallyAndWait();
    EXPECT_TRUE(host.alerts.empty()) << "no alert when quiet";
    EXPECT_EQ(stored(kNextScheduledUpdateCheckKey), kit::Value::date(kNow + kWeek)) << "not asked again for a week";
}

TEST(UpdateCheckSchedule, NextCheckCountsFromTheAlertsClosing)
{
    CheckTest test;
    test.server.respond(versionFile("2.0"));
    std::optional<kit::Value> scheduledWhileUp = kit::Value::string("not looked at");
    test.host.whileAlertIsUp = [&] {
        scheduledWhileUp = stored(kNextScheduledUpdateCheckKey);
        // The user reads the alert for a minute.
        kit::Clock::setFixedNow(kNow + 60);
    };
    checkAutomaticallyAndWait();
    ASSERT_EQ(test.host.alerts.size(), 1u);
    EXPECT_EQ(test.host.alerts[0].message, kNewVersionMessage);
    EXPECT_EQ(scheduledWhileUp, std::nullopt) << "nothing is stored before the alert is closed";
    EXPECT_EQ(stored(kNextScheduledUpdateCheckKey), kit::Value::date(kNow + 60 + kWeek));
}

TEST(UpdateCheckSchedule, SwitchedOffFetchesAndWritesNothing)
{
    for (const kit::Value& off : { kit::Value::boolean(false), kit::Value::string("NO"), kit::Value::integer(0) }) {
        SCOPED_TRACE(off.toXmlPropertyList());
        CheckTest test;
        test.server.respond(versionFile("1.0"));
        store(kAutoUpdateKey, off);
        store(kNextScheduledUpdateCheckKey, kit::Value::date(kNow - kWeek));
        std::string before = testsupport::readText(test.isolation.preferencesFile());
        checkAutomaticallyAndWait();
        EXPECT_EQ(test.server.requests(), 0) << "nothing fetched";
        EXPECT_EQ(testsupport::readText(test.isolation.preferencesFile()), before) << "nothing written";
        EXPECT_TRUE(test.host.alerts.empty());

        // The window's "check now" still checks, and reports.
        NRVLectorinPreferencesController::sharedPreferencesController().checkVersion(nullptr);
        ASSERT_TRUE(finishVersionChecks());
        EXPECT_EQ(test.server.requests(), 1);
        ASSERT_EQ(test.host.alerts.size(), 1u);
        EXPECT_EQ(test.host.alerts[0].message, kUpToDateMessage);
        EXPECT_EQ(testsupport::readText(test.isolation.preferencesFile()), before) << "on demand, the schedule stays";
    }
}

TEST(UpdateCheckSchedule, SwitchedOnOrUnreadableRuns)
{
    for (const kit::Value& on : { kit::Value::boolean(true), kit::Value::string("perhaps") }) {
        SCOPED_TRACE(on.toXmlPropertyList());
        CheckTest test;
        store(kAutoUpdateKey, on);
        checkAutomaticallyAndWait();
        EXPECT_EQ(test.server.requests(), 1);
    }
}

TEST(UpdateCheckSchedule, NoStoredSettingsTheFirstViewChecks)
{
    CheckTest test;
    test.server.respond(versionFile("2.0"));
    DocumentServer documents;
    OpenView view = openView(documents.arguments());
    EXPECT_TRUE(NRVLectorin::versionCheckInProgress()) << "the check answers later, off the view's setup";
    ASSERT_TRUE(finishVersionChecks());
    EXPECT_EQ(test.server.requests(), 1);
    ASSERT_EQ(test.host.alerts.size(), 1u);
    EXPECT_EQ(stored(kNextScheduledUpdateCheckKey), kit::Value::date(kNow + kWeek));
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return !view.plugin->isLoading(); }, std::chrono::seconds(20)));
    EXPECT_TRUE(view.plugin->downloadIsComplete());
}

TEST(UpdateCheckSchedule, OnlyTheFirstViewOfTheProcessChecks)
{
    CheckTest test;
    EXPECT_FALSE(NRVLectorin::versionCheckPerformed());
    OpenView first = openView();
    EXPECT_TRUE(NRVLectorin::versionCheckPerformed());
    ASSERT_TRUE(finishVersionChecks());
    EXPECT_EQ(test.server.requests(), 1);
    // Even with the schedule cleared, later views of the process do not check.
    ASSERT_TRUE(kit::Preferences::setValue(kNextScheduledUpdateCheckKey, std::nullopt, kPreferencesDomain));
    OpenView second = openView();
    first.window.reset();
    OpenView third = openView();
    EXPECT_FALSE(NRVLectorin::versionCheckInProgress());
    EXPECT_EQ(test.server.requests(), 1);
}

// The alert runs a nested run loop: the browser may create another view then, or tear down the view whose
// setup started the check.
TEST(UpdateCheckSchedule, ViewsOpenedAndClosedWhileTheAlertIsUp)
{
    CheckTest test;
    test.server.respond(versionFile("2.0"));
    DocumentServer documents;
    std::unique_ptr<NRVLectorin> first = NRVLectorin::plugInViewWithArguments(documents.arguments());
    std::optional<OpenView> second;
    test.host.whileAlertIsUp = [&] {
        second = openView(documents.arguments());
        first.reset(); // the page of the first document goes away
    };
    first->webPlugInInitialize();
    ASSERT_TRUE(finishVersionChecks());

    EXPECT_EQ(first, nullptr);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(test.server.requests(), 1) << "the second view started no second check";
    EXPECT_EQ(test.host.alerts.size(), 1u);
    EXPECT_EQ(stored(kNextScheduledUpdateCheckKey), kit::Value::date(kNow + kWeek)) << "the check still ended normally";
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return !second->plugin->isLoading(); }, std::chrono::seconds(20)));
    EXPECT_TRUE(second->plugin->downloadIsComplete());
}
