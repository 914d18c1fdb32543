#pragma once

// A browser window on a private Xvfb, the pages it shows served from 127.0.0.1, and what a test needs to
// look into the frames of its inline views and to act on them as a user would.
#include "host_gtk/GtkTestSupport.h"
#include "hosts/web/BrowserWindow.h"
#include "kit_net/LoopbackServer.h"

#include <map>
#include <memory>
#include <string>
#include <vector>
#include <gtest/gtest.h>

namespace webtest {

using namespace std::chrono_literals;

std::string readFile(const std::string& path);

// Runs an expression in the page's own world, awaiting a promise, and returns its value as text ("" on an
// exception).
std::string evaluate(WebKitWebView* view, const std::string& script);

// A rectangle in CSS pixels of the frame it was measured in.
struct Box {
    double x = 0, y = 0, width = 0, height = 0;
    double midX() const { return x + width / 2; }
    double midY() const { return y + height / 2; }
};

// What an inline view's frame shows, as a script of the test's own world measures it in the frame.
struct FrameState {
    double scrollY = 0;
    std::vector<int> pageImageWidths; // natural widths of the page images, 0 while one has not loaded
    std::vector<Box> pages; // each page's box with the separator's width of background around it
    std::map<std::string, Box> commands; // the controls, by command
    struct Text {
        std::string text;
        Box box;
    };
    std::vector<Text> lines; // the text layer's lines
    std::vector<Text> links; // its links
    std::string selection; // the frame's selected text
};

// Reports every inline view's frame state, by token, several times a second: a user script of its own
// world in every frame of our scheme. Install it before the page loads.
class FrameProbe {
public:
    explicit FrameProbe(WebKitWebView* view);
    ~FrameProbe();
    const std::map<std::string, FrameState>& states() const { return m_states; }
    const FrameState* state(const std::string& token) const;

private:
    WebKitWebView* m_view;
    gulong m_handler = 0;
    std::map<std::string, FrameState> m_states;
};

// Moves the pointer of the X server over the point (x, y) of the frame of the view token (its CSS
// pixels) and clicks the primary button count times, through the XTEST extension: the page sees trusted
// events, as from a user.
bool clickInFrame(hosts::BrowserWindow& window, const std::string& token, double x, double y, int count = 1);

// The token of the view whose frame has the element id in the page (its iframe took the id).
std::string tokenOfElement(WebKitWebView* view, const std::string& id);

// The visible part of the web view, as WebKit draws it: 0xAARRGGBB, premultiplied, row-major.
gtktest::Frame snapshot(WebKitWebView* view);

// The text on the display's clipboard, read back through GdkClipboard ("" when none).
std::string clipboardText(GtkWidget* widget);

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Opens path of the fixture's server and waits until count views have finished loading.
    bool loadAndWaitForViews(const std::string& path, std::size_t count);

    gtktest::RecordingHost m_host;
    std::unique_ptr<nettest::LoopbackServer> m_server;
    std::unique_ptr<hosts::BrowserWindow> m_window;
    std::unique_ptr<FrameProbe> m_probe;
};

// The RTF document of the fixture's second embed and its <object>: one line, with a word the page lacks.
extern const char* const kReportRTF;

} // namespace webtest
