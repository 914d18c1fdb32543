#include "hosts/common/gtk/ColorPanel.h"

namespace hosts {

namespace {

struct ColorPanel {
    GtkWidget* dialog = nullptr;
    std::function<void(kit::Color)> changed;
};

ColorPanel s_panel;

void panelDidRespond(GtkDialog* dialog, int response, gpointer)
{
    if (response == GTK_RESPONSE_OK && s_panel.changed) {
        GdkRGBA rgba;
        gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(dialog), &rgba);
        // The callback may ask for the panel again; it gets a fresh one.
        auto changed = s_panel.changed;
        changed(kit::Color::calibratedRGB(float(rgba.red), float(rgba.green), float(rgba.blue), float(rgba.alpha)));
    }
    if (s_panel.dialog == GTK_WIDGET(dialog)) {
        s_panel.dialog = nullptr;
        s_panel.changed = nullptr;
    }
    gtk_window_destroy(GTK_WINDOW(dialog));
}

} // namespace

GtkWidget* runColorPanelDialog(GtkWindow* parent, kit::Color initial, std::function<void(kit::Color)> changed)
{
    if (!s_panel.dialog) {
        s_panel.dialog = gtk_color_chooser_dialog_new("Colors", parent);
        gtk_color_chooser_set_use_alpha(GTK_COLOR_CHOOSER(s_panel.dialog), TRUE);
        gtk_window_set_hide_on_close(GTK_WINDOW(s_panel.dialog), FALSE);
        g_signal_connect(s_panel.dialog, "response", G_CALLBACK(panelDidRespond), nullptr);
        g_signal_connect(s_panel.dialog, "destroy", G_CALLBACK(+[](GtkWidget* dialog) {
            if (s_panel.dialog == dialog) {
                s_panel.dialog = nullptr;
                s_panel.changed = nullptr;
            }
        }), nullptr);
    } else if (parent) {
        gtk_window_set_transient_for(GTK_WINDOW(s_panel.dialog), parent);
    }
    s_panel.changed = std::move(changed);
    // A pattern has no components to start from: the panel starts at white.
    auto rgb = initial.usingCalibratedRGB().value_or(kit::Color::whiteColor()).rgba();
    GdkRGBA rgba { rgb[0], rgb[1], rgb[2], rgb[3] };
    gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(s_panel.dialog), &rgba);
    gtk_window_present(GTK_WINDOW(s_panel.dialog));
    return s_panel.dialog;
}

} // namespace hosts
