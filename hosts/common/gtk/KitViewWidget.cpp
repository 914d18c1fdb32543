#include "hosts/common/gtk/KitViewWidget.h"

#include "kit/view/Event.h"
#include "kit/view/Window.h"

#include <algorithm>
#include <cmath>

namespace hosts {
struct KitViewWidgetAccess;
}

// The GObject side: a plain GtkWidget subclass whose virtual functions call the C++ object it owns.
struct LectorinKitView {
    GtkWidget parent_instance;
    hosts::KitViewWidget* owner;
};

struct LectorinKitViewClass {
    GtkWidgetClass parent_class;
};

G_DEFINE_TYPE(LectorinKitView, lectorin_kit_view, GTK_TYPE_WIDGET)

namespace hosts {

struct KitViewWidgetAccess {
    static KitViewWidget* owner(GtkWidget* widget)
    {
        return G_TYPE_CHECK_INSTANCE_TYPE(widget, lectorin_kit_view_get_type())
            ? reinterpret_cast<LectorinKitView*>(widget)->owner
            : nullptr;
    }
    static void snapshot(GtkWidget* widget, GtkSnapshot* snapshot)
    {
        if (KitViewWidget* view = owner(widget))
            view->snapshot(snapshot);
    }
    static void measure(GtkWidget* widget, GtkOrientation orientation, int, int* minimum, int* natural, int* minimumBaseline,
        int* naturalBaseline)
    {
        *minimum = *natural = 0;
        *minimumBaseline = *naturalBaseline = -1;
        if (KitViewWidget* view = owner(widget))
            view->measure(orientation, minimum, natural);
    }
    static void sizeAllocate(GtkWidget* widget, int width, int height, int)
    {
        if (KitViewWidget* view = owner(widget))
            view->sizeAllocate(width, height);
    }
    static void finalize(GObject* object)
    {
        auto* self = reinterpret_cast<LectorinKitView*>(object);
        delete self->owner;
        self->owner = nullptr;
        G_OBJECT_CLASS(lectorin_kit_view_parent_class)->finalize(object);
    }
    static KitViewWidget* make(GtkWidget* widget, kit::Window& window, bool resizable)
    {
        return new KitViewWidget(widget, window, resizable);
    }
};

} // namespace hosts

static void lectorin_kit_view_class_init(LectorinKitViewClass* klass)
{
    GtkWidgetClass* widgetClass = GTK_WIDGET_CLASS(klass);
    widgetClass->snapshot = hosts::KitViewWidgetAccess::snapshot;
    widgetClass->measure = hosts::KitViewWidgetAccess::measure;
    widgetClass->size_allocate = hosts::KitViewWidgetAccess::sizeAllocate;
    G_OBJECT_CLASS(klass)->finalize = hosts::KitViewWidgetAccess::finalize;
    gtk_widget_class_set_css_name(widgetClass, "lectorin-view");
}

static void lectorin_kit_view_init(LectorinKitView* self)
{
    self->owner = nullptr;
}

namespace hosts {

namespace {

// The widget is resizable down to this, in logical pixels, so a window can be made small.
constexpr int kMinimumResizableSide = 120;

} // namespace

GtkWidget* KitViewWidget::create(kit::Window& window, bool resizable)
{
    GtkWidget* widget = GTK_WIDGET(g_object_new(lectorin_kit_view_get_type(), nullptr));
    reinterpret_cast<LectorinKitView*>(widget)->owner = KitViewWidgetAccess::make(widget, window, resizable);
    return widget;
}

KitViewWidget* KitViewWidget::fromWidget(GtkWidget* widget)
{
    return widget ? KitViewWidgetAccess::owner(widget) : nullptr;
}

KitViewWidget::KitViewWidget(GtkWidget* widget, kit::Window& window, bool resizable)
    : m_widget(widget)
    , m_window(&window)
    , m_resizable(resizable)
    , m_naturalSize(window.contentSize())
{
    gtk_widget_set_focusable(widget, TRUE);
    gtk_widget_set_hexpand(widget, TRUE);
    gtk_widget_set_vexpand(widget, TRUE);
    gtk_widget_set_overflow(widget, GTK_OVERFLOW_HIDDEN);

    m_primary = gtk_gesture_drag_new();
    gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(m_primary), GDK_BUTTON_PRIMARY);
    g_signal_connect(m_primary, "drag-begin", G_CALLBACK(onDragBegin), this);
    g_signal_connect(m_primary, "drag-update", G_CALLBACK(onDragUpdate), this);
    g_signal_connect(m_primary, "drag-end", G_CALLBACK(onDragEnd), this);
    // A dialog opened by the mouse-down (the colour panel) may take the pointer: the press then ends here.
    g_signal_connect_swapped(m_primary, "cancel", G_CALLBACK(+[](KitViewWidget* self) {
        if (self->m_mouseIsDown)
            self->mouseUp(self->m_pointerX, self->m_pointerY);
    }), this);
    gtk_widget_add_controller(widget, GTK_EVENT_CONTROLLER(m_primary));

    m_secondary = gtk_gesture_click_new();
    gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(m_secondary), GDK_BUTTON_SECONDARY);
    g_signal_connect(m_secondary, "pressed", G_CALLBACK(onSecondaryPressed), this);
    gtk_widget_add_controller(widget, GTK_EVENT_CONTROLLER(m_secondary));

    m_scroll = gtk_event_controller_scroll_new(GTK_EVENT_CONTROLLER_SCROLL_BOTH_AXES);
    g_signal_connect(m_scroll, "scroll", G_CALLBACK(onScroll), this);
    g_signal_connect(m_scroll, "scroll-end", G_CALLBACK(onScrollEnd), this);
    gtk_widget_add_controller(widget, m_scroll);

    m_motion = gtk_event_controller_motion_new();
    g_signal_connect(m_motion, "motion", G_CALLBACK(onMotion), this);
    gtk_widget_add_controller(widget, m_motion);

    m_keys = gtk_event_controller_key_new();
    g_signal_connect(m_keys, "key-pressed", G_CALLBACK(onKeyPressed), this);
    gtk_widget_add_controller(widget, m_keys);

    g_signal_connect(widget, "notify::scale-factor", G_CALLBACK(onScaleFactorChanged), this);
}

KitViewWidget::~KitViewWidget() = default;

void KitViewWidget::detachWindow()
{
    m_window = nullptr;
    m_mouseIsDown = false;
    m_tiles.release();
}

void KitViewWidget::windowNeedsDisplay()
{
    // Damage made while drawing (the backing store's first full damage) is drawn by the frame in progress.
    if (!m_inSnapshot)
        gtk_widget_queue_draw(m_widget);
}

bool KitViewWidget::scrollWindowRect(kit::Rect baseRect, kit::Size delta)
{
    // A store about to be made anew (another size or scale) is drawn whole anyway.
    if (!m_window || m_inSnapshot || !m_store.surface() || m_store.width() != gtk_widget_get_width(m_widget)
        || m_store.height() != gtk_widget_get_height(m_widget) || m_store.scale() != gtk_widget_get_scale_factor(m_widget))
        return false;
    int scale = m_store.scale();
    kit::Rect device = m_window->deviceRectFromBase(baseRect);
    bool whole = true;
    auto pixels = [&](float points) {
        double exact = double(points) * scale;
        double rounded = std::round(exact);
        whole = whole && std::abs(exact - rounded) < 1e-3;
        return int(rounded);
    };
    PixelRect area { pixels(device.minX()), pixels(device.minY()), pixels(device.width()), pixels(device.height()) };
    int dx = pixels(delta.width), dy = pixels(-delta.height); // the base is y up, the store y down
    // Pixels moved by a fraction of one would be resampled: not the pixels a fresh drawing makes.
    if (!whole || !m_store.scroll(area, dx, dy))
        return false;
    windowNeedsDisplay();
    return true;
}

void KitViewWidget::setPixelFilter(BackingStore::PixelFilter filter)
{
    m_store.setPixelFilter(std::move(filter));
    if (m_window)
        m_window->setNeedsDisplayInRect({ { 0, 0 }, m_window->contentSize() });
    windowNeedsDisplay();
}

kit::Point KitViewWidget::basePointFromWidget(double x, double y) const
{
    float height = m_window ? m_window->contentSize().height : float(gtk_widget_get_height(m_widget));
    return { float(x), height - float(y) };
}

kit::Point KitViewWidget::widgetPointFromBase(kit::Point base) const
{
    float height = m_window ? m_window->contentSize().height : float(gtk_widget_get_height(m_widget));
    return { base.x, height - base.y };
}

void KitViewWidget::measure(GtkOrientation orientation, int* minimum, int* natural) const
{
    bool horizontal = orientation == GTK_ORIENTATION_HORIZONTAL;
    int size = int(std::ceil(horizontal ? m_naturalSize.width : m_naturalSize.height));
    *natural = std::max(size, 1);
    *minimum = m_resizable ? std::min(kMinimumResizableSide, *natural) : *natural;
}

void KitViewWidget::sizeAllocate(int width, int height)
{
    if (!m_window || width <= 0 || height <= 0)
        return;
    // The views follow by their autoresizing masks; the window damages itself all over.
    m_window->setContentSize({ float(width), float(height) });
    if (m_allocated)
        m_allocated(width, height);
}

void KitViewWidget::snapshot(GtkSnapshot* snapshot)
{
    if (!m_window)
        return;
    int width = gtk_widget_get_width(m_widget);
    int height = gtk_widget_get_height(m_widget);
    int scale = gtk_widget_get_scale_factor(m_widget);
    m_inSnapshot = true;
    bool changed = m_store.surface() == nullptr || m_store.width() != width || m_store.height() != height || m_store.scale() != scale;
    if (changed)
        m_tiles.release();
    bool ready = m_store.configure(*m_window, width, height, scale);
    if (ready)
        m_store.update(*m_window);
    m_inSnapshot = false;
    if (!ready)
        return;
    ++m_snapshotCount;

    GtkNative* native = gtk_widget_get_native(m_widget);
    GskRenderer* renderer = native ? gtk_native_get_renderer(native) : nullptr;
    auto kind = renderer && GSK_IS_CAIRO_RENDERER(renderer) ? TileTextures::Kind::Cairo : TileTextures::Kind::Texture;
    m_uploadedPixels += m_tiles.update(m_store, kind);
    for (int i = 0; i < m_tiles.count(); ++i)
        gtk_snapshot_append_node(snapshot, m_tiles.node(i));
}

unsigned KitViewWidget::currentModifiers(GtkEventController* controller) const
{
    return translateModifiers(gtk_event_controller_get_current_event_state(controller));
}

kit::Point KitViewWidget::pointerLocation() const
{
    // Before the pointer has moved over the widget, events are taken to happen in its middle.
    if (!m_hasPointer)
        return basePointFromWidget(gtk_widget_get_width(m_widget) / 2.0, gtk_widget_get_height(m_widget) / 2.0);
    return basePointFromWidget(m_pointerX, m_pointerY);
}

// The primary button's events carry the click count of the press that began them.
void KitViewWidget::sendPrimaryButtonEvent(kit::Event::Type type, double x, double y)
{
    kit::Event event;
    event.type = type;
    event.locationInWindow = basePointFromWidget(x, y);
    event.clickCount = m_clickCount;
    event.modifierFlags = currentModifiers(GTK_EVENT_CONTROLLER(m_primary));
    m_window->sendEvent(event);
}

void KitViewWidget::mouseDown(double x, double y)
{
    if (!m_window)
        return;
    gtk_widget_grab_focus(m_widget);
    int doubleClickTime = 400; // milliseconds
    int doubleClickDistance = 5; // pixels
    g_object_get(gtk_widget_get_settings(m_widget), "gtk-double-click-time", &doubleClickTime, "gtk-double-click-distance",
        &doubleClickDistance, nullptr);
    gint64 now = g_get_monotonic_time();
    bool continues = m_clickCount > 0 && now - m_lastPressTime <= gint64(doubleClickTime) * 1000
        && std::abs(x - m_lastPressX) <= doubleClickDistance && std::abs(y - m_lastPressY) <= doubleClickDistance;
    m_clickCount = continues ? m_clickCount + 1 : 1;
    m_lastPressTime = now;
    m_lastPressX = x;
    m_lastPressY = y;
    m_pressX = x;
    m_pressY = y;
    m_mouseIsDown = true;
    m_hasPointer = true;
    m_pointerX = x;
    m_pointerY = y;

    sendPrimaryButtonEvent(kit::Event::Type::MouseDown, x, y);
}

void KitViewWidget::mouseDragged(double x, double y)
{
    if (!m_window || !m_mouseIsDown)
        return;
    m_pointerX = x;
    m_pointerY = y;
    sendPrimaryButtonEvent(kit::Event::Type::MouseDragged, x, y);
}

void KitViewWidget::mouseUp(double x, double y)
{
    if (!m_window || !m_mouseIsDown)
        return;
    m_mouseIsDown = false;
    sendPrimaryButtonEvent(kit::Event::Type::MouseUp, x, y);
}

void KitViewWidget::rightMouseDown(double x, double y)
{
    if (!m_window)
        return;
    gtk_widget_grab_focus(m_widget);
    kit::Event event;
    event.type = kit::Event::Type::RightMouseDown;
    event.locationInWindow = basePointFromWidget(x, y);
    event.modifierFlags = currentModifiers(GTK_EVENT_CONTROLLER(m_secondary));
    m_window->sendEvent(event);
}

bool KitViewWidget::scroll(double dx, double dy)
{
    if (!m_window)
        return false;
    GtkEventController* controller = m_scroll;
    auto unit = gtk_event_controller_scroll_get_unit(GTK_EVENT_CONTROLLER_SCROLL(controller)) == GDK_SCROLL_UNIT_SURFACE
        ? ScrollTranslator::Unit::Surface
        : ScrollTranslator::Unit::Wheel;
    GdkModifierType state = gtk_event_controller_get_current_event_state(controller);
    ScrollTranslator::Result result = m_scrollTranslator.translate(dx, dy, unit, state);
    if (state & GDK_CONTROL_MASK) {
        // Zoom goes to whoever answers it along the chain (the plug-in view), as the menu's command does.
        for (int i = 0; i < std::abs(result.zoomSteps) && m_window; ++i)
            m_window->sendAction(result.zoomSteps > 0 ? "zoomIn:" : "zoomOut:", nullptr);
        return true;
    }
    if (result.deltaX == 0 && result.deltaY == 0)
        return false;
    kit::Event event;
    event.type = kit::Event::Type::ScrollWheel;
    event.locationInWindow = pointerLocation();
    event.deltaX = result.deltaX;
    event.deltaY = result.deltaY;
    event.modifierFlags = translateModifiers(state);
    m_window->sendEvent(event);
    return true;
}

bool KitViewWidget::keyPressed(unsigned keyval, GdkModifierType state)
{
    if (!m_window)
        return false;
    auto key = translateKey(keyval);
    // Tab moves GTK's focus (to the find bar, say); keys with Control or Alt are commands, not typing.
    if (!key || key->characters == "\t")
        return false;
    if ((state & (GDK_CONTROL_MASK | GDK_ALT_MASK)) && key->keyName.empty())
        return false;
    kit::Event event;
    event.type = kit::Event::Type::KeyDown;
    event.locationInWindow = pointerLocation();
    event.characters = key->characters;
    event.keyName = key->keyName;
    event.modifierFlags = translateModifiers(state);
    m_window->sendEvent(event);
    return true;
}

void KitViewWidget::onDragBegin(GtkGestureDrag*, double x, double y, KitViewWidget* self)
{
    self->mouseDown(x, y);
}

void KitViewWidget::onDragUpdate(GtkGestureDrag*, double dx, double dy, KitViewWidget* self)
{
    self->mouseDragged(self->m_pressX + dx, self->m_pressY + dy);
}

void KitViewWidget::onDragEnd(GtkGestureDrag*, double dx, double dy, KitViewWidget* self)
{
    self->mouseUp(self->m_pressX + dx, self->m_pressY + dy);
}

void KitViewWidget::onSecondaryPressed(GtkGestureClick*, int, double x, double y, KitViewWidget* self)
{
    self->rightMouseDown(x, y);
}

gboolean KitViewWidget::onScroll(GtkEventControllerScroll*, double dx, double dy, KitViewWidget* self)
{
    return self->scroll(dx, dy);
}

void KitViewWidget::onScrollEnd(GtkEventControllerScroll*, KitViewWidget* self)
{
    self->m_scrollTranslator.reset();
}

void KitViewWidget::onMotion(GtkEventControllerMotion*, double x, double y, KitViewWidget* self)
{
    self->m_hasPointer = true;
    self->m_pointerX = x;
    self->m_pointerY = y;
}

gboolean KitViewWidget::onKeyPressed(GtkEventControllerKey*, unsigned keyval, unsigned, GdkModifierType state, KitViewWidget* self)
{
    return self->keyPressed(keyval, state);
}

void KitViewWidget::onScaleFactorChanged(GObject*, GParamSpec*, KitViewWidget* self)
{
    // The next frame makes the backing store anew at the new scale and draws everything into it.
    gtk_widget_queue_draw(self->m_widget);
}

} // namespace hosts
