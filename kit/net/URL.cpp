#include "kit/net/URL.h"

#include "kit/foundation/Ascii.h"
#include "kit/foundation/Utf8.h"
#include "kit/net/PercentEncoding.h"

#include <cassert>
#include <filesystem>
#include <glib.h>

namespace kit {

namespace {

bool isAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// Schemes whose URLs browsers treat as hierarchical paths, where '\' separates segments as '/' does.
bool isSpecialScheme(std::string_view scheme) { return scheme == "http" || scheme == "https" || scheme == "file"; }

// Attribute values arrive with surrounding white space and line breaks from the page's markup.
std::string cleaned(std::string_view input)
{
    std::size_t begin = 0, end = input.size();
    while (begin < end && static_cast<unsigned char>(input[begin]) <= 0x20)
        ++begin;
    while (end > begin && static_cast<unsigned char>(input[end - 1]) <= 0x20)
        --end;
    std::string out;
    out.reserve(end - begin);
    for (std::size_t i = begin; i < end; ++i) {
        if (input[i] != '\t' && input[i] != '\n' && input[i] != '\r')
            out += input[i];
    }
    return out;
}

struct Authority {
    std::optional<std::string> userInfo;
    std::string host;
    bool isIPv6Literal = false;
    std::optional<int> port;

    std::string formatted() const
    {
        std::string out;
        if (userInfo)
            out += *userInfo + '@';
        out += isIPv6Literal ? '[' + host + ']' : host;
        if (port)
            out += ':' + std::to_string(*port);
        return out;
    }
};

bool isRegisteredNameCharacter(std::string_view host, std::size_t i)
{
    char c = host[i];
    if (isAsciiAlpha(c) || isAsciiDigit(c))
        return true;
    if (c == '%')
        return i + 2 < host.size() && g_ascii_isxdigit(host[i + 1]) && g_ascii_isxdigit(host[i + 2]);
    return std::string_view("-._~!$&'()*+,;=").find(c) != std::string_view::npos;
}

// Splits and checks an authority; the user information comes out percent-encoded, a non-ASCII host name
// in its ASCII (IDNA) form.
std::optional<Authority> parseAuthority(std::string_view raw, bool lowercaseHost)
{
    Authority authority;
    std::string_view hostAndPort = raw;
    // The last '@' ends the user information: earlier ones belong to it, as in a password holding '@'.
    if (auto at = raw.rfind('@'); at != std::string_view::npos) {
        authority.userInfo = percentEncodeComponent(raw.substr(0, at), URLComponentSet::UserInfo);
        hostAndPort = raw.substr(at + 1);
    }
    std::string_view portText;
    bool hasPort = false;
    if (!hostAndPort.empty() && hostAndPort[0] == '[') {
        auto close = hostAndPort.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        std::string_view literal = hostAndPort.substr(1, close - 1);
        if (literal.find(':') == std::string_view::npos)
            return std::nullopt;
        for (char c : literal) {
            if (!g_ascii_isxdigit(c) && c != ':' && c != '.')
                return std::nullopt;
        }
        authority.host = std::string(literal);
        authority.isIPv6Literal = true;
        std::string_view after = hostAndPort.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':')
                return std::nullopt;
            hasPort = true;
            portText = after.substr(1);
        }
    } else {
        auto colon = hostAndPort.find(':');
        authority.host = std::string(hostAndPort.substr(0, colon));
        if (colon != std::string_view::npos) {
            hasPort = true;
            portText = hostAndPort.substr(colon + 1);
        }
        bool isAscii = true;
        for (char c : authority.host)
            isAscii = isAscii && static_cast<unsigned char>(c) < 0x80;
        if (!isAscii) {
            // GLib's conversion reads past the end of a name that is not UTF-8: such a host is no host.
            if (!isValidUtf8(authority.host) || authority.host.find('\0') != std::string::npos)
                return std::nullopt;
            gchar* ascii = g_hostname_to_ascii(authority.host.c_str());
            if (!ascii)
                return std::nullopt;
            authority.host = ascii;
            g_free(ascii);
        }
        for (std::size_t i = 0; i < authority.host.size(); ++i) {
            if (!isRegisteredNameCharacter(authority.host, i))
                return std::nullopt;
        }
        if (lowercaseHost) {
            for (std::size_t i = 0; i < authority.host.size(); ++i) {
                if (authority.host[i] == '%')
                    i += 2; // escapes keep their uppercase digits
                else
                    authority.host[i] = asciiLower(authority.host[i]);
            }
        }
    }
    // An empty port ("host:") means the scheme's default, as if it were absent.
    if (hasPort && !portText.empty()) {
        if (portText.size() > 5)
            return std::nullopt;
        int port = 0;
        for (char c : portText) {
            if (!isAsciiDigit(c))
                return std::nullopt;
            port = port * 10 + (c - '0');
        }
        if (port > 65535)
            return std::nullopt;
        authority.port = port;
    }
    return authority;
}

// RFC 3986, section 5.2.4.
std::string removeDotSegments(std::string_view input)
{
    std::string output;
    auto removeLastSegment = [&output] {
        auto slash = output.rfind('/');
        output.erase(slash == std::string::npos ? 0 : slash);
    };
    while (!input.empty()) {
        if (input.starts_with("../"))
            input.remove_prefix(3);
        else if (input.starts_with("./"))
            input.remove_prefix(2);
        else if (input.starts_with("/./"))
            input.remove_prefix(2);
        else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../")) {
            input.remove_prefix(3);
            removeLastSegment();
        } else if (input == "/..") {
            input = "/";
            removeLastSegment();
        } else if (input == "." || input == "..")
            input = {};
        else {
            auto next = input.find('/', input[0] == '/' ? 1 : 0);
            std::string_view segment = input.substr(0, next);
            output += segment;
            input.remove_prefix(segment.size());
        }
    }
    return output;
}

} // namespace

std::optional<URL::Components> URL::parseReference(std::string_view string, bool baseIsSpecial)
{
    Components components;
    std::size_t schemeEnd = 0;
    if (!string.empty() && isAsciiAlpha(string[0])) {
        std::size_t i = 1;
        while (i < string.size()
            && (isAsciiAlpha(string[i]) || isAsciiDigit(string[i]) || string[i] == '+' || string[i] == '-'
                || string[i] == '.'))
            ++i;
        if (i < string.size() && string[i] == ':') {
            std::string scheme(string.substr(0, i));
            for (char& c : scheme)
                c = asciiLower(c);
            components.scheme = std::move(scheme);
            schemeEnd = i + 1;
        }
    }
    bool special = components.scheme ? isSpecialScheme(*components.scheme) : baseIsSpecial;

    std::string rest(string.substr(schemeEnd));
    auto hash = rest.find('#');
    auto question = rest.find('?');
    if (question > hash)
        question = std::string::npos;
    auto hierarchyEnd = std::min(question, hash);
    if (hierarchyEnd == std::string::npos)
        hierarchyEnd = rest.size();
    if (special) {
        for (std::size_t i = 0; i < hierarchyEnd; ++i) {
            if (rest[i] == '\\')
                rest[i] = '/';
        }
    }
    std::string_view hierarchy = std::string_view(rest).substr(0, hierarchyEnd);
    std::string_view path = hierarchy;
    if (hierarchy.starts_with("//")) {
        auto pathStart = hierarchy.find('/', 2);
        auto authority = parseAuthority(
            hierarchy.substr(2, pathStart == std::string_view::npos ? std::string_view::npos : pathStart - 2), special);
        if (!authority)
            return std::nullopt;
        components.authority = authority->formatted();
        path = pathStart == std::string_view::npos ? std::string_view() : hierarchy.substr(pathStart);
    }
    components.path = percentEncodeComponent(path, URLComponentSet::Path);
    if (question != std::string::npos) {
        auto queryEnd = hash == std::string::npos ? rest.size() : hash;
        components.query = percentEncodeComponent(
            std::string_view(rest).substr(question + 1, queryEnd - question - 1), URLComponentSet::QueryOrFragment);
    }
    if (hash != std::string::npos)
        components.fragment
            = percentEncodeComponent(std::string_view(rest).substr(hash + 1), URLComponentSet::QueryOrFragment);
    return components;
}

// RFC 3986, section 5.2.2 (strict: a reference with a scheme stands alone even when it is the base's).
URL::Components URL::resolve(const Components& reference, const Components& base)
{
    Components target;
    if (reference.scheme) {
        target.scheme = reference.scheme;
        target.authority = reference.authority;
        target.path = removeDotSegments(reference.path);
        target.query = reference.query;
    } else {
        if (reference.authority) {
            target.authority = reference.authority;
            target.path = removeDotSegments(reference.path);
            target.query = reference.query;
        } else {
            if (reference.path.empty()) {
                target.path = base.path;
                target.query = reference.query ? reference.query : base.query;
            } else {
                if (reference.path[0] == '/')
                    target.path = removeDotSegments(reference.path);
                else {
                    // Merge (section 5.2.3): an authority with an empty path counts as the root.
                    std::string merged;
                    if (base.authority && base.path.empty())
                        merged = '/' + reference.path;
                    else {
                        auto slash = base.path.rfind('/');
                        merged = (slash == std::string::npos ? std::string() : base.path.substr(0, slash + 1))
                            + reference.path;
                    }
                    target.path = removeDotSegments(merged);
                }
                target.query = reference.query;
            }
            target.authority = base.authority;
        }
        target.scheme = base.scheme;
    }
    target.fragment = reference.fragment;
    return target;
}

std::optional<URL> URL::fromComponents(Components components)
{
    URL url;
    if (components.authority) {
        // The authority was checked when it was parsed; this only recovers its host and port.
        auto authority = parseAuthority(*components.authority, false);
        if (!authority)
            return std::nullopt;
        url.m_host = authority->host;
        url.m_port = authority->port;
    }
    url.m_scheme = std::move(components.scheme);
    url.m_authority = std::move(components.authority);
    url.m_path = std::move(components.path);
    url.m_query = std::move(components.query);
    url.m_fragment = std::move(components.fragment);
    // Recomposition, RFC 3986 section 5.3.
    if (url.m_scheme)
        url.m_string += *url.m_scheme + ':';
    if (url.m_authority)
        url.m_string += "//" + *url.m_authority;
    else if (url.m_path.starts_with("//"))
        url.m_string += "/."; // a path such as "a:.//b" made "//b" would read back as the authority "b"
    url.m_string += url.m_path;
    if (url.m_query)
        url.m_string += '?' + *url.m_query;
    if (url.m_fragment)
        url.m_string += '#' + *url.m_fragment;
    return url;
}

std::optional<URL> URL::withString(std::string_view string, const URL* base)
{
    if (base && !base->isAbsolute())
        base = nullptr;
    auto reference = parseReference(cleaned(string), base && isSpecialScheme(base->scheme()));
    if (!reference)
        return std::nullopt;
    if (base)
        return fromComponents(resolve(*reference, base->components()));
    if (reference->scheme)
        reference->path = removeDotSegments(reference->path);
    return fromComponents(std::move(*reference));
}

URL URL::fileURL(std::string_view path)
{
    std::string absolute(path);
    if (absolute.empty() || absolute[0] != '/') {
        std::error_code error;
        std::string folder = std::filesystem::current_path(error).string();
        if (folder.empty() || folder.back() != '/')
            folder += '/';
        absolute = folder + absolute;
    }
    auto url = withString("file://" + percentEncodePath(absolute));
    assert(url); // an encoded absolute path always forms a URL
    return std::move(*url);
}

std::string URL::scheme() const { return m_scheme.value_or(std::string()); }

std::string URL::path() const { return utf8FromBytes(percentDecode(m_path)); }

std::string URL::lastPathComponent() const
{
    std::string decoded = path();
    if (decoded.empty())
        return {};
    auto end = decoded.find_last_not_of('/');
    if (end == std::string::npos)
        return "/";
    decoded.erase(end + 1);
    auto slash = decoded.rfind('/');
    return slash == std::string::npos ? decoded : decoded.substr(slash + 1);
}

std::string URL::pathExtension() const
{
    std::string name = lastPathComponent();
    auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size() || name == "/")
        return {};
    return name.substr(dot + 1);
}

std::string URL::fileSystemPath() const
{
    if (!isFileURL())
        return {};
    if (!m_host.empty() && g_ascii_strcasecmp(m_host.c_str(), "localhost") != 0)
        return {};
    std::string decoded = percentDecode(m_path);
    if (decoded.find('\0') != std::string::npos)
        return {};
    return decoded;
}

URL URL::withoutFragment() const
{
    Components parts = components();
    parts.fragment.reset();
    auto url = fromComponents(std::move(parts));
    assert(url);
    return std::move(*url);
}

} // namespace kit
