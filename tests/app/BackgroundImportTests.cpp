// The plug-in converts a download on a worker: the run loop keeps turning meanwhile, the progress indicator
// stays up, and a view torn down before the worker is done neither crashes nor receives the result.
#include "PluginTestSupport.h"
#include "kit/foundation/BackgroundJob.h"
#include "kit/view/ProgressIndicator.h"
#include "kit/view/ScrollView.h"
#include "kit_net/LoopbackServer.h"
#include "pageview/NRVLectorinMultiPageView.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

constexpr int kParagraphs = 3000;
constexpr int kRunsPerParagraph = 40;

// Several megabytes of RTF whose every word is a run of its own (bold, italic, a size): slow to convert for
// its length, and a few hundred pages once laid out.
std::string largeRtf()
{
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}{\\f1 Arial;}}\\f0 ";
    for (int p = 0; p < kParagraphs; ++p) {
        for (int r = 0; r < kRunsPerParagraph; ++r)
            rtf += (r % 2 ? "{\\b\\i\\f1\\fs22 word} " : "{\\fs24 text} ");
        rtf += "\\par\n";
    }
    rtf += "}";
    return rtf;
}

// Each paragraph: kRunsPerParagraph words of four letters and their spaces, then the paragraph's end.
constexpr std::size_t kLargeRtfTextLength = std::size_t(kParagraphs) * (kRunsPerParagraph * 5 + 1);

struct LargeDocumentServer {
    std::string rtf = largeRtf();
    nettest::LoopbackServer server { [this](httplib::Server& s) {
        s.Get("/large.rtf", [this](const httplib::Request&, httplib::Response& r) { r.set_content(rtf, "application/rtf"); });
    } };
};

// Opens the large document in the fixture's window and runs the loop until the download has arrived and
// its import began; null if it never did.
NRVLectorin* openUntilImporting(PluginFixture& f, const LargeDocumentServer& documents)
{
    if (!documents.server.isValid())
        return nullptr;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(documents.server.url("/large.rtf")));
    bool importing = kit::RunLoop::runUntil([&] { return plugin.isImporting() || !plugin.isLoading(); }, 20s)
        && plugin.isImporting();
    return importing ? &plugin : nullptr;
}

} // namespace

TEST(BackgroundImport, TheRunLoopTurnsWhileTheDocumentImports)
{
    LargeDocumentServer documents;
    PluginFixture f;
    NRVLectorin* importing = openUntilImporting(f, documents);
    ASSERT_NE(importing, nullptr);
    NRVLectorin& plugin = *importing;
    EXPECT_TRUE(plugin.progressIndicator()->isAnimating()) << "the indicator stays up while the worker converts";
    EXPECT_FALSE(plugin.progressIndicator()->isHidden());
    EXPECT_FALSE(plugin.downloadIsComplete()) << "not loaded until shown";
    EXPECT_EQ(plugin.pageView()->textStorage(), nullptr);
    ASSERT_NE(plugin.rawData(), nullptr);
    EXPECT_EQ(plugin.rawData()->size(), documents.rtf.size()) << "the bytes are all there, for saving";

    // A timer on the UI thread's loop: it fires only if nothing holds the loop.
    int ticksWhileImporting = 0;
    unsigned timer = kit::RunLoop::addTimer(2ms, [&] {
        if (plugin.isImporting())
            ++ticksWhileImporting;
        return true;
    });
    ASSERT_TRUE(f.waitUntilLoaded());
    kit::RunLoop::cancelTimer(timer);
    EXPECT_GE(ticksWhileImporting, 3) << "the loop kept turning during the import";

    EXPECT_TRUE(plugin.downloadIsComplete());
    EXPECT_FALSE(plugin.hasFailed());
    EXPECT_EQ(plugin.importedFormat(), "rtf");
    ASSERT_NE(plugin.pageView()->textStorage(), nullptr);
    EXPECT_EQ(plugin.pageView()->textStorage()->length(), kLargeRtfTextLength);
    EXPECT_GT(plugin.pageView()->numberOfPages(), 10u);
    EXPECT_TRUE(plugin.progressIndicator()->isHidden());
    EXPECT_FALSE(plugin.pageView()->enclosingScrollView()->isHidden());
}

TEST(BackgroundImport, AViewTornDownMidImportDropsTheResult)
{
    LargeDocumentServer documents;
    ASSERT_TRUE(documents.server.isValid());
    const struct {
        bool closeWindow; // else the plug-in view alone is removed from its window
        bool turnLoopFirst; // a few turns of the loop between the import's start and the teardown
        const char* why;
    } cases[] = {
        { true, false, "the window closed as the import starts" },
        { false, false, "the view removed from its window as the import starts" },
        { true, true, "the window closed while the worker is busy" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        PluginFixture f;
        NRVLectorin* plugin = openUntilImporting(f, documents);
        ASSERT_NE(plugin, nullptr);
        if (c.turnLoopFirst)
            kit::RunLoop::runUntil([] { return false; }, 20ms);
        if (c.closeWindow)
            f.window.reset();
        else
            plugin->removeFromSuperview();
        // The worker sees the stop and ends; its completion, if it was posted, finds no one to call.
        ASSERT_TRUE(kit::RunLoop::runUntil([] { return kit::BackgroundJob::pendingCount() == 0; }, 20s));
        kit::RunLoop::drain();
    }
    // The workers are free for the next document.
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(documents.server.url("/large.rtf")));
    ASSERT_TRUE(f.waitUntilLoaded());
    ASSERT_NE(plugin.pageView()->textStorage(), nullptr);
    EXPECT_EQ(plugin.pageView()->textStorage()->length(), kLargeRtfTextLength);
}

TEST(BackgroundImport, PrintWaitsForTheImportAndSaveDoesNot)
{
    LargeDocumentServer documents;
    PluginFixture f;
    NRVLectorin* importing = openUntilImporting(f, documents);
    ASSERT_NE(importing, nullptr);
    NRVLectorin& plugin = *importing;
    std::filesystem::path folder = std::filesystem::temp_directory_path() / ("lectorin-bg-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    f.host.queueSaveAnswer(folder / "large.rtf");
    f.host.queuePrintAnswer(true);
    f.window->sendAction("saveDocumentTo:", nullptr, &plugin);
    f.window->sendAction("print:", nullptr, &plugin);
    EXPECT_EQ(f.host.lastPrintPageCount(), 0) << "no print panel before the document is there";
    ASSERT_TRUE(f.waitUntilLoaded());
    kit::RunLoop::runUntil([&] { return f.host.lastPrintPageCount() > 0 && std::filesystem::exists(folder / "large.rtf"); }, 20s);
    EXPECT_EQ(std::uint32_t(f.host.lastPrintPageCount()), plugin.pageView()->numberOfPages())
        << "the print came after the import, with every page";
    EXPECT_EQ(std::filesystem::file_size(folder / "large.rtf"), documents.rtf.size()) << "saved as it came";
    std::filesystem::remove_all(folder);
}
