#pragma once

#include "kit/net/CurlMultiDriver.h"
#include "kit/net/Error.h"
#include "kit/net/Transfer.h"
#include "kit/net/URLRequest.h"
#include "kit/net/URLResponse.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace kit {

// One URL load through libcurl, redirects included. Every HTTP response is reported, each with its own
// body: the redirects are followed here rather than by curl, which would drop a redirect's body. The
// events reach the sink from inside curl's callbacks, so the sink must only record them (never call into
// curl, never destroy this transfer there).
class CurlTransfer final : public Transfer, private CurlTransferClient {
public:
    // Redirects after which a load gives up, as browsers do.
    static constexpr int kMaximumRedirects = 20;

    CurlTransfer(const URLRequest&, Sink&);
    // An unfinished transfer is stopped and its connection closed.
    ~CurlTransfer() override;

    // false when curl could not be loaded or could not take the transfer; nothing is reported then.
    bool start() override;
    const URL& currentURL() const override { return m_currentURL; }

private:
    static std::size_t headerCallback(char*, std::size_t, std::size_t count, void* transfer);
    static std::size_t writeCallback(char*, std::size_t, std::size_t count, void* transfer);
    void curlTransferDidComplete(CURLcode) override;
    void prepareHop();
    void receiveHeaderLine(std::string_view);
    void reportResponseIfNeeded();
    void fail(Error);
    // One GLib timer watches both limits: it fires at whichever comes first, the end of the inactivity
    // interval or the deadline.
    void scheduleWatchdog();
    static gboolean watchdogDidFire(gpointer transfer);

    std::shared_ptr<CurlMultiDriver> m_driver;
    Sink& m_sink;
    URLRequest m_request;
    URL m_currentURL;
    CURL* m_easy = nullptr;
    curl_slist* m_requestHeaders = nullptr;
    bool m_isRunning = false;
    int m_redirectCount = 0;
    char m_errorBuffer[CURL_ERROR_SIZE] = {};
    // The request's time-out counts from the last sign of life (start, a header line, a byte of body);
    // its deadline from start(), across redirects. Zero durations and an unset deadline mean no limit.
    std::chrono::steady_clock::duration m_inactivityLimit {};
    std::chrono::steady_clock::time_point m_lastActivity;
    std::optional<std::chrono::steady_clock::time_point> m_deadline;
    guint m_watchdog = 0;
    // Decoded body bytes of every response so far, against the request's maximum.
    std::size_t m_receivedBodyLength = 0;
    bool m_didExceedMaximumLength = false;

    // The response being received; reset for each redirect and each interim (1xx) response.
    HTTPHeadReader m_head; // of the current hop
    bool m_didReportResponse = false;
};

} // namespace kit
