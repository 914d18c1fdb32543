#include "hosts/web/BrowserWindow.h"

#include "hosts/common/PageArguments.h"
#include "hosts/web/ViewPresentation.h"
#include "kit/foundation/Ascii.h"

#include <algorithm>
#include <filesystem>

namespace hosts {

namespace {

// A main-frame response the plug-in claims, by its type or, for a generic type, by its extension.
bool isClaimedDocument(WebKitURIResponse* response)
{
    ClaimedTypes claimed = claimedTypesFromBundle();
    const char* type = webkit_uri_response_get_mime_type(response);
    const char* uri = webkit_uri_response_get_uri(response);
    std::string mime = type ? kit::asciiLower(type) : "";
    if (!mime.empty() && mime != "application/octet-stream" && mime != "text/plain")
        return claimed.claims(mime, "");
    return claimed.claims("", uri ? uri : "");
}

} // namespace

std::optional<std::string> BrowserWindow::urlForAddress(const std::string& input)
{
    std::string text = input;
    text.erase(0, text.find_first_not_of(" \t\n"));
    text.erase(text.find_last_not_of(" \t\n") + 1);
    if (text.empty())
        return std::nullopt;
    std::error_code error;
    bool exists = std::filesystem::exists(text, error);
    bool hasScheme
        = text.find("://") != std::string::npos || text.rfind("about:", 0) == 0 || text.rfind("file:", 0) == 0;
    if (!hasScheme && !exists && text.find(' ') == std::string::npos && text.find('.') != std::string::npos
        && text[0] != '/' && text[0] != '.')
        return "https://" + text;
    auto url = urlForPageArgument(text);
    return url ? std::optional<std::string>(url->absoluteString()) : std::nullopt;
}

BrowserWindow::BrowserWindow(kit::Size contentSize, std::function<void()> closed)
    : m_closed(std::move(closed))
{
    InlineViews::registerScheme();
    kit::GRefPtr<WebKitUserContentManager> manager = kit::adoptGRef(InlineViews::makeContentManager());
    m_webView = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "user-content-manager", manager.get(), nullptr));
    m_inlineViews = std::make_unique<InlineViews>(m_webView);

    // GTK owns toplevels; our reference keeps the object valid until our destructor destroyed it.
    m_windowReference = kit::retainGRef(GTK_WINDOW(gtk_window_new()));
    m_window = m_windowReference.get();
    gtk_window_set_default_size(m_window, int(contentSize.width), int(contentSize.height));
    gtk_window_set_title(m_window, "Lectorin");

    GtkWidget* header = gtk_header_bar_new();
    m_back = gtk_button_new_from_icon_name("go-previous-symbolic");
    m_forward = gtk_button_new_from_icon_name("go-next-symbolic");
    m_reload = gtk_button_new_from_icon_name("view-refresh-symbolic");
    gtk_widget_set_tooltip_text(m_back, "Back");
    gtk_widget_set_tooltip_text(m_forward, "Forward");
    gtk_widget_set_tooltip_text(m_reload, "Reload");
    gtk_header_bar_pack_start(GTK_HEADER_BAR(header), m_back);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(header), m_forward);
    gtk_header_bar_pack_start(GTK_HEADER_BAR(header), m_reload);
    m_address = gtk_entry_new();
    gtk_widget_set_hexpand(m_address, TRUE);
    gtk_widget_set_size_request(m_address, 420, -1);
    gtk_entry_set_placeholder_text(GTK_ENTRY(m_address), "Address or path");
    gtk_header_bar_set_title_widget(GTK_HEADER_BAR(header), m_address);
    gtk_window_set_titlebar(m_window, header);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    m_progress = gtk_progress_bar_new();
    gtk_widget_add_css_class(m_progress, "osd");
    gtk_box_append(GTK_BOX(box), m_progress);
    gtk_widget_set_vexpand(GTK_WIDGET(m_webView), TRUE);
    gtk_box_append(GTK_BOX(box), GTK_WIDGET(m_webView));
    gtk_window_set_child(m_window, box);

    g_signal_connect_swapped(m_back, "clicked", G_CALLBACK(webkit_web_view_go_back), m_webView);
    g_signal_connect_swapped(m_forward, "clicked", G_CALLBACK(webkit_web_view_go_forward), m_webView);
    g_signal_connect(m_reload, "clicked", G_CALLBACK(+[](GtkButton*, BrowserWindow* self) {
        if (webkit_web_view_is_loading(self->m_webView))
            webkit_web_view_stop_loading(self->m_webView);
        else
            webkit_web_view_reload(self->m_webView);
    }),
        this);
    g_signal_connect(m_address, "activate", G_CALLBACK(+[](GtkEntry* entry, BrowserWindow* self) {
        self->open(gtk_editable_get_text(GTK_EDITABLE(entry)));
    }),
        this);
    g_signal_connect(m_webView, "load-changed", G_CALLBACK(onLoadChanged), this);
    g_signal_connect(m_webView, "decide-policy", G_CALLBACK(onDecidePolicy), this);
    g_signal_connect(m_webView, "create", G_CALLBACK(onCreate), this);
    g_signal_connect_swapped(m_webView, "notify::estimated-load-progress",
        G_CALLBACK(+[](BrowserWindow* self) { self->updateControls(); }), this);
    g_signal_connect_swapped(
        m_webView, "notify::title", G_CALLBACK(+[](BrowserWindow* self) { self->updateControls(); }), this);
    g_signal_connect_swapped(m_webView, "notify::uri", G_CALLBACK(+[](BrowserWindow* self) {
        const char* uri = webkit_web_view_get_uri(self->m_webView);
        if (uri && !gtk_widget_has_focus(self->m_address))
            gtk_editable_set_text(GTK_EDITABLE(self->m_address), uri);
    }),
        this);
    g_signal_connect(m_window, "close-request", G_CALLBACK(+[](GtkWindow*, BrowserWindow* self) -> gboolean {
        if (self->m_closed)
            self->m_closed();
        return TRUE;
    }),
        this);
    updateControls();
    gtk_window_present(m_window);
}

BrowserWindow::~BrowserWindow()
{
    m_inlineViews.reset();
    gtk_window_destroy(m_window);
}

void BrowserWindow::open(const std::string& location)
{
    if (auto url = urlForAddress(location)) {
        gtk_editable_set_text(GTK_EDITABLE(m_address), url->c_str());
        webkit_web_view_load_uri(m_webView, url->c_str());
        gtk_widget_grab_focus(GTK_WIDGET(m_webView));
    }
}

void BrowserWindow::updateControls()
{
    gtk_widget_set_sensitive(m_back, webkit_web_view_can_go_back(m_webView));
    gtk_widget_set_sensitive(m_forward, webkit_web_view_can_go_forward(m_webView));
    bool loading = webkit_web_view_is_loading(m_webView);
    gtk_button_set_icon_name(GTK_BUTTON(m_reload), loading ? "process-stop-symbolic" : "view-refresh-symbolic");
    gtk_widget_set_tooltip_text(m_reload, loading ? "Stop" : "Reload");
    double progress = webkit_web_view_get_estimated_load_progress(m_webView);
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(m_progress), progress);
    gtk_widget_set_visible(m_progress, loading);
    const char* title = webkit_web_view_get_title(m_webView);
    gtk_window_set_title(m_window, title && *title ? title : "Lectorin");
}

void BrowserWindow::onLoadChanged(WebKitWebView*, WebKitLoadEvent event, BrowserWindow* self)
{
    // A new main-frame document: the views of the page before it go (their frames went with it).
    if (event == WEBKIT_LOAD_COMMITTED)
        self->m_inlineViews->clear();
    self->updateControls();
}

gboolean BrowserWindow::onDecidePolicy(
    WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type, BrowserWindow*)
{
    if (type != WEBKIT_POLICY_DECISION_TYPE_RESPONSE)
        return FALSE;
    auto* response = WEBKIT_RESPONSE_POLICY_DECISION(decision);
    if (!webkit_response_policy_decision_is_main_frame_main_resource(response))
        return FALSE;
    WebKitURIResponse* answer = webkit_response_policy_decision_get_response(response);
    if (!isClaimedDocument(answer))
        return FALSE;
    // A document navigated to: one inline view filling the page, as a browser shows a document it
    // opened, instead of a download. The plug-in view downloads it itself, as for any embed.
    std::string uri = webkit_uri_response_get_uri(answer);
    const char* mime = webkit_uri_response_get_mime_type(answer);
    webkit_policy_decision_ignore(decision);
    std::string html = "<!DOCTYPE html><html><head><meta charset=utf-8><title>"
        + escapeHTML(std::filesystem::path(uri).filename().string())
        + "</title><style>html,body{margin:0;height:100%;overflow:hidden}</style></head><body><embed src=\""
        + escapeHTML(uri) + "\" type=\"" + escapeHTML(mime ? mime : "")
        + "\" width=\"100%\" height=\"100%\" style=\"display:block;width:100vw;height:100vh\"></body></html>";
    webkit_web_view_load_alternate_html(view, html.c_str(), uri.c_str(), nullptr);
    return TRUE;
}

GtkWidget* BrowserWindow::onCreate(WebKitWebView* view, WebKitNavigationAction* action, BrowserWindow*)
{
    // A request for a new window navigates this one.
    if (WebKitURIRequest* request = webkit_navigation_action_get_request(action))
        webkit_web_view_load_uri(view, webkit_uri_request_get_uri(request));
    return nullptr;
}

} // namespace hosts
