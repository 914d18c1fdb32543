#include "import/package/OfficeImage.h"


#include <algorithm>
#include <cmath>

namespace importer {

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
