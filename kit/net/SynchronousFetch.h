#pragma once

#include "kit/net/Error.h"
#include "kit/net/URL.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kit {

struct FetchLimits {
    // A body longer than this is a failure (DataLengthExceedsMaximum), not a truncated success.
    std::size_t maximumBytes = 1 << 20;
    std::chrono::milliseconds connectTimeout { 10'000 };
    // For the whole fetch, redirects included.
    std::chrono::milliseconds totalTimeout { 60'000 };
    // https only, redirects included: a redirect to http fails (UnsupportedURL) instead of giving the
    // answer to anyone on the way.
    bool isSecureOnly = false;
};

struct FetchResult {
    // The URL the body came from, after redirects.
    std::optional<URL> url;
    // The last HTTP status received; 0 for a file or when no response arrived.
    int statusCode = 0;
    // Empty when the fetch failed.
    std::vector<std::uint8_t> body;
    std::optional<Error> error;

    bool succeeded() const { return !error; }
};

// Fetches a small resource (http, https, file; redirects to http and https only) and blocks the calling
// thread until it has arrived or failed. An HTTP error status is not a failure: the caller reads
// statusCode. 10 s to connect and 60 s in all unless the limits say otherwise.
FetchResult fetchSynchronously(const URL&, std::size_t maximumBytes);
FetchResult fetchSynchronously(const URL&, const FetchLimits&);

} // namespace kit
