// The browser host on a private Xvfb: a real WebKitWebView on pages from a loopback server.
#include "host_gtk/GtkTestSupport.h"
#include "hosts/web/BrowserWindow.h"
#include "kit_net/LoopbackServer.h"
#include "plugin/NRVLectorin.h"
#include "support/TestSupport.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using namespace std::chrono_literals;

TEST(BrowserAddress, TextBecomesAURL)
{
    const struct {
        const char* typed;
        const char* expected; // null: nothing to load
        const char* why;
    } cases[] = {
        { "http://127.0.0.1:8080/a.html", "http://127.0.0.1:8080/a.html", "a URL stays as typed" },
        { "  example.org  ", "https://example.org", "a bare host goes over https, spaces trimmed" },
        { "/tmp", "file:///tmp", "an absolute path is a file" },
        { "", nullptr, "empty: nothing" },
        { "two words", nullptr, "not a host: a relative path (checked below)" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto url = hosts::BrowserWindow::urlForAddress(c.typed);
        if (!c.expected) {
            if (std::string(c.typed).empty())
                EXPECT_FALSE(url);
            else
                EXPECT_TRUE(url && url->rfind("file://", 0) == 0);
            continue;
        }
        ASSERT_TRUE(url);
        EXPECT_EQ(*url, c.expected);
    }
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// Runs an expression in the page's own world, awaiting a promise, and returns its value as text ("" on an
// exception).
std::string evaluate(WebKitWebView* view, const std::string& script)
{
    struct Result {
        bool done = false;
        std::string text;
    } result;
    std::string body = "return (" + script + ");";
    webkit_web_view_call_async_javascript_function(
        view, body.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
        [](GObject* object, GAsyncResult* async, gpointer data) {
            auto* out = static_cast<Result*>(data);
            if (JSCValue* value
                = webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(object), async, nullptr)) {
                char* text = jsc_value_to_string(value);
                out->text = text ? text : "";
                g_free(text);
                g_object_unref(value);
            }
            out->done = true;
        },
        &result);
    gtktest::waitUntil([&] { return result.done; }, 20s);
    return result.text;
}

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason;
        if (!gtktest::startDisplay({}, &reason))
            GTEST_SKIP() << "browser tests need their own X server: " << reason;
        kit::Host::setCurrent(&m_host);
        static const std::string docx = readFile(std::string(LECTORIN_CORPUS_DIR) + "/pandoc-tables.docx");
        static const std::string rtf
            = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 Inside the report: quokkaword.\\par}";
        m_server = std::make_unique<nettest::LoopbackServer>([](httplib::Server& server) {
            server.Get("/a.docx", [](const httplib::Request&, httplib::Response& r) {
                r.set_content(docx, "application/vnd.openxmlformats-officedocument.wordprocessingml.document");
            });
            server.Get(
                "/b.rtf", [](const httplib::Request&, httplib::Response& r) { r.set_content(rtf, "application/rtf"); });
            server.Get("/page.html", [](const httplib::Request&, httplib::Response& r) {
                r.set_content(
                    "<html><head><title>Host page</title></head><body><p id=above>Text above</p>"
                    "<embed id=one src=\"a.docx\" width=\"500\" height=\"300\">"
                    "<embed id=two src=\"b.rtf\" type=\"application/rtf\" width=\"400\" height=\"250\">"
                    "<p id=below>Text below</p><script>addEventListener('load', () => {"
                    " const o = document.createElement('object'); o.data = 'b.rtf'; o.type = 'text/rtf';"
                    " o.width = 300; o.height = 200; document.body.appendChild(o); });</script></body></html>",
                    "text/html");
            });
        });
        m_window = std::make_unique<hosts::BrowserWindow>(kit::Size { 1024, 768 }, [] {});
    }
    void TearDown() override
    {
        m_window.reset();
        kit::Host::setCurrent(nullptr);
    }

    bool loadAndWaitForViews(const std::string& path, std::size_t count)
    {
        m_window->open(m_server->url(path));
        return gtktest::waitUntil(
            [&] {
                const auto& views = m_window->inlineViews().views();
                if (views.size() < count)
                    return false;
                for (const auto& [token, view] : views)
                    if (view->plugin->isLoading())
                        return false;
                return true;
            },
            60s);
    }

    gtktest::RecordingHost m_host;
    std::unique_ptr<nettest::LoopbackServer> m_server;
    std::unique_ptr<hosts::BrowserWindow> m_window;
};

TEST_F(BrowserTest, EveryClaimedElementBecomesAnInlineViewAmongThePagesText)
{
    ASSERT_TRUE(loadAndWaitForViews("/page.html", 3));
    WebKitWebView* view = m_window->webView();
    // The two embeds and the object the page added after load are frames of views, each its own origin.
    EXPECT_EQ(evaluate(view, "document.querySelectorAll('embed, object').length"), "0");
    EXPECT_EQ(evaluate(view,
                  "[...document.querySelectorAll('iframe')].filter(f => "
                  "/^lectorin-embed:\\/\\/[0-9a-f]{32}\\//.test(f.src)).length"),
        "3");
    EXPECT_EQ(
        evaluate(view, "new Set([...document.querySelectorAll('iframe')].map(f => new URL(f.src).host)).size"), "3");
    EXPECT_EQ(evaluate(view, "document.getElementById('one').getBoundingClientRect().width"), "500")
        << "the element's box";
    EXPECT_EQ(evaluate(view, "document.getElementById('two').getBoundingClientRect().height"), "250");
    EXPECT_EQ(evaluate(view,
                  "document.getElementById('above').textContent + '|' + document.getElementById('below').textContent"),
        "Text above|Text below");
    for (const auto& [token, inline_] : m_window->inlineViews().views())
        EXPECT_FALSE(inline_->plugin->hasFailed()) << token;
}

TEST_F(BrowserTest, AHostilePageScriptGetsNothing)
{
    ASSERT_TRUE(loadAndWaitForViews("/page.html", 3));
    WebKitWebView* view = m_window->webView();
    // Our handler lives in an isolated world: the page's own scripts cannot post to it.
    EXPECT_EQ(evaluate(view,
                  "typeof (window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.lectorin)"),
        "undefined");
    // Knowing a view's URL, the page still cannot read it: the scheme is not CORS-enabled.
    std::string read = evaluate(view,
        "(async () => { try { const r = await fetch(document.getElementById('two').src);"
        " return 'read:' + (await r.text()).length; } catch (e) { return 'refused'; } })()");
    EXPECT_EQ(read, "refused");
    // Forged messages to the frames change nothing.
    std::size_t before = m_window->inlineViews().views().size();
    evaluate(view,
        "for (const f of document.querySelectorAll('iframe')) f.contentWindow.postMessage({kind:'command', "
        "command:'save'}, '*'), 1");
    EXPECT_EQ(m_window->inlineViews().views().size(), before);
}

} // namespace
