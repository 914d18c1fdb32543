#pragma once

#include "kit/foundation/GRefPtr.h"
#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"
#include "kit/text/AttachmentImages.h"
#include "kit/text/Attributes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <pango/pangocairo.h>
#include <string>
#include <vector>

class NRVLectorinMultiPageView;

namespace hosts {

// What a page thumbnail shows of one page, copied from the page view on the UI thread so that another
// thread can draw it: nothing in it refers to the text storage, the layout or any Pango object. The lines
// keep the page's line breaks and glyph positions; each is drawn again as one line of text in its fonts.
// Page coordinates: points from the paper's top left, y down.
struct ThumbnailPage {
    struct Run {
        std::uint32_t start = 0; // bytes into the line's text
        std::uint32_t length = 0;
        std::string family; // as fontconfig is asked for it
        float size = 12; // drawn size, points
        float rise = 0; // points, positive raises
        bool bold = false;
        bool italic = false;
        kit::LineStyle underline = kit::LineStyle::None;
        kit::LineStyle strikethrough = kit::LineStyle::None;
        kit::Color color = kit::Color::blackColor();
        std::optional<kit::Color> background;
        float objectWidth = -1; // >= 0 on an attachment: the room it takes on the line
    };
    struct Line {
        kit::Point origin; // the left end of the glyphs, on the baseline
        float width = 0; // where the glyphs end, from origin.x
        float columnOffset = 0; // origin.x less the column's left edge: tab stops count from that edge
        bool justified = false; // spread to width
        std::string text; // UTF-8, without the paragraph or line terminator
        std::vector<Run> runs;
        std::vector<float> tabStops; // points from the column's left edge
        bool rightToLeft = false;
    };
    struct Picture {
        kit::Rect rect;
        std::shared_ptr<const kit::Attachment> attachment;
    };
    struct Cell {
        kit::Rect rect;
        kit::TableCell cell;
    };

    kit::Size paperSize { 612, 792 };
    std::vector<Cell> cells;
    std::vector<Line> lines;
    std::vector<Picture> pictures;

    // Copies page (0-based) of the page view; a page without text gives blank paper of its size.
    static std::shared_ptr<const ThumbnailPage> capture(NRVLectorinMultiPageView&, std::uint32_t page);
};

// Draws thumbnails of captured pages, on whichever one thread owns it: it has its own Pango font map and
// context and its own decoded pictures, so it shares no Pango or cache object with the UI thread.
class ThumbnailPainter {
public:
    ThumbnailPainter();
    ~ThumbnailPainter();
    ThumbnailPainter(const ThumbnailPainter&) = delete;
    ThumbnailPainter& operator=(const ThumbnailPainter&) = delete;

    // The page scaled to width device pixels (its height follows the paper's proportions), on opaque white,
    // as premultiplied native-endian ARGB32 (Cairo's image format); null when the size is unusable.
    cairo_surface_t* paint(const ThumbnailPage&, int width);

private:
    void paintLine(cairo_t*, const ThumbnailPage::Line&);

    kit::GRefPtr<PangoFontMap> m_fontMap;
    kit::GRefPtr<PangoContext> m_context;
    kit::GRefPtr<PangoLayout> m_layout;
    kit::AttachmentImages m_images;
};

} // namespace hosts
