#include "kit/text/PangoLineRecorder.h"

#include <pango/pangocairo.h>

namespace kit {

namespace {

using Rgba = PageDisplayList::Rgba;

double fromPango(double units) { return units / PANGO_SCALE; }

} // namespace

// A Pango renderer that draws nothing: it adds to a display list what Pango's cairo renderer would draw.
struct KitPangoLineRecorder {
    PangoRenderer parent;
    PageDisplayList::Builder* builder; // whose current line's pen is Pango's (0, 0)
    cairo_t* scratch; // made when an outline is wanted: Pango appends outlines to a context's path
};

struct KitPangoLineRecorderClass {
    PangoRendererClass parent;
};

G_DEFINE_TYPE(KitPangoLineRecorder, kit_pango_line_recorder, PANGO_TYPE_RENDERER)

namespace {

KitPangoLineRecorder* recorderOf(PangoRenderer* renderer) { return reinterpret_cast<KitPangoLineRecorder*>(renderer); }

// The colour Pango's cairo renderer sets for a part: the attribute's, else the source it found, which is
// black where our lines are drawn; an alpha attribute replaces the alpha.
Rgba colorOf(PangoRenderer* renderer, PangoRenderPart part)
{
    Rgba rgba { 0, 0, 0, 1 };
    if (const PangoColor* color = pango_renderer_get_color(renderer, part))
        rgba = { color->red / 65535.0, color->green / 65535.0, color->blue / 65535.0, 1 };
    if (guint16 alpha = pango_renderer_get_alpha(renderer, part))
        rgba[3] = alpha / 65535.0;
    return rgba;
}

cairo_t* scratchOf(KitPangoLineRecorder* self)
{
    if (!self->scratch) {
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
        self->scratch = cairo_create(surface);
        cairo_surface_destroy(surface);
    }
    cairo_new_path(self->scratch);
    return self->scratch;
}

// The path the scratch context holds now, as a fill of the list.
void addScratchPath(KitPangoLineRecorder* self, const Rgba& color)
{
    cairo_path_t* path = cairo_copy_path(self->scratch);
    if (path->status != CAIRO_STATUS_SUCCESS || path->num_data == 0) {
        cairo_path_destroy(path);
        return;
    }
    PageDisplayList::Fill fill;
    fill.path = std::shared_ptr<const cairo_path_t>(
        path, [](const cairo_path_t* p) { cairo_path_destroy(const_cast<cairo_path_t*>(p)); });
    fill.fromPen = true;
    fill.color = color;
    self->builder->add(std::move(fill));
}

bool isHexBox(PangoGlyph glyph)
{
    return (glyph & PANGO_GLYPH_UNKNOWN_FLAG) && glyph != (0x20 | PANGO_GLYPH_UNKNOWN_FLAG);
}

// Glyphs at (x, y) in Pango units, as Pango's cairo renderer places them; run brings the text and clusters
// when there are any. Glyphs no font has become the outlines of their boxes, as Pango draws them.
void addGlyphs(
    KitPangoLineRecorder* self, PangoFont* font, PangoGlyphString* glyphs, int x, int y, PageDisplayList::GlyphRun run)
{
    double baseX = fromPango(x), baseY = fromPango(y);
    cairo_scaled_font_t* scaled
        = font && PANGO_IS_CAIRO_FONT(font) ? pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(font)) : nullptr;
    bool installs = scaled && cairo_scaled_font_status(scaled) == CAIRO_STATUS_SUCCESS;
    Rgba color = colorOf(&self->parent, PANGO_RENDER_PART_FOREGROUND);

    bool boxes = false;
    run.glyphs.reserve(std::size_t(glyphs->num_glyphs));
    int position = 0;
    for (int i = 0; i < glyphs->num_glyphs; ++i) {
        const PangoGlyphInfo& info = glyphs->glyphs[i];
        if (info.glyph != PANGO_GLYPH_EMPTY) {
            // From the run's start, which is where Pango's cairo renderer adds them.
            double cx = fromPango(position + info.geometry.x_offset);
            double cy = info.geometry.y_offset ? fromPango(info.geometry.y_offset) : 0;
            if (!installs || (info.glyph & PANGO_GLYPH_UNKNOWN_FLAG))
                boxes = boxes || !installs || isHexBox(info.glyph);
            else
                run.glyphs.push_back({ info.glyph, cx, cy });
        }
        position += info.geometry.width;
    }
    if (installs && (!run.glyphs.empty() || !run.text.empty())) {
        run.font = PageDisplayList::retain(scaled);
        run.fromPen = true;
        run.x = baseX;
        run.y = baseY;
        run.color = color;
        self->builder->add(std::move(run));
    }
    if (!boxes || !font)
        return;
    // Pango draws the boxes itself from a font of its own: let it describe them as a path.
    PangoGlyphString* missing = pango_glyph_string_copy(glyphs);
    for (int i = 0; installs && i < missing->num_glyphs; ++i) {
        if (!isHexBox(missing->glyphs[i].glyph))
            missing->glyphs[i].glyph = PANGO_GLYPH_EMPTY;
    }
    cairo_t* cr = scratchOf(self);
    cairo_move_to(cr, baseX, baseY);
    pango_cairo_glyph_string_path(cr, font, missing);
    pango_glyph_string_free(missing);
    addScratchPath(self, color);
}

void drawGlyphs(PangoRenderer* renderer, PangoFont* font, PangoGlyphString* glyphs, int x, int y)
{
    addGlyphs(recorderOf(renderer), font, glyphs, x, y, {});
}

void drawGlyphItem(PangoRenderer* renderer, const char* text, PangoGlyphItem* glyphItem, int x, int y)
{
    PangoItem* item = glyphItem->item;
    PangoGlyphString* glyphs = glyphItem->glyphs;
    PageDisplayList::GlyphRun run;
    run.backward = (item->analysis.level & 1) != 0;
    // One cluster per Pango cluster, counting only the glyphs that are drawn as glyphs, as Pango's cairo
    // renderer gives them to a surface that keeps text.
    PangoGlyphItemIter iter;
    if (text && pango_glyph_item_iter_init_start(&iter, glyphItem, text)) {
        do {
            int bytes = iter.end_index - iter.start_index;
            int count = run.backward ? iter.start_glyph - iter.end_glyph : iter.end_glyph - iter.start_glyph;
            for (int i = std::min(iter.start_glyph, iter.end_glyph + 1);
                 i < std::max(iter.start_glyph + 1, iter.end_glyph); ++i) {
                PangoGlyph glyph = glyphs->glyphs[i].glyph;
                if (glyph == PANGO_GLYPH_EMPTY || (glyph & PANGO_GLYPH_UNKNOWN_FLAG))
                    --count;
            }
            run.clusters.push_back({ bytes, count });
        } while (pango_glyph_item_iter_next_cluster(&iter));
        run.text.assign(text + item->offset, std::size_t(item->length));
    }
    addGlyphs(recorderOf(renderer), item->analysis.font, glyphs, x, y, std::move(run));
}

void drawRectangle(PangoRenderer* renderer, PangoRenderPart part, int x, int y, int width, int height)
{
    KitPangoLineRecorder* self = recorderOf(renderer);
    PageDisplayList::Fill fill;
    fill.fromPen = true;
    // Exact in single precision: whole Pango units of lengths a page can hold.
    fill.rect = Rect(float(fromPango(x)), float(fromPango(y)), float(fromPango(width)), float(fromPango(height)));
    fill.color = colorOf(renderer, part);
    self->builder->add(std::move(fill));
}

void drawErrorUnderline(PangoRenderer* renderer, int x, int y, int width, int height)
{
    PageDisplayList::Fill fill;
    fill.fromPen = true;
    fill.wavy = true;
    fill.rect = Rect(float(fromPango(x)), float(fromPango(y)), float(fromPango(width)), float(fromPango(height)));
    fill.color = colorOf(renderer, PANGO_RENDER_PART_UNDERLINE);
    recorderOf(renderer)->builder->add(std::move(fill));
}

// Only drawn for a renderer with a transformation, which ours never has; kept for completeness.
void drawTrapezoid(
    PangoRenderer* renderer, PangoRenderPart part, double y1, double x11, double x21, double y2, double x12, double x22)
{
    KitPangoLineRecorder* self = recorderOf(renderer);
    cairo_t* cr = scratchOf(self);
    cairo_move_to(cr, x11, y1);
    cairo_line_to(cr, x21, y1);
    cairo_line_to(cr, x22, y2);
    cairo_line_to(cr, x12, y2);
    cairo_close_path(cr);
    addScratchPath(self, colorOf(renderer, part));
}

void drawShape(PangoRenderer* renderer, PangoAttrShape* shape, int x, int y)
{
    KitPangoLineRecorder* self = recorderOf(renderer);
    if (!shape->data)
        return;
    const PangoRectangle& logical = shape->logical_rect;
    PageDisplayList::Picture picture;
    picture.fromPen = true;
    picture.x = fromPango(x);
    picture.y = fromPango(y);
    picture.rect = Rect(float(fromPango(logical.x)), float(fromPango(logical.y)), float(fromPango(logical.width)),
        float(fromPango(logical.height)));
    picture.attachment = *static_cast<const std::shared_ptr<const Attachment>*>(shape->data);
    self->builder->add(std::move(picture));
}

} // namespace

static void kit_pango_line_recorder_init(KitPangoLineRecorder* self)
{
    self->builder = nullptr;
    self->scratch = nullptr;
}

static void kit_pango_line_recorder_finalize(GObject* object)
{
    auto* self = reinterpret_cast<KitPangoLineRecorder*>(object);
    if (self->scratch)
        cairo_destroy(self->scratch);
    G_OBJECT_CLASS(kit_pango_line_recorder_parent_class)->finalize(object);
}

static void kit_pango_line_recorder_class_init(KitPangoLineRecorderClass* type)
{
    G_OBJECT_CLASS(type)->finalize = kit_pango_line_recorder_finalize;
    PangoRendererClass* renderer = &type->parent;
    renderer->draw_glyphs = drawGlyphs;
    renderer->draw_glyph_item = drawGlyphItem;
    renderer->draw_rectangle = drawRectangle;
    renderer->draw_error_underline = drawErrorUnderline;
    renderer->draw_trapezoid = drawTrapezoid;
    renderer->draw_shape = drawShape;
}

void recordPangoLine(PageDisplayList::Builder& builder, PangoLayoutLine* line, Point origin)
{
    if (!line)
        return;
    // One recorder per thread: a renderer is drawn with by one caller at a time.
    thread_local struct Holder {
        KitPangoLineRecorder* recorder
            = static_cast<KitPangoLineRecorder*>(g_object_new(kit_pango_line_recorder_get_type(), nullptr));
        ~Holder() { g_object_unref(recorder); }
    } holder;
    KitPangoLineRecorder* self = holder.recorder;
    self->builder = &builder;
    builder.setPen(origin);
    pango_renderer_draw_layout_line(&self->parent, line, 0, 0);
    self->builder = nullptr;
}

} // namespace kit
