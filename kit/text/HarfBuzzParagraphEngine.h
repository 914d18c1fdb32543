#pragma once

#include "kit/text/PangoParagraphEngine.h"
#include "kit/text/ParagraphEngine.h"
#include "kit/text/WordShapeCache.h"

#include <cstdint>
#include <hb.h>
#include <memory>
#include <unordered_map>
#include <vector>

namespace kit {

// The paragraph engine that breaks lines itself: HarfBuzz measures words (through a cache of word widths,
// or a whole style run at once where words do not shape alone the way they shape in the run) and a greedy
// fit places the breaks where Pango's layout would put them, so both engines give the same lines.
// It takes left-to-right paragraphs of Latin, Greek or Cyrillic text (one script each) without tabs, images, case transforms, line separators
// or characters its font lacks; every other paragraph, and drawing and hit testing of every paragraph,
// goes to the Pango engine it owns. Drawing relies on that agreement: Pango lays a paragraph out again
// when it is drawn and must find the same lines.
//
// One engine belongs to one thread, with the Pango fonts it measures with; nothing in it is shared.
class HarfBuzzParagraphEngine final : public ParagraphEngine {
public:
    HarfBuzzParagraphEngine();
    ~HarfBuzzParagraphEngine() override;

    void layOutParagraph(const ParagraphInput&, std::vector<LineMetrics>& lines) override;
    void recordLine(PageDisplayList::Builder&, const ParagraphInput&, std::size_t line, Point origin) override;
    void drawAttachment(cairo_t*, const std::shared_ptr<const Attachment>&, const Rect&) override;
    std::vector<std::pair<float, float>> xRangesForRange(const ParagraphInput&, std::size_t line, Range) override;
    std::size_t characterIndexForX(const ParagraphInput&, std::size_t line, float x) override;
    void invalidate() override;

    // How many paragraphs (pieces) this engine broke itself and how many it handed to Pango.
    struct Statistics {
        std::size_t taken = 0;
        std::size_t declined = 0;
    };
    const Statistics& statistics() const { return m_statistics; }

private:
    struct Font; // a Pango font with what the engine learnt about it
    struct Item { // a stretch of the paragraph shaped with one font and baseline, as Pango itemizes it
        std::uint32_t start = 0, end = 0; // bytes of the paragraph
        Font* font = nullptr;
        float rise = 0; // points, positive raises
        bool wordsAlone = true; // no character keeps words shaped alone from shaping as in the run
        unsigned script = 0; // into the scripts the engine shapes: common, Latin, Greek, Cyrillic
    };

    bool breakLines(const ParagraphInput&, std::vector<LineMetrics>& lines);
    bool collectItems(const ParagraphInput&);
    bool scanCharacters(const char* text, std::size_t length, bool& simple, bool& mixed, unsigned& script);
    // Cuts the items where Pango's itemization changes script, and gives each item its script.
    bool splitByScript(const char* text, std::size_t length);
    void findBreaks(const char* text, std::size_t length, bool simple);
    void measureItem(const char* text, std::size_t length, const Item&, bool simple, unsigned script);
    Font& font(const PangoFontDescription*);
    // Shapes count bytes at offset of context (the rest is context only) into m_buffer, left to right;
    // returns the sum of the advances, 1/1024 point.
    std::int32_t shape(const Font&, const char* context, std::size_t contextLength, std::size_t offset,
        std::size_t count, hb_script_t);

    PangoParagraphEngine m_pango;
    std::unordered_map<const PangoFontDescription*, std::unique_ptr<Font>> m_fonts;
    WordShapeCache m_words;
    hb_buffer_t* m_buffer = nullptr;
    hb_language_t m_language = nullptr;
    Statistics m_statistics;

    // Per paragraph, reused. Offsets are bytes of the paragraph.
    std::vector<Item> m_items;
    std::vector<std::int32_t> m_width; // [b]: advance of the clusters before byte b, 1/1024 point
    std::vector<std::uint8_t> m_flags; // per byte: a break before it, a white character or an item starts at it
    std::vector<PangoLogAttr> m_logAttrs;
};

} // namespace kit
