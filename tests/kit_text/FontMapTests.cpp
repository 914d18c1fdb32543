// Font names as older documents write them reach the font the document means.
#include "kit/text/FontMap.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <pango/pangofc-font.h>

namespace {

// The family of the font Pango actually loads for a description.
std::string loadedFamily(const PangoFontDescription* description)
{
    kit::FontMap& map = kit::FontMap::shared();
    PangoContext* context = map.createContext(PANGO_DIRECTION_LTR);
    PangoFont* font = pango_font_map_load_font(map.pangoFontMap(), context, description);
    std::string family;
    if (font) {
        PangoFontDescription* loaded = pango_font_describe(font);
        family = pango_font_description_get_family(loaded);
        pango_font_description_free(loaded);
        g_object_unref(font);
    }
    g_object_unref(context);
    return family;
}

} // namespace

TEST(FontMap, ScriptSuffixesOfLegacyFontNamesAreDropped)
{
    const testsupport::Case<const char*, const char*> cases[] = {
        { "Times New Roman Cyr", "Times New Roman", "Cyrillic code-page name" },
        { "Arial CE", "Arial", "Central European" },
        { "Courier New Greek", "Courier New", "Greek" },
        { "Arial TUR", "Arial", "any case" },
        { "Times New Roman (Hebrew)", "Times New Roman", "parenthesised script" },
        { "Times New Roman", "Times New Roman", "a plain name stays" },
        { "Cyr", "Cyr", "nothing is left without the suffix: the name stays" },
        { "Garamond Baltic Extra", "Garamond Baltic Extra", "the suffix only counts at the end" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return kit::FontMap::shared().resolvedFamily(input); });
}

TEST(FontMap, LegacyNameLoadsTheSameFontAsTheFamilyItNames)
{
    kit::FontMap& map = kit::FontMap::shared();
    std::string plain = loadedFamily(map.fontDescription("Times New Roman", 12, false, false));
    ASSERT_FALSE(plain.empty());
    EXPECT_EQ(loadedFamily(map.fontDescription("Times New Roman Cyr", 12, false, false)), plain);
    EXPECT_EQ(loadedFamily(map.fontDescription("Arial CE", 12, true, false)), loadedFamily(map.fontDescription("Arial", 12, true, false)));
}

// A font's metrics read straight from it are the ones Pango gives, for every face a document may ask for:
// regular, bold, slanted by fontconfig where the family has no italic, at odd sizes, in families with and
// without a line gap.
TEST(FontMap, FaceMetricsAreThoseOfPango)
{
    kit::FontMap& map = kit::FontMap::shared();
    PangoContext* context = map.createContext(PANGO_DIRECTION_LTR);
    int compared = 0, slanted = 0;
    for (const char* family : { "Liberation Serif", "Liberation Sans", "Liberation Mono", "DejaVu Sans",
             "DejaVu Serif", "WenQuanYi Micro Hei", "Times New Roman", "Symbol", "No Such Family" }) {
        for (PangoWeight weight : { PANGO_WEIGHT_NORMAL, PANGO_WEIGHT_BOLD }) {
            for (PangoStyle style : { PANGO_STYLE_NORMAL, PANGO_STYLE_ITALIC, PANGO_STYLE_OBLIQUE }) {
                for (double size : { 4.5, 8.0, 10.0, 11.0, 12.0, 13.37, 36.0, 96.0 }) {
                    SCOPED_TRACE(std::string(family) + " " + std::to_string(int(weight)) + " "
                        + std::to_string(int(style)) + " " + std::to_string(size));
                    PangoFontDescription* description = pango_font_description_new();
                    pango_font_description_set_family(description, family);
                    pango_font_description_set_weight(description, weight);
                    pango_font_description_set_style(description, style);
                    pango_font_description_set_size(description, int(size * PANGO_SCALE));
                    PangoFont* font = pango_font_map_load_font(map.pangoFontMap(), context, description);
                    pango_font_description_free(description);
                    ASSERT_TRUE(font);
                    FcMatrix* matrix = nullptr;
                    slanted += FcPatternGetMatrix(pango_fc_font_get_pattern(PANGO_FC_FONT(font)), FC_MATRIX, 0, &matrix)
                        == FcResultMatch;
                    std::optional<kit::FontMetrics> face = kit::faceMetrics(font);
                    ASSERT_TRUE(face);
                    PangoFontMetrics* pango = pango_font_get_metrics(font, nullptr);
                    auto points = [](int units) { return float(units) / PANGO_SCALE; };
                    EXPECT_EQ(face->ascent, points(pango_font_metrics_get_ascent(pango)));
                    EXPECT_EQ(face->descent, points(pango_font_metrics_get_descent(pango)));
                    EXPECT_EQ(face->height, std::max(points(pango_font_metrics_get_height(pango)), face->ascent + face->descent));
                    EXPECT_EQ(face->underlinePosition, points(pango_font_metrics_get_underline_position(pango)));
                    EXPECT_EQ(face->underlineThickness, points(pango_font_metrics_get_underline_thickness(pango)));
                    EXPECT_EQ(face->strikethroughPosition, points(pango_font_metrics_get_strikethrough_position(pango)));
                    EXPECT_EQ(face->strikethroughThickness, points(pango_font_metrics_get_strikethrough_thickness(pango)));
                    pango_font_metrics_unref(pango);
                    g_object_unref(font);
                    ++compared;
                }
            }
        }
    }
    g_object_unref(context);
    EXPECT_EQ(compared, 9 * 2 * 3 * 8);
    EXPECT_GT(slanted, 0) << "a family without an italic face, slanted by fontconfig";
}
