#include "import/package/XmlPart.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

namespace importer {

namespace {

struct KnownNamespace {
    const char* uri;
    const char* prefix;
};

// Transitional and Strict Office Open XML, the Microsoft extensions Word writes, VML, OpenDocument, and the
// namespaces of Word 2003 XML.
constexpr KnownNamespace kKnownNamespaces[] = {
    { "http://schemas.openxmlformats.org/wordprocessingml/2006/main", "w" },
    { "http://purl.oclc.org/ooxml/wordprocessingml/main", "w" },
    { "http://schemas.openxmlformats.org/officeDocument/2006/relationships", "r" },
    { "http://purl.oclc.org/ooxml/officeDocument/relationships", "r" },
    { "http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing", "wp" },
    { "http://purl.oclc.org/ooxml/drawingml/wordprocessingDrawing", "wp" },
    { "http://schemas.openxmlformats.org/drawingml/2006/main", "a" },
    { "http://purl.oclc.org/ooxml/drawingml/main", "a" },
    { "http://schemas.openxmlformats.org/drawingml/2006/picture", "pic" },
    { "http://purl.oclc.org/ooxml/drawingml/picture", "pic" },
    { "http://schemas.openxmlformats.org/drawingml/2006/chart", "c" },
    { "http://purl.oclc.org/ooxml/drawingml/chart", "c" },
    { "http://schemas.openxmlformats.org/drawingml/2006/diagram", "dgm" },
    { "http://purl.oclc.org/ooxml/drawingml/diagram", "dgm" },
    { "http://schemas.openxmlformats.org/officeDocument/2006/math", "m" },
    { "http://purl.oclc.org/ooxml/officeDocument/math", "m" },
    { "http://schemas.openxmlformats.org/markup-compatibility/2006", "mc" },
    { "http://schemas.microsoft.com/office/word/2010/wordprocessingShape", "wps" },
    { "http://schemas.microsoft.com/office/word/2010/wordprocessingGroup", "wpg" },
    { "http://schemas.microsoft.com/office/word/2010/wordprocessingCanvas", "wpc" },
    { "http://schemas.microsoft.com/office/word/2010/wordprocessingDrawing", "wp14" },
    { "http://schemas.microsoft.com/office/word/2010/wordml", "w14" },
    { "urn:schemas-microsoft-com:vml", "v" },
    { "urn:schemas-microsoft-com:office:office", "o" },
    { "urn:schemas-microsoft-com:office:word", "w10" },
    { "http://schemas.openxmlformats.org/package/2006/content-types", "" },
    { "http://schemas.openxmlformats.org/package/2006/relationships", "" },
    { "urn:oasis:names:tc:opendocument:xmlns:office:1.0", "office" },
    { "urn:oasis:names:tc:opendocument:xmlns:style:1.0", "style" },
    { "urn:oasis:names:tc:opendocument:xmlns:text:1.0", "text" },
    { "urn:oasis:names:tc:opendocument:xmlns:table:1.0", "table" },
    { "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0", "draw" },
    { "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0", "fo" },
    { "urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0", "svg" },
    { "urn:oasis:names:tc:opendocument:xmlns:manifest:1.0", "manifest" },
    { "http://www.w3.org/1999/xlink", "xlink" },
    // Word 2003 XML, which its reader translates into the vocabulary above.
    { "http://schemas.microsoft.com/office/word/2003/wordml", "w" },
    { "http://schemas.microsoft.com/office/word/2003/auxHint", "wx" },
    { "http://schemas.microsoft.com/aml/2001/core", "aml" },
};

// Whether the root element binds a known namespace to another prefix than ours, or declares none we know.
// Producers declare their namespaces on the root; one that binds a known namespace elsewhere to an odd
// prefix is treated as written.
bool needsCanonicalNames(pugi::xml_node root)
{
    bool declaresKnown = false;
    for (auto attribute : root.attributes()) {
        std::string_view name = attribute.name();
        if (name.substr(0, 5) != "xmlns" || (name.size() > 5 && name[5] != ':'))
            continue;
        std::string_view prefix = name.size() > 5 ? name.substr(6) : std::string_view();
        const char* canonical = canonicalPrefix(attribute.value());
        if (!canonical)
            continue;
        if (prefix != canonical)
            return true;
        declaresKnown = true;
    }
    return !declaresKnown && std::string_view(root.name()).find(':') == std::string_view::npos;
}

// The namespace bindings in scope: for each written prefix ("" for the default namespace), a stack of the
// canonical prefixes its open declarations give it, innermost last. nullptr stands for a namespace we do not
// know, whose names stay as written. One lookup costs the same however many prefixes a file declares.
class Scope {
public:
    void declare(std::string_view prefix, const char* canonical)
    {
        auto [it, isNew] = m_bindings.try_emplace(std::string(prefix));
        it->second.push_back(canonical);
        m_declared.push_back(&it->second);
    }
    std::size_t mark() const { return m_declared.size(); }
    // Ends the declarations made since the mark.
    void restore(std::size_t mark)
    {
        while (m_declared.size() > mark) {
            m_declared.back()->pop_back();
            m_declared.pop_back();
        }
    }
    // The canonical prefix for a written prefix; nullptr when it stays as written.
    const char* lookup(std::string_view prefix) const
    {
        auto it = m_bindings.find(std::string(prefix));
        return it == m_bindings.end() || it->second.empty() ? nullptr : it->second.back();
    }

private:
    std::unordered_map<std::string, std::vector<const char*>> m_bindings;
    std::vector<std::vector<const char*>*> m_declared; // in declaration order, for restore()
};

// Renames "prefix:local" (or "local" when elements take the default namespace) to the canonical prefix.
void rename(pugi::xml_node node, const Scope& scope)
{
    std::string_view name = node.name();
    auto colon = name.find(':');
    std::string_view prefix = colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
    std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
    const char* canonical = scope.lookup(prefix);
    if (!canonical || prefix == canonical)
        return;
    std::string renamed = *canonical ? std::string(canonical) + ":" + std::string(local) : std::string(local);
    node.set_name(renamed.c_str());
}

void renameAttribute(pugi::xml_attribute attribute, const Scope& scope)
{
    std::string_view name = attribute.name();
    auto colon = name.find(':');
    if (colon == std::string_view::npos || name.substr(0, colon) == "xmlns")
        return; // Unprefixed attributes belong to no namespace.
    const char* canonical = scope.lookup(name.substr(0, colon));
    if (!canonical || !*canonical || name.substr(0, colon) == canonical)
        return;
    std::string renamed = std::string(canonical) + ":" + std::string(name.substr(colon + 1));
    attribute.set_name(renamed.c_str());
}

} // namespace

const char* canonicalPrefix(std::string_view namespaceUri)
{
    for (const auto& known : kKnownNamespaces) {
        if (namespaceUri == known.uri)
            return known.prefix;
    }
    return nullptr;
}

std::optional<XmlPart> XmlPart::parse(std::string bytes, bool keepAllWhitespace)
{
    std::unique_ptr<char[]> buffer(new char[bytes.size() + 1]);
    std::copy(bytes.begin(), bytes.end(), buffer.get());
    return parse(std::move(buffer), bytes.size(), keepAllWhitespace);
}

std::optional<XmlPart> XmlPart::parse(std::unique_ptr<char[]> bytes, std::size_t size, bool keepAllWhitespace)
{
    XmlPart part;
    part.m_buffer = std::move(bytes);
    part.m_document = std::make_unique<pugi::xml_document>();
    // No end-of-line or attribute white-space normalisation: the readers need neither, and they cost time.
    unsigned options = pugi::parse_cdata | pugi::parse_escapes
        | (keepAllWhitespace ? pugi::parse_ws_pcdata : pugi::parse_ws_pcdata_single);
    auto result = part.m_document->load_buffer_inplace(part.m_buffer.get(), size, options);
    if (!result || !part.m_document->document_element())
        return std::nullopt;
    if (needsCanonicalNames(part.m_document->document_element()))
        part.canonicalizeNames();
    return part;
}

// Walks the tree without recursion, keeping the namespace bindings of each open element on a stack.
void XmlPart::canonicalizeNames()
{
    Scope scope;
    std::vector<std::size_t> marks; // the scope's mark before each open element's own declarations
    pugi::xml_node node = m_document->document_element();
    while (node) {
        marks.push_back(scope.mark());
        for (auto attribute : node.attributes()) {
            std::string_view name = attribute.name();
            if (name == "xmlns")
                scope.declare("", canonicalPrefix(attribute.value()));
            else if (name.substr(0, 6) == "xmlns:")
                scope.declare(name.substr(6), canonicalPrefix(attribute.value()));
        }
        // A Requires list names prefixes as written; translate them along with the names.
        if (localName(node.name()) == "Choice") {
            if (auto requirement = node.attribute("Requires")) {
                std::string translated, token;
                std::string value = requirement.value();
                value += ' ';
                for (char ch : value) {
                    if (ch != ' ') {
                        token += ch;
                        continue;
                    }
                    if (token.empty())
                        continue;
                    const char* canonical = scope.lookup(token);
                    translated += (translated.empty() ? "" : " ") + std::string(canonical && *canonical ? canonical : token.c_str());
                    token.clear();
                }
                requirement.set_value(translated.c_str());
            }
        }
        rename(node, scope);
        for (auto attribute : node.attributes())
            renameAttribute(attribute, scope);

        pugi::xml_node child = node.first_child();
        while (child && child.type() != pugi::node_element)
            child = child.next_sibling();
        if (child) {
            node = child;
            continue;
        }
        // Close elements until one has a following element sibling.
        while (node) {
            scope.restore(marks.back());
            marks.pop_back();
            pugi::xml_node next = node.next_sibling();
            while (next && next.type() != pugi::node_element)
                next = next.next_sibling();
            if (next) {
                node = next;
                break;
            }
            node = node.parent();
            if (node.type() != pugi::node_element)
                return;
        }
    }
}

} // namespace importer
