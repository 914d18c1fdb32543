#include "hosts/common/PluginArguments.h"

#include "plugin/NRVLectorin.h"

namespace hosts {

namespace {

PluginArguments makeArguments(
    const std::map<std::string, std::string>& attributes, const kit::URL& pageURL, const kit::URL& baseURL)
{
    PluginArguments made { kit::Value::dictionary(), {} };
    made.arguments.set(WebPlugInAttributesKey, stringDictionary(attributes));
    made.arguments.set(WebPlugInBaseURLKey, kit::Value::string(baseURL.absoluteString()));
    made.arguments.set(WebPlugInPageURLKey, kit::Value::string(pageURL.absoluteString()));
    if (auto it = attributes.find("src"); it != attributes.end() && !it->second.empty()) {
        auto resolved = kit::URL::withString(it->second, &baseURL);
        made.src = resolved ? resolved->absoluteString() : it->second;
    }
    return made;
}

} // namespace

kit::Value stringDictionary(const std::map<std::string, std::string>& entries)
{
    kit::Value dictionary = kit::Value::dictionary();
    for (const auto& [key, value] : entries)
        dictionary.set(key, kit::Value::string(value));
    return dictionary;
}

kit::URL baseURLOfPage(const kit::URL& pageURL, const HostPage& page)
{
    if (!page.baseHref.empty()) {
        if (auto resolved = kit::URL::withString(page.baseHref, &pageURL))
            return *resolved;
    }
    return pageURL;
}

PluginArguments fullPageArguments(const kit::URL& documentURL)
{
    return makeArguments({ { "src", documentURL.absoluteString() } }, documentURL, documentURL);
}

PluginArguments embedArguments(const kit::URL& pageURL, const HostPage& page, const EmbeddedDocument& embed)
{
    return makeArguments(embed.attributes, pageURL, baseURLOfPage(pageURL, page));
}

} // namespace hosts
