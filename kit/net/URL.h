#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kit {

// A URI reference (RFC 3986): absolute ("http://host/a/b.doc") or relative ("b.doc") when it was made
// without a base. Its components are kept percent-encoded, exactly as absoluteString() shows them; the
// getters that return file names and paths decode them.
class URL {
public:
    // The string is first cleaned and encoded as a browser does with an attribute value: leading and
    // trailing spaces and control characters are dropped, tabs and line breaks removed, '\' read as '/'
    // in http, https and file URLs, spaces, non-ASCII bytes (UTF-8) and the other characters a URI may not
    // hold percent-encoded (existing %XX escapes are kept) and non-ASCII host names converted to their
    // ASCII form. A relative reference is then resolved against base (RFC 3986, section 5.2) when base is
    // absolute. nullopt when no URL can be formed: a port that is not a number up to 65535, a host with
    // characters no host name may hold, an unclosed IPv6 literal.
    static std::optional<URL> withString(std::string_view string, const URL* base = nullptr);
    static std::optional<URL> withString(std::string_view string, const URL& base) { return withString(string, &base); }

    // The file URL ("file:///…") of a file system path; a relative path is taken from the current folder.
    // Every byte of the path outside the URI's path characters is encoded, '%', '?' and '#' included.
    static URL fileURL(std::string_view path);

    const std::string& absoluteString() const { return m_string; }
    bool isAbsolute() const { return m_scheme.has_value(); }
    // Lowercase; empty for a relative reference.
    std::string scheme() const;
    bool isFileURL() const { return scheme() == "file"; }
    bool hasAuthority() const { return m_authority.has_value(); }
    // Without the brackets of an IPv6 literal; empty when the URL has none.
    const std::string& host() const { return m_host; }
    std::optional<int> port() const { return m_port; }
    const std::string& encodedPath() const { return m_path; }
    // Percent-decoded; invalid UTF-8 is read as ISO-8859-1.
    std::string path() const;
    const std::optional<std::string>& query() const { return m_query; }
    const std::optional<std::string>& fragment() const { return m_fragment; }

    // The last component of the decoded path, trailing slashes ignored: "c" for "/b/c/", "/" for "/", empty
    // for an empty path.
    std::string lastPathComponent() const;
    // What follows the last '.' of the last path component; empty when there is none, the dot ends the name
    // or starts it (".profile" has no extension).
    std::string pathExtension() const;

    // The decoded path of a local file URL (no host, or "localhost"); empty for any other URL and for a
    // path holding an encoded NUL, which no file system path can contain.
    std::string fileSystemPath() const;

    URL withoutFragment() const;

    bool operator==(const URL& other) const { return m_string == other.m_string; }

private:
    struct Components {
        std::optional<std::string> scheme;
        std::optional<std::string> authority;
        std::string path;
        std::optional<std::string> query;
        std::optional<std::string> fragment;
    };
    URL() = default;
    static std::optional<URL> fromComponents(Components);
    static std::optional<Components> parseReference(std::string_view cleaned, bool baseIsSpecial);
    static Components resolve(const Components& reference, const Components& base);
    Components components() const { return { m_scheme, m_authority, m_path, m_query, m_fragment }; }

    std::optional<std::string> m_scheme;
    std::optional<std::string> m_authority;
    std::string m_host;
    std::optional<int> m_port;
    std::string m_path;
    std::optional<std::string> m_query;
    std::optional<std::string> m_fragment;
    std::string m_string;
};

} // namespace kit
