#include "kit/net/URLConnection.h"

#include "kit/net/CurlTransfer.h"
#include "kit/net/FileTransfer.h"
#include "kit/net/LoadPolicy.h"

#include <cassert>
#include <glib.h>

namespace kit {

namespace {

bool isWebScheme(const std::string& scheme) { return scheme == "http" || scheme == "https"; }

} // namespace

// Records what the transfer reports; curl may be inside its own callbacks then, so nothing else may happen.
class URLConnection::TransferSink final : public Transfer::Sink {
public:
    explicit TransferSink(URLConnection& connection)
        : m_connection(connection)
    {
    }
    void transferDidReceiveResponse(URLResponse response) override { m_connection.enqueue(std::move(response)); }
    void transferDidReceiveData(std::span<const std::uint8_t> bytes) override
    {
        // Pieces that arrive before the delegate has seen the previous one travel together.
        auto& events = m_connection.m_pendingEvents;
        if (!events.empty()) {
            if (auto* data = std::get_if<std::vector<std::uint8_t>>(&events.back())) {
                data->insert(data->end(), bytes.begin(), bytes.end());
                return;
            }
        }
        m_connection.enqueue(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    void transferDidFinish() override { m_connection.enqueue(Finished {}); }
    void transferDidFail(Error error) override { m_connection.enqueue(std::move(error)); }

private:
    URLConnection& m_connection;
};

bool URLConnection::canHandleRequest(const URLRequest& request)
{
    std::string scheme = request.url().scheme();
    return isWebScheme(scheme) || scheme == "file";
}

std::unique_ptr<URLConnection> URLConnection::start(const URLRequest& request, URLConnectionDelegate* delegate)
{
    assert(delegate);
    if (!delegate || !canHandleRequest(request))
        return nullptr;
    std::unique_ptr<URLConnection> connection(new URLConnection(request, *delegate));

    // A page from the web may not read the files of the machine it is shown on.
    if (!pageMayLoad(request.mainDocumentURL(), request.url())) {
        connection->enqueue(Error::urlError(URLErrorCode::NoPermissionsToReadFile, request.url().absoluteString(),
            { { LocalizedDescriptionKey, "Not allowed to load a local resource from a web page." } }));
        return connection;
    }

    connection->m_sink = std::make_unique<TransferSink>(*connection);
    // This machine's files are read here: a command that opens one never loads the network library.
    if (FileTransfer::handles(request.url()))
        connection->m_transfer = std::make_unique<FileTransfer>(connection->m_request, *connection->m_sink);
    else
        connection->m_transfer = std::make_unique<CurlTransfer>(connection->m_request, *connection->m_sink);
    if (!connection->m_transfer->start())
        return nullptr;
    return connection;
}

URLConnection::URLConnection(const URLRequest& request, URLConnectionDelegate& delegate)
    : m_request(request)
    , m_delegate(delegate)
{
}

URLConnection::~URLConnection()
{
    cancel();
}

const URL& URLConnection::currentURL() const { return m_transfer ? m_transfer->currentURL() : m_request.url(); }

void URLConnection::cancel()
{
    if (m_state != State::Loading)
        return;
    m_state = State::Cancelled;
    // Destroying the transfer removes it from curl and closes its socket.
    m_transfer.reset();
    m_pendingEvents.clear();
    if (m_deliverySource) {
        g_source_remove(m_deliverySource);
        m_deliverySource = 0;
    }
}

void URLConnection::enqueue(Event event)
{
    m_pendingEvents.push_back(std::move(event));
    scheduleDelivery();
}

void URLConnection::scheduleDelivery()
{
    // A delivery in progress (its delegate may be running a nested loop) picks the new event up itself.
    if (m_deliverySource || m_isDelivering)
        return;
    m_deliverySource = g_idle_add_full(G_PRIORITY_DEFAULT, deliverFromRunLoop, this, nullptr);
}

int URLConnection::deliverFromRunLoop(void* opaque)
{
    auto* connection = static_cast<URLConnection*>(opaque);
    connection->m_deliverySource = 0;
    connection->deliverPendingEvents();
    return G_SOURCE_REMOVE;
}

void URLConnection::deliverPendingEvents()
{
    // The delegate may destroy this connection: the delivery then stops at once.
    WeakPtr<URLConnection> self(this);
    m_isDelivering = true;
    while (m_state == State::Loading && !m_pendingEvents.empty()) {
        // Moved out first: the delegate may destroy this connection, and with it the queue.
        Event event = std::move(m_pendingEvents.front());
        m_pendingEvents.pop_front();
        bool isLast = std::holds_alternative<Finished>(event) || std::holds_alternative<Error>(event);
        if (isLast)
            m_state = State::Ended;
        if (auto* response = std::get_if<URLResponse>(&event))
            m_delegate.connectionDidReceiveResponse(*this, *response);
        else if (auto* data = std::get_if<std::vector<std::uint8_t>>(&event))
            m_delegate.connectionDidReceiveData(*this, *data);
        else if (std::holds_alternative<Finished>(event))
            m_delegate.connectionDidFinishLoading(*this);
        else
            m_delegate.connectionDidFailWithError(*this, std::get<Error>(event));
        if (!self)
            return;
    }
    m_isDelivering = false;
}

} // namespace kit
