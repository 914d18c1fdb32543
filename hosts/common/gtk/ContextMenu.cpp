#include "hosts/common/gtk/ContextMenu.h"

#include "kit/foundation/GRefPtr.h"
#include "kit/view/Menu.h"
#include "kit/view/Window.h"

#include <string>

namespace hosts {

namespace {

// What the popover's actions need; freed with the action group.
struct ContextMenuState {
    std::shared_ptr<kit::Menu> menu;
    kit::WeakPtr<kit::Window> window;
};

void activateItem(GSimpleAction* action, GVariant*, gpointer data)
{
    auto* state = static_cast<ContextMenuState*>(data);
    auto index = GPOINTER_TO_SIZE(g_object_get_data(G_OBJECT(action), "lectorin-item-index"));
    if (kit::Window* window = state->window.get())
        state->menu->performActionForItemAtIndex(index, window);
}

} // namespace

GtkWidget* popUpContextMenu(GtkWidget* parent, kit::Window& window, std::shared_ptr<kit::Menu> menu, kit::Point point)
{
    auto* state = new ContextMenuState { menu, &window };
    auto group = kit::adoptGRef(g_simple_action_group_new());
    g_object_set_data_full(G_OBJECT(group.get()), "lectorin-context-menu", state,
        [](gpointer data) { delete static_cast<ContextMenuState*>(data); });

    auto model = kit::adoptGRef(g_menu_new());
    auto section = kit::adoptGRef(g_menu_new());
    for (std::size_t i = 0; i < menu->numberOfItems(); ++i) {
        kit::MenuItem* item = menu->itemAtIndex(i);
        if (item->isSeparatorItem()) {
            if (g_menu_model_get_n_items(G_MENU_MODEL(section.get())) > 0) {
                g_menu_append_section(model.get(), nullptr, G_MENU_MODEL(section.get()));
                section = kit::adoptGRef(g_menu_new());
            }
            continue;
        }
        std::string name = "item" + std::to_string(i);
        auto action = kit::adoptGRef(g_simple_action_new(name.c_str(), nullptr));
        g_object_set_data(G_OBJECT(action.get()), "lectorin-item-index", GSIZE_TO_POINTER(i));
        g_simple_action_set_enabled(action.get(), item->isEnabled());
        g_signal_connect(action.get(), "activate", G_CALLBACK(activateItem), state);
        g_action_map_add_action(G_ACTION_MAP(group.get()), G_ACTION(action.get()));
        // Titles are shown as written: an underscore is not a mnemonic here.
        auto entry = kit::adoptGRef(g_menu_item_new(nullptr, ("context." + name).c_str()));
        g_menu_item_set_attribute(entry.get(), "label", "s", item->title().c_str());
        g_menu_append_item(section.get(), entry.get());
    }
    if (g_menu_model_get_n_items(G_MENU_MODEL(section.get())) > 0)
        g_menu_append_section(model.get(), nullptr, G_MENU_MODEL(section.get()));

    GtkWidget* popover = gtk_popover_menu_new_from_model(G_MENU_MODEL(model.get()));
    gtk_widget_insert_action_group(popover, "context", G_ACTION_GROUP(group.get()));
    gtk_widget_set_parent(popover, parent);
    gtk_popover_set_has_arrow(GTK_POPOVER(popover), FALSE);
    gtk_widget_set_halign(popover, GTK_ALIGN_START);
    GdkRectangle at { int(point.x), int(point.y), 1, 1 };
    gtk_popover_set_pointing_to(GTK_POPOVER(popover), &at);
    // The item's action runs after the popover has closed: unparent it only on a later turn.
    g_signal_connect(popover, "closed", G_CALLBACK(+[](GtkPopover* closed) {
        // The idle source holds a reference to the popover and drops it once it has run.
        g_idle_add_full(
            G_PRIORITY_DEFAULT_IDLE,
            [](gpointer data) -> gboolean {
                auto* widget = GTK_WIDGET(data);
                if (gtk_widget_get_parent(widget))
                    gtk_widget_unparent(widget);
                return G_SOURCE_REMOVE;
            },
            g_object_ref(closed), g_object_unref);
    }),
        nullptr);
    gtk_popover_popup(GTK_POPOVER(popover));
    return popover;
}

} // namespace hosts
