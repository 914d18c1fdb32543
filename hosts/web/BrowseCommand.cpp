// `lectorin browse`: a browser window whose pages show their embedded documents inline.
#include "hosts/common/PageArguments.h"
#include "hosts/common/WindowCommands.h"
#include "hosts/common/gtk/GtkHost.h"
#include "hosts/web/BrowserWindow.h"

#include <cstdio>
#include <cstdlib>
#include <gtk/gtk.h>

namespace hosts {

int runBrowse(const Options& options)
{
    if (!gtk_init_check()) {
        std::fprintf(stderr,
            "lectorin: 'browse' needs a display (DISPLAY or WAYLAND_DISPLAY); "
            "'lectorin render' draws the page into a PNG instead\n");
        return 1;
    }
    if (options.paper)
        setenv("LECTORIN_PAPER", options.paper->c_str(), 1);
    {
        GtkHost host;
        kit::Host::setCurrent(&host);
        GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
        BrowserWindow window(options.size.value_or(kit::Size { 1024, 768 }), [loop] { g_main_loop_quit(loop); });
        window.open(options.positional.empty() ? defaultPage() : options.positional.front());
        g_main_loop_run(loop);
        g_main_loop_unref(loop);
    }
    kit::Host::setCurrent(nullptr);
    return 0;
}

} // namespace hosts
