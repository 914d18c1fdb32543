#include "import/package/OfficeImage.h"

#include "import/common/ByteReader.h"

#include <algorithm>
#include <cmath>

namespace importer {

namespace {

std::optional<std::uint16_t> readU16BE(const ByteReader& reader, std::size_t offset)
{
    auto high = reader.readU8(offset), low = reader.readU8(offset + 1);
    if (!high || !low)
        return std::nullopt;
    return std::uint16_t(*high << 8 | *low);
}

std::optional<std::uint32_t> readU32BE(const ByteReader& reader, std::size_t offset)
{
    auto high = readU16BE(reader, offset), low = readU16BE(reader, offset + 2);
    if (!high || !low)
        return std::nullopt;
    return std::uint32_t(*high) << 16 | *low;
}

// Walks the JPEG markers to the first start-of-frame, which holds the height and width.
std::optional<kit::Size> jpegSize(const ByteReader& reader)
{
    std::size_t offset = 2;
    for (int markers = 0; markers < 10000; ++markers) {
        auto marker = reader.readU8(offset), kind = reader.readU8(offset + 1);
        if (!marker || !kind || *marker != 0xFF)
            return std::nullopt;
        if (*kind == 0xFF) {
            ++offset;
            continue;
        }
        bool isFrame = *kind >= 0xC0 && *kind <= 0xCF && *kind != 0xC4 && *kind != 0xC8 && *kind != 0xCC;
        auto length = readU16BE(reader, offset + 2);
        if (!length)
            return std::nullopt;
        if (isFrame) {
            auto height = readU16BE(reader, offset + 5), width = readU16BE(reader, offset + 7);
            if (!height || !width)
                return std::nullopt;
            return kit::Size { float(*width), float(*height) };
        }
        offset += 2 + std::size_t(*length);
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
        auto width = readU32BE(reader, 16), height = readU32BE(reader, 20);
        if (!width || !height)
            return std::nullopt;
        return kit::Size { float(*width), float(*height) };
    }
    if (type == "image/gif") {
        auto width = reader.readU16LE(6), height = reader.readU16LE(8);
        if (!width || !height)
            return std::nullopt;
        return kit::Size { float(*width), float(*height) };
    }
    if (type == "image/jpeg")
        return jpegSize(reader);
    return std::nullopt;
}

kit::Size fitSize(kit::Size size, kit::Size limit)
{
    if (!std::isfinite(size.width) || !std::isfinite(size.height) || size.width < 0 || size.height < 0)
        return {};
    float scale = 1;
    if (limit.width > 0 && size.width > limit.width)
        scale = limit.width / size.width;
    if (limit.height > 0 && size.height * scale > limit.height)
        scale = limit.height / size.height;
    return { size.width * scale, size.height * scale };
}

std::shared_ptr<const kit::Attachment> makeImageAttachment(std::string bytes, kit::Size size, std::string alternativeText,
    kit::Size limit)
{
    std::span<const std::uint8_t> view(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    std::string type = sniffImageType(view);
    if (type.empty())
        return makePlaceholderAttachment(size, std::move(alternativeText), limit);
    if (size.width <= 0 || size.height <= 0) {
        if (auto pixels = imagePixelSize(view))
            size = { pixels->width * 0.75f, pixels->height * 0.75f };
    }
    auto attachment = std::make_shared<kit::Attachment>();
    attachment->bytes.assign(view.begin(), view.end());
    attachment->mimeType = std::move(type);
    attachment->size = fitSize(size, limit);
    attachment->alternativeText = std::move(alternativeText);
    return attachment;
}

std::shared_ptr<const kit::Attachment> makePlaceholderAttachment(kit::Size size, std::string alternativeText,
    kit::Size limit)
{
    auto attachment = std::make_shared<kit::Attachment>();
    attachment->size = fitSize(size, limit);
    attachment->alternativeText = std::move(alternativeText);
    return attachment;
}

} // namespace importer
