// URLs as pages write them: the input's first line is a base, the rest a reference resolved against it.
// Parsing, resolution, the load policy and the Referer must never crash, and what they give keeps its
// rules: a reference resolved against an absolute base is absolute, a URL's string reads back as the same
// URL, and the Referer never carries user info or a fragment.
#include "OutputChecks.h"
#include "kit/net/LoadPolicy.h"
#include "kit/net/URL.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

// "user@host:port" of "scheme://user@host:port/path".
std::string_view authorityOf(std::string_view url)
{
    std::size_t start = url.find("//");
    if (start == std::string_view::npos)
        return {};
    url.remove_prefix(start + 2);
    return url.substr(0, url.find_first_of("/?#"));
}

void exercise(const kit::URL& url)
{
    (void)url.path();
    (void)url.lastPathComponent();
    (void)url.pathExtension();
    (void)url.fileSystemPath();
    (void)url.withoutFragment();
    auto again = kit::URL::withString(url.absoluteString());
    fuzzoutput::require(again && again->absoluteString() == url.absoluteString(), "url", "a URL's string reads back as the same URL", url.absoluteString());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t newline = input.find('\n');
    std::string_view baseText = input.substr(0, newline);
    std::string_view referenceText = newline == std::string_view::npos ? std::string_view() : input.substr(newline + 1);
    auto base = kit::URL::withString(baseText);
    if (!base)
        return 0;
    exercise(*base);
    auto resolved = kit::URL::withString(referenceText, *base);
    if (!resolved)
        return 0;
    exercise(*resolved);
    if (base->isAbsolute())
        fuzzoutput::require(resolved->isAbsolute(), "url", "a reference resolved against an absolute base is absolute", resolved->absoluteString());
    (void)kit::pageMayLoad(*base, *resolved);
    if (auto referrer = kit::referrerFor(*base, *resolved)) {
        auto sent = kit::URL::withString(*referrer);
        fuzzoutput::require(sent && !sent->fragment(), "url", "the Referer is a URL without a fragment", *referrer);
        fuzzoutput::require(authorityOf(*referrer).find('@') == std::string_view::npos, "url", "the Referer carries no user info", *referrer);
    }
    return 0;
}
