#include "kit/net/SynchronousFetch.h"

#include "kit/net/CurlSupport.h"

#include <memory>

namespace kit {

namespace {

struct BodyBuffer {
    std::vector<std::uint8_t> bytes;
    std::size_t limit = 0;
    bool didExceedLimit = false;
};

std::size_t appendToBody(char* data, std::size_t, std::size_t count, void* opaque)
{
    auto* buffer = static_cast<BodyBuffer*>(opaque);
    if (count > buffer->limit - buffer->bytes.size()) {
        buffer->didExceedLimit = true;
        return 0; // curl ends the transfer with a write error
    }
    buffer->bytes.insert(buffer->bytes.end(), data, data + count);
    return count;
}

} // namespace

FetchResult fetchSynchronously(const URL& url, std::size_t maximumBytes)
{
    FetchLimits limits;
    limits.maximumBytes = maximumBytes;
    return fetchSynchronously(url, limits);
}

FetchResult fetchSynchronously(const URL& url, const FetchLimits& limits)
{
    FetchResult result;
    std::string scheme = url.scheme();
    if (scheme != "http" && scheme != "https" && scheme != "file") {
        result.error = Error::urlError(URLErrorCode::UnsupportedURL, url.absoluteString());
        return result;
    }

    if (!loadCurl()) {
        result.error = Error::urlError(URLErrorCode::Unknown, url.absoluteString(),
            { { UnderlyingErrorDescriptionKey, "libcurl could not be loaded" } });
        return result;
    }
    auto cleanup = [](CURL* easy) { curl().easy_cleanup(easy); };
    std::unique_ptr<CURL, decltype(cleanup)> easy(curl().easy_init(), cleanup);
    if (!easy) {
        result.error = Error::urlError(URLErrorCode::Unknown, url.absoluteString());
        return result;
    }
    BodyBuffer buffer;
    buffer.limit = limits.maximumBytes;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    applyCommonCurlOptions(easy.get());
    if (limits.isSecureOnly) {
        curl().easy_setopt(easy.get(), CURLOPT_PROTOCOLS_STR, "https");
        curl().easy_setopt(easy.get(), CURLOPT_REDIR_PROTOCOLS_STR, "https");
    }
    curl().easy_setopt(easy.get(), CURLOPT_URL, url.withoutFragment().absoluteString().c_str());
    curl().easy_setopt(easy.get(), CURLOPT_ERRORBUFFER, errorBuffer);
    curl().easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, appendToBody);
    curl().easy_setopt(easy.get(), CURLOPT_WRITEDATA, &buffer);
    curl().easy_setopt(easy.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl().easy_setopt(easy.get(), CURLOPT_MAXREDIRS, 20L);
    curl().easy_setopt(easy.get(), CURLOPT_ACCEPT_ENCODING, "");
    curl().easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT_MS, long(limits.connectTimeout.count()));
    curl().easy_setopt(easy.get(), CURLOPT_TIMEOUT_MS, long(limits.totalTimeout.count()));
    // A declared length over the limit fails before any byte of the body is read.
    curl().easy_setopt(easy.get(), CURLOPT_MAXFILESIZE_LARGE, curl_off_t(limits.maximumBytes));

    CURLcode code = curl().easy_perform(easy.get());

    long status = 0;
    curl().easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    result.statusCode = int(status);
    char* effective = nullptr;
    curl().easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &effective);
    result.url = effective ? URL::withString(effective) : url;
    if (!result.url)
        result.url = url;

    if (buffer.didExceedLimit || code == CURLE_FILESIZE_EXCEEDED)
        result.error = Error::urlError(URLErrorCode::DataLengthExceedsMaximum, result.url->absoluteString());
    else if (code != CURLE_OK) {
        // A refused redirect names its target, as the asynchronous loads do.
        char* redirect = nullptr;
        curl().easy_getinfo(easy.get(), CURLINFO_REDIRECT_URL, &redirect);
        std::optional<URL> failing
            = (code == CURLE_UNSUPPORTED_PROTOCOL && redirect) ? URL::withString(redirect) : result.url;
        result.error = errorForCurlResult(code, failing.value_or(url), errorBuffer);
    } else if (auto problem = localFileProblem(url); problem && url.isFileURL()) {
        result.error = Error::urlError(*problem, url.absoluteString());
    } else {
        result.body = std::move(buffer.bytes);
        return result;
    }
    return result;
}

} // namespace kit
