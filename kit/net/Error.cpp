#include "kit/net/Error.h"

namespace kit {

namespace {

const char* urlErrorDescription(int code)
{
    switch (static_cast<URLErrorCode>(code)) {
    case URLErrorCode::Unknown:
        return "An unknown error occurred.";
    case URLErrorCode::Cancelled:
        return "The operation was cancelled.";
    case URLErrorCode::BadURL:
        return "The URL is not valid.";
    case URLErrorCode::TimedOut:
        return "The request timed out.";
    case URLErrorCode::UnsupportedURL:
        return "The URL is not supported.";
    case URLErrorCode::CannotFindHost:
        return "A server with the specified hostname could not be found.";
    case URLErrorCode::CannotConnectToHost:
        return "Could not connect to the server.";
    case URLErrorCode::NetworkConnectionLost:
        return "The network connection was lost.";
    case URLErrorCode::HTTPTooManyRedirects:
        return "Too many HTTP redirects.";
    case URLErrorCode::RedirectToNonExistentLocation:
        return "The server redirected to a location that is not valid.";
    case URLErrorCode::BadServerResponse:
        return "The server returned a response that could not be understood.";
    case URLErrorCode::CannotDecodeContentData:
        return "The data received from the server could not be decoded.";
    case URLErrorCode::FileDoesNotExist:
        return "The requested URL was not found on this server.";
    case URLErrorCode::FileIsDirectory:
        return "The requested URL is a folder, not a file.";
    case URLErrorCode::NoPermissionsToReadFile:
        return "You do not have permission to access the requested resource.";
    case URLErrorCode::DataLengthExceedsMaximum:
        return "The resource exceeds the maximum size.";
    case URLErrorCode::SecureConnectionFailed:
        return "An SSL error has occurred and a secure connection to the server cannot be made.";
    case URLErrorCode::ServerCertificateUntrusted:
        return "The certificate for this server is invalid.";
    }
    return "An unknown error occurred.";
}

} // namespace

Error::Error(std::string domain, int code, std::map<std::string, std::string> userInfo)
    : m_domain(std::move(domain))
    , m_code(code)
    , m_userInfo(std::move(userInfo))
{
}

Error Error::urlError(URLErrorCode code, const std::string& failingURL, std::map<std::string, std::string> userInfo)
{
    userInfo[ErrorFailingURLStringKey] = failingURL;
    return Error(URLErrorDomain, static_cast<int>(code), std::move(userInfo));
}

std::optional<std::string> Error::userInfoValue(const std::string& key) const
{
    auto it = m_userInfo.find(key);
    if (it == m_userInfo.end())
        return std::nullopt;
    return it->second;
}

std::string Error::localizedDescription() const
{
    if (auto description = userInfoValue(LocalizedDescriptionKey))
        return *description;
    if (m_domain == URLErrorDomain)
        return urlErrorDescription(m_code);
    return "The operation couldn't be completed. (" + m_domain + " error " + std::to_string(m_code) + ".)";
}

} // namespace kit
