#include "import/common/ImageHeader.h"

#include "import/common/ByteReader.h"

namespace importer {

namespace {

std::optional<kit::Size> pixelSize(std::optional<std::uint32_t> width, std::optional<std::uint32_t> height)
{
    if (!width || !height || !*width || !*height || *width > kMaximumImagePixels || *height > kMaximumImagePixels)
        return std::nullopt;
    return kit::Size { float(*width), float(*height) };
}

// Walks the segments after the start-of-image marker to the first start-of-frame, which holds the height and
// width. Fill bytes and the markers that stand alone (TEM, RSTn, a repeated SOI) carry no length.
std::optional<kit::Size> jpegSize(const ByteReader& reader)
{
    std::size_t offset = 2;
    while (reader.contains(offset, 4)) {
        if (*reader.readU8(offset) != 0xFF)
            return std::nullopt;
        std::uint8_t marker = *reader.readU8(offset + 1);
        if (marker == 0xFF) {
            ++offset;
            continue;
        }
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7)) {
            offset += 2;
            continue;
        }
        std::uint16_t length = *reader.readU16BE(offset + 2);
        if (length < 2)
            return std::nullopt;
        bool isStartOfFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isStartOfFrame)
            return pixelSize(reader.readU16BE(offset + 7), reader.readU16BE(offset + 5));
        offset += 2 + std::size_t(length);
    }
    return std::nullopt;
}

} // namespace

std::string sniffImageType(std::span<const std::uint8_t> bytes)
{
    ByteReader reader(bytes);
    if (reader.startsWith("\x89PNG\r\n\x1A\n"))
        return "image/png";
    if (reader.startsWith("\xFF\xD8\xFF"))
        return "image/jpeg";
    if (reader.startsWith("GIF87a") || reader.startsWith("GIF89a"))
        return "image/gif";
    return {};
}

std::optional<kit::Size> imagePixelSize(std::span<const std::uint8_t> bytes)
{
    ByteReader reader(bytes);
    std::string type = sniffImageType(bytes);
    if (type == "image/png") {
        if (!reader.startsWith("IHDR", 12))
            return std::nullopt;
        return pixelSize(reader.readU32BE(16), reader.readU32BE(20));
    }
    if (type == "image/gif")
        return pixelSize(reader.readU16LE(6), reader.readU16LE(8));
    if (type == "image/jpeg")
        return jpegSize(reader);
    return std::nullopt;
}

} // namespace importer
