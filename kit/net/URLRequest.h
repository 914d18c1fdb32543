#pragma once

#include "kit/net/HTTPHeaderFields.h"
#include "kit/net/URL.h"

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

    const HTTPHeaderFields& allHTTPHeaderFields() const { return m_headerFields; }
    // Replaces a field of the same name; an empty value removes it.
    void setValueForHTTPHeaderField(const std::string& value, const std::string& name);

private:
    URL m_url;
    std::optional<URL> m_mainDocumentURL;
    double m_timeoutInterval = 60;
    HTTPHeaderFields m_headerFields;
};

} // namespace kit
