#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace importer {

// The children of one element of a large XML part, cut into pieces that parse on their own, so that a reader
// holds the tree of one piece at a time instead of the whole part's. The element is a child of the document
// element whose name ends in ":" + localName (or is localName). Offsets are bytes of the part.
//
// A piece's text is the document element's and the element's own start tags, the piece's children and the
// two end tags: parsed, it has the same namespaces as the whole part, and its root's child is the element.
// Each piece also carries the children just before and after its own (those a reader looks at for context,
// such as the neighbours of a paragraph); a reader reads only children [first, first + count) of the piece.
struct XmlChildPieces {
    struct Child {
        std::size_t begin = 0, end = 0; // the child's markup, from its '<' to past its '>'
        std::string_view name;
        std::size_t startTagEnd = 0; // past the '>' of its start tag
    };
    std::vector<Child> children; // the element's child elements, in order
    struct Piece {
        std::size_t firstChild = 0, endChild = 0; // into children: what the piece reads
        std::size_t contextBefore = 0, contextAfter = 0; // children around them that it carries only
    };
    std::vector<Piece> pieces;
    std::string documentStartTag, elementStartTag, closingTags;
    // The part up to the element's start tag, closed: what lies before the element (the document element's
    // other early children) without any of the element's children.
    std::string head;

    // The text of piece i, to be parsed; first is the index of its first child to read in the parsed piece.
    // A context child for which contextNeedsMarkup (when given) is false is written as an empty element of
    // its name: a reader that only asks what its neighbour is then need not parse a long table for it.
    std::string pieceText(std::string_view xml, std::size_t i, std::size_t& first,
        bool (*contextNeedsMarkup)(std::string_view name) = nullptr) const;
    // Markup of the element's children (one of them, say) on its own, to be parsed: within the document
    // element's and the element's tags, as a piece has them.
    std::string alone(std::string_view markup) const;

    // Groups the children that are in no piece yet into pieces of about pieceBytes (see splitChildPieces).
    // While more children may come (!complete), the last of them wait: a piece carries the children after it
    // that it looks through, and the real neighbour beyond them.
    void groupChildren(std::size_t pieceBytes, bool (*isContext)(std::string_view name), bool complete);
};

// The scan behind splitChildPieces, a child at a time, so that a reader may take the first children of a
// long part before the scan reaches its end.
class XmlChildScanner {
public:
    // An empty localName scans the document element's own children: the element's start tag is then empty,
    // and the closing tags are the document element's end tag.
    XmlChildScanner(std::string_view xml, std::string_view localName);

    // Scans on to the end of the element's next child. Nullopt once the element has no more children, or
    // where the part cannot be cut with confidence: state() then tells which.
    std::optional<XmlChildPieces::Child> next();
    enum class State { Scanning, Finished, Failed };
    State state() const { return m_state; }
    // Whether the scan is past the element's start tag: its tags and the head (see XmlChildPieces) are
    // known from then on.
    bool foundElement() const { return m_inElement; }
    // Scans up to the element's start tag; false when there is none or the part cannot be cut.
    bool findElement();
    // Copies the tags and the head into pieces.
    void describeElement(XmlChildPieces& pieces) const;

private:
    bool step(); // one tag further; false once the scan ended (m_state says how)
    std::size_t childDepth() const { return m_localName.empty() ? 1 : 2; } // elements open around a child
    bool fail();

    std::string_view m_xml, m_localName;
    std::vector<std::string_view> m_open; // names of the open elements
    std::string_view m_documentName, m_elementName;
    std::string m_documentStartTag, m_elementStartTag, m_head;
    std::size_t m_position = 0;
    bool m_inElement = false, m_elementDone = false;
    std::optional<XmlChildPieces::Child> m_child; // the child being scanned, until its end
    bool m_childDone = false;
    State m_state = State::Scanning;
};

// Finds the element and its children's boundaries, grouping children into pieces of about pieceBytes.
// isContext says which children are looked through for context (bookmarks and the like), so that a piece
// carries them and the next real neighbour beside it. Nullopt when the part is not plain enough to cut with
// confidence: a DOCTYPE, an unbalanced or unterminated tag, no such element; the caller then parses it whole.
std::optional<XmlChildPieces> splitChildPieces(std::string_view xml, std::string_view localName, std::size_t pieceBytes,
    bool (*isContext)(std::string_view name));

} // namespace importer
