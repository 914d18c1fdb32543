#pragma once

#include "import/package/ZipArchive.h"
#include "kit/text/Attributes.h"

#include <map>
#include <memory>
#include <string>
#include <tuple>

namespace importer {

// The pictures of one package as attachments. A picture shown many times is read once, and one attachment
// is shared by every place that shows it at the same size; past a total of kMaxPictureBytes the rest become
// placeholders, so a document that shows one large picture ten thousand times at different sizes stays small.
class PackageImages {
public:
    explicit PackageImages(ZipArchive& archive)
        : m_archive(archive)
    {
    }

    // The picture in partName shown at size (points; zero for the picture's own size), fitted to limit.
    std::shared_ptr<const kit::Attachment> image(const std::string& partName, kit::Size size, const std::string& alternativeText,
        kit::Size limit);

    static constexpr std::size_t kMaxPictureBytes = 256u << 20;

private:
    ZipArchive& m_archive;
    std::map<std::string, std::shared_ptr<const std::string>> m_bytes; // by part name; null when unreadable
    std::map<std::tuple<std::string, float, float, float, float, std::string>, std::shared_ptr<const kit::Attachment>> m_attachments;
    std::size_t m_totalBytes = 0;
};

} // namespace importer
