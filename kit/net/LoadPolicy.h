#pragma once

#include "kit/net/URL.h"

#include <optional>
#include <string>

namespace kit {

// Whether a load may run on behalf of `page`, the URL of the page itself (where its bytes came from), never
// the base URL it declares: a page can name any base with <base href>, so a base says nothing about whose
// files the page may read. Only a page that is a local file may have local files loaded; a load on behalf of
// no page at all (the user named the URL) may load anything.
bool pageMayLoad(const std::optional<URL>& page, const URL& target);

// The Referer a load of `target` on behalf of `page` sends, as a browser's default policy
// (strict-origin-when-cross-origin) has it: the page's URL within its own origin, only its origin
// ("https://host:port/") elsewhere, and nothing from https to http or from a page that is not http or https.
// Never user name, password or fragment. nullopt: send none.
std::optional<std::string> referrerFor(const URL& page, const URL& target);

} // namespace kit
