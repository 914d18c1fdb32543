#pragma once

#include <libxml/tree.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Small readers of libxml2's tree, so the rest of the importer never frees an xmlChar by hand.
namespace importer::html {

inline bool isElement(const xmlNode* node)
{
    return node && node->type == XML_ELEMENT_NODE;
}

// The element's name; libxml2's HTML parser lower-cases names.
inline std::string_view elementName(const xmlNode* node)
{
    return node && node->name ? std::string_view(reinterpret_cast<const char*>(node->name)) : std::string_view();
}

inline std::optional<std::string> attribute(const xmlNode* node, const char* name)
{
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return std::nullopt;
    std::string result(reinterpret_cast<const char*>(value));
    xmlFree(value);
    return result;
}

inline bool hasAttribute(const xmlNode* node, const char* name)
{
    return xmlHasProp(node, reinterpret_cast<const xmlChar*>(name)) != nullptr;
}

inline const xmlNode* parentElement(const xmlNode* node)
{
    const xmlNode* parent = node ? node->parent : nullptr;
    return isElement(parent) ? parent : nullptr;
}

// The concatenated text below a node (script and style content included), as libxml2 gives it.
inline std::string textContent(const xmlNode* node)
{
    xmlChar* content = xmlNodeGetContent(node);
    if (!content)
        return {};
    std::string result(reinterpret_cast<const char*>(content));
    xmlFree(content);
    return result;
}

} // namespace importer::html
