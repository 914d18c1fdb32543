#include "hosts/common/gtk/ModalAlert.h"

#include "kit/foundation/GRefPtr.h"
#include "kit/view/Alert.h"

namespace hosts {

namespace {

struct AlertRun {
    GMainLoop* loop = nullptr;
    int response = GTK_RESPONSE_NONE;
    bool answered = false;
};

} // namespace

int runModalAlertDialog(GtkWindow* parent, const kit::Alert& alert)
{
    GtkMessageType type = GTK_MESSAGE_WARNING;
    if (alert.alertStyle() == kit::Alert::Style::Informational)
        type = GTK_MESSAGE_INFO;
    else if (alert.alertStyle() == kit::Alert::Style::Critical)
        type = GTK_MESSAGE_ERROR;
    GtkWidget* dialog
        = gtk_message_dialog_new(parent, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), type,
            GTK_BUTTONS_NONE, "%s", alert.messageText().c_str());
    if (!alert.informativeText().empty())
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", alert.informativeText().c_str());
    const auto& buttons = alert.buttons();
    for (int i = int(buttons.size()) - 1; i >= 0; --i)
        gtk_dialog_add_button(GTK_DIALOG(dialog), buttons[std::size_t(i)]->title().c_str(), i);
    int returnIndex = alert.buttonIndexForKeyEquivalent("\r");
    if (returnIndex < 0 && !buttons.empty())
        returnIndex = 0;
    if (returnIndex >= 0)
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), returnIndex);
    int dismissIndex = alert.defaultDismissIndex();

    AlertRun run;
    run.loop = g_main_loop_new(nullptr, FALSE);
    g_signal_connect(dialog, "response", G_CALLBACK(+[](GtkDialog*, int response, AlertRun* run) {
        run->response = response;
        run->answered = true;
        g_main_loop_quit(run->loop);
    }),
        &run);
    // gtk_window_destroy unrealizes the dialog and drops GTK's reference; "destroy" follows only with the
    // last reference, which this function holds. A dialog hidden or unrealized without an answer (destroyed,
    // or its parent destroyed) ends the alert as well.
    auto ended = +[](GtkWidget*, AlertRun* run) { g_main_loop_quit(run->loop); };
    g_signal_connect(dialog, "hide", G_CALLBACK(ended), &run);
    g_signal_connect(dialog, "unrealize", G_CALLBACK(ended), &run);
    g_signal_connect(dialog, "destroy", G_CALLBACK(ended), &run);
    // The dialog is kept alive by this reference until the loop has ended, whatever destroys it meanwhile.
    auto keptAlive = kit::retainGRef(dialog);
    gtk_window_present(GTK_WINDOW(dialog));
    // The default button takes the keyboard, so Return presses it even before the user moves the focus.
    if (returnIndex >= 0) {
        if (GtkWidget* button = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), returnIndex))
            gtk_widget_grab_focus(button);
    }
    g_main_loop_run(run.loop);
    g_signal_handlers_disconnect_by_data(dialog, &run);
    // A second destroy of a destroyed window does nothing.
    gtk_window_destroy(GTK_WINDOW(dialog));
    g_main_loop_unref(run.loop);

    if (run.answered && run.response >= 0 && run.response < int(buttons.size()))
        return run.response;
    // Escape, the close button or the dialog's destruction: the Escape button, else the first.
    return dismissIndex;
}

} // namespace hosts
