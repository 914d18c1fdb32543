#pragma once

#include "hosts/web/ViewPresentation.h"
#include "kit/foundation/BackgroundJob.h"
#include "kit/foundation/GRefPtr.h"
#include "kit/foundation/NotificationCenter.h"
#include "kit/foundation/WeakPtr.h"
#include "kit/geometry/Geometry.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <webkit/webkit.h>

namespace kit {
class Value;
class Window;
}
class NRVLectorin;

namespace hosts {

// The plug-in views of one browser window's web view, shown inline in its pages. The user script replaces
// each claimed element by an <iframe> and asks for a view ("create"); that makes one plug-in view (factory,
// webPlugInInitialize) in a kit window of the element's box, exactly as the other hosts do, and answers
// the view's URL lectorin-embed://<token>/, the token 128 random bits, so each view is an origin of its own
// and a page that knows a token still only reaches that view's presentation. The scheme serves, per view,
// its HTML (a page stack at the plug-in's zoom, with no script: CSP script-src 'none'), its page images
// (PNG at zoom x devicePixelRatio, drawn one per main-loop turn, never while a request waits for layout)
// and its box (the progress indicator or error display as the plug-in draws them). The plug-in view stays
// the one source of state; the iframe's page is only its presentation.
class InlineViews : public kit::Weakable {
public:
    explicit InlineViews(WebKitWebView* webView);
    ~InlineViews();
    InlineViews(const InlineViews&) = delete;
    InlineViews& operator=(const InlineViews&) = delete;

    // Registers the scheme on the default web context (once per process) and the security settings; call
    // before the first web view is made.
    static void registerScheme();
    // The user content manager a web view of the browser is made with: the user script and the handler.
    static WebKitUserContentManager* makeContentManager();

    struct View {
        std::string token;
        std::unique_ptr<kit::Window> window; // owns the plug-in view
        NRVLectorin* plugin = nullptr;
        kit::Size box; // CSS pixels of the element
        unsigned generation = 0; // bumped when the presentation changes (zoom, colour, loaded)
        unsigned shownGeneration = 0; // the generation of the page the frame asked for last
        bool watching = false; // shown while loading: shown again when the download ends
        // When the frame was last sent to its page, and how often again since it did not ask for it.
        std::chrono::steady_clock::time_point sentAt;
        int resends = 0;
        std::vector<std::string> links; // the URLs of the text layer's links, by the index the frame shows
        TextLayerCache textLayer;
    };
    const std::map<std::string, std::unique_ptr<View>>& views() const { return m_views; }
    // Forgets every view (a new page was committed in the main frame).
    void clear();
    // Reloads every view frame of the page, which then shows the plug-in's current state.
    void refreshAll();

private:
    struct PendingRequest {
        kit::GRefPtr<WebKitURISchemeRequest> request;
        std::string token;
        std::string path;
        std::map<std::string, std::string> query;
    };
    static void schemeRequest(WebKitURISchemeRequest* request, gpointer);
    static gboolean messageWithReply(
        WebKitUserContentManager*, JSCValue* message, WebKitScriptMessageReply* reply, InlineViews* self);
    static InlineViews* forWebView(WebKitWebView* view);
    void handle(PendingRequest pending);
    bool answer(PendingRequest& pending);
    void schedule();
    // The data of the two sources that answer queued page images: which one, so it can forget its id.
    struct QueueSource {
        InlineViews* views;
        guint* id;
    };
    static gboolean answerQueued(gpointer data);
    static void deleteQueueSource(gpointer data);
    static constexpr guint kOverdueMilliseconds = 50;
    void watchLoading(View& view);
    // Keeps the watch timer running while a view loads or its frame has not asked for its newest page.
    void startWatching();
    // One turn of the watch: shows again the views whose download ended, and sends again a frame that
    // has not asked for the page it was sent to (WebKit drops a frame's navigation now and then when it
    // comes while the frame is still loading the page before).
    bool watchTurn();
    // Points the view's frame at its newest generation of the page.
    void send(View& view);
    // Runs work (drawing and compressing a page image) on a worker and answers the request with its PNG.
    void encodeAndFinish(kit::GRefPtr<WebKitURISchemeRequest> request, std::function<std::optional<std::vector<std::uint8_t>>()> work);
    void finishEncodingsWithError();
    // Answers a frame's request with its HTML now; or once a worker has measured the text layer of the
    // pages its cache lacks (which the HTML then takes from the cache).
    void answerFrame(WebKitURISchemeRequest* request, View& view);
    void answerFrameOnceMeasured(kit::GRefPtr<WebKitURISchemeRequest> request, std::string token, TextLayerWork work);
    // Takes a "create" message: false when it is malformed, else true and the reply is answered later.
    bool create(JSCValue* message, WebKitScriptMessageReply* reply);
    // Makes one view from its arguments and answers its frame's URL.
    std::string addView(const kit::Value& arguments, kit::Size box);
    std::optional<std::string> command(JSCValue* message);
    // Follows a link of a view's text layer: a web or mail address in this web view, a bookmark by
    // scrolling the view's frame to it ("scroll:<CSS px>"); nothing else is followed.
    std::optional<std::string> followLink(JSCValue* message);
    void refresh(const std::string& token);

    WebKitWebView* m_webView; // not owned: the window owns the view, which outlives this object
    std::map<std::string, std::unique_ptr<View>> m_views;
    std::deque<PendingRequest> m_pending;
    guint m_work = 0; // the idle source answering page images
    guint m_overdue = 0; // the timer answering them when the loop is never idle
    guint m_watch = 0; // the timer watching views that load and frames sent to a new page
    static constexpr std::chrono::milliseconds kResendAfter { 1000 };
    static constexpr int kMaximumResends = 10;
    struct Encoding {
        kit::GRefPtr<WebKitURISchemeRequest> request;
        kit::BackgroundJob job;
    };
    // Page images being drawn and encoded, and frames waiting for their text layer, by a number of their own.
    std::map<unsigned, Encoding> m_encodings;
    unsigned m_lastEncoding = 0;
    gulong m_messageHandler = 0;
};

} // namespace hosts
