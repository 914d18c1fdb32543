// `lectorin browse` measured in a real WebKitWebView (run it on an X display: `xvfb-run -a` does). Pages are
// served from 127.0.0.1. It reports:
//  - the time from an inline view's frame request (the frame's navigation start) to its first page image
//    drawn (the next animation frame after the image loaded), for a one-page RTF and for the corpus's
//    poi-bug65649.docx;
//  - while a page that embeds poi-bug65649.docx scrolls by 8 CSS pixels an animation frame, this process's
//    main-thread processor time per frame (median and 99th percentile, from the web view's frame clock)
//    and the page's frame interval, beside the same page with a 640 x 480 <img> in the embed's place;
//  - what the frame's HTML costs on the main thread, made afresh and with its text layer kept;
//  - what one page image costs: drawn by the view on the main thread, against what the scheme handler does,
//    taking the page as a snapshot on the main thread and drawing it on a worker; and encoding it as PNG,
//    which a worker does;
//  - memory per inline view: the proportional set size of this process and of the engine's processes
//    with eight views of the RTF, less that with none, over eight.
#include "hosts/web/BrowserWindow.h"
#include "hosts/web/ViewPresentation.h"
#include "kit/host/HeadlessHost.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "plugin/NRVLectorin.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fstream>
#include <functional>
#include <httplib.h>
#include <optional>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

bool waitUntil(const std::function<bool()>& condition, double seconds)
{
    auto end = Clock::now() + std::chrono::duration<double>(seconds);
    // A tick wakes the loop, which otherwise could sleep past the bound.
    guint tick = g_timeout_add(10, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    bool met = true;
    while (!condition()) {
        if (Clock::now() > end) {
            met = false;
            break;
        }
        g_main_context_iteration(nullptr, TRUE);
    }
    g_source_remove(tick);
    return met;
}

double threadMilliseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

double percentile(std::vector<double> values, int percent)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, values.size() * std::size_t(percent) / 100)];
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Proportional set size in kB of a process and of every process below it.
long treePSS(pid_t pid)
{
    long total = 0;
    std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
    for (std::string line; std::getline(rollup, line);)
        if (line.rfind("Pss:", 0) == 0)
            total += std::atol(line.c_str() + 4);
    std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    if (DIR* tasks = opendir(taskDir.c_str())) {
        while (dirent* task = readdir(tasks)) {
            if (task->d_name[0] == '.')
                continue;
            std::ifstream children(taskDir + "/" + task->d_name + "/children");
            for (pid_t child; children >> child;)
                total += treePSS(child);
        }
        closedir(tasks);
    }
    return total;
}

// Messages of the bench's own world: "first <ms>" from a view's frame, "frame <timestamp>" from the top frame.
const char* kScript = R"JS(
(() => {
    const post = text => window.webkit.messageHandlers.bench.postMessage(text);
    if (location.protocol === 'lectorin-embed:') {
        const watch = () => {
            const image = document.querySelector('.page img');
            if (!image)
                return;
            const shown = () => requestAnimationFrame(() => post('first ' + performance.now()));
            if (image.complete && image.naturalWidth)
                shown();
            else
                image.addEventListener('load', shown, { once: true });
        };
        document.addEventListener('DOMContentLoaded', watch);
        return;
    }
    window.__benchScroll = frames => {
        let left = frames;
        const step = time => {
            post('frame ' + time);
            if (left-- <= 0) {
                post('done');
                return;
            }
            window.scrollBy(0, 8);
            requestAnimationFrame(step);
        };
        requestAnimationFrame(step);
    };
})();
)JS";

struct Bench {
    std::vector<double> firstImages;
    std::vector<double> frameTimes; // rAF timestamps, ms
    bool scrolled = false;
};

std::string paragraphs(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += "<p>Paragraph " + std::to_string(i) + " of the page around the document, long enough to wrap "
            "once or twice in a window a thousand pixels wide, as a page's text does.</p>";
    return text;
}

} // namespace

int main()
{
    setvbuf(stdout, nullptr, _IOLBF, 0);
    if (!gtk_init_check()) {
        std::fprintf(stderr, "this benchmark needs a display: run it under xvfb-run -a\n");
        return 1;
    }
    kit::HeadlessHost host;
    host.setEchoesToStandardError(false);
    kit::Host::setCurrent(&host);
    static const std::string docx = readFile(std::string(LECTORIN_CORPUS_DIR) + "/poi-bug65649.docx");
    static const std::string rtf
        = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 One page of a report.\\par}";
    httplib::Server server;
    server.Get("/d.docx", [](const httplib::Request&, httplib::Response& r) {
        r.set_content(docx, "application/vnd.openxmlformats-officedocument.wordprocessingml.document");
    });
    server.Get("/r.rtf", [](const httplib::Request&, httplib::Response& r) { r.set_content(rtf, "application/rtf"); });
    server.Get("/embed.html", [](const httplib::Request&, httplib::Response& r) {
        r.set_content("<html><body>" + paragraphs(2) + "<embed src=\"d.docx\" width=\"816\" height=\"600\">"
                + paragraphs(120) + "</body></html>",
            "text/html");
    });
    server.Get("/img.html", [](const httplib::Request&, httplib::Response& r) {
        r.set_content("<html><body>" + paragraphs(2) + "<img src=\"i.png\" width=\"640\" height=\"480\">"
                + paragraphs(120) + "</body></html>",
            "text/html");
    });
    server.Get("/i.png", [](const httplib::Request&, httplib::Response& r) {
        // A 640 x 480 picture drawn once: what the engine decodes and scrolls for an ordinary image.
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 640, 480);
        cairo_t* cr = cairo_create(surface);
        cairo_pattern_t* gradient = cairo_pattern_create_linear(0, 0, 640, 480);
        cairo_pattern_add_color_stop_rgb(gradient, 0, 0.2, 0.4, 0.8);
        cairo_pattern_add_color_stop_rgb(gradient, 1, 0.9, 0.8, 0.3);
        cairo_set_source(cr, gradient);
        cairo_paint(cr);
        cairo_pattern_destroy(gradient);
        cairo_destroy(cr);
        std::string png;
        cairo_surface_write_to_png_stream(
            surface,
            [](void* out, const unsigned char* data, unsigned length) {
                static_cast<std::string*>(out)->append(reinterpret_cast<const char*>(data), length);
                return CAIRO_STATUS_SUCCESS;
            },
            &png);
        cairo_surface_destroy(surface);
        r.set_content(png, "image/png");
    });
    server.Get("/views.html", [](const httplib::Request& request, httplib::Response& r) {
        int count = request.has_param("n") ? std::atoi(request.get_param_value("n").c_str()) : 0;
        std::string html = "<html><body><p>Views</p>";
        for (int i = 0; i < count; ++i)
            html += "<embed src=\"r.rtf\" type=\"application/rtf\" width=\"400\" height=\"300\">";
        r.set_content(html + "</body></html>", "text/html");
    });
    int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    std::string site = "http://127.0.0.1:" + std::to_string(port);

    Bench bench;
    {
        hosts::BrowserWindow window(kit::Size { 1024, 768 }, [] {});
        WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(window.webView());
        webkit_user_content_manager_register_script_message_handler(manager, "bench", "lectorin-bench");
        WebKitUserScript* script = webkit_user_script_new_for_world(kScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
            WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, "lectorin-bench", nullptr, nullptr);
        webkit_user_content_manager_add_script(manager, script);
        webkit_user_script_unref(script);
        g_signal_connect(manager, "script-message-received::bench",
            G_CALLBACK(+[](WebKitUserContentManager*, JSCValue* message, Bench* out) {
                char* text = jsc_value_to_string(message);
                std::string line = text ? text : "";
                g_free(text);
                if (line.rfind("first ", 0) == 0)
                    out->firstImages.push_back(std::atof(line.c_str() + 6));
                else if (line.rfind("frame ", 0) == 0)
                    out->frameTimes.push_back(std::atof(line.c_str() + 6));
                else if (line == "done")
                    out->scrolled = true;
            }),
            &bench);
        auto views = [&] { return window.inlineViews().views().size(); };

        // Memory: no view, then eight.
        window.open(site + "/views.html?n=0");
        waitUntil([&] { return !webkit_web_view_is_loading(window.webView()); }, 30);
        waitUntil([] { return false; }, 2);
        long without = treePSS(getpid());
        bench.firstImages.clear();
        window.open(site + "/views.html?n=8");
        waitUntil([&] { return bench.firstImages.size() >= 8; }, 60);
        waitUntil([] { return false; }, 2);
        long with = treePSS(getpid());
        std::vector<double> rtfFirst = bench.firstImages;
        std::printf("memory measured (%zu views shown)\n", rtfFirst.size());

        // First image and scrolling with the long .docx, then the same page with a picture.
        struct Run {
            std::vector<double> processor, interval;
        };
        auto scroll = [&](const std::string& path, Run& run) {
            bench.frameTimes.clear();
            bench.scrolled = false;
            double last = threadMilliseconds();
            GdkFrameClock* clock = gtk_widget_get_frame_clock(GTK_WIDGET(window.webView()));
            struct Sample {
                double* last;
                std::vector<double>* out;
            } sample { &last, &run.processor };
            gulong handler = g_signal_connect(clock, "after-paint", G_CALLBACK(+[](GdkFrameClock*, Sample* s) {
                double now = threadMilliseconds();
                s->out->push_back(now - *s->last);
                *s->last = now;
            }),
                &sample);
            webkit_web_view_evaluate_javascript(window.webView(), "window.__benchScroll(400)", -1, "lectorin-bench",
                nullptr, nullptr, nullptr, nullptr);
            waitUntil([&] { return bench.scrolled; }, 120);
            g_signal_handler_disconnect(clock, handler);
            for (std::size_t i = 1; i < bench.frameTimes.size(); ++i)
                run.interval.push_back(bench.frameTimes[i] - bench.frameTimes[i - 1]);
            (void)path;
        };
        bench.firstImages.clear();
        window.open(site + "/embed.html");
        waitUntil([&] { return views() == 1 && bench.firstImages.size() >= 1; }, 120);
        std::vector<double> docxFirst = bench.firstImages;
        std::printf("docx shown: %zu views, %zu first images\n", views(), docxFirst.size());
        waitUntil([] { return false; }, 1);
        Run embedRun, imageRun;
        scroll("/embed.html", embedRun);
        std::printf("scrolled the docx page: %zu frames\n", embedRun.interval.size());

        // One page image drawn as the scheme handler draws it, on this thread.
        std::vector<double> pageCosts, encodeCosts, captureCosts, snapshotDrawCosts, htmlCosts, keptHtmlCosts, layerTakenCosts, layerMeasuredCosts;
        auto since = [](Clock::time_point start) { return std::chrono::duration<double, std::milli>(Clock::now() - start).count(); };
        if (views() == 1) {
            NRVLectorin& plugin = *window.inlineViews().views().begin()->second->plugin;
            std::uint32_t pages = plugin.pageView() ? plugin.pageView()->numberOfPages() : 0;
            // Pages not drawn before, so that each costs what a page shown for the first time costs: the first
            // 20 drawn by the view, the next 20 as the scheme handler does it, taken here (which records the
            // page's display lists) and drawn from that on a worker.
            for (std::uint32_t page = 0; page < std::min<std::uint32_t>(pages, 40); ++page) {
                hosts::DrawnImage image;
                auto start = Clock::now();
                if (page < 20) {
                    image = hosts::drawPage(plugin, page, 1);
                    pageCosts.push_back(since(start));
                } else {
                    std::optional<hosts::PageImage> taken = hosts::pageImage(plugin, page, 1);
                    captureCosts.push_back(since(start));
                    if (taken) {
                        std::thread([&] {
                            auto drawStart = Clock::now();
                            image = hosts::drawPageImage(*taken);
                            snapshotDrawCosts.push_back(since(drawStart));
                        }).join();
                    }
                }
                start = Clock::now();
                auto png = hosts::encodePNG(image);
                encodeCosts.push_back(since(start));
            }
            // Made afresh, and again from the text layer kept (as at another zoom).
            for (int i = 0; i < 3; ++i) {
                hosts::TextLayerCache kept;
                auto start = Clock::now();
                std::string html = hosts::viewHTML(plugin, { 800, 600 }, nullptr, &kept);
                htmlCosts.push_back(since(start));
                start = Clock::now();
                html = hosts::viewHTML(plugin, { 800, 600 }, nullptr, &kept);
                keptHtmlCosts.push_back(since(start));
                // As the frame's first request has it done: taken here, measured on a worker.
                start = Clock::now();
                std::optional<hosts::TextLayerWork> work = hosts::textLayerWork(plugin, hosts::TextLayerCache {});
                layerTakenCosts.push_back(since(start));
                if (work) {
                    std::thread([&] {
                        auto measureStart = Clock::now();
                        auto pages = hosts::measureTextLayer(*work);
                        layerMeasuredCosts.push_back(since(measureStart));
                    }).join();
                }
            }
            std::printf("document: poi-bug65649.docx, %u pages\n", pages);
        }

        window.open(site + "/img.html");
        waitUntil([&] { return !webkit_web_view_is_loading(window.webView()); }, 30);
        waitUntil([] { return false; }, 1);
        scroll("/img.html", imageRun);

        auto report = [](const char* what, const std::vector<double>& values) {
            std::printf("%-58s median %7.2f ms  p99 %7.2f ms  (n=%zu)\n", what, percentile(values, 50),
                percentile(values, 99), values.size());
        };
        report("first page image shown, one-page RTF (8 views at once)", rtfFirst);
        report("first page image shown, poi-bug65649.docx", docxFirst);
        report("main-thread time per frame, scrolling the .docx page", embedRun.processor);
        report("main-thread time per frame, scrolling the <img> page", imageRun.processor);
        report("frame interval, scrolling the .docx page", embedRun.interval);
        report("frame interval, scrolling the <img> page", imageRun.interval);
        report("the frame's HTML with every page's text layer, main thread", htmlCosts);
        report("the same with the text layer kept (another zoom)", keptHtmlCosts);
        report("the text layer's lines taken for a worker, main thread", layerTakenCosts);
        report("and measured on the worker", layerMeasuredCosts);
        report("one page image drawn by the view (1x), main thread", pageCosts);
        report("the page taken as a snapshot, main thread", captureCosts);
        report("the image drawn from the snapshot, on a worker", snapshotDrawCosts);
        report("the same image encoded as PNG, on a worker", encodeCosts);
        std::printf("memory per inline view: %.1f MB (PSS of this process and the engine's: %.0f MB without, "
                    "%.0f MB with 8)\n",
            double(with - without) / 8 / 1024, double(without) / 1024, double(with) / 1024);
    }
    server.stop();
    serving.join();
    kit::Host::setCurrent(nullptr);
    return 0;
}
