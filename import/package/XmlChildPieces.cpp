#include "import/package/XmlChildPieces.h"

#include <utility>

namespace importer {

namespace {

struct Tag {
    enum class Kind { Start, End, Empty, Other };
    Kind kind = Kind::Other;
    std::size_t begin = 0, end = 0;
    std::string_view name;
};

bool isNameEnd(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '/' || c == '>'; }

// The markup starting at the first '<' at or after position; nullopt at the end of the text or where the
// markup is one this scanner does not cut through (a DOCTYPE, an unterminated tag).
std::optional<Tag> nextTag(std::string_view xml, std::size_t position)
{
    std::size_t begin = xml.find('<', position);
    if (begin == std::string_view::npos)
        return std::nullopt;
    Tag tag;
    tag.begin = begin;
    auto until = [&](std::string_view terminator) -> std::optional<Tag> {
        std::size_t end = xml.find(terminator, begin + 2);
        if (end == std::string_view::npos)
            return std::nullopt;
        tag.end = end + terminator.size();
        return tag;
    };
    std::string_view rest = xml.substr(begin);
    if (rest.starts_with("<!--"))
        return until("-->");
    if (rest.starts_with("<![CDATA["))
        return until("]]>");
    if (rest.starts_with("<?"))
        return until("?>");
    if (rest.starts_with("<!"))
        return std::nullopt;
    bool closing = rest.starts_with("</");
    std::size_t nameBegin = begin + (closing ? 2 : 1);
    std::size_t i = nameBegin;
    while (i < xml.size() && !isNameEnd(xml[i]))
        ++i;
    tag.name = xml.substr(nameBegin, i - nameBegin);
    if (tag.name.empty())
        return std::nullopt;
    // Attribute values may hold '>' and '/': step over quoted text.
    char quote = 0;
    for (; i < xml.size(); ++i) {
        char c = xml[i];
        if (quote) {
            if (c == quote)
                quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '<') {
            return std::nullopt;
        } else if (c == '>') {
            break;
        }
    }
    if (i >= xml.size())
        return std::nullopt;
    tag.end = i + 1;
    tag.kind = closing ? Tag::Kind::End : xml[i - 1] == '/' ? Tag::Kind::Empty : Tag::Kind::Start;
    return tag;
}

bool hasLocalName(std::string_view name, std::string_view localName)
{
    std::size_t colon = name.find(':');
    return (colon == std::string_view::npos ? name : name.substr(colon + 1)) == localName;
}

} // namespace

XmlChildScanner::XmlChildScanner(std::string_view xml, std::string_view localName)
    : m_xml(xml)
    , m_localName(localName)
{
    // Only a part in UTF-8 (the declaration may say so, or nothing) is scanned byte by byte.
    if (xml.starts_with("<?xml")) {
        std::string_view declaration = xml.substr(0, xml.find("?>"));
        std::size_t encoding = declaration.find("encoding");
        if (encoding != std::string_view::npos) {
            std::string_view value = declaration.substr(encoding + 8);
            std::size_t quote = value.find_first_of("\"'");
            if (quote == std::string_view::npos || value.size() < quote + 6
                || (value.substr(quote + 1, 5) != "UTF-8" && value.substr(quote + 1, 5) != "utf-8"))
                fail();
        }
    } else if (!xml.starts_with("<") && !xml.starts_with("\xEF\xBB\xBF<")) {
        fail();
    }
}

bool XmlChildScanner::fail()
{
    m_state = State::Failed;
    m_child.reset();
    return false;
}

bool XmlChildScanner::step()
{
    if (m_state != State::Scanning)
        return false;
    if (m_elementDone) {
        // The rest must close as well, or the part is not one to trust the cut of.
        while (!m_open.empty()) {
            std::optional<Tag> tag = nextTag(m_xml, m_position);
            if (!tag)
                return fail();
            m_position = tag->end;
            if (tag->kind == Tag::Kind::Start)
                m_open.push_back(tag->name);
            else if (tag->kind == Tag::Kind::End && (m_open.back() != tag->name || (m_open.pop_back(), false)))
                return fail();
        }
        m_state = State::Finished;
        return false;
    }
    std::optional<Tag> tag = nextTag(m_xml, m_position);
    if (!tag)
        return fail();
    m_position = tag->end;
    if (tag->kind == Tag::Kind::Other)
        return true;
    std::size_t depth = m_open.size();
    if (tag->kind == Tag::Kind::End) {
        if (m_open.empty() || m_open.back() != tag->name)
            return fail();
        m_open.pop_back();
        if (m_inElement && m_open.size() == childDepth() && m_child) {
            m_child->end = tag->end;
            m_childDone = true;
        }
        if (m_inElement && m_open.size() + 1 == childDepth())
            m_elementDone = true;
        return true;
    }
    if (depth == 0) {
        if (!m_documentName.empty())
            return fail();
        m_documentName = tag->name;
        m_documentStartTag = std::string(m_xml.substr(tag->begin, tag->end - tag->begin));
        if (tag->kind == Tag::Kind::Empty)
            return fail();
        if (m_localName.empty()) {
            m_head = std::string(m_xml.substr(0, tag->begin));
            m_inElement = true;
        }
    } else if (depth == 1 && !m_inElement && hasLocalName(tag->name, m_localName)) {
        m_elementName = tag->name;
        m_elementStartTag = std::string(m_xml.substr(tag->begin, tag->end - tag->begin));
        m_head = std::string(m_xml.substr(0, tag->begin));
        if (tag->kind == Tag::Kind::Empty) {
            // <w:body/>: written with an end tag of its own in the pieces.
            m_elementStartTag.erase(m_elementStartTag.size() - 2, 1);
            m_elementDone = true;
        }
        m_inElement = true;
    } else if (m_inElement && depth == childDepth()) {
        m_child = XmlChildPieces::Child { tag->begin, tag->end, tag->name, tag->end };
        m_childDone = tag->kind == Tag::Kind::Empty;
    }
    if (tag->kind == Tag::Kind::Start)
        m_open.push_back(tag->name);
    return true;
}

bool XmlChildScanner::findElement()
{
    while (!m_inElement && step()) { }
    return m_inElement && m_state != State::Failed;
}

std::optional<XmlChildPieces::Child> XmlChildScanner::next()
{
    while (step()) {
        if (m_childDone) {
            m_childDone = false;
            return std::exchange(m_child, std::nullopt);
        }
        if (m_elementDone && !m_child)
            break;
    }
    // The element ended: the rest of the part is checked before the scan says it finished.
    while (step()) { }
    return std::nullopt;
}

void XmlChildScanner::describeElement(XmlChildPieces& pieces) const
{
    pieces.documentStartTag = m_documentStartTag;
    pieces.elementStartTag = m_elementStartTag;
    std::string documentEnd = "</" + std::string(m_documentName) + ">";
    pieces.closingTags = m_localName.empty() ? documentEnd : "</" + std::string(m_elementName) + ">" + documentEnd;
    pieces.head = m_localName.empty() ? m_head : m_head + documentEnd;
}

void XmlChildPieces::groupChildren(std::size_t pieceBytes, bool (*isContext)(std::string_view name), bool complete)
{
    for (std::size_t first = pieces.empty() ? 0 : pieces.back().endChild; first < children.size();) {
        std::size_t end = first + 1;
        while (end < children.size() && children[end - 1].end - children[first].begin < pieceBytes)
            ++end;
        if (!complete && end == children.size())
            return; // it may grow
        Piece piece { first, end, 0, 0 };
        // The neighbours a reader looks through context children for, and the real one beyond them.
        for (std::size_t c = first; c > 0;) {
            --c;
            ++piece.contextBefore;
            if (!isContext(children[c].name))
                break;
        }
        bool neighbourKnown = false;
        for (std::size_t c = end; c < children.size(); ++c) {
            ++piece.contextAfter;
            if (!isContext(children[c].name)) {
                neighbourKnown = true;
                break;
            }
        }
        if (!complete && !neighbourKnown)
            return;
        pieces.push_back(piece);
        first = end;
    }
}

std::optional<XmlChildPieces> splitChildPieces(
    std::string_view xml, std::string_view localName, std::size_t pieceBytes, bool (*isContext)(std::string_view name))
{
    XmlChildScanner scanner(xml, localName);
    XmlChildPieces result;
    while (std::optional<XmlChildPieces::Child> child = scanner.next())
        result.children.push_back(*child);
    if (scanner.state() != XmlChildScanner::State::Finished || !scanner.foundElement())
        return std::nullopt;
    scanner.describeElement(result);
    result.groupChildren(pieceBytes, isContext, true);
    return result;
}

std::string XmlChildPieces::pieceText(
    std::string_view xml, std::size_t i, std::size_t& first, bool (*contextNeedsMarkup)(std::string_view name)) const
{
    const Piece& piece = pieces[i];
    std::size_t from = piece.firstChild - piece.contextBefore, to = piece.endChild + piece.contextAfter;
    first = piece.contextBefore;
    std::string text;
    auto contextMarkup = [&](std::size_t c) {
        const Child& child = children[c];
        return !contextNeedsMarkup || contextNeedsMarkup(child.name);
    };
    std::size_t begin = children[piece.firstChild].begin, end = children[piece.endChild - 1].end;
    // Reserved whole: a piece of one long table would otherwise grow to twice its size for the paragraph
    // after it.
    std::size_t size = documentStartTag.size() + elementStartTag.size() + (end - begin) + closingTags.size();
    auto contextSize = [&](std::size_t c) {
        return contextMarkup(c) ? children[c].end - children[c].begin : children[c].name.size() + 3;
    };
    for (std::size_t c = from; c < piece.firstChild; ++c)
        size += contextSize(c);
    for (std::size_t c = piece.endChild; c < to; ++c)
        size += contextSize(c);
    text.reserve(size);
    text += documentStartTag;
    text += elementStartTag;
    auto appendContext = [&](std::size_t c) {
        const Child& child = children[c];
        if (contextMarkup(c))
            text.append(xml.substr(child.begin, child.end - child.begin));
        else
            text.append("<").append(child.name).append("/>");
    };
    for (std::size_t c = from; c < piece.firstChild; ++c)
        appendContext(c);
    // What lies between the piece's own children (white space, comments) comes along as it stands.
    text.append(xml.substr(begin, end - begin));
    for (std::size_t c = piece.endChild; c < to; ++c)
        appendContext(c);
    text += closingTags;
    return text;
}

std::string XmlChildPieces::alone(std::string_view markup) const
{
    std::string text;
    text.reserve(documentStartTag.size() + elementStartTag.size() + markup.size() + closingTags.size());
    text.append(documentStartTag).append(elementStartTag).append(markup).append(closingTags);
    return text;
}

} // namespace importer
