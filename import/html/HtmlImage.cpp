#include "import/html/HtmlImage.h"

#include "import/common/ImageHeader.h"
#include "import/html/CssValues.h"
#include "kit/foundation/Hex.h"

namespace importer::html {

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

std::optional<EmbeddedImage> sniffImage(std::span<const std::uint8_t> bytes)
{
    std::string type = sniffImageType(bytes);
    auto size = imagePixelSize(bytes);
    if (type.empty() || !size)
        return std::nullopt;
    EmbeddedImage image;
    image.mimeType = std::move(type);
    image.pixelWidth = int(size->width);
    image.pixelHeight = int(size->height);
    image.bytes.assign(bytes.begin(), bytes.end());
    return image;
}

std::optional<EmbeddedImage> imageFromDataUrl(std::string_view url)
{
    url = trimmed(url);
    if (asciiLower(url.substr(0, 5)) != "data:")
        return std::nullopt;
    std::size_t comma = url.find(',');
    if (comma == std::string_view::npos)
        return std::nullopt;
    std::string header = asciiLower(url.substr(5, comma - 5));
    std::string_view payload = url.substr(comma + 1);
    std::vector<std::uint8_t> bytes;
    bool isBase64 = header.size() >= 7 && header.compare(header.size() - 7, 7, ";base64") == 0;
    if (isBase64) {
        // Percent-escapes inside base64 are legal in a URL; undo them first.
        std::string unescaped;
        for (std::size_t i = 0; i < payload.size(); ++i) {
            if (payload[i] == '%' && i + 2 < payload.size() && kit::hexValue(payload[i + 1]) >= 0
                && kit::hexValue(payload[i + 2]) >= 0) {
                unescaped += char(kit::hexValue(payload[i + 1]) * 16 + kit::hexValue(payload[i + 2]));
                i += 2;
            } else {
                unescaped += payload[i];
            }
        }
        auto decoded = decodeBase64(unescaped);
        if (!decoded)
            return std::nullopt;
        bytes = std::move(*decoded);
    } else {
        for (std::size_t i = 0; i < payload.size(); ++i) {
            if (payload[i] == '%' && i + 2 < payload.size() && kit::hexValue(payload[i + 1]) >= 0
                && kit::hexValue(payload[i + 2]) >= 0) {
                bytes.push_back(std::uint8_t(kit::hexValue(payload[i + 1]) * 16 + kit::hexValue(payload[i + 2])));
                i += 2;
            } else {
                bytes.push_back(std::uint8_t(payload[i]));
            }
        }
    }
    return sniffImage(bytes);
}

} // namespace importer::html
