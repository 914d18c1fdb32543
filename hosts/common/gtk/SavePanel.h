#pragma once

#include "kit/host/Host.h"

#include <functional>
#include <gtk/gtk.h>
#include <string>

namespace hosts {

// The save panel as a sheet: a GtkFileChooserNative attached to parent, proposing options.suggestedName in
// the user's documents folder (else the home folder). The call returns at once; done runs later from the
// main loop with kit::SavePanelOKButton and the chosen path, or kit::SavePanelCancelButton and "".
// GTK cannot hide extensions, so a name chosen without the required extension gets it appended; when that
// names an existing file, the user is asked before it is replaced (the chooser only asked about the name
// as typed).
void beginSavePanelSheet(GtkWindow* parent, const kit::SavePanelOptions& options,
    std::function<void(int returnCode, std::string path)> done);

// The path with ".extension" appended unless it already ends in it (compared without case); unchanged
// when extension is empty.
std::string pathWithRequiredExtension(const std::string& path, const std::string& extension);

} // namespace hosts
