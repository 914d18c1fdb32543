#include "import/package/PackageImages.h"

#include "import/package/OfficeImage.h"

namespace importer {

std::shared_ptr<const kit::Attachment> PackageImages::image(const std::string& partName, kit::Size size,
    const std::string& alternativeText, kit::Size limit)
{
    auto key = std::make_tuple(ZipArchive::normalizedName(partName), size.width, size.height, limit.width, limit.height, alternativeText);
    if (auto it = m_attachments.find(key); it != m_attachments.end())
        return it->second;

    auto stored = m_bytes.find(std::get<0>(key));
    if (stored == m_bytes.end()) {
        auto read = m_archive.read(partName);
        std::shared_ptr<const std::string> bytes;
        if (read.bytes)
            bytes = std::make_shared<const std::string>(std::move(*read.bytes));
        stored = m_bytes.emplace(std::get<0>(key), std::move(bytes)).first;
    }
    std::shared_ptr<const kit::Attachment> attachment;
    const std::string* bytes = stored->second.get();
    if (bytes && m_totalBytes + bytes->size() <= kMaxPictureBytes) {
        attachment = makeImageAttachment(*bytes, size, alternativeText, limit);
        m_totalBytes += attachment->bytes.size();
    } else {
        attachment = makePlaceholderAttachment(size, alternativeText, limit);
    }
    m_attachments.emplace(std::move(key), attachment);
    return attachment;
}

} // namespace importer
