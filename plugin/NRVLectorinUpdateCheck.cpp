// The update check: a small version file on the vendor's server compared with the bundle's version,
// automatically once a week (from the first view of a process) and on demand.
#include "kit/foundation/Bundle.h"
#include "kit/foundation/Clock.h"
#include "kit/foundation/Format.h"
#include "kit/foundation/Preferences.h"
#include "kit/foundation/RunLoop.h"
#include "kit/foundation/Workspace.h"
#include "kit/net/SynchronousFetch.h"
#include "kit/view/Alert.h"
#include "kit/view/Button.h"
#include "plugin/NRVLectorin.h"
#include "plugin/VersionComparison.h"
#include "preferences/LectorinPreferences.h"

#include <cmath>
#include <thread>

namespace {

constexpr double kCheckInterval = 604800.0; // seven days, in seconds
// The version file is a few lines; a server that sends more is not one we know.
constexpr std::size_t kVersionFileMaximumBytes = 64 * 1024;

bool s_versionCheckPerformed = false;
// Checks whose fetch has started and whose answer has not yet been presented.
int s_versionChecksInFlight = 0;

std::string localized(const char* key)
{
    return kit::Bundle::main().localizedStringForKey(key, "", "");
}

std::string updateHost()
{
    return kit::Bundle::plugin().updateHost().value_or("updates.lectorin.invalid");
}

// The version file's dictionary, or nothing when it cannot be had: a failed fetch, a final status outside
// 2xx, a body over the cap, or a body that is not a property list with a dictionary at its root.
// Runs on a worker thread: it touches neither the bundle nor any view, only the host it is given.
std::optional<kit::Value> fetchVersionFile(const std::string& host)
{
    // Over https only: anyone on the way could otherwise announce a release and send the user to a
    // download of their own.
    std::optional<kit::URL> url = kit::URL::withString("https://" + host + "/lectorin/version.xml");
    if (!url)
        return std::nullopt;
    kit::FetchLimits limits;
    limits.maximumBytes = kVersionFileMaximumBytes;
    limits.isSecureOnly = true;
    kit::FetchResult fetched = kit::fetchSynchronously(*url, limits);
    if (!fetched.succeeded() || fetched.statusCode < 200 || fetched.statusCode > 299)
        return std::nullopt;
    auto parsed = kit::Value::fromPropertyList(std::span<const std::uint8_t>(fetched.body));
    if (!parsed || !parsed->isDictionary())
        return std::nullopt;
    return std::move(parsed.value());
}

// What the alert may show of the server's version string: printable ASCII, at most kShownVersionLength
// characters (a longer string is cut, and says so with "..."); nothing when no character is left.
constexpr std::size_t kShownVersionLength = 32;
std::optional<std::string> shownVersion(const std::string& reply)
{
    std::string shown;
    for (char c : reply) {
        if (c >= 0x20 && c < 0x7F)
            shown += c;
    }
    if (shown.size() > kShownVersionLength)
        shown = shown.substr(0, kShownVersionLength) + "...";
    if (shown.find_first_not_of(' ') == std::string::npos)
        return std::nullopt;
    return shown;
}

void showNewVersionAlert(const std::optional<std::string>& bundleName, const std::string& latest)
{
    kit::Alert alert;
    alert.setMessageText(kit::format(localized("A new version of %@ is now available."), bundleName));
    alert.setInformativeText(kit::format(localized("The latest version of %@ is %@. Choose \"More Info\" to open a web page "
                                                   "from which you can download or get information about this new version."),
        bundleName, latest));
    alert.addButtonWithTitle(localized("More Info..."));
    kit::Button& later = alert.addButtonWithTitle(localized("Update Later"));
    later.setKeyEquivalent("\x1b");
    if (alert.runModal() == kit::Alert::FirstButtonReturn)
        kit::Workspace::openURL("https://" + updateHost() + "/");
}

void showUpToDateAlert(const std::optional<std::string>& bundleName)
{
    kit::Alert alert;
    alert.setMessageText(kit::format(localized("This copy of %@ is up to date."), bundleName));
    alert.addButtonWithTitle(localized("OK"));
    alert.runModal();
}

void showNotAvailableAlert()
{
    kit::Alert alert;
    alert.setMessageText(localized("The update check is currently not available."));
    alert.setInformativeText(localized("An error occured while trying to retrieve the current version information from the "
                                       "Internet. Please try again later."));
    alert.addButtonWithTitle(localized("OK"));
    alert.runModal();
}

} // namespace

bool NRVLectorin::versionCheckPerformed()
{
    return s_versionCheckPerformed;
}

void NRVLectorin::resetVersionCheckPerformedForTesting()
{
    s_versionCheckPerformed = false;
}

void NRVLectorin::doVersionCheckAutomatically()
{
    // Set before the check runs: its alert spins a nested run loop in which a second view may be set up,
    // and that view must not start a second check.
    s_versionCheckPerformed = true;
    if (!readAutoUpdatePreference())
        return;
    std::optional<double> scheduled;
    if (auto stored = kit::Preferences::copyValue(kNextScheduledUpdateCheckKey, kPreferencesDomain); stored && stored->isDate())
        scheduled = stored->asDate();
    // Stored dates are whole seconds, rounded down; now is rounded the same way before the comparison, so
    // that a date stored as "now" is not due within the same second.
    bool due = !scheduled || std::floor(kit::Clock::now()) - *scheduled > 0.0;
    if (!due)
        return;
    // The next check counts from the moment this one has said what it had to say.
    startVersionCheck(true, [] {
        kit::Preferences::setValue(
            kNextScheduledUpdateCheckKey, kit::Value::date(kit::Clock::now() + kCheckInterval), kPreferencesDomain);
        kit::Preferences::synchronize(kPreferencesDomain);
    });
}

bool NRVLectorin::versionCheckInProgress()
{
    return s_versionChecksInFlight > 0;
}

namespace {

struct VersionCheckAnswer {
    bool quiet = false;
    std::optional<std::string> bundleName;
    std::optional<std::string> installed;
    std::optional<kit::Value> versionFile;
};

// On the UI thread, once the version file has been fetched or could not be.
void presentVersionCheck(const VersionCheckAnswer& answer)
{
    const std::optional<kit::Value>& versionFile = answer.versionFile;
    // A file with entries but no version string under "Lectorin" tells nothing: it counts as unavailable.
    const kit::Value* latestValue = versionFile ? versionFile->get("Lectorin") : nullptr;
    std::optional<std::string> latest
        = latestValue && latestValue->asString() ? shownVersion(*latestValue->asString()) : std::nullopt;
    if (!versionFile || versionFile->count() == 0 || !latest) {
        if (!answer.quiet)
            showNotAvailableAlert();
        return;
    }
    // Without an installed version the check cannot call anything newer: the same version.
    bool newer = answer.installed && plugin::compareVersions(*answer.installed, *latest) < 0;
    if (newer)
        showNewVersionAlert(answer.bundleName, *latest);
    else if (!answer.quiet)
        showUpToDateAlert(answer.bundleName);
}

} // namespace

void NRVLectorin::doVersionCheckQuiet(bool quiet)
{
    startVersionCheck(quiet, nullptr);
}

void NRVLectorin::startVersionCheck(bool quiet, std::function<void()> afterPresented)
{
    const kit::Bundle& bundle = kit::Bundle::plugin();
    // A bundle without a name prints "(null)" in the texts, as the formatter prints an absent argument.
    VersionCheckAnswer answer { quiet, bundle.infoString("CFBundleName"), bundle.version(), std::nullopt };
    // The fetch may take up to a minute against a slow server; the browser it runs in must not freeze for
    // it. The answer is presented on the UI thread, in the order the checks' fetches end.
    ++s_versionChecksInFlight;
    // The UI thread joins the fetch's thread before it presents the answer: a check is over only once its
    // thread has ended, with the TLS library's state of that thread freed, so that a command that exits
    // right after the check leaves nothing running behind it.
    auto fetching = std::make_shared<std::thread>();
    *fetching = std::thread([answer = std::move(answer), host = updateHost(), afterPresented = std::move(afterPresented),
                                fetching]() mutable {
        answer.versionFile = fetchVersionFile(host);
        kit::RunLoop::post([answer = std::move(answer), afterPresented = std::move(afterPresented), fetching] {
            if (fetching->joinable())
                fetching->join();
            presentVersionCheck(answer);
            if (afterPresented)
                afterPresented();
            --s_versionChecksInFlight;
        });
    });
}
