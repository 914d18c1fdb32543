#include "hosts/common/HostPage.h"

#include "kit/foundation/Ascii.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <libxml/HTMLparser.h>
#include <libxml/tree.h>

namespace hosts {

namespace {

std::string extensionOf(const std::string& src)
{
    std::string path = src.substr(0, src.find_first_of("?#"));
    auto slash = path.find_last_of('/');
    auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    return kit::asciiLower(path.substr(dot + 1));
}

void collect(xmlNode* node, HostPage& page, const ClaimedTypes& claimed)
{
    for (xmlNode* n = node; n; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        std::string name = kit::asciiLower(reinterpret_cast<const char*>(n->name));
        if (name == "base" && page.baseHref.empty()) {
            if (xmlChar* href = xmlGetProp(n, BAD_CAST "href")) {
                page.baseHref = reinterpret_cast<const char*>(href);
                xmlFree(href);
            }
        }
        bool nested = false;
        if (name == "embed" || name == "object") {
            EmbeddedDocument embed;
            for (xmlAttr* a = n->properties; a; a = a->next) {
                xmlChar* value = xmlNodeListGetString(n->doc, a->children, 1);
                embed.attributes[kit::asciiLower(reinterpret_cast<const char*>(a->name))]
                    = value ? reinterpret_cast<const char*>(value) : "";
                xmlFree(value);
            }
            if (name == "object" && !embed.attributes.count("src") && embed.attributes.count("data"))
                embed.attributes["src"] = embed.attributes["data"];
            std::string type = embed.attributes.count("type") ? kit::asciiLower(embed.attributes["type"]) : "";
            std::string src = embed.attributes.count("src") ? embed.attributes["src"] : "";
            if (claimed.claims(type, src)) {
                embed.width = embed.attributes.count("width") ? embed.attributes["width"] : "";
                embed.height = embed.attributes.count("height") ? embed.attributes["height"] : "";
                page.embeds.push_back(std::move(embed));
                // A claimed object's fallback content (often an <embed> of the same document) is not shown.
                // The HTML parser nests an <embed> around whatever follows it, so its children are walked.
                nested = name == "object";
            }
        }
        if (!nested)
            collect(n->children, page, claimed);
    }
}

} // namespace

bool ClaimedTypes::claims(const std::string& type, const std::string& src) const
{
    std::string t = kit::asciiLower(type.substr(0, type.find(';')));
    if (!t.empty() && std::find(mimeTypes.begin(), mimeTypes.end(), t) != mimeTypes.end())
        return true;
    std::string ext = extensionOf(src);
    return !ext.empty() && std::find(extensions.begin(), extensions.end(), ext) != extensions.end();
}

HostPage parseHostPage(std::span<const std::uint8_t> bytes, const ClaimedTypes& claimed)
{
    HostPage page;
    // Only something that looks like markup can be a page: a document that merely contains "<embed" in
    // its binary body is shown as itself.
    std::size_t probe = std::min<std::size_t>(bytes.size(), 4096);
    std::string head(reinterpret_cast<const char*>(bytes.data()), probe);
    std::size_t first = head.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    first = head.find_first_not_of(" \t\r\n\f", first);
    if (std::find(head.begin(), head.end(), '\0') != head.end() || first == std::string::npos || head[first] != '<')
        return page;
    htmlDocPtr doc = htmlReadMemory(reinterpret_cast<const char*>(bytes.data()),
        int(std::min<std::size_t>(bytes.size(), 64u << 20)), nullptr, nullptr,
        HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER);
    if (!doc)
        return page;
    collect(xmlDocGetRootElement(doc), page, claimed);
    xmlFreeDoc(doc);
    if (page.embeds.empty())
        page.baseHref.clear();
    return page;
}

float resolveDimension(const std::string& value, float available, float fallback)
{
    if (value.empty())
        return fallback;
    // No window is wider or taller; a page's "1e39" or "9999999%" would reach the view's geometry as
    // infinity otherwise.
    constexpr double kLargest = 100000;
    char* end = nullptr;
    double number = std::strtod(value.c_str(), &end);
    if (end == value.c_str() || !std::isfinite(number) || number < 0)
        return fallback;
    if (*end == '%')
        number = available * number / 100.0;
    return float(std::min(number, kLargest));
}

} // namespace hosts
