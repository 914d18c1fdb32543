// The browser's commands sent to a loaded plug-in view along the responder chain: save through the
// host's save panel, find, and zoom, with the document served on 127.0.0.1.
#include "PluginTestSupport.h"
#include "PreferencesTestSupport.h"
#include "kit/print/PrintInfo.h"
#include "kit_print/PrintPanelHost.h"
#include "kit/view/Menu.h"
#include "kit/view/SegmentedControl.h"
#include "kit/text/FindPasteboard.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"
#include "kit_net/LoopbackServer.h"
#include "kit_view/ViewTestSupport.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/ScaleUtilities.h"
#include "support/Cases.h"
#include "support/PdfReadBack.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace {

// Bytes that are not text in any sense: the copy must be the download, not the imported text.
const std::string kDocument = std::string("{\\rtf1\\ansi Quarterly report.\\par}\0\xff\x01 tail", 42);

// One line of RTF at /z.rtf, opened in a plug-in view until it has loaded.
struct OneLineDocument {
    nettest::LoopbackServer server { [](httplib::Server& s) {
        s.Get("/z.rtf", [](const httplib::Request&, httplib::Response& r) { r.set_content("{\\rtf1\\ansi Zoom.\\par}", "application/rtf"); });
    } };
    NRVLectorin& openIn(PluginFixture& f)
    {
        NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/z.rtf")));
        EXPECT_TRUE(f.waitUntilLoaded() && plugin.pageView()->textStorage());
        return plugin;
    }
};

bool transcriptMentions(const kit::HeadlessHost& host, const std::string& text)
{
    const auto& lines = host.transcript();
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

std::size_t entriesIn(const std::filesystem::path& folder)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

} // namespace

TEST(PluginCommands, SaveWritesTheDownloadUnderTheChosenName)
{
    nettest::LoopbackServer server([](httplib::Server& s) {
        s.Get("/files/report.doc", [](const httplib::Request&, httplib::Response& r) { r.set_content(kDocument, "application/msword"); });
    });
    PluginFixture f;
    f.open(PluginFixture::arguments(server.url("/files/report.doc")));
    ASSERT_TRUE(f.waitUntilLoaded());
    auto folder = testsupport::temporaryFolder("save");

    // OK with a name that lacks the extension: the panel proposed report.doc and requires "doc".
    f.host.queueSaveAnswer(folder / "copy");
    EXPECT_TRUE(f.window->sendAction("saveDocumentTo:", nullptr));
    EXPECT_FALSE(std::filesystem::exists(folder / "copy.doc")) << "a sheet: the command returns before the panel ends";
    kit::RunLoop::drain();
    EXPECT_TRUE(transcriptMentions(f.host, "save panel \"report.doc\"")) << "the response's file name is proposed";
    ASSERT_TRUE(std::filesystem::exists(folder / "copy.doc"));
    EXPECT_EQ(testsupport::readText(folder / "copy.doc"), kDocument) << "byte for byte";

    // Cancel writes nothing and does not beep.
    f.host.queueSaveAnswer(std::nullopt);
    f.window->sendAction("saveDocumentTo:", nullptr);
    kit::RunLoop::drain();
    EXPECT_EQ(entriesIn(folder), 1u);
    EXPECT_EQ(f.host.beepCount(), 0);

    // A write that cannot succeed beeps once per attempt and leaves no file at all, for root too.
    const struct {
        std::filesystem::path target;
        const char* why;
    } failures[] = {
        { folder / "missing" / "x.doc", "the folder does not exist" },
        { folder / "copy.doc" / "x.doc", "the 'folder' is a regular file" },
    };
    int beeps = 0;
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.why);
        f.host.queueSaveAnswer(failure.target);
        f.window->sendAction("saveDocumentTo:", nullptr);
        kit::RunLoop::drain();
        EXPECT_EQ(f.host.beepCount(), ++beeps);
        EXPECT_FALSE(std::filesystem::exists(failure.target));
    }
    EXPECT_EQ(entriesIn(folder), 1u) << "no temporary file left behind";
    EXPECT_EQ(testsupport::readText(folder / "copy.doc"), kDocument);
}

TEST(PluginCommands, SaveBeforeTheDownloadEndsShowsNoPanel)
{
    nettest::Signal release;
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get("/slow.rtf", [&](const httplib::Request&, httplib::Response& r) {
            r.set_chunked_content_provider("application/rtf", [&](std::size_t, httplib::DataSink& sink) {
                sink.write("{\\rtf1\\ansi Half", 16);
                release.waitFor(std::chrono::seconds(20));
                sink.write(" done.\\par}", 11);
                sink.done();
                return true;
            });
        });
    });
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/slow.rtf")));
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return plugin.rawData() && !plugin.rawData()->empty(); }, std::chrono::seconds(20)));
    f.host.queueSaveAnswer(testsupport::temporaryFolder("early") / "x.rtf");
    f.window->sendAction("saveDocumentTo:", nullptr, &plugin);
    // Find before any text reaches no text view but still records what was asked.
    f.window->sendAction("findNext:", nullptr, &plugin);
    EXPECT_EQ(plugin.tag(), 2);
    kit::RunLoop::drain();
    EXPECT_FALSE(transcriptMentions(f.host, "save panel")) << "nothing complete to save";
    release.raise();
    ASSERT_TRUE(f.waitUntilLoaded());
    EXPECT_EQ(plugin.pageView()->textStorage()->string(), "Half done.\n");
}

TEST(PluginCommands, FindActionsReachTheFirstTextView)
{
    nettest::LoopbackServer server([](httplib::Server& s) {
        s.Get("/find.rtf", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("{\\rtf1\\ansi alpha harvest beta\\par gamma harvest delta\\par}", "application/rtf");
        });
    });
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/find.rtf")));
    ASSERT_TRUE(f.waitUntilLoaded());
    kit::TextView* textView = plugin.pageView()->firstTextView();
    ASSERT_NE(textView, nullptr);
    ASSERT_EQ(f.window->firstResponder(), static_cast<kit::Responder*>(textView));

    // findNext: takes the selection as the find string (7), then finds its next occurrence (2).
    kit::FindPasteboard::setString("unrelated");
    textView->setSelectedRange({ 6, 7 });
    EXPECT_TRUE(f.window->sendAction("findNext:", nullptr));
    EXPECT_EQ(kit::FindPasteboard::string(), "harvest");
    EXPECT_EQ(textView->selectedRange(), (kit::Range { 25, 7 }));
    EXPECT_EQ(plugin.tag(), 2);

    f.window->sendAction("findPrevious:", nullptr);
    EXPECT_EQ(plugin.tag(), 3);
    EXPECT_EQ(textView->selectedRange(), (kit::Range { 6, 7 }));

    for (const char* selector : { "find:", "showFindPanel:", "focusWebViewSearchField:" }) {
        SCOPED_TRACE(selector);
        EXPECT_TRUE(f.window->sendAction(selector, nullptr));
        EXPECT_EQ(plugin.tag(), 1) << "each shows the find panel";
        EXPECT_EQ(textView->selectedRange(), (kit::Range { 6, 7 })) << "showing the panel moves nothing";
    }
}

TEST(PluginCommands, TextSizeCommandsStopAtTheEndsOfTheZoomTable)
{
    OneLineDocument document;
    PluginFixture f;
    NRVLectorin& plugin = document.openIn(f);
    NRVLectorinMultiPageView& pageView = *plugin.pageView();
    for (int i = 0; i < 12; ++i)
        f.window->sendAction("makeTextLarger:", nullptr);
    EXPECT_EQ(pageView.zoomStep(), 9);
    float widest = pageview::ScaleUtilities::scale(pageView).width;
    kit::Rect frame = pageView.frame();
    f.window->sendAction("makeTextLarger:", nullptr);
    EXPECT_EQ(pageView.zoomStep(), 9) << "the last step changes nothing";
    EXPECT_EQ(pageview::ScaleUtilities::scale(pageView).width, widest);
    EXPECT_EQ(pageView.frame(), frame);

    f.window->sendAction("makeTextStandardSize:", nullptr);
    EXPECT_EQ(pageView.zoomStep(), 4);
    for (int i = 0; i < 12; ++i)
        f.window->sendAction("makeTextSmaller:", nullptr);
    EXPECT_EQ(pageView.zoomStep(), 0);
    EXPECT_FLOAT_EQ(pageview::ScaleUtilities::scale(pageView).width, 0.5f);
}

TEST(PluginCommands, TheZoomControlStepsThePagesOneWayOrTheOther)
{
    OneLineDocument document;
    PluginFixture f;
    NRVLectorin& plugin = document.openIn(f);
    NRVLectorinMultiPageView& pageView = *plugin.pageView();
    auto* control = viewtest::findSubview<kit::SegmentedControl>(*plugin.viewPanel());
    ASSERT_NE(control, nullptr) << "the nib's \u2212/+ control";
    // Clicks where the user would make them, through the window: the control's own action to the plug-in.
    auto click = [&](int segment) {
        kit::Rect rect = control->rectForSegment(segment);
        kit::Point location = control->convertPoint(kit::Point { rect.midX(), rect.midY() }, nullptr);
        f.window->sendEvent(viewtest::mouse(kit::Event::Type::MouseDown, location));
    };
    // The segment clicked; the step and percentage it leads to.
    const testsupport::Case<int, std::pair<int, float>> clicks[] = {
        { 1, { 5, 120 }, "+ zooms in one step" },
        { 1, { 6, 144 }, "and again" },
        { 0, { 5, 120 }, "\u2212 zooms out one step" },
    };
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.why);
        click(c.input);
        EXPECT_EQ(pageView.zoomStep(), c.expected.first);
        EXPECT_FLOAT_EQ(pageView.zoomPercent(), c.expected.second);
    }
    EXPECT_EQ(control->selectedSegment(), -1) << "momentary: nothing stays selected";

    // No segment selected, or a sender that is not the control: nothing moves.
    kit::Rect frame = pageView.frame();
    plugin.zoomInOrOutFromSegmentedControl(control);
    plugin.zoomInOrOutFromSegmentedControl(nullptr);
    EXPECT_EQ(f.window->sendAction("zoomInOrOutFromSegmentedControl:", f.window.get(), &plugin), true);
    EXPECT_EQ(pageView.zoomStep(), 5);
    EXPECT_EQ(pageView.frame(), frame);

    for (int i = 0; i < 8; ++i)
        click(0);
    EXPECT_EQ(pageView.zoomStep(), 0) << "\u2212 stops at the first step";
    for (int i = 0; i < 12; ++i)
        click(1);
    EXPECT_EQ(pageView.zoomStep(), 9) << "+ stops at the last";
}

TEST(PluginCommands, PrintOffersPaperOrientationScalingAndPreviewAndPrintsTheWholeText)
{
    // Numbered paragraphs over several pages, and one paragraph much longer than a line.
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24 ";
    for (int i = 1; i < 4; ++i)
        rtf += "A long paragraph that runs on past the right margin, so that it has to wrap onto further lines. ";
    rtf += "\\par ";
    for (int i = 1; i <= 100; ++i)
        rtf += "Paragraph number " + std::to_string(i) + " of the printed document.\\par ";
    rtf += "}";
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get("/p.rtf", [&](const httplib::Request&, httplib::Response& r) { r.set_content(rtf, "application/rtf"); });
    });
    PrintPanelHost host; // outlives the fixture's window
    PluginFixture f;
    kit::Host::setCurrent(&host);
    NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/p.rtf")));
    ASSERT_TRUE(f.waitUntilLoaded());
    auto pdf = testsupport::temporaryFolder("plugin-print") / "out.pdf";
    host.setPrintOutputPath(pdf);

    // The page view's print settings as they come (US Letter, one-inch margins), then changed: the print
    // follows whatever paper and margins the pages on screen have.
    auto a4 = std::make_shared<kit::PrintInfo>(*plugin.pageView()->printInfo());
    a4->setPaperSize({ 595, 842 });
    a4->setLeftMargin(100);
    const struct {
        const char* selector;
        std::shared_ptr<kit::PrintInfo> printInfo;
        const char* paper;
        double left, right;
        const char* why;
    } cases[] = {
        { "print:", nullptr, "612 x 792", 72, 612 - 72, "Letter, the page view's default" },
        { "safari_printDocument:", a4, "595 x 842", 100, 595 - 72, "the browser's print command, on A4" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        if (c.printInfo)
            plugin.pageView()->setPrintInfo(c.printInfo);
        std::filesystem::remove(pdf);
        host.queuePrintAnswer(true);
        EXPECT_TRUE(f.window->sendAction(c.selector, nullptr));
        EXPECT_EQ(host.lastOptions,
            unsigned(kit::PrintPanelShowsCopies | kit::PrintPanelShowsPageRange | kit::PrintPanelShowsPaperSize
                | kit::PrintPanelShowsOrientation | kit::PrintPanelShowsScaling | kit::PrintPanelShowsPreview))
            << "the panel's own options and paper size, orientation, scaling and a preview";
        ASSERT_TRUE(kit::RunLoop::runUntil([&] { return std::filesystem::exists(pdf); }, std::chrono::seconds(20)));
        kit::RunLoop::drain();
        EXPECT_GE(testsupport::pdfPages(pdf), 2);
        EXPECT_EQ(testsupport::pdfPaper(pdf), c.paper);
        std::string text = testsupport::pdfText(pdf);
        EXPECT_NE(text.find("Paragraph number 1 of"), std::string::npos);
        EXPECT_NE(text.find("Paragraph number 100 of"), std::string::npos) << "the whole document";
        // One page's text area wide: the long paragraph wraps at the right margin at full size, where a
        // wider print view would have been scaled down to fit.
        auto words = testsupport::pdfWords(pdf);
        ASSERT_GT(words.size(), 20u);
        EXPECT_NEAR(words.front().xMin, c.left, 1) << "the left margin";
        double right = 0;
        for (const auto& word : words)
            right = std::max(right, word.xMax);
        EXPECT_LE(right, c.right + 1) << "inside the right margin";
        EXPECT_GT(right, c.right - 60) << "lines run close to it";
        EXPECT_GT(words.front().yMax - words.front().yMin, 10) << "12-point text, not scaled down";
    }
}

TEST(PluginCommands, SaveKeepsANameWhoseExtensionDiffersOnlyInCase)
{
    nettest::LoopbackServer server([](httplib::Server& s) {
        s.Get("/files/Report.DOC",
            [](const httplib::Request&, httplib::Response& r) { r.set_content(kDocument, "application/msword"); });
    });
    PluginFixture f;
    f.open(PluginFixture::arguments(server.url("/files/Report.DOC")));
    ASSERT_TRUE(f.waitUntilLoaded());
    auto folder = testsupport::temporaryFolder("case");
    const struct {
        std::string chosen, written;
        const char* why;
    } cases[] = {
        { "Report.DOC", "Report.DOC", "the proposed name itself" },
        { "notes.doc", "notes.doc", "lower case where the proposal is upper" },
        { "notes.Doc", "notes.Doc", "mixed case" },
        { "notes.docx", "notes.docx.DOC", "another extension still gets the required one" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        f.host.queueSaveAnswer(folder / c.chosen);
        f.window->sendAction("saveDocumentTo:", nullptr);
        kit::RunLoop::drain();
        EXPECT_TRUE(std::filesystem::exists(folder / c.written));
    }
    EXPECT_EQ(entriesIn(folder), std::size(cases)) << "nothing else, no Report.DOC.doc";
}

TEST(PluginCommands, PageLayoutFollowsThePreferenceAndTheContextMenu)
{
    const char* rtf = "{\\rtf1\\ansi\\paperw8000\\paperh10000\\margl720\\margr720 Words on small paper.\\par}";
    nettest::LoopbackServer server([rtf](httplib::Server& s) {
        s.Get("/small.rtf", [rtf](const httplib::Request&, httplib::Response& r) { r.set_content(rtf, "application/rtf"); });
    });
    const testsupport::Case<std::optional<std::string>, bool> cases[] = {
        { std::nullopt, false, "absent: Printer Paper" },
        { "Printer Paper", false, "Printer Paper" },
        { "Document Layout", true, "Document Layout" },
        { "document layout", false, "an unknown string: Printer Paper" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        preftest::Isolation isolation;
        if (c.input)
            kit::Preferences::setValue(kPageLayoutKey, kit::Value::string(*c.input), kPreferencesDomain);
        PluginFixture f;
        NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/small.rtf")));
        ASSERT_TRUE(f.waitUntilLoaded());
        EXPECT_EQ(plugin.pageView()->showsDocumentPages(), c.expected);
        EXPECT_EQ(plugin.pageView()->pageRectForPageNumber(0).width(), c.expected ? 400 : 612);
    }

    preftest::Isolation isolation;
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/small.rtf")));
    ASSERT_TRUE(f.waitUntilLoaded());
    kit::Menu& menu = *plugin.pageView()->menu();
    std::size_t last = menu.numberOfItems() - 1;
    EXPECT_EQ(menu.itemAtIndex(last)->title(), "Show Document Layout") << "the one item after the others";
    EXPECT_TRUE(menu.itemAtIndex(last - 1)->isSeparatorItem());
    EXPECT_EQ(menu.itemAtIndex(last - 2)->action(), "showAboutBox:");
    ASSERT_TRUE(menu.performActionForItemAtIndex(last, f.window.get()));
    EXPECT_TRUE(plugin.pageView()->showsDocumentPages());
    EXPECT_EQ(menu.itemAtIndex(last)->title(), "Show Printer Paper");
    EXPECT_TRUE(readDocumentLayoutPreference()) << "the choice is kept for the next document";
    auto stored = kit::Preferences::copyValue(kPageLayoutKey, kPreferencesDomain);
    ASSERT_TRUE(stored && stored->asString());
    EXPECT_EQ(*stored->asString(), "Document Layout");
    ASSERT_TRUE(menu.performActionForItemAtIndex(last, f.window.get()));
    EXPECT_FALSE(plugin.pageView()->showsDocumentPages());
    EXPECT_EQ(*kit::Preferences::copyValue(kPageLayoutKey, kPreferencesDomain)->asString(), "Printer Paper");
}
