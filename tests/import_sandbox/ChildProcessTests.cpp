#include "import/sandbox/ChildProcess.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>

using importer::sandbox::ChildLimits;
using importer::sandbox::ChildOutcome;
using importer::sandbox::runChild;

namespace {

importer::sandbox::ChildResult shell(const std::string& script, const std::string& input = {}, ChildLimits limits = {})
{
    std::vector<std::uint8_t> bytes(input.begin(), input.end());
    return runChild({ "/bin/sh", "-c", script }, bytes, limits);
}

ChildLimits quick(int milliseconds)
{
    ChildLimits limits;
    limits.wallTime = std::chrono::milliseconds(milliseconds);
    return limits;
}

} // namespace

// Input larger than any pipe buffer goes in while the output comes back: neither side may wait on the other.
TEST(ChildProcess, PassesLargeInputAndOutputBothWays)
{
    std::string input;
    for (int i = 0; input.size() < (std::size_t(6) << 20); ++i)
        input += std::to_string(i) + ' ';
    auto result = shell("cat", input);
    EXPECT_EQ(result.outcome, ChildOutcome::Exited);
    EXPECT_EQ(result.exitStatus, 0);
    EXPECT_EQ(result.output, input);
}

TEST(ChildProcess, EndsOfAChildThatGoesWrong)
{
    const struct {
        const char* script;
        std::size_t inputBytes;
        ChildLimits limits;
        ChildOutcome outcome;
        int exitStatus;
        int signal;
        const char* why;
    } cases[] = {
        { "exit 3", std::size_t(8) << 20, {}, ChildOutcome::Exited, 3, 0, "stops reading its input: no SIGPIPE here" },
        { "printf part; kill -SEGV $$", 10, {}, ChildOutcome::Signalled, -1, SIGSEGV, "a crash" },
        { "kill -ABRT $$", 0, {}, ChildOutcome::Signalled, -1, SIGABRT, "an abort" },
        { "exec sleep 30", 0, quick(300), ChildOutcome::TimedOut, -1, 0, "an endless wait, killed at the deadline" },
        { "exec >&-; exec sleep 30", 0, quick(300), ChildOutcome::TimedOut, -1, 0, "closes its output and runs on" },
        { "while :; do printf xxxxxxxxxxxxxxxx; done", 0,
            { std::size_t(1) << 30, 30, std::chrono::milliseconds(20000), 1 << 20 }, ChildOutcome::OutputTooLarge, -1,
            0, "writes without end" },
        { "while :; do :; done", 0, { std::size_t(1) << 30, 1, std::chrono::milliseconds(20000) },
            ChildOutcome::Signalled, -1, SIGXCPU, "loops: the CPU limit" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto started = std::chrono::steady_clock::now();
        auto result = shell(c.script, std::string(c.inputBytes, 'x'), c.limits);
        EXPECT_EQ(result.outcome, c.outcome);
        if (c.outcome == ChildOutcome::Exited) {
            EXPECT_EQ(result.exitStatus, c.exitStatus);
        } else if (c.outcome == ChildOutcome::Signalled) {
            EXPECT_EQ(result.signal, c.signal);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
    }
    EXPECT_EQ(shell("printf part; kill -SEGV $$").output, "part") << "what came before the crash is kept";
}

TEST(ChildProcess, LimitsTheAddressSpace)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "sanitizer builds run children without an address-space limit";
#endif
    ChildLimits limits;
    limits.addressSpaceBytes = std::size_t(256) << 20;
    // python3 is installed by the project's dependencies; 512 MiB cannot be had under the limit.
    auto result = runChild({ "/usr/bin/python3", "-c", "b = bytearray(512 << 20); print('allocated')" }, {}, limits);
    EXPECT_NE(result.output, "allocated\n");
    EXPECT_TRUE(result.outcome == ChildOutcome::Signalled
        || (result.outcome == ChildOutcome::Exited && result.exitStatus != 0));
}

TEST(ChildProcess, AProgramThatCannotStart)
{
    auto result = runChild({ "/nonexistent/program" }, {}, {});
    EXPECT_EQ(result.outcome, ChildOutcome::Exited);
    EXPECT_EQ(result.exitStatus, 127);
    EXPECT_EQ(runChild({}, {}, {}).outcome, ChildOutcome::CannotStart);
}
