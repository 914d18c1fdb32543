#include "import/package/XmlRoot.h"

#include "import/common/Encoding.h"

#include <algorithm>

namespace importer {

namespace {

constexpr std::size_t kWindow = 64 * 1024;

bool isSpace(char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; }

// The window as UTF-8, without its byte-order mark.
std::string decodedWindow(std::span<const std::uint8_t> bytes)
{
    auto starts = [&](std::initializer_list<std::uint8_t> prefix) {
        return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
    };
    std::size_t mark = 0;
    int utf16 = 0; // 1: little-endian, 2: big-endian
    if (starts({ 0xEF, 0xBB, 0xBF }))
        mark = 3;
    else if (starts({ 0xFF, 0xFE }))
        mark = 2, utf16 = 1;
    else if (starts({ 0xFE, 0xFF }))
        mark = 2, utf16 = 2;
    else if (starts({ '<', 0 }))
        utf16 = 1;
    else if (starts({ 0, '<' }))
        utf16 = 2;
    auto window = bytes.subspan(mark, std::min(bytes.size() - mark, utf16 ? kWindow * 2 : kWindow));
    if (!utf16)
        return std::string(window.begin(), window.end());
    return encoding::utf16ToUtf8(window.first(window.size() & ~std::size_t(1)), utf16 == 2);
}

} // namespace

std::string_view XmlRootElement::localName() const
{
    std::string_view view(name);
    auto colon = view.find(':');
    return colon == std::string_view::npos ? view : view.substr(colon + 1);
}

std::string_view XmlRootElement::namespaceUri() const
{
    std::string_view view(name);
    auto colon = view.find(':');
    std::string declaration = colon == std::string_view::npos ? "xmlns" : "xmlns:" + std::string(view.substr(0, colon));
    return attribute(declaration);
}

std::string_view XmlRootElement::attribute(std::string_view attributeName) const
{
    for (const auto& [key, value] : attributes) {
        if (key == attributeName)
            return value;
    }
    return {};
}

std::optional<XmlRootElement> xmlRootElement(std::span<const std::uint8_t> bytes)
{
    std::string text = decodedWindow(bytes);
    std::size_t at = 0;
    auto skipPast = [&](std::string_view end) {
        std::size_t found = text.find(end, at);
        at = found == std::string::npos ? text.size() : found + end.size();
        return found != std::string::npos;
    };
    for (;;) {
        while (at < text.size() && isSpace(text[at]))
            ++at;
        std::string_view rest = std::string_view(text).substr(at);
        if (rest.substr(0, 2) == "<?") {
            if (!skipPast("?>"))
                return std::nullopt;
        } else if (rest.substr(0, 4) == "<!--") {
            if (!skipPast("-->"))
                return std::nullopt;
        } else if (rest.substr(0, 9) == "<!DOCTYPE") {
            // An internal subset in brackets may hold '>' of its own declarations.
            std::size_t close = text.find_first_of("[>", at);
            if (close != std::string::npos && text[close] == '[')
                close = text.find("]", close);
            at = close;
            if (close == std::string::npos || !skipPast(">"))
                return std::nullopt;
        } else {
            break;
        }
    }
    if (at >= text.size() || text[at] != '<')
        return std::nullopt;
    ++at;
    XmlRootElement root;
    auto readName = [&] {
        std::size_t start = at;
        while (at < text.size() && !isSpace(text[at]) && text[at] != '>' && text[at] != '/' && text[at] != '='
            && text[at] != '<')
            ++at;
        return text.substr(start, at - start);
    };
    root.name = readName();
    if (root.name.empty())
        return std::nullopt;
    for (;;) {
        while (at < text.size() && isSpace(text[at]))
            ++at;
        if (at >= text.size() || text[at] == '<')
            return std::nullopt;
        if (text[at] == '>' || text[at] == '/')
            return root;
        std::string key = readName();
        while (at < text.size() && isSpace(text[at]))
            ++at;
        if (key.empty() || at >= text.size() || text[at] != '=')
            return std::nullopt;
        ++at;
        while (at < text.size() && isSpace(text[at]))
            ++at;
        if (at >= text.size() || (text[at] != '"' && text[at] != '\''))
            return std::nullopt;
        char quote = text[at++];
        std::size_t end = text.find(quote, at);
        if (end == std::string::npos)
            return std::nullopt;
        root.attributes.emplace_back(std::move(key), text.substr(at, end - at));
        at = end + 1;
    }
}

} // namespace importer
