#pragma once

#include "kit/view/View.h"

#include <cairo.h>
#include <filesystem>
#include <memory>

namespace kit {

// An image scaled to fit the view, keeping its proportions, centred. The image is either one of the
// built-in symbols, drawn as vectors at any size, or a PNG file.
class ImageView : public View {
public:
    enum class Symbol { None, Caution, Information };

    using View::View;

    Symbol symbol() const { return m_symbol; }
    void setSymbol(Symbol symbol);
    // False (and no image) when the file is not a readable PNG.
    bool setImageFile(const std::filesystem::path& path);
    bool hasImage() const { return m_symbol != Symbol::None || m_surface; }

    bool isFlipped() const override { return true; }
    void drawRect(cairo_t* context, Rect dirty) override;

    // image ("caution", "information").
    bool setNibAttribute(std::string_view name, std::string_view value) override;

private:
    struct SurfaceRelease {
        void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
    };
    Symbol m_symbol = Symbol::None;
    std::unique_ptr<cairo_surface_t, SurfaceRelease> m_surface;
};

} // namespace kit
