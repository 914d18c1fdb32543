#include "PluginTestSupport.h"
#include "PreferencesTestSupport.h"
#include "kit/foundation/Log.h"
#include "kit/text/TextView.h"
#include "kit/view/ProgressIndicator.h"
#include "kit/view/ScrollView.h"
#include "kit_net/LoopbackServer.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "support/TestSupport.h"
#include "support/Cases.h"
#include "support/Drawings.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>

namespace {

const char* kRtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0 Hello {\\b world}.\\par}";

// kRtf at path on 127.0.0.1, counting the requests for it.
struct CountingDocumentServer {
    explicit CountingDocumentServer(std::string path)
        : server([this, path](httplib::Server& s) {
            s.Get(path, [this](const httplib::Request&, httplib::Response& r) {
                ++requests;
                r.set_content(kRtf, "application/rtf");
            });
        })
    {
    }
    std::atomic<int> requests = 0;
    nettest::LoopbackServer server;
};

// The plug-in bundle of the process while it lives: a copy whose "PluginView" nib is what edit makes of
// the shipped one.
class EditedPluginView {
public:
    explicit EditedPluginView(const std::function<std::string(std::string)>& edit)
    {
        if (const char* previous = std::getenv("LECTORIN_BUNDLE"))
            m_previous = previous;
        std::filesystem::path folder = copyPluginBundle(
            [&](const std::string& file, std::string text) { return file == "PluginView.nib" ? edit(text) : text; });
        setenv("LECTORIN_BUNDLE", folder.c_str(), 1);
    }
    ~EditedPluginView()
    {
        if (m_previous)
            setenv("LECTORIN_BUNDLE", m_previous->c_str(), 1);
        else
            unsetenv("LECTORIN_BUNDLE");
    }

private:
    std::optional<std::string> m_previous;
};

std::string withoutLine(std::string text, const std::string& containing)
{
    std::size_t at = text.find(containing);
    if (at == std::string::npos)
        return text;
    std::size_t start = text.rfind('\n', at) + 1;
    return text.erase(start, text.find('\n', at) + 1 - start);
}

} // namespace

TEST(PluginView, ResolvesSourceAgainstBaseAndShowsPages)
{
    CountingDocumentServer documents("/docs/report.rtf");
    auto& server = documents.server;
    const testsupport::Case<std::string, std::optional<std::string>> cases[] = {
        { "report.rtf", server.url("/docs/page.html"), "relative src resolved against the base URL" },
        { server.url("/docs/report.rtf"), "http://other.invalid/x/", "absolute src stands alone" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        PluginFixture f;
        NRVLectorin& plugin = f.open(PluginFixture::arguments(c.input, c.expected));
        EXPECT_TRUE(plugin.progressIndicator()->isAnimating()) << "spins while loading";
        ASSERT_TRUE(f.waitUntilLoaded());
        EXPECT_TRUE(plugin.downloadIsComplete());
        EXPECT_FALSE(plugin.hasFailed());
        ASSERT_NE(plugin.pageView(), nullptr);
        ASSERT_NE(plugin.pageView()->textStorage(), nullptr);
        EXPECT_EQ(plugin.pageView()->textStorage()->string(), "Hello world.\n");
        EXPECT_FALSE(plugin.progressIndicator()->isAnimating());
        EXPECT_TRUE(plugin.progressIndicator()->isHidden());
        EXPECT_FALSE(plugin.pageView()->enclosingScrollView()->isHidden());
        EXPECT_TRUE(plugin.errorDisplay()->isHidden());
        EXPECT_EQ(f.window->firstResponder(), static_cast<kit::Responder*>(plugin.pageView()->firstTextView()));
    }
    EXPECT_EQ(documents.requests, 2);
}

TEST(PluginView, MissingOrEmptySourceShowsErrorWithoutRequest)
{
    for (std::optional<std::string> src : { std::optional<std::string>(), std::optional<std::string>("") }) {
        std::vector<std::string> log;
        kit::Log::setCaptureForTesting(&log);
        PluginFixture f;
        NRVLectorin& plugin = f.open(PluginFixture::arguments(src, "http://127.0.0.1:1/"));
        EXPECT_FALSE(plugin.isLoading()) << "no connection was made";
        EXPECT_TRUE(plugin.hasFailed());
        EXPECT_FALSE(plugin.errorDisplay()->isHidden());
        EXPECT_TRUE(plugin.progressIndicator()->isHidden());
        EXPECT_FALSE(plugin.progressIndicator()->isAnimating());
        EXPECT_EQ(plugin.rawData(), nullptr);
        EXPECT_TRUE(log.empty()) << "nothing is logged for a missing src";
        kit::Log::setCaptureForTesting(nullptr);
    }
}

TEST(PluginView, SecondResponseDiscardsEarlierBytes)
{
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get("/moved", [](const httplib::Request&, httplib::Response& r) {
            r.status = 302;
            r.set_header("Location", "/final.rtf");
            r.set_content("<html>redirect body</html>", "text/html");
        });
        s.Get("/final.rtf", [](const httplib::Request&, httplib::Response& r) { r.set_content(kRtf, "application/rtf"); });
    });
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/moved")));
    ASSERT_TRUE(f.waitUntilLoaded());
    ASSERT_NE(plugin.rawData(), nullptr);
    EXPECT_EQ(std::string(plugin.rawData()->begin(), plugin.rawData()->end()), kRtf) << "only the last response's body";
    EXPECT_EQ(plugin.connectionResponse()->suggestedFilename(), "final.rtf");
}

TEST(PluginView, FailureAfterDataDiscardsBytesAndLogsOnce)
{
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get("/cut.rtf", [](const httplib::Request&, httplib::Response& r) {
            r.set_content_provider(100000, "application/rtf", [](size_t offset, size_t, httplib::DataSink& sink) {
                if (offset > 0)
                    return false; // drop the connection after the first chunk
                std::string chunk(2048, 'x');
                sink.write(chunk.data(), chunk.size());
                return true;
            });
        });
    });
    std::vector<std::string> log;
    kit::Log::setCaptureForTesting(&log);
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/cut.rtf")));
    ASSERT_TRUE(f.waitUntilLoaded());
    kit::Log::setCaptureForTesting(nullptr);
    EXPECT_FALSE(plugin.downloadIsComplete());
    EXPECT_TRUE(plugin.hasFailed());
    EXPECT_EQ(plugin.rawData(), nullptr) << "received bytes are discarded";
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("Connection failed! Error - ", 0), 0u) << log[0];
    EXPECT_NE(log[0].find(server.url("/cut.rtf")), std::string::npos) << "names the failing URL: " << log[0];
    EXPECT_TRUE(plugin.connectionResponse().has_value()) << "the last response is kept";
}

TEST(PluginView, TeardownWhileLoadingClosesTheConnection)
{
    nettest::Signal requestArrived, connectionClosed;
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get("/slow.rtf", [&](const httplib::Request&, httplib::Response& r) {
            r.set_chunked_content_provider("application/rtf", [&](size_t, httplib::DataSink& sink) {
                requestArrived.raise();
                std::string chunk(512, ' ');
                if (!sink.write(chunk.data(), chunk.size())) {
                    connectionClosed.raise();
                    return false;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20)); // a slow body, paced by the server
                return true;
            });
        });
    });
    PluginFixture f;
    f.open(PluginFixture::arguments(server.url("/slow.rtf")));
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return requestArrived.isRaised(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(f.plugin->isLoading());
    f.window.reset(); // the page goes away: the view is torn down mid-download
    EXPECT_TRUE(connectionClosed.waitFor(std::chrono::seconds(10))) << "the server saw the connection close";
}

TEST(PluginView, UnreadableDocumentShowsOneEmptyPage)
{
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get("/image.doc", [](const httplib::Request&, httplib::Response& r) {
            static const char kPngHeader[] = "\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10";
            r.set_content(std::string(kPngHeader, sizeof kPngHeader - 1), "application/msword");
        });
        s.Get("/missing.doc", [](const httplib::Request&, httplib::Response& r) {
            r.status = 404;
            r.set_content("Not Found", "text/plain");
        });
    });
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/image.doc")));
    ASSERT_TRUE(f.waitUntilLoaded());
    EXPECT_TRUE(plugin.downloadIsComplete()) << "no text is not an error";
    EXPECT_FALSE(plugin.hasFailed());
    EXPECT_EQ(plugin.pageView()->textStorage(), nullptr);
    EXPECT_EQ(plugin.pageView()->numberOfPages(), 1u);
    EXPECT_NE(plugin.pageView()->firstTextView(), nullptr);

    PluginFixture g;
    NRVLectorin& missing = g.open(PluginFixture::arguments(server.url("/missing.doc")));
    ASSERT_TRUE(g.waitUntilLoaded());
    EXPECT_TRUE(missing.downloadIsComplete()) << "the status is not examined: the body is shown";
    ASSERT_NE(missing.pageView()->textStorage(), nullptr);
    EXPECT_EQ(missing.pageView()->textStorage()->string(), "Not Found");
}

TEST(PluginView, CentresProgressIndicator)
{
    const testsupport::Case<kit::Size, kit::Point> cases[] = {
        { { 300, 200 }, { 134, 84 }, "even room" },
        { { 301, 201 }, { 135, 85 }, "halves round away from zero" },
        { { 21, 200 }, { -6, 84 }, "narrower than the indicator: -5.5 rounds to -6" },
    };
    testsupport::expectEach(cases, [&](const auto& input) {
        PluginFixture f;
        NRVLectorin& plugin = f.open(PluginFixture::arguments(std::nullopt), input);
        kit::ProgressIndicator* indicator = plugin.progressIndicator();
        indicator->setFrameSize({ 32, 32 });
        plugin.setBoundsOrigin({ 10, 10 }); // a bounds change re-centres; its origin is not added
        return indicator->frame().origin;
    });
}

TEST(PluginView, ClickBeforeDocumentFocusesNothing)
{
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(std::nullopt));
    f.window->makeFirstResponder(&plugin);
    plugin.mouseDown(kit::Event {});
    EXPECT_EQ(f.window->firstResponder(), f.window.get()) << "no text view yet: the window itself";
}

TEST(PluginView, ServerErrorPageIsShownAsStyledText)
{
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get("/gone.doc", [](const httplib::Request&, httplib::Response& r) {
            r.status = 404;
            r.set_content("<!DOCTYPE html><html><head><title>404</title></head><body><h1>Not Found</h1>"
                          "<p>The document <b>gone.doc</b> was moved.</p></body></html>",
                "text/html");
        });
    });
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/gone.doc")));
    ASSERT_TRUE(f.waitUntilLoaded());
    EXPECT_TRUE(plugin.downloadIsComplete()) << "the status is not examined";
    EXPECT_EQ(plugin.importedFormat(), "html");
    kit::TextStorage* text = plugin.pageView()->textStorage();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->string(), "Not Found\nThe document gone.doc was moved.\n") << "markup and the title are not text";
    const kit::Attributes& heading = text->attributesAt(0);
    const kit::Attributes& body = text->attributesAt(text->string().find("The"));
    const kit::Attributes& strong = text->attributesAt(text->string().find("gone.doc"));
    EXPECT_TRUE(heading.bold);
    EXPECT_GT(heading.fontSize, body.fontSize) << "the heading is larger than the paragraph";
    EXPECT_FALSE(body.bold);
    EXPECT_TRUE(strong.bold);
}

TEST(PluginView, OnlyALocalPageLoadsALocalFileWhateverTheBaseURL)
{
    auto folder = testsupport::temporaryFolder("policy");
    testsupport::writeFile(folder / "notes.rtf", kRtf);
    std::string path = (folder / "notes.rtf").string();
    std::string folderURL = kit::URL::fileURL(folder.string() + "/").absoluteString();
    const struct {
        std::string src;
        std::optional<std::string> base, page;
        bool loads;
        const char* why;
    } cases[] = {
        { path.substr(1), "file:///", "http://127.0.0.1:1/page.html", false, "a web page declaring a file base" },
        { "notes.rtf", folderURL, "https://127.0.0.1:1/page.html", false, "a secure web page, base at the folder" },
        { "notes.rtf", folderURL, "data:text/html,<embed>", false, "a page from neither the web nor the disk" },
        { "notes.rtf", folderURL, std::nullopt, false, "no page URL: the base cannot vouch for the page" },
        { "notes.rtf", folderURL, folderURL + "page.html", true, "a local page embeds its neighbour" },
        { kit::URL::fileURL(path).absoluteString(), "http://127.0.0.1:1/", "file:///page.html", true,
            "a local page with a web base names the file outright" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        PluginFixture f;
        NRVLectorin& plugin = f.open(PluginFixture::arguments(c.src, c.base, c.page));
        ASSERT_TRUE(f.waitUntilLoaded());
        EXPECT_EQ(plugin.downloadIsComplete(), c.loads);
        EXPECT_EQ(plugin.hasFailed(), !c.loads);
        EXPECT_EQ(plugin.errorDisplay()->isHidden(), c.loads) << "a refusal shows the error display";
        bool shown = plugin.pageView() && plugin.pageView()->textStorage()
            && plugin.pageView()->textStorage()->string() == "Hello world.\n";
        EXPECT_EQ(shown, c.loads);
    }
}

TEST(PluginView, NoConnectionForTheURLShowsTheErrorWithoutALogLine)
{
    for (const char* src : { "ftp://127.0.0.1:1/report.doc", "mailto:reader@example.com" }) {
        SCOPED_TRACE(src);
        std::vector<std::string> log;
        kit::Log::setCaptureForTesting(&log);
        PluginFixture f;
        NRVLectorin& plugin = f.open(PluginFixture::arguments(std::string(src)));
        kit::Log::setCaptureForTesting(nullptr);
        EXPECT_FALSE(plugin.isLoading()) << "no connection could be made for the scheme";
        EXPECT_TRUE(plugin.hasFailed());
        EXPECT_FALSE(plugin.errorDisplay()->isHidden());
        EXPECT_TRUE(plugin.pageView()->enclosingScrollView()->isHidden());
        EXPECT_TRUE(plugin.progressIndicator()->isHidden());
        EXPECT_FALSE(plugin.progressIndicator()->isAnimating()) << "never started";
        EXPECT_EQ(plugin.rawData(), nullptr) << "no buffer";
        EXPECT_FALSE(plugin.connectionResponse().has_value());
        EXPECT_TRUE(log.empty()) << "nothing is logged when no connection is made";
    }
}

TEST(PluginView, ANibThatDoesNotLoadStartsNothing)
{
    CountingDocumentServer documents("/report.rtf");
    const struct {
        std::function<std::string(std::string)> edit;
        const char* why;
    } cases[] = {
        { [](std::string nib) { return nib.substr(0, nib.size() / 2); }, "cut off in the middle" },
        { [](std::string) { return std::string(); }, "empty" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EditedPluginView bundle(c.edit);
        PluginFixture f;
        NRVLectorin& plugin = f.open(PluginFixture::arguments(documents.server.url("/report.rtf")));
        kit::RunLoop::runUntil([] { return false; }, std::chrono::milliseconds(100));
        EXPECT_EQ(documents.requests, 0) << "no download starts";
        EXPECT_FALSE(plugin.isLoading());
        EXPECT_FALSE(plugin.hasFailed()) << "no error display either";
        EXPECT_EQ(plugin.errorDisplay(), nullptr);
        EXPECT_EQ(plugin.pageView(), nullptr) << "no pages";
        EXPECT_TRUE(plugin.subviews().empty());
        EXPECT_EQ(plugin.rawData(), nullptr);
        EXPECT_FALSE(plugin.downloadIsComplete());
    }
}

TEST(PluginView, WithoutThePanelOutletTheDownloadCompletesOffScreen)
{
    nettest::LoopbackServer server([](httplib::Server& s) {
        s.Get("/report.rtf", [](const httplib::Request&, httplib::Response& r) { r.set_content(kRtf, "application/rtf"); });
    });
    const kit::Color stored = kit::Color::calibratedRGB(0.8f, 0.1f, 0.1f);
    const kit::Color nibs = kit::Color::calibratedRGB(0.38f, 0.45f, 0.56f);
    const testsupport::Case<bool, bool> cases[] = {
        { true, true, "the shipped nib: the panel is put on screen and coloured" },
        { false, false, "no panel outlet: the setup steps that need the panel are skipped" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        preftest::Isolation isolation;
        ASSERT_TRUE(writeBackgroundColorPreference(stored));
        EditedPluginView bundle([&](std::string nib) { return c.input ? nib : withoutLine(nib, "name=\"viewPanel\""); });
        PluginFixture f;
        NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/report.rtf")));
        ASSERT_EQ(plugin.viewPanel() != nullptr, c.input);
        ASSERT_NE(plugin.pageView(), nullptr) << "the other outlets are connected";
        EXPECT_EQ(plugin.backgroundColor(), c.expected ? stored : nibs) << "the colour preference";
        ASSERT_TRUE(f.waitUntilLoaded());
        EXPECT_TRUE(plugin.downloadIsComplete()) << "the download proceeds and completes";
        ASSERT_NE(plugin.pageView()->textStorage(), nullptr);
        EXPECT_EQ(plugin.pageView()->textStorage()->string(), "Hello world.\n");
        EXPECT_EQ(plugin.subviews().size(), c.expected ? 1u : 0u) << "the panel on screen";
        EXPECT_EQ(plugin.pageView()->window(), c.expected ? f.window.get() : nullptr);
        kit::Responder* focus = f.window->firstResponder();
        EXPECT_EQ(focus == static_cast<kit::Responder*>(plugin.pageView()->firstTextView()), c.expected)
            << "the first page takes the keyboard focus only on screen";
    }
}

TEST(PluginView, DrawingPaintsTheWholeBoundsInTheBackgroundColour)
{
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(std::nullopt), { 300, 200 });
    plugin.setBackgroundColor(kit::Color::calibratedRGB(0.2f, 0.4f, 0.6f));
    for (kit::Rect dirty : { kit::Rect { 10, 10, 1, 1 }, kit::Rect {}, kit::Rect { 250, 150, 500, 500 } }) {
        SCOPED_TRACE(testing::Message() << dirty.x() << "," << dirty.y() << " " << dirty.width() << "x" << dirty.height());
        auto pixels = testsupport::drawnPixels({ 300, 200 }, [&](cairo_t* context) { plugin.drawRect(context, dirty); });
        auto other = std::count_if(pixels.begin(), pixels.end(), [](std::uint32_t pixel) { return pixel != 0x336699; });
        EXPECT_EQ(other, 0) << "pixels in another colour, whatever the dirty rectangle";
    }
}
