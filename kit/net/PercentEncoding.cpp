#include "kit/net/PercentEncoding.h"

#include "kit/foundation/Hex.h"

#include <glib.h>

namespace kit {

namespace {

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool isUnreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
        || c == '_' || c == '~';
}

bool isSubDelimiter(unsigned char c)
{
    switch (c) {
    case '!':
    case '$':
    case '&':
    case '\'':
    case '(':
    case ')':
    case '*':
    case '+':
    case ',':
    case ';':
    case '=':
        return true;
    default:
        return false;
    }
}

bool isAllowed(unsigned char c, URLComponentSet set)
{
    if (isUnreserved(c) || isSubDelimiter(c) || c == ':')
        return true;
    switch (set) {
    case URLComponentSet::UserInfo:
        return false;
    case URLComponentSet::Path:
        return c == '@' || c == '/';
    case URLComponentSet::QueryOrFragment:
        return c == '@' || c == '/' || c == '?';
    }
    return false;
}

void appendEscape(std::string& out, unsigned char c)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    out += '%';
    out += digits[c >> 4];
    out += digits[c & 0xF];
}

} // namespace

std::string percentEncodeComponent(std::string_view text, URLComponentSet allowed)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c == '%' && i + 2 < text.size() && isHexDigit(text[i + 1]) && isHexDigit(text[i + 2])) {
            out.append(text.substr(i, 3));
            i += 2;
        } else if (c != '%' && isAllowed(c, allowed))
            out += char(c);
        else
            appendEscape(out, c);
    }
    return out;
}

std::string percentEncodePath(std::string_view path)
{
    std::string out;
    out.reserve(path.size());
    for (char ch : path) {
        auto c = static_cast<unsigned char>(ch);
        if (isAllowed(c, URLComponentSet::Path))
            out += ch;
        else
            appendEscape(out, c);
    }
    return out;
}

std::string percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && isHexDigit(text[i + 1]) && isHexDigit(text[i + 2])) {
            out += char(hexValue(text[i + 1]) << 4 | hexValue(text[i + 2]));
            i += 2;
        } else
            out += text[i];
    }
    return out;
}

std::string utf8FromBytes(std::string_view bytes)
{
    if (g_utf8_validate(bytes.data(), gssize(bytes.size()), nullptr))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out += ch;
        else {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

} // namespace kit
