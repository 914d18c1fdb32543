#pragma once

#include <gtk/gtk.h>

namespace hosts {

// Control with a letter (either case, no other modifier) on a window, seen before the focused widget sees
// the key. run(data) is called for it; the window owns the controller returned, data must outlive it or be
// disconnected from it (g_signal_handlers_disconnect_by_data).
inline GtkEventController* addControlShortcut(GtkWidget* window, unsigned letter, void (*run)(gpointer), gpointer data)
{
    GtkEventController* keys = gtk_event_controller_key_new();
    gtk_event_controller_set_propagation_phase(keys, GTK_PHASE_CAPTURE);
    g_object_set_data(G_OBJECT(keys), "letter", GUINT_TO_POINTER(gdk_keyval_to_lower(letter)));
    g_object_set_data(G_OBJECT(keys), "run", reinterpret_cast<gpointer>(run));
    g_signal_connect(keys, "key-pressed", G_CALLBACK(+[](GtkEventControllerKey* controller, unsigned keyval, unsigned, GdkModifierType state, gpointer data) -> gboolean {
        auto modifiers = state & (GDK_CONTROL_MASK | GDK_SHIFT_MASK | GDK_ALT_MASK | GDK_SUPER_MASK);
        unsigned wanted = GPOINTER_TO_UINT(g_object_get_data(G_OBJECT(controller), "letter"));
        if (gdk_keyval_to_lower(keyval) != wanted || modifiers != GDK_CONTROL_MASK)
            return FALSE;
        reinterpret_cast<void (*)(gpointer)>(g_object_get_data(G_OBJECT(controller), "run"))(data);
        return TRUE;
    }), data);
    gtk_widget_add_controller(window, keys);
    return keys;
}

} // namespace hosts
