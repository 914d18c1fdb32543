#pragma once

#include "kit/geometry/Color.h"
#include "kit/view/ClipView.h"
#include "kit/view/Scroller.h"

namespace kit {

// A scrolling frame around a document view. It owns its clip view (the content view), which owns the
// document view, and its scrollers. The clip view fills the scroll view less the scrollers that are showing;
// a scroller shows only when the scroll view has one and the document is larger than the clip view along
// its axis. The background colour is the clip view's.
class ScrollView : public View {
public:
    ScrollView();
    explicit ScrollView(Rect frame);

    ClipView* contentView() const { return m_contentView; }
    // Installs clipView (laid out at once) and hands back the previous one, with its document view still in it.
    std::unique_ptr<ClipView> setContentView(std::unique_ptr<ClipView> clipView);
    View* documentView() const { return m_contentView ? m_contentView->documentView() : nullptr; }
    // Puts view into the current clip view, replacing (destroying) the document there.
    void setDocumentView(std::unique_ptr<View> view);
    // Moves view into the current clip view from the superview or nib set that owns it.
    void setDocumentView(View& view);

    Color backgroundColor() const;
    void setBackgroundColor(Color color);
    bool drawsBackground() const;
    void setDrawsBackground(bool draws);

    bool hasVerticalScroller() const { return m_hasVerticalScroller; }
    void setHasVerticalScroller(bool has);
    bool hasHorizontalScroller() const { return m_hasHorizontalScroller; }
    void setHasHorizontalScroller(bool has);
    // When off, a scroller the view has shows whatever the document's size.
    bool autohidesScrollers() const { return m_autohidesScrollers; }
    void setAutohidesScrollers(bool autohides);
    // The scrollers; each is hidden while it is not needed.
    Scroller* verticalScroller() const;
    Scroller* horizontalScroller() const;
    // The size the clip view gets, in this view's coordinates.
    Size contentSize() const { return m_contentView ? m_contentView->frame().size : Size {}; }
    // The distance one arrow key moves, in points.
    float lineScroll() const { return m_lineScroll; }
    void setLineScroll(float points) { m_lineScroll = points; }

    // Lays out the clip view and the scrollers for the current document size.
    void tile();
    // Brings the scrollers in line with clipView's scroll position and document (re-tiling when a scroller
    // has to appear or go).
    void reflectScrolledClipView(ClipView& clipView);

    bool isFlipped() const override { return true; }
    void drawRect(cairo_t* context, Rect dirty) override;
    void resizeSubviewsWithOldSize(Size oldBoundsSize) override;
    // Scrolls by the event's deltas; an event that moves nothing goes on up the chain.
    void scrollWheel(const Event& event) override;
    // Up, Down, PageUp, PageDown, Home, End and the space bar scroll; other keys go on up the chain.
    void keyDown(const Event& event) override;

    // hasVerticalScroller, hasHorizontalScroller, autohidesScrollers, backgroundColor, drawsBackground.
    bool setNibAttribute(std::string_view name, std::string_view value) override;

protected:
    void willRemoveSubview(View& subview) override;

private:
    friend class Scroller;
    // Called by a scroller being dragged or clicked: value 0...1 along its axis.
    void scrollerDidMove(Scroller& scroller, float value);
    // Called by a click in a scroller's track: one visible length back (-1) or forward (+1).
    void scrollerDidPage(Scroller& scroller, int direction);
    // Moves the visible area by (dx, dy) points on screen (dy > 0: downwards); false when nothing moved.
    bool scrollByScreenDelta(float dx, float dy);
    // The document's size in this view's units, and where the visible area starts along each axis measured
    // from the document's left and top edges.
    Size documentSize() const;
    Point offsetFromDocumentStart() const;
    void setOffsetFromDocumentStart(Point offset);
    void updateScrollers();

    ClipView* m_contentView = nullptr;
    Scroller* m_verticalScroller = nullptr;
    Scroller* m_horizontalScroller = nullptr;
    bool m_hasVerticalScroller = false;
    bool m_hasHorizontalScroller = false;
    bool m_autohidesScrollers = true;
    bool m_tiling = false;
    float m_lineScroll = 16;
};

} // namespace kit
