#include "kit/foundation/RunLoop.h"

#include <glib.h>
#include <memory>

namespace kit {

bool RunLoop::runUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    GMainContext* context = g_main_context_default();
    auto deadline = Clock::now() + bound;
    // A timeout source wakes the iteration at the bound even when nothing else arrives.
    bool timedOut = false;
    guint timeout = g_timeout_add_full(G_PRIORITY_HIGH, guint(std::max<std::int64_t>(0, bound.count())),
        [](gpointer flag) -> gboolean {
            *static_cast<bool*>(flag) = true;
            return G_SOURCE_REMOVE;
        },
        &timedOut, nullptr);
    while (!condition()) {
        if (timedOut || Clock::now() >= deadline)
            break;
        g_main_context_iteration(context, TRUE);
    }
    if (!timedOut)
        g_source_remove(timeout);
    return condition();
}

void RunLoop::drain()
{
    GMainContext* context = g_main_context_default();
    while (g_main_context_iteration(context, FALSE)) { }
}

void RunLoop::post(std::function<void()> work)
{
    auto* heap = new std::function<void()>(std::move(work));
    g_idle_add_full(G_PRIORITY_DEFAULT,
        [](gpointer data) -> gboolean {
            (*static_cast<std::function<void()>*>(data))();
            return G_SOURCE_REMOVE;
        },
        heap, [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

unsigned RunLoop::addTimer(std::chrono::milliseconds interval, std::function<bool()> callback)
{
    auto* heap = new std::function<bool()>(std::move(callback));
    return g_timeout_add_full(G_PRIORITY_DEFAULT, guint(interval.count()),
        [](gpointer data) -> gboolean {
            return (*static_cast<std::function<bool()>*>(data))() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
        },
        heap, [](gpointer data) { delete static_cast<std::function<bool()>*>(data); });
}

void RunLoop::cancelTimer(unsigned id)
{
    if (id)
        g_source_remove(id);
}

} // namespace kit
