#pragma once

#include <map>
#include <optional>
#include <string>

namespace kit {

inline constexpr const char* URLErrorDomain = "NSURLErrorDomain";
// userInfo keys.
inline constexpr const char* ErrorFailingURLStringKey = "NSErrorFailingURLStringKey";
inline constexpr const char* LocalizedDescriptionKey = "NSLocalizedDescription";
// The transport's own words, for a developer reading a log, never shown to users.
inline constexpr const char* UnderlyingErrorDescriptionKey = "NSUnderlyingErrorDescription";

// The failure kinds of URL loading, with the platform's numbers so that logs read the same.
enum class URLErrorCode : int {
    Unknown = -1,
    Cancelled = -999,
    BadURL = -1000,
    TimedOut = -1001,
    UnsupportedURL = -1002,
    CannotFindHost = -1003,
    CannotConnectToHost = -1004,
    NetworkConnectionLost = -1005,
    HTTPTooManyRedirects = -1007,
    RedirectToNonExistentLocation = -1010,
    BadServerResponse = -1011,
    CannotDecodeContentData = -1016,
    FileDoesNotExist = -1100,
    FileIsDirectory = -1101,
    NoPermissionsToReadFile = -1102,
    DataLengthExceedsMaximum = -1103,
    SecureConnectionFailed = -1200,
    ServerCertificateUntrusted = -1202,
};

// A failure: a domain, a code within it and string-valued details.
class Error {
public:
    Error(std::string domain, int code, std::map<std::string, std::string> userInfo = {});
    // A URL loading failure for failingURL (the URL whose load failed, as a string).
    static Error urlError(
        URLErrorCode, const std::string& failingURL, std::map<std::string, std::string> userInfo = {});

    const std::string& domain() const { return m_domain; }
    int code() const { return m_code; }
    const std::map<std::string, std::string>& userInfo() const { return m_userInfo; }
    std::optional<std::string> userInfoValue(const std::string& key) const;
    // A readable English sentence: userInfo's LocalizedDescriptionKey when set, else the text of the
    // domain's code.
    std::string localizedDescription() const;

private:
    std::string m_domain;
    int m_code;
    std::map<std::string, std::string> m_userInfo;
};

} // namespace kit
