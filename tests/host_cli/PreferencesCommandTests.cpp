// The built `lectorin` program's preferences commands: defaults, check-update, prefs and render --window.
// The program inherits the test's settings folder and plug-in bundle, whose update host is a version server
// in this process.
#include "app/PreferencesTestSupport.h"

#include <algorithm>
#include <ctime>
#include <gtest/gtest.h>
#include <set>

using namespace preftest;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string quoted(const std::string& word)
{
    std::string out = "'";
    for (char c : word)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

Outcome lectorin(const std::vector<std::string>& arguments)
{
    std::string command = LECTORIN_EXE;
    for (const auto& argument : arguments)
        command += " " + quoted(argument);
    Outcome run;
    run.status = testsupport::runCommand(command, &run.out, &run.err);
    return run;
}

// The settings folder, a version server and a bundle that names it.
struct CommandTest {
    CommandTest() { installBundle(server.host()); }
    Isolation isolation;
    VersionServer server;
};

std::size_t countPixels(const testsupport::Image& image, std::uint32_t argb)
{
    return std::size_t(std::count(image.pixels.begin(), image.pixels.end(), argb));
}

} // namespace

TEST(PreferencesCommands, DefaultsWriteReadDelete)
{
    CommandTest test;
    Outcome empty = lectorin({ "defaults", "read" });
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.err, "Domain org.nrv.internet-plugin.word does not exist\n");

    const double may2024 = 736257600; // 2024-05-01T12:00:00Z in seconds since 2001
    const struct {
        std::vector<std::string> write;
        const char* key;
        kit::Value expected;
        const char* printed;
        const char* why;
    } cases[] = {
        { { "-array", "0.2", "0.4", "1" }, "Background Color",
            kit::Value::array({ kit::Value::real(0.2), kit::Value::real(0.4), kit::Value::integer(1) }),
            "(\n    \"0.2\",\n    \"0.4\",\n    1\n)\n", "array elements that read as numbers are numbers" },
        { { "-array", "-1", "two", "3.5" }, "Mixed",
            kit::Value::array({ kit::Value::integer(-1), kit::Value::string("two"), kit::Value::real(3.5) }),
            "(\n    \"-1\",\n    two,\n    \"3.5\"\n)\n", "a negative element keeps its place; other words are strings" },
        { { "-bool", "NO" }, "Auto Update", kit::Value::boolean(false), "0\n", "a boolean prints as 0 or 1" },
        { { "-bool", "yes" }, "Flag", kit::Value::boolean(true), "1\n", "YES in any case" },
        { { "-date", "2024-05-01T12:00:00Z" }, "NextScheduledUpdateCheck", kit::Value::date(may2024),
            "2024-05-01 12:00:00 +0000\n", "an ISO 8601 date in UTC" },
        { { "-date", "2024-05-01T14:00:00+02:00" }, "Zoned", kit::Value::date(may2024), "2024-05-01 12:00:00 +0000\n",
            "a zone offset is taken away" },
        { { "-int", "-5" }, "Count", kit::Value::integer(-5), "-5\n", "a negative integer" },
        { { "-float", "0.5" }, "Half", kit::Value::real(0.5), "0.5\n", "a real" },
        { { "-string", "-x y" }, "Text", kit::Value::string("-x y"), "-x y\n", "a string that looks like an option" },
        { { "Lectorin" }, "Name", kit::Value::string("Lectorin"), "Lectorin\n", "a bare value is a string" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::vector<std::string> write { "defaults", "write", c.key };
        write.insert(write.end(), c.write.begin(), c.write.end());
        Outcome written = lectorin(write);
        EXPECT_EQ(written.status, 0) << written.err;
        EXPECT_EQ(stored(c.key), c.expected) << "read back from the file by the test";
        Outcome read = lectorin({ "defaults", "read", c.key });
        EXPECT_EQ(read.status, 0) << read.err;
        EXPECT_EQ(read.out, c.printed);
    }

    Outcome whole = lectorin({ "defaults", "read" });
    EXPECT_EQ(whole.status, 0);
    EXPECT_NE(whole.out.find("{\n    \"Auto Update\" = 0;\n    \"Background Color\" =     (\n        \"0.2\",\n"
                             "        \"0.4\",\n        1\n    );\n"),
        std::string::npos)
        << "keys with spaces are quoted; nested containers are indented by their level\n"
        << whole.out;
    EXPECT_NE(whole.out.find("    Name = Lectorin;\n"), std::string::npos) << "plain words stand unquoted";
    EXPECT_EQ(whole.out.substr(whole.out.size() - 2), "}\n");

    EXPECT_EQ(lectorin({ "defaults", "delete", "Auto Update" }).status, 0);
    EXPECT_EQ(stored(kAutoUpdateKey), std::nullopt);
    Outcome missing = lectorin({ "defaults", "read", "Auto Update" });
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "The domain/default pair of (org.nrv.internet-plugin.word, Auto Update) does not exist\n");
    EXPECT_EQ(lectorin({ "defaults", "delete", "Auto Update" }).status, 1) << "deleting what is not there fails";
    EXPECT_TRUE(stored(kBackgroundColorKey).has_value()) << "other keys stay";

    EXPECT_EQ(lectorin({ "defaults", "delete" }).status, 0);
    EXPECT_EQ(kit::Preferences::copyDomain(kPreferencesDomain).count(), 0u) << "delete without a key empties the domain";
    EXPECT_EQ(lectorin({ "defaults", "read" }).status, 1);
}

TEST(PreferencesCommands, DefaultsUsageErrors)
{
    CommandTest test;
    const struct {
        std::vector<std::string> arguments;
        const char* why;
    } cases[] = {
        { { "defaults" }, "no verb" },
        { { "defaults", "frobnicate" }, "an unknown verb" },
        { { "defaults", "write", "Key" }, "no value" },
        { { "defaults", "write", "Key", "-bool", "maybe" }, "not a boolean" },
        { { "defaults", "write", "Key", "-int", "1.5" }, "not an integer" },
        { { "defaults", "write", "Key", "-float", "nan" }, "not a finite number" },
        { { "defaults", "write", "Key", "-date", "2024-02-30T00:00:00Z" }, "no such day" },
        { { "defaults", "write", "Key", "-date", "yesterday" }, "not a date" },
        { { "defaults", "write", "Key", "-dict", "a", "b" }, "an unknown type" },
        { { "defaults", "write", "Key", "two", "words" }, "a bare value is one word" },
        { { "defaults", "read", "a", "b" }, "read takes one key" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Outcome run = lectorin(c.arguments);
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_FALSE(std::filesystem::exists(test.isolation.preferencesFile())) << "nothing was written";
    }
}

TEST(PreferencesCommands, CheckUpdate)
{
    const std::string newVersion = "alert: A new version of Lectorin is now available.\n"
                                   "  The latest version of Lectorin is 2.0. Choose \"More Info\" to open a web page from "
                                   "which you can download or get information about this new version.\n"
                                   "  buttons: \"More Info...\" (Return), \"Update Later\" (Escape)\n";
    const struct {
        std::string body;
        int httpStatus;
        std::vector<std::string> answers;
        int exitStatus;
        std::string expectedOut; // the home page's line is added when opened
        bool opens;
        const char* why;
    } cases[] = {
        { versionFile("2.0"), 200, { "--answer", "Return" }, 0, newVersion, true, "Return opens the home page" },
        { versionFile("2.0"), 200, { "--answer", "More Info..." }, 0, newVersion, true, "so does the button's title" },
        { versionFile("2.0"), 200, { "--answer", "Escape" }, 0, newVersion, false, "Escape opens nothing" },
        { versionFile("2.0"), 200, {}, 0, newVersion, false, "an unscripted alert takes its Escape button" },
        { versionFile("1.0"), 200, {}, 0, "alert: This copy of Lectorin is up to date.\n  buttons: \"OK\" (Return)\n", false,
            "up to date" },
        { versionFile("2.0"), 500, {}, 1,
            "alert: The update check is currently not available.\n  An error occured while trying to retrieve the current "
            "version information from the Internet. Please try again later.\n  buttons: \"OK\" (Return)\n",
            false, "a server error: not available, and a failing exit status" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CommandTest test;
        test.server.respond(c.body, c.httpStatus);
        store(kAutoUpdateKey, kit::Value::boolean(false));
        std::vector<std::string> arguments { "check-update" };
        arguments.insert(arguments.end(), c.answers.begin(), c.answers.end());
        Outcome run = lectorin(arguments);
        EXPECT_EQ(run.status, c.exitStatus) << run.err;
        EXPECT_EQ(run.out, c.expectedOut + (c.opens ? "open URL " + test.server.homePage() + "\n" : std::string()));
        EXPECT_EQ(test.server.requests(), 1) << "checked on demand although Auto Update is off";
        EXPECT_EQ(stored(kNextScheduledUpdateCheckKey), std::nullopt) << "on demand, the schedule stays";
    }
}

TEST(PreferencesCommands, PrefsDrivesTheWindowsControls)
{
    CommandTest test;
    Outcome initial = lectorin({ "prefs" });
    EXPECT_EQ(initial.status, 0) << initial.err;
    EXPECT_EQ(initial.out, "background color well: 0.38 0.45 0.56 1\nautomatic update check box: on\n");
    EXPECT_FALSE(std::filesystem::exists(test.isolation.preferencesFile())) << "showing the window stores nothing";

    Outcome set = lectorin({ "prefs", "--color", "0.2,0.4,0.6,0.5", "--auto-update", "off" });
    EXPECT_EQ(set.status, 0) << set.err;
    EXPECT_EQ(set.out, "background color well: 0.2 0.4 0.6 0.5\nautomatic update check box: off\n")
        << "the well keeps the alpha picked";
    EXPECT_EQ(stored(kBackgroundColorKey), floats({ 0.2f, 0.4f, 0.6f })) << "three floats, no alpha";
    EXPECT_EQ(stored(kAutoUpdateKey), kit::Value::boolean(false));

    Outcome reopened = lectorin({ "prefs", "--auto-update", "off" });
    EXPECT_EQ(reopened.out, "background color well: 0.2 0.4 0.6 1\nautomatic update check box: off\n")
        << "a new process reads the store; a box already off is stored off again";
    EXPECT_EQ(stored(kAutoUpdateKey), kit::Value::boolean(false));
    EXPECT_EQ(lectorin({ "prefs", "--auto-update", "on" }).status, 0);
    EXPECT_EQ(stored(kAutoUpdateKey), kit::Value::boolean(true));

    for (const char* bad : { "1,2,3", "0.1,0.2", "0.1,0.2,x", "0.1,0.2,0.3,0.4,0.5", "" }) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(lectorin({ "prefs", "--color", bad }).status, 2);
    }
    EXPECT_EQ(stored(kBackgroundColorKey), floats({ 0.2f, 0.4f, 0.6f })) << "usage errors store nothing";
}

TEST(PreferencesCommands, RenderWindows)
{
    CommandTest test;
    std::filesystem::path folder = testsupport::temporaryFolder("windows");
    EXPECT_EQ(lectorin({ "prefs", "--color", "1,0,0" }).status, 0);
    Outcome preferences = lectorin({ "render", "--window", "preferences", "-o", (folder / "preferences.png").string() });
    EXPECT_EQ(preferences.status, 0) << preferences.err;
    EXPECT_EQ(preferences.out, (folder / "preferences.png").string() + "\n");
    testsupport::Image image = testsupport::readPng(folder / "preferences.png");
    EXPECT_EQ(image.width, 360);
    EXPECT_EQ(image.height, 150);
    EXPECT_GT(countPixels(image, 0xFFFF0000), 500u) << "the colour well shows the stored red";

    ASSERT_EQ(lectorin({ "defaults", "delete", "Background Color" }).status, 0);
    ASSERT_EQ(lectorin({ "render", "--window", "preferences", "-o", (folder / "default.png").string() }).status, 0);
    image = testsupport::readPng(folder / "default.png");
    EXPECT_EQ(countPixels(image, 0xFFFF0000), 0u);
    EXPECT_GT(countPixels(image, 0xFF61738F), 500u) << "the default grey-blue (0.38, 0.45, 0.56)";

    Outcome about = lectorin({ "render", "--window", "about", "-o", (folder / "about.png").string() });
    EXPECT_EQ(about.status, 0) << about.err;
    image = testsupport::readPng(folder / "about.png");
    EXPECT_EQ(image.width, 340);
    EXPECT_EQ(image.height, 180);
    std::set<std::uint32_t> colours(image.pixels.begin(), image.pixels.end());
    EXPECT_GT(colours.size(), 10u) << "text is drawn (antialiased glyphs give many shades)";

    EXPECT_EQ(lectorin({ "render", "--window", "bogus" }).status, 2);
}

// A colour written with defaults is the colour around the pages of a document the program shows; the
// program's first view also ran the automatic check against the version server and scheduled the next.
TEST(PreferencesCommands, DefaultsColourShowsAroundThePages)
{
    CommandTest test;
    std::filesystem::path folder = testsupport::temporaryFolder("page");
    testsupport::writeFile(folder / "note.rtf", "{\\rtf1\\ansi Hello.\\par}");
    ASSERT_EQ(lectorin({ "defaults", "write", "Background Color", "-array", "0", "0", "1" }).status, 0);
    Outcome render = lectorin({ "render", (folder / "note.rtf").string(), "--size", "700x300", "-o", (folder / "note.png").string() });
    EXPECT_EQ(render.status, 0) << render.err;
    testsupport::Image image = testsupport::readPng(folder / "note.png");
    ASSERT_GT(image.width, 0);
    EXPECT_EQ(image.at(2, image.height / 2), 0xFF0000FFu) << "blue around the page";
    EXPECT_EQ(test.server.requests(), 1) << "the automatic check ran in the program's first view";
    std::optional<kit::Value> next = stored(kNextScheduledUpdateCheckKey);
    ASSERT_TRUE(next && next->isDate());
    // The program ran on the real clock, not on this test's fixed one.
    double realNow = double(std::time(nullptr)) - kit::Clock::kSecondsFrom1970To2001;
    EXPECT_NEAR(*next->asDate(), realNow + kWeek, 300) << "a week from the moment that process checked";
}
