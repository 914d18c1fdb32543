// The browser host on a private Xvfb: a real WebKitWebView on pages from a loopback server.
#include "BrowserFixture.h"
#include "hosts/web/PageCookies.h"
#include "plugin/NRVLectorin.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <gtest/gtest.h>
#include <sstream>

namespace {

using namespace std::chrono_literals;
using webtest::BrowserTest;
using webtest::evaluate;

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

// A page from the web that declares a local base still reaches no local file: the view shows its error
// display, and the file's text is nowhere in the view or its frame.
TEST_F(BrowserTest, AFileBaseOnAWebPageGetsTheErrorDisplayNotTheFile)
{
    std::filesystem::path folder = testsupport::temporaryFolder("local-secret");
    testsupport::writeFile(folder / "secret.rtf", "{\\rtf1\\ansi zebrasecret\\par}");
    std::string html = "<html><head><base href=\"file://" + folder.string() + "/\"></head><body><p>Base</p>"
        "<embed id=local src=\"secret.rtf\" type=\"application/rtf\" width=\"300\" height=\"200\"></body></html>";
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get("/base.html", [&](const httplib::Request&, httplib::Response& r) { r.set_content(html, "text/html"); });
    });
    m_window->open(server.url("/base.html"));
    ASSERT_TRUE(gtktest::waitUntil(
        [&] {
            const auto& views = m_window->inlineViews().views();
            return views.size() == 1 && !views.begin()->second->plugin->isLoading();
        },
        60s));
    NRVLectorin& plugin = *m_window->inlineViews().views().begin()->second->plugin;
    EXPECT_TRUE(plugin.hasFailed());
    const std::vector<std::uint8_t>* bytes = plugin.rawData();
    std::string read = bytes ? std::string(bytes->begin(), bytes->end()) : "";
    EXPECT_EQ(read.find("zebrasecret"), std::string::npos);
    EXPECT_EQ(evaluate(m_window->webView(), "document.body.innerText.includes('zebrasecret')"), "false");
}

TEST(PageCookies, WhatASubresourceRequestCarries)
{
    auto url = [](const char* text) { return *kit::URL::withString(text); };
    const std::vector<hosts::JarCookie> jar { { "session", "abc", SOUP_SAME_SITE_POLICY_LAX },
        { "strict", "1", SOUP_SAME_SITE_POLICY_STRICT }, { "shared", "2", SOUP_SAME_SITE_POLICY_NONE },
        { "bad", "x\r\nX-Evil: 1", SOUP_SAME_SITE_POLICY_NONE } };
    const struct {
        const char* page;
        const char* document;
        WebKitCookieAcceptPolicy policy;
        std::optional<std::string> expected;
        const char* why;
    } cases[] = {
        { "http://example.org/p.html", "http://example.org/d.docx", WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY,
            "session=abc; strict=1; shared=2", "the page's own site: every cookie, none that breaks the header" },
        { "https://www.example.co.uk/", "https://files.example.co.uk/d.rtf", WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY,
            "session=abc; strict=1; shared=2", "another host of the same registrable domain is the same site" },
        { "http://127.0.0.1:80/", "http://localhost:80/d.rtf", WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY,
            std::nullopt, "another site while third-party cookies are refused: none" },
        { "http://a.example/", "http://b.example/d.rtf", WEBKIT_COOKIE_POLICY_ACCEPT_ALWAYS, "shared=2",
            "another site, every cookie accepted: only SameSite=None" },
        { "http://example.org/", "https://example.org/d.rtf", WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY,
            std::nullopt, "another scheme is another site" },
        { "http://example.org/", "http://example.org/d.rtf", WEBKIT_COOKIE_POLICY_ACCEPT_NEVER, std::nullopt,
            "cookies refused altogether" },
        { "file:///tmp/p.html", "file:///tmp/d.rtf", WEBKIT_COOKIE_POLICY_ACCEPT_ALWAYS, std::nullopt,
            "a file has no cookies" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(hosts::subresourceCookieHeader(jar, url(c.page), url(c.document), c.policy), c.expected);
    }
}

// The document is fetched with the page's cookies, as WebKit would send them for a subresource of it, and
// a redirect to another host does not take them along.
TEST(BrowserCookies, TheDocumentGoesOutWithThePagesCookies)
{
    std::string reason;
    if (!gtktest::startDisplay({}, &reason))
        GTEST_SKIP() << "browser tests need their own X server: " << reason;
    gtktest::RecordingHost host;
    kit::Host::setCurrent(&host);
    // A value of this run alone: the default session may keep cookies of earlier runs.
    const std::string secret = std::to_string(std::random_device()());
    std::mutex mutex;
    // Per document, the Cookie headers its requests came with ("-" for none).
    std::map<std::string, std::vector<std::string>> cookieOf;
    auto record = [&](const httplib::Request& request, const std::string& name) {
        std::lock_guard lock(mutex);
        cookieOf[name].push_back(request.has_header("Cookie") ? request.get_header_value("Cookie") : "-");
    };
    const std::string rtf = "{\\rtf1\\ansi Cookie test.\\par}";
    nettest::LoopbackServer other([&](httplib::Server& server) {
        server.Get("/elsewhere.rtf", [&](const httplib::Request& request, httplib::Response& r) {
            record(request, "elsewhere");
            r.set_content(rtf, "application/rtf");
        });
    });
    std::string otherSite = "http://localhost:" + std::to_string(other.port());
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get("/page.html", [&](const httplib::Request&, httplib::Response& r) {
            r.set_header("Set-Cookie", "lectorin_session=" + secret + "; Path=/");
            r.set_content("<html><body><p>Cookies</p>"
                          "<embed src=\"own.rtf\" type=\"application/rtf\" width=\"300\" height=\"200\">"
                          "<embed src=\"moved.rtf\" type=\"application/rtf\" width=\"300\" height=\"200\">"
                          "<embed src=\""
                    + otherSite + "/elsewhere.rtf\" type=\"application/rtf\" width=\"300\" height=\"200\">"
                                  "</body></html>",
                "text/html");
        });
        s.Get("/own.rtf", [&](const httplib::Request& request, httplib::Response& r) {
            record(request, "own");
            r.set_content(rtf, "application/rtf");
        });
        s.Get("/moved.rtf", [&](const httplib::Request& request, httplib::Response& r) {
            record(request, "moved");
            r.set_redirect(otherSite + "/elsewhere.rtf?via=redirect");
        });
    });
    {
        hosts::BrowserWindow window(kit::Size { 1024, 768 }, [] {});
        window.open(server.url("/page.html"));
        ASSERT_TRUE(gtktest::waitUntil(
            [&] {
                std::lock_guard lock(mutex);
                return cookieOf["own"].size() == 1 && cookieOf["moved"].size() == 1 && cookieOf["elsewhere"].size() == 2;
            },
            60s));
        std::lock_guard lock(mutex);
        EXPECT_NE(cookieOf["own"][0].find("lectorin_session=" + secret), std::string::npos) << cookieOf["own"][0];
        EXPECT_NE(cookieOf["moved"][0].find("lectorin_session=" + secret), std::string::npos) << cookieOf["moved"][0];
        for (const std::string& sent : cookieOf["elsewhere"])
            EXPECT_EQ(sent.find(secret), std::string::npos)
                << "neither another site's document nor a redirect to another host gets the page's cookie: " << sent;
    }
    kit::Host::setCurrent(nullptr);
}

} // namespace
