#pragma once

#include "kit/geometry/Geometry.h"
#include "kit/view/Responder.h"

#include <cairo.h>
#include <memory>
#include <utility>
#include <vector>

namespace kit {

class ClipView;
class Menu;
class ScrollView;
class Window;

// How a view follows its superview's size (the classic springs and struts). Margins are named after the
// superview's coordinates: MinY is the bottom margin in an unflipped superview and the top in a flipped one.
enum AutoresizingMask : unsigned {
    ViewNotSizable = 0,
    ViewMinXMargin = 1,
    ViewWidthSizable = 2,
    ViewMaxXMargin = 4,
    ViewMinYMargin = 8,
    ViewHeightSizable = 16,
    ViewMaxYMargin = 32,
};

// A rectangle of a window with its own coordinate system, drawing and events.
//
// Coordinates are points. The frame is in the superview's coordinate system (for a window's content view,
// the window base: origin bottom left, y up). The bounds are the view's own system: their origin is the
// point shown at the frame's origin corner (the scroll offset of a clip view) and the ratio of frame size to
// bounds size is the view's scale. An unflipped view has y up, a flipped one y down; the frame's origin corner
// is the view's bottom left in an unflipped superview and its top left in a flipped one.
//
// Ownership: a view owns its subviews; the superview and window pointers are non-owning and kept valid
// by the tree. A view being destroyed destroys its subviews first and stops being its window's first responder.
class View : public Responder {
public:
    View();
    explicit View(Rect frame);
    ~View() override;

    // Geometry. Setting the frame size keeps the bounds-to-frame ratio (a view scaled x2 whose frame becomes
    // 300 wide has bounds 150 wide) and resizes the subviews by their autoresizing masks. Each setter does
    // nothing when the value does not change.
    Rect frame() const { return m_frame; }
    Rect bounds() const { return m_bounds; }
    float frameRotation() const { return m_frameRotation; }
    virtual void setFrame(Rect frame);
    virtual void setFrameOrigin(Point origin);
    virtual void setFrameSize(Size size);
    // Recorded and announced like a frame change; neither drawing nor conversion applies it.
    virtual void setFrameRotation(float degrees);
    virtual void setBoundsOrigin(Point origin);
    // Changes the scale: the frame stays, so the view's contents grow or shrink. Sizes must be positive.
    virtual void setBoundsSize(Size size);
    // Multiplies the scale by size: the bounds size and origin are divided by it. Factors must be positive.
    virtual void scaleUnitSquareToSize(Size size);
    virtual bool isFlipped() const { return false; }
    // True when drawRect paints every pixel of its area (nothing behind the view shows through).
    virtual bool isOpaque() const { return false; }

    // Conversion between this view's coordinates and another view's of the same tree; nullptr means the
    // window base (for a view outside any window: the coordinate system its topmost ancestor's frame is in).
    // Sizes are absolute: only the scales between the two views apply. Rectangles are converted by their
    // corners and come back with positive sizes.
    Point convertPoint(Point point, const View* to) const;
    Point convertPointFromView(Point point, const View* from) const;
    Size convertSize(Size size, const View* to) const;
    Size convertSizeFromView(Size size, const View* from) const;
    Rect convertRect(Rect rect, const View* to) const;
    Rect convertRectFromView(Rect rect, const View* from) const;

    // The tree.
    View* superview() const { return m_superview; }
    const std::vector<std::unique_ptr<View>>& subviews() const { return m_subviews; }
    // Adds view above the existing subviews and returns it; the view moves into this window's tree.
    View& addSubview(std::unique_ptr<View> view);
    // Takes a view that is owned elsewhere in a way the view knows: a nib's top-level view (out of its
    // owner's set) or another view's subview. A view owned by anything else is left where it is (assertion).
    View& addSubview(View& view);
    // Adds view at index among the subviews (0: below all others; past the end: on top).
    View& insertSubview(std::unique_ptr<View> view, std::size_t index);
    template<typename T, typename... Args> T& add(Args&&... args)
    {
        return static_cast<T&>(addSubview(std::make_unique<T>(std::forward<Args>(args)...)));
    }
    // Removes the view from its superview and destroys it; nothing may use it afterwards.
    void removeFromSuperview();
    // Removes the view from its superview and hands it to the caller; null when there is no superview.
    std::unique_ptr<View> detachFromSuperview();
    bool isDescendantOf(const View* ancestor) const;
    Window* window() const { return m_window; }
    ScrollView* enclosingScrollView() const;

    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);
    bool isHiddenOrHasHiddenAncestor() const;

    // Drawing. Damage is collected by the window (in its base coordinates), which tells the host.
    bool needsDisplay() const { return m_needsDisplay; }
    void setNeedsDisplay(bool needsDisplay);
    void setNeedsDisplayInRect(Rect rectInSelf);
    // Draws the view's own content in its coordinates; dirty is the area being drawn, already clipped to.
    virtual void drawRect(cairo_t* context, Rect dirty);
    // Draws this view and its subviews for rectInSelf into context, whose user space then has that
    // rectangle's top-left corner at (0, 0) with y down (as for a PDF page or an image). Subviews are
    // clipped to their frames; hidden subviews and those outside the rectangle are skipped.
    void displayRectInContext(Rect rectInSelf, cairo_t* context);
    // The part of the bounds not clipped away by the ancestors, in this view's coordinates.
    Rect visibleRect() const;
    // Scrolls the nearest enclosing clip view as little as needed to show rectInSelf; false when it cannot move.
    bool scrollRectToVisible(Rect rectInSelf);

    // Announcements of size and scroll changes on NotificationCenter::defaultCenter() with this view as the
    // object: ViewFrameDidChangeNotification (frame changes) and ViewBoundsDidChangeNotification (bounds
    // changes made directly, not those that follow a frame change). Both on by default; turning posting
    // back on posts once if a change happened while it was off.
    void setPostsFrameChangedNotifications(bool posts);
    bool postsFrameChangedNotifications() const { return m_postsFrameChanged; }
    void setPostsBoundsChangedNotifications(bool posts);
    bool postsBoundsChangedNotifications() const { return m_postsBoundsChanged; }

    unsigned autoresizingMask() const { return m_autoresizingMask; }
    void setAutoresizingMask(unsigned mask) { m_autoresizingMask = mask; }
    bool autoresizesSubviews() const { return m_autoresizesSubviews; }
    void setAutoresizesSubviews(bool autoresizes) { m_autoresizesSubviews = autoresizes; }
    // Called after this view's bounds size changed from oldBoundsSize; lets each subview follow its mask.
    virtual void resizeSubviewsWithOldSize(Size oldBoundsSize);
    // Moves and sizes this view for its superview's bounds having changed from oldSuperviewSize: the size
    // change is shared among the flexible parts (margins, size) in proportion to their current lengths,
    // or equally when they are all zero.
    virtual void resizeWithOldSuperviewSize(Size oldSuperviewSize);

    // The context menu, shared with whoever else shows it (a clip view shows its document view's menu).
    const std::shared_ptr<Menu>& menu() const { return m_menu; }
    void setMenu(std::shared_ptr<Menu> menu) { m_menu = std::move(menu); }
    virtual std::shared_ptr<Menu> menuForEvent(const Event&) const { return m_menu; }

    // Hooks around tree changes.
    virtual void viewWillMoveToWindow(Window*) { }
    virtual void viewDidMoveToWindow() { }
    virtual void viewDidMoveToSuperview() { }

    // The deepest visible view under point (in the superview's coordinates), or null.
    virtual View* hitTest(Point pointInSuperview);

    Responder* nextResponder() const override;
    // Shows menuForEvent through the host, if there is one; else passes the event on.
    void rightMouseDown(const Event&) override;

    // frame ("x y w h"), autoresizing ("width height minX maxX minY maxY"), hidden, postsFrameChangedNotifications.
    bool setNibAttribute(std::string_view name, std::string_view value) override;

protected:
    // Moves the bounds as setBoundsOrigin does, notifications included, but damages nothing: the caller
    // says what needs drawing.
    void setBoundsOriginWithoutDisplay(Point origin);
    // Told after a subview's frame, or its bounds on their own, changed (clip views follow their document).
    virtual void subviewFrameDidChange(View&) { }
    virtual void subviewBoundsDidChange(View&) { }
    virtual void didAddSubview(View&) { }
    // Told before a subview leaves, whether it is destroyed or handed on.
    virtual void willRemoveSubview(View&) { }

private:
    friend class Window;

    // The one place that knows how a view's coordinates map into its superview's (or the window base's).
    struct Mapping {
        double sx = 1, sy = 1, tx = 0, ty = 0; // p' = (sx * x + tx, sy * y + ty)
        Point apply(Point p) const;
        Point invert(Point p) const;
        Rect apply(Rect r) const;
        Rect invert(Rect r) const;
        Mapping then(const Mapping& outer) const;
    };
    Mapping mappingToSuperview() const;
    Mapping mappingToBase() const;

    void applyFrame(Rect frame);
    void boundsDidChange(bool redraw = true);
    void frameDidChange(Rect oldFrame);
    void damageFrameInSuperview(Rect frame);
    std::unique_ptr<View> releaseFromOwner(Window* destination);
    std::unique_ptr<View> detach(bool stayingInWindow);
    void setWindowRecursive(Window* window);
    void drawTree(cairo_t* context, Rect dirtyInSelf);
    ClipView* enclosingClipView() const;

    Rect m_frame;
    Rect m_bounds;
    Size m_scale { 1, 1 };
    float m_frameRotation = 0;
    View* m_superview = nullptr;
    Window* m_window = nullptr;
    std::vector<std::unique_ptr<View>> m_subviews;
    std::shared_ptr<Menu> m_menu;
    unsigned m_autoresizingMask = ViewNotSizable;
    bool m_autoresizesSubviews = true;
    bool m_hidden = false;
    bool m_needsDisplay = false;
    bool m_postsFrameChanged = true;
    bool m_postsBoundsChanged = true;
    bool m_frameChangePending = false;
    bool m_boundsChangePending = false;
};

} // namespace kit
