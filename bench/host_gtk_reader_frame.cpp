// Times the frames of a real `lectorin view` window while the reader scrolls a long document with every
// match of a common word highlighted and the sidebar showing page thumbnails, which are drawn meanwhile.
// A frame is the window's own work on the UI thread from the frame clock's before-paint to its after-paint
// (layout of the sidebar and header, the pages' backing store, the snapshot); what the X server and the
// compositor do afterwards is not ours. The document is the corpus's 200-page report; the window runs on
// whatever display DISPLAY names (an Xvfb in practice). Each run scrolls by three wheel notches per frame
// from five places spread over the document; the first frame at each place is left out. The report is in
// Russian: the word found is "не" (several thousand matches). Argument 0 times the bare window as the
// baseline, 1 with the matches highlighted and the thumbnails pane open. Processor time of the UI thread
// is reported beside wall time: on a shared machine wall time also counts waiting for a processor.
#include "hosts/common/gtk/FindBar.h"
#include "hosts/common/gtk/GtkHost.h"
#include "hosts/common/gtk/HostWindow.h"
#include "hosts/common/gtk/KitViewWidget.h"
#include "hosts/gtk/ReaderChrome.h"
#include "hosts/gtk/Sidebar.h"
#include "hosts/gtk/ViewerSession.h"
#include "kit/foundation/RunLoop.h"
#include "kit/view/ClipView.h"
#include "kit/view/ScrollView.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "plugin/NRVLectorin.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>
#include <gtk/gtk.h>
#include <memory>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr float kStep = 3 * 48; // points on screen: three wheel notches
constexpr int kFramesPerPlace = 60;
constexpr int kPlaces = 5;

// This thread's processor time in milliseconds.
double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

struct FrameTimes {
    Clock::time_point start;
    double processorStart = 0;
    std::vector<double> durations; // milliseconds
    std::vector<double> processorTimes;
    int painted = 0;
};

double percentile(std::vector<double> values, int percent)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[std::min(values.size() - 1, values.size() * std::size_t(percent) / 100)];
}

void scrollWithHighlightsAndThumbnails(benchmark::State& state)
{
    if (!gtk_init_check()) {
        state.SkipWithError("needs a display: run it under Xvfb");
        return;
    }
    hosts::GtkHost host;
    kit::Host::setCurrent(&host);
    {
        hosts::DocumentWindow::Settings settings;
        settings.contentSize = { 1000, 900 };
        std::string path = std::string(LECTORIN_CORPUS_DIR) + "/poi-bug65649.docx";
        hosts::ViewerSession session(host, { path }, settings);
        auto window = [&]() -> hosts::DocumentWindow* { return session.windows().empty() ? nullptr : session.windows().front().get(); };
        bool loaded = kit::RunLoop::runUntil([&] {
            return window() && window()->plugin() && window()->plugin()->downloadIsComplete() && window()->plugin()->pageView()
                && window()->plugin()->pageView()->numberOfPages() >= 100;
        }, 300s);
        if (!loaded || !window()->reader()) {
            state.SkipWithError("the report did not load");
            kit::Host::setCurrent(nullptr);
            return;
        }
        hosts::DocumentWindow& document = *window();
        NRVLectorinMultiPageView& pageView = *document.plugin()->pageView();
        hosts::ReaderChrome& reader = *document.reader();
        bool reading = state.range(0) == 1;
        if (reader.sidebar().isShown() != reading)
            reader.toggleSidebar();
        if (reading) {
            reader.sidebar().showPane(hosts::Sidebar::Pane::Thumbnails);
            hosts::FindBar& bar = *document.hostWindow().findBar();
            bar.show();
            gtk_editable_set_text(bar.entry(), "\u043d\u0435");
            kit::RunLoop::runUntil([&] { return pageView.findHighlights().size() > 500; }, 60s);
        }
        std::size_t matches = pageView.findHighlights().size();

        GtkWidget* widget = document.hostWindow().view().widget();
        GdkFrameClock* clock = gtk_widget_get_frame_clock(widget);
        FrameTimes times;
        gulong before = g_signal_connect(clock, "before-paint", G_CALLBACK(+[](GdkFrameClock*, FrameTimes* times) {
            times->start = Clock::now();
            times->processorStart = threadMilliseconds();
        }), &times);
        gulong after = g_signal_connect(clock, "after-paint", G_CALLBACK(+[](GdkFrameClock*, FrameTimes* times) {
            times->durations.push_back(std::chrono::duration<double, std::milli>(Clock::now() - times->start).count());
            times->processorTimes.push_back(threadMilliseconds() - times->processorStart);
            ++times->painted;
        }), &times);
        auto paintOnce = [&] {
            int painted = times.painted;
            gtk_widget_queue_draw(widget);
            return kit::RunLoop::runUntil([&] { return times.painted > painted; }, 2s);
        };

        kit::ClipView& clip = *pageView.enclosingScrollView()->contentView();
        std::size_t thumbnailsBefore = reader.sidebar().thumbnailsDrawn();
        const hosts::BackingStore& store = document.hostWindow().view().backingStore();
        unsigned long long drawnBefore = store.drawnPixels();
        std::vector<double> frames, processorTimes;
        for (auto _ : state) {
            frames.clear();
            processorTimes.clear();
            float documentHeight = clip.documentRect().height();
            float scale = clip.convertSize({ 1, 1 }, nullptr).height;
            for (int place = 0; place < kPlaces; ++place) {
                clip.scrollToPoint({ clip.bounds().x(), documentHeight * float(place) / kPlaces });
                paintOnce();
                for (int frame = 0; frame < kFramesPerPlace; ++frame) {
                    clip.scrollToPoint({ clip.bounds().x(), clip.bounds().y() + kStep / scale });
                    times.durations.clear();
                    times.processorTimes.clear();
                    if (paintOnce() && !times.durations.empty()) {
                        frames.push_back(times.durations.back());
                        processorTimes.push_back(times.processorTimes.back());
                    }
                }
            }
            double total = 0;
            for (double frame : frames)
                total += frame;
            state.SetIterationTime(total / 1000);
        }
        g_signal_handler_disconnect(clock, before);
        g_signal_handler_disconnect(clock, after);
        state.counters["median_ms"] = percentile(frames, 50);
        state.counters["p99_ms"] = percentile(frames, 99);
        state.counters["max_ms"] = percentile(frames, 100);
        state.counters["median_cpu_ms"] = percentile(processorTimes, 50);
        state.counters["p99_cpu_ms"] = percentile(processorTimes, 99);
        state.counters["frames"] = double(frames.size());
        // Device pixels of the pages drawn per frame: a scroll draws only what comes into sight.
        state.counters["drawn_px"] = frames.empty() ? 0 : double(store.drawnPixels() - drawnBefore) / double(frames.size() * state.iterations());
        state.counters["matches"] = double(matches);
        state.counters["thumbnails"] = double(reader.sidebar().thumbnailsDrawn() - thumbnailsBefore);
        state.counters["pages"] = pageView.numberOfPages();
    }
    kit::Host::setCurrent(nullptr);
}

} // namespace

BENCHMARK(scrollWithHighlightsAndThumbnails)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
