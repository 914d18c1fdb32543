#include "import/package/XmlChildPieces.h"

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

std::optional<XmlChildPieces> splitChildPieces(
    std::string_view xml, std::string_view localName, std::size_t pieceBytes, bool (*isContext)(std::string_view name))
{
    XmlChildPieces result;
    // Only a part in UTF-8 (the declaration may say so, or nothing) is scanned byte by byte.
    if (xml.starts_with("<?xml")) {
        std::string_view declaration = xml.substr(0, xml.find("?>"));
        std::size_t encoding = declaration.find("encoding");
        if (encoding != std::string_view::npos) {
            std::string_view value = declaration.substr(encoding + 8);
            std::size_t quote = value.find_first_of("\"'");
            if (quote == std::string_view::npos || value.size() < quote + 6
                || (value.substr(quote + 1, 5) != "UTF-8" && value.substr(quote + 1, 5) != "utf-8"))
                return std::nullopt;
        }
    } else if (!xml.starts_with("<") && !xml.starts_with("\xEF\xBB\xBF<")) {
        return std::nullopt;
    }
    std::vector<std::string_view> open; // names of the open elements
    std::string_view documentName, elementName;
    bool inElement = false, elementDone = false;
    std::size_t position = 0;
    while (!elementDone) {
        std::optional<Tag> tag = nextTag(xml, position);
        if (!tag)
            return std::nullopt;
        position = tag->end;
        if (tag->kind == Tag::Kind::Other)
            continue;
        std::size_t depth = open.size();
        if (tag->kind == Tag::Kind::End) {
            if (open.empty() || open.back() != tag->name)
                return std::nullopt;
            open.pop_back();
            if (inElement && open.size() == 2)
                result.children.back().end = tag->end;
            if (inElement && open.size() == 1)
                elementDone = true;
            continue;
        }
        if (depth == 0) {
            if (!documentName.empty())
                return std::nullopt;
            documentName = tag->name;
            result.documentStartTag = std::string(xml.substr(tag->begin, tag->end - tag->begin));
            if (tag->kind == Tag::Kind::Empty)
                return std::nullopt;
        } else if (depth == 1 && !inElement && hasLocalName(tag->name, localName)) {
            elementName = tag->name;
            result.elementStartTag = std::string(xml.substr(tag->begin, tag->end - tag->begin));
            result.head = std::string(xml.substr(0, tag->begin));
            if (tag->kind == Tag::Kind::Empty)
                elementDone = true;
            inElement = true;
        } else if (inElement && depth == 2) {
            result.children.push_back({ tag->begin, tag->end, tag->name });
        }
        if (tag->kind == Tag::Kind::Start)
            open.push_back(tag->name);
    }
    // The rest must close as well, or the part is not one to trust the cut of.
    while (!open.empty()) {
        std::optional<Tag> tag = nextTag(xml, position);
        if (!tag)
            return std::nullopt;
        position = tag->end;
        if (tag->kind == Tag::Kind::Start)
            open.push_back(tag->name);
        else if (tag->kind == Tag::Kind::End && (open.back() != tag->name || (open.pop_back(), false)))
            return std::nullopt;
    }
    if (result.elementStartTag[result.elementStartTag.size() - 2] == '/') {
        // <w:body/>: written with an end tag of its own in the pieces.
        result.elementStartTag.erase(result.elementStartTag.size() - 2, 1);
    }
    result.closingTags = "</" + std::string(elementName) + "></" + std::string(documentName) + ">";
    result.head += result.closingTags.substr(result.closingTags.find("></") + 1);

    const auto& children = result.children;
    for (std::size_t first = 0; first < children.size();) {
        std::size_t end = first + 1;
        while (end < children.size() && children[end - 1].end - children[first].begin < pieceBytes)
            ++end;
        XmlChildPieces::Piece piece { first, end, 0, 0 };
        // The neighbours a reader looks through context children for, and the real one beyond them.
        for (std::size_t c = first; c > 0;) {
            --c;
            ++piece.contextBefore;
            if (!isContext(children[c].name))
                break;
        }
        for (std::size_t c = end; c < children.size(); ++c) {
            ++piece.contextAfter;
            if (!isContext(children[c].name))
                break;
        }
        result.pieces.push_back(piece);
        first = end;
    }
    return result;
}

std::string XmlChildPieces::pieceText(
    std::string_view xml, std::size_t i, std::size_t& first, bool (*contextNeedsMarkup)(std::string_view name)) const
{
    const Piece& piece = pieces[i];
    std::size_t from = piece.firstChild - piece.contextBefore, to = piece.endChild + piece.contextAfter;
    first = piece.contextBefore;
    std::string text;
    std::size_t begin = children[piece.firstChild].begin, end = children[piece.endChild - 1].end;
    text.reserve(documentStartTag.size() + elementStartTag.size() + (end - begin) + closingTags.size());
    text += documentStartTag;
    text += elementStartTag;
    auto appendContext = [&](std::size_t c) {
        const Child& child = children[c];
        if (!contextNeedsMarkup || contextNeedsMarkup(child.name))
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

} // namespace importer
