#pragma once

#include <pugixml.hpp>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace importer {

// How deep readers of package XML descend; content below this depth is not read. Real documents stay under
// 60 levels even with tables nested ten deep; the cap keeps recursion in the readers bounded.
inline constexpr int kMaxXmlDepth = 192;

// One XML part of a package, parsed with pugixml. pugixml never expands entities beyond the five predefined
// ones and character references, never reads a DTD and never touches the network, so a hostile part cannot
// make it fetch or multiply anything. Its parser is iterative, so deep nesting costs no stack.
//
// Element and attribute names are rewritten to the conventional prefixes of the namespaces the readers know
// ("w:", "r:", "a:", "text:", "style:" ...), so that readers can match names as strings even when a producer
// chose other prefixes or a default namespace.
class XmlPart {
public:
    // Parses bytes in place (the part keeps them). Whitespace-only text is kept only where it is an
    // element's sole child, unless keepAllWhitespace asks for every such node (OpenDocument needs it: the
    // space between two spans is text).
    static std::optional<XmlPart> parse(std::string bytes, bool keepAllWhitespace = false);
    static std::optional<XmlPart> parse(std::unique_ptr<char[]> bytes, std::size_t size, bool keepAllWhitespace = false);

    pugi::xml_node root() const { return m_document->document_element(); }

private:
    XmlPart() = default;
    void canonicalizeNames();
    // On the heap, so that moving the part never moves the characters pugixml points into.
    std::unique_ptr<char[]> m_buffer;
    std::unique_ptr<pugi::xml_document> m_document;
};

// The conventional prefix of a namespace the readers know, or nullptr; "" for the packaging namespaces that
// are always written as default namespaces.
const char* canonicalPrefix(std::string_view namespaceUri);

// The local part of a qualified name: "w:p" → "p".
inline std::string_view localName(const char* name)
{
    std::string_view view(name);
    auto colon = view.find(':');
    return colon == std::string_view::npos ? view : view.substr(colon + 1);
}

} // namespace importer
