// `lectorin view`: the pages in GTK windows, until the last window closes.
#include "hosts/common/WindowCommands.h"
#include "hosts/common/gtk/GtkHost.h"
#include "hosts/gtk/ReadingState.h"
#include "hosts/gtk/ViewerSession.h"

#include <cstdio>
#include <cstdlib>
#include <csignal>
#include <glib-unix.h>
#include <gtk/gtk.h>

namespace hosts {

int runView(const Options& options)
{
    if (!gtk_init_check()) {
        std::fprintf(stderr, "lectorin: 'view' needs a display (DISPLAY or WAYLAND_DISPLAY); "
                             "'lectorin render' draws the page into a PNG instead\n");
        return 1;
    }
    if (options.paper)
        setenv("LECTORIN_PAPER", options.paper->c_str(), 1);
    DocumentWindow::Settings settings;
    if (options.size)
        settings.contentSize = *options.size;
    settings.embed = options.embed;
    settings.forceDocument = options.forceDocument;
    // Only this command remembers where the reader was; it outlives the session's windows.
    ReadingState state(ReadingState::defaultFile());
    settings.readingState = &state;

    bool hadErrors = false;
    {
        GtkHost host;
        kit::Host::setCurrent(&host);
        ViewerSession session(host, options.positional, settings);
        GMainLoop* loop = g_main_loop_new(nullptr, FALSE);
        session.setOverHandler([loop] { g_main_loop_quit(loop); });
        // Ended from outside (a logout, kill, Ctrl+C in the terminal), the windows still close as the user
        // would close them, so each document's place is remembered.
        guint signalSources[3] = {};
        int signals[3] = { SIGTERM, SIGINT, SIGHUP };
        for (int i = 0; i < 3; ++i) {
            signalSources[i] = g_unix_signal_add(signals[i], +[](gpointer data) -> gboolean {
                g_main_loop_quit(static_cast<GMainLoop*>(data));
                return G_SOURCE_CONTINUE;
            }, loop);
        }
        if (!session.isOver())
            g_main_loop_run(loop);
        for (guint source : signalSources)
            g_source_remove(source);
        g_main_loop_unref(loop);
        hadErrors = session.hadErrors();
    }
    kit::Host::setCurrent(nullptr);
    return hadErrors ? 1 : 0;
}

} // namespace hosts
