#include "hosts/common/gtk/GtkHost.h"

#include "hosts/common/gtk/ColorPanel.h"
#include "hosts/common/gtk/ContextMenu.h"
#include "hosts/common/gtk/DisplayInformation.h"
#include "hosts/common/gtk/ModalAlert.h"
#include "hosts/common/gtk/PrintPanel.h"
#include "hosts/common/gtk/SavePanel.h"
#include "kit/foundation/Beep.h"
#include "kit/foundation/Workspace.h"
#include "kit/view/Window.h"

#include <cstdio>

namespace hosts {

GtkHost::GtkHost()
{
    // GTK records saved files among the recently used ones under the application's name.
    if (!g_get_application_name())
        g_set_application_name("Lectorin");
    kit::Workspace::setOpenURLHandler([this](const std::string& url) { openURL(url); });
    kit::setBeepHandler([this] { beep(); });
}

GtkHost::~GtkHost()
{
    kit::Workspace::setOpenURLHandler(nullptr);
    kit::setBeepHandler(nullptr);
    // Windows that outlive the host (the preferences window of a controller that is never released) keep
    // their kit side; their GTK side goes now.
    m_windows.clear();
}

HostWindow& GtkHost::documentWindow(kit::Window& window, std::function<kit::TextView*()> firstTextView,
    std::function<void()> closeRequested)
{
    auto& slot = m_windows[&window];
    if (!slot)
        slot = std::make_unique<HostWindow>(window, HostWindow::Kind::Document, std::move(firstTextView));
    slot->setCloseRequestHandler(std::move(closeRequested));
    return *slot;
}

HostWindow* GtkHost::hostWindow(const kit::Window& window) const
{
    auto it = m_windows.find(&window);
    return it == m_windows.end() ? nullptr : it->second.get();
}

GtkWindow* GtkHost::activeWindow() const
{
    GtkWindow* firstDocument = nullptr;
    for (const auto& [window, hostWindow] : m_windows) {
        if (!hostWindow->isShown())
            continue;
        if (gtk_window_is_active(hostWindow->gtkWindow()))
            return hostWindow->gtkWindow();
        if (!firstDocument && hostWindow->kind() == HostWindow::Kind::Document)
            firstDocument = hostWindow->gtkWindow();
    }
    if (firstDocument)
        return firstDocument;
    // No window of a kit window: a window of the process's own (the browser's), the active one first,
    // so that sheets and alerts still attach to what the user looks at.
    GtkWindow* firstShown = nullptr;
    GListModel* toplevels = gtk_window_get_toplevels();
    for (guint i = 0; i < g_list_model_get_n_items(toplevels); ++i) {
        kit::GRefPtr<GtkWindow> window = kit::adoptGRef(GTK_WINDOW(g_list_model_get_item(toplevels, i)));
        if (!gtk_widget_get_visible(GTK_WIDGET(window.get())) || gtk_window_get_transient_for(window.get()))
            continue;
        if (gtk_window_is_active(window.get()))
            return window.get();
        if (!firstShown)
            firstShown = window.get();
    }
    return firstShown;
}

GtkWindow* GtkHost::parentFor(kit::Window* window) const
{
    if (window) {
        if (HostWindow* shown = hostWindow(*window); shown && shown->isShown())
            return shown->gtkWindow();
    }
    return activeWindow();
}

void GtkHost::showWindow(kit::Window& window)
{
    auto& slot = m_windows[&window];
    if (!slot)
        slot = std::make_unique<HostWindow>(window, HostWindow::Kind::Panel);
    slot->setTitle(window.title());
    slot->present();
}

void GtkHost::hideWindow(kit::Window& window)
{
    if (HostWindow* shown = hostWindow(window))
        shown->hide();
}

void GtkHost::willDetachWindow(kit::Window& window)
{
    m_windows.erase(&window);
}

void GtkHost::windowNeedsDisplay(kit::Window& window, kit::Rect)
{
    // The widget draws the window's whole damage, which the window keeps, at its next frame.
    if (HostWindow* shown = hostWindow(window))
        shown->view().windowNeedsDisplay();
}

bool GtkHost::windowScrollRect(kit::Window& window, kit::Rect rect, kit::Size delta)
{
    HostWindow* shown = hostWindow(window);
    return shown && shown->view().scrollWindowRect(rect, delta);
}

int GtkHost::runModalAlert(const kit::Alert& alert)
{
    return runModalAlertDialog(activeWindow(), alert);
}

void GtkHost::beginSavePanel(kit::Window* window, const kit::SavePanelOptions& options,
    std::function<void(int returnCode, std::string path)> done)
{
    beginSavePanelSheet(parentFor(window), options, std::move(done));
}

void GtkHost::runPrintPanel(kit::Window* window, unsigned options, std::shared_ptr<kit::PrintJob> job,
    std::function<void(bool printed)> done)
{
    runPrintOperation(parentFor(window), options, std::move(job), std::move(done), m_printExportPath);
}

void GtkHost::runColorPanel(kit::Color initial, std::function<void(kit::Color)> changed)
{
    runColorPanelDialog(activeWindow(), initial, std::move(changed));
}

void GtkHost::showFindBar(kit::Window& window)
{
    if (HostWindow* shown = hostWindow(window); shown && shown->findBar())
        shown->findBar()->show();
}

void GtkHost::setFindString(std::string text)
{
    kit::Host::setFindString(text);
    for (const auto& [window, hostWindow] : m_windows) {
        if (FindBar* bar = hostWindow->findBar())
            bar->findStringDidChange(text);
    }
}

void GtkHost::popUpContextMenu(kit::Window& window, std::shared_ptr<kit::Menu> menu, kit::Point location)
{
    HostWindow* shown = hostWindow(window);
    if (!shown || !menu)
        return;
    KitViewWidget& view = shown->view();
    hosts::popUpContextMenu(view.widget(), window, std::move(menu), view.widgetPointFromBase(location));
}

kit::DisplayInfo GtkHost::mainDisplay() const
{
    return mainDisplayInformation(gdk_display_get_default());
}

void GtkHost::beep()
{
    if (GdkDisplay* display = gdk_display_get_default())
        gdk_display_beep(display);
}

void GtkHost::setClipboardText(const std::string& text)
{
    if (GdkDisplay* display = gdk_display_get_default())
        gdk_clipboard_set_text(gdk_display_get_clipboard(display), text.c_str());
}

void GtkHost::openURL(const std::string& url)
{
    GError* error = nullptr;
    if (!g_app_info_launch_default_for_uri(url.c_str(), nullptr, &error)) {
        std::fprintf(stderr, "lectorin: cannot open %s: %s\n", url.c_str(), error ? error->message : "no browser");
        if (error)
            g_error_free(error);
    }
}

} // namespace hosts
