#pragma once

#include "kit/foundation/Range.h"
#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"
#include "kit/text/Attributes.h"
#include "kit/text/PageDisplayList.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace kit {

class TextStorage;

// A length read from a document, made safe to compute with: 0 when it is not a number or infinite, and
// within [minimum, maximum] points. Damaged documents carry any float; Pango takes lengths as 32-bit ints.
inline float saneLength(float points, float minimum, float maximum)
{
    return std::isfinite(points) ? std::clamp(points, minimum, maximum) : std::clamp(0.0f, minimum, maximum);
}

// One paragraph as the layout manager hands it to a paragraph engine. The paragraph's terminator ('\n',
// '\f') is not part of it; the layout manager gives that byte to the paragraph's last line.
struct ParagraphInput {
    const TextStorage* storage = nullptr;
    std::size_t start = 0; // byte offset of the paragraph's first byte in the storage
    std::size_t length = 0; // bytes of content
    float columnWidth = 0; // points: the text area or table cell the paragraph flows in, before indents
    float maxObjectHeight = 0; // points: attachments taller than this are scaled down to it
    // A paragraph too long to lay out at once comes in pieces, each of them an input of its own.
    std::size_t paragraphStart = 0; // the first byte of the whole paragraph, whose attributes give its style
    bool continuesParagraph = false; // a later piece: its first line is not the paragraph's first
    bool continuedAfter = false; // more pieces follow: its last line is not the paragraph's last
    // The paginator places the paragraph's floating objects: they take no room in its lines. Else they
    // stand in their lines as characters do.
    bool placesFloats = false;
};

// Whether an attachment takes no room in the line of a paragraph laid out with placesFloats.
inline bool floatsOutOfLine(const ParagraphInput& input, const std::shared_ptr<const Attachment>& attachment)
{
    return input.placesFloats && attachment && attachment->placement;
}

// One line as the engine broke it. Vertical metrics in points relative to the baseline, with baseline
// shifts applied; the layout manager turns them into a line box with the paragraph's line spacing.
struct LineMetrics {
    std::uint32_t start = 0; // byte offset in the storage
    std::uint32_t length = 0;
    float ascent = 0;
    float descent = 0;
    float lineGap = 0;
};

// The seam between the layout manager and whatever breaks paragraphs into lines and measures them.
// The layout manager places lines on pages; an engine owns everything inside a paragraph: fonts, shaping,
// line breaking, alignment and tabs within the column, drawing and hit testing of a line. Drawing and hit
// testing are asked only of paragraphs laid out before with the same input and get the same lines.
// Horizontal positions are points from the column's left edge.
class ParagraphEngine {
public:
    virtual ~ParagraphEngine() = default;

    // Appends the paragraph's lines, in order, covering its bytes without gaps (an empty paragraph gets
    // one empty line).
    virtual void layOutParagraph(const ParagraphInput&, std::vector<LineMetrics>& lines) = 0;

    // Adds what one line draws to a display list, with its baseline's left end at origin (the column's left
    // edge, the baseline), in the list's coordinates.
    virtual void recordLine(PageDisplayList::Builder&, const ParagraphInput&, std::size_t line, Point origin) = 0;
    // Draws an attachment the paginator placed outside the lines, scaled to rect.
    virtual void drawAttachment(cairo_t*, const std::shared_ptr<const Attachment>&, const Rect&) = 0;
    // The horizontal extents [x0, x1) of the bytes of range within the line, in visual order.
    virtual std::vector<std::pair<float, float>> xRangesForRange(const ParagraphInput&, std::size_t line, Range) = 0;
    // The insertion index (storage byte offset) nearest to x on the line.
    virtual std::size_t characterIndexForX(const ParagraphInput&, std::size_t line, float x) = 0;

    // Forgets what it cached about the storage's text (the text changed or is going away).
    virtual void invalidate() = 0;
};

} // namespace kit
