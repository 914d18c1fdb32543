// The update check against a version server on 127.0.0.1: what each version file means, and the alerts.
#include "PreferencesTestSupport.h"
#include "support/PlistBytes.h"
#include "support/Cases.h"

#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <gtest/gtest.h>
#include <plist/plist.h>
#include <tuple>

using namespace preftest;

namespace {

// A settings folder, the version server, a bundle naming it with the installed version, a recording host.
struct CheckTest {
    explicit CheckTest(std::optional<std::string> installed = "1.0") { installBundle(server.host(), installed); }
    Isolation isolation;
    VersionServer server;
    RecordingHost host;
};

std::string binaryVersionFile(const std::string& latest)
{
    plist_t dictionary = plist_new_dict();
    plist_dict_set_item(dictionary, "Lectorin", plist_new_string(latest.c_str()));
    return testsupport::binaryPlist(dictionary);
}

// An XML version file naming 2.0, padded with another entry to exactly size bytes.
std::string versionFileOfSize(std::size_t size)
{
    auto make = [](std::size_t padding) {
        kit::Value file = kit::Value::dictionary();
        file.set("Lectorin", kit::Value::string("2.0"));
        file.set("Padding", kit::Value::string(std::string(padding, 'x')));
        return file.toXmlPropertyList();
    };
    std::size_t bare = make(0).size();
    std::string file = make(size - bare);
    EXPECT_EQ(file.size(), size);
    return file;
}

std::optional<std::string> onlyMessage(const RecordingHost& host)
{
    EXPECT_LE(host.alerts.size(), 1u);
    return host.alerts.empty() ? std::nullopt : std::optional<std::string>(host.alerts.front().message);
}

// The one alert a check the user asked for shows when the server answers body.
ShownAlert alertShownFor(const std::string& body)
{
    CheckTest test;
    test.server.respond(body);
    checkVersionAndWait(false);
    EXPECT_EQ(test.host.alerts.size(), 1u);
    return test.host.alerts.empty() ? ShownAlert {} : test.host.alerts.front();
}

} // namespace

TEST(UpdateCheck, DecisionTable)
{
    const testsupport::Case<std::tuple<std::optional<std::string>, std::string, bool>, std::optional<std::string>>
        cases[] = {
        { { "1.9", "1.10", false }, kNewVersionMessage, "numeric comparison: 1.9 < 1.10" },
        { { "1.9", "1.10", true }, kNewVersionMessage, "a newer version is announced also when quiet" },
        { { "1.0b2", "1.0B2", false }, kUpToDateMessage, "case is ignored: the same version" },
        { { "1.0b2", "1.0B2", true }, std::nullopt, "the same version says nothing when quiet" },
        { { "2.0", "1.5", false }, kUpToDateMessage, "installed later than published: up to date" },
        { { "2.0", "1.5", true }, std::nullopt, "and nothing when quiet" },
        { { "1.0", "1.0.1", false }, kNewVersionMessage, "1.0 < 1.0.1" },
        { { "1.0", "1.0.0", false }, kNewVersionMessage, "1.0 < 1.0.0: the longer string sorts after" },
        { { "1.0", "1.0b1", false }, kNewVersionMessage, "1.0 < 1.0b1" },
        { { "1.0b2", "1.0b10", true }, kNewVersionMessage, "1.0b2 < 1.0b10" },
        { { std::nullopt, "9.9", false }, kUpToDateMessage,
            "a bundle without CFBundleVersion compares as the same version" },
        { { std::nullopt, "9.9", true }, std::nullopt, "and so never announces a newer one" },
    };
    for (const auto& c : cases) {
        const auto& [installed, latest, quiet] = c.input;
        SCOPED_TRACE(c.why);
        CheckTest test(installed);
        test.server.respond(versionFile(latest));
        checkVersionAndWait(quiet);
        EXPECT_EQ(test.server.requests(), 1);
        EXPECT_EQ(onlyMessage(test.host), c.expected);
        EXPECT_EQ(stored(kNextScheduledUpdateCheckKey), std::nullopt) << "a direct check does not move the schedule";
    }
}

TEST(UpdateCheck, VersionFileForms)
{
    kit::Value extra = kit::Value::dictionary();
    extra.set("Lectorin", kit::Value::string("1.0"));
    extra.set("Other", kit::Value::string("9.0"));
    kit::Value numeric = kit::Value::dictionary();
    numeric.set("Lectorin", kit::Value::integer(2));
    kit::Value otherEntries = kit::Value::dictionary();
    otherEntries.set("Another Product", kit::Value::string("2.0"));
    const std::size_t cap = 64 * 1024;
    const testsupport::Case<std::tuple<std::string, int>, const char*> cases[] = {
        { { versionFile("2.0"), 200 }, kNewVersionMessage, "an XML property list" },
        { { binaryVersionFile("2.0"), 200 }, kNewVersionMessage, "a binary property list" },
        { { extra.toXmlPropertyList(), 200 }, kUpToDateMessage, "other entries are ignored" },
        { { kit::Value::dictionary().toXmlPropertyList(), 200 }, kNotAvailableMessage, "an empty dictionary" },
        { { versionFile("2.0"), 500 }, kNotAvailableMessage, "a server error, whatever its body" },
        { { versionFile("2.0"), 404 }, kNotAvailableMessage, "not found" },
        { { versionFileOfSize(cap), 200 }, kNewVersionMessage, "exactly 64 KiB is read" },
        { { versionFileOfSize(cap + 1), 200 }, kNotAvailableMessage, "one byte over 64 KiB is refused" },
        { { "{ Lectorin = \"2.0\"; }", 200 }, kNotAvailableMessage, "an old-style text property list is not read" },
        { { kit::Value::array({ kit::Value::string("2.0") }).toXmlPropertyList(), 200 }, kNotAvailableMessage,
            "a root that is not a dictionary" },
        { { numeric.toXmlPropertyList(), 200 }, kNotAvailableMessage,
            "\"Lectorin\" that is not a string is not compared" },
        { { otherEntries.toXmlPropertyList(), 200 }, kNotAvailableMessage, "entries, but none under \"Lectorin\"" },
        { { "<html><body>Lectorin 2.0</body></html>", 200 }, kNotAvailableMessage, "a web page" },
        { { "", 200 }, kNotAvailableMessage, "an empty body" },
    };
    for (const auto& c : cases) {
        const auto& [body, status] = c.input;
        SCOPED_TRACE(c.why);
        CheckTest test;
        test.server.respond(body, status);
        checkVersionAndWait(false);
        EXPECT_EQ(test.server.requests(), 1);
        EXPECT_EQ(onlyMessage(test.host), std::optional<std::string>(c.expected));
    }
}

TEST(UpdateCheck, UnreachableServer)
{
    for (bool quiet : { false, true }) {
        SCOPED_TRACE(quiet ? "quiet: nothing is shown" : "on demand: the not-available alert");
        Isolation isolation;
        nettest::RefusingPort refusing;
        installBundle("127.0.0.1:" + std::to_string(refusing.port()));
        RecordingHost host;
        checkVersionAndWait(quiet);
        EXPECT_EQ(onlyMessage(host), quiet ? std::nullopt : std::optional<std::string>(kNotAvailableMessage));
    }
}

TEST(UpdateCheck, AlertTextsAndButtons)
{
    const std::string kNewInformative = "The latest version of Lectorin is 2.0. Choose \"More Info\" to open a web page from "
                                        "which you can download or get information about this new version.";
    const std::string kNotAvailableInformative = "An error occured while trying to retrieve the current version "
                                                 "information from the Internet. Please try again later.";
    const testsupport::Case<std::string, ShownAlert> cases[] = {
        { versionFile("2.0"), { kNewVersionMessage, kNewInformative, { "More Info...", "Update Later" }, { "\r", "\x1b" } },
            "new version: More Info... answers Return, Update Later Escape" },
        { versionFile("1.0"), { kUpToDateMessage, "", { "OK" }, { "\r" } }, "up to date: no informative text" },
        { "", { kNotAvailableMessage, kNotAvailableInformative, { "OK" }, { "\r" } }, "not available" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ShownAlert shown = alertShownFor(c.input);
        EXPECT_EQ(shown.message, c.expected.message);
        EXPECT_EQ(shown.informative, c.expected.informative);
        EXPECT_EQ(shown.buttons, c.expected.buttons);
        EXPECT_EQ(shown.keys, c.expected.keys);
    }
}

TEST(UpdateCheck, MoreInfoOpensTheHomePage)
{
    const testsupport::Case<std::optional<std::string>, bool> cases[] = {
        { "Return", true, "Return chooses More Info..." },
        { "Escape", false, "Escape chooses Update Later" },
        { "More Info...", true, "a click on More Info..." },
        { "Update Later", false, "a click on Update Later" },
        { std::nullopt, false, "an alert closed without a choice takes its Escape button" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CheckTest test;
        test.server.respond(versionFile("1.1"));
        if (c.input)
            test.host.queueAlertAnswer(*c.input);
        // Opening goes to the host, as the hosts route it.
        kit::Workspace::setOpenURLHandler([&](const std::string& url) { test.host.openURL(url); });
        checkVersionAndWait(true);
        ASSERT_EQ(test.host.alerts.size(), 1u);
        EXPECT_EQ(kit::Workspace::openURLCount(), c.expected ? 1 : 0);
        EXPECT_EQ(test.host.openedURLs(), c.expected ? std::vector<std::string> { test.server.homePage() } : std::vector<std::string> {});
    }
}

// Every text goes through the host program's strings: translated first, then filled.
TEST(UpdateCheck, TextsComeFromTheMainBundle)
{
    std::filesystem::path main = testsupport::temporaryFolder("main-bundle-fr");
    std::filesystem::create_directories(main / "fr.lproj");
    testsupport::writeFile(main / "fr.lproj" / "Localizable.strings",
        "\"A new version of %@ is now available.\" = \"Une nouvelle version de %@ est disponible.\";\n"
        "\"The latest version of %@ is %@. Choose \\\"More Info\\\" to open a web page from which you can download or "
        "get information about this new version.\" = \"La version %2$@ de %1$@ est parue.\";\n"
        "\"More Info...\" = \"Plus d'infos...\";\n"
        "\"Update Later\" = \"Plus tard\";\n"
        "\"The update check is currently not available.\" = \"V\xC3\xA9rification indisponible \xC3\xA0 100 %@.\";\n"
        "\"OK\" = \"D'accord\";\n");
    setenv("LECTORIN_MAIN_BUNDLE", main.c_str(), 1);
    setenv("LANGUAGE", "fr", 1);
    const struct {
        std::string body;
        std::string message, informative;
        std::vector<std::string> buttons;
        const char* why;
    } cases[] = {
        { versionFile("3.1"), "Une nouvelle version de Lectorin est disponible.", "La version 3.1 de Lectorin est parue.",
            { "Plus d'infos...", "Plus tard" }, "placeholders are filled after translation, in the translation's order" },
        { "", "V\xC3\xA9rification indisponible \xC3\xA0 100 %@.",
            "An error occured while trying to retrieve the current version information from the Internet. Please try "
            "again later.",
            { "D'accord" }, "a text without placeholders is not formatted; an untranslated one shows its key" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ShownAlert shown = alertShownFor(c.body);
        EXPECT_EQ(shown.message, c.message);
        EXPECT_EQ(shown.informative, c.informative);
        EXPECT_EQ(shown.buttons, c.buttons);
    }
    unsetenv("LANGUAGE");
    unsetenv("LECTORIN_MAIN_BUNDLE");
}

TEST(UpdateCheck, OnlyATrustedHttpsServerIsBelieved)
{
    // Each server below would announce 9.0; a check that believed it would show the new-version alert.
    nettest::LoopbackServer plain([](httplib::Server& s) {
        s.Get("/lectorin/version.xml",
            [](const httplib::Request&, httplib::Response& r) { r.set_content(versionFile("9.0"), "text/xml"); });
    });
    nettest::TlsLoopbackServer downgrading([&](httplib::Server& s) {
        s.Get("/lectorin/version.xml",
            [&](const httplib::Request&, httplib::Response& r) { r.set_redirect(plain.url("/lectorin/version.xml")); });
    });
    nettest::TlsLoopbackServer untrusted([](httplib::Server& s) {
        s.Get("/lectorin/version.xml",
            [](const httplib::Request&, httplib::Response& r) { r.set_content(versionFile("9.0"), "text/xml"); });
    });
    const std::string trustedAuthorities = std::getenv("LECTORIN_TEST_CA_FILE");
    auto folder = testsupport::temporaryFolder("other-ca");
    std::string ignored;
    testsupport::runCommand("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 -keyout "
            + (folder / "k.pem").string() + " -out " + (folder / "other.pem").string() + " 2>&1",
        &ignored);
    const testsupport::Case<std::string, std::string> cases[] = {
        { "127.0.0.1:" + std::to_string(plain.port()), trustedAuthorities, "the host answers plain http only" },
        { "127.0.0.1:" + std::to_string(downgrading.port()), trustedAuthorities, "https that redirects to http" },
        { "127.0.0.1:" + std::to_string(untrusted.port()), (folder / "other.pem").string(),
            "a certificate no authority vouches for" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Isolation isolation;
        installBundle(c.input);
        ::setenv("LECTORIN_TEST_CA_FILE", c.expected.c_str(), 1);
        RecordingHost host;
        checkVersionAndWait(false);
        EXPECT_EQ(onlyMessage(host), std::optional<std::string>(kNotAvailableMessage));
    }
    ::setenv("LECTORIN_TEST_CA_FILE", trustedAuthorities.c_str(), 1);
}

TEST(UpdateCheck, ShowsNoMoreOfTheReplyThanAVersion)
{
    const std::string padding(5000, '9');
    const struct {
        std::string latest;
        std::optional<std::string> shown; // nullopt: the not-available alert
        const char* why;
    } cases[] = {
        { "2.0\x1b[2J\r\n\x07", "2.0[2J", "control characters are left out" },
        { "9." + padding, "9." + padding.substr(0, 30) + "...", "a long string is cut at 32 characters" },
        { "\x01\x02\t", std::nullopt, "nothing printable: no version at all" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CheckTest test;
        test.server.respond(versionFile(c.latest));
        checkVersionAndWait(false);
        ASSERT_EQ(test.host.alerts.size(), 1u);
        const ShownAlert& shown = test.host.alerts.front();
        if (!c.shown) {
            EXPECT_EQ(shown.message, kNotAvailableMessage);
            continue;
        }
        EXPECT_EQ(shown.message, kNewVersionMessage);
        EXPECT_NE(
            shown.informative.find("The latest version of Lectorin is " + *c.shown + ". Choose"), std::string::npos)
            << shown.informative;
    }
}

// A server that answers only when the test lets it: the test lets it from a timer of the UI thread's run
// loop, so the answer can only arrive if that loop kept turning while the fetch waited.
TEST(UpdateCheck, TheRunLoopTurnsWhileTheFetchWaits)
{
    std::mutex mutex;
    std::condition_variable released;
    bool answer = false;
    nettest::TlsLoopbackServer slow([&](httplib::Server& s) {
        s.Get("/lectorin/version.xml", [&](const httplib::Request&, httplib::Response& r) {
            std::unique_lock lock(mutex);
            released.wait_for(lock, std::chrono::seconds(30), [&] { return answer; });
            r.set_content(versionFile("2.0"), "text/xml");
        });
    });
    Isolation isolation;
    installBundle("127.0.0.1:" + std::to_string(slow.port()));
    RecordingHost host;
    NRVLectorin::doVersionCheckQuiet(false);
    EXPECT_TRUE(NRVLectorin::versionCheckInProgress());
    EXPECT_TRUE(host.alerts.empty()) << "nothing is shown before the reply";
    int ticks = 0;
    kit::RunLoop::addTimer(std::chrono::milliseconds(20), [&] {
        if (++ticks < 3)
            return true;
        std::lock_guard lock(mutex);
        answer = true;
        released.notify_all();
        return false;
    });
    ASSERT_TRUE(finishVersionChecks());
    EXPECT_GE(ticks, 3);
    ASSERT_EQ(host.alerts.size(), 1u);
    EXPECT_EQ(host.alerts[0].message, kNewVersionMessage);
}

// Two checks asked for at once (the button pressed twice) each say what they found.
TEST(UpdateCheck, ChecksStartedTogetherEachAnswer)
{
    CheckTest test;
    test.server.respond(versionFile("1.0"));
    NRVLectorin::doVersionCheckQuiet(false);
    NRVLectorin::doVersionCheckQuiet(false);
    ASSERT_TRUE(finishVersionChecks());
    EXPECT_EQ(test.server.requests(), 2);
    ASSERT_EQ(test.host.alerts.size(), 2u);
    EXPECT_EQ(test.host.alerts[0].message, kUpToDateMessage);
    EXPECT_EQ(test.host.alerts[1].message, kUpToDateMessage);
}
