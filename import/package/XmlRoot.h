#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace importer {

// The root element of an XML document as its start tag reads, for telling XML formats apart before anything
// is parsed. Attribute values are as written (entities are not expanded).
struct XmlRootElement {
    std::string name; // qualified, as written: "office:document"
    std::vector<std::pair<std::string, std::string>> attributes;

    std::string_view localName() const;
    // The namespace the element's prefix is bound to on the element itself; empty when it is bound elsewhere.
    std::string_view namespaceUri() const;
    std::string_view attribute(std::string_view name) const;
};

// The root element from the first bytes of a document in UTF-8 (with or without a byte-order mark) or
// UTF-16 (either byte order, with a mark or told by its first character): the XML declaration, processing
// instructions, comments, a document type declaration and white space before it are skipped. nullopt when
// the bytes do not begin as XML or the start tag does not end within the first 64 KB.
std::optional<XmlRootElement> xmlRootElement(std::span<const std::uint8_t> bytes);

} // namespace importer
