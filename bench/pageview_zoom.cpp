// Time of one zoom step on a long document: scale change, frame update, re-centring and drawing of the
// visible area, as the user sees it after a zoom command. Median and worst of all steps, CPU time.
#include "kit/host/HeadlessHost.h"
#include "kit/text/TextStorage.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"

#include <algorithm>
#include <cairo.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <random>
#include <vector>

namespace {

double cpuMilliseconds()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

std::shared_ptr<kit::TextStorage> generatedText()
{
    static const char* words[] = { "the", "harvest", "of", "winter", "quietly", "remains", "beyond", "measure", "and", "river",
        "stone", "gathered", "under", "lantern", "cooperative", "members", "report", "quarter", "weather", "orchard" };
    std::mt19937 random(42);
    auto storage = std::make_shared<kit::TextStorage>();
    kit::Attributes plain, italic;
    italic.italic = true;
    for (int p = 0; p < 12000; ++p) {
        int count = 20 + int(random() % 12);
        for (int w = 0; w < count; ++w) {
            std::string word = words[random() % 20];
            storage->append(word + (w + 1 < count ? " " : "\n"), random() % 10 == 0 ? italic : plain);
        }
    }
    return storage;
}

} // namespace

int main()
{
    kit::HeadlessHost host;
    kit::Host::setCurrent(&host);
    setenv("LECTORIN_PAPER", "letter", 1);
    kit::Window window({ 900, 1100 });
    auto& scrollView = window.contentView()->add<kit::ScrollView>(kit::Rect { 0, 0, 900, 1100 });
    auto view = std::make_unique<NRVLectorinMultiPageView>(kit::Rect { 0, 0, 100, 100 });
    NRVLectorinMultiPageView* pageView = view.get();
    scrollView.setDocumentView(std::move(view));
    pageView->awakeFromNib();
    double start = cpuMilliseconds();
    pageView->setTextStorage(generatedText());
    std::printf("pagination: %u pages in %.0f ms CPU\n", pageView->numberOfPages(), cpuMilliseconds() - start);

    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 900, 1100);
    cairo_t* context = cairo_create(surface);
    window.display(context);
    std::vector<double> times;
    // Out to the last step and back to the first, three times: every step both ways.
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 10; ++i) {
            double t0 = cpuMilliseconds();
            if (i < 5)
                pageView->zoomIn();
            else
                pageView->zoomOut();
            window.display(context);
            times.push_back(cpuMilliseconds() - t0);
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("zoom step incl. drawing the visible area: median %.2f ms, worst %.2f ms over %zu steps\n",
        times[times.size() / 2], times.back(), times.size());
    cairo_destroy(context);
    cairo_surface_destroy(surface);
    kit::Host::setCurrent(nullptr);
    return 0;
}
