#include "kit/foundation/Base64.h"

#include "kit/foundation/Ascii.h"

namespace kit {

namespace {

int sextet(char c, Base64Rule rule)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    bool urlSafe = rule == Base64Rule::Forgiving;
    if (c == '+' || (urlSafe && c == '-'))
        return 62;
    if (c == '/' || (urlSafe && c == '_'))
        return 63;
    return -1;
}

} // namespace

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text, Base64Rule rule)
{
    bool strict = rule == Base64Rule::Strict;
    std::vector<std::uint8_t> bytes;
    bytes.reserve(text.size() / 4 * 3 + 2);
    std::uint32_t group = 0;
    int digits = 0, padding = 0;
    for (char c : text) {
        if (isAsciiSpace(c))
            continue;
        if (c == '=') {
            if (!strict)
                break;
            // Padding only completes a group that already holds two or three digits.
            if (digits + padding < 2)
                return std::nullopt;
            ++padding;
            if (digits + padding > 4)
                return std::nullopt;
            continue;
        }
        int value = sextet(c, rule);
        if (value < 0 || padding)
            return std::nullopt;
        group = group << 6 | unsigned(value);
        if (++digits == 4) {
            bytes.push_back(std::uint8_t(group >> 16));
            bytes.push_back(std::uint8_t(group >> 8));
            bytes.push_back(std::uint8_t(group));
            group = 0;
            digits = 0;
        }
    }
    if (padding && digits + padding != 4)
        return std::nullopt;
    // A final group of two or three digits carries one or two bytes; one digit carries none.
    if (digits == 1 && strict)
        return std::nullopt;
    if (digits == 2) {
        if (strict && (group & 0xF))
            return std::nullopt;
        bytes.push_back(std::uint8_t(group >> 4));
    } else if (digits == 3) {
        if (strict && (group & 0x3))
            return std::nullopt;
        bytes.push_back(std::uint8_t(group >> 10));
        bytes.push_back(std::uint8_t(group >> 2));
    }
    return bytes;
}

std::string encodeBase64(std::span<const std::uint8_t> bytes)
{
    static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        std::uint32_t group = std::uint32_t(bytes[i]) << 16 | std::uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        text += alphabet[group >> 18 & 63];
        text += alphabet[group >> 12 & 63];
        text += alphabet[group >> 6 & 63];
        text += alphabet[group & 63];
    }
    if (std::size_t rest = bytes.size() - i) {
        std::uint32_t group = std::uint32_t(bytes[i]) << 16 | (rest == 2 ? std::uint32_t(bytes[i + 1]) << 8 : 0);
        text += alphabet[group >> 18 & 63];
        text += alphabet[group >> 12 & 63];
        text += rest == 2 ? alphabet[group >> 6 & 63] : '=';
        text += '=';
    }
    return text;
}

} // namespace kit
