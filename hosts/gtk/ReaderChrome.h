#pragma once

#include "kit/foundation/WeakPtr.h"
#include "kit/text/TextFinder.h"

#include <functional>
#include <gtk/gtk.h>
#include <memory>
#include <string>

class NRVLectorin;
class NRVLectorinMultiPageView;

namespace hosts {

class HostWindow;
class Sidebar;

// What a reader of a document window finds around the pages, beside the window's own commands: in the
// header bar the sidebar button (F9), the page indicator "Page N of M" (N the page at the middle of the
// view, M the pages laid out so far), which becomes an entry for a page number on a click or Ctrl+L, and
// the zoom menu, whose button shows the zoom in percent and whose menu holds the ten steps, Fit Width and
// Fit Page; and the sidebar left of the pages with the outline and the page thumbnails.
//
// The indicator and the zoom follow the pages: the clip view's scrolling and the page view's frame are
// watched, and the labels updated on the next idle turn, before the frame is drawn. The actions are
// "reader.<name>" of the GTK window: reader.page-entry, reader.sidebar, reader.zoom-step (int32 step),
// reader.fit-width, reader.fit-page.
//
// Lives inside the document window that shows plugin; both outlive it.
class ReaderChrome : public kit::Weakable {
public:
    ReaderChrome(HostWindow& window, NRVLectorin& plugin);
    ~ReaderChrome();
    ReaderChrome(const ReaderChrome&) = delete;
    ReaderChrome& operator=(const ReaderChrome&) = delete;

    std::string indicatorText() const;
    std::string zoomText() const;
    GtkWidget* indicatorButton() const { return m_pageButton; }
    GtkEditable* pageEntry() const { return GTK_EDITABLE(m_pageEntry); }
    bool isEditingPage() const;
    GtkWidget* zoomButton() const { return m_zoomButton; }
    GtkEventController* keyController() const { return m_keys; }
    // The pointer's controllers on the document's widget, so tests can drive them by their signals.
    GtkEventController* motionController() const { return m_pointerControllers[0]; }
    GtkEventController* clickGesture() const { return m_pointerControllers[1]; }
    Sidebar& sidebar() const { return *m_sidebar; }

    // The page entry takes the keyboard with the current page number selected.
    void beginPageEntry();
    // Goes to the page the entry holds; a number that is not a page beeps and keeps the entry open.
    bool commitPageEntry();
    void cancelPageEntry();
    void toggleSidebar();
    // Brings the labels, the sidebar's current page and its outline in line with the pages now.
    void update();
    // Told when a downloaded text is first shown (once per text), after the labels follow it.
    void setLoadHandler(std::function<void()> handler) { m_loaded = std::move(handler); }
    // Marks every match of the find bar's string on the pages while the bar is shown.
    void updateFindHighlights();

    // Links: the pointer over one (widget pixels of the document view) shows a pointing hand and the URL at
    // the bottom of the window; a click follows it (see DocumentLinks::actionForURL): the host opens web
    // and mail addresses, bookmarks scroll to the top of the view, anything else asks first.
    void pointerMoved(double x, double y);
    bool clicked(double x, double y);
    void followLink(const std::string& url);
    std::string hoveredURL() const;

private:
    NRVLectorinMultiPageView* pageView() const;
    void watchPages();
    void scheduleUpdate();
    void buildHeaderWidgets();
    void buildActions();
    static gboolean onKey(GtkEventControllerKey*, unsigned keyval, unsigned keycode, GdkModifierType state, ReaderChrome* self);

    HostWindow& m_window;
    NRVLectorin& m_plugin;
    GtkWidget* m_sidebarButton = nullptr; // the header bar owns these widgets
    GtkWidget* m_indicator = nullptr; // a stack: the button, or the entry while editing
    GtkWidget* m_pageButton = nullptr;
    GtkWidget* m_pageEntry = nullptr;
    GtkWidget* m_zoomButton = nullptr;
    GtkWidget* m_linkLabel = nullptr; // the URL under the pointer, over the bottom left of the pages
    GtkEventController* m_keys = nullptr;
    GtkEventController* m_pointerControllers[2] = {}; // on the document's widget, which owns them
    std::unique_ptr<Sidebar> m_sidebar;
    std::function<void()> m_loaded;
    bool m_announcesLoad = false; // a new text is shown: the load handler runs once its pages are all there
    const void* m_watchedClipView = nullptr;
    const void* m_watchedPageView = nullptr;
    const void* m_shownStorage = nullptr;
    std::uint32_t m_shownPages = 0;
    guint m_updateSource = 0;
    std::string m_highlightedNeedle;
    kit::FindOptions m_highlightedOptions;
    const void* m_highlightedStorage = nullptr;
    bool m_highlighting = false;
    double m_pressX = 0;
    double m_pressY = 0;
};

} // namespace hosts
