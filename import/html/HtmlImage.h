#pragma once


#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace importer::html {

struct EmbeddedImage {
    std::vector<std::uint8_t> bytes;
    std::string mimeType; // "image/png", "image/jpeg" or "image/gif": what the bytes are, whatever the URL said
    int pixelWidth = 0;
    int pixelHeight = 0;
};

// The image a data: URL carries, when its bytes are a PNG, JPEG or GIF whose header gives a size.
std::optional<EmbeddedImage> imageFromDataUrl(std::string_view url);

// The MIME type and pixel size read from an image's header; nullopt for other formats and damaged headers.
std::optional<EmbeddedImage> sniffImage(std::span<const std::uint8_t> bytes);

} // namespace importer::html
