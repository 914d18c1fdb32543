#include "kit/net/LoadPolicy.h"

namespace kit {

bool pageMayLoad(const std::optional<URL>& page, const URL& target)
{
    if (!target.isFileURL() || !page)
        return true;
    return page->isFileURL();
}

namespace {

bool isWebScheme(const std::string& scheme) { return scheme == "http" || scheme == "https"; }

// scheme://host[:port] with the port left out when it is the scheme's own; an IPv6 host in brackets.
std::string serializedOrigin(const URL& url)
{
    std::string scheme = url.scheme();
    std::string host = url.host().find(':') == std::string::npos ? url.host() : "[" + url.host() + "]";
    int defaultPort = scheme == "https" ? 443 : 80;
    std::string port = url.port() && *url.port() != defaultPort ? ":" + std::to_string(*url.port()) : "";
    return scheme + "://" + host + port;
}

} // namespace

std::optional<std::string> referrerFor(const URL& page, const URL& target)
{
    std::string pageScheme = page.scheme(), targetScheme = target.scheme();
    if (!isWebScheme(pageScheme) || !isWebScheme(targetScheme) || page.host().empty())
        return std::nullopt;
    if (pageScheme == "https" && targetScheme != "https")
        return std::nullopt;
    std::string origin = serializedOrigin(page);
    if (origin != serializedOrigin(target))
        return origin + "/";
    std::string path = page.encodedPath().empty() ? "/" : page.encodedPath();
    return origin + path + (page.query() ? "?" + *page.query() : "");
}

} // namespace kit
