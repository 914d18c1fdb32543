#pragma once

#include "kit/text/Attributes.h"

#include <cairo.h>
#include <map>
#include <memory>

namespace kit {

// Decoded attachment images (PNG, JPEG, GIF through gdk-pixbuf), kept as Cairo surfaces while the text
// that holds them is laid out. The cache keeps each attachment alive, so its address stays a valid key.
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
    std::map<const Attachment*, std::pair<std::shared_ptr<const Attachment>, cairo_surface_t*>> m_surfaces;
};

} // namespace kit
