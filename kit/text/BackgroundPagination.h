#pragma once

#include "kit/foundation/BackgroundJob.h"
#include "kit/geometry/Geometry.h"
#include "kit/text/DocumentPages.h"
#include "kit/text/TextContainer.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kit {

class LayoutManager;
class TextStorage;
struct LayoutHandover;

// Pages of one paper: every container of one size, standing at one place on its page.
class PrinterPages {
public:
    // textSize: the text's area; page: the paper around it, in the area's coordinates.
    PrinterPages(Size textSize, Rect page)
        : m_textSize(textSize)
        , m_page(page)
    {
    }
    // Adds one container to layout and lays it out; true once the whole text is placed. pageAdded hears of
    // the container after it was added and before it is laid out.
    bool addPage(LayoutManager&, const std::function<void(TextContainer&)>& pageAdded = {});
    Size textSize() const { return m_textSize; }
    Rect page() const { return m_page; }

private:
    Size m_textSize;
    Rect m_page;
    int m_emptyPages = 0;
};

// Lays a text out on a worker, a page at a time, and hands the pages over to the UI thread in batches as
// they are made. The worker has a layout manager, a paragraph engine and fonts of its own; the text (and
// its page setup) is shared and read only, nobody may change it meanwhile. Whoever shows the pages gives
// each batch to its own layout manager (LayoutManager::adoptLayout), which then has them as if it had laid
// them out itself, the same pages with the same lines.
//
// Made, asked and destroyed on the UI thread. Destroying it stops the worker at its next page and drops
// what it has not taken; the arrival callback is never called after that.
class BackgroundPagination {
public:
    // Where the pages come from: the printer's paper (textSize and page as PrinterPages takes them), or the
    // document's own pages (its page setup's sections).
    struct Paper {
        bool documentPages = false;
        Size textSize;
        Rect page;
    };
    // A page as the worker added it: its container's geometry and, on the document's own pages, the page.
    struct Page {
        Size containerSize;
        std::vector<TextColumn> columns;
        VerticalAlignment verticalAlignment = VerticalAlignment::Top;
        Rect pageRect;
        std::optional<DocumentPage> documentPage;
        // A container of this geometry, to add where the page goes.
        std::unique_ptr<TextContainer> makeContainer() const;
    };
    struct Batch {
        std::size_t first = 0; // the index of pages' first page
        std::vector<Page> pages;
        // What the worker's layout placed in pages[0...] and what drawing it takes.
        std::shared_ptr<LayoutHandover> layout;
        bool complete = false; // the last batch: the whole text is placed
        // The last batch of a text that took the worker more than its CPU time to lay out: the pages end
        // here, short of the text's end.
        bool tooLarge = false;
    };
    // The CPU time a worker spends laying a text out before it gives up on it.
    static constexpr std::chrono::milliseconds kCpuTime { 30000 };

    // arrived is called on the UI thread whenever batches are waiting. The first batch comes once the
    // worker has more than firstBatchAfter pages (or the text ends sooner), the later ones every few
    // milliseconds.
    BackgroundPagination(std::shared_ptr<TextStorage>, Paper, std::size_t firstBatchAfter, std::function<void()> arrived,
        std::chrono::milliseconds cpuTime = kCpuTime);
    ~BackgroundPagination();
    BackgroundPagination(const BackgroundPagination&) = delete;
    BackgroundPagination& operator=(const BackgroundPagination&) = delete;

    // The batches made since the last call, in order.
    std::vector<Batch> takeBatches();
    // Blocks until the worker has made every page; the batches wait for takeBatches.
    void waitUntilComplete();

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    BackgroundJob m_job;
};

} // namespace kit
