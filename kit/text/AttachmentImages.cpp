#include "kit/text/AttachmentImages.h"

#include "kit/foundation/GRefPtr.h"
#include "kit/text/FontMap.h"
#include "kit/text/ParagraphEngine.h"
#include "kit/text/VectorDrawing.h"

#include <algorithm>
#include <cmath>
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <span>
#include <string_view>

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

// The loader for the format the bytes themselves start with, whatever the document claimed: only PNG,
// JPEG and GIF are decoded, so no other loader installed on the machine ever sees a document's bytes.
const char* sniffedImageType(std::span<const std::uint8_t> bytes)
{
    auto startsWith = [&](std::string_view magic) {
        return bytes.size() >= magic.size()
            && std::equal(
                magic.begin(), magic.end(), bytes.begin(), [](char m, std::uint8_t b) { return std::uint8_t(m) == b; });
    };
    if (startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (startsWith("\xff\xd8\xff"))
        return "jpeg";
    if (startsWith("GIF87a") || startsWith("GIF89a"))
        return "gif";
    return nullptr;
}

// What the loader's size-prepared handler decides, before a pixel is decoded: the image's own size, and
// the size to decode at (the drawn size when smaller); an image over the pixel limit is not decoded at all.
struct SizeDecision {
    Size wanted; // device pixels; empty: the image's own size
    Size pixels; // the image's own size, from its header
    bool isRefused = false;
    bool headerOnly = false; // stop after the header
};

void sizePrepared(GdkPixbufLoader* loader, int width, int height, gpointer data)
{
    auto* decision = static_cast<SizeDecision*>(data);
    decision->pixels = { float(width), float(height) };
    // A size of 0 x 0 tells the format's module to stop before it allocates the image.
    if (width <= 0 || height <= 0 || double(width) * height > double(AttachmentImages::kMaximumPixels)) {
        decision->isRefused = true;
        gdk_pixbuf_loader_set_size(loader, 0, 0);
        return;
    }
    if (decision->headerOnly) {
        gdk_pixbuf_loader_set_size(loader, 0, 0);
        return;
    }
    Size wanted = decision->wanted;
    if (wanted.width >= 1 && wanted.height >= 1 && (wanted.width < width || wanted.height < height)) {
        // Keeps the proportions: the smaller scale of the two, at least one pixel each way.
        double scale = std::min(double(wanted.width) / width, double(wanted.height) / height);
        gdk_pixbuf_loader_set_size(
            loader, std::max(1, int(std::ceil(width * scale))), std::max(1, int(std::ceil(height * scale))));
    }
}

// Runs the typed loader over the bytes; false when the format is not one we decode or the bytes fail.
bool runLoader(const Attachment& attachment, SizeDecision& decision, GRefPtr<GdkPixbufLoader>& loader)
{
    const char* type = sniffedImageType(attachment.bytes);
    if (!type)
        return false;
    loader = adoptGRef(gdk_pixbuf_loader_new_with_type(type, nullptr));
    if (!loader)
        return false;
    g_signal_connect(loader.get(), "size-prepared", G_CALLBACK(sizePrepared), &decision);
    bool written = gdk_pixbuf_loader_write(loader.get(), attachment.bytes.data(), attachment.bytes.size(), nullptr);
    bool closed = gdk_pixbuf_loader_close(loader.get(), nullptr);
    return written && closed && !decision.isRefused;
}

cairo_surface_t* decode(const Attachment& attachment, Size wanted)
{
    if (attachment.bytes.empty())
        return nullptr;
    SizeDecision decision { wanted, {}, false, false };
    GRefPtr<GdkPixbufLoader> loader;
    if (!runLoader(attachment, decision, loader))
        return nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_loader_get_pixbuf(loader.get());
    return pixbuf ? surfaceFromPixbuf(pixbuf) : nullptr;
}

// The image's size in pixels, read from its header alone; empty when it is not an image we decode.
Size pixelSize(const Attachment& attachment)
{
    if (attachment.bytes.empty())
        return {};
    SizeDecision decision { {}, {}, false, true };
    GRefPtr<GdkPixbufLoader> loader;
    runLoader(attachment, decision, loader); // fails by design: the module stops after the header
    return decision.isRefused ? Size {} : decision.pixels;
}

std::size_t surfaceBytes(cairo_surface_t* surface)
{
    return std::size_t(cairo_image_surface_get_stride(surface)) * std::size_t(cairo_image_surface_get_height(surface));
}

} // namespace

AttachmentImages::AttachmentImages(TextFonts fonts)
    : m_ownFonts(fonts == TextFonts::Own)
{
}

AttachmentImages::~AttachmentImages()
{
    clear();
    if (m_fontMap)
        g_object_unref(m_fontMap);
}

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

std::size_t AttachmentImages::decodedBytes() const
{
    std::size_t bytes = 0;
    for (const auto& [key, entry] : m_entries)
        bytes += entry.surface ? surfaceBytes(entry.surface) : 0;
    return bytes;
}

void AttachmentImages::evictSurfaces(const Entry& keep)
{
    std::size_t decoded = decodedBytes();
    while (decoded > kDecodedBytesBudget) {
        Entry* oldest = nullptr;
        for (auto& [key, entry] : m_entries) {
            if (entry.surface && &entry != &keep && (!oldest || entry.lastUse < oldest->lastUse))
                oldest = &entry;
        }
        if (!oldest)
            return; // only the image being drawn is left: it stays, whatever its size
        decoded -= surfaceBytes(oldest->surface);
        cairo_surface_destroy(oldest->surface);
        oldest->surface = nullptr;
    }
}

cairo_surface_t* AttachmentImages::surface(const std::shared_ptr<const Attachment>& attachment, Size devicePixels)
{
    if (!attachment || attachment->bytes.empty())
        return nullptr;
    Entry& found = entry(attachment);
    if (found.pixels && found.pixels->width == 0)
        return nullptr; // known not to decode
    // A surface decoded smaller than now drawn (after zooming in) is decoded again, larger.
    if (found.surface && devicePixels.width >= 1 && devicePixels.height >= 1) {
        int width = cairo_image_surface_get_width(found.surface),
            height = cairo_image_surface_get_height(found.surface);
        bool isFull = found.pixels && width >= found.pixels->width && height >= found.pixels->height;
        if (!isFull && (width < std::floor(devicePixels.width) || height < std::floor(devicePixels.height))) {
            cairo_surface_destroy(found.surface);
            found.surface = nullptr;
        }
    }
    if (!found.surface) {
        found.surface = decode(*attachment, devicePixels);
        if (!found.surface)
            found.pixels = Size {};
        else if (!found.pixels)
            found.pixels = pixelSize(*attachment);
        if (found.surface)
            evictSurfaces(found);
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
    if (m_ownFonts && !m_fontMap)
        m_fontMap = FontMap::createPrivateFontMap();
    if (attachment && attachment->drawing) {
        drawVectorDrawing(cr, *attachment->drawing, rect, m_fontMap);
        return;
    }
    cairo_save(cr);
    double deviceWidth = rect.width(), deviceHeight = rect.height();
    cairo_user_to_device_distance(cr, &deviceWidth, &deviceHeight);
    Size devicePixels { float(std::ceil(std::fabs(deviceWidth))), float(std::ceil(std::fabs(deviceHeight))) };
    if (cairo_surface_t* image = surface(attachment, devicePixels)) {
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
            auto layout = adoptGRef(FontMap::createLayout(m_fontMap, "Liberation Sans", 9, false));
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
