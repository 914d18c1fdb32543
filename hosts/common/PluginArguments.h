#pragma once

#include "hosts/common/HostPage.h"
#include "kit/foundation/Value.h"
#include "kit/net/URL.h"

#include <map>
#include <string>

namespace hosts {

// What a host hands the plug-in view of one document: the arguments dictionary and the document's URL
// resolved against the page's base (shown as the window title and kept as the instance's source; the string
// as written when it cannot be resolved, empty without "src").
struct PluginArguments {
    kit::Value arguments;
    std::string src;
};

// A document shown full-page: it is its own page and its own base.
PluginArguments fullPageArguments(const kit::URL& documentURL);

// An <embed> or <object> of the host page fetched from pageURL. The page's <base href> (resolved against
// pageURL) becomes the base URL, while pageURL travels apart as the page URL, so that a declared base never
// widens what the page may load.
PluginArguments embedArguments(const kit::URL& pageURL, const HostPage& page, const EmbeddedDocument& embed);

// The base URL of a host page: its <base href> resolved against the page's URL, else the page's URL.
kit::URL baseURLOfPage(const kit::URL& pageURL, const HostPage& page);

// An embedding element's attributes as the plug-in's arguments carry them: a dictionary of strings.
kit::Value stringDictionary(const std::map<std::string, std::string>& entries);

} // namespace hosts
