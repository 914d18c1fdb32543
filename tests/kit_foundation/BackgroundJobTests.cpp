#include "kit/foundation/BackgroundJob.h"
#include "kit/foundation/RunLoop.h"
#include "support/Cases.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

bool waitUntilWorkersAreIdle()
{
    return kit::RunLoop::runUntil([] { return kit::BackgroundJob::pendingCount() == 0; }, 10s);
}

} // namespace

TEST(BackgroundJob, RunsWorkOffTheUIThreadAndCompletesOnIt)
{
    const std::thread::id ui = std::this_thread::get_id();
    std::optional<std::thread::id> worker, completion;
    std::optional<int> result;
    kit::BackgroundJob job = kit::BackgroundJob::start(
        [&worker](std::stop_token) {
            worker = std::this_thread::get_id();
            return 6 * 7;
        },
        [&](int value) {
            completion = std::this_thread::get_id();
            result = value;
        });
    EXPECT_TRUE(job.isRunning());
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return result.has_value(); }, 10s));
    EXPECT_EQ(*result, 42);
    EXPECT_NE(*worker, ui);
    EXPECT_EQ(*completion, ui);
    EXPECT_FALSE(job.isRunning()) << "completed";
}

TEST(BackgroundJob, CancelledJobNeverCompletes)
{
    // Cancelled while the work runs: the work sees the stop; cancelled after the work posted its result: the
    // result is dropped; the handle destroyed instead of cancelled: the same.
    const testsupport::Case<bool, bool> cases[] = {
        { false, false, "cancelled mid-work" },
        { true, false, "cancelled with the completion already posted" },
        { false, true, "handle destroyed mid-work" },
        { true, true, "handle destroyed with the completion already posted" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::atomic<bool> started = false, sawStop = false;
        bool completed = false;
        std::optional<kit::BackgroundJob> job = kit::BackgroundJob::start(
            [&, c](std::stop_token stop) {
                started = true;
                // Until the owner lets go; a job that posts at once must not wait for a stop.
                while (!c.input && !stop.stop_requested())
                    std::this_thread::yield();
                sawStop = stop.stop_requested();
                return 1;
            },
            [&](int) { completed = true; });
        if (c.input) {
            // The task has ended once it is no longer pending: its completion waits in the run loop, which
            // has not turned since.
            while (kit::BackgroundJob::pendingCount() != 0)
                std::this_thread::yield();
        } else {
            while (!started)
                std::this_thread::yield();
        }
        if (c.expected)
            job.reset();
        else
            job->cancel();
        ASSERT_TRUE(waitUntilWorkersAreIdle());
        kit::RunLoop::drain();
        EXPECT_FALSE(completed);
        EXPECT_EQ(sawStop, !c.input);
        if (job) {
            EXPECT_FALSE(job->isRunning());
        }
    }
}

TEST(BackgroundJob, JobsRunSideBySideAndEachCompletesOnce)
{
    // More jobs than workers: the queue drains, every completion runs exactly once, in no particular order.
    constexpr int kJobs = 9;
    int completions[kJobs] = {};
    std::vector<kit::BackgroundJob> jobs;
    for (int i = 0; i < kJobs; ++i)
        jobs.push_back(kit::BackgroundJob::start([i](std::stop_token) { return i; }, [&](int index) { ++completions[index]; }));
    ASSERT_TRUE(kit::RunLoop::runUntil([&] {
        return std::all_of(jobs.begin(), jobs.end(), [](const kit::BackgroundJob& job) { return !job.isRunning(); });
    }, 10s));
    for (int i = 0; i < kJobs; ++i)
        EXPECT_EQ(completions[i], 1) << i;
}

TEST(BackgroundJob, LongWorkKeepsALaneOfItsOwnSoShortJobsNeverQueueBehindIt)
{
    // Long work that holds its thread until told to end, and more of it waiting behind: the short jobs
    // still run on the other workers.
    std::atomic<bool> release = false;
    std::atomic<int> longRan = 0;
    std::vector<kit::BackgroundJob> longJobs;
    for (int i = 0; i < 2; ++i) {
        longJobs.push_back(kit::BackgroundJob::start(
            [&](std::stop_token) {
                ++longRan;
                while (!release)
                    std::this_thread::sleep_for(1ms);
                return 0;
            },
            [](int) { }, kit::BackgroundJob::Lane::Long));
    }
    int shortDone = 0;
    std::vector<kit::BackgroundJob> shortJobs;
    for (int i = 0; i < 4; ++i)
        shortJobs.push_back(kit::BackgroundJob::start([](std::stop_token) { return 1; }, [&](int) { ++shortDone; }));
    EXPECT_TRUE(kit::RunLoop::runUntil([&] { return shortDone == 4; }, 10s)) << "the short jobs ran meanwhile";
    EXPECT_EQ(longRan, 1) << "the long lane runs one job at a time";
    release = true;
    ASSERT_TRUE(waitUntilWorkersAreIdle());
    EXPECT_EQ(longRan, 2);
}
