#pragma once

#include "kit/foundation/WeakPtr.h"
#include "kit/net/Error.h"
#include "kit/net/URLConnectionDelegate.h"
#include "kit/net/URLRequest.h"
#include "kit/net/URLResponse.h"

#include <deque>
#include <memory>
#include <variant>
#include <vector>

namespace kit {

class Transfer;

// An asynchronous URL load (http, https, file) whose progress reaches a delegate through the run loop.
// Redirects are followed to http and https only. The connection is owned by whoever started it;
// destroying it cancels the load.
class URLConnection : public Weakable {
public:
    // nullptr when the request cannot be loaded at all: a scheme other than http, https and file, or a
    // relative URL. Nothing is reported then. A load that policy forbids (a local file asked for by a page
    // from the web) does get a connection, whose failure arrives on a later turn of the run loop, as every
    // callback does. The delegate is not owned and must outlive the connection or destroy it.
    static std::unique_ptr<URLConnection> start(const URLRequest&, URLConnectionDelegate*);
    static bool canHandleRequest(const URLRequest&);

    ~URLConnection();
    URLConnection(const URLConnection&) = delete;
    URLConnection& operator=(const URLConnection&) = delete;

    // Stops the load at once: its socket is closed and the delegate hears nothing more, not even about
    // what had already arrived. Safe at any time, from inside a callback too.
    void cancel();

    const URLRequest& originalRequest() const { return m_request; }
    // The URL now being loaded: the request's, or the last redirect's target.
    const URL& currentURL() const;

private:
    class TransferSink;
    struct Finished { };
    using Event = std::variant<URLResponse, std::vector<std::uint8_t>, Finished, Error>;
    enum class State { Loading, Ended, Cancelled };

    URLConnection(const URLRequest&, URLConnectionDelegate&);
    void enqueue(Event);
    void scheduleDelivery();
    static int deliverFromRunLoop(void* connection);
    void deliverPendingEvents();

    URLRequest m_request;
    URLConnectionDelegate& m_delegate;
    std::unique_ptr<TransferSink> m_sink;
    std::unique_ptr<Transfer> m_transfer;
    State m_state = State::Loading;
    // Recorded from the transfer's callbacks, handed to the delegate from a GLib idle source (id, 0 when none).
    std::deque<Event> m_pendingEvents;
    unsigned m_deliverySource = 0;
    bool m_isDelivering = false;
};

} // namespace kit
