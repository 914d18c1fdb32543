#include "hosts/common/gtk/HostWindow.h"

#include "hosts/common/gtk/InputTranslation.h"
#include "kit/foundation/Bundle.h"
#include "kit/foundation/RunLoop.h"
#include "kit/text/FindPasteboard.h"
#include "kit/view/Window.h"

#include <cmath>
#include <cstring>

namespace hosts {

namespace {

struct Command {
    const char* name;
    const char* selector; // sent along the responder chain; null for what the window does itself
    const char* label;
};

// In menu order; an empty name separates sections.
const Command kCommands[] = {
    { "save-copy", "saveDocumentTo:", "Save a Copy\u2026" },
    { "print", "print:", "Print\u2026" },
    { "", nullptr, nullptr },
    { "find", "find:", "Find\u2026" },
    { "find-next", "findNext:", "Find Next" },
    { "find-previous", "findPrevious:", "Find Previous" },
    { "", nullptr, nullptr },
    { "zoom-in", "zoomIn:", "Zoom In" },
    { "zoom-out", "zoomOut:", "Zoom Out" },
    { "actual-size", "zoomToStandardSize:", "Actual Size" },
    { "", nullptr, nullptr },
    { "copy", "copy:", "Copy" },
    { "select-all", "selectAll:", "Select All" },
    { "", nullptr, nullptr },
    { "preferences", "showPreferences:", "Preferences\u2026" },
    { "about", "showAboutBox:", nullptr },
    { "", nullptr, nullptr },
    { "close", nullptr, "Close Window" },
};

const Command* commandNamed(const std::string& name)
{
    for (const auto& command : kCommands) {
        if (*command.name && name == command.name)
            return &command;
    }
    return nullptr;
}

std::string aboutLabel()
{
    std::string name = kit::Bundle::plugin().name();
    return "About " + (name.empty() ? std::string("Lectorin") : name);
}

} // namespace

HostWindow::HostWindow(kit::Window& window, Kind kind, std::function<kit::TextView*()> firstTextView)
    : m_window(window)
    , m_kind(kind)
    , m_firstTextView(std::move(firstTextView))
{
    // This object owns the window; GTK's own reference goes when it is destroyed.
    m_gtkWindow = kit::retainGRef(GTK_WINDOW(gtk_window_new()));
    m_viewWidget = KitViewWidget::create(window, kind == Kind::Document);
    KitViewWidget::fromWidget(m_viewWidget)->setAllocationHandler([this](int width, int height) {
        viewWasAllocated(width, height);
    });
    window.setHostHandle(this);
    g_signal_connect(m_gtkWindow.get(), "close-request", G_CALLBACK(onCloseRequest), this);
    setTitle(window.title());
    if (kind == Kind::Document) {
        buildDocumentChrome();
    } else {
        gtk_window_set_resizable(m_gtkWindow.get(), FALSE);
        // A header bar of GTK's own, as on document windows: the title and the close button look the same
        // whether or not the window manager decorates windows.
        // A panel is closed, never minimised on its own.
        GtkWidget* headerBar = gtk_header_bar_new();
        gtk_header_bar_set_decoration_layout(GTK_HEADER_BAR(headerBar), ":close");
        gtk_window_set_titlebar(m_gtkWindow.get(), headerBar);
        gtk_window_set_child(m_gtkWindow.get(), m_viewWidget);
    }
}

HostWindow::~HostWindow()
{
    view().detachWindow();
    if (m_window.hostHandle() == this)
        m_window.setHostHandle(nullptr);
    m_findBar.reset();
    gtk_window_destroy(m_gtkWindow.get());
}

void HostWindow::buildDocumentChrome()
{
    auto actions = kit::adoptGRef(g_simple_action_group_new());
    for (const auto& command : kCommands) {
        if (!*command.name)
            continue;
        auto action = kit::adoptGRef(g_simple_action_new(command.name, nullptr));
        g_signal_connect(action.get(), "activate",
            G_CALLBACK(+[](GSimpleAction* activated, GVariant*, HostWindow* self) {
                self->runCommand(g_action_get_name(G_ACTION(activated)));
            }),
            this);
        g_action_map_add_action(G_ACTION_MAP(actions.get()), G_ACTION(action.get()));
    }
    gtk_widget_insert_action_group(GTK_WIDGET(m_gtkWindow.get()), "doc", G_ACTION_GROUP(actions.get()));

    auto menu = kit::adoptGRef(g_menu_new());
    auto section = kit::adoptGRef(g_menu_new());
    for (const auto& command : kCommands) {
        if (!*command.name) {
            g_menu_append_section(menu.get(), nullptr, G_MENU_MODEL(section.get()));
            section = kit::adoptGRef(g_menu_new());
            continue;
        }
        std::string label = command.label ? command.label : aboutLabel();
        auto item = kit::adoptGRef(g_menu_item_new(nullptr, (std::string("doc.") + command.name).c_str()));
        g_menu_item_set_attribute(item.get(), "label", "s", label.c_str());
        if (const char* accelerator = acceleratorForAction(command.name))
            g_menu_item_set_attribute(item.get(), "accel", "s", accelerator);
        g_menu_append_item(section.get(), item.get());
    }
    g_menu_append_section(menu.get(), nullptr, G_MENU_MODEL(section.get()));

    m_headerBar = gtk_header_bar_new();
    m_menuButton = gtk_menu_button_new();
    gtk_menu_button_set_icon_name(GTK_MENU_BUTTON(m_menuButton), "open-menu-symbolic");
    gtk_menu_button_set_menu_model(GTK_MENU_BUTTON(m_menuButton), G_MENU_MODEL(menu.get()));
    gtk_widget_set_tooltip_text(m_menuButton, "Menu");
    gtk_header_bar_pack_end(GTK_HEADER_BAR(m_headerBar), m_menuButton);
    GtkWidget* findButton = gtk_button_new_from_icon_name("edit-find-symbolic");
    gtk_actionable_set_action_name(GTK_ACTIONABLE(findButton), "doc.find");
    gtk_widget_set_tooltip_text(findButton, "Find (Ctrl+F)");
    gtk_header_bar_pack_end(GTK_HEADER_BAR(m_headerBar), findButton);
    gtk_window_set_titlebar(m_gtkWindow.get(), m_headerBar);

    m_findBar = std::make_unique<FindBar>(
        m_firstTextView ? m_firstTextView : [] { return static_cast<kit::TextView*>(nullptr); }, m_viewWidget);
    GtkWidget* column = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
    gtk_box_append(GTK_BOX(column), m_findBar->widget());
    gtk_box_append(GTK_BOX(column), m_viewWidget);
    gtk_window_set_child(m_gtkWindow.get(), column);

    // Shortcuts are looked at before the focused widget sees the key, so they work from the find bar too.
    m_shortcuts = gtk_event_controller_key_new();
    gtk_event_controller_set_propagation_phase(m_shortcuts, GTK_PHASE_CAPTURE);
    g_signal_connect(m_shortcuts, "key-pressed", G_CALLBACK(onShortcutKey), this);
    gtk_widget_add_controller(GTK_WIDGET(m_gtkWindow.get()), m_shortcuts);
}

gboolean HostWindow::onShortcutKey(
    GtkEventControllerKey*, unsigned keyval, unsigned, GdkModifierType state, HostWindow* self)
{
    const char* action = shortcutActionForKey(keyval, state);
    if (!action)
        return FALSE;
    // In the find bar's entry, Copy and Select All are the entry's own.
    bool editing = false;
    if (GtkWidget* focus = gtk_root_get_focus(GTK_ROOT(self->m_gtkWindow.get())))
        editing = GTK_IS_EDITABLE(focus) || GTK_IS_TEXT(focus);
    if (editing && (!std::strcmp(action, "copy") || !std::strcmp(action, "select-all")))
        return FALSE;
    return gtk_widget_activate_action(
        GTK_WIDGET(self->m_gtkWindow.get()), (std::string("doc.") + action).c_str(), nullptr);
}

bool HostWindow::runCommand(const std::string& name)
{
    const Command* command = commandNamed(name);
    if (!command)
        return false;
    if (name == "close") {
        onCloseRequest(m_gtkWindow.get(), this);
        return true;
    }
    // The find bar's entry may hold text not yet searched for: Find Next and Previous then search for it,
    // as Return would; otherwise they are the document's own commands.
    if (m_findBar && m_findBar->isShown() && (name == "find-next" || name == "find-previous")) {
        std::string typed = gtk_editable_get_text(m_findBar->entry());
        if (!typed.empty() && typed != kit::FindPasteboard::string()) {
            if (name == "find-next")
                m_findBar->findNext();
            else
                m_findBar->findPrevious();
            return true;
        }
    }
    m_window.sendAction(command->selector, nullptr);
    if (m_findBar && (name == "find-next" || name == "find-previous"))
        m_findBar->updateCount();
    return true;
}

gboolean HostWindow::onCloseRequest(GtkWindow*, HostWindow* self)
{
    if (self->m_closeRequested) {
        // The owner destroys the kit window, and with it this object, on a later turn of the loop.
        auto handler = self->m_closeRequested;
        handler();
    } else {
        self->m_window.close();
    }
    return TRUE;
}

void HostWindow::present()
{
    gtk_window_present(m_gtkWindow.get());
    gtk_widget_grab_focus(m_viewWidget);
}

void HostWindow::hide() { gtk_widget_set_visible(GTK_WIDGET(m_gtkWindow.get()), FALSE); }

bool HostWindow::isShown() const { return gtk_widget_get_visible(GTK_WIDGET(m_gtkWindow.get())); }

void HostWindow::setTitle(const std::string& title) { gtk_window_set_title(m_gtkWindow.get(), title.c_str()); }

kit::Size HostWindow::chromeSize() const
{
    if (m_learnedChrome)
        return *m_learnedChrome;
    if (!m_headerBar)
        return {};
    int minimum = 0, natural = 0;
    gtk_widget_measure(m_headerBar, GTK_ORIENTATION_VERTICAL, -1, &minimum, &natural, nullptr, nullptr);
    return { 0, float(natural) };
}

void HostWindow::setContentSize(kit::Size size, std::function<kit::Size(kit::Size chrome)> fit)
{
    m_requestedContent = size;
    m_fit = std::move(fit);
    m_awaitingFirstLayout = !m_learnedChrome;
    kit::Size chrome = chromeSize();
    gtk_window_set_default_size(
        m_gtkWindow.get(), int(std::ceil(size.width + chrome.width)), int(std::ceil(size.height + chrome.height)));
}

void HostWindow::viewWasAllocated(int width, int height)
{
    if (!m_awaitingFirstLayout)
        return;
    m_awaitingFirstLayout = false;
    int windowWidth = 0, windowHeight = 0;
    gtk_window_get_default_size(m_gtkWindow.get(), &windowWidth, &windowHeight);
    if (windowWidth <= 0 || windowHeight <= 0)
        return;
    kit::Size chrome { float(windowWidth - width), float(windowHeight - height) };
    m_learnedChrome = chrome;
    kit::Size content = m_fit ? m_fit(chrome) : m_requestedContent;
    if (content == kit::Size { float(width), float(height) })
        return;
    // Not while GTK is laying the window out: on the next turn.
    kit::RunLoop::post([window = kit::WeakPtr(this), content, chrome] {
        if (window)
            gtk_window_set_default_size(window->m_gtkWindow.get(), int(std::ceil(content.width + chrome.width)),
                int(std::ceil(content.height + chrome.height)));
    });
}

} // namespace hosts
