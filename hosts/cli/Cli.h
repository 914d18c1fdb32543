#pragma once

namespace hosts {

// The `lectorin` program: parses the command and runs the headless browser or, for `view`, the GTK host.
int runCommandLine(int argc, char** argv);

} // namespace hosts
