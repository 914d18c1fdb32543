#include "kit/text/AttachmentImages.h"

#include "kit/foundation/GRefPtr.h"
#include "kit/text/FontMap.h"
#include "kit/text/ParagraphEngine.h"

#include <algorithm>
#include <gdk-pixbuf/gdk-pixbuf.h>

namespace kit {

namespace {

// gdk-pixbuf holds unpremultiplied RGB(A) bytes; Cairo wants premultiplied native-endian ARGB32.
cairo_surface_t* surfaceFromPixbuf(GdkPixbuf* pixbuf)
{
    int width = gdk_pixbuf_get_width(pixbuf);
    int height = gdk_pixbuf_get_height(pixbuf);
    int channels = gdk_pixbuf_get_n_channels(pixbuf);
    bool hasAlpha = gdk_pixbuf_get_has_alpha(pixbuf);
    if (gdk_pixbuf_get_bits_per_sample(pixbuf) != 8 || channels < 3)
        return nullptr;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_flush(surface);
    const guchar* source = gdk_pixbuf_read_pixels(pixbuf);
    int sourceStride = gdk_pixbuf_get_rowstride(pixbuf);
    unsigned char* target = cairo_image_surface_get_data(surface);
    int targetStride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        const guchar* in = source + std::size_t(y) * sourceStride;
        auto* out = reinterpret_cast<std::uint32_t*>(target + std::size_t(y) * targetStride);
        for (int x = 0; x < width; ++x, in += channels) {
            std::uint32_t a = hasAlpha ? in[3] : 255;
            std::uint32_t r = (in[0] * a + 127) / 255, g = (in[1] * a + 127) / 255, b = (in[2] * a + 127) / 255;
            out[x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
    cairo_surface_mark_dirty(surface);
    return surface;
}

cairo_surface_t* decode(const Attachment& attachment)
{
    if (attachment.bytes.empty())
        return nullptr;
    auto loader = adoptGRef(gdk_pixbuf_loader_new());
    bool written = gdk_pixbuf_loader_write(loader.get(), attachment.bytes.data(), attachment.bytes.size(), nullptr);
    bool closed = gdk_pixbuf_loader_close(loader.get(), nullptr);
    cairo_surface_t* surface = nullptr;
    if (written && closed) {
        if (GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get()))
            surface = surfaceFromPixbuf(pixbuf);
    }
    return surface;
}

// The image's size in pixels, read from its header: the loader is told to decode to a single pixel.
Size pixelSize(const Attachment& attachment)
{
    if (attachment.bytes.empty())
        return {};
    Size size;
    auto loader = adoptGRef(gdk_pixbuf_loader_new());
    auto prepared = +[](GdkPixbufLoader* loader, int width, int height, gpointer data) {
        *static_cast<Size*>(data) = { float(width), float(height) };
        gdk_pixbuf_loader_set_size(loader, 1, 1);
    };
    g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(prepared), &size);
    bool written = gdk_pixbuf_loader_write(loader.get(), attachment.bytes.data(), attachment.bytes.size(), nullptr);
    bool closed = gdk_pixbuf_loader_close(loader.get(), nullptr);
    return written && closed ? size : Size {};
}

// Decoded images kept at once; the rest are decoded again when drawn.
constexpr std::size_t kDecodedImages = 32;

} // namespace

AttachmentImages::~AttachmentImages() { clear(); }

void AttachmentImages::clear()
{
    for (auto& [key, entry] : m_entries) {
        if (entry.surface)
            cairo_surface_destroy(entry.surface);
    }
    m_entries.clear();
}

AttachmentImages::Entry& AttachmentImages::entry(const std::shared_ptr<const Attachment>& attachment)
{
    Entry& found = m_entries[attachment.get()];
    if (!found.attachment)
        found.attachment = attachment;
    found.lastUse = ++m_uses;
    return found;
}

void AttachmentImages::evictSurfaces()
{
    std::size_t decoded = 0;
    for (const auto& [key, entry] : m_entries)
        decoded += entry.surface != nullptr;
    while (decoded > kDecodedImages) {
        Entry* oldest = nullptr;
        for (auto& [key, entry] : m_entries) {
            if (entry.surface && (!oldest || entry.lastUse < oldest->lastUse))
                oldest = &entry;
        }
        cairo_surface_destroy(oldest->surface);
        oldest->surface = nullptr;
        --decoded;
    }
}

cairo_surface_t* AttachmentImages::surface(const std::shared_ptr<const Attachment>& attachment)
{
    if (!attachment || attachment->bytes.empty())
        return nullptr;
    Entry& found = entry(attachment);
    if (!found.surface && !(found.pixels && found.pixels->width == 0)) {
        found.surface = decode(*attachment);
        found.pixels = found.surface ? Size { float(cairo_image_surface_get_width(found.surface)),
            float(cairo_image_surface_get_height(found.surface)) }
                                     : Size {};
        if (found.surface)
            evictSurfaces();
    }
    return found.surface;
}

Size AttachmentImages::layoutSize(const std::shared_ptr<const Attachment>& attachment, float maxWidth, float maxHeight)
{
    Size size = attachment ? attachment->size : Size {};
    size = { saneLength(size.width, 0, 100000), saneLength(size.height, 0, 100000) };
    if (!(size.width > 0 && size.height > 0)) {
        if (attachment && !attachment->bytes.empty()) {
            Entry& found = entry(attachment);
            if (!found.pixels)
                found.pixels = pixelSize(*attachment);
            size = *found.pixels;
        }
        if (!(size.width > 0 && size.height > 0))
            size = { 12, 12 };
    }
    float scale = 1;
    if (maxWidth > 0 && size.width > maxWidth)
        scale = maxWidth / size.width;
    if (maxHeight > 0 && size.height * scale > maxHeight)
        scale = maxHeight / size.height;
    return { size.width * scale, size.height * scale };
}

void AttachmentImages::draw(cairo_t* cr, const std::shared_ptr<const Attachment>& attachment, const Rect& rect)
{
    if (rect.isEmpty())
        return;
    cairo_save(cr);
    if (cairo_surface_t* image = surface(attachment)) {
        int width = cairo_image_surface_get_width(image), height = cairo_image_surface_get_height(image);
        cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
        cairo_clip(cr);
        cairo_translate(cr, rect.x(), rect.y());
        cairo_scale(cr, rect.width() / width, rect.height() / height);
        cairo_set_source_surface(cr, image, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
        // Scaling samples beyond the image's edge; repeating the edge keeps it sharp instead of fading out.
        cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
        cairo_paint(cr);
    } else {
        // A placeholder: the box the picture would fill, with its description inside.
        cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
        cairo_set_line_width(cr, 0.5);
        cairo_rectangle(cr, rect.x() + 0.25, rect.y() + 0.25, rect.width() - 0.5, rect.height() - 0.5);
        cairo_stroke(cr);
        const std::string* text = attachment ? &attachment->alternativeText : nullptr;
        if (text && !text->empty() && g_utf8_validate(text->data(), gssize(text->size()), nullptr) && rect.width() > 6
            && rect.height() > 6) {
            cairo_rectangle(cr, rect.x() + 2, rect.y() + 2, rect.width() - 4, rect.height() - 4);
            cairo_clip(cr);
            auto context = adoptGRef(FontMap::shared().createContext(PANGO_DIRECTION_LTR));
            auto layout = adoptGRef(pango_layout_new(context.get()));
            pango_layout_set_font_description(
                layout.get(), FontMap::shared().fontDescription("Liberation Sans", 9, false, false));
            pango_layout_set_width(layout.get(), int((rect.width() - 6) * PANGO_SCALE));
            pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
            pango_layout_set_text(layout.get(), text->data(), int(text->size()));
            cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
            cairo_move_to(cr, rect.x() + 3, rect.y() + 3);
            pango_cairo_show_layout(cr, layout.get());
        }
    }
    cairo_restore(cr);
}

} // namespace kit
