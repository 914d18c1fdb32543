#pragma once

#include "kit/text/Attributes.h"

#include <cairo.h>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <pango/pango.h>

namespace kit {

// Decoded attachment images as Cairo surfaces. Only bytes that start as PNG, JPEG or GIF are decoded, each
// by the loader of that one format; an image over kMaximumPixels is refused from its header, before a pixel
// is decoded; an image is decoded at the size it is drawn (device pixels) when that is smaller. Only the
// images drawn most recently stay decoded, within kDecodedBytesBudget, so pictures on pages that are not on
// screen cost no memory; an image's pixel size is remembered apart from its pixels. The cache keeps each attachment
// alive while it knows it, so its address stays a valid key.
class AttachmentImages {
public:
    // Where the text in pictures (a placeholder's description, a drawing's labels) is laid out: with the
    // process's font map, which only the UI thread may use, or with a font map of the cache's own, so that
    // a cache owned by another thread draws every picture.
    enum class TextFonts { Process, Own };
    explicit AttachmentImages(TextFonts = TextFonts::Process);
    ~AttachmentImages();
    AttachmentImages(const AttachmentImages&) = delete;
    AttachmentImages& operator=(const AttachmentImages&) = delete;

    // Pixels of an image's own size (width x height) past which it is not decoded: 50 megapixels, 200 MB
    // once decoded, where a crafted header can claim 4 gigapixels in a few bytes.
    static constexpr double kMaximumPixels = 50e6;
    // Bytes of decoded surfaces kept at once; the image drawn last stays even when it alone is larger.
    static constexpr std::size_t kDecodedBytesBudget = std::size_t(128) << 20;

    // Null for a placeholder or for bytes that do not decode. devicePixels: the size it is drawn at, to
    // decode no larger; empty for the image's own size.
    cairo_surface_t* surface(const std::shared_ptr<const Attachment>&, Size devicePixels = {});
    std::size_t decodedBytes() const;
    // The size an attachment is laid out at: its own size, else the image's pixels as points, else a small
    // box; scaled down (keeping its proportions) to at most maxWidth x maxHeight.
    Size layoutSize(const std::shared_ptr<const Attachment>&, float maxWidth, float maxHeight);
    void clear();

    // Draws an attachment into rect (user space): its drawing or image scaled to it, or for a placeholder
    // a bordered box with the alternative text.
    void draw(cairo_t*, const std::shared_ptr<const Attachment>&, const Rect&);

private:
    struct Entry {
        std::shared_ptr<const Attachment> attachment;
        std::optional<Size> pixels; // the image's size in pixels once known; {0, 0} when it does not decode
        cairo_surface_t* surface = nullptr;
        std::uint64_t lastUse = 0;
    };
    Entry& entry(const std::shared_ptr<const Attachment>&);
    void evictSurfaces(const Entry& keep);

    std::map<const Attachment*, Entry> m_entries;
    std::uint64_t m_uses = 0;
    bool m_ownFonts = false;
    PangoFontMap* m_fontMap = nullptr; // the cache's own, made when first needed

};

} // namespace kit
