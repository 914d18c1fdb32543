#include "hosts/common/PageArguments.h"

#include "kit/foundation/Bundle.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace hosts {

std::optional<kit::URL> urlForPageArgument(const std::string& page)
{
    auto colon = page.find(':');
    bool hasScheme = colon != std::string::npos && colon > 1 && std::isalpha(static_cast<unsigned char>(page[0]))
        && std::all_of(page.begin(), page.begin() + std::ptrdiff_t(colon),
            [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.'; });
    if (hasScheme)
        return kit::URL::withString(page);
    std::error_code error;
    std::filesystem::path path = std::filesystem::absolute(page, error);
    return kit::URL::fileURL(path.lexically_normal().string());
}

std::string defaultPage()
{
    auto path = kit::Bundle::plugin().resourcePath("sample/index.html");
    return path ? path->string() : std::string("resources/sample/index.html");
}

ClaimedTypes claimedTypesFromBundle()
{
    ClaimedTypes claimed;
    const kit::Bundle& bundle = kit::Bundle::plugin();
    for (const auto& type : bundle.claimedMIMETypes())
        claimed.mimeTypes.push_back(type);
    for (const auto& extension : bundle.claimedExtensions())
        claimed.extensions.push_back(extension);
    return claimed;
}

} // namespace hosts
