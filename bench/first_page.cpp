// Times what a reader waits for: from the request for a document (served on 127.0.0.1) to its first page
// drawn in the plug-in's box, through the headless browser, and the import alone for comparison. The
// rest of the load (the pages after the first few, laid out on a worker) follows, and is timed too, with the
// main thread's CPU time over the whole load.
//
// Usage: bench_first_page [CORPUS-FILE...]   (default: the largest .docx and the 49-page .doc report)
// Each document is shown on the printer's paper and in its own layout, one row each.
// Prints, per document, the median of 5 runs of each stage in milliseconds of wall-clock time, the main
// thread's CPU time from the request to the first page drawn, and the longest the main thread's loop went
// without turning meanwhile (a 1 ms timer's longest gap: what a reader feels as a frozen window).
#include "hosts/cli/HeadlessBrowser.h"
#include "import/Importer.h"
#include "import/rtf/RtfImporter.h"
#include "kit/foundation/RunLoop.h"
#include "kit/host/HeadlessHost.h"
#include "kit/host/Host.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "plugin/NRVLectorin.h"

#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <httplib.h>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// CPU time of the calling thread: what the plug-in does on the main thread (download, pagination, drawing;
// the import runs on a worker), whatever else the machine is doing.
double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Stages {
    double import = 0;
    double shown = 0; // request to the first pages there: download, import, the first pages laid out
    double firstDraw = 0;
    double cpuToFirstPage = 0; // main thread CPU from the request to the first page drawn
    double allPages = 0; // request to the last page laid out (the headless commands wait for it)
    double cpuToAllPages = 0; // main thread CPU from the request to the last page there
    double longestStall = 0; // the main loop's longest gap between two turns, over the whole load
    unsigned pages = 0;
};

void drawWindow(kit::Window& window)
{
    kit::Size size = window.contentSize();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(size.width), int(size.height));
    cairo_t* context = cairo_create(surface);
    window.display(context);
    cairo_destroy(context);
    cairo_surface_flush(surface);
    cairo_surface_destroy(surface);
}

Stages measure(const std::string& url, const std::vector<std::uint8_t>& bytes)
{
    Stages stages;
    auto importStart = Clock::now();
    auto imported = importer::importDocument(bytes);
    stages.import = millisecondsSince(importStart);

    kit::HeadlessHost host;
    kit::Host::setCurrent(&host);
    {
        hosts::HeadlessBrowser browser;
        auto start = Clock::now();
        double cpuStart = threadMilliseconds();
        if (auto error = browser.load(url, {})) {
            std::fprintf(stderr, "%s\n", error->c_str());
            std::exit(1);
        }
        auto lastTurn = Clock::now();
        unsigned timer = kit::RunLoop::addTimer(std::chrono::milliseconds(1), [&] {
            stages.longestStall = std::max(stages.longestStall, millisecondsSince(lastTurn));
            lastTurn = Clock::now();
            return true;
        });
        // The first page is there once it is in sight: laid out from the whole text, or from its
        // beginning while the rest is imported; the rest may still be coming.
        auto firstPageThere = [&] { return !browser.instances().empty() && browser.instances().front().plugin->showsPages(); };
        kit::RunLoop::runUntil(firstPageThere, std::chrono::seconds(60));
        stages.shown = millisecondsSince(start);
        auto& instance = browser.instances().front();
        drawWindow(*instance.window);
        stages.firstDraw = millisecondsSince(start) - stages.shown;
        stages.cpuToFirstPage = threadMilliseconds() - cpuStart;
        browser.waitUntilLoaded(60);
        stages.allPages = millisecondsSince(start);
        stages.cpuToAllPages = threadMilliseconds() - cpuStart;
        // The load's last piece of work ended the wait before the timer could see it end.
        stages.longestStall = std::max(stages.longestStall, millisecondsSince(lastTurn));
        kit::RunLoop::cancelTimer(timer);
        if (auto* pageView = instance.plugin->pageView())
            stages.pages = pageView->numberOfPages();
        browser.instances().clear();
    }
    kit::Host::setCurrent(nullptr);
    return stages;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> names;
    for (int i = 1; i < argc; ++i)
        names.push_back(argv[i]);
    if (names.empty())
        names = { "poi-bug65649.docx", "poi-Bug50936_3.doc" };
    importer::installRtfHooks();

    httplib::Server server;
    server.set_mount_point("/", LECTORIN_CORPUS_DIR);
    int port = server.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));

    std::printf("%-28s %-8s %8s %10s %10s %10s %10s %10s %10s %10s %6s\n", "document", "layout", "import", "shown",
        "first draw", "to page 1", "CPU", "all pages", "CPU all", "stall", "pages");
    for (const auto& name : names) {
        std::ifstream in(std::string(LECTORIN_CORPUS_DIR) + "/" + name, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string url = "http://127.0.0.1:" + std::to_string(port) + "/" + name;
        for (PageLayout layout : { PageLayout::PrinterPaper, PageLayout::Document }) {
            NRVLectorin::setPageLayoutOverride(layout);
            std::vector<double> imports, shown, draws, totals, cpu, all, cpuAll, stalls;
            unsigned pages = 0;
            for (int run = 0; run < 5; ++run) {
                Stages stages = measure(url, bytes);
                imports.push_back(stages.import);
                shown.push_back(stages.shown);
                draws.push_back(stages.firstDraw);
                totals.push_back(stages.shown + stages.firstDraw);
                cpu.push_back(stages.cpuToFirstPage);
                all.push_back(stages.allPages);
                cpuAll.push_back(stages.cpuToAllPages);
                stalls.push_back(stages.longestStall);
                pages = stages.pages;
            }
            std::printf("%-28s %-8s %8.1f %10.1f %10.1f %10.1f %10.1f %10.1f %10.1f %10.1f %6u\n", name.c_str(),
                layout == PageLayout::Document ? "document" : "printer", median(imports), median(shown), median(draws),
                median(totals), median(cpu), median(all), median(cpuAll), median(stalls), pages);
        }
    }
    NRVLectorin::setPageLayoutOverride(std::nullopt);
    server.stop();
    thread.join();
    return 0;
}
