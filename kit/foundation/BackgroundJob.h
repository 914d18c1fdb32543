#pragma once

#include "kit/foundation/RunLoop.h"

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <utility>

namespace kit {

// Long work off the UI thread. The work runs on one of a few worker threads with a stop token; what it
// returns goes to the completion, which runs on the UI thread's run loop. The work must touch nothing the UI
// thread changes meanwhile: it takes its input by value (or as shared immutable data) and hands back a value.
//
// The handle belongs to whoever waits for the result, normally a view. Cancelling it, or destroying it,
// requests the stop and guarantees that the completion is never called, even when the result is already
// on its way; it never waits for the work, which ends on its own at its next look at the stop token. Start,
// cancel and destroy handles on the UI thread only.
class BackgroundJob {
public:
    // Where the work waits for a thread: with the other jobs (an import, a page image), or, for work that
    // goes on for a long time while the reader waits for the short jobs (laying a whole text out), in a lane
    // of one thread of its own, so that no short job queues behind it.
    enum class Lane { Shared, Long };

    BackgroundJob() = default;
    ~BackgroundJob() { cancel(); }
    BackgroundJob(BackgroundJob&& other) noexcept
        : m_state(std::move(other.m_state))
    {
    }
    BackgroundJob& operator=(BackgroundJob&& other) noexcept
    {
        if (this != &other) {
            cancel();
            m_state = std::move(other.m_state);
        }
        return *this;
    }
    BackgroundJob(const BackgroundJob&) = delete;
    BackgroundJob& operator=(const BackgroundJob&) = delete;

    template<typename Work, typename Completion>
    static BackgroundJob start(Work work, Completion completion, Lane lane = Lane::Shared)
    {
        BackgroundJob job;
        job.m_state = std::make_shared<State>();
        std::weak_ptr<State> weak = job.m_state;
        std::stop_token stop = job.m_state->stop.get_token();
        enqueue([work = std::move(work), completion = std::move(completion), weak, stop]() mutable {
            if (stop.stop_requested())
                return;
            auto result = std::make_shared<decltype(work(stop))>(work(stop));
            if (stop.stop_requested())
                return;
            RunLoop::post([completion = std::move(completion), weak, result]() mutable {
                std::shared_ptr<State> state = weak.lock();
                if (!state || state->isFinished)
                    return;
                state->isFinished = true;
                completion(std::move(*result));
            });
        }, lane);
        return job;
    }

    // Requests the stop and drops the completion; nothing happens for a job that has finished.
    void cancel()
    {
        if (!m_state)
            return;
        m_state->stop.request_stop();
        m_state->isFinished = true;
        m_state.reset();
    }
    // Started, and neither completed nor cancelled.
    bool isRunning() const { return m_state && !m_state->isFinished; }

    // Work waiting in the queue or running now, of every job; the run loop wakes whenever it drops. Tests
    // and benchmarks.
    static unsigned pendingCount();

private:
    struct State {
        std::stop_source stop;
        bool isFinished = false; // read and written on the UI thread only
    };
    // Queues a task for the workers; a task never throws.
    static void enqueue(std::function<void()> task, Lane);
    std::shared_ptr<State> m_state;
};

} // namespace kit
