#pragma once

#include "hosts/common/Options.h"

namespace hosts {

// The commands that need a display, defined by the window hosts and run by `lectorin-window`
// (hosts/window_main.cpp), which `lectorin` starts for them.
int runView(const Options&); // hosts/gtk: one document per window
int runBrowse(const Options&); // hosts/web: web pages with their documents inline

} // namespace hosts
