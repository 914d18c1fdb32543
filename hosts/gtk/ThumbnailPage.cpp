#include "hosts/gtk/ThumbnailPage.h"

#include "kit/text/DocumentPages.h"
#include "kit/text/FontMap.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"
#include "pageview/NRVLectorinMultiPageView.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace hosts {

namespace {

// Tab stops past the column's right edge are never reached; past this many a hostile style only costs.
constexpr std::size_t kMaximumTabStops = 64;

// The bytes a line ends with that are not drawn: its paragraph's terminator or a line separator.
std::size_t drawnLength(std::string_view text)
{
    std::size_t length = text.size();
    while (length && (text[length - 1] == '\n' || text[length - 1] == '\f'))
        --length;
    if (length >= 3 && text.substr(length - 3, 3) == kit::kLineSeparator)
        length -= 3;
    return length;
}

std::vector<float> tabStops(const kit::ParagraphStyle& style, float columnWidth)
{
    std::vector<float> stops;
    for (const kit::TabStop& stop : style.tabStops) {
        if (stop.location > 0 && stop.location < columnWidth && stops.size() < kMaximumTabStops)
            stops.push_back(stop.location);
    }
    // Default stops follow the last explicit one, every interval, as far as the column reaches.
    float interval = style.defaultTabInterval >= 4 ? style.defaultTabInterval : 36;
    float next = stops.empty() ? interval : (std::floor(stops.back() / interval) + 1) * interval;
    for (; next < columnWidth && stops.size() < kMaximumTabStops; next += interval)
        stops.push_back(next);
    return stops;
}

guint16 channel(float value) { return guint16(std::lround(std::clamp(value, 0.0f, 1.0f) * 65535)); }

void insert(PangoAttrList* list, PangoAttribute* attribute, const ThumbnailPage::Run& run)
{
    attribute->start_index = run.start;
    attribute->end_index = run.start + run.length;
    pango_attr_list_insert(list, attribute);
}

PangoUnderline underlineOf(kit::LineStyle style)
{
    return style == kit::LineStyle::Double ? PANGO_UNDERLINE_DOUBLE : style == kit::LineStyle::Single ? PANGO_UNDERLINE_SINGLE : PANGO_UNDERLINE_NONE;
}

// Copies the lines, cells and pictures of one container of layout, offset (points) from container to page
// coordinates.
void captureContainer(ThumbnailPage& out, kit::LayoutManager& layout, const kit::TextContainer& container, kit::Point offset)
{
    const kit::TextStorage* text = layout.textStorage().get();
    if (!text)
        return;
    float dx = offset.x, dy = offset.y;
    for (auto& box : layout.cellBoxesForTextContainer(container))
        out.cells.push_back({ box.rect.offsetBy(dx, dy), std::move(box.cell) });

    const std::string& string = text->string();
    kit::FontMap& fonts = kit::FontMap::shared();
    for (const auto& fragment : layout.lineFragmentsForTextContainer(container)) {
        std::size_t start = std::min(fragment.range.location, string.size());
        std::size_t length = drawnLength(std::string_view(string).substr(start, std::min(fragment.range.length, string.size() - start)));
        if (length == 0)
            continue;
        ThumbnailPage::Line line;
        line.origin = { fragment.usedRect.x() + dx, fragment.baseline + dy };
        line.width = fragment.usedRect.width();
        line.columnOffset = fragment.usedRect.x() - fragment.rect.x();
        line.text = string.substr(start, length);
        const kit::ParagraphStyle& style = text->attributesAt(start).paragraphStyle();
        bool endsParagraph = fragment.range.end() >= string.size() || string[fragment.range.end() - 1] == '\n'
            || string[fragment.range.end() - 1] == '\f';
        line.justified = style.alignment == kit::TextAlignment::Justified && !endsParagraph
            && line.text.find('\t') == std::string::npos;
        line.rightToLeft = style.baseDirection == kit::WritingDirection::RightToLeft;
        line.tabStops = tabStops(style, fragment.rect.width());
        for (std::size_t at = start; at < start + length;) {
            kit::Range runRange;
            const kit::Attributes& attributes = text->attributesAt(at, &runRange);
            std::size_t end = std::min(runRange.end(), start + length);
            if (end <= at)
                break;
            ThumbnailPage::Run run;
            run.start = std::uint32_t(at - start);
            run.length = std::uint32_t(end - at);
            run.family = fonts.resolvedFamily(attributes.fontFamily.empty() ? std::string("Times New Roman") : attributes.fontFamily);
            run.size = kit::FontMap::drawnFontSize(attributes);
            run.rise = kit::FontMap::baselineOffset(attributes);
            run.bold = attributes.bold;
            run.italic = attributes.italic;
            run.underline = attributes.underline;
            run.strikethrough = attributes.strikethrough;
            if (attributes.foreground)
                run.color = *attributes.foreground;
            run.background = attributes.background;
            if (attributes.attachment) {
                // One run per picture: it takes its room on the line, and is drawn where the layout put it.
                run.length = std::uint32_t(std::min<std::size_t>(3, end - at));
                auto rects = layout.rectsForCharacterRange({ at, run.length }, container);
                float width = rects.empty() ? 0 : rects.front().width();
                run.objectWidth = width;
                kit::Size size = attributes.attachment->size;
                float height = size.width > 0 && size.height > 0 ? width * size.height / size.width : fragment.rect.height();
                if (!rects.empty() && width > 0)
                    out.pictures.push_back({ { { rects.front().x() + dx, line.origin.y - height }, { width, height } }, attributes.attachment });
            }
            if (attributes.allCaps && !attributes.attachment) {
                std::string upper(line.text, run.start, run.length);
                char* shouted = g_utf8_strup(upper.data(), gssize(upper.size()));
                // Only where upper-casing keeps the length: run offsets must stay valid.
                if (shouted && std::string_view(shouted).size() == upper.size())
                    line.text.replace(run.start, run.length, shouted);
                g_free(shouted);
            }
            line.runs.push_back(std::move(run));
            at += line.runs.back().length;
        }
        out.lines.push_back(std::move(line));
    }
}

} // namespace

std::shared_ptr<const ThumbnailPage> ThumbnailPage::capture(NRVLectorinMultiPageView& pageView, std::uint32_t page)
{
    auto out = std::make_shared<ThumbnailPage>();
    kit::Rect paper = pageView.pageRectForPageNumber(page);
    if (paper.width() > 0 && paper.height() > 0)
        out->paperSize = paper.size;
    kit::LayoutManager* layout = pageView.layoutManager();
    if (!layout || !layout->textStorage() || page >= layout->textContainers().size())
        return out;
    kit::Rect body = pageView.documentRectForPageNumber(page);
    captureContainer(*out, *layout, *layout->textContainers()[page], { body.x() - paper.x(), body.y() - paper.y() });
    // The header and footer bands, as the page shows them.
    if (kit::DocumentPages* pages = pageView.documentPages(); pages && page < pages->pages().size()) {
        auto band = [&](const std::shared_ptr<kit::TextStorage>& story, kit::Rect rect) {
            if (!story || rect.height() <= 0)
                return;
            kit::LayoutManager& storyLayout = pages->storyLayout(story, page);
            captureContainer(*out, storyLayout, *storyLayout.textContainers().front(), rect.origin);
        };
        band(pages->headerFor(page), pages->headerRect(page));
        band(pages->footerFor(page), pages->footerRect(page));
    }
    return out;
}

ThumbnailPainter::ThumbnailPainter()
    : m_fontMap(kit::adoptGRef(pango_cairo_font_map_new()))
{
    // One Pango unit of size is one point, as in the page view's own font map.
    pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(m_fontMap.get()), 72);
    m_context = kit::adoptGRef(pango_font_map_create_context(m_fontMap.get()));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(m_context.get(), options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(m_context.get(), FALSE);
    m_layout = kit::adoptGRef(pango_layout_new(m_context.get()));
}

ThumbnailPainter::~ThumbnailPainter() = default;

cairo_surface_t* ThumbnailPainter::paint(const ThumbnailPage& page, int width)
{
    if (width <= 0 || width > 4096 || !(page.paperSize.width > 0) || !(page.paperSize.height > 0))
        return nullptr;
    double scale = double(width) / page.paperSize.width;
    int height = std::clamp(int(std::lround(page.paperSize.height * scale)), 1, 4 * 4096);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, scale, scale);
    for (const auto& cell : page.cells)
        kit::LayoutManager::drawTableCell(cr, cell.rect, cell.cell);
    for (const auto& line : page.lines)
        paintLine(cr, line);
    for (const auto& picture : page.pictures) {
        kit::Size pixels { float(picture.rect.width() * scale), float(picture.rect.height() * scale) };
        cairo_surface_t* image = pixels.width >= 1 && pixels.height >= 1 ? m_images.surface(picture.attachment, pixels) : nullptr;
        cairo_save(cr);
        cairo_rectangle(cr, picture.rect.x(), picture.rect.y(), picture.rect.width(), picture.rect.height());
        if (image && cairo_image_surface_get_width(image) > 0 && cairo_image_surface_get_height(image) > 0) {
            cairo_clip(cr);
            cairo_translate(cr, picture.rect.x(), picture.rect.y());
            cairo_scale(cr, picture.rect.width() / cairo_image_surface_get_width(image), picture.rect.height() / cairo_image_surface_get_height(image));
            cairo_set_source_surface(cr, image, 0, 0);
            cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
            cairo_paint(cr);
        } else {
            // A placeholder, or a picture that does not decode: its frame.
            cairo_set_source_rgb(cr, 0.85, 0.85, 0.85);
            cairo_fill(cr);
        }
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    return surface;
}

void ThumbnailPainter::paintLine(cairo_t* cr, const ThumbnailPage::Line& line)
{
    PangoLayout* layout = m_layout.get();
    pango_context_set_base_dir(m_context.get(), line.rightToLeft ? PANGO_DIRECTION_RTL : PANGO_DIRECTION_LTR);
    pango_layout_context_changed(layout);
    pango_layout_set_text(layout, line.text.data(), int(line.text.size()));
    PangoAttrList* attributes = pango_attr_list_new();
    for (const auto& run : line.runs) {
        PangoFontDescription* font = pango_font_description_new();
        pango_font_description_set_family(font, run.family.c_str());
        pango_font_description_set_size(font, std::max(1, int(std::lround(run.size * PANGO_SCALE))));
        pango_font_description_set_weight(font, run.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_font_description_set_style(font, run.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
        insert(attributes, pango_attr_font_desc_new(font), run);
        pango_font_description_free(font);
        auto rgba = run.color.rgba();
        insert(attributes, pango_attr_foreground_new(channel(rgba[0]), channel(rgba[1]), channel(rgba[2])), run);
        if (run.background) {
            auto back = run.background->rgba();
            insert(attributes, pango_attr_background_new(channel(back[0]), channel(back[1]), channel(back[2])), run);
        }
        if (run.rise != 0)
            insert(attributes, pango_attr_rise_new(int(std::lround(run.rise * PANGO_SCALE))), run);
        if (run.underline != kit::LineStyle::None)
            insert(attributes, pango_attr_underline_new(underlineOf(run.underline)), run);
        if (run.strikethrough != kit::LineStyle::None)
            insert(attributes, pango_attr_strikethrough_new(TRUE), run);
        if (run.objectWidth >= 0) {
            // The picture is drawn apart; here it only takes its room.
            PangoRectangle room { 0, 0, int(std::lround(run.objectWidth * PANGO_SCALE)), 0 };
            insert(attributes, pango_attr_shape_new(&room, &room), run);
        }
    }
    pango_layout_set_attributes(layout, attributes);
    pango_attr_list_unref(attributes);

    // Tab stops count from the column's edge; this line's text starts columnOffset points into it.
    std::vector<int> stops;
    for (float stop : line.tabStops) {
        if (stop > line.columnOffset)
            stops.push_back(int(std::lround((stop - line.columnOffset) * PANGO_SCALE)));
    }
    if (stops.empty())
        stops.push_back(36 * PANGO_SCALE);
    PangoTabArray* tabs = pango_tab_array_new(int(stops.size()), FALSE);
    for (std::size_t i = 0; i < stops.size(); ++i)
        pango_tab_array_set_tab(tabs, gint(i), PANGO_TAB_LEFT, stops[i]);
    pango_layout_set_tabs(layout, tabs);
    pango_tab_array_free(tabs);

    pango_layout_set_width(layout, -1);
    pango_layout_set_justify(layout, FALSE);
    int natural = 0;
    pango_layout_get_size(layout, &natural, nullptr);
    if (line.justified && natural < int(line.width * PANGO_SCALE)) {
        pango_layout_set_width(layout, int(std::lround(line.width * PANGO_SCALE)));
        pango_layout_set_justify(layout, TRUE);
        pango_layout_set_justify_last_line(layout, TRUE);
    } else {
        pango_layout_set_justify_last_line(layout, FALSE);
    }
    double baseline = double(pango_layout_get_baseline(layout)) / PANGO_SCALE;
    double x = line.origin.x;
    // A line set narrower than the layout placed it (another font's advances) keeps its right end for
    // right-to-left text.
    if (line.rightToLeft && !line.justified)
        x += line.width - double(natural) / PANGO_SCALE;
    cairo_move_to(cr, x, line.origin.y - baseline);
    pango_cairo_show_layout(cr, layout);
}

} // namespace hosts
