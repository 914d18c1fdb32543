#pragma once

#include "hosts/common/gtk/BackingStore.h"
#include "hosts/common/gtk/InputTranslation.h"
#include "hosts/common/gtk/TileTextures.h"
#include "kit/geometry/Geometry.h"

#include <functional>
#include <gtk/gtk.h>

namespace kit {
class Window;
}

namespace hosts {

// The one GTK widget that shows a kit::Window, always the size of the window's content area (never the
// size of a document: the kit scroll view inside scrolls). It draws the view tree's damage into its backing
// store at the monitor's scale factor, hands the compositor the tiles that changed, and passes the user's
// input to the tree: mouse down, drag and up (click counts included), the secondary button's context
// menu, wheel and touchpad scrolling (with Control: zoom steps sent along the responder chain) and keys.
// A new size becomes the window's content size, so the views follow by their autoresizing.
//
// The GTK widget owns this object (it is deleted with the widget). The kit window belongs to whoever made
// it; it must call detachWindow before the window goes, after which the widget shows nothing.
class KitViewWidget {
public:
    // A new widget (a floating reference, as GTK makes widgets) showing window. A resizable widget asks for
    // little room and lets the window grow and shrink; a fixed one asks for the window's content size.
    static GtkWidget* create(kit::Window& window, bool resizable);
    // The object behind a widget made by create; null for any other widget.
    static KitViewWidget* fromWidget(GtkWidget* widget);

    GtkWidget* widget() const { return m_widget; }
    kit::Window* window() const { return m_window; }
    void detachWindow();
    // Told of each new size the widget is given (logical pixels), after the kit window took it.
    void setAllocationHandler(std::function<void(int width, int height)> handler) { m_allocated = std::move(handler); }
    // The window has damage: a frame is asked for, which draws it.
    void windowNeedsDisplay();
    // Moves the pixels of the window's baseRect by delta (base coordinates) in the backing store; false
    // when they do not lie on whole device pixels or there are no pixels yet.
    bool scrollWindowRect(kit::Rect baseRect, kit::Size delta);

    // Converts a point of the widget (logical pixels, y down) into the window's base coordinates (y up).
    kit::Point basePointFromWidget(double x, double y) const;
    kit::Point widgetPointFromBase(kit::Point base) const;

    // The controllers, so that tests can drive the widget exactly as GTK does, by their signals.
    GtkGesture* primaryGesture() const { return m_primary; }
    GtkGesture* secondaryGesture() const { return m_secondary; }
    GtkEventController* scrollController() const { return m_scroll; }
    GtkEventController* motionController() const { return m_motion; }
    GtkEventController* keyController() const { return m_keys; }
    const BackingStore& backingStore() const { return m_store; }
    // Changes every pixel drawn from now on (see BackingStore::setPixelFilter); the whole window is drawn
    // again with it.
    void setPixelFilter(BackingStore::PixelFilter filter);
    // Frames drawn, and device pixels handed to the compositor in all, since the widget was made.
    unsigned snapshotCount() const { return m_snapshotCount; }
    unsigned long long uploadedPixels() const { return m_uploadedPixels; }

private:
    friend struct KitViewWidgetAccess;
    KitViewWidget(GtkWidget* widget, kit::Window& window, bool resizable);
    ~KitViewWidget();

    void snapshot(GtkSnapshot* snapshot);
    void measure(GtkOrientation orientation, int* minimum, int* natural) const;
    void sizeAllocate(int width, int height);

    void mouseDown(double x, double y);
    void mouseDragged(double x, double y);
    void mouseUp(double x, double y);
    void sendPrimaryButtonEvent(kit::Event::Type, double x, double y);
    void rightMouseDown(double x, double y);
    bool scroll(double dx, double dy);
    bool keyPressed(unsigned keyval, GdkModifierType state);
    unsigned currentModifiers(GtkEventController* controller) const;
    kit::Point pointerLocation() const;

    static void onDragBegin(GtkGestureDrag*, double x, double y, KitViewWidget*);
    static void onDragUpdate(GtkGestureDrag*, double dx, double dy, KitViewWidget*);
    static void onDragEnd(GtkGestureDrag*, double dx, double dy, KitViewWidget*);
    static void onSecondaryPressed(GtkGestureClick*, int presses, double x, double y, KitViewWidget*);
    static gboolean onScroll(GtkEventControllerScroll*, double dx, double dy, KitViewWidget*);
    static void onScrollEnd(GtkEventControllerScroll*, KitViewWidget*);
    static void onMotion(GtkEventControllerMotion*, double x, double y, KitViewWidget*);
    static gboolean onKeyPressed(GtkEventControllerKey*, unsigned keyval, unsigned keycode, GdkModifierType, KitViewWidget*);
    static void onScaleFactorChanged(GObject*, GParamSpec*, KitViewWidget*);

    GtkWidget* m_widget;
    kit::Window* m_window;
    std::function<void(int, int)> m_allocated;
    bool m_resizable;
    kit::Size m_naturalSize;
    BackingStore m_store;
    TileTextures m_tiles;
    bool m_inSnapshot = false;
    unsigned m_snapshotCount = 0;
    unsigned long long m_uploadedPixels = 0;

    GtkGesture* m_primary = nullptr; // the widget owns its controllers
    GtkGesture* m_secondary = nullptr;
    GtkEventController* m_scroll = nullptr;
    GtkEventController* m_motion = nullptr;
    GtkEventController* m_keys = nullptr;
    ScrollTranslator m_scrollTranslator;

    // The mouse: where it went down (widget pixels), whether it is down, and the click count so far.
    double m_pressX = 0;
    double m_pressY = 0;
    bool m_mouseIsDown = false;
    int m_clickCount = 0;
    gint64 m_lastPressTime = 0; // microseconds, monotonic
    double m_lastPressX = 0;
    double m_lastPressY = 0;
    bool m_hasPointer = false;
    double m_pointerX = 0;
    double m_pointerY = 0;
};

} // namespace hosts
