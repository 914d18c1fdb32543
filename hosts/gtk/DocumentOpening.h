#pragma once

#include "kit/foundation/GRefPtr.h"

#include <functional>
#include <gtk/gtk.h>
#include <string>

namespace hosts {

class HostWindow;
class ReadingState;

// The ways a document window opens other documents, each in a window of its own (through open, which gets
// a path or URL as the command line would): "Open…" (Ctrl+O) with a file chooser that offers the claimed
// types first, "Open Recent" with the documents the reading state lists (refreshed whenever the menu
// opens; absent without a state), and files dropped on the window.
//
// The actions are "open.file" and "open.recent" (a string: the document) of the GTK window; the menu items
// go first in the window's menu. Lives inside the document window; the host window outlives it.
class DocumentOpening {
public:
    DocumentOpening(HostWindow& window, ReadingState* state, std::function<void(const std::string&)> open);
    ~DocumentOpening();
    DocumentOpening(const DocumentOpening&) = delete;
    DocumentOpening& operator=(const DocumentOpening&) = delete;

    // Shows the file chooser (once: a second call while it is open presents it again).
    void showOpenDialog();
    // The chooser while it is open, so tests can answer it as the user would; null otherwise.
    GtkFileChooserNative* openDialog() const { return m_dialog.get(); }
    GtkDropTarget* dropTarget() const { return m_drop; }
    GtkEventController* keyController() const { return m_keys; }
    // The "Open Recent" menu as it is now: one item per recent document.
    GMenuModel* recentMenu() const { return G_MENU_MODEL(m_recent.get()); }
    void refreshRecentMenu();

private:
    void dialogAnswered(int response);
    bool filesDropped(const GValue* value);

    HostWindow& m_window;
    ReadingState* m_state;
    std::function<void(const std::string&)> m_open;
    kit::GRefPtr<GSimpleActionGroup> m_actions;
    kit::GRefPtr<GtkFileChooserNative> m_dialog;
    kit::GRefPtr<GMenu> m_recent;
    GtkDropTarget* m_drop = nullptr; // the window owns its controllers
    GtkEventController* m_keys = nullptr;
    GtkWidget* m_popover = nullptr; // the menu's, which the menu button owns
};

} // namespace hosts
