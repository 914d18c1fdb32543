#pragma once

#include "kit/geometry/Color.h"
#include "kit/geometry/Geometry.h"
#include "kit/view/Responder.h"

#include <cairo.h>
#include <memory>
#include <string>
#include <vector>

namespace kit {

class Host;
class View;
class WindowController;

// A window: the root of a view tree, the keeper of the first responder and of the damage the host has not
// yet repainted. Its base coordinate system is its content area in points with the origin at the bottom left
// and y up; the host flips it once when it draws into a Cairo surface (y down).
//
// Each window is attached, from construction to destruction, to the host that was current when it was made
// (Host::current()); the host shows it, hides it and hears about its damage. The window owns its content
// view. Its next responder is its window controller, if it has one.
class Window : public Responder {
public:
    explicit Window(Size contentSize = { 480, 360 });
    ~Window() override;

    View* contentView() const { return m_contentView.get(); }
    // Installs view as the content view, sized to fill the window, and returns the previous one.
    std::unique_ptr<View> setContentView(std::unique_ptr<View> view);
    Size contentSize() const { return m_contentSize; }
    // Resizes the content view with it; its subviews follow their autoresizing masks.
    void setContentSize(Size size);
    // The top-left corner of the content area on the main display, in display pixels from its top left.
    Point frameTopLeftPoint() const { return m_frameTopLeft; }
    void setFrameTopLeftPoint(Point point) { m_frameTopLeft = point; }
    // Places the window in the middle of the main display horizontally and a third of the free space down
    // (a little above the middle, where the eye expects a panel); a host without display information counts
    // as a 1024 x 768 display.
    void center();
    const std::string& title() const { return m_title; }
    void setTitle(std::string title) { m_title = std::move(title); }
    Color backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(Color color);

    // The responder that receives keys and, first, actions without a target. Null makes the window itself
    // first responder. Fails (and leaves the window first responder) when the new responder does not accept
    // or belongs to another window; fails and changes nothing when the current one will not resign.
    bool makeFirstResponder(Responder* responder);
    Responder* firstResponder() const { return m_firstResponder; }
    // Sends selector to target when there is one, else along the responder chain from the first responder
    // (view, superview, ..., window, window controller). True when someone performed it.
    bool sendAction(std::string_view selector, Responder* sender, Responder* target = nullptr);
    // Dispatches a host event: mouse-down and scroll-wheel events go to the deepest view under the pointer
    // (a view that accepts first responder becomes it first), drags and mouse-up to the view that took the
    // mouse-down, keys to the first responder.
    void sendEvent(const Event& event);

    // Drawing: context's device space is the window's content area, (0, 0) at the top left, y down, one unit
    // per point (scale the context first for other resolutions). display draws everything and clears the
    // damage; displayRect draws the part of the window in baseRect, clearing the damage when it covers it.
    void display(cairo_t* context);
    void displayRect(Rect baseRect, cairo_t* context);
    // Damage, in base coordinates; each new piece is passed to the host at once.
    void setNeedsDisplayInRect(Rect baseRect);
    bool needsDisplay() const { return !m_dirtyRect.isEmpty(); }
    // All the damage in one rectangle, and the few rectangles it is kept in (far-apart pieces, such as a
    // strip that scrolled into sight and a scroller, are not drawn as the one rectangle around both).
    Rect dirtyRect() const { return m_dirtyRect; }
    const std::vector<Rect>& dirtyRects() const { return m_dirtyRects; }
    // Moves the pixels in baseRect by delta (base coordinates) where the host can, as a scroll does, and
    // damages what came into sight and wherever damage not yet drawn was moved to. False when the host
    // cannot: then nothing changed and the caller damages the rectangle itself.
    bool scrollRect(Rect baseRect, Size delta);
    // A rectangle of the base system in device space (y down), for hosts that repaint damage.
    Rect deviceRectFromBase(Rect baseRect) const;

    // Asks the host to show or hide the window; close hides it (the window lives on with its owner).
    void makeKeyAndOrderFront(Responder* sender);
    void orderOut(Responder* sender);
    void close();
    bool isVisible() const { return m_visible; }

    WindowController* windowController() const { return m_windowController; }
    void setWindowController(WindowController* controller) { m_windowController = controller; }
    Responder* nextResponder() const override;

    // The host's own object for this window (a GTK widget, say), for the host's use only.
    void* hostHandle() const { return m_hostHandle; }
    void setHostHandle(void* handle) { m_hostHandle = handle; }
    Host* host() const { return m_host; }

    // contentSize ("w h"), title, backgroundColor.
    bool setNibAttribute(std::string_view name, std::string_view value) override;

private:
    friend class Host;
    friend class View;
    // A view of this window is leaving it or being destroyed: it can no longer be the first responder.
    void viewWillLeave(View& view);
    void addDirtyRect(Rect rect);

    std::unique_ptr<View> m_contentView;
    Size m_contentSize;
    Point m_frameTopLeft;
    std::string m_title;
    Color m_backgroundColor = Color::white(0.93f);
    Responder* m_firstResponder = this;
    WeakPtr<View> m_mouseView;
    WindowController* m_windowController = nullptr;
    Rect m_dirtyRect; // the union of m_dirtyRects
    std::vector<Rect> m_dirtyRects;
    bool m_visible = false;
    Host* m_host = nullptr;
    void* m_hostHandle = nullptr;
};

} // namespace kit
