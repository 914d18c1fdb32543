#include "kit/text/FontMap.h"

#include "kit/text/ParagraphEngine.h"

#include <cmath>
#include <hb-ot.h>
#include <pango/pangofc-font.h>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace kit {

namespace {

float fromPango(int units) { return float(units) / PANGO_SCALE; }

} // namespace

std::optional<FontMetrics> faceMetrics(PangoFont* font)
{
    // Pango's own metrics are these numbers too, read from the same HarfBuzz font (in Pango units); it also
    // lays a sample text out in the font for an average character width, which loads a fallback list of
    // fonts for another language: the slowest part of a font's first use, for a number nothing here needs.
    if (!PANGO_IS_FC_FONT(font))
        return std::nullopt;
    hb_font_t* hbFont = pango_font_get_hb_font(font);
    FcPattern* pattern = pango_fc_font_get_pattern(PANGO_FC_FONT(font));
    if (!hbFont || !pattern)
        return std::nullopt;
    hb_font_extents_t extents {};
    hb_font_get_extents_for_direction(hbFont, HB_DIRECTION_LTR, &extents);
    double scale = 1;
    FcMatrix* matrix = nullptr;
    if (FcPatternGetMatrix(pattern, FC_MATRIX, 0, &matrix) == FcResultMatch
        && (matrix->xx != 1 || matrix->xy != 0 || matrix->yx != 0 || matrix->yy != 1))
        scale = matrix->yy;
    // Pango keeps them as ints, truncated.
    int ascent = int(extents.ascender * scale), descent = int(-extents.descender * scale);
    int height = int((extents.ascender - extents.descender + extents.line_gap) * scale);
    auto position = [&](hb_ot_metrics_tag_t tag, int fallback) {
        hb_position_t value = 0;
        return hb_ot_metrics_get_position(hbFont, tag, &value) && value != 0 ? int(value) : fallback;
    };
    FontMetrics metrics;
    metrics.ascent = fromPango(ascent);
    metrics.descent = fromPango(descent);
    metrics.height = fromPango(height);
    if (metrics.height < metrics.ascent + metrics.descent)
        metrics.height = metrics.ascent + metrics.descent;
    metrics.underlineThickness = fromPango(position(HB_OT_METRICS_TAG_UNDERLINE_SIZE, PANGO_SCALE));
    metrics.underlinePosition = fromPango(position(HB_OT_METRICS_TAG_UNDERLINE_OFFSET, -PANGO_SCALE));
    metrics.strikethroughThickness = fromPango(position(HB_OT_METRICS_TAG_STRIKEOUT_SIZE, PANGO_SCALE));
    metrics.strikethroughPosition = fromPango(position(HB_OT_METRICS_TAG_STRIKEOUT_OFFSET, ascent / 2));
    return metrics;
}

namespace {

FontMap& fontMapOfThisThread(FontMap* (*make)())
{
    if (getpid() == gettid()) {
        // The main thread's is never destroyed: Pango and fontconfig keep process-lifetime caches of their
        // own behind it, and objects destroyed at exit may still reach it.
        static FontMap* map = make();
        return *map;
    }
    thread_local std::unique_ptr<FontMap> own(make());
    return *own;
}

} // namespace

FontMap& FontMap::shared()
{
    // Asked for at every run of every paragraph: which thread this is is found out once per thread.
    thread_local FontMap* map = &fontMapOfThisThread([] { return new FontMap; });
    return *map;
}

FontMap::~FontMap()
{
    for (auto& [description, font] : m_loadedFonts) {
        if (font)
            g_object_unref(font);
    }
    for (auto& [font, metrics] : m_fontMetrics) {
        if (font)
            g_object_unref(font);
    }
    for (auto& [key, description] : m_descriptions)
        pango_font_description_free(description);
    g_object_unref(m_metricsContext);
    g_object_unref(m_fontMap);
}

FontMap::FontMap()
    : m_fontMap(createPrivateFontMap())
{
    m_metricsContext = createContext(PANGO_DIRECTION_LTR);
}

PangoFontMap* FontMap::createPrivateFontMap()
{
    PangoFontMap* map = pango_cairo_font_map_new();
    pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), 72);
    return map;
}

PangoContext* FontMap::createContext(PangoDirection baseDirection) const { return createContext(m_fontMap, baseDirection); }

PangoContext* FontMap::createContext(PangoFontMap* fontMap, PangoDirection baseDirection)
{
    PangoContext* context = pango_font_map_create_context(fontMap);
    cairo_font_options_t* options = cairo_font_options_create();
    // Hinted metrics snap advances to whole points, and line breaks would then change with the zoom.
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(context, FALSE);
    pango_context_set_base_dir(context, baseDirection);
    return context;
}

const std::string& FontMap::family(const Attributes& attributes, ScriptClass script)
{
    if (script == ScriptClass::EastAsian && !attributes.fontFamilyEastAsian.empty())
        return attributes.fontFamilyEastAsian;
    if (script == ScriptClass::Complex && !attributes.fontFamilyComplex.empty())
        return attributes.fontFamilyComplex;
    return attributes.fontFamily;
}

// Word processors stop at 1638 points; past a few thousand, sizes only overflow Pango's units.
static float fontSize(const Attributes& attributes)
{
    return attributes.fontSize > 0 && std::isfinite(attributes.fontSize) ? std::min(attributes.fontSize, 4000.0f) : 12;
}

float FontMap::drawnFontSize(const Attributes& attributes)
{
    float size = fontSize(attributes);
    return attributes.superscript ? size * 2 / 3 : size;
}

float FontMap::baselineOffset(const Attributes& attributes)
{
    float size = fontSize(attributes);
    return saneLength(attributes.baselineShift, -4000, 4000) + float(attributes.superscript) * size / 3;
}

ScriptClass FontMap::scriptClass(gunichar c)
{
    switch (g_unichar_get_script(c)) {
    case G_UNICODE_SCRIPT_HAN:
    case G_UNICODE_SCRIPT_HIRAGANA:
    case G_UNICODE_SCRIPT_KATAKANA:
    case G_UNICODE_SCRIPT_HANGUL:
    case G_UNICODE_SCRIPT_BOPOMOFO:
    case G_UNICODE_SCRIPT_YI:
        return ScriptClass::EastAsian;
    case G_UNICODE_SCRIPT_ARABIC:
    case G_UNICODE_SCRIPT_HEBREW:
    case G_UNICODE_SCRIPT_SYRIAC:
    case G_UNICODE_SCRIPT_THAANA:
    case G_UNICODE_SCRIPT_NKO:
    case G_UNICODE_SCRIPT_THAI:
    case G_UNICODE_SCRIPT_LAO:
    case G_UNICODE_SCRIPT_KHMER:
    case G_UNICODE_SCRIPT_MYANMAR:
    case G_UNICODE_SCRIPT_TIBETAN:
    case G_UNICODE_SCRIPT_DEVANAGARI:
    case G_UNICODE_SCRIPT_BENGALI:
    case G_UNICODE_SCRIPT_GURMUKHI:
    case G_UNICODE_SCRIPT_GUJARATI:
    case G_UNICODE_SCRIPT_ORIYA:
    case G_UNICODE_SCRIPT_TAMIL:
    case G_UNICODE_SCRIPT_TELUGU:
    case G_UNICODE_SCRIPT_KANNADA:
    case G_UNICODE_SCRIPT_MALAYALAM:
    case G_UNICODE_SCRIPT_SINHALA:
        return ScriptClass::Complex;
    default:
        return ScriptClass::Default;
    }
}

const PangoFontDescription* FontMap::fontDescription(const Attributes& attributes, ScriptClass script)
{
    return fontDescription(family(attributes, script), drawnFontSize(attributes), attributes.bold, attributes.italic);
}

const std::string& FontMap::resolvedFamily(const std::string& family)
{
    auto known = m_resolvedFamilies.find(family);
    if (known != m_resolvedFamilies.end())
        return known->second;
    auto fold = [](const std::string& name) {
        gchar* folded = g_utf8_casefold(name.c_str(), -1);
        std::string result = folded ? folded : name;
        g_free(folded);
        return result;
    };
    if (m_installedFamilies.empty()) {
        PangoFontFamily** families = nullptr;
        int count = 0;
        pango_font_map_list_families(m_fontMap, &families, &count);
        for (int i = 0; i < count; ++i)
            m_installedFamilies.insert(fold(pango_font_family_get_name(families[i])));
        g_free(families);
    }
    std::string resolved = family;
    std::string folded = fold(family);
    if (!m_installedFamilies.count(folded)) {
        static const char* const suffixes[] = { " cyr", " ce", " greek", " tur", " baltic", " (hebrew)", " (arabic)", " (vietnamese)" };
        for (const char* suffix : suffixes) {
            std::size_t length = std::strlen(suffix);
            if (folded.size() > length && folded.compare(folded.size() - length, length, suffix) == 0) {
                // The suffixes are ASCII, so the folded and the original name end at the same byte.
                resolved = family.substr(0, family.size() - length);
                break;
            }
        }
    }
    return m_resolvedFamilies.emplace(family, std::move(resolved)).first->second;
}

const PangoFontDescription* FontMap::fontDescription(const std::string& family, float size, bool bold, bool italic)
{
    std::string key = family;
    key += '\x1f';
    key += std::to_string(std::lround(size * 1024));
    key += bold ? 'b' : '-';
    key += italic ? 'i' : '-';
    auto it = m_descriptions.find(key);
    if (it != m_descriptions.end())
        return it->second;
    PangoFontDescription* description
        = newFontDescription(family.empty() ? "Times New Roman" : resolvedFamily(family), size, bold, italic);
    m_descriptions.emplace(std::move(key), description);
    return description;
}

PangoLayout* FontMap::createLayout(PangoFontMap* fontMap, const std::string& family, float size, bool bold)
{
    PangoContext* context = fontMap ? createContext(fontMap, PANGO_DIRECTION_LTR) : shared().createContext(PANGO_DIRECTION_LTR);
    PangoLayout* layout = pango_layout_new(context); // holds the context
    g_object_unref(context);
    if (fontMap) {
        PangoFontDescription* description = newFontDescription(family, size, bold, false);
        pango_layout_set_font_description(layout, description);
        pango_font_description_free(description);
    } else {
        pango_layout_set_font_description(layout, shared().fontDescription(family, size, bold, false));
    }
    return layout;
}

PangoFontDescription* FontMap::newFontDescription(const std::string& family, float size, bool bold, bool italic)
{
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family(description, family.c_str());
    pango_font_description_set_size(description, std::max(1, int(std::lround(size * PANGO_SCALE))));
    pango_font_description_set_weight(description, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
    pango_font_description_set_style(description, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
    return description;
}

const FontMetrics& FontMap::metrics(PangoFont* font)
{
    auto it = m_fontMetrics.find(font);
    if (it != m_fontMetrics.end())
        return it->second;
    FontMetrics result;
    if (font) {
        // The cache holds a reference, so the pointer used as the key can never be reused by another font.
        g_object_ref(font);
        if (std::optional<FontMetrics> face = faceMetrics(font))
            return m_fontMetrics.emplace(font, *face).first->second;
        PangoFontMetrics* metrics = pango_font_get_metrics(font, nullptr);
        result.ascent = fromPango(pango_font_metrics_get_ascent(metrics));
        result.descent = fromPango(pango_font_metrics_get_descent(metrics));
        result.height = fromPango(pango_font_metrics_get_height(metrics));
        if (result.height < result.ascent + result.descent)
            result.height = result.ascent + result.descent;
        result.underlinePosition = fromPango(pango_font_metrics_get_underline_position(metrics));
        result.underlineThickness = fromPango(pango_font_metrics_get_underline_thickness(metrics));
        result.strikethroughPosition = fromPango(pango_font_metrics_get_strikethrough_position(metrics));
        result.strikethroughThickness = fromPango(pango_font_metrics_get_strikethrough_thickness(metrics));
        pango_font_metrics_unref(metrics);
    }
    return m_fontMetrics.emplace(font, result).first->second;
}

PangoFont* FontMap::font(const PangoFontDescription* description)
{
    auto it = m_loadedFonts.find(description);
    if (it == m_loadedFonts.end())
        it = m_loadedFonts.emplace(description, pango_context_load_font(m_metricsContext, description)).first;
    return it->second;
}

const FontMetrics& FontMap::metrics(const Attributes& attributes) { return metrics(font(fontDescription(attributes))); }

} // namespace kit
