#pragma once

#include <cstdint>
#include <span>

namespace kit {

class Error;
class URLConnection;
class URLResponse;

// Hears a URL connection's progress, always from the run loop and never from inside another of these
// calls for the same connection. Order: any number of responses, each followed by its body in pieces of
// data, then exactly one of finish or failure; nothing after cancel(). Any of them may destroy the
// connection.
class URLConnectionDelegate {
public:
    virtual ~URLConnectionDelegate() = default;
    virtual void connectionDidReceiveResponse(URLConnection&, const URLResponse&) { }
    virtual void connectionDidReceiveData(URLConnection&, std::span<const std::uint8_t>) { }
    virtual void connectionDidFinishLoading(URLConnection&) { }
    virtual void connectionDidFailWithError(URLConnection&, const Error&) { }
};

} // namespace kit
