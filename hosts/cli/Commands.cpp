#include "hosts/cli/Commands.h"

#include "hosts/cli/HeadlessBrowser.h"
#include "hosts/cli/Json.h"
#include "import/common/Dump.h"
#include "kit/foundation/Bundle.h"
#include "kit/foundation/RunLoop.h"
#include "kit/host/HeadlessHost.h"
#include "kit/print/PrintInfo.h"
#include "kit/text/DocumentPages.h"
#include "kit/text/FindPasteboard.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextView.h"
#include "kit/view/ClipView.h"
#include "kit/view/PngEncoding.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/ScaleUtilities.h"
#include "plugin/NRVLectorin.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>

namespace hosts {

namespace {

// One run of the headless browser: the host is current for the session's whole life and outlives the
// windows (members are destroyed in reverse order).
struct Session {
    kit::HeadlessHost host;
    HeadlessBrowser browser;
    // Whether opening waits for the views' pages as well as for the documents: a command that works on the
    // document itself (printing lays it out again for the paper) need not wait for the screen's pages.
    bool waitsForPages = true;
    // When not 0, a document on the printer's paper whose first pages show while the rest is imported is
    // far enough along once more pages than this are there: a page laid out from the beginning of the
    // text is the whole text's.
    std::uint32_t pagesWanted = 0;
    Session() { kit::Host::setCurrent(&host); }
    ~Session()
    {
        browser.instances().clear();
        kit::Host::setCurrent(nullptr);
    }
};

// Whether the document's view shows more pages than count, laid out from all of its text or from the
// beginning the rest of its import will not change.
bool showsPagesBeyond(const PluginInstance& instance, std::uint32_t count)
{
    NRVLectorinMultiPageView* pageView = instance.plugin->pageView();
    return instance.plugin->showsPages() && pageView && pageView->numberOfPages() > count;
}

// Loads the page, waits for the documents and applies the zoom and scroll options. Returns an exit
// status to stop with, or -1 to go on.
int openSession(const Options& options, Session& session, bool pageIsFirstPositional = true)
{
    if (options.paper)
        setenv("LECTORIN_PAPER", options.paper->c_str(), 1);
    if (options.layout)
        NRVLectorin::setPageLayoutOverride(*options.layout == "document" ? PageLayout::Document : PageLayout::PrinterPaper);
    if (options.display) {
        auto display = kit::HeadlessHost::parseDisplayOption(*options.display);
        if (!display) {
            std::fprintf(stderr, "lectorin: --display needs WIDTHxHEIGHT@MMxMM\n");
            return 2;
        }
        session.host.setDisplay(display);
    }
    HeadlessBrowser::LoadOptions load;
    if (options.size)
        load.viewport = *options.size;
    load.forceDocument = options.forceDocument;
    load.timeoutSeconds = options.timeoutSeconds;
    std::string page
        = pageIsFirstPositional && !options.positional.empty() ? options.positional.front() : std::string();
    if (auto error = session.browser.load(page, load)) {
        std::fprintf(stderr, "lectorin: %s\n", error->c_str());
        return 1;
    }
    if (session.pagesWanted) {
        session.browser.waitUntil(options.timeoutSeconds, [&](const PluginInstance& instance) {
            return !instance.plugin->isLoadingDocument() || showsPagesBeyond(instance, session.pagesWanted);
        });
    } else {
        session.browser.waitUntilLoaded(options.timeoutSeconds, session.waitsForPages);
    }
    if (!session.waitsForPages && !session.pagesWanted) {
        // The pages still to come would only take a core and memory from a command on the document itself.
        for (auto& instance : session.browser.instances()) {
            if (NRVLectorinMultiPageView* pageView = instance.plugin->pageView())
                pageView->stopAddingPages();
        }
    }
    for (auto& instance : session.browser.instances()) {
        kit::Window& window = *instance.window;
        if (options.zoomStep) {
            // Through the same path as the user's commands: zoom in or out from the standard step.
            int step = 4;
            for (; step < *options.zoomStep; ++step)
                window.sendAction("zoomIn:", nullptr, instance.plugin);
            for (; step > *options.zoomStep; --step)
                window.sendAction("zoomOut:", nullptr, instance.plugin);
        }
        if (options.scroll) {
            if (auto* pageView = instance.plugin->pageView()) {
                if (auto* scrollView = pageView->enclosingScrollView())
                    scrollView->contentView()->scrollToPoint(*options.scroll);
            }
        }
    }
    if (session.browser.instances().empty()) {
        std::fprintf(stderr, "lectorin: the page embeds no document this plug-in shows\n");
        return 1;
    }
    return -1;
}

bool allLoaded(Session& session)
{
    for (auto& instance : session.browser.instances()) {
        if (!instance.plugin->downloadIsComplete())
            return false;
    }
    return !session.browser.instances().empty();
}

PluginInstance* chosenInstance(const Options& options, Session& session)
{
    auto& instances = session.browser.instances();
    if (options.embed < 1 || std::size_t(options.embed) > instances.size()) {
        std::fprintf(
            stderr, "lectorin: the page has %zu embedded document(s), not %d\n", instances.size(), options.embed);
        return nullptr;
    }
    return &instances[std::size_t(options.embed - 1)];
}

// Opens the session and picks the document the options name: nullptr when there is none to work on, with
// status the exit status to return.
PluginInstance* openChosenInstance(const Options& options, Session& session, int& status)
{
    status = openSession(options, session);
    if (status >= 0)
        return nullptr;
    PluginInstance* instance = chosenInstance(options, session);
    status = instance ? 0 : 1;
    return instance;
}

// The same for the commands that write a file: nullptr, with the status, when -o is missing too.
PluginInstance* openInstanceWithOutput(
    const Options& options, const char* command, const char* output, Session& session, int& status)
{
    if (options.output.empty()) {
        std::fprintf(stderr, "lectorin: %s needs -o %s\n", command, output);
        status = 2;
        return nullptr;
    }
    return openChosenInstance(options, session, status);
}

// Sends the document's window an action whose panel the host answers (save, print), then turns the run loop
// until the answer is in the transcript and done() holds, or the bound has passed.
void performAnsweredAction(Session& session, PluginInstance& instance, const char* action, std::chrono::seconds bound,
    const std::function<bool()>& done)
{
    std::size_t answered = session.host.transcript().size();
    instance.window->sendAction(action, nullptr, instance.plugin);
    // The panel is a sheet: its answer and the work it starts arrive from the run loop.
    kit::RunLoop::runUntil([&] { return session.host.transcript().size() > answered && done(); }, bound);
    kit::RunLoop::drain();
}

// Says on stderr why a document shows a message instead of its pages, for every document of the session
// or only the one given; true when one does. The page (and so a rendered PNG) shows the same sentence.
bool reportDocumentProblems(Session& session, const PluginInstance* only = nullptr)
{
    bool any = false;
    for (auto& instance : session.browser.instances()) {
        if (only && &instance != only)
            continue;
        const std::string& message = instance.plugin->problemMessage();
        if (message.empty())
            continue;
        std::fprintf(stderr, "lectorin: %s\n", message.c_str());
        any = true;
    }
    return any;
}

std::string documentStem(const PluginInstance& instance)
{
    std::string src = instance.src.substr(0, instance.src.find_first_of("?#"));
    std::string name = std::filesystem::path(src).stem().string();
    return name.empty() ? std::string("document") : name;
}

std::filesystem::path defaultOutput(const PluginInstance& instance, const char* extension)
{
    std::filesystem::create_directories("out");
    return std::filesystem::path("out") / (documentStem(instance) + extension);
}

// One PNG of a page with the separator's width of background around it, one pixel per window unit.
bool writePagePNG(NRVLectorinMultiPageView& pageView, std::uint32_t page, const std::filesystem::path& path)
{
    float s = pageView.pageSeparatorHeight();
    kit::Rect rect = pageView.pageRectForPageNumber(page);
    rect = { rect.x() - s, rect.y() - s, rect.width() + 2 * s, rect.height() + 2 * s };
    float scale = pageview::ScaleUtilities::scale(pageView).width;
    int width = int(std::ceil(rect.width() * scale)), height = int(std::ceil(rect.height() * scale));
    if (width <= 0 || height <= 0 || width > 32767 || height > 32767)
        return false;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* context = cairo_create(surface);
    cairo_scale(context, scale, scale);
    pageView.displayRectInContext(rect, context);
    cairo_destroy(context);
    bool ok = kit::writePng(surface, path);
    cairo_surface_destroy(surface);
    return ok;
}

} // namespace

std::string versionString() { return kit::Bundle::plugin().version().value_or("1.0.0"); }

// Runs the loop until the view has laid out its pages up to last (counted from 1) and the one after it,
// whose separator borders last's, or all of them. On the printer's paper a page is final once laid out; in
// the document's own layout a field on any page may count them all, so every page is waited for there.
void waitForPagesUpTo(NRVLectorinMultiPageView& pageView, int last, double timeoutSeconds)
{
    bool ownLayout = pageView.pageLayout() == PageLayout::Document;
    kit::RunLoop::runUntil(
        [&] { return !pageView.isPaginating() || (!ownLayout && pageView.numberOfPages() > std::uint32_t(last)); },
        std::chrono::milliseconds(long(timeoutSeconds * 1000)));
}

int runRender(const Options& options)
{
    if (!options.window.empty())
        return runRenderWindow(options);
    Session session;
    // Pages of their own wait for the pages they show only, and not for the rest of the document's
    // import; a snapshot of the window shows the scroller of the whole stack.
    session.waitsForPages = !options.pages;
    if (options.pages)
        session.pagesWanted = std::uint32_t(options.pages->second);
    int status = 0;
    PluginInstance* instance = openChosenInstance(options, session, status);
    if (!instance)
        return status;
    status = allLoaded(session) ? 0 : 1;
    if (options.pages) {
        if (std::all_of(session.browser.instances().begin(), session.browser.instances().end(),
                [&](const PluginInstance& each) { return showsPagesBeyond(each, session.pagesWanted); }))
            status = 0;
        NRVLectorinMultiPageView* pageView = instance->plugin->pageView();
        if (pageView)
            waitForPagesUpTo(*pageView, options.pages->second, options.timeoutSeconds);
        if (!pageView || pageView->numberOfPages() == 0) {
            std::fprintf(stderr, "lectorin: no pages to render\n");
            return 1;
        }
        std::filesystem::path base
            = options.output.empty() ? defaultOutput(*instance, ".png") : std::filesystem::path(options.output);
        int last = std::min<int>(options.pages->second, int(pageView->numberOfPages()));
        for (int page = options.pages->first; page <= last; ++page) {
            std::filesystem::path path
                = base.parent_path() / (base.stem().string() + "-" + std::to_string(page) + ".png");
            if (!writePagePNG(*pageView, std::uint32_t(page - 1), path)) {
                std::fprintf(stderr, "lectorin: cannot write %s\n", path.c_str());
                return 1;
            }
            std::printf("%s\n", path.c_str());
        }
        return reportDocumentProblems(session, instance) ? 1 : status;
    }
    std::filesystem::path path
        = options.output.empty() ? defaultOutput(*instance, ".png") : std::filesystem::path(options.output);
    auto written = session.host.writeWindowPNG(*instance->window, path);
    if (!written) {
        std::fprintf(stderr, "lectorin: %s\n", written.error().c_str());
        return 1;
    }
    std::printf("%s\n", path.c_str());
    return reportDocumentProblems(session) ? 1 : status;
}

int runInfo(const Options& options)
{
    Session session;
    if (int status = openSession(options, session); status >= 0)
        return status;
    for (auto& instance : session.browser.instances()) {
        NRVLectorin& plugin = *instance.plugin;
        NRVLectorinMultiPageView* pageView = plugin.pageView();
        kit::TextStorage* storage = pageView ? pageView->textStorage() : nullptr;
        Json json;
        json.field("src", instance.src);
        json.field("state", plugin.downloadIsComplete() ? "loaded" : "failed");
        json.field("format", plugin.downloadIsComplete() ? plugin.importedFormat() : std::string("none"));
        if (plugin.importError() == importer::ImportError::None)
            json.nullField("importError");
        else
            json.field("importError", importer::errorText(plugin.importError()));
        if (plugin.problemMessage().empty())
            json.nullField("message");
        else
            json.field("message", plugin.problemMessage());
        json.field("bytes", double(plugin.rawData() ? plugin.rawData()->size() : 0));
        json.field("length", double(storage ? storage->length() : 0));
        json.field("characters", double(storage ? storage->characterCount() : 0));
        if (pageView) {
            const auto& printInfo = pageView->printInfo();
            json.field("pages", double(pageView->numberOfPages()));
            json.array("paper", { printInfo->paperSize().width, printInfo->paperSize().height });
            json.array("margins",
                { printInfo->leftMargin(), printInfo->rightMargin(), printInfo->topMargin(),
                    printInfo->bottomMargin() });
            json.field("layout", pageView->pageLayout() == PageLayout::Document ? "document" : "printer");
            if (kit::DocumentPages* pages = pageView->documentPages()) {
                // Each page's paper, in the order of the pages, as [width, height] pairs run together.
                std::vector<double> sizes;
                for (const auto& page : pages->pages()) {
                    sizes.push_back(page.paperSize.width);
                    sizes.push_back(page.paperSize.height);
                }
                json.array("pageSizes", sizes);
                json.field("sections", double(pages->setup().sections.size()));
            }
            json.field("zoomStep", double(pageView->zoomStep()));
            json.field("scalePercent", double(pageview::ScaleUtilities::scalePercent(*pageView)));
            kit::Rect frame = pageView->frame();
            json.array("frame", { frame.x(), frame.y(), frame.width(), frame.height() });
            if (kit::ScrollView* scrollView = pageView->enclosingScrollView()) {
                kit::Rect bounds = scrollView->contentView()->bounds();
                json.array("bounds", { bounds.x(), bounds.y(), bounds.width(), bounds.height() });
            }
            json.field("displayResolutionFactor", double(pageView->displayResolutionFactor()));
        }
        std::printf("%s\n", json.str().c_str());
    }
    bool problems = reportDocumentProblems(session);
    return allLoaded(session) && !problems ? 0 : 1;
}

int runText(const Options& options)
{
    Session session;
    // The text is the document's, whatever its pages.
    session.waitsForPages = false;
    if (int status = openSession(options, session); status >= 0)
        return status;
    bool one = options.embed != 1 || session.browser.instances().size() == 1;
    std::size_t index = 0;
    bool problems = false;
    for (auto& instance : session.browser.instances()) {
        ++index;
        if (one && index != std::size_t(options.embed))
            continue;
        if (reportDocumentProblems(session, &instance)) {
            problems = true;
            continue;
        }
        NRVLectorinMultiPageView* pageView = instance.plugin->pageView();
        if (kit::TextStorage* storage = pageView ? pageView->textStorage() : nullptr) {
            std::string text = importer::plainText(*storage);
            std::fwrite(text.data(), 1, text.size(), stdout);
            if (!text.empty() && text.back() != '\n')
                std::fputc('\n', stdout);
        }
    }
    return allLoaded(session) && !problems ? 0 : 1;
}

int runSave(const Options& options)
{
    Session session;
    int status = 0;
    PluginInstance* instance = openInstanceWithOutput(options, "save", "PATH", session, status);
    if (!instance)
        return status;
    if (!instance->plugin->downloadIsComplete()) {
        std::fprintf(stderr, "lectorin: nothing was loaded, nothing to save\n");
        return 1;
    }
    std::filesystem::path target = std::filesystem::absolute(options.output);
    session.host.queueSaveAnswer(target);
    int beepsBefore = session.host.beepCount();
    performAnsweredAction(session, *instance, "saveDocumentTo:", std::chrono::seconds(10), [] { return true; });
    if (session.host.beepCount() != beepsBefore) {
        std::fprintf(stderr, "lectorin: could not write %s\n", target.c_str());
        return 1;
    }
    std::string extension = instance->plugin->connectionResponse()
        ? std::filesystem::path(instance->plugin->connectionResponse()->suggestedFilename()).extension().string()
        : std::string();
    std::filesystem::path written = target;
    if (!extension.empty() && target.extension() != extension)
        written += extension;
    std::printf("%s\n", written.c_str());
    return 0;
}

int runPrint(const Options& options)
{
    Session session;
    session.waitsForPages = false;
    int status = 0;
    PluginInstance* instance = openInstanceWithOutput(options, "print", "OUT.pdf", session, status);
    if (!instance)
        return status;
    // A message page is not the document: nothing to print.
    if (reportDocumentProblems(session, instance))
        return 1;
    std::filesystem::path target = std::filesystem::absolute(options.output);
    std::error_code ignored;
    std::filesystem::remove(target, ignored);
    session.host.setPrintOutputPath(target);
    session.host.queuePrintAnswer(true);
    performAnsweredAction(
        session, *instance, "print:", std::chrono::seconds(120), [&] { return std::filesystem::exists(target); });
    if (!std::filesystem::exists(target)) {
        std::fprintf(stderr, "lectorin: nothing was printed\n");
        return 1;
    }
    std::printf("%s\n", target.c_str());
    std::fprintf(stderr, "lectorin: %d page(s) printed\n", session.host.lastPrintPageCount());
    return allLoaded(session) ? 0 : 1;
}

int runFind(const Options& options)
{
    // TEXT is the last positional argument; PAGE, when given, comes before it.
    if (options.positional.empty()) {
        std::fprintf(stderr, "lectorin: find needs TEXT\n");
        return 2;
    }
    Options pageOptions = options;
    std::string text = pageOptions.positional.back();
    pageOptions.positional.pop_back();
    Session session;
    int status = 0;
    PluginInstance* instance = openChosenInstance(pageOptions, session, status);
    if (!instance)
        return status;
    if (reportDocumentProblems(session, instance))
        return 1;
    NRVLectorinMultiPageView* pageView = instance->plugin->pageView();
    kit::LayoutManager* layout = pageView ? pageView->layoutManager() : nullptr;
    kit::FindPasteboard::setString(text);
    std::vector<kit::Range> matches;
    const char* action = options.previous ? "findPrevious:" : "findNext:";
    while (layout && matches.size() < 100000) {
        int beeps = session.host.beepCount();
        instance->window->sendAction(action, nullptr, instance->plugin);
        kit::Range selection = layout->selectedRange();
        if (session.host.beepCount() != beeps || selection.length == 0)
            break;
        if (!matches.empty() && selection == matches.front())
            break; // wrapped around to the first match
        matches.push_back(selection);
    }
    for (const auto& match : matches) {
        // The page whose lines hold the match: a note's text is shown on its reference's page.
        std::uint32_t page = std::uint32_t(layout->textContainers().size());
        if (kit::TextContainer* container = layout->textContainerForGlyphAtIndex(match.location))
            page = std::uint32_t(layout->indexOfTextContainer(*container).value_or(page));
        std::printf("page %u bytes %zu-%zu\n", page + 1, match.location, match.end());
    }
    std::printf("%zu matches\n", matches.size());
    std::filesystem::path path
        = options.output.empty() ? defaultOutput(*instance, "-find.png") : std::filesystem::path(options.output);
    if (session.host.writeWindowPNG(*instance->window, path))
        std::fprintf(stderr, "%s\n", path.c_str());
    return allLoaded(session) ? 0 : 1;
}

} // namespace hosts
