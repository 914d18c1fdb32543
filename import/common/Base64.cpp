#include "import/common/Base64.h"

namespace importer {

namespace {

int base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+' || c == '-')
        return 62;
    if (c == '/' || c == '_')
        return 63;
    return -1;
}

} // namespace

std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text)
{
    std::vector<std::uint8_t> out;
    out.reserve(text.size() * 3 / 4);
    std::uint32_t buffer = 0;
    int bits = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f')
            continue;
        if (c == '=')
            break;
        int value = base64Value(c);
        if (value < 0)
            return std::nullopt;
        buffer = (buffer << 6 | std::uint32_t(value)) & 0xFFFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(std::uint8_t(buffer >> bits));
        }
    }
    return out;
}

} // namespace importer
