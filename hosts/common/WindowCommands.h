#pragma once

#include "hosts/common/Options.h"

namespace hosts {

// The commands that need a display. A window host defines them (hosts/gtk: view); a build without one
// defines them as a message that says why they cannot run.
int runView(const Options&);

} // namespace hosts
