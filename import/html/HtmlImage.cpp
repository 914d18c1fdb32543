#include "import/html/HtmlImage.h"

#include "import/common/ImageHeader.h"
#include "import/html/CssValues.h"
#include "kit/foundation/Base64.h"
#include "kit/foundation/Hex.h"

namespace importer::html {


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
        auto decoded = kit::decodeBase64(unescaped, kit::Base64Rule::Forgiving);
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
