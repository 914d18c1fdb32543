#pragma once

#include "hosts/common/gtk/HostWindow.h"
#include "kit/host/Host.h"

#include <filesystem>
#include <functional>
#include <map>
#include <memory>

namespace hosts {

// The host of `lectorin view`: every kit::Window it shows becomes a GTK window (HostWindow), and the
// panels are GTK's own: a file chooser sheet for saving, GtkPrintOperation's dialog for printing, message
// dialogs in a nested main loop for alerts, the colour chooser, the find bar of the document window, a
// popover for context menus. It also answers display information (RandR on X11), beeps through GDK, puts
// copied text on the clipboard and opens URLs with the default browser (also for kit::Workspace, and
// kit::beep goes to the display, while the host lives).
//
// GTK must be initialised first. Document windows are made through documentWindow; any other window
// becomes a panel window when it is first shown.
class GtkHost : public kit::Host {
public:
    GtkHost();
    ~GtkHost() override;

    // The GTK window of a document's kit window, made on first use (see HostWindow).
    HostWindow& documentWindow(kit::Window& window, std::function<kit::TextView*()> firstTextView,
        std::function<void()> closeRequested);
    HostWindow* hostWindow(const kit::Window& window) const;
    // The window alerts and sheets attach to when no kit window names one: the active GTK window of a
    // kit window, else the first document window, else (a browser window holds no kit window of its own)
    // the process's active toplevel or its first shown one.
    GtkWindow* activeWindow() const;

    // Prints without a dialog into a PDF at path (for tests and scripted use); empty: the print dialog.
    void setPrintExportPath(std::filesystem::path path) { m_printExportPath = std::move(path); }

    void showWindow(kit::Window& window) override;
    void hideWindow(kit::Window& window) override;
    void windowNeedsDisplay(kit::Window& window, kit::Rect rect) override;
    bool windowScrollRect(kit::Window& window, kit::Rect rect, kit::Size delta) override;
    int runModalAlert(const kit::Alert& alert) override;
    void beginSavePanel(kit::Window* window, const kit::SavePanelOptions& options,
        std::function<void(int returnCode, std::string path)> done) override;
    void runPrintPanel(kit::Window* window, unsigned options, std::shared_ptr<kit::PrintJob> job,
        std::function<void(bool printed)> done) override;
    void runColorPanel(kit::Color initial, std::function<void(kit::Color)> changed) override;
    void showFindBar(kit::Window& window) override;
    void setFindString(std::string text) override;
    void popUpContextMenu(kit::Window& window, std::shared_ptr<kit::Menu> menu, kit::Point location) override;
    kit::DisplayInfo mainDisplay() const override;
    void beep() override;
    void setClipboardText(const std::string& text) override;
    void openURL(const std::string& url) override;

protected:
    void willDetachWindow(kit::Window& window) override;

private:
    GtkWindow* parentFor(kit::Window* window) const;

    std::map<const kit::Window*, std::unique_ptr<HostWindow>> m_windows;
    std::filesystem::path m_printExportPath;
};

} // namespace hosts
