#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace kit {

// The one run loop: GLib's default main context. Everything (URL callbacks, timers, host events) is
// dispatched from here, on the main thread.
class RunLoop {
public:
    using Clock = std::chrono::steady_clock;

    // Dispatches events until condition() holds or the bound has passed; returns condition(). Nested calls
    // (a modal panel inside an event handler) are allowed.
    static bool runUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound);
    // Dispatches whatever is ready now without waiting.
    static void drain();
    // Calls work on a later turn of the loop.
    static void post(std::function<void()> work);
    // A repeating timer; the callback returns false to stop. Returns an id for cancelTimer.
    static unsigned addTimer(std::chrono::milliseconds interval, std::function<bool()> callback);
    static void cancelTimer(unsigned id);
};

} // namespace kit
