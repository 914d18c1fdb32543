#include "kit/foundation/Utf8.h"

namespace kit {

namespace {

std::string_view asText(std::span<const std::uint8_t> bytes)
{
    return { reinterpret_cast<const char*>(bytes.data()), bytes.size() };
}

} // namespace

std::size_t utf8SequenceLength(std::string_view text, std::size_t at)
{
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    std::size_t length;
    char32_t value, minimum;
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, value = lead & 0x1F, minimum = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, value = lead & 0x0F, minimum = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, value = lead & 0x07, minimum = 0x10000;
    else
        return 0;
    if (text.size() - at < length)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (byte(at + k) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

char32_t decodeUtf8(std::string_view text, std::size_t& at)
{
    std::size_t length = utf8SequenceLength(text, at);
    if (!length) {
        ++at;
        return kReplacementCharacter;
    }
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[at + k]); };
    char32_t value = length == 1 ? byte(0) : byte(0) & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k)
        value = value << 6 | (byte(k) & 0x3F);
    at += length;
    return value;
}

void appendUtf8(std::string& out, char32_t c)
{
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        c = kReplacementCharacter;
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | c >> 6);
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | c >> 12);
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | c >> 18);
        out += char(0x80 | (c >> 12 & 0x3F));
        out += char(0x80 | (c >> 6 & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string encodeUtf8(char32_t c)
{
    std::string out;
    appendUtf8(out, c);
    return out;
}

std::string utf16ToUtf8(std::span<const std::uint8_t> bytes, bool bigEndian)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    auto unitAt = [&](std::size_t i) -> char32_t {
        return bigEndian ? char32_t(bytes[i] << 8 | bytes[i + 1]) : char32_t(bytes[i] | bytes[i + 1] << 8);
    };
    std::size_t count = bytes.size() / 2 * 2;
    for (std::size_t i = 0; i < count; i += 2) {
        char32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 2 < count) {
            char32_t low = unitAt(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        appendUtf8(out, unit); // a lone surrogate becomes U+FFFD there
    }
    return out;
}

bool isValidUtf8(std::string_view text)
{
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = utf8SequenceLength(text, i);
        if (!length)
            return false;
        i += length;
    }
    return true;
}

bool isValidUtf8(std::span<const std::uint8_t> bytes) { return isValidUtf8(asText(bytes)); }

std::string sanitizeUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = utf8SequenceLength(text, i);
        if (!length) {
            appendUtf8(out, kReplacementCharacter);
            ++i;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string sanitizeUtf8(std::span<const std::uint8_t> bytes) { return sanitizeUtf8(asText(bytes)); }

} // namespace kit
