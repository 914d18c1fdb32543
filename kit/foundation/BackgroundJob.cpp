#include "kit/foundation/BackgroundJob.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <glib.h>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kit {

namespace {

// A few threads started on first use. Two are enough for this machine's documents and keep one core for the
// UI thread when two documents import at once; more would only share the same cores. Long work has a
// thread of its own.
class WorkerPool {
public:
    explicit WorkerPool(std::size_t threads)
        : m_threadLimit(threads)
    {
    }
    static WorkerPool& shared()
    {
        static WorkerPool pool(2);
        return pool;
    }
    static WorkerPool& longWork()
    {
        static WorkerPool pool(1);
        return pool;
    }
    static WorkerPool& of(BackgroundJob::Lane lane) { return lane == BackgroundJob::Lane::Long ? longWork() : shared(); }

    void enqueue(std::function<void()> task)
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        ++m_pending;
        if (m_threads.size() < m_threadLimit && m_idle == 0)
            m_threads.emplace_back([this] { serve(); });
        m_wake.notify_one();
    }

    unsigned pendingCount()
    {
        std::lock_guard lock(m_mutex);
        return m_pending;
    }

    // At exit the queued tasks are dropped; the running ones have been asked to stop by their owners'
    // teardown, and end at their next look at the stop token.
    ~WorkerPool()
    {
        {
            std::lock_guard lock(m_mutex);
            m_isShuttingDown = true;
            m_pending -= unsigned(m_tasks.size());
            m_tasks.clear();
        }
        m_wake.notify_all();
        for (auto& thread : m_threads)
            thread.join();
    }

private:
    static constexpr int kWorkerNiceness = 10;
    const std::size_t m_threadLimit;

    void serve()
    {
        // Below the UI thread: where the workers and the UI thread share a core, the UI thread comes first,
        // so that the first pages it lays out and draws never queue behind the rest of an import. (The
        // threads a task starts inherit it.)
        int niceness = getpriority(PRIO_PROCESS, pid_t(gettid()));
        setpriority(PRIO_PROCESS, id_t(gettid()), std::min(niceness + kWorkerNiceness, 19));
        std::unique_lock lock(m_mutex);
        while (true) {
            ++m_idle;
            m_wake.wait(lock, [this] { return m_isShuttingDown || !m_tasks.empty(); });
            --m_idle;
            if (m_tasks.empty())
                return;
            std::function<void()> task = std::move(m_tasks.front());
            m_tasks.pop_front();
            lock.unlock();
            task();
            // What the task captured goes here, off the lock.
            task = nullptr;
            lock.lock();
            --m_pending;
            // A cancelled job posts nothing: wake the run loop anyway, for whoever waits for the workers.
            g_main_context_wakeup(g_main_context_default());
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    std::vector<std::thread> m_threads;
    unsigned m_idle = 0;
    unsigned m_pending = 0;
    bool m_isShuttingDown = false;
};

} // namespace

void BackgroundJob::enqueue(std::function<void()> task, Lane lane)
{
    WorkerPool::of(lane).enqueue(std::move(task));
}

unsigned BackgroundJob::pendingCount()
{
    return WorkerPool::shared().pendingCount() + WorkerPool::longWork().pendingCount();
}

} // namespace kit
