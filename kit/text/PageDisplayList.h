#pragma once

#include "kit/foundation/Range.h"
#include "kit/geometry/Geometry.h"
#include "kit/text/Attributes.h"

#include <array>
#include <cairo.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace kit {

class AttachmentImages;

// What one text container draws, recorded once from its layout: the table cells and note rules beneath
// the text, the floating objects, and line by line the glyph runs (cairo fonts, positions, colours and
// the text they show), filled rectangles and outlines (underlines, strike lines, highlights, boxes of
// missing glyphs) and inline pictures, each line with the bytes it holds and its box. It holds nothing
// of the layout, the storage or Pango, and never changes once made: a page can be drawn from it on any
// thread, long after its layout went away, as often and at whatever scale.
//
// Container coordinates: points, origin at the container's top left, y down.
class PageDisplayList {
public:
    using Rgba = std::array<double, 4>;

    struct ScaledFontRelease {
        void operator()(cairo_scaled_font_t* font) const { cairo_scaled_font_destroy(font); }
    };
    using ScaledFont = std::shared_ptr<cairo_scaled_font_t>;
    static ScaledFont retain(cairo_scaled_font_t*);

    // An item of a line either stands in container coordinates or, with fromPen, is placed from the line's
    // pen: where the pen lands in the device space the list is drawn in, as a cairo current point does. So
    // a line draws exactly as it would have been drawn directly from there, at any scale.
    struct GlyphRun {
        ScaledFont font;
        bool fromPen = false;
        double x = 0, y = 0; // where the run starts
        std::vector<cairo_glyph_t> glyphs; // positions from the run's start
        // What the glyphs show, for surfaces that keep text (PDF): UTF-8 and its clusters as
        // cairo_show_text_glyphs takes them. Empty text: glyphs only.
        std::string text;
        std::vector<cairo_text_cluster_t> clusters;
        bool backward = false; // clusters run right to left
        Rgba color { 0, 0, 0, 1 };
    };
    // A filled area: rect, or where a path is given, that path (in container coordinates).
    struct Fill {
        bool fromPen = false;
        bool wavy = false; // a wavy line across rect, as under a misspelt word
        Rect rect;
        std::shared_ptr<const cairo_path_t> path;
        Rgba color { 0, 0, 0, 1 };
    };
    struct Picture {
        // With fromPen, rect's origin is its offset from the pen moved by (x, y), once that lands in the
        // device space, as a picture drawn from a Pango shape's current point is.
        bool fromPen = false;
        double x = 0, y = 0;
        Rect rect;
        std::shared_ptr<const Attachment> attachment;
    };
    using Item = std::variant<GlyphRun, Fill, Picture>;

    struct Line {
        Range range; // the bytes the line holds
        Rect box; // the line's box: its column's width, its height
        float baseline = 0;
        bool hasPen = false;
        Point pen; // where its items placed from the pen start
        bool isDecoration = false; // a repeated table header: drawn, not part of the container's text
        bool isNote = false;
        Rect bounds; // where its ink may reach: drawing skips the line outside the area asked for
        std::uint32_t firstItem = 0, itemCount = 0;
    };
    struct Cell {
        Rect rect;
        TableCell cell;
    };

    // Draws a picture into rect, from the decoded images of whoever draws. A thread other than the UI
    // thread draws through an AttachmentImages with text fonts of its own (a placeholder's alternative
    // text, a drawing's labels): the process's font map is the UI thread's.
    using PictureDrawer = std::function<void(cairo_t*, const std::shared_ptr<const Attachment>&, const Rect&)>;

    // Each draws with the container's top left at origin, in the user space of cr (y down), only what may
    // reach into dirty. The floats go beneath everything; the background (cells, note rules) beneath the
    // selection, and the text above it.
    void drawFloats(cairo_t*, Point origin, Rect dirty, const PictureDrawer&) const;
    void drawBackground(cairo_t*, Point origin, Rect dirty) const;
    void drawText(cairo_t*, Point origin, Rect dirty, const PictureDrawer&) const;
    // All three, pictures from images.
    void draw(cairo_t*, Point origin, Rect dirty, AttachmentImages& images) const;

    const std::vector<Line>& lines() const { return m_lines; }
    const std::vector<Item>& items() const { return m_items; }
    const std::vector<Cell>& cells() const { return m_cells; }
    const std::vector<Picture>& floats() const { return m_floats; }

    // Filled by the layout manager and its paragraph engine, in drawing order.
    class Builder {
    public:
        Builder();
        void addFloat(const Rect&, std::shared_ptr<const Attachment>);
        void addCell(const Rect&, const TableCell&);
        void addNoteRule(const Rect&);
        // The items added after it belong to this line, until the next one.
        void beginLine(const Line&);
        // Where the current line's items placed from the pen start.
        void setPen(Point);
        void add(Item);
        std::shared_ptr<const PageDisplayList> finish();

    private:
        std::shared_ptr<PageDisplayList> m_list;
    };

private:
    static void drawItem(cairo_t*, const Item&, const PictureDrawer&, double penX, double penY);

    std::vector<Picture> m_floats;
    std::vector<Cell> m_cells;
    std::vector<Rect> m_noteRules;
    std::vector<Line> m_lines;
    std::vector<Item> m_items;
};

} // namespace kit
