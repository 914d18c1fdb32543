#pragma once

#include "kit/geometry/Color.h"

#include <functional>
#include <gtk/gtk.h>

namespace hosts {

// The colour panel: a GtkColorChooserDialog with opacity, starting at initial. Choosing Select calls
// changed with the colour (calibrated RGB, alpha included); Cancel or closing calls nothing. There is one
// panel per process: asking again while it is open moves it to the new colour and callback and raises it.
// Returns the dialog.
GtkWidget* runColorPanelDialog(GtkWindow* parent, kit::Color initial, std::function<void(kit::Color)> changed);

} // namespace hosts
