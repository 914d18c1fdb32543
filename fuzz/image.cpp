// Pictures as documents carry them: bytes with whatever MIME type the document claimed, decoded through
// the attachment cache (sniffed PNG, JPEG and GIF only, each by its own loader, pixels capped from the
// header, decoded at the drawn size), measured, and drawn into a small surface. The first input byte picks
// the claimed type and the drawn size, so the fuzzer reaches both the own-size and the scaled decodes.
#include "kit/text/AttachmentImages.h"

#include <cairo.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const char* types[] = { "image/png", "image/jpeg", "image/gif", "image/svg+xml" };
    auto attachment = std::make_shared<kit::Attachment>();
    attachment->bytes.assign(data + 1, data + size);
    attachment->mimeType = types[data[0] & 3];
    attachment->size = { 100, 80 };
    kit::AttachmentImages images;
    kit::Size device = data[0] & 4 ? kit::Size { 37, 23 } : kit::Size {};
    if (cairo_surface_t* surface = images.surface(attachment, device)) {
        int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
        if (width <= 0 || height <= 0 || double(width) * height > kit::AttachmentImages::kMaximumPixels) {
            std::fprintf(stderr, "image: rule broken: a decoded image has a size within the cap\n");
            std::abort();
        }
    }
    kit::Size laidOut = images.layoutSize(attachment, 468, 648);
    if (!(laidOut.width > 0 && laidOut.width <= 468 && laidOut.height > 0 && laidOut.height <= 648)) {
        std::fprintf(stderr, "image: rule broken: an attachment is laid out within its bounds\n");
        std::abort();
    }
    cairo_surface_t* target = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 64, 64);
    cairo_t* cr = cairo_create(target);
    images.draw(cr, attachment, { { 0, 0 }, { 64, 64 } });
    cairo_destroy(cr);
    cairo_surface_destroy(target);
    return 0;
}
