#pragma once

#include "kit/net/Error.h"
#include "kit/net/URL.h"
#include "kit/net/URLResponse.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kit {

// One URL load, redirects included, as the connection sees it: it reports each response, the body's bytes
// and how the load ended to a sink, which must only record them (never destroy the transfer there).
class Transfer {
public:
    class Sink {
    public:
        virtual void transferDidReceiveResponse(URLResponse) = 0;
        virtual void transferDidReceiveData(std::span<const std::uint8_t>) = 0;
        virtual void transferDidFinish() = 0;
        virtual void transferDidFail(Error) = 0;

    protected:
        ~Sink() = default;
    };

    Transfer() = default;
    virtual ~Transfer() = default;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    // false when the load could not be started; nothing is reported then.
    virtual bool start() = 0;
    // The URL now being loaded: the request's, or the last redirect's target.
    virtual const URL& currentURL() const = 0;
};

// The failure of a load whose body would pass maximum bytes.
Error dataLengthExceedsMaximumError(const URL& url, std::size_t maximum);

// What keeps a local file URL from being read (missing, a folder, unreadable); nullopt when nothing does
// or the URL is not a local file's.
std::optional<URLErrorCode> localFileProblem(const URL&);

} // namespace kit
