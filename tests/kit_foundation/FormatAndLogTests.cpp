#include "kit/foundation/Beep.h"
#include "kit/foundation/Clock.h"
#include "kit/foundation/Format.h"
#include "kit/foundation/Log.h"
#include "kit/foundation/Workspace.h"
#include "support/TestSupport.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using Args = std::vector<std::optional<std::string>>;

TEST(Format, FillsPlaceholders)
{
    const struct {
        const char* format;
        Args args;
        const char* expected;
        const char* why;
    } cases[] = {
        { "A new version of %@ is now available.", { "Lectorin" }, "A new version of Lectorin is now available.",
            "one" },
        { "The latest version of %@ is %@.", { "Lectorin", "1.2.1" }, "The latest version of Lectorin is 1.2.1.",
            "in order" },
        { "Connection failed! Error - %@ %@", { "timed out", std::nullopt },
            "Connection failed! Error - timed out (null)", "an absent argument" },
        { "%@ and %@", { "only one" }, "only one and (null)", "more placeholders than arguments" },
        { "%2$@ before %1$@", { "first", "second" }, "second before first", "positional" },
        { "%1$@, %@, %@", { "a", "b" }, "a, a, b", "positional does not move the sequence" },
        { "%3$@", { "a" }, "(null)", "a position beyond the arguments" },
        { "%0$@", { "a" }, "%0$@", "position 0 does not exist: copied" },
        { "%99999999999999999999$@", { "a" }, "(null)", "a huge position cannot overflow" },
        { "100%% of %@", { "x" }, "100% of x", "an escaped percent sign" },
        { "50%", {}, "50%", "a trailing lone percent sign" },
        { "%d %s %", { "x" }, "%d %s %", "other conversions are copied, not consumed" },
        { "%@", { "%@ %%" }, "%@ %%", "an argument is never a format" },
        { "", { "x" }, "", "empty format" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(kit::formatString(c.format, c.args), c.expected);
    }
    const char* nothing = nullptr;
    EXPECT_EQ(kit::format("%@|%@|%@|%@|%@", std::string("s"), nothing, 42, 0.5, std::optional<std::string>()),
        "s|(null)|42|0.5|(null)");
}

TEST(Log, CapturedLinesAreFormattedAndKeptOutOfTheSystemLog)
{
    std::vector<std::string> lines;
    kit::Log::setCaptureForTesting(&lines);
    std::optional<std::string> absent;
    kit::Log::line("Connection failed! Error - %@ %@", "Could not connect", absent);
    kit::Log::line("plain");
    kit::Log::setCaptureForTesting(nullptr);
    EXPECT_EQ(lines, (std::vector<std::string> { "Connection failed! Error - Could not connect (null)", "plain" }));
}

TEST(Log, WritesOneLineToStandardError)
{
    // A child process, so that its standard error can be read as a whole.
    std::string out, err;
    int status = testsupport::runCommand("'" + std::filesystem::read_symlink("/proc/self/exe").string()
            + "' --gtest_filter=Log.DISABLED_ChildWritesLine --gtest_also_run_disabled_tests",
        &out, &err);
    EXPECT_EQ(status, 0) << out << err;
    EXPECT_NE(err.find("\nline from child: (null) 7\n"), std::string::npos) << err;
}

// Run only as the child of the test above.
TEST(Log, DISABLED_ChildWritesLine)
{
    std::fputs("\n", stderr);
    kit::Log::line("line from child: %@ %@", nullptr, 7);
}

TEST(Workspace, OpensThroughTheHostOrPrints)
{
    kit::Workspace::resetCountForTesting();
    std::vector<std::string> opened;
    kit::Workspace::setOpenURLHandler([&](const std::string& url) { opened.push_back(url); });
    kit::Workspace::openURL("http://127.0.0.1:8080/");
    EXPECT_EQ(opened, (std::vector<std::string> { "http://127.0.0.1:8080/" }));
    EXPECT_EQ(kit::Workspace::openURLCount(), 1);

    kit::Workspace::setOpenURLHandler(nullptr);
    testing::internal::CaptureStdout();
    kit::Workspace::openURL("http://updates.lectorin.invalid/");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "open URL http://updates.lectorin.invalid/\n");
    EXPECT_EQ(kit::Workspace::openURLCount(), 2);
    EXPECT_EQ(kit::Workspace::lastOpenedURL(), "http://updates.lectorin.invalid/");
    EXPECT_EQ(opened.size(), 1u) << "a removed handler is not called";
}

TEST(Beep, CountsAndCallsTheHost)
{
    kit::resetBeepCountForTesting();
    kit::beep();
    int heard = 0;
    kit::setBeepHandler([&] { ++heard; });
    kit::beep();
    kit::beep();
    kit::setBeepHandler(nullptr);
    EXPECT_EQ(kit::beepCount(), 3);
    EXPECT_EQ(heard, 2);
}

TEST(Clock, CountsFrom2001AndCanBeFixed)
{
    double unixNow = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    EXPECT_NEAR(kit::Clock::now(), unixNow - 978307200.0, 5.0);
    kit::Clock::setFixedNow(1234.5);
    EXPECT_EQ(kit::Clock::now(), 1234.5);
    kit::Clock::setFixedNow(std::nullopt);
    EXPECT_NEAR(kit::Clock::now(), unixNow - 978307200.0, 5.0);
}
