#include "kit/net/CurlSupport.h"

#include <cstdlib>
#include <string>

namespace kit {

namespace {

URLErrorCode codeForCurlResult(CURLcode result)
{
    switch (result) {
    case CURLE_UNSUPPORTED_PROTOCOL:
        return URLErrorCode::UnsupportedURL;
    case CURLE_URL_MALFORMAT:
        return URLErrorCode::BadURL;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
        return URLErrorCode::CannotFindHost;
    case CURLE_COULDNT_CONNECT:
        return URLErrorCode::CannotConnectToHost;
    case CURLE_OPERATION_TIMEDOUT:
        return URLErrorCode::TimedOut;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_HTTP3:
        return URLErrorCode::NetworkConnectionLost;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_CHUNK_FAILED:
        return URLErrorCode::BadServerResponse;
    case CURLE_TOO_MANY_REDIRECTS:
        return URLErrorCode::HTTPTooManyRedirects;
    case CURLE_BAD_CONTENT_ENCODING:
        return URLErrorCode::CannotDecodeContentData;
    case CURLE_FILESIZE_EXCEEDED:
        return URLErrorCode::DataLengthExceedsMaximum;
    case CURLE_PEER_FAILED_VERIFICATION:
        return URLErrorCode::ServerCertificateUntrusted;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
        return URLErrorCode::SecureConnectionFailed;
    case CURLE_FILE_COULDNT_READ_FILE:
        return URLErrorCode::FileDoesNotExist;
    case CURLE_ABORTED_BY_CALLBACK:
        return URLErrorCode::Cancelled;
    default:
        return URLErrorCode::Unknown;
    }
}

} // namespace

void applyCommonCurlOptions(CURL* easy)
{
    curl().easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl().easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,file");
    curl().easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl().easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // Tests run https servers of their own on 127.0.0.1 and name their certificate here; it replaces the
    // system's authorities for the process. Verification is never turned off.
    if (const char* authorities = getenv("LECTORIN_TEST_CA_FILE"); authorities && *authorities)
        curl().easy_setopt(easy, CURLOPT_CAINFO, authorities);
    // A browser never sends its own machine's traffic through a proxy; keep whatever the user excluded.
    std::string noProxy = "localhost,127.0.0.1,::1";
    for (const char* name : { "no_proxy", "NO_PROXY" }) {
        if (const char* value = getenv(name); value && *value) {
            noProxy = std::string(value) + ',' + noProxy;
            break;
        }
    }
    curl().easy_setopt(easy, CURLOPT_NOPROXY, noProxy.c_str());
}

Error errorForCurlResult(CURLcode result, const URL& url, const char* detail)
{
    std::map<std::string, std::string> userInfo;
    std::string underlying = curl().easy_strerror(result);
    if (detail && *detail)
        underlying += std::string(": ") + detail;
    userInfo[UnderlyingErrorDescriptionKey] = underlying;

    URLErrorCode code = codeForCurlResult(result);
    if (url.isFileURL()) {
        if (auto problem = localFileProblem(url))
            code = *problem;
    }
    return Error::urlError(code, url.absoluteString(), std::move(userInfo));
}

} // namespace kit
