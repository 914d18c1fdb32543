#pragma once

#include "kit/net/URL.h"

#include <optional>

namespace kit {

// Whether a load may run on behalf of `page`, the URL of the page itself (where its bytes came from), never
// the base URL it declares: a page can name any base with <base href>, so a base says nothing about whose
// files the page may read. Only a page that is a local file may have local files loaded; a load on behalf of
// no page at all (the user named the URL) may load anything.
bool pageMayLoad(const std::optional<URL>& page, const URL& target);

} // namespace kit
