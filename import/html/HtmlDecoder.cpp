#include "import/html/HtmlDecoder.h"

#include "import/common/Encoding.h"

#include <algorithm>
#include <array>

namespace importer::html {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiAlnum(char c)
{
    return isAsciiAlpha(c) || (c >= '0' && c <= '9');
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

// True when text at position starts with prefix, ignoring ASCII case.
bool startsWithNoCase(std::string_view text, std::size_t position, std::string_view prefix)
{
    if (position > text.size() || text.size() - position < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[position + i]) != lower(prefix[i]))
            return false;
    }
    return true;
}

std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from)
{
    if (needle.empty())
        return from;
    for (std::size_t i = from; i + needle.size() <= text.size(); ++i) {
        if (lower(text[i]) == lower(needle[0]) && startsWithNoCase(text, i, needle))
            return i;
    }
    return std::string_view::npos;
}

// The attributes of the tag whose name ends at position, up to its '>'; position is left after the tag.
// Values are returned as written, without quotes.
template<typename Visit> void readAttributes(std::string_view text, std::size_t& position, Visit&& visit)
{
    std::size_t i = position;
    while (i < text.size() && text[i] != '>') {
        if (isSpace(text[i]) || text[i] == '/') {
            ++i;
            continue;
        }
        std::size_t nameStart = i;
        while (i < text.size() && !isSpace(text[i]) && text[i] != '=' && text[i] != '>' && text[i] != '/')
            ++i;
        std::string_view name = text.substr(nameStart, i - nameStart);
        while (i < text.size() && isSpace(text[i]))
            ++i;
        std::string_view value;
        if (i < text.size() && text[i] == '=') {
            ++i;
            while (i < text.size() && isSpace(text[i]))
                ++i;
            if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
                char quote = text[i++];
                std::size_t end = text.find(quote, i);
                if (end == std::string_view::npos)
                    end = text.size();
                value = text.substr(i, end - i);
                i = std::min(end + 1, text.size());
            } else {
                std::size_t valueStart = i;
                while (i < text.size() && !isSpace(text[i]) && text[i] != '>')
                    ++i;
                value = text.substr(valueStart, i - valueStart);
            }
        }
        if (!name.empty())
            visit(lowered(name), value);
    }
    position = std::min(i + 1, text.size());
}

// The charset=... part of a Content-Type value, without quotes.
std::string charsetFromContentType(std::string_view content)
{
    std::size_t at = findNoCase(content, "charset", 0);
    if (at == std::string_view::npos)
        return {};
    std::size_t i = at + 7;
    while (i < content.size() && isSpace(content[i]))
        ++i;
    if (i >= content.size() || content[i] != '=')
        return {};
    ++i;
    while (i < content.size() && (isSpace(content[i]) || content[i] == '"' || content[i] == '\''))
        ++i;
    std::size_t end = i;
    while (end < content.size() && !isSpace(content[end]) && content[end] != ';' && content[end] != '"'
        && content[end] != '\'')
        ++end;
    return lowered(content.substr(i, end - i));
}

// The longest XML declaration (<?xml version="1.0" encoding="..."?>) and conditional comment marker
// (<![if !supportLists]>) looked for, in bytes.
constexpr std::size_t kLongestXmlDeclaration = 1024;
constexpr std::size_t kLongestConditionalMarker = 256;

// A charset label iconv may be asked about: short and made of the characters labels use.
bool isPlausibleLabel(std::string_view label)
{
    return !label.empty() && label.size() <= 40 && std::all_of(label.begin(), label.end(), [](char c) {
        return isAsciiAlnum(c) || c == '-' || c == '_' || c == '.' || c == ':';
    });
}

// Skips white space, XML prologs, doctypes when asked, and comments; returns the position of what follows.
std::size_t skipProlog(std::string_view text, std::size_t i)
{
    for (;;) {
        while (i < text.size() && isSpace(text[i]))
            ++i;
        if (text.compare(i, 4, "<!--") == 0) {
            std::size_t end = text.find("-->", i + 4);
            if (end == std::string_view::npos)
                return text.size();
            i = end + 3;
            continue;
        }
        if (text.compare(i, 2, "<?") == 0) {
            std::size_t end = text.find('>', i + 2);
            if (end == std::string_view::npos)
                return text.size();
            i = end + 1;
            continue;
        }
        return i;
    }
}

// Tags that an HTML document or fragment plausibly starts with, lower case.
constexpr std::array kLeadingTags {
    "html", "head", "body", "title", "meta", "link", "base", "style", "script", "p", "div", "span", "h1", "h2", "h3",
    "h4", "h5", "h6", "table", "ul", "ol", "dl", "pre", "br", "hr", "b", "i", "u", "a", "font", "center",
    "blockquote", "strong", "em", "img", "form", "section", "article", "header", "nav", "main", "address", "tt",
    "code", "small", "big", "sup", "sub", "noscript", "frameset", "iframe",
};

} // namespace

std::string_view encodingFromBytes(std::span<const std::uint8_t> bytes, std::size_t* markLength)
{
    *markLength = 0;
    if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        *markLength = 3;
        return "UTF-8";
    }
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        *markLength = 2;
        return "UTF-16LE";
    }
    if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        *markLength = 2;
        return "UTF-16BE";
    }
    // Markup starts with ASCII ('<' or white space), so UTF-16 without a mark shows a zero in every other byte.
    if (bytes.size() >= 4) {
        auto ascii = [](std::uint8_t b) { return b != 0 && b < 0x80; };
        if (ascii(bytes[0]) && bytes[1] == 0 && ascii(bytes[2]) && bytes[3] == 0)
            return "UTF-16LE";
        if (bytes[0] == 0 && ascii(bytes[1]) && bytes[2] == 0 && ascii(bytes[3]))
            return "UTF-16BE";
    }
    return {};
}

std::string declaredCharset(std::string_view text)
{
    std::string xmlDeclared;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t open = text.find('<', i);
        if (open == std::string_view::npos)
            break;
        i = open + 1;
        if (text.compare(open, 4, "<!--") == 0) {
            std::size_t end = text.find("-->", open + 4);
            if (end == std::string_view::npos)
                break;
            i = end + 3;
            continue;
        }
        if (startsWithNoCase(text, open, "<?xml")) {
            // A declaration is short: its end is looked for nearby, so that many unterminated ones cost
            // no more than the text's length.
            std::string_view prolog = text.substr(open, kLongestXmlDeclaration);
            prolog = prolog.substr(0, prolog.find("?>"));
            std::size_t at = prolog.find("encoding");
            if (at != std::string_view::npos && xmlDeclared.empty()) {
                std::size_t quote = prolog.find_first_of("\"'", at);
                if (quote != std::string_view::npos) {
                    std::size_t close = prolog.find(prolog[quote], quote + 1);
                    if (close != std::string_view::npos)
                        xmlDeclared = lowered(prolog.substr(quote + 1, close - quote - 1));
                }
            }
            continue;
        }
        if (startsWithNoCase(text, open, "<body") && (open + 5 >= text.size() || !isAsciiAlnum(text[open + 5])))
            break;
        if (!startsWithNoCase(text, open, "<meta") || open + 5 >= text.size()
            || !(isSpace(text[open + 5]) || text[open + 5] == '/'))
            continue;
        std::size_t position = open + 5;
        std::string charset, content;
        bool contentType = false;
        readAttributes(text, position, [&](const std::string& name, std::string_view value) {
            if (name == "charset")
                charset = lowered(value);
            else if (name == "content")
                content = value;
            else if (name == "http-equiv")
                contentType = lowered(value) == "content-type";
        });
        i = position;
        auto trimmed = [](std::string value) {
            while (!value.empty() && (isSpace(value.back()) || value.back() == '"' || value.back() == '\''))
                value.pop_back();
            std::size_t start = 0;
            while (start < value.size() && (isSpace(value[start]) || value[start] == '"' || value[start] == '\''))
                ++start;
            return value.substr(start);
        };
        if (!charset.empty())
            return trimmed(charset);
        if (contentType) {
            std::string fromContent = charsetFromContentType(content);
            if (!fromContent.empty())
                return fromContent;
        }
    }
    return xmlDeclared;
}

DecodedHtml decodeHtml(std::span<const std::uint8_t> bytes)
{
    std::size_t markLength = 0;
    std::string_view marked = encodingFromBytes(bytes, &markLength);
    auto rest = bytes.subspan(markLength);
    if (marked == "UTF-16LE" || marked == "UTF-16BE")
        return { encoding::utf16ToUtf8(rest, marked == "UTF-16BE"), std::string(marked) };
    if (marked == "UTF-8")
        return { encoding::sanitizeUtf8(rest), "UTF-8" };

    std::string_view markup(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    std::string label = declaredCharset(markup);
    // A meta tag cannot truly declare UTF-16: the bytes it was read from were ASCII-compatible.
    if (label.rfind("utf-16", 0) == 0 || label == "unicode")
        label = "utf-8";
    int codePage = label.empty() ? 0 : encoding::codePageForLabel(label);
    bool validUtf8 = encoding::isValidUtf8(bytes);
    if (codePage == encoding::kCodePageUtf8 || (codePage == 0 && validUtf8)) {
        if (validUtf8)
            return { std::string(markup), "UTF-8" };
        // Declared UTF-8 but not UTF-8: the bytes win, as the fallback of browsers.
        return { encoding::decode(bytes, encoding::kCodePageWindowsLatin1), "windows-1252" };
    }
    if (codePage == 0 && isPlausibleLabel(label)) {
        if (auto decoded = encoding::decodeWithIconv(bytes, label.c_str()))
            return { std::move(*decoded), label };
    }
    if (codePage == 0)
        return { encoding::decode(bytes, encoding::kCodePageWindowsLatin1), "windows-1252" };
    return { encoding::decode(bytes, codePage), label };
}

bool startsLikeHtml(std::string_view text)
{
    std::size_t i = 0;
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0)
        i = 3;
    i = skipProlog(text, i);
    if (i >= text.size() || text[i] != '<')
        return false;
    if (startsWithNoCase(text, i, "<!doctype")) {
        std::size_t j = i + 9;
        while (j < text.size() && isSpace(text[j]))
            ++j;
        return startsWithNoCase(text, j, "html") && (j + 4 >= text.size() || !isAsciiAlnum(text[j + 4]));
    }
    std::size_t nameStart = i + 1;
    std::size_t nameEnd = nameStart;
    while (nameEnd < text.size() && isAsciiAlnum(text[nameEnd]))
        ++nameEnd;
    if (nameEnd == nameStart || nameEnd >= text.size())
        return false;
    char after = text[nameEnd];
    if (!(isSpace(after) || after == '>' || after == '/'))
        return false;
    std::string name = lowered(text.substr(nameStart, nameEnd - nameStart));
    return std::find(kLeadingTags.begin(), kLeadingTags.end(), name) != kLeadingTags.end();
}

std::string prepareMarkup(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t open = text.find('<', i);
        if (open == std::string_view::npos) {
            out.append(text.substr(i));
            break;
        }
        out.append(text.substr(i, open - i));
        i = open;
        if (text.compare(i, 4, "<!--") == 0) {
            std::size_t end = text.find("-->", i + 4);
            end = end == std::string_view::npos ? text.size() : end + 3;
            out.append(text.substr(i, end - i));
            i = end;
            continue;
        }
        if (startsWithNoCase(text, i, "<![if") || startsWithNoCase(text, i, "<![endif")) {
            // A marker is short; anything longer is not one and stays as text. Its end is looked for nearby
            // only, so that many unterminated ones cost no more than the text's length.
            std::size_t end = text.substr(i, kLongestConditionalMarker).find("]>");
            if (end != std::string_view::npos) {
                i += end + 2;
                continue;
            }
        }
        for (std::string_view raw : { "script", "style" }) {
            if (startsWithNoCase(text, i + 1, raw) && i + 1 + raw.size() < text.size()
                && !isAsciiAlnum(text[i + 1 + raw.size()])) {
                std::string closing = "</" + std::string(raw);
                std::size_t end = findNoCase(text, closing, i + 1);
                end = end == std::string_view::npos ? text.size() : end;
                out.append(text.substr(i, end - i));
                i = end;
                break;
            }
        }
        if (i != open)
            continue;
        // A start or end tag: copy its name, turning a namespace prefix's colon into an underscore.
        std::size_t nameStart = i + 1;
        if (nameStart < text.size() && text[nameStart] == '/')
            ++nameStart;
        if (nameStart >= text.size() || !isAsciiAlpha(text[nameStart])) {
            out += '<';
            ++i;
            continue;
        }
        std::size_t nameEnd = nameStart;
        while (nameEnd < text.size() && !isSpace(text[nameEnd]) && text[nameEnd] != '>' && text[nameEnd] != '/')
            ++nameEnd;
        std::string name(text.substr(i, nameEnd - i));
        std::replace(name.begin(), name.end(), ':', '_');
        out += name;
        i = nameEnd;
    }
    return out;
}

} // namespace importer::html
