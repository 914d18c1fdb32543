#pragma once

#include <string>
#include <string_view>

// Case and space in the ASCII range only, whatever the process's locale: names, keywords, header fields and
// file extensions compare this way, and UTF-8 bytes past 0x7F are never touched.
namespace kit {

constexpr char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

inline std::string asciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = asciiLower(c);
    return out;
}

constexpr bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    }
    return true;
}

// C's white space: space, tab, line feed, carriage return, form feed, vertical tab.
constexpr bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// text without the spaces and tabs at its ends (header values, unit suffixes).
constexpr std::string_view trimmedBlanks(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// text without the white space (isAsciiSpace) at its ends (numbers and dates in property lists).
constexpr std::string_view trimmedSpace(std::string_view text)
{
    while (!text.empty() && isAsciiSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isAsciiSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace kit
