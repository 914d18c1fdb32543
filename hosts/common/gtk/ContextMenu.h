#pragma once

#include "kit/geometry/Geometry.h"

#include <gtk/gtk.h>
#include <memory>

namespace kit {
class Menu;
class Window;
}

namespace hosts {

// Pops a view's context menu up at a point of a widget (logical pixels, y down). Each item is an action of
// the popover; choosing one performs the item with Menu::performActionForItemAtIndex on window, if the
// window still exists. Separators start new sections; items are enabled as the menu says. Returns the
// popover, which unparents itself once it has closed and its item has run.
GtkWidget* popUpContextMenu(GtkWidget* parent, kit::Window& window, std::shared_ptr<kit::Menu> menu, kit::Point point);

} // namespace hosts
