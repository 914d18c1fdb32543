#include "kit/text/PangoParagraphEngine.h"

#include "kit/text/FontMap.h"
#include "kit/text/PangoLineRecorder.h"
#include "kit/text/ParagraphRuns.h"
#include "kit/text/TextStorage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace kit {

namespace {

// Layouts kept for drawing: a few screens' worth of paragraphs, about 8 KB each.
constexpr std::size_t kPreparedCapacity = 96;

int toPango(float points) { return int(std::lround(points * PANGO_SCALE)); }

float fromPango(int units) { return float(units) / PANGO_SCALE; }

guint16 channel(float value) { return guint16(std::lround(std::clamp(value, 0.0f, 1.0f) * 65535)); }

std::array<float, 4> rgbaOf(const Color& color)
{
    if (auto rgb = color.usingCalibratedRGB())
        return rgb->rgba();
    return { 0, 0, 0, 1 };
}

void insert(PangoAttrList* list, PangoAttribute* attribute, std::size_t start, std::size_t end)
{
    attribute->start_index = guint(start);
    attribute->end_index = guint(end);
    pango_attr_list_insert(list, attribute);
}

using SharedAttachment = std::shared_ptr<const Attachment>;

gpointer copyAttachment(gconstpointer data)
{
    return new SharedAttachment(*static_cast<const SharedAttachment*>(data));
}

void destroyAttachment(gpointer data) { delete static_cast<SharedAttachment*>(data); }

// The visual alignment of a line: natural and justified (on a line Pango did not stretch) follow the
// paragraph's direction.
TextAlignment visualAlignment(TextAlignment alignment, bool rightToLeft)
{
    switch (alignment) {
    case TextAlignment::Left:
    case TextAlignment::Right:
    case TextAlignment::Center:
        return alignment;
    case TextAlignment::Natural:
    case TextAlignment::Justified:
        break;
    }
    return rightToLeft ? TextAlignment::Right : TextAlignment::Left;
}

} // namespace

PangoParagraphEngine::PangoParagraphEngine()
{
    FontMap& fonts = FontMap::shared();
    m_contexts[0] = adoptGRef(fonts.createContext(PANGO_DIRECTION_LTR));
    m_contexts[1] = adoptGRef(fonts.createContext(PANGO_DIRECTION_RTL));
    for (int i = 0; i < 2; ++i)
        m_measureLayouts[i] = adoptGRef(pango_layout_new(m_contexts[i].get()));
}

PangoParagraphEngine::~PangoParagraphEngine() { invalidate(); }

void PangoParagraphEngine::invalidate()
{
    m_prepared.clear();
    m_images.clear();
    // The measuring layouts may still point into attachments of the old text through shape attributes.
    for (auto& layout : m_measureLayouts) {
        if (layout)
            pango_layout_set_attributes(layout.get(), nullptr);
    }
}

const char* PangoParagraphEngine::paragraphText(const ParagraphInput& input)
{
    const char* text = input.storage->string().data() + input.start;
    if (g_utf8_validate(text, gssize(input.length), nullptr))
        return text;
    // Pango would replace bad bytes and shift every index after them; a same-length copy keeps offsets.
    m_sanitized.assign(text, input.length);
    const char* end = m_sanitized.data() + m_sanitized.size();
    const char* p = m_sanitized.data();
    while (p < end) {
        const char* bad = nullptr;
        if (g_utf8_validate(p, end - p, &bad))
            break;
        m_sanitized[std::size_t(bad - m_sanitized.data())] = '?';
        p = bad + 1;
    }
    return m_sanitized.data();
}

bool PangoParagraphEngine::rightToLeft(const ParagraphInput& input, const char* text)
{
    switch (input.storage->attributesAt(input.paragraphStart).paragraphStyle().baseDirection) {
    case WritingDirection::LeftToRight:
        return false;
    case WritingDirection::RightToLeft:
        return true;
    case WritingDirection::Natural:
        break;
    }
    // Deprecated for lack of a replacement that takes the first strong character, which is what we want.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    return pango_find_base_dir(text, int(input.length)) == PANGO_DIRECTION_RTL;
#pragma GCC diagnostic pop
}

namespace {

// A hanging indent is a left tab stop too, as word processors have it: a list's "1.<tab>" or a note's
// "1<tab>" reaches the indent where the other lines begin, whatever stops the paragraph names.
std::vector<TabStop> tabStopsWithHangingIndent(const ParagraphStyle& style, float headIndent)
{
    std::vector<TabStop> stops = style.tabStops;
    float firstLine = saneLength(style.firstLineHeadIndent, -10000, 10000);
    if (firstLine < headIndent && headIndent > 0) {
        auto at = std::find_if(stops.begin(), stops.end(), [&](const TabStop& stop) { return !(stop.location < headIndent); });
        if (at == stops.end() || at->location != headIndent)
            stops.insert(at, TabStop { headIndent, TabAlignment::Left });
    }
    return stops;
}

} // namespace

void PangoParagraphEngine::configure(
    PangoLayout* layout, const ParagraphInput& input, Geometry& geometry, std::vector<DoubleStrike>* strikes)
{
    FontMap& fonts = FontMap::shared();
    const TextStorage& storage = *input.storage;
    const char* text = paragraphText(input);
    const Attributes& first = storage.attributesAt(input.start);
    const ParagraphStyle& style = storage.attributesAt(input.paragraphStart).paragraphStyle();

    // The layout's box spans the widest of the first and the other lines; Pango's indent shortens the
    // first line (positive) or the others (negative) from the box's leading edge. A later piece of a long
    // paragraph has no first line.
    geometry.rightToLeft = pango_context_get_base_dir(pango_layout_get_context(layout)) == PANGO_DIRECTION_RTL;
    float headIndent = saneLength(style.headIndent, -10000, 10000);
    float firstLine = input.continuesParagraph ? headIndent : saneLength(style.firstLineHeadIndent, -10000, 10000);
    float leading = std::min(firstLine, headIndent);
    float trailing = saneLength(style.tailIndent, 0, 10000);
    geometry.boxWidth = std::max(1.0f, input.columnWidth - leading - trailing);
    geometry.boxX = geometry.rightToLeft ? input.columnWidth - leading - geometry.boxWidth : leading;
    geometry.indent = firstLine - headIndent;
    geometry.alignment = style.alignment;

    const PangoFontDescription* baseFont = fonts.fontDescription(first);
    pango_layout_set_auto_dir(layout, FALSE);
    pango_layout_set_font_description(layout, baseFont);
    pango_layout_set_width(layout, toPango(geometry.boxWidth));
    pango_layout_set_indent(layout, toPango(geometry.indent));
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_alignment(layout, PANGO_ALIGN_LEFT);
    pango_layout_set_justify(layout, style.alignment == TextAlignment::Justified);
    pango_layout_set_justify_last_line(layout, style.alignment == TextAlignment::Justified && input.continuedAfter);

    // Tab stops are measured from the column's leading edge, Pango's from the box's left edge. Default
    // stops continue after the last explicit one at multiples of the interval.
    if (std::memchr(text, '\t', input.length)) {
        PangoTabArray* tabs = pango_tab_array_new(0, FALSE);
        int count = 0;
        float last = 0;
        for (const TabStop& stop : tabStopsWithHangingIndent(style, headIndent)) {
            float position = stop.location - geometry.boxX;
            if (!std::isfinite(stop.location) || stop.location > 100000 || position <= 0 || stop.location <= last)
                continue;
            PangoTabAlign align = PANGO_TAB_LEFT;
            switch (stop.alignment) {
            case TabAlignment::Left:
                break;
            case TabAlignment::Center:
                align = PANGO_TAB_CENTER;
                break;
            case TabAlignment::Right:
                align = PANGO_TAB_RIGHT;
                break;
            case TabAlignment::Decimal:
                align = PANGO_TAB_DECIMAL;
                break;
            }
            pango_tab_array_resize(tabs, count + 1);
            pango_tab_array_set_tab(tabs, count++, align, toPango(position));
            last = stop.location;
        }
        // Stops closer than a few points apart would only fill the line with thousands of them.
        float interval = style.defaultTabInterval > 0 ? saneLength(style.defaultTabInterval, 4, 10000) : 36;
        float limit = geometry.boxX + geometry.boxWidth + interval;
        for (float location = (std::floor(last / interval) + 1) * interval; location <= limit; location += interval) {
            float position = location - geometry.boxX;
            if (position <= 0)
                continue;
            pango_tab_array_resize(tabs, count + 1);
            pango_tab_array_set_tab(tabs, count++, PANGO_TAB_LEFT, toPango(position));
        }
        pango_layout_set_tabs(layout, count ? tabs : nullptr);
        pango_tab_array_free(tabs);
    } else {
        pango_layout_set_tabs(layout, nullptr);
    }

    pango_layout_set_text(layout, text, int(input.length));

    PangoAttrList* list = pango_attr_list_new();
    forEachParagraphRun(input, [&](const Attributes& attributes, std::size_t a, std::size_t b) {
        auto emitFont = [&](std::size_t from, std::size_t to, ScriptClass script) {
            const PangoFontDescription* font = fonts.fontDescription(attributes, script);
            if (font != baseFont && from < to)
                insert(list, pango_attr_font_desc_new(font), from, to);
        };
        bool perScript
            = (!attributes.fontFamilyEastAsian.empty() && attributes.fontFamilyEastAsian != attributes.fontFamily)
            || (!attributes.fontFamilyComplex.empty() && attributes.fontFamilyComplex != attributes.fontFamily);
        if (!perScript) {
            emitFont(a, b, ScriptClass::Default);
        } else {
            // Characters of no script of their own (spaces, punctuation, marks) go with their neighbours.
            ScriptClass current = ScriptClass::Default;
            std::size_t segment = a;
            for (std::size_t i = a; i < b; i = std::size_t(g_utf8_next_char(text + i) - text)) {
                gunichar c = g_utf8_get_char(text + i);
                GUnicodeScript script = g_unichar_get_script(c);
                if (script == G_UNICODE_SCRIPT_COMMON || script == G_UNICODE_SCRIPT_INHERITED
                    || script == G_UNICODE_SCRIPT_UNKNOWN)
                    continue;
                ScriptClass kind = FontMap::scriptClass(c);
                if (kind != current) {
                    emitFont(segment, i, current);
                    segment = i;
                    current = kind;
                }
            }
            emitFont(segment, b, current);
        }

        if (attributes.underline != LineStyle::None)
            insert(list,
                pango_attr_underline_new(
                    attributes.underline == LineStyle::Double ? PANGO_UNDERLINE_DOUBLE : PANGO_UNDERLINE_SINGLE),
                a, b);
        if (attributes.strikethrough == LineStyle::Single)
            insert(list, pango_attr_strikethrough_new(TRUE), a, b);
        if (attributes.allCaps)
            insert(list, pango_attr_text_transform_new(PANGO_TEXT_TRANSFORM_UPPERCASE), a, b);
        else if (attributes.smallCaps)
            insert(list, pango_attr_variant_new(PANGO_VARIANT_SMALL_CAPS), a, b);
        if (attributes.foreground) {
            auto rgba = rgbaOf(*attributes.foreground);
            insert(list, pango_attr_foreground_new(channel(rgba[0]), channel(rgba[1]), channel(rgba[2])), a, b);
            if (rgba[3] < 1)
                insert(list, pango_attr_foreground_alpha_new(std::max<guint16>(1, channel(rgba[3]))), a, b);
        }
        if (attributes.background) {
            auto rgba = rgbaOf(*attributes.background);
            if (rgba[3] > 0) {
                insert(list, pango_attr_background_new(channel(rgba[0]), channel(rgba[1]), channel(rgba[2])), a, b);
                if (rgba[3] < 1)
                    insert(list, pango_attr_background_alpha_new(std::max<guint16>(1, channel(rgba[3]))), a, b);
            }
        }
        float rise = FontMap::baselineOffset(attributes);
        if (rise != 0)
            insert(list, pango_attr_rise_new(toPango(rise)), a, b);
        if (attributes.attachment) {
            // A floating object keeps its character, as a shape of no size that draws nothing.
            Size size = floatsOutOfLine(input, attributes.attachment)
                ? Size {}
                : m_images.layoutSize(attributes.attachment, geometry.boxWidth, input.maxObjectHeight);
            PangoRectangle logical { 0, -toPango(size.height), toPango(size.width), toPango(size.height) };
            for (std::size_t i = a; i + 3 <= b; ++i) {
                if (std::memcmp(text + i, kAttachmentCharacter, 3))
                    continue;
                auto* data = new SharedAttachment(attributes.attachment);
                insert(list,
                    pango_attr_shape_new_with_data(&logical, &logical, data, copyAttachment, destroyAttachment), i,
                    i + 3);
                i += 2;
            }
        }
        if (strikes && attributes.strikethrough == LineStyle::Double) {
            const FontMetrics& metrics = fonts.metrics(attributes);
            Color color = attributes.foreground ? *attributes.foreground : Color::blackColor();
            strikes->push_back({ a, b, metrics.strikethroughPosition + rise, metrics.strikethroughThickness, color });
        }
        return true;
    });
    pango_layout_set_attributes(layout, list);
    pango_attr_list_unref(list);
}

void PangoParagraphEngine::layOutParagraph(const ParagraphInput& input, std::vector<LineMetrics>& lines)
{
    FontMap& fonts = FontMap::shared();
    bool rtl = rightToLeft(input, paragraphText(input));
    PangoLayout* layout = m_measureLayouts[rtl].get();
    Geometry geometry;
    configure(layout, input, geometry, nullptr);

    std::size_t previousEnd = 0;
    for (GSList* item = pango_layout_get_lines_readonly(layout); item; item = item->next) {
        auto* line = static_cast<PangoLayoutLine*>(item->data);
        LineMetrics metrics;
        std::size_t end = item->next ? std::size_t(line->start_index + line->length) : input.length;
        end = std::clamp(end, previousEnd, input.length);
        metrics.start = std::uint32_t(input.start + previousEnd);
        metrics.length = std::uint32_t(end - previousEnd);
        previousEnd = end;
        bool hasRun = false;
        for (GSList* run = line->runs; run; run = run->next) {
            auto* glyphs = static_cast<PangoGlyphItem*>(run->data);
            float rise = fromPango(glyphs->y_offset);
            const PangoAttrShape* shape = nullptr;
            for (GSList* extra = glyphs->item->analysis.extra_attrs; extra; extra = extra->next) {
                auto* attribute = static_cast<PangoAttribute*>(extra->data);
                if (attribute->klass->type == PANGO_ATTR_SHAPE)
                    shape = reinterpret_cast<const PangoAttrShape*>(attribute);
            }
            float ascent, descent, gap = 0;
            if (shape && shape->logical_rect.height > 0) {
                ascent = -fromPango(shape->logical_rect.y) + rise;
                descent = fromPango(shape->logical_rect.y + shape->logical_rect.height) - rise;
            } else {
                const FontMetrics& font = fonts.metrics(glyphs->item->analysis.font);
                ascent = font.ascent + rise;
                descent = font.descent - rise;
                gap = font.lineGap();
            }
            if (!hasRun) {
                metrics.ascent = ascent;
                metrics.descent = descent;
                metrics.lineGap = gap;
                hasRun = true;
            } else {
                metrics.ascent = std::max(metrics.ascent, ascent);
                metrics.descent = std::max(metrics.descent, descent);
                metrics.lineGap = std::max(metrics.lineGap, gap);
            }
        }
        if (!hasRun) {
            // An empty line (an empty paragraph, or after a final line break) is as tall as its font.
            const FontMetrics& font = fonts.metrics(input.storage->attributesAt(metrics.start));
            metrics.ascent = font.ascent;
            metrics.descent = font.descent;
            metrics.lineGap = font.lineGap();
        }
        lines.push_back(metrics);
    }
}

PangoParagraphEngine::Prepared& PangoParagraphEngine::prepare(const ParagraphInput& input)
{
    for (auto it = m_prepared.begin(); it != m_prepared.end(); ++it) {
        if (it->storage == input.storage && it->start == input.start && it->length == input.length
            && it->columnWidth == input.columnWidth && it->maxObjectHeight == input.maxObjectHeight
            && it->placesFloats == input.placesFloats) {
            if (it != m_prepared.begin())
                m_prepared.splice(m_prepared.begin(), m_prepared, it);
            return m_prepared.front();
        }
    }
    if (m_prepared.size() >= kPreparedCapacity)
        m_prepared.pop_back();
    Prepared prepared;
    prepared.storage = input.storage;
    prepared.start = input.start;
    prepared.length = input.length;
    prepared.columnWidth = input.columnWidth;
    prepared.maxObjectHeight = input.maxObjectHeight;
    prepared.placesFloats = input.placesFloats;
    bool rtl = rightToLeft(input, paragraphText(input));
    prepared.layout = adoptGRef(pango_layout_new(m_contexts[rtl].get()));
    configure(prepared.layout.get(), input, prepared.geometry, &prepared.strikes);
    for (GSList* item = pango_layout_get_lines_readonly(prepared.layout.get()); item; item = item->next)
        prepared.lines.push_back(static_cast<PangoLayoutLine*>(item->data));
    placeLines(prepared);
    m_prepared.push_front(std::move(prepared));
    return m_prepared.front();
}

void PangoParagraphEngine::placeLines(Prepared& prepared)
{
    const Geometry& geometry = prepared.geometry;
    const char* text = pango_layout_get_text(prepared.layout.get());
    TextAlignment alignment = visualAlignment(geometry.alignment, geometry.rightToLeft);
    PangoLayoutIter* iterator = pango_layout_get_iter(prepared.layout.get());
    std::size_t index = 0;
    do {
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(iterator);
        PangoRectangle logical;
        pango_layout_iter_get_line_extents(iterator, nullptr, &logical);
        float pangoX = fromPango(logical.x);

        // Trailing spaces and a final line break take no part in alignment, as in word processors.
        int start = line->start_index, end = line->start_index + line->length;
        while (end > start) {
            if (text[end - 1] == ' ')
                --end;
            else if (end - start >= 3 && !std::memcmp(text + end - 3, kLineSeparator, 3))
                end -= 3;
            else
                break;
        }
        float minX = pangoX, maxX = pangoX;
        if (end > start) {
            int* ranges = nullptr;
            int count = 0;
            pango_layout_line_get_x_ranges(line, start, end, &ranges, &count);
            if (count > 0) {
                minX = fromPango(ranges[0]);
                maxX = fromPango(ranges[2 * count - 1]);
                for (int i = 0; i < count; ++i) {
                    minX = std::min(minX, fromPango(ranges[2 * i]));
                    maxX = std::max(maxX, fromPango(ranges[2 * i + 1]));
                }
            }
            g_free(ranges);
        }
        float width = maxX - minX;
        float indent = index == 0 ? std::max(0.0f, geometry.indent) : std::max(0.0f, -geometry.indent);
        float left = geometry.rightToLeft ? 0 : indent;
        float right = geometry.rightToLeft ? geometry.boxWidth - indent : geometry.boxWidth;
        float wanted = left;
        if (alignment == TextAlignment::Right)
            wanted = right - width;
        else if (alignment == TextAlignment::Center)
            wanted = left + (right - left - width) / 2;
        float shift = wanted - minX;
        prepared.lineOffsets.push_back(geometry.boxX + shift);
        prepared.lineOrigins.push_back(geometry.boxX + shift + pangoX);
        ++index;
    } while (pango_layout_iter_next_line(iterator));
    pango_layout_iter_free(iterator);
}

void PangoParagraphEngine::recordLine(
    PageDisplayList::Builder& builder, const ParagraphInput& input, std::size_t index, Point origin)
{
    Prepared& prepared = prepare(input);
    if (index >= prepared.lines.size())
        return;
    PangoLayoutLine* line = prepared.lines[index];
    recordPangoLine(builder, line, { origin.x + prepared.lineOrigins[index], origin.y });
    for (const DoubleStrike& strike : prepared.strikes) {
        std::size_t start = std::max<std::size_t>(strike.start, line->start_index);
        std::size_t end = std::min<std::size_t>(strike.end, line->start_index + line->length);
        if (start >= end)
            continue;
        int* ranges = nullptr;
        int count = 0;
        pango_layout_line_get_x_ranges(line, int(start), int(end), &ranges, &count);
        auto rgba = rgbaOf(strike.color);
        float thickness = std::max(strike.thickness, 0.4f);
        for (int i = 0; i < count; ++i) {
            float x0 = origin.x + prepared.lineOffsets[index] + fromPango(ranges[2 * i]);
            float x1 = origin.x + prepared.lineOffsets[index] + fromPango(ranges[2 * i + 1]);
            for (float offset : { thickness, -thickness }) {
                float y = origin.y - strike.position + offset - thickness / 2;
                PageDisplayList::Fill fill;
                fill.rect = Rect(x0, y, x1 - x0, thickness);
                fill.color = { rgba[0], rgba[1], rgba[2], rgba[3] };
                builder.add(std::move(fill));
            }
        }
        g_free(ranges);
    }
}

std::vector<std::pair<float, float>> PangoParagraphEngine::xRangesForRange(
    const ParagraphInput& input, std::size_t index, Range range)
{
    std::vector<std::pair<float, float>> result;
    Prepared& prepared = prepare(input);
    if (index >= prepared.lines.size())
        return result;
    PangoLayoutLine* line = prepared.lines[index];
    std::size_t lineStart = line->start_index, lineEnd = line->start_index + line->length;
    std::size_t start = std::max(lineStart, range.location > input.start ? range.location - input.start : 0);
    std::size_t end = std::min(lineEnd, range.end() > input.start ? range.end() - input.start : 0);
    if (start >= end)
        return result;
    int* ranges = nullptr;
    int count = 0;
    pango_layout_line_get_x_ranges(line, int(start), int(end), &ranges, &count);
    for (int i = 0; i < count; ++i) {
        result.emplace_back(prepared.lineOffsets[index] + fromPango(ranges[2 * i]),
            prepared.lineOffsets[index] + fromPango(ranges[2 * i + 1]));
    }
    g_free(ranges);
    return result;
}

std::size_t PangoParagraphEngine::characterIndexForX(const ParagraphInput& input, std::size_t index, float x)
{
    Prepared& prepared = prepare(input);
    if (index >= prepared.lines.size())
        return input.start + input.length;
    PangoLayoutLine* line = prepared.lines[index];
    const char* text = pango_layout_get_text(prepared.layout.get());
    int found = 0, trailing = 0;
    pango_layout_line_x_to_index(line, toPango(x - prepared.lineOrigins[index]), &found, &trailing);
    std::size_t position = std::size_t(found);
    for (; trailing > 0 && position < input.length; --trailing)
        position = std::size_t(g_utf8_next_char(text + position) - text);
    std::size_t lineStart = line->start_index, lineEnd = line->start_index + line->length;
    // An insertion point never follows a line's closing line break: that would be the next line's start.
    if (lineEnd - lineStart >= 3 && !std::memcmp(text + lineEnd - 3, kLineSeparator, 3))
        lineEnd -= 3;
    return input.start + std::clamp(position, lineStart, lineEnd);
}

void PangoParagraphEngine::drawAttachment(
    cairo_t* cr, const std::shared_ptr<const Attachment>& attachment, const Rect& rect)
{
    m_images.draw(cr, attachment, rect);
}

} // namespace kit
