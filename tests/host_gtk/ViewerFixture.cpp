#include "ViewerFixture.h"

#include <sstream>

namespace gtktest {

int longDocumentParagraphs()
{
    return 150;
}

std::string longDocumentText(int paragraph)
{
    std::ostringstream text;
    text << "Paragraph " << paragraph << ".";
    for (int word = 0; word < 60; ++word)
        text << " lorem ipsum dolor sit amet";
    // Two occurrences of a word found nowhere else, about a hundred paragraphs apart.
    if (paragraph == 40 || paragraph == 140)
        text << " zanzibar";
    return text.str();
}

std::string longDocumentRTF()
{
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 ";
    for (int paragraph = 1; paragraph <= longDocumentParagraphs(); ++paragraph)
        rtf += longDocumentText(paragraph) + "\\par ";
    return rtf + "}";
}

void ViewerTest::SetUp()
{
    std::string reason;
    if (!startDisplay(displaySettings(), &reason)) {
        m_skipped = true;
        GTEST_SKIP() << "window tests need their own X server: " << reason;
    }
    m_host = std::make_unique<RecordingHost>();
    kit::Host::setCurrent(m_host.get());
    static const std::string rtf = longDocumentRTF();
    m_server = std::make_unique<nettest::LoopbackServer>([this](httplib::Server& server) {
        server.Get("/long.rtf", [](const httplib::Request&, httplib::Response& response) { response.set_content(rtf, "application/rtf"); });
        server.Get("/page.html", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><body><p>Before</p><embed src=\"long.rtf\" type=\"application/rtf\" width=\"600\" height=\"400\" "
                                 "data-note=\"kept\"><p>After</p></body></html>",
                "text/html");
        });
        server.Get("/two.html", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("<html><head><base href=\"/docs/\"></head><body><embed src=\"a.rtf\" type=\"application/rtf\">"
                                 "<embed src=\"../long.rtf\" type=\"application/rtf\"></body></html>",
                "text/html");
        });
        // The response's header fields go out at once; the bytes wait for the release.
        server.Get("/slow.rtf", [this](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(rtf.size(), "application/rtf", [this](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (offset == 0 && !m_release.waitFor(std::chrono::seconds(30)))
                    return false;
                return sink.write(rtf.data() + offset, std::min(length, rtf.size() - offset));
            });
        });
    });
    ASSERT_TRUE(m_server->isValid());
}

void ViewerTest::TearDown()
{
    if (m_skipped)
        return;
    m_release.raise();
    m_session.reset();
    kit::Host::setCurrent(nullptr);
    m_host.reset();
    m_server.reset();
}

void ViewerTest::open(const std::vector<std::string>& pages, hosts::DocumentWindow::Settings settings)
{
    m_session = std::make_unique<hosts::ViewerSession>(*m_host, pages, settings);
    bool loaded = waitUntil(
        [&] {
            for (const auto& window : m_session->windows()) {
                // Loaded, imported and laid out: the last pages come from a worker after the first show.
                if (!window->plugin() || !window->plugin()->downloadIsComplete() || window->plugin()->isLoading())
                    return false;
            }
            return true;
        },
        30s);
    ASSERT_TRUE(loaded) << "the documents did not load";
    for (std::size_t i = 0; i < m_session->windows().size(); ++i)
        ASSERT_TRUE(settle(i));
}

bool ViewerTest::activate(const char* action, std::size_t index) const
{
    return gtk_widget_activate_action(GTK_WIDGET(hostWindow(index).gtkWindow()), (std::string("doc.") + action).c_str(), nullptr);
}

kit::Rect ViewerTest::widgetRect(const kit::View& view, kit::Rect rect, std::size_t index) const
{
    kit::Rect base = view.convertRect(rect, nullptr);
    return document(index).window().deviceRectFromBase(base);
}

void ViewerTest::resizeContent(int width, int height, std::size_t index) const
{
    kit::Size chrome = hostWindow(index).chromeSize();
    gtk_window_set_default_size(hostWindow(index).gtkWindow(), width + int(chrome.width), height + int(chrome.height));
}

bool ViewerTest::settle(std::size_t index) const
{
    // A frame that drew the damage there was, then one more so the compositor holds it.
    return waitForPaints(view(index).widget(), 2);
}

} // namespace gtktest
