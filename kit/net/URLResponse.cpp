#include "kit/net/URLResponse.h"

#include "kit/foundation/Ascii.h"
#include "kit/net/MIMETypes.h"
#include "kit/net/PercentEncoding.h"

#include <algorithm>
#include <glib.h>
#include <map>

namespace kit {

namespace {

constexpr const char* kDefaultMIMEType = "application/octet-stream";
// Longest file name most Linux file systems accept, in bytes.
constexpr std::size_t kMaximumFilenameLength = 255;

// The parameters after a header value's first ';' (Content-Type, Content-Disposition), names lowercase,
// quoted strings unquoted. The first occurrence of a name wins.
std::map<std::string, std::string> headerParameters(std::string_view value)
{
    std::map<std::string, std::string> parameters;
    auto pos = value.find(';');
    while (pos != std::string_view::npos && pos < value.size()) {
        ++pos;
        auto nameEnd = value.find_first_of("=;", pos);
        std::string name = asciiLower(
            trimmedBlanks(value.substr(pos, nameEnd == std::string_view::npos ? std::string_view::npos : nameEnd - pos)));
        if (nameEnd == std::string_view::npos || value[nameEnd] == ';') {
            pos = nameEnd;
            continue;
        }
        pos = nameEnd + 1;
        while (pos < value.size() && (value[pos] == ' ' || value[pos] == '\t'))
            ++pos;
        std::string parameterValue;
        if (pos < value.size() && value[pos] == '"') {
            ++pos;
            while (pos < value.size() && value[pos] != '"') {
                if (value[pos] == '\\' && pos + 1 < value.size())
                    ++pos;
                parameterValue += value[pos++];
            }
            pos = value.find(';', pos);
        } else {
            auto end = value.find(';', pos);
            parameterValue = std::string(
                trimmedBlanks(value.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos)));
            pos = end;
        }
        if (!name.empty())
            parameters.emplace(std::move(name), std::move(parameterValue));
    }
    return parameters;
}

std::optional<std::string> convertedToUTF8(const std::string& bytes, const std::string& charset)
{
    gsize written = 0;
    gchar* converted
        = g_convert(bytes.data(), gssize(bytes.size()), "UTF-8", charset.c_str(), nullptr, &written, nullptr);
    if (!converted)
        return std::nullopt;
    std::string result(converted, written);
    g_free(converted);
    return result;
}

// An RFC 5987 ext-value: charset'language'percent-encoded bytes.
std::optional<std::string> decodedExtendedValue(std::string_view value, std::string* charset)
{
    auto first = value.find('\'');
    auto second = first == std::string_view::npos ? first : value.find('\'', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    *charset = std::string(value.substr(0, first));
    return percentDecode(value.substr(second + 1));
}

std::optional<std::string> filenameFromContentDisposition(std::string_view header)
{
    auto parameters = headerParameters(header);
    if (auto it = parameters.find("filename*"); it != parameters.end()) {
        std::string charset;
        if (auto bytes = decodedExtendedValue(it->second, &charset); bytes && !charset.empty()) {
            if (auto name = convertedToUTF8(*bytes, charset))
                return name;
        }
    }
    // RFC 2231 continuations: filename*0*=charset''part, filename*1*=part, filename*2=literal part...
    std::string joined, charset;
    for (int index = 0;; ++index) {
        std::string prefix = "filename*" + std::to_string(index);
        if (auto encoded = parameters.find(prefix + '*'); encoded != parameters.end()) {
            if (index == 0) {
                auto bytes = decodedExtendedValue(encoded->second, &charset);
                if (!bytes)
                    break;
                joined += *bytes;
            } else
                joined += percentDecode(encoded->second);
        } else if (auto literal = parameters.find(prefix); literal != parameters.end())
            joined += literal->second;
        else
            break;
    }
    if (!joined.empty()) {
        if (auto name = convertedToUTF8(joined, charset.empty() ? "UTF-8" : charset))
            return name;
    }
    if (auto it = parameters.find("filename"); it != parameters.end())
        return utf8FromBytes(it->second);
    return std::nullopt;
}

// A name that stays inside the folder it is saved into and shows no control characters; empty when
// nothing usable is left.
std::string sanitizedFilename(std::string_view name)
{
    auto separator = name.find_last_of("/\\");
    if (separator != std::string_view::npos)
        name.remove_prefix(separator + 1);
    std::string out;
    for (char c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F)
            out += c;
    }
    // No leading dots, also behind blanks (". .name" would otherwise become the hidden ".name").
    std::string_view kept = trimmedBlanks(out);
    while (!kept.empty() && (kept.front() == '.' || kept.front() == ' ' || kept.front() == '\t'))
        kept.remove_prefix(1);
    std::string result(trimmedBlanks(kept));
    if (result.size() > kMaximumFilenameLength) {
        auto dot = result.rfind('.');
        std::string extension = (dot != std::string::npos && result.size() - dot <= 16) ? result.substr(dot) : "";
        std::size_t cut = kMaximumFilenameLength - extension.size();
        // Never cut a UTF-8 sequence in two.
        while (cut > 0 && (static_cast<unsigned char>(result[cut]) & 0xC0) == 0x80)
            --cut;
        result = result.substr(0, cut) + extension;
    }
    return result;
}

} // namespace

URLResponse::URLResponse(
    URL url, std::string mimeType, long long expectedContentLength, std::optional<std::string> textEncodingName)
    : m_url(std::move(url))
    , m_mimeType(std::move(mimeType))
    , m_textEncodingName(std::move(textEncodingName))
    , m_expectedContentLength(expectedContentLength)
{
}

URLResponse URLResponse::httpResponse(URL url, int statusCode, HTTPHeaderFields headerFields)
{
    std::string mimeType;
    std::optional<std::string> encoding;
    if (auto contentType = headerFieldValue(headerFields, "Content-Type")) {
        std::string_view value = *contentType;
        std::string type = asciiLower(trimmedBlanks(value.substr(0, value.find(';'))));
        auto slash = type.find('/');
        if (slash != std::string::npos && slash > 0 && slash + 1 < type.size())
            mimeType = type;
        auto parameters = headerParameters(value);
        if (auto charset = parameters.find("charset"); charset != parameters.end() && !charset->second.empty())
            encoding = asciiLower(charset->second);
    }
    if (mimeType.empty())
        mimeType = mimeTypeForExtension(url.pathExtension());
    if (mimeType.empty())
        mimeType = kDefaultMIMEType;

    long long length = -1;
    auto coding = headerFieldValue(headerFields, "Content-Encoding");
    bool lengthIsOfCodedBytes = coding && !trimmedBlanks(*coding).empty() && asciiLower(trimmedBlanks(*coding)) != "identity";
    if (auto contentLength = headerFieldValue(headerFields, "Content-Length"); contentLength && !lengthIsOfCodedBytes) {
        std::string_view digits = trimmedBlanks(*contentLength);
        if (!digits.empty() && digits.size() <= 18
            && std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
            length = std::stoll(std::string(digits));
    }

    URLResponse response(std::move(url), std::move(mimeType), length, std::move(encoding));
    response.m_isHTTP = true;
    response.m_statusCode = statusCode;
    response.m_headerFields = std::move(headerFields);
    return response;
}

URLResponse URLResponse::fileResponse(URL url, long long length)
{
    std::string mimeType = mimeTypeForExtension(url.pathExtension());
    if (mimeType.empty())
        mimeType = kDefaultMIMEType;
    return URLResponse(std::move(url), std::move(mimeType), length, std::nullopt);
}

std::string URLResponse::suggestedFilename() const
{
    std::string name;
    if (auto disposition = valueForHTTPHeaderField("Content-Disposition")) {
        if (auto fromHeader = filenameFromContentDisposition(*disposition))
            name = sanitizedFilename(*fromHeader);
    }
    if (name.empty()) {
        std::string component = m_url.lastPathComponent();
        if (component != "/")
            name = sanitizedFilename(component);
    }
    if (name.empty())
        name = sanitizedFilename(m_url.host());
    if (name.empty())
        name = "unknown";

    auto dot = name.rfind('.');
    bool hasExtension = dot != std::string::npos && dot > 0 && dot + 1 < name.size();
    if (!hasExtension) {
        std::string extension = preferredExtensionForMIMEType(m_mimeType);
        if (!extension.empty()) {
            if (name.back() == '.')
                name.pop_back();
            name += '.' + extension;
        }
    }
    return name;
}

} // namespace kit
