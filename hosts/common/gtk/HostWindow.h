#pragma once

#include "hosts/common/gtk/FindBar.h"
#include "hosts/common/gtk/KitViewWidget.h"
#include "kit/foundation/GRefPtr.h"
#include "kit/foundation/WeakPtr.h"

#include <functional>
#include <gtk/gtk.h>
#include <memory>
#include <optional>
#include <string>

namespace kit {
class TextView;
class Window;
} // namespace kit

namespace hosts {

// The GTK window of one kit::Window. A document window has a header bar with the document commands in
// its menu, the find bar above the document, and keyboard shortcuts for the commands; its commands are
// the actions "doc.<name>" of the window (doc.save-copy, doc.print, doc.find, doc.find-next,
// doc.find-previous, doc.zoom-in, doc.zoom-out, doc.actual-size, doc.copy, doc.select-all, doc.preferences,
// doc.about, doc.close), each sent along the kit window's responder chain. A panel window (preferences,
// About) is the kit window's content at its own size, with the kit window's title.
//
// Closing a panel hides it (its kit window lives on with its controller); closing a document window asks
// the owner of the kit window, which destroys it. The GTK window is destroyed with this object.
class HostWindow : public kit::Weakable {
public:
    enum class Kind { Document, Panel };

    // firstTextView finds the document's first text view for the find bar (document windows only).
    HostWindow(kit::Window& window, Kind kind, std::function<kit::TextView*()> firstTextView = {});
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    kit::Window& window() const { return m_window; }
    Kind kind() const { return m_kind; }
    GtkWindow* gtkWindow() const { return m_gtkWindow.get(); }
    KitViewWidget& view() const { return *KitViewWidget::fromWidget(m_viewWidget); }
    FindBar* findBar() const { return m_findBar.get(); }
    GtkWidget* headerBar() const { return m_headerBar; }
    GtkWidget* menuButton() const { return m_menuButton; }
    GtkEventController* shortcutController() const { return m_shortcuts; }

    void present();
    void hide();
    bool isShown() const;
    void setTitle(const std::string& title);
    // What the window adds around the kit window's content, logical pixels: the header bar, and without a
    // compositor GTK's resize border. Exact once the window has been laid out, an estimate before.
    kit::Size chromeSize() const;
    // Asks for a content size (documents: the window stays resizable). The window's first layout tells
    // exactly what GTK adds around the content; the size is then corrected, through fit when given (which
    // gets those additions and answers the content size to have, say limited to the screen).
    void setContentSize(kit::Size size, std::function<kit::Size(kit::Size chrome)> fit = {});
    // Who is told when the user closes a document window; without one the window hides.
    void setCloseRequestHandler(std::function<void()> handler) { m_closeRequested = std::move(handler); }

    // The command behind doc.<name>; false for a name that is not one.
    bool runCommand(const std::string& name);

private:
    void buildDocumentChrome();
    void viewWasAllocated(int width, int height);
    static gboolean onCloseRequest(GtkWindow*, HostWindow* self);
    static gboolean onShortcutKey(
        GtkEventControllerKey*, unsigned keyval, unsigned keycode, GdkModifierType state, HostWindow* self);

    kit::Window& m_window;
    Kind m_kind;
    std::function<kit::TextView*()> m_firstTextView;
    kit::GRefPtr<GtkWindow> m_gtkWindow; // destroyed with this object
    GtkWidget* m_viewWidget = nullptr;
    GtkWidget* m_headerBar = nullptr;
    GtkWidget* m_menuButton = nullptr;
    GtkEventController* m_shortcuts = nullptr;
    std::unique_ptr<FindBar> m_findBar;
    std::function<void()> m_closeRequested;
    std::optional<kit::Size> m_learnedChrome;
    kit::Size m_requestedContent;
    std::function<kit::Size(kit::Size)> m_fit;
    bool m_awaitingFirstLayout = false;
};

} // namespace hosts
