#pragma once

#include "kit/foundation/Range.h"
#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"
#include "kit/text/Attributes.h"
#include "kit/text/PageDisplayList.h"
#include "kit/text/ParagraphEngine.h"
#include "kit/text/TextContainer.h"

#include <cairo.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace kit {

struct LayoutHandover;
class Paginator;
class ParagraphEngine;
class TextStorage;
class TextView;

// Flows one text storage through its text containers, in order, and draws and hit-tests what each holds.
// Text and glyph indices are the same UTF-8 byte offsets. Layout is lazy: asking about container i lays
// out containers 0...i and no more. The storage is shared with whoever made it; the containers belong
// to the layout manager. The current selection lives here, so all text views of one layout manager
// show one selection.
//
// Container coordinates: points, origin at the container's top left, y growing downward.
class LayoutManager {
public:
    LayoutManager();
    // A layout manager breaking lines with another engine than the default one.
    explicit LayoutManager(std::unique_ptr<ParagraphEngine>);
    // The default engine: our own line breaker, or Pango's with LECTORIN_PARAGRAPH_ENGINE=pango.
    static std::unique_ptr<ParagraphEngine> createParagraphEngine();
    ~LayoutManager();
    LayoutManager(const LayoutManager&) = delete;
    LayoutManager& operator=(const LayoutManager&) = delete;

    // The storage to lay out (null: an empty text). Every container is laid out again.
    void replaceTextStorage(std::shared_ptr<TextStorage>);
    const std::shared_ptr<TextStorage>& textStorage() const { return m_storage; }

    void addTextContainer(std::unique_ptr<TextContainer>);
    const std::vector<std::unique_ptr<TextContainer>>& textContainers() const { return m_containers; }
    std::optional<std::size_t> indexOfTextContainer(const TextContainer&) const;
    // The text view of the first container; null when there is none.
    TextView* firstTextView() const;

    // From the first byte of the first cluster placed in the container to one past the last byte of the
    // last cluster placed; {length, 0} for a container after the end of the text. Lays out up to it.
    Range glyphRangeForTextContainer(const TextContainer&);
    // Whether the whole text is placed in this container and the ones before it, so a later container
    // would stay empty. Lays out up to it. This, not the end of a glyph range, ends pagination: a page's
    // range runs from its first to its last placed line, and a table row split over pages puts later
    // bytes (a short cell beside a long one) on the first of them.
    bool textEndsInOrBeforeTextContainer(const TextContainer&);
    // The container holding the glyph at index, laying out as many containers as it takes; null when the
    // index is not placed in any container there is.
    TextContainer* textContainerForGlyphAtIndex(std::size_t index);
    // Called when a glyph is looked for past the containers there are, by whoever adds containers a few at
    // a time: it adds the rest, and the search goes on in them.
    void setContainersWantedHandler(std::function<void()> handler) { m_containersWanted = std::move(handler); }
    // Hands found the container that shows the glyph at index once it is laid out: at once when it is;
    // while containers are still being added (a containers-wanted handler is set), when they reach it,
    // without making the rest at once; else after laying out as textContainerForGlyphAtIndex does. Null
    // when no container shows it. A waiting found is dropped with the manager, never called late.
    void whenContainerForGlyphIsLaidOut(std::size_t index, std::function<void(TextContainer*)> found);
    // Whoever adds the containers says it added some, or that there are no more to come (complete): the
    // waiters whose glyphs they show hear of it.
    void containersWereAdded(bool complete);
    // The height the container's text takes, from its top.
    Rect usedRectForTextContainer(const TextContainer&);

    struct LineFragment {
        Range range; // bytes of the line (its paragraph's terminator included on the last line)
        Rect rect; // the line's box: its column's width, its line height
        Rect usedRect; // where its glyphs are
        float baseline = 0; // y of the baseline
        bool isDecoration = false; // a table header repeated on a later page
    };
    std::vector<LineFragment> lineFragmentsForTextContainer(const TextContainer&);
    // The same lines without where their glyphs run, which takes laying each paragraph out again: each
    // with what a paragraph engine needs to find it (usedRect), on any thread with an engine of its own,
    // while the storage lives and stays as it is.
    struct LineToMeasure {
        LineFragment fragment; // usedRect left empty
        ParagraphInput input;
        std::size_t line = 0; // the line's index in its paragraph
    };
    std::vector<LineToMeasure> linesToMeasureForTextContainer(const TextContainer&);
    // Where a line's glyphs run, as lineFragmentsForTextContainer gives it.
    static Rect usedRect(ParagraphEngine&, const LineToMeasure&);
    // The table cells the container shows (container coordinates), each a copy of its attributes: what
    // drawTableCell needs to draw their shading and borders without the layout.
    struct CellBox {
        Rect rect; // the cell's part in this container
        TableCell cell;
    };
    std::vector<CellBox> cellBoxesForTextContainer(const TextContainer&);
    // Draws a cell's shading and borders into rect (user space of cr). Touches nothing but cr: any thread.
    static void drawTableCell(cairo_t*, const Rect&, const TableCell&);
    // Lines centred on rect's edges, sides in the order top, left, bottom, right.
    static void drawBorders(cairo_t*, const Rect&, const std::array<Border, 4>&);

    // What the container draws, recorded from its layout (laying out up to it): a list any thread can draw,
    // which stays valid after the layout changes or goes. The lists of the containers drawn most recently
    // are kept, so drawing a page again costs no layout; null for a container of another layout manager.
    std::shared_ptr<const PageDisplayList> displayListForTextContainer(const TextContainer&);
    // How many display lists are kept at most.
    static constexpr std::size_t kDisplayListCapacity = 32;
    // Lets the container's list go, as printing does with each page once it is written.
    void forgetDisplayListForTextContainer(const TextContainer&);

    // Draws the container's text (table cells, the selection highlight, glyphs, attachments) with the
    // container's top left at origin, both in the user space of cr (y down), from its display list and
    // the selection. Lines outside dirty are skipped.
    void drawGlyphsForContainer(cairo_t*, const TextContainer&, Point origin, Rect dirty);
    // The floating objects placed with the container's text: their rectangles in container coordinates
    // (outside the container where they stand in the page's margins) and the byte each is anchored at.
    struct FloatBox {
        Rect rect;
        std::size_t anchor = 0;
    };
    std::vector<FloatBox> floatBoxesForTextContainer(const TextContainer&);
    // The bands of columns down the container, top to bottom, as tall as the text in them.
    std::vector<ColumnBand> columnBandsForTextContainer(const TextContainer&);
    // Draws them as drawGlyphsForContainer draws the text; whoever draws the page draws them, beneath its
    // text, since they may stand outside the text's own view.
    void drawFloatsForContainer(cairo_t*, const TextContainer&, Point origin, Rect dirty);
    // The insertion index nearest to a point in container coordinates.
    std::size_t characterIndexForPoint(Point, const TextContainer&);
    // Where the bytes of range lie in the container (container coordinates), one rectangle per line part.
    // A range that reaches past a line's end covers the rest of the line's column, as a selection does.
    std::vector<Rect> rectsForCharacterRange(Range, const TextContainer&);

    Range selectedRange() const { return m_selectedRange; }
    // Clamped to the text. Text views redisplay themselves when they change it.
    void setSelectedRange(Range);
    static Color selectionColor();

    // Whether the storage's notes go where its page setup puts them on the document's own pages (footnotes
    // at the foot of their reference's container, endnotes at their section's or the text's end) rather
    // than where they stand in the text. Off unless set; changing it lays the text out again.
    void setPlacesNotes(bool);
    bool placesNotes() const { return m_placesNotes; }

    // Forgets all layout; the next question lays the text out again. Done by itself when the storage's
    // change count moves.
    void invalidateLayout();
    // Names this manager's layout as it stands: a number no other manager or earlier layout of this one had,
    // so that what is kept of a layout (a frame's text layer) can tell it is still the same. Laying out
    // further pages keeps it; laying out again from the start (the text, the notes' placing) changes it.
    std::uint64_t layoutGeneration();
    // Sent by a container whose size changed.
    void textContainerChangedGeometry(TextContainer&);

    // A layout made by another manager, on another thread, shown by this one: the other hands over what it
    // laid out in its containers from firstContainer on, with what drawing and hit-testing their lines take.
    std::unique_ptr<LayoutHandover> handOverLayout(std::size_t firstContainer);
    // Takes over what a manager of the same storage (and notes' placing) laid out in containers of the same
    // shapes as this one's: containers past the ones laid out here get the other's layout as they are added.
    // The containers both laid out must hold the same lines; false, changing nothing, when they do not.
    bool adoptLayout(const LayoutHandover&);

private:
    TextContainer* laidOutContainerForGlyphAtIndex(std::size_t index);
    // Makes the paginator, unless it is there and the storage is unchanged.
    void startLayout();
    void ensureLayout(std::size_t containerIndex);
    const TextStorage& storage() const;
    std::vector<Rect> rectsForRangeInLayout(Range, std::size_t containerIndex);
    std::shared_ptr<const PageDisplayList> recordContainer(std::size_t containerIndex);
    PageDisplayList::PictureDrawer pictureDrawer();

    std::shared_ptr<TextStorage> m_storage;
    std::unique_ptr<TextStorage> m_emptyStorage;
    std::vector<std::unique_ptr<TextContainer>> m_containers;
    std::unique_ptr<ParagraphEngine> m_engine;
    std::unique_ptr<Paginator> m_paginator;
    std::uint64_t m_layoutChangeCount = 0;
    std::uint64_t m_layoutGeneration = 0;
    Range m_selectedRange;
    bool m_placesNotes = false;
    std::function<void()> m_containersWanted;
    std::vector<std::pair<std::size_t, std::function<void(TextContainer*)>>> m_glyphWaiters;
    struct KeptDisplayList {
        std::size_t container = 0;
        std::shared_ptr<const PageDisplayList> list;
        std::uint64_t lastUse = 0;
    };
    std::vector<KeptDisplayList> m_displayLists;
    std::uint64_t m_displayListUses = 0;
};

} // namespace kit
