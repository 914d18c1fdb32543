#include "hosts/gtk/DocumentOpening.h"

#include "hosts/common/PageArguments.h"
#include "hosts/common/gtk/HostWindow.h"
#include "hosts/gtk/ControlShortcut.h"
#include "hosts/gtk/DocumentWindow.h"
#include "hosts/gtk/ReadingState.h"
#include "kit/foundation/RunLoop.h"

namespace hosts {

namespace {

constexpr std::size_t kRecentMenuLength = 10;

// A menu label shows an underscore as a mnemonic mark unless it is doubled.
std::string menuLabel(const std::string& text)
{
    std::string label;
    for (char c : text) {
        label += c;
        if (c == '_')
            label += '_';
    }
    return label;
}

// A file as the command line names it: its path when it has one, else its URI.
std::string pageArgumentForFile(GFile* file)
{
    if (char* path = g_file_get_path(file)) {
        std::string page = path;
        g_free(path);
        return page;
    }
    char* uri = g_file_get_uri(file);
    std::string page = uri ? uri : "";
    g_free(uri);
    return page;
}

} // namespace

DocumentOpening::DocumentOpening(HostWindow& window, ReadingState* state, std::function<void(const std::string&)> open)
    : m_window(window)
    , m_state(state)
    , m_open(std::move(open))
{
    GtkWidget* gtkWindow = GTK_WIDGET(window.gtkWindow());
    m_actions = kit::adoptGRef(g_simple_action_group_new());
    GSimpleActionGroup* actions = m_actions.get();
    auto file = kit::adoptGRef(g_simple_action_new("file", nullptr));
    g_signal_connect_swapped(file.get(), "activate", G_CALLBACK(+[](DocumentOpening* self) { self->showOpenDialog(); }), this);
    g_action_map_add_action(G_ACTION_MAP(actions), G_ACTION(file.get()));
    auto recent = kit::adoptGRef(g_simple_action_new("recent", G_VARIANT_TYPE_STRING));
    g_signal_connect(recent.get(), "activate", G_CALLBACK(+[](GSimpleAction*, GVariant* document, DocumentOpening* self) {
        self->m_open(g_variant_get_string(document, nullptr));
    }), this);
    g_action_map_add_action(G_ACTION_MAP(actions), G_ACTION(recent.get()));
    gtk_widget_insert_action_group(gtkWindow, "open", G_ACTION_GROUP(actions));

    // First in the window's menu: Open... and, when documents are remembered, Open Recent.
    if (GtkWidget* button = window.menuButton()) {
        GMenuModel* model = gtk_menu_button_get_menu_model(GTK_MENU_BUTTON(button));
        auto section = kit::adoptGRef(g_menu_new());
        auto item = kit::adoptGRef(g_menu_item_new("Open\u2026", "open.file"));
        g_menu_item_set_attribute(item.get(), "accel", "s", "<Control>o");
        g_menu_append_item(section.get(), item.get());
        if (m_state) {
            m_recent = kit::adoptGRef(g_menu_new());
            g_menu_append_submenu(section.get(), "Open Recent", G_MENU_MODEL(m_recent.get()));
        }
        if (G_IS_MENU(model))
            g_menu_prepend_section(G_MENU(model), nullptr, G_MENU_MODEL(section.get()));
        // Another window may have opened documents since: the list is read again as the menu opens.
        m_popover = GTK_WIDGET(gtk_menu_button_get_popover(GTK_MENU_BUTTON(button)));
        if (m_popover && m_state)
            g_signal_connect_swapped(m_popover, "show", G_CALLBACK(+[](DocumentOpening* self) { self->refreshRecentMenu(); }), this);
    }
    refreshRecentMenu();

    m_keys = addControlShortcut(gtkWindow, GDK_KEY_o, [](gpointer self) { static_cast<DocumentOpening*>(self)->showOpenDialog(); }, this);

    m_drop = gtk_drop_target_new(GDK_TYPE_FILE_LIST, GDK_ACTION_COPY);
    g_signal_connect(m_drop, "drop", G_CALLBACK(+[](GtkDropTarget*, const GValue* value, double, double, DocumentOpening* self) -> gboolean {
        return self->filesDropped(value);
    }), this);
    gtk_widget_add_controller(gtkWindow, GTK_EVENT_CONTROLLER(m_drop));
}

DocumentOpening::~DocumentOpening()
{
    if (m_dialog) {
        g_signal_handlers_disconnect_by_data(m_dialog.get(), this);
        gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(m_dialog.get()));
    }
    if (m_popover)
        g_signal_handlers_disconnect_by_data(m_popover, this);
    g_signal_handlers_disconnect_by_data(m_keys, this);
    g_signal_handlers_disconnect_by_data(m_drop, this);
    GtkWidget* gtkWindow = GTK_WIDGET(m_window.gtkWindow());
    for (const char* name : { "file", "recent" }) {
        if (GAction* action = g_action_map_lookup_action(G_ACTION_MAP(m_actions.get()), name))
            g_signal_handlers_disconnect_by_data(action, this);
    }
    gtk_widget_insert_action_group(gtkWindow, "open", nullptr);
}

void DocumentOpening::refreshRecentMenu()
{
    if (!m_recent || !m_state)
        return;
    g_menu_remove_all(m_recent.get());
    for (const auto& document : m_state->recentDocuments(kRecentMenuLength)) {
        std::string label = menuLabel(DocumentWindow::titleForURL(urlForPageArgument(document)));
        auto item = kit::adoptGRef(g_menu_item_new(label.c_str(), nullptr));
        g_menu_item_set_action_and_target_value(item.get(), "open.recent", g_variant_new_string(document.c_str()));
        g_menu_append_item(m_recent.get(), item.get());
    }
}

void DocumentOpening::showOpenDialog()
{
    if (m_dialog) {
        gtk_native_dialog_show(GTK_NATIVE_DIALOG(m_dialog.get()));
        return;
    }
    m_dialog = kit::adoptGRef(gtk_file_chooser_native_new(
        "Open Document", m_window.gtkWindow(), GTK_FILE_CHOOSER_ACTION_OPEN, "_Open", "_Cancel"));
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(m_dialog.get()), TRUE);
    ClaimedTypes claimed = claimedTypesFromBundle();
    auto documents = kit::adoptGRef(gtk_file_filter_new());
    gtk_file_filter_set_name(documents.get(), "Documents");
    for (const auto& type : claimed.mimeTypes)
        gtk_file_filter_add_mime_type(documents.get(), type.c_str());
    for (const auto& extension : claimed.extensions)
        gtk_file_filter_add_suffix(documents.get(), extension.c_str());
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(m_dialog.get()), documents.get());
    auto everything = kit::adoptGRef(gtk_file_filter_new());
    gtk_file_filter_set_name(everything.get(), "All Files");
    gtk_file_filter_add_pattern(everything.get(), "*");
    gtk_file_chooser_add_filter(GTK_FILE_CHOOSER(m_dialog.get()), everything.get());
    g_signal_connect(m_dialog.get(), "response", G_CALLBACK(+[](GtkNativeDialog*, int response, DocumentOpening* self) {
        self->dialogAnswered(response);
    }), this);
    gtk_native_dialog_show(GTK_NATIVE_DIALOG(m_dialog.get()));
}

void DocumentOpening::dialogAnswered(int response)
{
    kit::GRefPtr<GtkFileChooserNative> dialog = std::move(m_dialog);
    g_signal_handlers_disconnect_by_data(dialog.get(), this);
    std::string page;
    if (response == GTK_RESPONSE_ACCEPT) {
        if (auto file = kit::adoptGRef(gtk_file_chooser_get_file(GTK_FILE_CHOOSER(dialog.get()))))
            page = pageArgumentForFile(file.get());
    }
    // The dialog goes on a later turn: this is its own signal.
    kit::RunLoop::post([dialog] { gtk_native_dialog_destroy(GTK_NATIVE_DIALOG(dialog.get())); });
    if (!page.empty())
        m_open(page);
}

bool DocumentOpening::filesDropped(const GValue* value)
{
    if (!G_VALUE_HOLDS(value, GDK_TYPE_FILE_LIST))
        return false;
    auto* list = static_cast<GdkFileList*>(g_value_get_boxed(value));
    GSList* files = list ? gdk_file_list_get_files(list) : nullptr;
    std::vector<std::string> pages;
    for (GSList* node = files; node; node = node->next) {
        std::string page = pageArgumentForFile(G_FILE(node->data));
        if (!page.empty())
            pages.push_back(page);
    }
    g_slist_free(files);
    // Not from inside the drop: the new windows come on the next turn.
    kit::RunLoop::post([open = m_open, pages] {
        for (const auto& page : pages)
            open(page);
    });
    return !pages.empty();
}

} // namespace hosts
