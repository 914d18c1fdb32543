#pragma once

#include "kit/net/HTTPHeaderFields.h"
#include "kit/net/URL.h"

#include <optional>
#include <string>
#include <string_view>

namespace kit {

// What a URL load learned about the resource before its bytes: one per HTTP response received (a redirect
// has its own), one for a file.
class URLResponse {
public:
    // A response without HTTP: status 0, no header fields. expectedContentLength is in bytes, −1 unknown.
    URLResponse(
        URL url, std::string mimeType, long long expectedContentLength, std::optional<std::string> textEncodingName);
    // MIME type, text encoding and length come from the header fields; without a Content-Type the MIME
    // type is guessed from the URL's extension, else "application/octet-stream".
    static URLResponse httpResponse(URL url, int statusCode, HTTPHeaderFields headerFields);
    // A local file of that many bytes; the MIME type is guessed from the extension.
    static URLResponse fileResponse(URL url, long long length);

    const URL& url() const { return m_url; }
    bool isHTTP() const { return m_isHTTP; }
    // 0 for a response without HTTP.
    int statusCode() const { return m_statusCode; }
    const HTTPHeaderFields& allHeaderFields() const { return m_headerFields; }
    std::optional<std::string> valueForHTTPHeaderField(std::string_view name) const
    {
        return headerFieldValue(m_headerFields, name);
    }
    // Lowercase, without parameters: "text/html".
    const std::string& mimeType() const { return m_mimeType; }
    // The charset parameter of the Content-Type, lowercase: "utf-8".
    const std::optional<std::string>& textEncodingName() const { return m_textEncodingName; }
    // Bytes, −1 when unknown (no Content-Length, or a content coding that changes the length).
    long long expectedContentLength() const { return m_expectedContentLength; }

    // The file name a save panel proposes: Content-Disposition's filename* (RFC 5987/2231, any charset
    // GLib knows) wins over its filename; else the URL's last path component, decoded; else the host;
    // else "unknown". Directory parts, control characters and leading dots are removed, so the name
    // cannot leave the folder it is saved into. When the name has no extension, the MIME type's is added.
    std::string suggestedFilename() const;

private:
    URL m_url;
    bool m_isHTTP = false;
    int m_statusCode = 0;
    HTTPHeaderFields m_headerFields;
    std::string m_mimeType;
    std::optional<std::string> m_textEncodingName;
    long long m_expectedContentLength = -1;
};

} // namespace kit
