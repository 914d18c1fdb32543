#include "GtkTestSupport.h"

#include "kit/foundation/RunLoop.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace gtktest {

namespace {

struct XServer {
    pid_t pid = -1;
    DisplaySettings settings;
    bool started = false;
    std::string failure;
    ~XServer()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
        }
    }
};

XServer& server()
{
    static XServer instance;
    return instance;
}

bool launchXvfb(const DisplaySettings& settings, std::string& display, std::string& failure)
{
    int fds[2];
    if (pipe(fds) != 0) {
        failure = "no pipe for Xvfb";
        return false;
    }
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) {
        failure = "cannot fork for Xvfb";
        return false;
    }
    if (pid == 0) {
        // The server dies with the test process, however that ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(1);
        close(fds[0]);
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        std::string fd = std::to_string(fds[1]);
        std::string screen = std::to_string(settings.width) + "x" + std::to_string(settings.height) + "x24";
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp", "-noreset",
            static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    server().pid = pid;
    std::string number;
    auto deadline = std::chrono::steady_clock::now() + 15s;
    while (number.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0)
            break;
        pollfd p { fds[0], POLLIN, 0 };
        if (poll(&p, 1, int(left)) <= 0)
            break;
        char buffer[32];
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, std::size_t(n));
    }
    close(fds[0]);
    if (number.find('\n') == std::string::npos) {
        int status = 0;
        failure = waitpid(pid, &status, WNOHANG) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 127
            ? "Xvfb is not installed (scripts/install-deps installs it)"
            : "Xvfb did not start";
        return false;
    }
    display = ":" + number.substr(0, number.find('\n'));
    return true;
}

} // namespace

bool startDisplay(const DisplaySettings& settings, std::string* reason)
{
    XServer& x = server();
    if (x.started) {
        bool same = x.settings.width == settings.width && x.settings.height == settings.height && x.settings.scale == settings.scale;
        if (!same && reason)
            *reason = "this process already runs a display with other settings (run each test in its own process, as ctest does)";
        return same;
    }
    if (!x.failure.empty()) {
        if (reason)
            *reason = x.failure;
        return false;
    }
    std::string display;
    if (!launchXvfb(settings, display, x.failure)) {
        if (reason)
            *reason = x.failure;
        return false;
    }
    setenv("DISPLAY", display.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    setenv("GDK_BACKEND", "x11", 1);
    setenv("GSK_RENDERER", "cairo", 1);
    // The cairo renderer needs no OpenGL; without this GDK still probes it, loading and unloading Mesa's
    // software driver, which leaves allocations that no stack can name any more.
    setenv("GDK_DEBUG", "gl-disable", 1);
    setenv("GDK_SCALE", std::to_string(settings.scale).c_str(), 1);
    // No accessibility bus, no desktop settings daemon, no virtual file systems: nothing outside the test.
    setenv("GTK_A11Y", "none", 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GSETTINGS_BACKEND", "memory", 1);
    setenv("GIO_USE_VFS", "local", 1);
    setenv("GTK_USE_PORTAL", "0", 1);
    if (!gtk_init_check()) {
        x.failure = "GTK cannot open the display " + display;
        if (reason)
            *reason = x.failure;
        return false;
    }
    x.settings = settings;
    x.started = true;
    return true;
}

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    return kit::RunLoop::runUntil(condition, bound);
}

bool waitForPaints(GtkWidget* widget, int count, std::chrono::milliseconds bound)
{
    GdkFrameClock* clock = gtk_widget_get_frame_clock(widget);
    if (!clock)
        return false;
    int painted = 0;
    gulong handler = g_signal_connect(clock, "after-paint", G_CALLBACK(+[](GdkFrameClock*, int* painted) { ++*painted; }), &painted);
    bool done = true;
    // A frame is painted only when something asks for one: each paint waited for is asked for.
    for (int frame = 0; frame < count && done; ++frame) {
        int before = painted;
        gtk_widget_queue_draw(widget);
        done = waitUntil([&] { return painted > before; }, bound);
    }
    g_signal_handler_disconnect(clock, handler);
    return done;
}

Frame renderWidget(GtkWidget* widget)
{
    Frame frame;
    GtkNative* native = gtk_widget_get_native(widget);
    GskRenderer* renderer = native ? gtk_native_get_renderer(native) : nullptr;
    int width = gtk_widget_get_width(widget), height = gtk_widget_get_height(widget);
    if (!renderer || width <= 0 || height <= 0)
        return frame;
    GdkPaintable* paintable = gtk_widget_paintable_new(widget);
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gdk_paintable_snapshot(paintable, GDK_SNAPSHOT(snapshot), width, height);
    GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
    g_object_unref(paintable);
    if (!node)
        return frame;
    graphene_rect_t bounds = GRAPHENE_RECT_INIT(0, 0, float(width), float(height));
    GdkTexture* texture = gsk_renderer_render_texture(renderer, node, &bounds);
    gsk_render_node_unref(node);
    frame.width = gdk_texture_get_width(texture);
    frame.height = gdk_texture_get_height(texture);
    frame.pixels.resize(std::size_t(frame.width) * std::size_t(frame.height));
    gdk_texture_download(texture, reinterpret_cast<guchar*>(frame.pixels.data()), std::size_t(frame.width) * 4);
    g_object_unref(texture);
    return frame;
}

bool isColor(std::uint32_t pixel, float r, float g, float b, int tolerance)
{
    return std::abs(red(pixel) - int(r * 255 + 0.5f)) <= tolerance && std::abs(green(pixel) - int(g * 255 + 0.5f)) <= tolerance
        && std::abs(blue(pixel) - int(b * 255 + 0.5f)) <= tolerance;
}

GtkWindow* findToplevel(const std::function<bool(GtkWindow*)>& matches)
{
    GtkWindow* found = nullptr;
    GList* toplevels = gtk_window_list_toplevels();
    for (GList* item = toplevels; item && !found; item = item->next) {
        auto* window = GTK_WINDOW(item->data);
        if (gtk_widget_get_visible(GTK_WIDGET(window)) && matches(window))
            found = window;
    }
    g_list_free(toplevels);
    return found;
}

GtkWindow* waitForToplevel(const std::function<bool(GtkWindow*)>& matches, std::chrono::milliseconds bound)
{
    GtkWindow* found = nullptr;
    waitUntil([&] { return (found = findToplevel(matches)) != nullptr; }, bound);
    return found;
}

bool pressKey(GtkEventController* controller, unsigned keyval, GdkModifierType state)
{
    gboolean handled = FALSE;
    g_signal_emit_by_name(controller, "key-pressed", keyval, 0u, state, &handled);
    return handled;
}

} // namespace gtktest
