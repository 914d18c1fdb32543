// Opens and tears down plug-in views over and over, as a reader browsing pages does: every corpus document
// served on 127.0.0.1, and the network's failures beside them (a missing file, a reset in mid-body, a
// redirect loop, a truncated package, a server that trickles). Every seventh document view is torn down
// while it is still loading. Run it in the AddressSanitizer build, whose LeakSanitizer reports at exit what
// the cycles left behind, and in the plain build to see whether the heap grows from one round to the next.
//
// Usage: bench_plugin_view_cycles [CYCLES]   (default 1000)
// Prints the heap in use (malloc's count; in the sanitizer build the process's resident size instead)
// after each round over every kind of view, and the views that ended with a problem message.
#include "import/Importer.h"
#include "kit/foundation/RunLoop.h"
#include "kit/host/HeadlessHost.h"
#include "kit/host/Host.h"
#include "kit/view/Window.h"
#include "plugin/NRVLectorin.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <iterator>
#include <malloc.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

double residentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double heapInUseMiB() { return double(mallinfo2().uordblks) / 1048576.0; }

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

struct Server {
    httplib::Server http;
    std::thread thread;
    int port = 0;
    std::string truncated;

    explicit Server(const std::string& truncatedPackage)
        : truncated(truncatedPackage)
    {
        http.set_mount_point("/corpus", LECTORIN_CORPUS_DIR);
        http.Get("/reset.rtf", [](const httplib::Request&, httplib::Response& r) {
            r.set_content_provider(1 << 20, "application/rtf", [](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset > 0)
                    return false;
                std::string piece = "{\\rtf1 " + std::string(4096 - 7, 'x');
                return sink.write(piece.data(), piece.size());
            });
        });
        http.Get("/loop.rtf", [](const httplib::Request&, httplib::Response& r) {
            r.status = 302;
            r.set_header("Location", "/loop.rtf");
        });
        http.Get("/truncated.docx", [this](const httplib::Request&, httplib::Response& r) {
            r.set_content(truncated, "application/vnd.openxmlformats-officedocument.wordprocessingml.document");
        });
        http.Get("/trickle.rtf", [](const httplib::Request&, httplib::Response& r) {
            r.set_chunked_content_provider("application/rtf", [](std::size_t, httplib::DataSink& sink) {
                std::this_thread::sleep_for(20ms);
                return sink.write("x", 1);
            });
        });
        port = http.bind_to_any_port("127.0.0.1");
        thread = std::thread([this] { http.listen_after_bind(); });
        while (!http.is_running())
            std::this_thread::sleep_for(1ms);
    }
    ~Server()
    {
        http.stop();
        thread.join();
    }
    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port) + path; }
};

struct Kind {
    std::string path;
    bool tearDownEarly = false; // torn down a few loop turns after its request, loaded or not
};

kit::Value arguments(const std::string& src)
{
    kit::Value attributes = kit::Value::dictionary();
    attributes.set("src", kit::Value::string(src));
    kit::Value args = kit::Value::dictionary();
    args.set(WebPlugInAttributesKey, std::move(attributes));
    return args;
}

// One view from its creation to its teardown; true if it ended with a problem message.
bool cycle(const std::string& url, bool tearDownEarly)
{
    kit::Size box { 801, 600 };
    auto window = std::make_unique<kit::Window>(box);
    auto view = NRVLectorin::plugInViewWithArguments(arguments(url));
    view->webPlugInInitialize();
    NRVLectorin* plugin = view.get();
    window->contentView()->addSubview(std::move(view)).setFrame({ { 0, 0 }, box });
    if (tearDownEarly)
        kit::RunLoop::runUntil([] { return false; }, 15ms);
    else
        kit::RunLoop::runUntil([plugin] { return !plugin->isLoading(); }, 60s);
    bool problem = !plugin->problemMessage().empty();
    window.reset();
    return problem;
}

} // namespace

int main(int argc, char** argv)
{
    int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
    importer::prepareImports();
    kit::HeadlessHost host;
    kit::Host::setCurrent(&host);

    std::vector<Kind> kinds;
    std::vector<std::filesystem::path> documents;
    for (const auto& entry : std::filesystem::directory_iterator(LECTORIN_CORPUS_DIR)) {
        if (entry.is_regular_file() && entry.path().extension() != ".md")
            documents.push_back(entry.path());
    }
    std::sort(documents.begin(), documents.end());
    std::string aPackage;
    for (std::size_t i = 0; i < documents.size(); ++i) {
        kinds.push_back({ "/corpus/" + documents[i].filename().string(), i % 7 == 3 });
        if (aPackage.empty() && documents[i].extension() == ".docx")
            aPackage = readFile(documents[i]);
    }
    for (const char* failure : { "/missing.doc", "/reset.rtf", "/loop.rtf", "/truncated.docx" })
        kinds.push_back({ failure, false });
    kinds.push_back({ "/trickle.rtf", true });
    Server server(aPackage.substr(0, aPackage.size() / 2));

    std::printf("%zu kinds of view (%zu corpus documents), %d cycles, %s\n", kinds.size(), documents.size(), cycles,
        kSanitized ? "resident MiB (sanitizer build)" : "heap in use MiB");
    std::printf("%8s %10s %10s %9s\n", "cycles", "memory", "seconds", "problems");
    auto start = std::chrono::steady_clock::now();
    int problems = 0;
    for (int i = 0; i < cycles; ++i) {
        const Kind& kind = kinds[std::size_t(i) % kinds.size()];
        problems += cycle(server.url(kind.path), kind.tearDownEarly) ? 1 : 0;
        bool roundEnds = (i + 1) % int(kinds.size()) == 0 || i + 1 == cycles;
        if (roundEnds) {
            malloc_trim(0);
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("%8d %10.1f %10.1f %9d\n", i + 1, kSanitized ? residentMiB() : heapInUseMiB(), seconds, problems);
            std::fflush(stdout);
        }
    }
    kit::Host::setCurrent(nullptr);
    return 0;
}
