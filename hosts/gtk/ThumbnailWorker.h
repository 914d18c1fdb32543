#pragma once

#include "hosts/gtk/ThumbnailPainter.h"
#include "pageview/PageSnapshot.h"
#include "kit/foundation/CRelease.h"
#include "kit/foundation/WeakPtr.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace hosts {

using CairoSurfacePtr = kit::CPtr<cairo_surface_t, cairo_surface_destroy>;

// Draws page thumbnails on a thread of its own. The UI thread hands over page snapshots (immutable) and
// hears of each picture on the main loop, through kit::RunLoop::post; the thread touches no kit object and
// no Pango object: pages draw from their display lists, and the painter has fonts of its own for the text
// in pictures.
// Requests are drawn in the order they came; cancel() drops those not yet started, and a picture finished
// after the worker is gone is dropped on the main loop without a call.
class ThumbnailWorker : public kit::Weakable {
public:
    // drawn runs on the UI thread with the request's page and tag; the surface is null when the page
    // could not be drawn.
    using Drawn = std::function<void(std::uint32_t page, std::uint64_t tag, CairoSurfacePtr)>;
    explicit ThumbnailWorker(Drawn drawn);
    // Waits for the picture being drawn, if any (one page: milliseconds), and ends the thread.
    ~ThumbnailWorker();
    ThumbnailWorker(const ThumbnailWorker&) = delete;
    ThumbnailWorker& operator=(const ThumbnailWorker&) = delete;

    void request(std::uint32_t page, std::uint64_t tag, std::shared_ptr<const pageview::PageSnapshot>, int width);
    void cancel();

private:
    struct Job {
        std::uint32_t page = 0;
        std::uint64_t tag = 0;
        std::shared_ptr<const pageview::PageSnapshot> content;
        int width = 0;
    };
    void run();

    Drawn m_drawn;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs; // guarded by m_mutex
    bool m_stopping = false; // guarded by m_mutex
    std::thread m_thread;
};

} // namespace hosts
