// The commands that reach the plug-in's settings and its two windows without a page: `defaults` on the
// preferences domain, `check-update`, `prefs` (the preferences window's controls) and the window branch of
// `render`.
#include "hosts/cli/Commands.h"
#include "hosts/cli/Json.h"
#include "kit/foundation/Bundle.h"
#include "kit/foundation/Clock.h"
#include "kit/foundation/NotificationCenter.h"
#include "kit/foundation/Preferences.h"
#include "kit/foundation/RunLoop.h"
#include "kit/foundation/Workspace.h"
#include "kit/host/HeadlessHost.h"
#include "kit/view/Alert.h"
#include "kit/view/Button.h"
#include "kit/view/ColorWell.h"
#include "kit/view/Window.h"
#include "plugin/NRVLectorin.h"
#include "preferences/LectorinPreferences.h"
#include "preferences/NRVLectorinAboutBoxController.h"
#include "preferences/NRVLectorinPreferencesController.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>

namespace hosts {

namespace {

// A headless host that also shows each alert on the terminal in full, since nobody sees the panel: the
// message, the informative text and the buttons with the keys that press them. The answer itself is echoed
// by the headless host on stderr.
class TerminalHost : public kit::HeadlessHost {
public:
    TerminalHost() { kit::Host::setCurrent(this); }
    ~TerminalHost() override { kit::Host::setCurrent(nullptr); }

    int runModalAlert(const kit::Alert& alert) override
    {
        std::printf("alert: %s\n", alert.messageText().c_str());
        if (!alert.informativeText().empty())
            std::printf("  %s\n", alert.informativeText().c_str());
        std::string buttons;
        for (const auto& button : alert.buttons()) {
            buttons += buttons.empty() ? "  buttons: " : ", ";
            buttons += "\"" + button->title() + "\"";
            if (button->keyEquivalent() == "\r")
                buttons += " (Return)";
            else if (button->keyEquivalent() == "\x1b")
                buttons += " (Escape)";
        }
        if (!buttons.empty())
            std::printf("%s\n", buttons.c_str());
        std::fflush(stdout);
        return kit::HeadlessHost::runModalAlert(alert);
    }
};

// Opening a URL goes to the host current while the command runs (which prints it and launches nothing).
struct OpenURLThroughHost {
    OpenURLThroughHost()
    {
        kit::Workspace::setOpenURLHandler([](const std::string& url) { kit::Host::current().openURL(url); });
    }
    ~OpenURLThroughHost() { kit::Workspace::setOpenURLHandler(nullptr); }
};

// Property-list values printed as the classic defaults tool prints them: the old-style text form, with
// strings quoted unless they are plain words and nested containers indented by their level.

std::string indent(int level) { return std::string(std::size_t(level) * 4, ' '); }

bool isPlainWord(std::string_view text)
{
    if (text.empty())
        return false;
    for (char c : text) {
        bool word = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!word)
            return false;
    }
    return true;
}

std::string quotedIfNeeded(std::string_view text)
{
    if (isPlainWord(text))
        return std::string(text);
    return quoted(text, ControlEscape::Octal);
}

// A real that came from a single-precision number (as the colour components do) prints in its shortest
// single-precision form, 0.38 rather than 0.3799999952316284.
std::string realText(double value)
{
    char text[64];
    float single = float(value);
    std::to_chars_result result = double(single) == value ? std::to_chars(text, text + sizeof text, single)
                                                          : std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ec == std::errc() ? result.ptr : text);
}

// "2024-05-01 12:00:00 +0000".
std::string dateText(double secondsSince2001)
{
    std::time_t unix = std::time_t(std::floor(secondsSince2001 + kit::Clock::kSecondsFrom1970To2001));
    std::tm parts {};
    gmtime_r(&unix, &parts);
    char text[48];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &parts);
    return text;
}

// A scalar's text before quoting.
std::string scalarText(const kit::Value& value)
{
    switch (value.type()) {
    case kit::Value::Type::Integer:
        return std::to_string(*value.asInteger());
    case kit::Value::Type::Real:
        return realText(*value.asDouble());
    case kit::Value::Type::Boolean:
        return *value.asBool() ? "1" : "0";
    case kit::Value::Type::String:
        return *value.asString();
    case kit::Value::Type::Date:
        return dateText(*value.asDate());
    case kit::Value::Type::Data: {
        std::string out = "<";
        const auto& bytes = *value.asData();
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%02x", bytes[i]);
            if (i && i % 4 == 0)
                out += ' ';
            out += hex;
        }
        return out + ">";
    }
    case kit::Value::Type::Dictionary:
    case kit::Value::Type::Array:
        break;
    }
    return {};
}

void describe(const kit::Value& value, int level, std::string& out)
{
    if (const kit::Value::Array* array = value.asArray()) {
        out += indent(level) + "(\n";
        for (std::size_t i = 0; i < array->size(); ++i) {
            out += indent(level + 1);
            describe((*array)[i], level + 1, out);
            out += i + 1 < array->size() ? ",\n" : "\n";
        }
        out += indent(level) + ")";
    } else if (const kit::Value::Dictionary* dictionary = value.asDictionary()) {
        out += indent(level) + "{\n";
        for (const auto& [key, element] : *dictionary) {
            out += indent(level + 1) + quotedIfNeeded(key) + " = ";
            describe(element, level + 1, out);
            out += ";\n";
        }
        out += indent(level) + "}";
    } else if (value.isData()) {
        out += scalarText(value);
    } else {
        out += quotedIfNeeded(scalarText(value));
    }
}

// What `defaults read` prints for one key: a scalar as its bare text, a container in the old-style form.
std::string describeTopLevel(const kit::Value& value)
{
    if (value.isArray() || value.isDictionary()) {
        std::string out;
        describe(value, 0, out);
        return out;
    }
    return scalarText(value);
}

std::optional<std::int64_t> parseInteger(std::string_view text)
{
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::optional<double> parseReal(std::string_view text)
{
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<bool> parseBoolean(std::string_view text)
{
    auto is = [&](std::string_view word) {
        if (text.size() != word.size())
            return false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(text[i])) != word[i])
                return false;
        }
        return true;
    };
    if (is("yes") || is("true") || text == "1")
        return true;
    if (is("no") || is("false") || text == "0")
        return false;
    return std::nullopt;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2;
    std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    unsigned yearOfEra = unsigned(year - era * 400);
    unsigned monthFromMarch = month > 2 ? month - 3 : month + 9;
    unsigned dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + std::int64_t(dayOfEra) - 719468;
}

// ISO 8601: "YYYY-MM-DD", optionally followed by "THH:MM[:SS]" (or a space instead of T) and a zone ("Z",
// "+HH:MM", "+HHMM" or "+HH"); without a zone the time is UTC. Returns seconds since 2001.
std::optional<double> parseISO8601(std::string_view text)
{
    std::size_t at = 0;
    auto number = [&](std::size_t digits) -> std::optional<int> {
        if (at + digits > text.size())
            return std::nullopt;
        int value = 0;
        for (std::size_t i = 0; i < digits; ++i) {
            char c = text[at + i];
            if (c < '0' || c > '9')
                return std::nullopt;
            value = value * 10 + (c - '0');
        }
        at += digits;
        return value;
    };
    auto expect = [&](char c) {
        if (at < text.size() && text[at] == c) {
            ++at;
            return true;
        }
        return false;
    };
    auto year = number(4);
    if (!year || !expect('-'))
        return std::nullopt;
    auto month = number(2);
    if (!month || !expect('-'))
        return std::nullopt;
    auto day = number(2);
    if (!day || *month < 1 || *month > 12 || *day < 1)
        return std::nullopt;
    static const int kDaysInMonth[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
    if (*day > kDaysInMonth[*month - 1] + (*month == 2 && leap ? 1 : 0))
        return std::nullopt;
    int hour = 0, minute = 0, second = 0, offsetSeconds = 0;
    if (at < text.size() && (text[at] == 'T' || text[at] == ' ')) {
        ++at;
        auto h = number(2);
        if (!h || !expect(':'))
            return std::nullopt;
        auto m = number(2);
        if (!m)
            return std::nullopt;
        std::optional<int> s = 0;
        if (expect(':'))
            s = number(2);
        if (!s || *h > 23 || *m > 59 || *s > 60)
            return std::nullopt;
        hour = *h;
        minute = *m;
        second = *s;
        if (expect('Z')) {
        } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
            int sign = text[at++] == '-' ? -1 : 1;
            auto zoneHours = number(2);
            if (!zoneHours)
                return std::nullopt;
            expect(':');
            std::optional<int> zoneMinutes = 0;
            if (at < text.size())
                zoneMinutes = number(2);
            if (!zoneMinutes || *zoneHours > 23 || *zoneMinutes > 59)
                return std::nullopt;
            offsetSeconds = sign * (*zoneHours * 3600 + *zoneMinutes * 60);
        }
    }
    if (at != text.size())
        return std::nullopt;
    double unix = double(daysFromCivil(*year, unsigned(*month), unsigned(*day))) * 86400.0 + hour * 3600 + minute * 60
        + second - offsetSeconds;
    return unix - kit::Clock::kSecondsFrom1970To2001;
}

// The value of `defaults write KEY ...` from the words after KEY, or why they make none.
kit::Result<kit::Value> valueFromWords(const std::vector<std::string>& words)
{
    using R = kit::Result<kit::Value>;
    if (words.empty())
        return R::failure("write needs a value");
    const std::string& type = words.front();
    if (type == "-array") {
        // Each element that reads as a number is stored as one (an integer when it has no fraction), so
        // that colours can be written from the command line; anything else is a string.
        kit::Value array = kit::Value::array();
        for (std::size_t i = 1; i < words.size(); ++i) {
            if (auto integer = parseInteger(words[i]))
                array.append(kit::Value::integer(*integer));
            else if (auto real = parseReal(words[i]))
                array.append(kit::Value::real(*real));
            else
                array.append(kit::Value::string(words[i]));
        }
        return array;
    }
    if (type.empty() || type[0] != '-') {
        if (words.size() != 1)
            return R::failure("a bare value is one word; quote it, or name its type (-string, -array ...)");
        return kit::Value::string(type);
    }
    if (words.size() != 2)
        return R::failure(type + " needs exactly one value");
    const std::string& text = words[1];
    if (type == "-string")
        return kit::Value::string(text);
    if (type == "-int" || type == "-integer") {
        if (auto integer = parseInteger(text))
            return kit::Value::integer(*integer);
        return R::failure("not an integer: " + text);
    }
    if (type == "-float") {
        if (auto real = parseReal(text))
            return kit::Value::real(*real);
        return R::failure("not a number: " + text);
    }
    if (type == "-bool" || type == "-boolean") {
        if (auto flag = parseBoolean(text))
            return kit::Value::boolean(*flag);
        return R::failure("not a boolean (YES or NO): " + text);
    }
    if (type == "-date") {
        if (auto date = parseISO8601(text); date && *date >= kit::Value::kMinDate && *date <= kit::Value::kMaxDate)
            return kit::Value::date(*date);
        return R::failure("not an ISO 8601 date (YYYY-MM-DDTHH:MM:SSZ): " + text);
    }
    return R::failure("unknown type " + type + " (-string, -int, -float, -bool, -date, -array)");
}

int usage(const char* message)
{
    std::fprintf(stderr,
        "lectorin: %s\nusage: lectorin defaults read [KEY] | write KEY [-string|-int|-float|-bool|-date] "
        "VALUE | write KEY -array VALUE... | delete [KEY]\n",
        message);
    return 2;
}

int readDefaults(const std::vector<std::string>& words)
{
    if (words.size() > 2)
        return usage("read takes at most one key");
    kit::Value domain = kit::Preferences::copyDomain(kPreferencesDomain);
    if (words.size() == 1) {
        if (domain.count() == 0) {
            std::fprintf(stderr, "Domain %s does not exist\n", kPreferencesDomain);
            return 1;
        }
        std::printf("%s\n", describeTopLevel(domain).c_str());
        return 0;
    }
    const kit::Value* value = domain.get(words[1]);
    if (!value) {
        std::fprintf(
            stderr, "The domain/default pair of (%s, %s) does not exist\n", kPreferencesDomain, words[1].c_str());
        return 1;
    }
    std::printf("%s\n", describeTopLevel(*value).c_str());
    return 0;
}

int writeDefaults(const std::vector<std::string>& words)
{
    if (words.size() < 3)
        return usage("write needs a key and a value");
    kit::Result<kit::Value> value = valueFromWords({ words.begin() + 2, words.end() });
    if (!value)
        return usage(value.error().c_str());
    if (!kit::Preferences::setValue(words[1], std::move(value.value()), kPreferencesDomain)
        || !kit::Preferences::synchronize(kPreferencesDomain)) {
        std::fprintf(
            stderr, "lectorin: could not write %s\n", kit::Preferences::fileForDomain(kPreferencesDomain).c_str());
        return 1;
    }
    return 0;
}

int deleteDefaults(const std::vector<std::string>& words)
{
    if (words.size() > 2)
        return usage("delete takes at most one key");
    kit::Value domain = kit::Preferences::copyDomain(kPreferencesDomain);
    std::vector<std::string> keys;
    if (words.size() == 2) {
        if (!domain.get(words[1])) {
            std::fprintf(
                stderr, "The domain/default pair of (%s, %s) does not exist\n", kPreferencesDomain, words[1].c_str());
            return 1;
        }
        keys.push_back(words[1]);
    } else {
        if (domain.count() == 0) {
            std::fprintf(stderr, "Domain %s does not exist\n", kPreferencesDomain);
            return 1;
        }
        for (const auto& entry : *domain.asDictionary())
            keys.push_back(entry.first);
    }
    bool written = true;
    for (const auto& key : keys)
        written = kit::Preferences::setValue(key, std::nullopt, kPreferencesDomain) && written;
    if (!kit::Preferences::synchronize(kPreferencesDomain) || !written) {
        std::fprintf(
            stderr, "lectorin: could not write %s\n", kit::Preferences::fileForDomain(kPreferencesDomain).c_str());
        return 1;
    }
    return 0;
}

// "R,G,B" or "R,G,B,A", each from 0 to 1.
std::optional<kit::Color> parseColor(const std::string& text)
{
    std::vector<float> components;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string part = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        std::optional<double> value = parseReal(part);
        if (!value || *value < 0 || *value > 1)
            return std::nullopt;
        components.push_back(float(*value));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (components.size() != 3 && components.size() != 4)
        return std::nullopt;
    return kit::Color::calibratedRGB(
        components[0], components[1], components[2], components.size() == 4 ? components[3] : 1);
}

} // namespace

int runDefaults(const Options& options)
{
    const std::vector<std::string>& words = options.defaultsWords;
    if (words.empty())
        return usage("defaults needs read, write or delete");
    if (words[0] == "read")
        return readDefaults(words);
    if (words[0] == "write")
        return writeDefaults(words);
    if (words[0] == "delete")
        return deleteDefaults(words);
    return usage(("unknown defaults verb " + words[0]).c_str());
}

int runCheckUpdate(const Options& options)
{
    if (!options.positional.empty()) {
        std::fprintf(stderr, "lectorin: check-update takes no page\n");
        return 2;
    }
    TerminalHost host;
    OpenURLThroughHost openThroughHost;
    for (const auto& answer : options.answers)
        host.queueAlertAnswer(answer);
    std::fprintf(stderr, "checking https://%s/lectorin/version.xml (installed %s)\n",
        kit::Bundle::plugin().updateHost().value_or("updates.lectorin.invalid").c_str(),
        kit::Bundle::plugin().version().value_or("(none)").c_str());
    NRVLectorin::doVersionCheckQuiet(false);
    // The fetch ends within its own minute; the bound here only keeps a wedged worker from hanging us.
    kit::RunLoop::runUntil([] { return !NRVLectorin::versionCheckInProgress(); }, std::chrono::minutes(2));
    // The check reports through its alert only; a check that could not be made is a failure here.
    const std::string unavailable
        = kit::Bundle::main().localizedStringForKey("The update check is currently not available.", "");
    for (const auto& message : host.alertMessages()) {
        if (message == unavailable)
            return 1;
    }
    return 0;
}

int runPrefs(const Options& options)
{
    std::optional<kit::Color> color;
    if (options.color) {
        color = parseColor(*options.color);
        if (!color) {
            std::fprintf(stderr, "lectorin: --color needs R,G,B[,A] with each component from 0 to 1\n");
            return 2;
        }
    }
    if (!options.positional.empty()) {
        std::fprintf(stderr, "lectorin: prefs takes no page\n");
        return 2;
    }
    TerminalHost host;
    OpenURLThroughHost openThroughHost;
    auto& controller = NRVLectorinPreferencesController::sharedPreferencesController();
    controller.showWindow(nullptr);
    kit::ColorWell* well = controller.backgroundColorWell();
    kit::Button* checkBox = controller.autoUpdateButton();
    if (!controller.window() || !well || !checkBox) {
        std::fprintf(stderr, "lectorin: the preferences window cannot be loaded: %s\n", controller.loadError().c_str());
        return 1;
    }
    if (color) {
        // As the user does it: a click on the well opens the colour panel, whose pick comes back from the
        // run loop, sets the well and sends its action.
        // The controller announces the stored colour when its action has run.
        bool announced = false;
        auto& center = kit::NotificationCenter::defaultCenter();
        center.addObserver(&announced, kBackgroundColorChangedNotification, &controller,
            [&announced](const kit::Notification&) { announced = true; });
        host.queueColorAnswer(*color);
        well->activate();
        bool answered = kit::RunLoop::runUntil([&] { return announced; }, std::chrono::seconds(10));
        center.removeObserver(&announced);
        if (!answered) {
            std::fprintf(stderr, "lectorin: the colour panel did not answer\n");
            return 1;
        }
    }
    if (options.autoUpdate) {
        int wanted = *options.autoUpdate == "on" ? kit::Button::OnState : kit::Button::OffState;
        // A click switches the box and sends its action; a box already in the wanted state only sends its
        // action, so that the setting is stored either way.
        if (checkBox->state() != wanted)
            checkBox->performClick(checkBox);
        else
            checkBox->sendAction();
    }
    auto [r, g, b, a] = well->color().rgba();
    std::printf("background color well: %s %s %s %s\n", realText(r).c_str(), realText(g).c_str(), realText(b).c_str(),
        realText(a).c_str());
    std::printf("automatic update check box: %s\n", checkBox->state() == kit::Button::OnState ? "on" : "off");
    return 0;
}

int runRenderWindow(const Options& options)
{
    if (!options.positional.empty()) {
        std::fprintf(stderr, "lectorin: render --window takes no page\n");
        return 2;
    }
    TerminalHost host;
    kit::WindowController& controller = options.window == "about"
        ? static_cast<kit::WindowController&>(NRVLectorinAboutBoxController::sharedAboutBoxController())
        : static_cast<kit::WindowController&>(NRVLectorinPreferencesController::sharedPreferencesController());
    controller.showWindow(nullptr);
    kit::Window* window = controller.window();
    if (!window) {
        std::fprintf(stderr, "lectorin: the %s window cannot be loaded: %s\n", options.window.c_str(),
            controller.loadError().c_str());
        return 1;
    }
    std::filesystem::path path = options.output;
    if (path.empty()) {
        std::filesystem::create_directories("out");
        path = std::filesystem::path("out") / (options.window + ".png");
    }
    auto written = host.writeWindowPNG(*window, path);
    if (!written) {
        std::fprintf(stderr, "lectorin: %s\n", written.error().c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return 0;
}

} // namespace hosts
