#include "kit/view/ImageView.h"

#include "kit/view/NibAttributeTable.h"

#include <algorithm>
#include <numbers>

namespace kit {

void ImageView::setSymbol(Symbol symbol)
{
    m_surface.reset();
    m_symbol = symbol;
    setNeedsDisplay(true);
}

bool ImageView::setImageFile(const std::filesystem::path& path)
{
    m_symbol = Symbol::None;
    m_surface.reset(cairo_image_surface_create_from_png(path.c_str()));
    if (cairo_surface_status(m_surface.get()) != CAIRO_STATUS_SUCCESS)
        m_surface.reset();
    setNeedsDisplay(true);
    return bool(m_surface);
}

// The symbols are drawn in a 64 x 64 box.
static void drawCaution(cairo_t* context)
{
    cairo_new_path(context);
    cairo_move_to(context, 32, 4);
    cairo_line_to(context, 62, 58);
    cairo_line_to(context, 2, 58);
    cairo_close_path(context);
    cairo_set_line_join(context, CAIRO_LINE_JOIN_ROUND);
    cairo_set_source_rgb(context, 0.98, 0.78, 0.1);
    cairo_fill_preserve(context);
    cairo_set_source_rgb(context, 0.55, 0.4, 0.0);
    cairo_set_line_width(context, 2.5);
    cairo_stroke(context);
    cairo_set_source_rgb(context, 0.1, 0.1, 0.1);
    cairo_rectangle(context, 29, 20, 6, 22);
    cairo_fill(context);
    cairo_arc(context, 32, 49, 3.5, 0, 2 * std::numbers::pi);
    cairo_fill(context);
}

static void drawInformation(cairo_t* context)
{
    cairo_arc(context, 32, 32, 29, 0, 2 * std::numbers::pi);
    cairo_set_source_rgb(context, 0.2, 0.45, 0.85);
    cairo_fill(context);
    cairo_set_source_rgb(context, 1, 1, 1);
    cairo_rectangle(context, 28.5, 27, 7, 24);
    cairo_fill(context);
    cairo_arc(context, 32, 18, 4, 0, 2 * std::numbers::pi);
    cairo_fill(context);
}

void ImageView::drawRect(cairo_t* context, Rect)
{
    Rect b = bounds();
    double width = 64, height = 64;
    if (m_surface) {
        width = cairo_image_surface_get_width(m_surface.get());
        height = cairo_image_surface_get_height(m_surface.get());
    } else if (m_symbol == Symbol::None) {
        return;
    }
    if (width <= 0 || height <= 0 || b.isEmpty())
        return;
    double scale = std::min(b.width() / width, b.height() / height);
    cairo_save(context);
    cairo_translate(context, b.midX() - width * scale / 2, b.midY() - height * scale / 2);
    cairo_scale(context, scale, scale);
    if (m_surface) {
        cairo_set_source_surface(context, m_surface.get(), 0, 0);
        cairo_paint(context);
    } else if (m_symbol == Symbol::Caution) {
        drawCaution(context);
    } else {
        drawInformation(context);
    }
    cairo_restore(context);
}

bool ImageView::setNibAttribute(std::string_view name, std::string_view value)
{
    static const NibAttributeTable<ImageView, View> attributes {
        { "image", [](ImageView& view, std::string_view value) {
             return nib::apply(view, &ImageView::setSymbol,
                 nib::parseChoice<Symbol>(
                     value, { { "caution", Symbol::Caution }, { "information", Symbol::Information } }));
         } },
    };
    return attributes.apply(*this, name, value);
}

} // namespace kit
