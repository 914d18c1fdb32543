// An inline view used as a reader uses it: looked at, zoomed, searched, copied from, saved, printed and
// followed through its links, with real input through the X server and GTK's own dialogs.
#include "BrowserFixture.h"
#include "hosts/web/ViewPresentation.h"
#include "kit/text/TextStorage.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/ScaleUtilities.h"
#include "pageview/ZoomFactors.h"
#include "plugin/NRVLectorin.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <cmath>
#include <cstring>
#include <filesystem>
#include <gtk/gtkunixprint.h>
#include <optional>
#include <thread>

namespace {

using namespace webtest;
using namespace std::chrono_literals;

Box elementBox(WebKitWebView* view, const std::string& id)
{
    std::string text = evaluate(view,
        "(r => [r.left, r.top, r.width, r.height].join(','))(document.getElementById('" + id
            + "').getBoundingClientRect())");
    Box box;
    std::sscanf(text.c_str(), "%lf,%lf,%lf,%lf", &box.x, &box.y, &box.width, &box.height);
    return box;
}

bool isDark(std::uint32_t pixel)
{
    return gtktest::red(pixel) < 110 && gtktest::green(pixel) < 110 && gtktest::blue(pixel) < 110;
}

int darkPixelsIn(const gtktest::Frame& frame, Box box)
{
    int count = 0;
    for (int y = std::max(0, int(box.y)); y < std::min(frame.height, int(box.y + box.height)); ++y)
        for (int x = std::max(0, int(box.x)); x < std::min(frame.width, int(box.x + box.width)); ++x)
            count += isDark(frame.at(x, y));
    return count;
}

NRVLectorin& pluginOf(hosts::BrowserWindow& window, const std::string& token)
{
    return *window.inlineViews().views().at(token)->plugin;
}

// The number of matches the browser's find counts for word (case-insensitive); none if it never answers.
std::optional<guint> countMatches(WebKitFindController* find, const char* word)
{
    std::optional<guint> counted;
    gulong handler = g_signal_connect(find, "counted-matches",
        G_CALLBACK(+[](WebKitFindController*, guint count, std::optional<guint>* out) { *out = count; }), &counted);
    webkit_find_controller_count_matches(find, word, WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE, 100);
    gtktest::waitUntil([&] { return counted.has_value(); }, 10s);
    g_signal_handler_disconnect(find, handler);
    return counted;
}

// True once the probe saw the view's frame show its first page image.
bool firstPageShown(const FrameProbe& probe, const std::string& token)
{
    const FrameState* state = probe.state(token);
    return state && !state->pageImageWidths.empty() && state->pageImageWidths[0] > 0 && !state->pages.empty();
}

TEST_F(BrowserTest, TheSnapshotShowsWhitePagesAtTheElementsBoxAmongThePagesText)
{
    ASSERT_TRUE(loadAndWaitForViews("/page.html", 3));
    WebKitWebView* view = m_window->webView();
    std::string token = tokenOfElement(view, "one");
    ASSERT_TRUE(gtktest::waitUntil([&] { return firstPageShown(*m_probe, token); }, 90s));
    ASSERT_TRUE(gtktest::waitForPaints(GTK_WIDGET(view), 3));
    Box box = elementBox(view, "one");
    NRVLectorin& plugin = pluginOf(*m_window, token);
    NRVLectorinMultiPageView& pageView = *plugin.pageView();
    float separator = pageView.pageSeparatorHeight() * pageview::ScaleUtilities::scale(pageView).height;
    auto background = plugin.backgroundColor().usingCalibratedRGB().value();
    Box outer = m_probe->state(token)->pages[0];
    // The white page inside its separator, in the web view's pixels.
    Box page { box.x + outer.x + separator, box.y + outer.y + separator, outer.width - 2 * separator,
        outer.height - 2 * separator };

    gtktest::Frame frame;
    // The image is in the frame's document once it decoded; the view draws it on one of its next frames.
    ASSERT_TRUE(gtktest::waitUntil(
        [&] {
            frame = snapshot(view);
            return frame.width > 0 && darkPixelsIn(frame, page) > 50;
        },
        20s))
        << "the page image shows the document's text";
    EXPECT_GE(frame.width, int(box.x + box.width));
    int topMarginY = int(page.y + 6);
    int middleX = int(std::min(page.midX(), box.x + box.width / 2));
    EXPECT_TRUE(gtktest::isColor(frame.at(middleX, topMarginY), 1, 1, 1)) << "white paper in the page's top margin";
    EXPECT_TRUE(gtktest::isColor(frame.at(middleX, int(box.y + separator / 3)), background.red(), background.green(),
        background.blue(), 6))
        << "the view's background colour above the first page, at the top of the element's box";
    EXPECT_TRUE(gtktest::isColor(frame.at(int(box.x + separator / 3), int(box.y + box.height / 2)), background.red(),
        background.green(), background.blue(), 6))
        << "and left of it";
    EXPECT_FALSE(gtktest::isColor(frame.at(int(box.x) - 3, int(box.y + box.height / 2)), background.red(),
        background.green(), background.blue(), 6))
        << "the box ends where the element's box does";
    // The page's own text is drawn around the views.
    EXPECT_GT(darkPixelsIn(frame, elementBox(view, "above")), 20);
    Box below = elementBox(view, "below");
    ASSERT_LT(below.y + below.height, frame.height);
    EXPECT_GT(darkPixelsIn(frame, below), 20);

    // The frame's page images are drawn on a worker from what each page shows: the view's own pixels.
    for (std::uint32_t number = 0; number < std::min(pageView.numberOfPages(), 3u); ++number) {
        SCOPED_TRACE(number + 1);
        std::optional<hosts::PageImage> image = hosts::pageImage(plugin, number, 2);
        ASSERT_TRUE(image);
        hosts::DrawnImage drawn, expected = hosts::drawPage(plugin, number, 2);
        std::thread([&] { drawn = hosts::drawPageImage(*image); }).join();
        ASSERT_TRUE(drawn && expected);
        ASSERT_EQ(cairo_image_surface_get_height(drawn.get()), cairo_image_surface_get_height(expected.get()));
        ASSERT_EQ(cairo_image_surface_get_stride(drawn.get()), cairo_image_surface_get_stride(expected.get()));
        std::size_t bytes = std::size_t(cairo_image_surface_get_stride(drawn.get())) * cairo_image_surface_get_height(drawn.get());
        EXPECT_EQ(std::memcmp(cairo_image_surface_get_data(drawn.get()), cairo_image_surface_get_data(expected.get()), bytes), 0);
    }
}

TEST_F(BrowserTest, ZoomingInThroughTheControlWidensThePageImageByTheNextFactor)
{
    ASSERT_TRUE(loadAndWaitForViews("/page.html", 3));
    WebKitWebView* view = m_window->webView();
    std::string token = tokenOfElement(view, "two");
    ASSERT_TRUE(gtktest::waitUntil([&] { return firstPageShown(*m_probe, token); }, 90s));
    NRVLectorinMultiPageView& pageView = *pluginOf(*m_window, token).pageView();
    ASSERT_EQ(pageView.zoomFit(), NRVLectorinMultiPageView::ZoomFit::None);
    int step = pageView.zoomStep();
    ASSERT_LT(step + 1, kZoomFactorsCount);
    int before = m_probe->state(token)->pageImageWidths[0];
    Box plus = m_probe->state(token)->commands.at("zoomIn");
    ASSERT_TRUE(clickInFrame(*m_window, token, plus.midX(), plus.midY()));
    ASSERT_TRUE(gtktest::waitUntil(
        [&] {
            const FrameState* state = m_probe->state(token);
            return state && !state->pageImageWidths.empty() && state->pageImageWidths[0] > 0
                && state->pageImageWidths[0] != before;
        },
        90s))
        << "a page image at the new zoom is shown";
    EXPECT_EQ(pageView.zoomStep(), step + 1);
    double expected = before * double(kZoomFactors[step + 1]) / double(kZoomFactors[step]);
    EXPECT_NEAR(m_probe->state(token)->pageImageWidths[0], expected, 2.0)
        << "the page (with its separators) scales by the ratio of the zoom steps";
}

TEST_F(BrowserTest, TheBrowsersFindFindsAWordThatOnlyTheDocumentsHave)
{
    ASSERT_TRUE(loadAndWaitForViews("/page.html", 3));
    WebKitWebView* view = m_window->webView();
    for (const auto& [token, inlineView] : m_window->inlineViews().views())
        ASSERT_TRUE(gtktest::waitUntil([&, t = token] { return m_probe->state(t) && !m_probe->state(t)->lines.empty(); }, 90s));
    EXPECT_EQ(evaluate(view, "document.documentElement.outerHTML.includes('quokkaword')"), "false")
        << "the word is in the documents alone";
    WebKitFindController* find = webkit_web_view_get_find_controller(view);
    const testsupport::Case<const char*, guint> cases[] = {
        { "QuokkaWord", 2, "the .rtf embed and the <object> the script added show it; case does not matter" },
        { "Text above", 1, "the page's own text is found as before" },
        { "wombatword", 0, "a word in neither" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::optional<guint> count = countMatches(find, c.input);
        ASSERT_TRUE(count);
        EXPECT_EQ(*count, c.expected);
    }
}

// The frame's HTML keeps the text layer it made; made again at another zoom or for another layout of the
// pages, it is what the view's pages give afresh.
TEST_F(BrowserTest, TheTextLayerKeptForTheNextFrameIsTheOneTheLayoutGivesAfresh)
{
    ASSERT_TRUE(loadAndWaitForViews("/long.html", 1));
    WebKitWebView* view = m_window->webView();
    std::string token = tokenOfElement(view, "long");
    ASSERT_TRUE(gtktest::waitUntil([&] { return firstPageShown(*m_probe, token); }, 90s));
    NRVLectorin& plugin = pluginOf(*m_window, token);
    NRVLectorinMultiPageView& pageView = *plugin.pageView();
    hosts::TextLayerCache cache;
    std::vector<std::string> links, freshLinks;
    auto expectAsFresh = [&](const char* when) {
        SCOPED_TRACE(when);
        std::string kept = hosts::viewHTML(plugin, { 400, 250 }, &links, &cache);
        std::string fresh = hosts::viewHTML(plugin, { 400, 250 }, &freshLinks);
        EXPECT_EQ(kept, fresh);
        EXPECT_EQ(links, freshLinks);
        EXPECT_NE(kept.find("platypusword"), std::string::npos) << "the sixth page's text is in the layer";
    };
    // Measured on a worker, as the frame's first request has it done: the layer the UI thread makes.
    {
        hosts::TextLayerCache measured;
        std::optional<hosts::TextLayerWork> work = hosts::textLayerWork(plugin, measured);
        ASSERT_TRUE(work);
        EXPECT_EQ(work->pages.size(), pageView.numberOfPages());
        std::vector<std::vector<hosts::TextLayerCache::Line>> pages;
        std::thread([&] { pages = hosts::measureTextLayer(*work); }).join();
        hosts::keepTextLayer(plugin, measured, *work, std::move(pages));
        ASSERT_EQ(measured.pages.size(), pageView.numberOfPages());
        EXPECT_FALSE(hosts::textLayerWork(plugin, measured)) << "nothing left to measure";
        EXPECT_EQ(hosts::viewHTML(plugin, { 400, 250 }, &links, &measured), hosts::viewHTML(plugin, { 400, 250 }, &freshLinks));
        EXPECT_EQ(links, freshLinks);
    }
    expectAsFresh("made first");
    ASSERT_EQ(cache.pages.size(), pageView.numberOfPages());
    expectAsFresh("kept");
    pageView.setZoomStep(pageView.zoomStep() + 1);
    expectAsFresh("at the next zoom");
    // Another document in the same view: the layer kept for the first would be wrong, and so would one
    // measured for it while the other arrived.
    std::optional<hosts::TextLayerWork> late = hosts::textLayerWork(plugin, hosts::TextLayerCache {});
    ASSERT_TRUE(late);
    auto latePages = hosts::measureTextLayer(*late);
    auto other = std::make_shared<kit::TextStorage>();
    other->append("Only a numbat lives here.\n", kit::Attributes {});
    pageView.setTextStorage(other);
    hosts::TextLayerCache stale;
    hosts::keepTextLayer(plugin, stale, *late, std::move(latePages));
    EXPECT_TRUE(stale.pages.empty()) << "measured for a layout that is gone";
    std::string shown = hosts::viewHTML(plugin, { 400, 250 }, &links, &cache);
    EXPECT_NE(shown.find("numbat"), std::string::npos);
    EXPECT_EQ(shown.find("platypusword"), std::string::npos);
    EXPECT_EQ(cache.pages.size(), 1u);
}

TEST_F(BrowserTest, TheBrowsersFindReachesPagesOutOfSight)
{
    // Pages far below the view's box are neither laid out nor painted by the engine until they come into
    // sight; their text must still be found, and finding it brings its page into sight.
    ASSERT_TRUE(loadAndWaitForViews("/long.html", 1));
    WebKitWebView* view = m_window->webView();
    std::string token = tokenOfElement(view, "long");
    ASSERT_TRUE(gtktest::waitUntil([&] { return firstPageShown(*m_probe, token); }, 90s));
    ASSERT_EQ(m_probe->state(token)->pages.size(), 6u);
    WebKitFindController* find = webkit_web_view_get_find_controller(view);
    std::optional<guint> count = countMatches(find, "platypusword");
    ASSERT_TRUE(count);
    EXPECT_EQ(*count, 1u) << "the word on the sixth page";
    struct Found {
        bool found = false;
    } found;
    gulong finding = g_signal_connect(find, "found-text", G_CALLBACK(+[](WebKitFindController*, guint, Found* out) {
        out->found = true;
    }),
        &found);
    webkit_find_controller_search(find, "platypusword", WEBKIT_FIND_OPTIONS_CASE_INSENSITIVE, 100);
    EXPECT_TRUE(gtktest::waitUntil([&] { return found.found; }, 10s));
    EXPECT_TRUE(gtktest::waitUntil([&] { return m_probe->state(token)->scrollY > 0; }, 10s))
        << "the view's frame scrolled towards the last page";
    webkit_find_controller_search_finish(find);
    g_signal_handler_disconnect(find, finding);
}

TEST_F(BrowserTest, SelectingALineAndCopyingPutsItsTextOnTheClipboard)
{
    ASSERT_TRUE(loadAndWaitForViews("/page.html", 3));
    WebKitWebView* view = m_window->webView();
    std::string token = tokenOfElement(view, "two");
    ASSERT_TRUE(gtktest::waitUntil([&] { return m_probe->state(token) && !m_probe->state(token)->lines.empty(); }, 90s));
    FrameState::Text line = m_probe->state(token)->lines[0];
    ASSERT_EQ(line.text, "Inside the report: quokkaword.");
    ASSERT_TRUE(gtktest::waitUntil([&] { return firstPageShown(*m_probe, token); }, 90s));
    // Three clicks select the line, as on any text of a page.
    ASSERT_TRUE(clickInFrame(*m_window, token, line.box.midX(), line.box.midY(), 3));
    ASSERT_TRUE(gtktest::waitUntil(
        [&] { return m_probe->state(token)->selection.find("quokkaword") != std::string::npos; }));
    // Ctrl+C, pressed through the X server as a user presses it.
    std::string output, errors;
    ASSERT_EQ(testsupport::runCommand("xdotool key ctrl+c", &output, &errors), 0) << errors;
    std::string copied;
    EXPECT_TRUE(gtktest::waitUntil(
        [&] {
            copied = clipboardText(GTK_WIDGET(view));
            return copied.find("quokkaword") != std::string::npos;
        },
        10s))
        << copied;
    while (!copied.empty() && (copied.back() == '\n' || copied.back() == ' '))
        copied.pop_back();
    EXPECT_EQ(copied, line.text);
}

bool isFileChooser(GtkWindow* window)
{
    return GTK_IS_FILE_CHOOSER_DIALOG(window);
}

bool isPrintDialog(GtkWindow* window)
{
    return GTK_IS_PRINT_UNIX_DIALOG(window);
}

TEST_F(BrowserTest, SaveAndPrintRunOnceThroughGtksDialogs)
{
    ASSERT_TRUE(loadAndWaitForViews("/page.html", 3));
    WebKitWebView* view = m_window->webView();
    std::string token = tokenOfElement(view, "two");
    ASSERT_TRUE(gtktest::waitUntil([&] { return firstPageShown(*m_probe, token); }, 90s));
    std::filesystem::path folder = testsupport::temporaryFolder("browse-save");

    Box save = m_probe->state(token)->commands.at("save");
    ASSERT_TRUE(clickInFrame(*m_window, token, save.midX(), save.midY()));
    GtkWindow* chooser = gtktest::waitForToplevel(isFileChooser, 20s);
    ASSERT_NE(chooser, nullptr) << "Save… shows GTK's file chooser";
    EXPECT_EQ(gtk_window_get_transient_for(chooser), m_window->gtkWindow()) << "attached to the browser's window";
    char* proposed = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(chooser));
    EXPECT_STREQ(proposed, "b.rtf") << "the document's own name is proposed";
    g_free(proposed);
    // The chooser loads folders in the background, and a folder asked for while another loads cancels that
    // load: the user waits for the first folder, goes to the target folder, then types the name.
    auto showsFolder = [&](const std::filesystem::path& path) {
        kit::GRefPtr<GFile> wanted = kit::adoptGRef(g_file_new_for_path(path.c_str()));
        return gtktest::waitUntil([&] {
            kit::GRefPtr<GFile> shown = kit::adoptGRef(gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(chooser)));
            return shown && g_file_equal(shown.get(), wanted.get());
        });
    };
    ASSERT_TRUE(showsFolder(g_get_home_dir()));
    kit::GRefPtr<GFile> target = kit::adoptGRef(g_file_new_for_path(folder.c_str()));
    ASSERT_TRUE(gtk_file_chooser_set_current_folder(GTK_FILE_CHOOSER(chooser), target.get(), nullptr));
    ASSERT_TRUE(showsFolder(folder));
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), "report.rtf");
    gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
    ASSERT_TRUE(gtktest::waitUntil([&] { return std::filesystem::exists(folder / "report.rtf"); }, 20s));
    EXPECT_EQ(testsupport::readText(folder / "report.rtf"), kReportRTF) << "the downloaded bytes, unchanged";

    Box print = m_probe->state(token)->commands.at("print");
    ASSERT_TRUE(gtktest::waitUntil([&] { return !gtktest::findToplevel(isFileChooser); }));
    ASSERT_TRUE(clickInFrame(*m_window, token, print.midX(), print.midY()));
    GtkWindow* dialog = gtktest::waitForToplevel(isPrintDialog, 20s);
    ASSERT_NE(dialog, nullptr) << "Print… shows GTK's print dialog";
    EXPECT_EQ(gtk_window_get_transient_for(dialog), m_window->gtkWindow());
    // The user picks the printer that writes a file, names the file and prints.
    std::filesystem::path pdf = folder / "printed.pdf";
    kit::GRefPtr<GtkPrintSettings> settings = kit::adoptGRef(gtk_print_settings_new());
    gtk_print_settings_set_printer(settings.get(), "Print to File");
    gtk_print_settings_set(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_FILE_FORMAT, "pdf");
    char* uri = g_filename_to_uri(pdf.c_str(), nullptr, nullptr);
    gtk_print_settings_set(settings.get(), GTK_PRINT_SETTINGS_OUTPUT_URI, uri);
    g_free(uri);
    gtk_print_unix_dialog_set_settings(GTK_PRINT_UNIX_DIALOG(dialog), settings.get());
    ASSERT_TRUE(gtktest::waitUntil(
        [&] {
            GtkPrinter* printer = gtk_print_unix_dialog_get_selected_printer(GTK_PRINT_UNIX_DIALOG(dialog));
            return printer && gtk_printer_is_virtual(printer);
        },
        20s))
        << "the file printer is listed";
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
    std::string text;
    ASSERT_TRUE(gtktest::waitUntil(
        [&] {
            return std::filesystem::exists(pdf)
                && testsupport::runCommand("pdftotext '" + pdf.string() + "' -", &text) == 0
                && text.find("quokkaword") != std::string::npos;
        },
        90s))
        << "the document is printed as text: " << text;
    EXPECT_EQ(text.find("Text above"), std::string::npos) << "the document, not the web page";
}

TEST_F(BrowserTest, LinksInTheTextLayerOpenInTheBrowserOrGoToTheirBookmark)
{
    ASSERT_TRUE(loadAndWaitForViews("/links.html", 1));
    WebKitWebView* view = m_window->webView();
    std::string token = tokenOfElement(view, "links");
    ASSERT_TRUE(gtktest::waitUntil(
        [&] { return firstPageShown(*m_probe, token) && m_probe->state(token)->links.size() == 3; }, 90s));
    std::map<std::string, Box> links;
    for (const auto& link : m_probe->state(token)->links)
        links[link.text] = link.box;
    ASSERT_EQ(links.count("weblink") + links.count("scriptlink") + links.count("innerlink"), 3u);
    std::string page = webkit_web_view_get_uri(view);

    // A javascript: link runs nothing; a bookmark link scrolls the view to the bookmark's page, and only
    // the view: the page stays where it is.
    ASSERT_TRUE(clickInFrame(*m_window, token, links["scriptlink"].midX(), links["scriptlink"].midY()));
    ASSERT_TRUE(clickInFrame(*m_window, token, links["innerlink"].midX(), links["innerlink"].midY()));
    ASSERT_TRUE(gtktest::waitUntil([&] { return m_probe->state(token)->scrollY > 0; }, 10s));
    const FrameState& scrolled = *m_probe->state(token);
    ASSERT_GE(scrolled.pages.size(), 2u);
    EXPECT_NEAR(scrolled.pages[1].y, 0, scrolled.pages[1].height / 4) << "the second page, with the bookmark, is at the top";
    EXPECT_EQ(webkit_web_view_get_uri(view), page);
    EXPECT_EQ(evaluate(view, "document.title"), "Links") << "the javascript: link ran nowhere";
    EXPECT_EQ(evaluate(view, "window.scrollY"), "0");

    // A web link navigates the browser's own view (from the page loaded again, its link in sight).
    ASSERT_TRUE(loadAndWaitForViews("/links.html?again", 1));
    token = tokenOfElement(view, "links");
    ASSERT_TRUE(gtktest::waitUntil(
        [&] { return firstPageShown(*m_probe, token) && m_probe->state(token)->links.size() == 3; }, 90s));
    for (const auto& link : m_probe->state(token)->links) {
        if (link.text == "weblink") {
            ASSERT_TRUE(clickInFrame(*m_window, token, link.box.midX(), link.box.midY()));
        }
    }
    EXPECT_TRUE(gtktest::waitUntil(
        [&] { return std::string(webkit_web_view_get_uri(view)).find("/linked.html") != std::string::npos; }, 20s))
        << webkit_web_view_get_uri(view);
}

TEST_F(BrowserTest, AViewInASameOriginFrameShowsItsPagesOnceItsDocumentArrives)
{
    // The document takes longer than the frame: the view's frame shows the progress indicator first, and
    // is shown again with the pages when the document has arrived, inside the page's own frame too.
    ASSERT_TRUE(loadAndWaitForViews("/framed.html", 1));
    ASSERT_EQ(m_window->inlineViews().views().size(), 1u);
    std::string token = m_window->inlineViews().views().begin()->first;
    EXPECT_TRUE(gtktest::waitUntil([&] { return firstPageShown(*m_probe, token); }, 90s))
        << "the frame inside the page's frame shows the document's first page";
    const FrameState* state = m_probe->state(token);
    ASSERT_TRUE(state);
    EXPECT_FALSE(state->lines.empty()) << "with its text layer";
}

} // namespace
