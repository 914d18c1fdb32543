#include "hosts/gtk/ThumbnailWorker.h"

#include "kit/foundation/RunLoop.h"

namespace hosts {

ThumbnailWorker::ThumbnailWorker(Drawn drawn)
    : m_drawn(std::move(drawn))
    , m_thread([this] { run(); })
{
}

ThumbnailWorker::~ThumbnailWorker()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_wake.notify_one();
    m_thread.join();
}

void ThumbnailWorker::request(std::uint32_t page, std::uint64_t tag, std::shared_ptr<const pageview::PageSnapshot> content, int width)
{
    {
        std::lock_guard lock(m_mutex);
        m_jobs.push_back({ page, tag, std::move(content), width });
    }
    m_wake.notify_one();
}

void ThumbnailWorker::cancel()
{
    std::lock_guard lock(m_mutex);
    m_jobs.clear();
}

void ThumbnailWorker::run()
{
    // Made here, so that every Pango object the painter holds belongs to this thread.
    ThumbnailPainter painter;
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        auto surface = std::make_shared<CairoSurfacePtr>(job.content ? painter.paint(*job.content, job.width) : nullptr);
        job.content.reset();
        // The surface is this thread's alone until the main loop takes it.
        // The worker only makes the weak pointer; the UI thread tests it, and destroys this object.
        kit::RunLoop::post([worker = kit::WeakPtr(this), page = job.page, tag = job.tag, surface] {
            if (worker)
                worker->m_drawn(page, tag, std::move(*surface));
        });
    }
}

} // namespace hosts
