#pragma once

#include <gtk/gtk.h>

namespace kit {
class Alert;
}

namespace hosts {

// Runs alert as a GtkMessageDialog, modal on parent (null: free-standing), in a nested main loop that ends
// when the dialog answers or is destroyed (its parent closing destroys it). Returns the index of the button
// chosen. Return presses the button whose key is Return (the first button unless another was given it);
// Escape, the window's close button and a destroyed dialog choose the button whose key is Escape, else the
// first. The buttons stand right to left in the alert's order, so the first is where GTK puts the default.
int runModalAlertDialog(GtkWindow* parent, const kit::Alert& alert);

} // namespace hosts
