#include "import/rtf/RtfPicture.h"

#include "import/common/ByteReader.h"
#include "import/common/ImageHeader.h"
#include "kit/foundation/Hex.h"

#include <algorithm>

namespace importer::rtf {

namespace {

// Pictures wider or taller than this many points are scaled down to it: a damaged size would otherwise
// make a page nobody can see.
constexpr float kMaximumSide = 14400;
// Images without a resolution of their own are taken at the screen's 96 pixels per inch.
constexpr float kPointsPerPixel = 72.0f / 96.0f;

} // namespace

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
