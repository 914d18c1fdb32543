#pragma once

// What the preferences and update-check tests share: a settings folder of the test's own, a plug-in bundle
// whose update host is a loopback server, the version server itself, and hosts that record or act on the
// alerts they run.

#include "PluginTestSupport.h"
#include "kit/foundation/Bundle.h"
#include "kit/foundation/Clock.h"
#include "kit/foundation/Preferences.h"
#include "kit/foundation/Workspace.h"
#include "kit/view/Alert.h"
#include "kit_net/TlsLoopbackServer.h"
#include "preferences/LectorinPreferences.h"
#include "support/TestSupport.h"

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kit {
// Failed expectations show values as their property-list text.
inline void PrintTo(const Value& value, std::ostream* out)
{
    *out << value.toXmlPropertyList();
}
} // namespace kit

namespace preftest {

// A fixed instant (whole seconds since 2001) that lies well inside the range of stored dates.
inline constexpr double kNow = 700000000.0;
inline constexpr double kWeek = 604800.0;

// Everything a test changes in the process, put back when it ends: the settings folder is fresh, the
// clock is fixed, the once-per-process flag of the automatic check is clear and no URL has been opened.
// Tests usually run one per process; this also keeps them apart when a whole program runs at once.
struct Isolation {
    Isolation()
    {
        static int count = 0;
        folder = testsupport::temporaryFolder("settings-" + std::to_string(++count));
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
        kit::Clock::setFixedNow(kNow);
        NRVLectorin::resetVersionCheckPerformedForTesting();
        kit::Workspace::resetCountForTesting();
    }
    ~Isolation()
    {
        kit::Clock::setFixedNow(std::nullopt);
        kit::Workspace::setOpenURLHandler(nullptr);
    }
    std::filesystem::path preferencesFile() const { return kit::Preferences::fileForDomain(kPreferencesDomain); }
    std::filesystem::path folder;
};

inline void store(const char* key, kit::Value value)
{
    ASSERT_TRUE(kit::Preferences::setValue(key, std::move(value), kPreferencesDomain));
}

inline std::optional<kit::Value> stored(const char* key)
{
    return kit::Preferences::copyValue(key, kPreferencesDomain);
}

inline kit::Value floats(std::initializer_list<double> values)
{
    kit::Value array = kit::Value::array();
    for (double v : values)
        array.append(kit::Value::real(v));
    return array;
}

// A copy of the build tree's plug-in bundle with the update host and the installed version changed, made the
// plug-in bundle of the process.
inline std::filesystem::path installBundle(const std::string& updateHost, std::optional<std::string> version = "1.0")
{
    std::filesystem::path folder = copyPluginBundle([&](const std::string& file, std::string text) {
        if (file != "Info.plist")
            return text;
        auto info = kit::Value::fromPropertyList(text);
        EXPECT_TRUE(info.ok()) << "the build tree's Info.plist reads";
        kit::Value dictionary = info.ok() ? info.value() : kit::Value::dictionary();
        dictionary.set("NRVUpdateHost", kit::Value::string(updateHost));
        if (version)
            dictionary.set("CFBundleVersion", kit::Value::string(*version));
        else
            dictionary.remove("CFBundleVersion");
        return dictionary.toXmlPropertyList();
    });
    setenv("LECTORIN_BUNDLE", folder.c_str(), 1);
    return folder;
}

// An XML property list with "Lectorin" (and nothing else) as the latest version.
inline std::string versionFile(const std::string& latest)
{
    kit::Value file = kit::Value::dictionary();
    file.set("Lectorin", kit::Value::string(latest));
    return file.toXmlPropertyList();
}

// The vendor's https server on 127.0.0.1 (trusted through the test's certificate): /lectorin/version.xml answers with
// what the test set (a 200 with the body by default), / is the home page. Requests are counted, for "nothing was
// fetched".
class VersionServer {
public:
    VersionServer()
        : m_server([this](httplib::Server& s) {
            s.Get("/lectorin/version.xml", [this](const httplib::Request&, httplib::Response& r) {
                ++m_requests;
                std::lock_guard lock(m_mutex);
                r.status = m_status;
                r.set_content(m_body, m_contentType);
            });
        })
    {
    }
    void respond(std::string body, int status = 200, std::string contentType = "text/xml")
    {
        std::lock_guard lock(m_mutex);
        m_body = std::move(body);
        m_status = status;
        m_contentType = std::move(contentType);
    }
    int requests() const { return m_requests; }
    std::string host() const { return "127.0.0.1:" + std::to_string(m_server.port()); }
    std::string homePage() const { return "https://" + host() + "/"; }

private:
    std::atomic<int> m_requests = 0;
    std::mutex m_mutex;
    std::string m_body = versionFile("1.0");
    int m_status = 200;
    std::string m_contentType = "text/xml";
    nettest::TlsLoopbackServer m_server;
};

// One alert as the user saw it.
struct ShownAlert {
    std::string message;
    std::string informative;
    std::vector<std::string> buttons;
    std::vector<std::string> keys;
};

// A headless host that keeps every alert it ran whole, and can act while one is up (the alert spins a
// nested run loop in a real host, so anything the run loop delivers may happen then).
class RecordingHost : public kit::HeadlessHost {
public:
    RecordingHost()
    {
        setEchoesToStandardError(false);
        kit::Host::setCurrent(this);
    }
    ~RecordingHost() override { kit::Host::setCurrent(nullptr); }

    int runModalAlert(const kit::Alert& alert) override
    {
        ShownAlert shown { alert.messageText(), alert.informativeText(), {}, {} };
        for (const auto& button : alert.buttons()) {
            shown.buttons.push_back(button->title());
            shown.keys.push_back(button->keyEquivalent());
        }
        alerts.push_back(std::move(shown));
        if (auto act = std::exchange(whileAlertIsUp, nullptr))
            act();
        return kit::HeadlessHost::runModalAlert(alert);
    }

    std::vector<ShownAlert> alerts;
    std::function<void()> whileAlertIsUp;
};

// The update check answers on a later turn of the run loop: these wait for its answer as a user waits for
// the alert (the fetch itself gives up within a minute).
inline bool finishVersionChecks()
{
    return kit::RunLoop::runUntil([] { return !NRVLectorin::versionCheckInProgress(); }, std::chrono::seconds(90));
}

inline void checkVersionAndWait(bool quiet)
{
    NRVLectorin::doVersionCheckQuiet(quiet);
    EXPECT_TRUE(finishVersionChecks());
}

inline void checkAutomaticallyAndWait()
{
    NRVLectorin::doVersionCheckAutomatically();
    EXPECT_TRUE(finishVersionChecks());
}

// The English texts of the three alerts, as the user reads them.
inline const char* kNewVersionMessage = "A new version of Lectorin is now available.";
inline const char* kUpToDateMessage = "This copy of Lectorin is up to date.";
inline const char* kNotAvailableMessage = "The update check is currently not available.";

// A plug-in view with no document, in a window of its own, made as a browser makes it.
struct OpenView {
    std::unique_ptr<kit::Window> window;
    NRVLectorin* plugin = nullptr;
};

inline OpenView openView(const kit::Value& arguments = PluginFixture::arguments(""), kit::Size box = { 400, 300 })
{
    OpenView view;
    view.window = std::make_unique<kit::Window>(box);
    auto plugin = NRVLectorin::plugInViewWithArguments(arguments);
    plugin->webPlugInInitialize();
    view.plugin = plugin.get();
    view.window->contentView()->addSubview(std::move(plugin)).setFrame({ { 0, 0 }, box });
    return view;
}

} // namespace preftest
