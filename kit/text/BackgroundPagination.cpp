#include "kit/text/BackgroundPagination.h"

#include "kit/foundation/RunLoop.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/Paginator.h"
#include "kit/text/TextStorage.h"

#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <utility>

namespace kit {

namespace {

// How long the worker gathers pages before it hands them over, once the first batch is out: often enough
// that the document view grows smoothly, rarely enough that handing over costs little.
constexpr auto kBatchInterval = std::chrono::milliseconds(15);

std::chrono::nanoseconds threadCpuTime()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

} // namespace

bool PrinterPages::addPage(LayoutManager& layout, const std::function<void(TextContainer&)>& pageAdded)
{
    auto container = std::make_unique<TextContainer>(m_textSize);
    container->setPageRect(m_page);
    TextContainer& added = *container;
    layout.addTextContainer(std::move(container));
    if (pageAdded)
        pageAdded(added);
    // Pages are added until the layout manager has placed the whole text. The end of a page's glyph range
    // cannot tell: a table row split over pages puts the bytes of a short cell (later in the text than the
    // long cell beside it) on the first page. Every page of an unfinished layout holds at least one line;
    // the guard only keeps a fault in that from adding pages forever.
    Range range = layout.glyphRangeForTextContainer(added);
    if (layout.textEndsInOrBeforeTextContainer(added))
        return true;
    m_emptyPages = range.length ? 0 : m_emptyPages + 1;
    return m_emptyPages > 2;
}

std::unique_ptr<TextContainer> BackgroundPagination::Page::makeContainer() const
{
    auto container = std::make_unique<TextContainer>(containerSize);
    container->setColumns(columns);
    container->setVerticalAlignment(verticalAlignment);
    container->setPageRect(pageRect);
    return container;
}

struct BackgroundPagination::Shared {
    std::mutex mutex;
    std::condition_variable finishedChanged;
    std::vector<Batch> batches;
    bool finished = false;
    bool arrivalPosted = false;
    // The UI thread's alone.
    std::function<void()> arrived;
};

BackgroundPagination::BackgroundPagination(
    std::shared_ptr<TextStorage> storage, Paper paper, std::size_t firstBatchAfter, std::function<void()> arrived,
    std::chrono::milliseconds cpuTime)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->arrived = std::move(arrived);
    std::shared_ptr<Shared> shared = m_shared;
    auto work = [shared, storage = std::move(storage), paper, firstBatchAfter, cpuTime](std::stop_token stop) {
        const std::chrono::nanoseconds cpuEnd = threadCpuTime() + cpuTime;
        LayoutManager layout;
        layout.replaceTextStorage(storage);
        std::optional<DocumentPages> documentPages;
        std::optional<PrinterPages> printerPages;
        if (paper.documentPages) {
            documentPages.emplace(storage->pageSetup());
            documentPages->beginPagination(layout);
        } else {
            printerPages.emplace(paper.textSize, paper.page);
        }
        auto geometry = [](const TextContainer& container) {
            return Page { container.containerSize(), container.columns(), container.verticalAlignment(),
                container.pageRect(), std::nullopt };
        };
        std::vector<Page> pending;
        std::size_t first = 0;
        bool sentAny = false;
        auto lastBatch = std::chrono::steady_clock::now();
        bool done = false;
        while (!done && !stop.stop_requested()) {
            if (documentPages) {
                done = documentPages->addPage(layout, [&](TextContainer& container, const DocumentPage& page) {
                    pending.push_back(geometry(container));
                    pending.back().documentPage = page;
                });
            } else {
                done = printerPages->addPage(
                    layout, [&](TextContainer& container) { pending.push_back(geometry(container)); });
            }
            bool tooLarge = !done && threadCpuTime() > cpuEnd;
            auto now = std::chrono::steady_clock::now();
            bool due = done || tooLarge
                || (sentAny ? now - lastBatch >= kBatchInterval : first + pending.size() > firstBatchAfter);
            if (!due)
                continue;
            Batch batch;
            batch.first = first;
            batch.layout = layout.handOverLayout(first);
            first += pending.size();
            batch.pages = std::move(pending);
            pending.clear();
            batch.complete = done;
            batch.tooLarge = tooLarge;
            done |= tooLarge;
            sentAny = true;
            lastBatch = now;
            bool post = false;
            {
                std::lock_guard lock(shared->mutex);
                shared->batches.push_back(std::move(batch));
                post = !shared->arrivalPosted;
                shared->arrivalPosted = true;
            }
            if (post) {
                RunLoop::post([weak = std::weak_ptr<Shared>(shared)] {
                    std::shared_ptr<Shared> state = weak.lock();
                    if (!state)
                        return;
                    {
                        std::lock_guard lock(state->mutex);
                        state->arrivalPosted = false;
                    }
                    // A copy: the callback may destroy what holds it.
                    if (std::function<void()> arrived = state->arrived)
                        arrived();
                });
            }
        }
        {
            std::lock_guard lock(shared->mutex);
            shared->finished = true;
        }
        shared->finishedChanged.notify_all();
        return done;
    };
    m_job = BackgroundJob::start(std::move(work), [](bool) {}, BackgroundJob::Lane::Long);
}

BackgroundPagination::~BackgroundPagination()
{
    m_shared->arrived = nullptr;
    m_job.cancel();
}

std::vector<BackgroundPagination::Batch> BackgroundPagination::takeBatches()
{
    std::lock_guard lock(m_shared->mutex);
    return std::exchange(m_shared->batches, {});
}

void BackgroundPagination::waitUntilComplete()
{
    std::unique_lock lock(m_shared->mutex);
    m_shared->finishedChanged.wait(lock, [&] { return m_shared->finished; });
}

} // namespace kit
