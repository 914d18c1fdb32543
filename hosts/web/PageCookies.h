#pragma once

#include "kit/net/URL.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>
#include <webkit/webkit.h>

namespace hosts {

// One cookie as the jar holds it, reduced to what decides whether a subresource request carries it.
struct JarCookie {
    std::string name;
    std::string value;
    SoupSameSitePolicy sameSite = SOUP_SAME_SITE_POLICY_LAX;
};

// Whether two URLs are of one site: the same scheme and registrable domain (the host itself for an address
// or a name without a public suffix).
bool isSameSite(const kit::URL&, const kit::URL&);

// The Cookie header a browser sends with a subresource request of `page` for `document`, from the cookies
// the jar holds for the document's URL (already chosen by domain, path, expiry and Secure): the page's own
// site gets them all; another site's document gets none unless the user accepts every cookie, and then
// only those marked SameSite=None. Nothing when no cookie goes.
std::optional<std::string> subresourceCookieHeader(const std::vector<JarCookie>& jar, const kit::URL& page,
    const kit::URL& document, WebKitCookieAcceptPolicy policy);

// Asks the web view's network session for the cookies of `document` and calls done on the main loop
// with the header above (nothing for a document that is not http or https, or when the jar fails).
void fetchSubresourceCookieHeader(WebKitWebView*, const kit::URL& page, const kit::URL& document,
    std::function<void(std::optional<std::string>)> done);

} // namespace hosts
