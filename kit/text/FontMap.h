#pragma once

#include "kit/text/Attributes.h"

#include <optional>
#include <pango/pangocairo.h>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace kit {

// Vertical metrics of one font, points. height is the full line height that word processors use:
// ascent + descent + the font's line gap.
struct FontMetrics {
    float ascent = 0;
    float descent = 0;
    float height = 0;
    float underlinePosition = 0; // above the baseline (negative: below)
    float underlineThickness = 0;
    float strikethroughPosition = 0; // above the baseline
    float strikethroughThickness = 0;
    float lineGap() const { return height > ascent + descent ? height - ascent - descent : 0; }
};

// A font's metrics as Pango gives them, read straight from the font (without what Pango measures besides,
// which loads fonts for a sample text); nullopt for a font not of fontconfig's.
std::optional<FontMetrics> faceMetrics(PangoFont*);

// Which family of an Attributes applies to a run of text.
enum class ScriptClass : std::uint8_t { Default, EastAsian, Complex };

// A thread's Pango font map (72 dpi: one Pango unit of size is one point), and caches of font descriptions
// and font metrics that every layout of the thread shares. Font families are always set with
// pango_font_description_set_family: a name such as "Times New Roman" read as a description string
// would lose "Roman" as a style. Pango's font maps are not to be shared between threads, so each thread has
// one of its own: the process's main (UI) thread's and its caches live as long as the process, like
// fontconfig's own; another thread's go with the thread. Nothing it hands out is for another thread.
class FontMap {
public:
    // The calling thread's.
    static FontMap& shared();
    ~FontMap();
    FontMap(const FontMap&) = delete;
    FontMap& operator=(const FontMap&) = delete;

    PangoFontMap* pangoFontMap() const { return m_fontMap; }
    // A new context (the caller owns the reference) that lays text out independently of the zoom: metrics
    // are not hinted and glyph positions are not rounded to whole points.
    PangoContext* createContext(PangoDirection baseDirection) const;
    // The same settings over another font map.
    static PangoContext* createContext(PangoFontMap*, PangoDirection baseDirection);
    // A font map like the process's (72 dpi), for a thread other than the UI thread, which must not lay
    // text out with the process's; the caller owns the reference.
    static PangoFontMap* createPrivateFontMap();
    // A description of family as fontDescription gives it, made anew (the caller frees it): the cache
    // belongs to the UI thread.
    static PangoFontDescription* newFontDescription(const std::string& family, float size, bool bold, bool italic);
    // An empty layout set in family at size (roman), over fontMap, or where that is null over the process's
    // (the UI thread only); the caller owns the reference.
    static PangoLayout* createLayout(PangoFontMap* fontMap, const std::string& family, float size, bool bold);

    // The description of the font an attribute run asks for, at its drawn size (2/3 for super- and
    // subscripts). Owned by the cache; valid for the life of the process.
    const PangoFontDescription* fontDescription(const Attributes&, ScriptClass = ScriptClass::Default);
    const PangoFontDescription* fontDescription(const std::string& family, float size, bool bold, bool italic);
    // The metrics of a font Pango chose (a run's font); the font is kept alive by the cache.
    const FontMetrics& metrics(PangoFont*);
    // The metrics of the font an attribute run asks for (empty lines have no run to take them from).
    const FontMetrics& metrics(const Attributes&);
    // The font Pango lays out a description with when the font covers the text: the first font of its
    // fontset. Owned by the cache; valid for the life of the process.
    PangoFont* font(const PangoFontDescription*);

    // The size a run is drawn at, and its baseline offset (points, positive raises).
    static float drawnFontSize(const Attributes&);
    static float baselineOffset(const Attributes&);
    // The family of a script class; the run's main family when the document names none for that class.
    static const std::string& family(const Attributes&, ScriptClass);
    // The family to ask fontconfig for. Older documents name a font with the script its code page served
    // ("Times New Roman Cyr", "Arial CE", "Courier New Greek"): those are the same font under a
    // substitute name, which fontconfig does not know and would replace with its default sans. Unless a
    // font of the full name is installed, the script suffix is dropped.
    const std::string& resolvedFamily(const std::string& family);
    static ScriptClass scriptClass(gunichar);

private:
    FontMap();
    PangoFontMap* m_fontMap = nullptr;
    PangoContext* m_metricsContext = nullptr;
    std::unordered_map<std::string, PangoFontDescription*> m_descriptions;
    std::unordered_map<std::string, std::string> m_resolvedFamilies;
    std::unordered_set<std::string> m_installedFamilies; // case-folded, filled on first use
    std::unordered_map<PangoFont*, FontMetrics> m_fontMetrics;
    std::unordered_map<const PangoFontDescription*, PangoFont*> m_loadedFonts;
};

} // namespace kit
