#pragma once

#include <map>
#include <span>
#include <string>
#include <vector>

namespace hosts {

// One <embed> or <object> of a page that the plug-in claims, with the attributes a browser passes on.
struct EmbeddedDocument {
    std::map<std::string, std::string> attributes; // lower-case names; <object data> is also given as "src"
    std::string width; // as written: "640", "100%", or empty
    std::string height;
};

struct ClaimedTypes {
    std::vector<std::string> mimeTypes; // lower case
    std::vector<std::string> extensions; // lower case, no dot
    bool claims(const std::string& type, const std::string& src) const;
};

struct HostPage {
    std::vector<EmbeddedDocument> embeds; // in document order
    std::string baseHref; // <base href>, unresolved; empty when absent
};

// The page's claimed embeds when the bytes are an HTML page holding at least one; nothing otherwise.
HostPage parseHostPage(std::span<const std::uint8_t> bytes, const ClaimedTypes& claimed);

// A box dimension in window units: a number of pixels, a percentage of `available`, or the fallback.
float resolveDimension(const std::string& value, float available, float fallback);

} // namespace hosts
