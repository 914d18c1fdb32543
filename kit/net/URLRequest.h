#pragma once

#include "kit/net/HTTPHeaderFields.h"
#include "kit/net/URL.h"

#include <cstddef>
#include <optional>
#include <string>

namespace kit {

// What to load: a URL, the page that asks for it, and how long to wait for the server.
class URLRequest {
public:
    explicit URLRequest(URL url)
        : m_url(std::move(url))
    {
    }
    static URLRequest withURL(URL url) { return URLRequest(std::move(url)); }

    const URL& url() const { return m_url; }

    // The page on whose behalf the load runs: the page's own URL, not the base URL it declares. A page that
    // is not a local file may not load local files (pageMayLoad), and the page's URL is the referrer of http
    // and https loads.
    const std::optional<URL>& mainDocumentURL() const { return m_mainDocumentURL; }
    void setMainDocumentURL(std::optional<URL> url) { m_mainDocumentURL = std::move(url); }

    // Seconds without progress (connecting, or no byte received) after which the load fails with a
    // time-out.
    double timeoutInterval() const { return m_timeoutInterval; }
    void setTimeoutInterval(double seconds) { m_timeoutInterval = seconds; }

    // Seconds the whole load may take, redirects included, however steadily bytes arrive: past it the load
    // fails with a time-out, so that a server sending a byte now and then cannot hold it forever. 0 for none.
    double deadlineInterval() const { return m_deadlineInterval; }
    void setDeadlineInterval(double seconds) { m_deadlineInterval = seconds; }
    // What new requests get; tests shorten it to see a deadline pass within their own bounds.
    static double defaultDeadlineInterval();
    static void setDefaultDeadlineIntervalForTesting(double seconds);

    // Bytes of body after content decoding (gzip, br), all responses of the load together, past which the
    // load fails with DataLengthExceedsMaximum: a few kilobytes of compressed zeros never become gigabytes.
    static constexpr std::size_t kDefaultMaximumBodyLength = std::size_t(256) << 20;
    std::size_t maximumBodyLength() const { return m_maximumBodyLength; }
    void setMaximumBodyLength(std::size_t bytes) { m_maximumBodyLength = bytes; }

    const HTTPHeaderFields& allHTTPHeaderFields() const { return m_headerFields; }
    // Replaces a field of the same name; an empty value removes it.
    void setValueForHTTPHeaderField(const std::string& value, const std::string& name);

private:
    URL m_url;
    std::optional<URL> m_mainDocumentURL;
    double m_timeoutInterval = 60;
    double m_deadlineInterval = defaultDeadlineInterval();
    std::size_t m_maximumBodyLength = kDefaultMaximumBodyLength;
    HTTPHeaderFields m_headerFields;
};

} // namespace kit
