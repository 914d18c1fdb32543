// Font names as older documents write them reach the font the document means.
#include "kit/text/FontMap.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

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
