#include "hosts/gtk/ReaderChrome.h"

#include "hosts/common/gtk/HostWindow.h"
#include "hosts/gtk/Sidebar.h"
#include "kit/foundation/GRefPtr.h"
#include "kit/foundation/NotificationCenter.h"
#include "kit/foundation/RunLoop.h"
#include "kit/host/Host.h"
#include "kit/view/Alert.h"
#include "pageview/DocumentLinks.h"
#include "kit/text/FindPasteboard.h"
#include "kit/text/TextStorage.h"
#include "kit/view/ClipView.h"
#include "kit/view/Window.h"
#include "kit/text/TextOutline.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/PageNavigation.h"
#include "pageview/ZoomFactors.h"
#include "plugin/NRVLectorin.h"

#include <cmath>
#include <cstdlib>
#include <optional>

namespace hosts {

namespace {

std::string percentText(float percent)
{
    return std::to_string(int(std::lround(percent))) + "%";
}

// The page number typed into the entry: digits with white space around them; nothing for anything else.
std::optional<long> typedPageNumber(const char* text)
{
    std::string_view typed = text ? text : "";
    while (!typed.empty() && g_ascii_isspace(typed.front()))
        typed.remove_prefix(1);
    while (!typed.empty() && g_ascii_isspace(typed.back()))
        typed.remove_suffix(1);
    if (typed.empty() || typed.size() > 9)
        return std::nullopt;
    long number = 0;
    for (char c : typed) {
        if (c < '0' || c > '9')
            return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

} // namespace

ReaderChrome::ReaderChrome(HostWindow& window, NRVLectorin& plugin)
    : m_window(window)
    , m_plugin(plugin)
{
    m_sidebar = std::make_unique<Sidebar>([this] { return pageView(); });
    buildHeaderWidgets();
    buildActions();

    // The sidebar goes left of what the window shows (the find bar over the pages).
    GtkWindow* gtkWindow = m_window.gtkWindow();
    kit::GRefPtr<GtkWidget> content = kit::retainGRef(gtk_window_get_child(gtkWindow));
    gtk_window_set_child(gtkWindow, nullptr);
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
    gtk_widget_set_hexpand(content.get(), TRUE);
    gtk_box_append(GTK_BOX(row), m_sidebar->widget());
    gtk_box_append(GTK_BOX(row), content.get());
    GtkWidget* overlay = gtk_overlay_new();
    gtk_overlay_set_child(GTK_OVERLAY(overlay), row);
    m_linkLabel = gtk_label_new("");
    gtk_label_set_ellipsize(GTK_LABEL(m_linkLabel), PANGO_ELLIPSIZE_MIDDLE);
    gtk_label_set_max_width_chars(GTK_LABEL(m_linkLabel), 80);
    gtk_widget_add_css_class(m_linkLabel, "osd");
    gtk_widget_add_css_class(m_linkLabel, "app-notification");
    gtk_widget_set_halign(m_linkLabel, GTK_ALIGN_END);
    gtk_widget_set_valign(m_linkLabel, GTK_ALIGN_END);
    gtk_widget_set_margin_end(m_linkLabel, 20);
    gtk_widget_set_margin_bottom(m_linkLabel, 20);
    gtk_widget_set_can_target(m_linkLabel, FALSE);
    gtk_widget_set_visible(m_linkLabel, FALSE);
    gtk_overlay_add_overlay(GTK_OVERLAY(overlay), m_linkLabel);
    gtk_window_set_child(gtkWindow, overlay);

    GtkWidget* pages = m_window.view().widget();
    GtkEventController* motion = gtk_event_controller_motion_new();
    g_signal_connect(motion, "motion", G_CALLBACK(+[](GtkEventControllerMotion*, double x, double y, ReaderChrome* self) {
        self->pointerMoved(x, y);
    }), this);
    g_signal_connect_swapped(motion, "leave", G_CALLBACK(+[](ReaderChrome* self) { self->pointerMoved(-1, -1); }), this);
    gtk_widget_add_controller(pages, motion);
    GtkGesture* click = gtk_gesture_click_new();
    gtk_gesture_single_set_button(GTK_GESTURE_SINGLE(click), GDK_BUTTON_PRIMARY);
    g_signal_connect(click, "pressed", G_CALLBACK(+[](GtkGestureClick*, int, double x, double y, ReaderChrome* self) {
        self->m_pressX = x;
        self->m_pressY = y;
    }), this);
    g_signal_connect(click, "released", G_CALLBACK(+[](GtkGestureClick*, int presses, double x, double y, ReaderChrome* self) {
        // A click, not the end of a drag that selected text, nor a double click that selects a word.
        if (presses == 1 && std::hypot(x - self->m_pressX, y - self->m_pressY) < 4)
            self->clicked(x, y);
    }), this);
    gtk_widget_add_controller(pages, GTK_EVENT_CONTROLLER(click));
    m_pointerControllers[0] = motion;
    m_pointerControllers[1] = GTK_EVENT_CONTROLLER(click);

    m_keys = gtk_event_controller_key_new();
    gtk_event_controller_set_propagation_phase(m_keys, GTK_PHASE_CAPTURE);
    g_signal_connect(m_keys, "key-pressed", G_CALLBACK(onKey), this);
    gtk_widget_add_controller(GTK_WIDGET(gtkWindow), m_keys);

    if (FindBar* bar = m_window.findBar())
        bar->setChangeHandler([this] { updateFindHighlights(); });

    watchPages();
    update();
}

ReaderChrome::~ReaderChrome()
{
    kit::NotificationCenter::defaultCenter().removeObserver(this);
    if (m_updateSource)
        g_source_remove(m_updateSource);
    g_signal_handlers_disconnect_by_data(m_pageButton, this);
    g_signal_handlers_disconnect_by_data(m_pageEntry, this);
    g_signal_handlers_disconnect_by_data(m_keys, this);
    for (GtkEventController* controller : m_pointerControllers)
        g_signal_handlers_disconnect_by_data(controller, this);
    if (FindBar* bar = m_window.findBar())
        bar->setChangeHandler({});
    gtk_widget_insert_action_group(GTK_WIDGET(m_window.gtkWindow()), "reader", nullptr);
}

NRVLectorinMultiPageView* ReaderChrome::pageView() const
{
    return m_plugin.pageView();
}

void ReaderChrome::buildHeaderWidgets()
{
    GtkHeaderBar* header = GTK_HEADER_BAR(m_window.headerBar());

    m_sidebarButton = gtk_toggle_button_new();
    gtk_button_set_icon_name(GTK_BUTTON(m_sidebarButton), "sidebar-show-symbolic");
    gtk_widget_set_tooltip_text(m_sidebarButton, "Sidebar (F9)");
    g_signal_connect_swapped(m_sidebarButton, "toggled", G_CALLBACK(+[](ReaderChrome* self) {
        bool shown = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(self->m_sidebarButton));
        if (shown != self->m_sidebar->isShown()) {
            self->m_sidebar->setShown(shown);
            self->update();
        }
    }), this);
    gtk_header_bar_pack_start(header, m_sidebarButton);

    // The label may shrink, so the indicator never keeps a narrow window from getting narrower.
    m_pageButton = gtk_button_new();
    GtkWidget* pageLabel = gtk_label_new("");
    gtk_label_set_ellipsize(GTK_LABEL(pageLabel), PANGO_ELLIPSIZE_END);
    gtk_label_set_width_chars(GTK_LABEL(pageLabel), 4);
    gtk_button_set_child(GTK_BUTTON(m_pageButton), pageLabel);
    gtk_widget_set_tooltip_text(m_pageButton, "Go to Page (Ctrl+L)");
    g_signal_connect_swapped(m_pageButton, "clicked", G_CALLBACK(+[](ReaderChrome* self) { self->beginPageEntry(); }), this);
    m_pageEntry = gtk_entry_new();
    gtk_editable_set_width_chars(GTK_EDITABLE(m_pageEntry), 6);
    gtk_entry_set_input_purpose(GTK_ENTRY(m_pageEntry), GTK_INPUT_PURPOSE_DIGITS);
    g_signal_connect_swapped(m_pageEntry, "activate", G_CALLBACK(+[](ReaderChrome* self) { self->commitPageEntry(); }), this);
    GtkEventController* entryKeys = gtk_event_controller_key_new();
    g_signal_connect(entryKeys, "key-pressed", G_CALLBACK(+[](GtkEventControllerKey*, unsigned keyval, unsigned, GdkModifierType, ReaderChrome* self) -> gboolean {
        if (keyval != GDK_KEY_Escape)
            return FALSE;
        self->cancelPageEntry();
        return TRUE;
    }), this);
    gtk_widget_add_controller(m_pageEntry, entryKeys);
    // Leaving the entry for anything else gives up the edit, as a location bar does.
    GtkEventController* focus = gtk_event_controller_focus_new();
    g_signal_connect_swapped(focus, "leave", G_CALLBACK(+[](ReaderChrome* self) {
        if (self->isEditingPage())
            gtk_stack_set_visible_child(GTK_STACK(self->m_indicator), self->m_pageButton);
    }), this);
    gtk_widget_add_controller(m_pageEntry, focus);
    m_indicator = gtk_stack_new();
    gtk_stack_set_hhomogeneous(GTK_STACK(m_indicator), FALSE);
    gtk_stack_add_named(GTK_STACK(m_indicator), m_pageButton, "button");
    gtk_stack_add_named(GTK_STACK(m_indicator), m_pageEntry, "entry");
    gtk_stack_set_visible_child(GTK_STACK(m_indicator), m_pageButton);
    gtk_header_bar_pack_start(header, m_indicator);

    auto menu = kit::adoptGRef(g_menu_new());
    auto steps = kit::adoptGRef(g_menu_new());
    for (int step = 0; step < kZoomFactorsCount; ++step) {
        auto item = kit::adoptGRef(g_menu_item_new(percentText(kZoomFactors[step] * 100).c_str(), nullptr));
        g_menu_item_set_action_and_target_value(item.get(), "reader.zoom-step", g_variant_new_int32(step));
        g_menu_append_item(steps.get(), item.get());
    }
    g_menu_append_section(menu.get(), nullptr, G_MENU_MODEL(steps.get()));
    auto fits = kit::adoptGRef(g_menu_new());
    g_menu_append(fits.get(), "Fit Width", "reader.fit-width");
    g_menu_append(fits.get(), "Fit Page", "reader.fit-page");
    g_menu_append_section(menu.get(), nullptr, G_MENU_MODEL(fits.get()));
    m_zoomButton = gtk_menu_button_new();
    gtk_menu_button_set_menu_model(GTK_MENU_BUTTON(m_zoomButton), G_MENU_MODEL(menu.get()));
    gtk_widget_set_tooltip_text(m_zoomButton, "Zoom");
    gtk_header_bar_pack_start(header, m_zoomButton);
}

void ReaderChrome::buildActions()
{
    auto actions = kit::adoptGRef(g_simple_action_group_new());
    struct Entry {
        const char* name;
        const GVariantType* parameter;
        void (*run)(ReaderChrome&, GVariant*);
    };
    const Entry entries[] = {
        { "page-entry", nullptr, [](ReaderChrome& self, GVariant*) { self.beginPageEntry(); } },
        { "sidebar", nullptr, [](ReaderChrome& self, GVariant*) { self.toggleSidebar(); } },
        { "zoom-step", G_VARIANT_TYPE_INT32, [](ReaderChrome& self, GVariant* step) {
             if (auto* pages = self.pageView())
                 pages->setZoomStep(g_variant_get_int32(step));
             self.update();
         } },
        { "fit-width", nullptr, [](ReaderChrome& self, GVariant*) {
             if (auto* pages = self.pageView())
                 pages->setZoomFit(NRVLectorinMultiPageView::ZoomFit::Width);
             self.update();
         } },
        { "fit-page", nullptr, [](ReaderChrome& self, GVariant*) {
             if (auto* pages = self.pageView())
                 pages->setZoomFit(NRVLectorinMultiPageView::ZoomFit::Page);
             self.update();
         } },
    };
    for (const auto& entry : entries) {
        auto action = kit::adoptGRef(g_simple_action_new(entry.name, entry.parameter));
        g_object_set_data(G_OBJECT(action.get()), "run", reinterpret_cast<gpointer>(entry.run));
        g_signal_connect(action.get(), "activate", G_CALLBACK(+[](GSimpleAction* activated, GVariant* parameter, ReaderChrome* self) {
            auto run = reinterpret_cast<void (*)(ReaderChrome&, GVariant*)>(g_object_get_data(G_OBJECT(activated), "run"));
            run(*self, parameter);
        }), this);
        g_action_map_add_action(G_ACTION_MAP(actions.get()), G_ACTION(action.get()));
    }
    gtk_widget_insert_action_group(GTK_WIDGET(m_window.gtkWindow()), "reader", G_ACTION_GROUP(actions.get()));
}

gboolean ReaderChrome::onKey(GtkEventControllerKey*, unsigned keyval, unsigned, GdkModifierType state, ReaderChrome* self)
{
    auto modifiers = state & (GDK_CONTROL_MASK | GDK_SHIFT_MASK | GDK_ALT_MASK | GDK_SUPER_MASK);
    if (keyval == GDK_KEY_F9 && !modifiers) {
        self->toggleSidebar();
        return TRUE;
    }
    if ((keyval == GDK_KEY_l || keyval == GDK_KEY_L) && modifiers == GDK_CONTROL_MASK) {
        self->beginPageEntry();
        return TRUE;
    }
    return FALSE;
}

void ReaderChrome::watchPages()
{
    NRVLectorinMultiPageView* pages = pageView();
    kit::ClipView* clip = pages ? PageNavigation::clipView(*pages) : nullptr;
    if (!pages || !clip || (pages == m_watchedPageView && clip == m_watchedClipView))
        return;
    auto& center = kit::NotificationCenter::defaultCenter();
    center.removeObserver(this);
    // Scrolling moves the clip view's bounds; zooming and a growing page count change the page view's frame.
    clip->setPostsBoundsChangedNotifications(true);
    clip->setPostsFrameChangedNotifications(true);
    pages->setPostsFrameChangedNotifications(true);
    center.addObserver(this, kit::ViewBoundsDidChangeNotification, clip, [this](const kit::Notification&) { scheduleUpdate(); });
    center.addObserver(this, kit::ViewFrameDidChangeNotification, clip, [this](const kit::Notification&) { scheduleUpdate(); });
    center.addObserver(this, kit::ViewFrameDidChangeNotification, pages, [this](const kit::Notification&) { scheduleUpdate(); });
    m_watchedPageView = pages;
    m_watchedClipView = clip;
}

void ReaderChrome::scheduleUpdate()
{
    if (m_updateSource)
        return;
    // Before GTK's frame clock lays out and paints (its priorities are lower).
    m_updateSource = g_idle_add_full(G_PRIORITY_HIGH_IDLE, +[](gpointer data) -> gboolean {
        auto* self = static_cast<ReaderChrome*>(data);
        self->m_updateSource = 0;
        self->update();
        return G_SOURCE_REMOVE;
    }, this, nullptr);
}

void ReaderChrome::update()
{
    watchPages();
    NRVLectorinMultiPageView* pages = pageView();
    bool loaded = pages && m_plugin.downloadIsComplete();
    gtk_widget_set_sensitive(m_indicator, loaded);
    gtk_widget_set_sensitive(m_zoomButton, pages != nullptr);
    if (!loaded) {
        gtk_label_set_text(GTK_LABEL(gtk_button_get_child(GTK_BUTTON(m_pageButton))), "Page \u2013 of \u2013");
        gtk_menu_button_set_label(GTK_MENU_BUTTON(m_zoomButton), pages ? percentText(pages->zoomPercent()).c_str() : "");
        return;
    }
    std::uint32_t count = pages->numberOfPages();
    std::uint32_t current = PageNavigation::pageAtMiddleOfView(*pages);
    std::string indicator = "Page " + std::to_string(current + 1) + " of " + std::to_string(count);
    if (indicator != indicatorText())
        gtk_label_set_text(GTK_LABEL(gtk_button_get_child(GTK_BUTTON(m_pageButton))), indicator.c_str());
    std::string zoom = percentText(pages->zoomPercent());
    const char* shownZoom = gtk_menu_button_get_label(GTK_MENU_BUTTON(m_zoomButton));
    if (!shownZoom || zoom != shownZoom)
        gtk_menu_button_set_label(GTK_MENU_BUTTON(m_zoomButton), zoom.c_str());

    // A new text (the download arrived) or new pages: the sidebar starts again.
    const void* storage = pages->textStorage();
    if (storage != m_shownStorage || count != m_shownPages) {
        bool newText = storage != m_shownStorage;
        m_shownStorage = storage;
        m_shownPages = count;
        if (newText) {
            m_sidebar->setOutline(pages->textStorage() ? kit::outlineOfText(*pages->textStorage()) : std::vector<kit::OutlineEntry> {});
            m_sidebar->showPane(m_sidebar->outline().empty() ? Sidebar::Pane::Thumbnails : Sidebar::Pane::Outline);
        }
        m_sidebar->setPageCount(count);
        if (newText) {
            m_sidebar->invalidateThumbnails();
            updateFindHighlights();
        }
        m_announcesLoad |= newText;
    }
    // Once every page is there: the handler may scroll and zoom (to a remembered place, perhaps far down),
    // and the labels follow on the next turn.
    if (m_announcesLoad && m_loaded && !pages->isPaginating()) {
        m_announcesLoad = false;
        m_loaded();
        scheduleUpdate();
    }
    m_sidebar->setCurrentPage(current);
}

void ReaderChrome::updateFindHighlights()
{
    NRVLectorinMultiPageView* pages = pageView();
    FindBar* bar = m_window.findBar();
    if (!pages)
        return;
    kit::TextStorage* storage = pages->textStorage();
    std::string needle = bar && bar->isShown() ? gtk_editable_get_text(bar->entry()) : "";
    kit::FindOptions options = kit::FindPasteboard::options();
    bool wanted = storage && !needle.empty();
    if (wanted == m_highlighting && needle == m_highlightedNeedle && options == m_highlightedOptions && storage == m_highlightedStorage)
        return;
    m_highlighting = wanted;
    m_highlightedNeedle = needle;
    m_highlightedOptions = options;
    m_highlightedStorage = storage;
    // A bound keeps a one-letter needle in a long text from costing more than it shows.
    pages->setFindHighlights(wanted ? kit::TextFinder::findAll(storage->string(), needle, options, 100000) : std::vector<kit::Range> {});
}

namespace {

// The point of the page view under a point of the document's widget, when the page view shows there.
std::optional<kit::Point> pagePointAt(HostWindow& window, NRVLectorinMultiPageView& pages, double x, double y)
{
    kit::ClipView* clip = PageNavigation::clipView(pages);
    if (!clip || x < 0 || y < 0)
        return std::nullopt;
    kit::Point point = pages.convertPointFromView(window.view().basePointFromWidget(x, y), nullptr);
    if (!clip->documentVisibleRect().contains(point))
        return std::nullopt;
    return point;
}

} // namespace

void ReaderChrome::pointerMoved(double x, double y)
{
    NRVLectorinMultiPageView* pages = pageView();
    std::optional<DocumentLinks::Hit> hit;
    if (pages && m_plugin.downloadIsComplete()) {
        if (auto point = pagePointAt(m_window, *pages, x, y))
            hit = DocumentLinks::linkAtPoint(*pages, *point);
    }
    GtkWidget* widget = m_window.view().widget();
    gtk_widget_set_cursor_from_name(widget, hit ? "pointer" : nullptr);
    if (hit)
        gtk_label_set_text(GTK_LABEL(m_linkLabel), hit->url.c_str());
    gtk_widget_set_visible(m_linkLabel, hit.has_value());
}

std::string ReaderChrome::hoveredURL() const
{
    return gtk_widget_get_visible(m_linkLabel) ? gtk_label_get_text(GTK_LABEL(m_linkLabel)) : "";
}

bool ReaderChrome::clicked(double x, double y)
{
    NRVLectorinMultiPageView* pages = pageView();
    if (!pages || !m_plugin.downloadIsComplete())
        return false;
    auto point = pagePointAt(m_window, *pages, x, y);
    auto hit = point ? DocumentLinks::linkAtPoint(*pages, *point) : std::nullopt;
    if (!hit)
        return false;
    // Not from inside GTK's event handling: the alert of an unknown scheme spins a loop of its own.
    kit::RunLoop::post([chrome = kit::WeakPtr(this), url = hit->url] {
        if (chrome)
            chrome->followLink(url);
    });
    return true;
}

void ReaderChrome::followLink(const std::string& url)
{
    NRVLectorinMultiPageView* pages = pageView();
    switch (DocumentLinks::actionForURL(url)) {
    case DocumentLinks::Action::Open:
        kit::Host::current().openURL(url);
        return;
    case DocumentLinks::Action::GoToBookmark: {
        kit::TextStorage* text = pages ? pages->textStorage() : nullptr;
        auto location = text ? DocumentLinks::bookmarkLocation(*text, DocumentLinks::bookmarkName(url)) : std::nullopt;
        if (!location) {
            kit::Host::current().beep();
            return;
        }
        PageNavigation::scrollCharacterToTop(*pages, *location);
        update();
        return;
    }
    case DocumentLinks::Action::Ask: {
        kit::Alert alert;
        alert.setMessageText("Open this link with another program?");
        alert.setInformativeText(url);
        alert.addButtonWithTitle("Open");
        alert.addButtonWithTitle("Cancel");
        if (alert.runModal() == kit::Alert::FirstButtonReturn)
            kit::Host::current().openURL(url);
        return;
    }
    case DocumentLinks::Action::Nothing:
        return;
    }
}

std::string ReaderChrome::indicatorText() const
{
    return gtk_label_get_text(GTK_LABEL(gtk_button_get_child(GTK_BUTTON(m_pageButton))));
}

std::string ReaderChrome::zoomText() const
{
    const char* label = gtk_menu_button_get_label(GTK_MENU_BUTTON(m_zoomButton));
    return label ? label : "";
}

bool ReaderChrome::isEditingPage() const
{
    return gtk_stack_get_visible_child(GTK_STACK(m_indicator)) == m_pageEntry;
}

void ReaderChrome::beginPageEntry()
{
    NRVLectorinMultiPageView* pages = pageView();
    if (!pages || !m_plugin.downloadIsComplete())
        return;
    std::string current = std::to_string(PageNavigation::pageAtMiddleOfView(*pages) + 1);
    gtk_editable_set_text(GTK_EDITABLE(m_pageEntry), current.c_str());
    gtk_stack_set_visible_child(GTK_STACK(m_indicator), m_pageEntry);
    gtk_widget_grab_focus(m_pageEntry);
    gtk_editable_select_region(GTK_EDITABLE(m_pageEntry), 0, -1);
}

bool ReaderChrome::commitPageEntry()
{
    NRVLectorinMultiPageView* pages = pageView();
    auto number = typedPageNumber(gtk_editable_get_text(GTK_EDITABLE(m_pageEntry)));
    if (!pages || !number || *number < 1 || *number > long(pages->numberOfPages())) {
        kit::Host::current().beep();
        gtk_editable_select_region(GTK_EDITABLE(m_pageEntry), 0, -1);
        return false;
    }
    PageNavigation::scrollToPage(*pages, std::uint32_t(*number - 1));
    cancelPageEntry();
    update();
    return true;
}

void ReaderChrome::cancelPageEntry()
{
    gtk_stack_set_visible_child(GTK_STACK(m_indicator), m_pageButton);
    gtk_widget_grab_focus(m_window.view().widget());
}

void ReaderChrome::toggleSidebar()
{
    m_sidebar->setShown(!m_sidebar->isShown());
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(m_sidebarButton), m_sidebar->isShown());
    update();
}

} // namespace hosts
