#pragma once

#include "kit/foundation/GRefPtr.h"
#include "kit/text/AttachmentImages.h"
#include "kit/text/Attributes.h"
#include "kit/text/ParagraphEngine.h"

#include <list>
#include <pango/pangocairo.h>
#include <string>

namespace kit {

// The paragraph engine on Pango: one PangoLayout per paragraph. Measuring reuses one layout per base
// direction; recording lines and hit testing keep the layouts of the most recently recorded paragraphs, so pages
// that are not on screen cost their line metrics only.
class PangoParagraphEngine final : public ParagraphEngine {
public:
    PangoParagraphEngine();
    ~PangoParagraphEngine() override;

    void layOutParagraph(const ParagraphInput&, std::vector<LineMetrics>& lines) override;
    void recordLine(PageDisplayList::Builder&, const ParagraphInput&, std::size_t line, Point origin) override;
    void drawAttachment(cairo_t*, const std::shared_ptr<const Attachment>&, const Rect&) override;
    std::vector<std::pair<float, float>> xRangesForRange(const ParagraphInput&, std::size_t line, Range) override;
    std::size_t characterIndexForX(const ParagraphInput&, std::size_t line, float x) override;
    void invalidate() override;

private:
    // Where the layout's box lies in its column, and what Pango cannot draw by itself.
    struct Geometry {
        float boxX = 0; // the box's left edge, points from the column's left edge
        float boxWidth = 0;
        float indent = 0; // first line minus other lines, as Pango takes it
        bool rightToLeft = false;
        TextAlignment alignment = TextAlignment::Natural;
    };
    struct DoubleStrike {
        std::size_t start, end; // bytes of the paragraph
        float position, thickness; // points above the baseline
        Color color;
    };
    // A paragraph ready to draw: its layout and each line's horizontal placement.
    struct Prepared {
        const TextStorage* storage = nullptr;
        std::size_t start = 0, length = 0;
        float columnWidth = 0, maxObjectHeight = 0;
        bool placesFloats = false;
        GRefPtr<PangoLayout> layout;
        Geometry geometry;
        std::vector<PangoLayoutLine*> lines;
        std::vector<float> lineOrigins; // x of each line's Pango origin, points from the column's left edge
        std::vector<float> lineOffsets; // added to a Pango layout x of the line to make it a column x
        std::vector<DoubleStrike> strikes;
    };

    void configure(PangoLayout*, const ParagraphInput&, Geometry&, std::vector<DoubleStrike>*);
    bool rightToLeft(const ParagraphInput&, const char* text);
    const char* paragraphText(const ParagraphInput&);
    Prepared& prepare(const ParagraphInput&);
    void placeLines(Prepared&);

    GRefPtr<PangoContext> m_contexts[2]; // left-to-right, right-to-left
    GRefPtr<PangoLayout> m_measureLayouts[2];
    std::list<Prepared> m_prepared; // most recently used first
    std::string m_sanitized; // a copy of a paragraph whose bytes are not valid UTF-8
    AttachmentImages m_images;
};

} // namespace kit
