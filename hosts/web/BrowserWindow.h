#pragma once

#include "hosts/web/InlineViews.h"
#include "kit/foundation/GRefPtr.h"
#include "kit/geometry/Geometry.h"

#include <functional>
#include <gtk/gtk.h>
#include <memory>
#include <optional>
#include <string>
#include <webkit/webkit.h>

namespace hosts {

// The window of `lectorin browse`: a header bar (back, forward, reload/stop, the address entry, the page
// title as the window title), a load progress bar and one WebKitWebView whose pages show their embedded
// documents inline (InlineViews). Links and requests for new windows navigate this same view. A
// response of a claimed document type in the main frame is shown as one inline view filling the page,
// not downloaded. Closing the window tells closed (from the main loop); the owner destroys this object.
class BrowserWindow {
public:
    BrowserWindow(kit::Size contentSize, std::function<void()> closed);
    ~BrowserWindow();
    BrowserWindow(const BrowserWindow&) = delete;
    BrowserWindow& operator=(const BrowserWindow&) = delete;

    // Loads what the address entry or the command line gives: a URL, a path, or a bare host (https).
    void open(const std::string& location);

    GtkWindow* gtkWindow() const { return m_window; }
    WebKitWebView* webView() const { return m_webView; }
    GtkEntry* addressEntry() const { return GTK_ENTRY(m_address); }
    GtkProgressBar* progressBar() const { return GTK_PROGRESS_BAR(m_progress); }
    InlineViews& inlineViews() const { return *m_inlineViews; }

    // What the address entry makes of its text: a string with a scheme is a URL, an existing path a file
    // URL, a word with a dot and no spaces a host over https, anything else a path; nothing for empty text.
    static std::optional<std::string> urlForAddress(const std::string& text);

private:
    static void onLoadChanged(WebKitWebView*, WebKitLoadEvent, BrowserWindow*);
    static gboolean onDecidePolicy(WebKitWebView*, WebKitPolicyDecision*, WebKitPolicyDecisionType, BrowserWindow*);
    static GtkWidget* onCreate(WebKitWebView*, WebKitNavigationAction*, BrowserWindow*);
    void updateControls();

    kit::GRefPtr<GtkWindow> m_windowReference;
    GtkWindow* m_window = nullptr; // destroyed with this object
    WebKitWebView* m_webView = nullptr; // owned by the window's widget tree
    GtkWidget* m_address = nullptr;
    GtkWidget* m_progress = nullptr;
    GtkWidget* m_back = nullptr;
    GtkWidget* m_forward = nullptr;
    GtkWidget* m_reload = nullptr;
    std::unique_ptr<InlineViews> m_inlineViews;
    std::function<void()> m_closed;
};

} // namespace hosts
