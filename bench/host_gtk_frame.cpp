// Times one frame of `lectorin view`: the window host's backing store drawing the damage that scrolling
// leaves (the whole visible area) for a long document, at 100 % and at 250 %, and the changed tiles copied
// into the textures handed to the compositor (what the compositor then does is GTK's, and not timed). The document is the largest
// .docx of the corpus; when the importer cannot read it, a generated text of about 660 Letter pages.
// Each run scrolls in steps of three wheel notches from five places spread over the document and reports
// the median and the 99th percentile of the frame times; the first frame at each zoom (which builds the
// shadow mask and lays out the first pages) is left out. The night variant passes every pixel drawn
// through night reading's colours.
#include "hosts/cli/HeadlessBrowser.h"
#include "hosts/common/gtk/BackingStore.h"
#include "hosts/common/gtk/TileTextures.h"
#include "hosts/gtk/NightReading.h"
#include "kit/foundation/RunLoop.h"
#include "kit/host/HeadlessHost.h"
#include "kit/view/ClipView.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/ZoomFactors.h"
#include "plugin/NRVLectorin.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ctime>
#include <memory>
#include <unistd.h>

namespace {

constexpr kit::Size kWindowSize { 900, 1100 };
constexpr float kStep = 3 * 48; // points on screen: three wheel notches
constexpr int kFramesPerPlace = 80;
constexpr int kPlaces = 5;

// A plain-text stand-in of about 660 pages: paragraphs of ordinary words.
std::filesystem::path generatedDocument()
{
    std::filesystem::path path = std::filesystem::temp_directory_path() / ("lectorin-bench-" + std::to_string(getpid()) + ".txt");
    std::ofstream out(path);
    const char* words[] = { "the", "document", "shows", "pages", "of", "printed", "text", "with", "margins", "and", "shadows",
        "zoom", "find", "scroll", "paper", "letter" };
    for (int paragraph = 0; paragraph < 9000; ++paragraph) {
        for (int word = 0; word < 70; ++word)
            out << words[(paragraph * 7 + word * 3) % 16] << (word == 69 ? ".\n\n" : " ");
    }
    return path;
}

struct Document {
    kit::HeadlessHost host;
    hosts::HeadlessBrowser browser;
    std::filesystem::path generated;
    std::string source;

    Document()
    {
        host.setEchoesToStandardError(false);
        kit::Host::setCurrent(&host);
        std::string corpus = std::string(LECTORIN_CORPUS_DIR) + "/poi-bug65649.docx";
        if (load(corpus) && pageView()->numberOfPages() >= 100) {
            source = "poi-bug65649.docx";
        } else {
            generated = generatedDocument();
            load(generated.string());
            source = "generated text";
        }
        std::fprintf(stderr, "document: %s, %u pages\n", source.c_str(), pageView() ? pageView()->numberOfPages() : 0);
    }
    ~Document()
    {
        browser.instances().clear();
        kit::Host::setCurrent(nullptr);
        if (!generated.empty())
            std::filesystem::remove(generated);
    }
    bool load(const std::string& path)
    {
        browser.instances().clear();
        hosts::HeadlessBrowser::LoadOptions options;
        options.viewport = kWindowSize;
        options.forceDocument = true;
        options.timeoutSeconds = 300;
        if (browser.load(path, options))
            return false;
        browser.waitUntilLoaded(300);
        return pageView() && pageView()->numberOfPages() > 0;
    }
    kit::Window& window() { return *browser.instances().front().window; }
    NRVLectorin& plugin() { return *browser.instances().front().plugin; }
    NRVLectorinMultiPageView* pageView() { return browser.instances().empty() ? nullptr : plugin().pageView(); }
};

// This thread's processor time in milliseconds: what a frame costs even while other programs compete for
// the processor (wall time then includes waiting for it).
double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

double percentile(std::vector<double> values, int percent)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * std::size_t(percent) / 100)];
}

Document& document()
{
    static Document shared;
    return shared;
}

// Night reading's colours for every pixel drawn: more than the window host turns (only the pages, not
// the pictures nor what lies between the pages), so an upper bound of what it adds to a frame.
void turnEveryPixel(cairo_surface_t* surface, int, hosts::PixelRect drawn)
{
    unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = drawn.y; y < drawn.y + drawn.height; ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
        hosts::NightReading::turnPixels(row + drawn.x, drawn.width);
    }
}

void drawFramesWhileScrolling(benchmark::State& state, int zoomStep, bool night = false)
{
    Document& doc = document();
    NRVLectorinMultiPageView* pageView = doc.pageView();
    if (!pageView) {
        state.SkipWithError("the document did not load");
        return;
    }
    kit::Window& window = doc.window();
    doc.plugin().zoomToStandardSize(nullptr);
    for (int step = pageView->zoomStep(); step < zoomStep; ++step)
        window.sendAction("zoomIn:", nullptr);
    kit::ClipView* clip = pageView->enclosingScrollView()->contentView();
    hosts::BackingStore store;
    store.configure(window, int(kWindowSize.width), int(kWindowSize.height), 1);
    if (night)
        store.setPixelFilter(turnEveryPixel);
    hosts::TileTextures tiles;
    double drawnPixels = 0;

    std::vector<double> frames, processorTimes;
    for (auto _ : state) {
        frames.clear();
        processorTimes.clear();
        drawnPixels = 0;
        clip->scrollToPoint({ 0, 0 });
        store.update(window); // the first frame at this zoom is not counted
        tiles.update(store);
        float documentHeight = clip->documentRect().height();
        float scale = clip->convertSize({ 1, 1 }, nullptr).height; // screen points per document point
        for (int place = 0; place < kPlaces; ++place) {
            float y = documentHeight * float(place) / kPlaces;
            clip->scrollToPoint({ clip->bounds().x(), y });
            store.update(window);
            tiles.update(store);
            for (int frame = 0; frame < kFramesPerPlace; ++frame) {
                clip->scrollToPoint({ clip->bounds().x(), clip->bounds().y() + kStep / scale });
                auto start = std::chrono::steady_clock::now();
                double processorStart = threadMilliseconds();
                hosts::PixelRect drawn = store.update(window);
                tiles.update(store);
                frames.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
                processorTimes.push_back(threadMilliseconds() - processorStart);
                drawnPixels += double(drawn.width) * double(drawn.height);
            }
        }
        std::sort(frames.begin(), frames.end());
        double total = 0;
        for (double frame : frames)
            total += frame;
        state.SetIterationTime(total / 1000);
    }
    state.counters["median_ms"] = frames[frames.size() / 2];
    state.counters["p99_ms"] = frames[std::min(frames.size() - 1, frames.size() * 99 / 100)];
    state.counters["max_ms"] = frames.back();
    state.counters["median_cpu_ms"] = percentile(processorTimes, 50);
    state.counters["p99_cpu_ms"] = percentile(processorTimes, 99);
    state.counters["frames"] = double(frames.size());
    // The share of the window drawn again per frame: 1 when scrolling damages the whole visible area.
    state.counters["drawn"] = drawnPixels / double(frames.size()) / double(store.pixelWidth() * store.pixelHeight());
    state.counters["pages"] = pageView->numberOfPages();
    state.SetLabel(doc.source);
}

void frameAt100Percent(benchmark::State& state)
{
    drawFramesWhileScrolling(state, kZoomFactorNormal);
}

void frameAt250Percent(benchmark::State& state)
{
    drawFramesWhileScrolling(state, kZoomFactorsCount - 1);
}

void frameAt100PercentNight(benchmark::State& state)
{
    drawFramesWhileScrolling(state, kZoomFactorNormal, true);
}

} // namespace

BENCHMARK(frameAt100Percent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(frameAt100PercentNight)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(frameAt250Percent)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
