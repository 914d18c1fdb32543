#include "kit/view/TextDrawing.h"

#include "kit/foundation/CRelease.h"
#include "kit/foundation/GRefPtr.h"

#include <memory>
#include <pango/pangocairo.h>

namespace kit::text {

namespace {

using LayoutPtr = GRefPtr<PangoLayout>;
using FontDescriptionPtr = CPtr<PangoFontDescription, pango_font_description_free>;

// One font map and context for every control of the process: 72 dpi, unhinted metrics, so that sizes are
// points and do not change with the drawing scale. Never freed: they live as long as the process.
PangoContext* sharedContext()
{
    static PangoContext* context = [] {
        auto fontMap = adoptGRef(pango_cairo_font_map_new()); // the context keeps its own reference
        pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(fontMap.get()), 72);
        PangoContext* created = pango_font_map_create_context(fontMap.get());
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(created, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(created, FALSE);
        return created;
    }();
    return context;
}

LayoutPtr makeLayout(std::string_view utf8, const Style& style, float width)
{
    LayoutPtr layout = adoptGRef(pango_layout_new(sharedContext()));
    pango_layout_set_text(layout.get(), utf8.data(), int(utf8.size()));
    FontDescriptionPtr font(pango_font_description_new());
    pango_font_description_set_family(font.get(), "Liberation Sans");
    pango_font_description_set_absolute_size(font.get(), style.fontSize * PANGO_SCALE);
    if (style.bold)
        pango_font_description_set_weight(font.get(), PANGO_WEIGHT_BOLD);
    pango_layout_set_font_description(layout.get(), font.get());
    if (width > 0) {
        pango_layout_set_width(layout.get(), int(width * PANGO_SCALE));
        if (style.wraps)
            pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
        else
            pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
    }
    switch (style.alignment) {
    case Alignment::Left:
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_LEFT);
        break;
    case Alignment::Center:
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
        break;
    case Alignment::Right:
        pango_layout_set_alignment(layout.get(), PANGO_ALIGN_RIGHT);
        break;
    }
    return layout;
}

} // namespace

Size measure(std::string_view utf8, const Style& style, float maxWidth)
{
    LayoutPtr layout = makeLayout(utf8, style, maxWidth);
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    return { float(logical.width) / PANGO_SCALE, float(logical.height) / PANGO_SCALE };
}

void draw(cairo_t* context, std::string_view utf8, Rect rect, const Style& style, bool centerVertically)
{
    if (utf8.empty() || rect.isEmpty())
        return;
    LayoutPtr layout = makeLayout(utf8, style, rect.width());
    pango_cairo_update_context(context, sharedContext());
    pango_layout_context_changed(layout.get());
    PangoRectangle logical;
    pango_layout_get_extents(layout.get(), nullptr, &logical);
    float height = float(logical.height) / PANGO_SCALE;
    float y = centerVertically ? rect.minY() + (rect.height() - height) / 2 : rect.minY();
    cairo_save(context);
    auto [r, g, b, a] = style.color.rgba();
    cairo_set_source_rgba(context, r, g, b, a);
    cairo_move_to(context, rect.minX(), y);
    pango_cairo_show_layout(context, layout.get());
    cairo_restore(context);
}

} // namespace kit::text
