#include "hosts/web/PageCookies.h"

#include <memory>

namespace hosts {

namespace {

std::string siteOf(const std::string& host)
{
    GError* error = nullptr;
    const char* base = soup_tld_get_base_domain(host.c_str(), &error);
    if (!base) {
        g_clear_error(&error);
        return host;
    }
    return base;
}

bool isHttp(const kit::URL& url)
{
    return url.scheme() == "http" || url.scheme() == "https";
}

struct CookieQuery {
    WebKitCookieManager* manager; // the session's: it lives as long as the process's default session
    kit::URL page;
    kit::URL document;
    WebKitCookieAcceptPolicy policy = WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY;
    std::function<void(std::optional<std::string>)> done;
};

void cookiesArrived(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<CookieQuery> query(static_cast<CookieQuery*>(data));
    GError* error = nullptr;
    GList* cookies = webkit_cookie_manager_get_cookies_finish(WEBKIT_COOKIE_MANAGER(source), result, &error);
    if (error) {
        g_clear_error(&error);
        query->done(std::nullopt);
        return;
    }
    std::vector<JarCookie> jar;
    for (GList* item = cookies; item; item = item->next) {
        auto* cookie = static_cast<SoupCookie*>(item->data);
        jar.push_back({ soup_cookie_get_name(cookie), soup_cookie_get_value(cookie),
            soup_cookie_get_same_site_policy(cookie) });
    }
    g_list_free_full(cookies, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
    query->done(subresourceCookieHeader(jar, query->page, query->document, query->policy));
}

void policyArrived(GObject* source, GAsyncResult* result, gpointer data)
{
    auto* query = static_cast<CookieQuery*>(data);
    GError* error = nullptr;
    query->policy = webkit_cookie_manager_get_accept_policy_finish(WEBKIT_COOKIE_MANAGER(source), result, &error);
    if (error) {
        g_clear_error(&error);
        std::unique_ptr<CookieQuery> owned(query);
        owned->done(std::nullopt);
        return;
    }
    std::string uri = query->document.absoluteString();
    webkit_cookie_manager_get_cookies(query->manager, uri.c_str(), nullptr, cookiesArrived, query);
}

} // namespace

bool isSameSite(const kit::URL& a, const kit::URL& b)
{
    return a.scheme() == b.scheme() && siteOf(a.host()) == siteOf(b.host());
}

std::optional<std::string> subresourceCookieHeader(const std::vector<JarCookie>& jar, const kit::URL& page,
    const kit::URL& document, WebKitCookieAcceptPolicy policy)
{
    if (!isHttp(document) || policy == WEBKIT_COOKIE_POLICY_ACCEPT_NEVER)
        return std::nullopt;
    bool sameSite = isSameSite(page, document);
    if (!sameSite && policy != WEBKIT_COOKIE_POLICY_ACCEPT_ALWAYS)
        return std::nullopt;
    std::string header;
    for (const JarCookie& cookie : jar) {
        if (!sameSite && cookie.sameSite != SOUP_SAME_SITE_POLICY_NONE)
            continue;
        // A name or value that could end the header or start another is not ours to pass on.
        if ((cookie.name + cookie.value).find_first_of("\r\n;") != std::string::npos)
            continue;
        if (!header.empty())
            header += "; ";
        header += cookie.name.empty() ? cookie.value : cookie.name + "=" + cookie.value;
    }
    if (header.empty())
        return std::nullopt;
    return header;
}

void fetchSubresourceCookieHeader(WebKitWebView* view, const kit::URL& page, const kit::URL& document,
    std::function<void(std::optional<std::string>)> done)
{
    WebKitNetworkSession* session = view ? webkit_web_view_get_network_session(view) : nullptr;
    if (!session || !isHttp(document)) {
        done(std::nullopt);
        return;
    }
    auto* query = new CookieQuery { webkit_network_session_get_cookie_manager(session), page, document,
        WEBKIT_COOKIE_POLICY_ACCEPT_NO_THIRD_PARTY, std::move(done) };
    webkit_cookie_manager_get_accept_policy(query->manager, nullptr, policyArrived, query);
}

} // namespace hosts
