#include "hosts/web/InlineViews.h"

#include "hosts/common/PageArguments.h"
#include "hosts/common/PluginArguments.h"
#include "hosts/web/InlineViewScript.h"
#include "hosts/web/PageCookies.h"
#include "hosts/web/ViewPresentation.h"
#include "kit/foundation/BackgroundJob.h"
#include "kit/foundation/RunLoop.h"
#include "kit/view/Window.h"
#include "kit/text/TextStorage.h"
#include "pageview/DocumentLinks.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/PageNavigation.h"
#include "pageview/PageSnapshot.h"
#include "pageview/ScaleUtilities.h"
#include "plugin/NRVLectorin.h"
#include "preferences/LectorinPreferences.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

namespace hosts {

namespace {

constexpr std::size_t kMaximumAttributes = 64;
constexpr std::size_t kMaximumAttributeLength = 8192;

// 128 bits from the system's random source, as 32 lower-case hex digits (a valid URL host).
std::string newToken()
{
    std::random_device random;
    std::string token;
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", unsigned(random()));
        token += part;
    }
    return token;
}

bool isToken(const std::string& text)
{
    return text.size() == 32 && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
    });
}

std::optional<std::string> stringProperty(JSCValue* object, const char* name)
{
    kit::GRefPtr<JSCValue> value = kit::adoptGRef(jsc_value_object_get_property(object, name));
    if (!value || !jsc_value_is_string(value.get()))
        return std::nullopt;
    char* text = jsc_value_to_string(value.get());
    std::string result = text ? text : "";
    g_free(text);
    return result;
}

std::optional<double> numberProperty(JSCValue* object, const char* name)
{
    kit::GRefPtr<JSCValue> value = kit::adoptGRef(jsc_value_object_get_property(object, name));
    if (!value || !jsc_value_is_number(value.get()))
        return std::nullopt;
    double number = jsc_value_to_double(value.get());
    return std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
}

std::map<std::string, std::string> parseQuery(const char* query)
{
    std::map<std::string, std::string> result;
    if (!query)
        return result;
    GHashTable* form = g_uri_parse_params(query, -1, "&", G_URI_PARAMS_NONE, nullptr);
    if (!form)
        return result;
    GHashTableIter iter;
    gpointer key, value;
    g_hash_table_iter_init(&iter, form);
    while (g_hash_table_iter_next(&iter, &key, &value))
        result[static_cast<const char*>(key)] = static_cast<const char*>(value);
    g_hash_table_unref(form);
    return result;
}

// Web views of the browser and the inline views that serve them; the scheme is global to the context.
std::map<WebKitWebView*, InlineViews*>& registry()
{
    static std::map<WebKitWebView*, InlineViews*> views;
    return views;
}

void finishWith(WebKitURISchemeRequest* request, std::vector<std::uint8_t> bytes, const char* type)
{
    gsize length = bytes.size();
    GBytes* data = g_bytes_new(bytes.data(), length);
    kit::GRefPtr<GInputStream> stream = kit::adoptGRef(g_memory_input_stream_new_from_bytes(data));
    g_bytes_unref(data);
    webkit_uri_scheme_request_finish(request, stream.get(), gint64(length), type);
}

void finishWithError(WebKitURISchemeRequest* request)
{
    GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "not found");
    webkit_uri_scheme_request_finish_error(request, error);
    g_error_free(error);
}

} // namespace

InlineViews::InlineViews(WebKitWebView* webView)
    : m_webView(webView)
{
    registry()[webView] = this;
    WebKitUserContentManager* manager = webkit_web_view_get_user_content_manager(webView);
    m_messageHandler
        = g_signal_connect(manager, "script-message-with-reply-received::lectorin", G_CALLBACK(messageWithReply), this);
    // Every plug-in view recolours itself on the announcement; the frames show it on the next turn.
    kit::NotificationCenter::defaultCenter().addObserver(
        this, kBackgroundColorChangedNotification, nullptr, [this](const kit::Notification&) {
            kit::RunLoop::post([views = kit::WeakPtr(this)] {
                if (views)
                    views->refreshAll();
            });
        });
}

InlineViews::~InlineViews()
{
    kit::NotificationCenter::defaultCenter().removeObserver(this);
    g_signal_handler_disconnect(webkit_web_view_get_user_content_manager(m_webView), m_messageHandler);
    if (m_work)
        g_source_remove(m_work);
    if (m_overdue)
        g_source_remove(m_overdue);
    if (m_watch)
        g_source_remove(m_watch);
    for (auto& pending : m_pending)
        finishWithError(pending.request.get());
    finishEncodingsWithError();
    registry().erase(m_webView);
}

void InlineViews::registerScheme()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    WebKitWebContext* context = webkit_web_context_get_default();
    webkit_web_context_register_uri_scheme(context, kInlineViewScheme, schemeRequest, nullptr, nullptr);
    // Secure, so that https pages may frame it; neither CORS-enabled nor local: no page can fetch from it.
    webkit_security_manager_register_uri_scheme_as_secure(
        webkit_web_context_get_security_manager(context), kInlineViewScheme);
}

WebKitUserContentManager* InlineViews::makeContentManager()
{
    WebKitUserContentManager* manager = webkit_user_content_manager_new();
    webkit_user_content_manager_register_script_message_handler_with_reply(
        manager, kInlineViewHandler, kInlineViewWorld);
    std::string source = inlineViewScript(claimedTypesFromBundle());
    WebKitUserScript* script = webkit_user_script_new_for_world(source.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kInlineViewWorld, nullptr, nullptr);
    webkit_user_content_manager_add_script(manager, script);
    webkit_user_script_unref(script);
    return manager;
}

InlineViews* InlineViews::forWebView(WebKitWebView* view)
{
    auto it = registry().find(view);
    return it == registry().end() ? nullptr : it->second;
}

void InlineViews::clear()
{
    for (auto& pending : m_pending)
        finishWithError(pending.request.get());
    m_pending.clear();
    finishEncodingsWithError();
    m_views.clear();
}

void InlineViews::schemeRequest(WebKitURISchemeRequest* request, gpointer)
{
    InlineViews* self = forWebView(webkit_uri_scheme_request_get_web_view(request));
    GUri* uri = g_uri_parse(webkit_uri_scheme_request_get_uri(request), G_URI_FLAGS_NONE, nullptr);
    if (!self || !uri) {
        if (uri)
            g_uri_unref(uri);
        finishWithError(request);
        return;
    }
    PendingRequest pending { kit::retainGRef(request), g_uri_get_host(uri) ? g_uri_get_host(uri) : "",
        g_uri_get_path(uri), parseQuery(g_uri_get_query(uri)) };
    g_uri_unref(uri);
    self->handle(std::move(pending));
}

void InlineViews::handle(PendingRequest pending)
{
    // Only a live view's own token is answered; anything else is "not found", as for a guessed token.
    if (!isToken(pending.token) || !m_views.count(pending.token)) {
        finishWithError(pending.request.get());
        return;
    }
    if (pending.path.rfind("/page/", 0) == 0) {
        // Page images wait for a main-loop turn of their own each, so the UI never stalls on a burst.
        m_pending.push_back(std::move(pending));
        schedule();
        return;
    }
    answer(pending);
}

void InlineViews::schedule()
{
    if (m_pending.empty())
        return;
    // Normally the idle source answers the queue between the loop's other work. A loop that never goes
    // idle (a busy engine on a loaded machine) would starve it for good, and the view would never show its
    // pages: the timer answers one request each time it fires at default priority meanwhile.
    if (!m_work)
        m_work = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, answerQueued, new QueueSource { this, &m_work }, deleteQueueSource);
    if (!m_overdue)
        m_overdue = g_timeout_add_full(
            G_PRIORITY_DEFAULT, kOverdueMilliseconds, answerQueued, new QueueSource { this, &m_overdue }, deleteQueueSource);
}

gboolean InlineViews::answerQueued(gpointer data)
{
    auto* source = static_cast<QueueSource*>(data);
    InlineViews* self = source->views;
    if (!self->m_pending.empty()) {
        PendingRequest pending = std::move(self->m_pending.front());
        self->m_pending.pop_front();
        self->answer(pending);
    }
    if (!self->m_pending.empty())
        return G_SOURCE_CONTINUE;
    *source->id = 0;
    return G_SOURCE_REMOVE;
}

void InlineViews::deleteQueueSource(gpointer data)
{
    delete static_cast<QueueSource*>(data);
}

bool InlineViews::answer(PendingRequest& pending)
{
    auto it = m_views.find(pending.token);
    if (it == m_views.end()) {
        finishWithError(pending.request.get());
        return true;
    }
    View& view = *it->second;
    double deviceScale = 1;
    if (auto s = pending.query.find("s"); s != pending.query.end())
        deviceScale = std::clamp(std::atof(s->second.c_str()), 1.0, 4.0);
    if (pending.path == "/" || pending.path.empty()) {
        if (auto v = pending.query.find("v"); v != pending.query.end())
            view.shownGeneration
                = std::max(view.shownGeneration, unsigned(std::strtoul(v->second.c_str(), nullptr, 10)));
        if (std::optional<TextLayerWork> work = textLayerWork(*view.plugin, view.textLayer)) {
            // Finding where every line's glyphs run lays the document out again: a worker does it, and the
            // frame is answered once it is done.
            answerFrameOnceMeasured(std::move(pending.request), view.token, std::move(*work));
            return true;
        }
        answerFrame(pending.request.get(), view);
        return true;
    }
    if (pending.path.rfind("/page/", 0) == 0) {
        std::string number = pending.path.substr(6);
        if (number.size() > 4 && number.compare(number.size() - 4, 4, ".png") == 0)
            number.resize(number.size() - 4);
        std::optional<PageImage> image;
        std::uint32_t page = 0;
        if (!number.empty() && number.size() < 8 && std::all_of(number.begin(), number.end(), ::isdigit)) {
            page = std::uint32_t(std::stoul(number));
            image = pageImage(*view.plugin, page, deviceScale);
        }
        if (!image) {
            finishWithError(pending.request.get());
            return true;
        }
        if (image->snapshot->showsMessage()) {
            // The message's text is laid out with this thread's fonts: the view draws that page here.
            DrawnImage drawn = drawPage(*view.plugin, page, deviceScale);
            encodeAndFinish(std::move(pending.request), [drawn = std::move(drawn)] { return encodePNG(drawn); });
            return true;
        }
        // The page is drawn from what it shows, and compressed, on a worker while the loop turns.
        encodeAndFinish(std::move(pending.request), [image = std::move(*image)] { return encodePNG(drawPageImage(image)); });
        return true;
    }
    std::optional<std::vector<std::uint8_t>> png;
    if (pending.path == "/box.png")
        png = boxPNG(*view.window, deviceScale);
    if (png)
        finishWith(pending.request.get(), std::move(*png), "image/png");
    else
        finishWithError(pending.request.get());
    return true;
}

void InlineViews::encodeAndFinish(kit::GRefPtr<WebKitURISchemeRequest> request, std::function<std::optional<std::vector<std::uint8_t>>()> work)
{
    unsigned id = ++m_lastEncoding;
    Encoding& encoding = m_encodings[id];
    encoding.request = std::move(request);
    encoding.job = kit::BackgroundJob::start([work = std::move(work)](std::stop_token) { return work(); },
        [this, id](std::optional<std::vector<std::uint8_t>> png) {
            auto done = m_encodings.extract(id);
            if (done.empty())
                return;
            WebKitURISchemeRequest* finished = done.mapped().request.get();
            if (png)
                finishWith(finished, std::move(*png), "image/png");
            else
                finishWithError(finished);
        });
}

void InlineViews::answerFrame(WebKitURISchemeRequest* request, View& view)
{
    std::string html = viewHTML(*view.plugin, view.box, &view.links, &view.textLayer);
    finishWith(request, std::vector<std::uint8_t>(html.begin(), html.end()), "text/html");
    watchLoading(view);
}

void InlineViews::answerFrameOnceMeasured(kit::GRefPtr<WebKitURISchemeRequest> request, std::string token, TextLayerWork work)
{
    unsigned id = ++m_lastEncoding;
    Encoding& encoding = m_encodings[id];
    encoding.request = std::move(request);
    auto shared = std::make_shared<const TextLayerWork>(std::move(work));
    encoding.job = kit::BackgroundJob::start([shared](std::stop_token) { return measureTextLayer(*shared); },
        [this, id, token = std::move(token), shared](std::vector<std::vector<TextLayerCache::Line>> pages) {
            auto done = m_encodings.extract(id);
            if (done.empty())
                return;
            WebKitURISchemeRequest* finished = done.mapped().request.get();
            auto it = m_views.find(token);
            if (it == m_views.end()) {
                finishWithError(finished);
                return;
            }
            View& view = *it->second;
            keepTextLayer(*view.plugin, view.textLayer, *shared, std::move(pages));
            answerFrame(finished, view);
        });
}

void InlineViews::finishEncodingsWithError()
{
    // Dropping a job drops its completion: its request is answered here instead.
    for (auto& [id, encoding] : m_encodings)
        finishWithError(encoding.request.get());
    m_encodings.clear();
}

void InlineViews::watchLoading(View& view)
{
    // A view shown while its document loads shows the plug-in's box (its progress indicator); it is shown
    // again once the download has ended, with the pages or the error display.
    if (!view.plugin->isLoading())
        return;
    view.watching = true;
    startWatching();
}

void InlineViews::startWatching()
{
    if (m_watch)
        return;
    m_watch = g_timeout_add(
        40,
        [](gpointer data) -> gboolean {
            auto* self = static_cast<InlineViews*>(data);
            if (self->watchTurn())
                return G_SOURCE_CONTINUE;
            self->m_watch = 0;
            return G_SOURCE_REMOVE;
        },
        this);
}

bool InlineViews::watchTurn()
{
    bool again = false;
    auto now = std::chrono::steady_clock::now();
    for (auto& [token, watched] : m_views) {
        View& view = *watched;
        if (view.watching) {
            if (view.plugin->isLoading()) {
                again = true;
                continue;
            }
            view.watching = false;
            refresh(token);
        }
        if (view.shownGeneration >= view.generation)
            continue;
        // A frame that is gone from the page never asks: it is given up after a few tries.
        if (now - view.sentAt >= kResendAfter) {
            if (view.resends >= kMaximumResends) {
                view.shownGeneration = view.generation;
                continue;
            }
            ++view.resends;
            ++view.generation;
            send(view);
        }
        again = true;
    }
    return again;
}

gboolean InlineViews::messageWithReply(
    WebKitUserContentManager*, JSCValue* message, WebKitScriptMessageReply* reply, InlineViews* self)
{
    std::optional<std::string> answer;
    if (jsc_value_is_object(message)) {
        auto kind = stringProperty(message, "kind");
        if (kind == "create" && self->create(message, reply))
            return TRUE; // answered once the document's cookies are known
        if (kind == "command")
            answer = self->command(message);
        if (kind == "link")
            answer = self->followLink(message);
    }
    if (answer) {
        kit::GRefPtr<JSCValue> value
            = kit::adoptGRef(jsc_value_new_string(jsc_value_get_context(message), answer->c_str()));
        webkit_script_message_reply_return_value(reply, value.get());
    } else
        webkit_script_message_reply_return_error_message(reply, "refused");
    return TRUE;
}

bool InlineViews::create(JSCValue* message, WebKitScriptMessageReply* reply)
{
    auto base = stringProperty(message, "base"), page = stringProperty(message, "page");
    auto width = numberProperty(message, "width"), height = numberProperty(message, "height");
    kit::GRefPtr<JSCValue> attributes = kit::adoptGRef(jsc_value_object_get_property(message, "attributes"));
    if (!base || !page || !width || !height || !attributes || !jsc_value_is_object(attributes.get()))
        return false;
    auto pageURL = kit::URL::withString(*page);
    auto baseURL = kit::URL::withString(*base);
    if (!pageURL || !baseURL)
        return false;

    EmbeddedDocument embed;
    char** names = jsc_value_object_enumerate_properties(attributes.get());
    for (char** name = names; name && *name && embed.attributes.size() < kMaximumAttributes; ++name) {
        if (auto value = stringProperty(attributes.get(), *name); value && value->size() <= kMaximumAttributeLength)
            embed.attributes[*name] = *value;
    }
    g_strfreev(names);
    HostPage hostPage;
    hostPage.baseHref = baseURL->absoluteString();
    PluginArguments made = embedArguments(*pageURL, hostPage, embed);
    kit::Size box { float(std::clamp(*width, 1.0, 16384.0)), float(std::clamp(*height, 1.0, 16384.0)) };

    // The document goes out with the cookies WebKit would send for a subresource of this page; the view
    // is made once they are known, and the page's script gets its frame's URL then.
    // A boxed type, not a GObject: shared, since the callback is copied into a std::function.
    std::shared_ptr<WebKitScriptMessageReply> kept(webkit_script_message_reply_ref(reply), webkit_script_message_reply_unref);
    kit::GRefPtr<JSCContext> context = kit::retainGRef(jsc_value_get_context(message));
    std::optional<kit::URL> documentURL = kit::URL::withString(made.src);
    auto makeView = [this, alive = kit::WeakPtr(this), made = std::move(made), box, kept, context](
                        std::optional<std::string> cookies) mutable {
        if (!alive) {
            webkit_script_message_reply_return_error_message(kept.get(), "refused");
            return;
        }
        if (cookies)
            made.arguments.set(WebPlugInCookieHeaderKey, kit::Value::string(*cookies));
        std::string url = addView(made.arguments, box);
        kit::GRefPtr<JSCValue> value = kit::adoptGRef(jsc_value_new_string(context.get(), url.c_str()));
        webkit_script_message_reply_return_value(kept.get(), value.get());
    };
    if (!documentURL) {
        makeView(std::nullopt);
        return true;
    }
    fetchSubresourceCookieHeader(m_webView, *pageURL, *documentURL, std::move(makeView));
    return true;
}

std::string InlineViews::addView(const kit::Value& arguments, kit::Size box)
{
    auto view = std::make_unique<View>();
    view->token = newToken();
    view->box = box;
    view->window = std::make_unique<kit::Window>(view->box);
    // As a browser does: the factory, then webPlugInInitialize, then into the page at the element's box.
    std::unique_ptr<NRVLectorin> plugin = NRVLectorin::plugInViewWithArguments(arguments);
    plugin->webPlugInInitialize();
    view->plugin = plugin.get();
    kit::View& added = view->window->contentView()->addSubview(std::move(plugin));
    added.setFrame({ { 0, 0 }, view->box });
    std::string url = std::string(kInlineViewScheme) + "://" + view->token + "/";
    m_views[view->token] = std::move(view);
    return url;
}

std::optional<std::string> InlineViews::command(JSCValue* message)
{
    auto token = stringProperty(message, "token"), name = stringProperty(message, "command");
    if (!token || !name)
        return std::nullopt;
    auto it = m_views.find(*token);
    if (it == m_views.end())
        return std::nullopt;
    NRVLectorin& plugin = *it->second->plugin;
    if (*name == "zoomIn")
        plugin.zoomIn(nullptr);
    else if (*name == "zoomOut")
        plugin.zoomOut(nullptr);
    else if (*name == "save")
        plugin.saveDocumentTo(nullptr);
    else if (*name == "print")
        plugin.print(nullptr);
    else if (*name == "preferences")
        plugin.showPreferences(nullptr);
    else if (*name == "about")
        plugin.showAboutBox(nullptr);
    else
        return std::nullopt;
    if (*name == "zoomIn" || *name == "zoomOut")
        refresh(*token);
    return std::string("done");
}

std::optional<std::string> InlineViews::followLink(JSCValue* message)
{
    auto token = stringProperty(message, "token");
    auto index = numberProperty(message, "link");
    if (!token || !index || *index < 0)
        return std::nullopt;
    auto it = m_views.find(*token);
    if (it == m_views.end() || *index >= double(it->second->links.size()))
        return std::nullopt;
    const std::string& url = it->second->links[std::size_t(*index)];
    NRVLectorinMultiPageView* pageView = it->second->plugin->pageView();
    switch (DocumentLinks::actionForURL(url)) {
    case DocumentLinks::Action::Open:
        webkit_web_view_load_uri(m_webView, url.c_str());
        return std::string("done");
    case DocumentLinks::Action::GoToBookmark: {
        const kit::TextStorage* text = pageView ? pageView->textStorage() : nullptr;
        auto location = text ? DocumentLinks::bookmarkLocation(*text, DocumentLinks::bookmarkName(url)) : std::nullopt;
        if (!location)
            return std::nullopt;
        auto rects = PageNavigation::rectsForCharacterRange(*pageView, *location, 1);
        if (rects.empty())
            return std::nullopt;
        // The frame's page stack is the page view at its scale, from the frame's top; a separator's
        // height of room stays above the line.
        float scale = pageview::ScaleUtilities::scale(*pageView).height;
        float top = std::max(0.0f, (rects.front().y() - pageView->pageSeparatorHeight()) * scale);
        return "scroll:" + std::to_string(int(std::lround(top)));
    }
    case DocumentLinks::Action::Ask:
    case DocumentLinks::Action::Nothing:
        break;
    }
    return std::nullopt;
}

void InlineViews::refresh(const std::string& token)
{
    auto it = m_views.find(token);
    if (it == m_views.end())
        return;
    View& view = *it->second;
    ++view.generation;
    view.resends = 0;
    send(view);
    startWatching();
}

void InlineViews::send(View& view)
{
    view.sentAt = std::chrono::steady_clock::now();
    // Run in our world of the top frame: the page can neither stop it nor see it happen.
    std::string prefix = std::string(kInlineViewScheme) + "://" + view.token + "/";
    // The view's frame may sit in a same-origin frame of the page, as an embed there becomes one.
    std::string script = "(function walk(d) { for (const f of d.querySelectorAll('iframe')) { if (f.src.startsWith('"
        + prefix + "')) f.src = '" + prefix + "?v=" + std::to_string(view.generation)
        + "'; else { let inner = null; try { inner = f.contentDocument; } catch (e) { } if (inner) walk(inner); } } })(document);";
    webkit_web_view_evaluate_javascript(
        m_webView, script.c_str(), -1, kInlineViewWorld, nullptr, nullptr, nullptr, nullptr);
}

void InlineViews::refreshAll()
{
    std::vector<std::string> tokens;
    for (const auto& [token, view] : m_views)
        tokens.push_back(token);
    for (const auto& token : tokens)
        refresh(token);
}

} // namespace hosts
