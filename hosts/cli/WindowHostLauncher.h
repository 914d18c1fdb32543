#pragma once

namespace hosts {

// The commands that open windows (`view`, `browse`) run in a program of their own, `lectorin-window`, so
// that the headless commands never load GTK or WebKitGTK: replaces this process with it, passing argv on.
// Looked for as $LECTORIN_WINDOW_HOST, then beside this program, then in ../libexec/lectorin/. Returns only
// when it cannot be started (2, with the reason on stderr).
int execWindowHost(char** argv);

} // namespace hosts
