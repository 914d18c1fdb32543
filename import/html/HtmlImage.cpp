#include "import/html/HtmlImage.h"

#include "import/common/ByteReader.h"
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

std::uint16_t bigEndian16(const ByteReader& reader, std::size_t offset)
{
    auto hi = reader.readU8(offset), lo = reader.readU8(offset + 1);
    return hi && lo ? std::uint16_t(*hi << 8 | *lo) : 0;
}

std::uint32_t bigEndian32(const ByteReader& reader, std::size_t offset)
{
    return std::uint32_t(bigEndian16(reader, offset)) << 16 | bigEndian16(reader, offset + 2);
}

// The frame size of a JPEG: the first start-of-frame marker's height and width.
bool jpegSize(const ByteReader& reader, int& width, int& height)
{
    std::size_t offset = 2;
    while (reader.contains(offset, 4)) {
        if (*reader.readU8(offset) != 0xFF)
            return false;
        std::uint8_t marker = *reader.readU8(offset + 1);
        if (marker == 0xFF) {
            ++offset; // fill byte
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            offset += 2;
            continue;
        }
        std::uint16_t length = bigEndian16(reader, offset + 2);
        if (length < 2)
            return false;
        bool startOfFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (startOfFrame) {
            if (!reader.contains(offset + 4, 5))
                return false;
            height = bigEndian16(reader, offset + 5);
            width = bigEndian16(reader, offset + 7);
            return width > 0 && height > 0;
        }
        offset += 2 + std::size_t(length);
    }
    return false;
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
    ByteReader reader(bytes);
    EmbeddedImage image;
    if (reader.startsWith("\x89PNG\r\n\x1A\n")) {
        if (!reader.startsWith("IHDR", 12) || !reader.contains(16, 8))
            return std::nullopt;
        std::uint32_t width = bigEndian32(reader, 16), height = bigEndian32(reader, 20);
        if (!width || !height || width > 1000000 || height > 1000000)
            return std::nullopt;
        image.mimeType = "image/png";
        image.pixelWidth = int(width);
        image.pixelHeight = int(height);
    } else if (reader.startsWith("GIF87a") || reader.startsWith("GIF89a")) {
        auto width = reader.readU16LE(6), height = reader.readU16LE(8);
        if (!width || !height || !*width || !*height)
            return std::nullopt;
        image.mimeType = "image/gif";
        image.pixelWidth = *width;
        image.pixelHeight = *height;
    } else if (reader.startsWith("\xFF\xD8\xFF")) {
        if (!jpegSize(reader, image.pixelWidth, image.pixelHeight))
            return std::nullopt;
        image.mimeType = "image/jpeg";
    } else {
        return std::nullopt;
    }
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
