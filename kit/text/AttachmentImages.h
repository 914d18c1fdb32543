#pragma once

#include "kit/text/Attributes.h"

#include <cairo.h>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>

namespace kit {

// Decoded attachment images (PNG, JPEG, GIF through gdk-pixbuf) as Cairo surfaces. Only the images drawn
// most recently stay decoded, so pictures on pages that are not on screen cost no memory; an image's pixel
// size is remembered apart from its pixels. The cache keeps each attachment alive while it knows it, so
// its address stays a valid key.
class AttachmentImages {
public:
    AttachmentImages() = default;
    ~AttachmentImages();
    AttachmentImages(const AttachmentImages&) = delete;
    AttachmentImages& operator=(const AttachmentImages&) = delete;

    // Null for a placeholder or for bytes that do not decode.
    cairo_surface_t* surface(const std::shared_ptr<const Attachment>&);
    // The size an attachment is laid out at: its own size, else the image's pixels as points, else a small
    // box; scaled down (keeping its proportions) to at most maxWidth x maxHeight.
    Size layoutSize(const std::shared_ptr<const Attachment>&, float maxWidth, float maxHeight);
    void clear();

    // Draws an attachment into rect (user space): the image scaled to it, or for a placeholder a bordered
    // box with the alternative text.
    void draw(cairo_t*, const std::shared_ptr<const Attachment>&, const Rect&);

private:
    struct Entry {
        std::shared_ptr<const Attachment> attachment;
        std::optional<Size> pixels; // the image's size in pixels once known; {0, 0} when it does not decode
        cairo_surface_t* surface = nullptr;
        std::uint64_t lastUse = 0;
    };
    Entry& entry(const std::shared_ptr<const Attachment>&);
    void evictSurfaces();

    std::map<const Attachment*, Entry> m_entries;
    std::uint64_t m_uses = 0;
};

} // namespace kit
