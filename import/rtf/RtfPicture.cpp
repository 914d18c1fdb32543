#include "import/rtf/RtfPicture.h"

#include "import/common/ByteReader.h"
#include "kit/foundation/Hex.h"

#include <algorithm>

namespace importer::rtf {

namespace {

// Pictures wider or taller than this many points are scaled down to it: a damaged size would otherwise
// make a page nobody can see.
constexpr float kMaximumSide = 14400;
// Images without a resolution of their own are taken at the screen's 96 pixels per inch.
constexpr float kPointsPerPixel = 72.0f / 96.0f;

std::uint16_t readU16BE(const ByteReader& reader, std::size_t offset)
{
    auto high = reader.readU8(offset);
    auto low = reader.readU8(offset + 1);
    return high && low ? std::uint16_t(*high << 8 | *low) : 0;
}

std::uint32_t readU32BE(const ByteReader& reader, std::size_t offset)
{
    return std::uint32_t(readU16BE(reader, offset)) << 16 | readU16BE(reader, offset + 2);
}

} // namespace

std::optional<kit::Size> imagePixelSize(std::span<const std::uint8_t> bytes)
{
    ByteReader reader(bytes);
    if (reader.startsWith("\x89PNG\r\n\x1A\n") && reader.startsWith("IHDR", 12)) {
        std::uint32_t width = readU32BE(reader, 16);
        std::uint32_t height = readU32BE(reader, 20);
        if (width && height && width < 1000000 && height < 1000000)
            return kit::Size { float(width), float(height) };
        return std::nullopt;
    }
    if (!reader.startsWith("\xFF\xD8"))
        return std::nullopt;
    // Walk the JPEG segments to the first start-of-frame marker.
    std::size_t offset = 2;
    while (reader.contains(offset, 4)) {
        if (*reader.readU8(offset) != 0xFF)
            return std::nullopt;
        std::uint8_t marker = *reader.readU8(offset + 1);
        if (marker == 0xFF) {
            ++offset;
            continue;
        }
        std::uint16_t length = readU16BE(reader, offset + 2);
        bool isStartOfFrame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (isStartOfFrame) {
            std::uint16_t height = readU16BE(reader, offset + 5);
            std::uint16_t width = readU16BE(reader, offset + 7);
            if (width && height)
                return kit::Size { float(width), float(height) };
            return std::nullopt;
        }
        if (length < 2)
            return std::nullopt;
        offset += 2 + length;
    }
    return std::nullopt;
}

void RtfPicture::appendHex(std::span<const std::uint8_t> text)
{
    for (std::uint8_t c : text) {
        int value = kit::hexValue(c);
        if (value < 0)
            continue;
        if (m_pendingNibble < 0) {
            m_pendingNibble = value;
        } else {
            m_bytes.push_back(std::uint8_t(m_pendingNibble << 4 | value));
            m_pendingNibble = -1;
        }
    }
}

void RtfPicture::appendBinary(std::span<const std::uint8_t> data)
{
    m_bytes.insert(m_bytes.end(), data.begin(), data.end());
}

std::optional<kit::Size> RtfPicture::displaySize() const
{
    float width = 0;
    float height = 0;
    if (m_goalWidth > 0 && m_goalHeight > 0) {
        width = float(m_goalWidth) / 20.0f;
        height = float(m_goalHeight) / 20.0f;
    } else if (m_format == Format::Png || m_format == Format::Jpeg || m_format == Format::Bitmap) {
        std::optional<kit::Size> pixels = imagePixelSize(m_bytes);
        if (!pixels && m_width > 0 && m_height > 0)
            pixels = kit::Size { float(m_width), float(m_height) };
        if (!pixels)
            return std::nullopt;
        width = pixels->width * kPointsPerPixel;
        height = pixels->height * kPointsPerPixel;
    } else if (m_width > 0 && m_height > 0) {
        // Metafile extents are in hundredths of a millimetre.
        width = float(m_width) * 72.0f / 2540.0f;
        height = float(m_height) * 72.0f / 2540.0f;
    } else {
        return std::nullopt;
    }
    if (m_scaleX > 0)
        width *= float(m_scaleX) / 100.0f;
    if (m_scaleY > 0)
        height *= float(m_scaleY) / 100.0f;
    if (!(width > 0) || !(height > 0))
        return std::nullopt;
    float shrink = std::min({ 1.0f, kMaximumSide / width, kMaximumSide / height });
    return kit::Size { std::max(width * shrink, 0.05f), std::max(height * shrink, 0.05f) };
}

std::shared_ptr<const kit::Attachment> RtfPicture::attachment() const
{
    auto attachment = std::make_shared<kit::Attachment>();
    bool isImage = false;
    if (m_format == Format::Png || (m_format != Format::Jpeg && ByteReader(m_bytes).startsWith("\x89PNG"))) {
        attachment->mimeType = "image/png";
        isImage = true;
    } else if (m_format == Format::Jpeg || ByteReader(m_bytes).startsWith("\xFF\xD8\xFF")) {
        attachment->mimeType = "image/jpeg";
        isImage = true;
    }
    if (isImage && !m_bytes.empty())
        attachment->bytes = m_bytes;
    else
        attachment->mimeType.clear();
    attachment->size = displaySize().value_or(kit::Size { 72, 72 });
    attachment->alternativeText = m_alternativeText;
    return attachment;
}

} // namespace importer::rtf
