#include "BrowserFixture.h"

#include "plugin/NRVLectorin.h"
#include "support/TestSupport.h"

#include <cmath>
#include <fstream>
#include <gdk/x11/gdkx.h>
#include <sstream>
#include <thread>

namespace webtest {

const char* const kReportRTF
    = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 Inside the report: quokkaword.\\par}";

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

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
            kit::GRefPtr<JSCValue> value = kit::adoptGRef(
                webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(object), async, nullptr));
            if (value) {
                char* text = jsc_value_to_string(value.get());
                out->text = text ? text : "";
                g_free(text);
            }
            out->done = true;
        },
        &result);
    gtktest::waitUntil([&] { return result.done; }, 20s);
    return result.text;
}

namespace {

constexpr const char* kProbeWorld = "lectorin-test-probe";

// One line per fact, fields separated by tabs, so the test reads it without a JSON parser.
const char* kProbeScript = R"JS(
(() => {
    if (location.protocol !== 'lectorin-embed:')
        return;
    const handler = window.webkit.messageHandlers.probe;
    const box = e => { const r = e.getBoundingClientRect(); return [r.left, r.top, r.width, r.height].join('\t'); };
    const clean = t => t.replace(/[\t\n]/g, ' ');
    const report = () => {
        const lines = ['token\t' + location.hostname, 'scroll\t' + window.scrollY,
            'pages\t' + [...document.querySelectorAll('.page img')].map(i => i.complete ? i.naturalWidth : 0).join(',')];
        for (const p of document.querySelectorAll('.page'))
            lines.push('page\t' + box(p));
        for (const c of document.querySelectorAll('[data-command]'))
            lines.push('command\t' + c.dataset.command + '\t' + box(c));
        for (const t of document.querySelectorAll('.page text'))
            lines.push('line\t' + box(t) + '\t' + clean(t.textContent));
        for (const a of document.querySelectorAll('[data-link]'))
            lines.push('link\t' + box((r => (r.selectNodeContents(a), r))(document.createRange())) + '\t' + clean(a.textContent));
        lines.push('selection\t' + clean(String(getSelection())));
        handler.postMessage(lines.join('\n'));
    };
    setInterval(report, 100);
    report();
})();
)JS";

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (true) {
        auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

Box boxOf(const std::vector<std::string>& fields, std::size_t first)
{
    return { std::atof(fields[first].c_str()), std::atof(fields[first + 1].c_str()),
        std::atof(fields[first + 2].c_str()), std::atof(fields[first + 3].c_str()) };
}

} // namespace

FrameProbe::FrameProbe(WebKitWebView* view)
    : m_view(view)
{
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(view);
    webkit_user_content_manager_register_script_message_handler(manager, "probe", kProbeWorld);
    WebKitUserScript* script = webkit_user_script_new_for_world(kProbeScript, WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, kProbeWorld, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
    m_handler = g_signal_connect(manager, "script-message-received::probe",
        G_CALLBACK(+[](WebKitUserContentManager*, JSCValue* message, FrameProbe* self) {
            if (!jsc_value_is_string(message))
                return;
            char* text = jsc_value_to_string(message);
            FrameState state;
            std::string token;
            for (const std::string& line : split(text, '\n')) {
                auto fields = split(line, '\t');
                if (fields[0] == "token" && fields.size() == 2)
                    token = fields[1];
                else if (fields[0] == "selection" && fields.size() == 2)
                    state.selection = fields[1];
                else if (fields[0] == "scroll" && fields.size() == 2)
                    state.scrollY = std::atof(fields[1].c_str());
                else if (fields[0] == "pages" && fields.size() == 2) {
                    for (const std::string& width : split(fields[1], ','))
                        if (!width.empty())
                            state.pageImageWidths.push_back(std::atoi(width.c_str()));
                } else if (fields[0] == "page" && fields.size() == 5)
                    state.pages.push_back(boxOf(fields, 1));
                else if (fields[0] == "command" && fields.size() == 6)
                    state.commands[fields[1]] = boxOf(fields, 2);
                else if ((fields[0] == "line" || fields[0] == "link") && fields.size() == 6)
                    (fields[0] == "line" ? state.lines : state.links).push_back({ fields[5], boxOf(fields, 1) });
            }
            g_free(text);
            if (!token.empty())
                self->m_states[token] = std::move(state);
        }),
        this);
}

FrameProbe::~FrameProbe()
{
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(m_view);
    g_signal_handler_disconnect(manager, m_handler);
    webkit_user_content_manager_unregister_script_message_handler(manager, "probe", kProbeWorld);
}

const FrameState* FrameProbe::state(const std::string& token) const
{
    auto it = m_states.find(token);
    return it == m_states.end() ? nullptr : &it->second;
}

std::string tokenOfElement(WebKitWebView* view, const std::string& id)
{
    return evaluate(view, "(f => f ? new URL(f.src).host : '')(document.getElementById('" + id + "'))");
}

bool clickInFrame(hosts::BrowserWindow& window, const std::string& token, double x, double y, int count)
{
    WebKitWebView* view = window.webView();
    std::string frame = evaluate(view,
        "(f => f ? (r => r.left + ',' + r.top)(f.getBoundingClientRect()) : '')([...document.querySelectorAll("
        "'iframe')].find(f => f.src && new URL(f.src).host === '"
            + token + "'))");
    auto comma = frame.find(',');
    if (comma == std::string::npos)
        return false;
    graphene_point_t origin;
    if (!gtk_widget_compute_point(GTK_WIDGET(view), GTK_WIDGET(window.gtkWindow()), graphene_point_init(&origin, 0, 0),
            &origin))
        return false;
    double surfaceX = 0, surfaceY = 0;
    gtk_native_get_surface_transform(GTK_NATIVE(window.gtkWindow()), &surfaceX, &surfaceY);
    GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window.gtkWindow()));
    if (!GDK_IS_X11_SURFACE(surface))
        return false;
    int px = int(std::lround(surfaceX + origin.x + std::atof(frame.c_str()) + x));
    int py = int(std::lround(surfaceY + origin.y + std::atof(frame.c_str() + comma + 1) + y));
    std::string command = "xdotool mousemove --sync --window " + std::to_string(gdk_x11_surface_get_xid(surface))
        + " " + std::to_string(px) + " " + std::to_string(py);
    for (int i = 0; i < count; ++i)
        command += " mousedown 1 sleep 0.05 mouseup 1 sleep 0.05";
    std::string output, errors;
    if (testsupport::runCommand(command, &output, &errors) != 0) {
        ADD_FAILURE() << command << ": " << errors;
        return false;
    }
    return true;
}

gtktest::Frame snapshot(WebKitWebView* view)
{
    struct Result {
        bool done = false;
        kit::GRefPtr<GdkTexture> texture;
    } result;
    webkit_web_view_get_snapshot(
        view, WEBKIT_SNAPSHOT_REGION_VISIBLE, WEBKIT_SNAPSHOT_OPTIONS_NONE, nullptr,
        [](GObject* object, GAsyncResult* async, gpointer data) {
            auto* out = static_cast<Result*>(data);
            out->texture = kit::adoptGRef(webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(object), async, nullptr));
            out->done = true;
        },
        &result);
    gtktest::Frame frame;
    if (!gtktest::waitUntil([&] { return result.done; }, 20s) || !result.texture)
        return frame;
    frame.width = gdk_texture_get_width(result.texture.get());
    frame.height = gdk_texture_get_height(result.texture.get());
    frame.pixels.resize(std::size_t(frame.width) * std::size_t(frame.height));
    // GDK's download format is cairo's ARGB32: one native-endian 0xAARRGGBB word per pixel.
    gdk_texture_download(
        result.texture.get(), reinterpret_cast<guchar*>(frame.pixels.data()), std::size_t(frame.width) * 4);
    return frame;
}

std::string clipboardText(GtkWidget* widget)
{
    struct Result {
        bool done = false;
        std::string text;
    } result;
    gdk_clipboard_read_text_async(
        gtk_widget_get_clipboard(widget), nullptr,
        [](GObject* clipboard, GAsyncResult* async, gpointer data) {
            auto* out = static_cast<Result*>(data);
            char* text = gdk_clipboard_read_text_finish(GDK_CLIPBOARD(clipboard), async, nullptr);
            out->text = text ? text : "";
            g_free(text);
            out->done = true;
        },
        &result);
    gtktest::waitUntil([&] { return result.done; }, 10s);
    return result.text;
}

void BrowserTest::SetUp()
{
    std::string reason;
    if (!gtktest::startDisplay({}, &reason))
        GTEST_SKIP() << "browser tests need their own X server: " << reason;
    kit::Host::setCurrent(&m_host);
    static const std::string docx = readFile(std::string(LECTORIN_CORPUS_DIR) + "/pandoc-tables.docx");
    m_server = std::make_unique<nettest::LoopbackServer>([](httplib::Server& server) {
        server.Get("/a.docx", [](const httplib::Request&, httplib::Response& r) {
            r.set_content(docx, "application/vnd.openxmlformats-officedocument.wordprocessingml.document");
        });
        server.Get("/b.rtf",
            [](const httplib::Request&, httplib::Response& r) { r.set_content(kReportRTF, "application/rtf"); });
        server.Get("/links.rtf", [](const httplib::Request& request, httplib::Response& r) {
            std::string site = "http://" + request.get_header_value("Host");
            r.set_content("{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 "
                          "{\\field{\\*\\fldinst HYPERLINK \""
                    + site
                    + "/linked.html\"}{\\fldrslt weblink}} then "
                      "{\\field{\\*\\fldinst HYPERLINK \"javascript:document.title='taken'\"}{\\fldrslt scriptlink}} "
                      "then {\\field{\\*\\fldinst HYPERLINK \\\\l \"far\"}{\\fldrslt innerlink}}.\\par\\page "
                      "{\\*\\bkmkstart far}Far away{\\*\\bkmkend far}\\par}",
                "application/rtf");
        });
        // A document that arrives only after its frame has been shown once, with the progress indicator.
        server.Get("/slow.rtf", [](const httplib::Request&, httplib::Response& r) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            r.set_content(kReportRTF, "application/rtf");
        });
        server.Get("/inner.html", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><body><embed id=late src=\"slow.rtf\" width=\"400\" height=\"250\"></body></html>",
                "text/html");
        });
        server.Get("/framed.html", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><head><title>Framed</title></head><body><p>Around the frame</p>"
                          "<iframe id=inner src=\"inner.html\" width=\"500\" height=\"320\"></iframe></body></html>",
                "text/html");
        });
        // Six pages; one word stands on the last alone.
        server.Get("/long.rtf", [](const httplib::Request&, httplib::Response& r) {
            std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 ";
            for (int page = 1; page < 6; ++page)
                rtf += "Page " + std::to_string(page) + " of the long report.\\par\\page ";
            r.set_content(rtf + "The last page holds the platypusword.\\par}", "application/rtf");
        });
        server.Get("/long.html", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><body><embed id=long src=\"long.rtf\" width=\"400\" height=\"250\"></body></html>",
                "text/html");
        });
        server.Get("/links.html", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><head><title>Links</title></head><body>"
                          "<embed id=links src=\"links.rtf\" width=\"600\" height=\"300\"></body></html>",
                "text/html");
        });
        server.Get("/linked.html", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><head><title>Linked</title></head><body>Arrived</body></html>", "text/html");
        });
        server.Get("/page.html", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><head><title>Host page</title></head><body><p id=above>Text above</p>"
                          "<embed id=one src=\"a.docx\" width=\"500\" height=\"300\">"
                          "<embed id=two src=\"b.rtf\" type=\"application/rtf\" width=\"400\" height=\"250\">"
                          "<p id=below>Text below</p><script>addEventListener('load', () => {"
                          " const o = document.createElement('object'); o.data = 'b.rtf'; o.type = 'text/rtf';"
                          " o.width = 300; o.height = 200; document.body.appendChild(o); });</script></body></html>",
                "text/html");
        });
    });
    m_window = std::make_unique<hosts::BrowserWindow>(kit::Size { 1024, 768 }, [] {});
    m_probe = std::make_unique<FrameProbe>(m_window->webView());
}

void BrowserTest::TearDown()
{
    m_probe.reset();
    m_window.reset();
    kit::Host::setCurrent(nullptr);
}

bool BrowserTest::loadAndWaitForViews(const std::string& path, std::size_t count)
{
    // The views of the page shown before stay until the new page is committed.
    bool committed = false;
    gulong handler = g_signal_connect(m_window->webView(), "load-changed",
        G_CALLBACK(+[](WebKitWebView*, WebKitLoadEvent event, bool* out) {
            if (event == WEBKIT_LOAD_COMMITTED)
                *out = true;
        }),
        &committed);
    m_window->open(m_server->url(path));
    bool shown = gtktest::waitUntil([&] { return committed; }, 30s);
    g_signal_handler_disconnect(m_window->webView(), handler);
    return shown && gtktest::waitUntil(
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

} // namespace webtest
