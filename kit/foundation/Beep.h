#pragma once

#include <functional>

namespace kit {

// The system's alert sound, for failures the user should notice without a message (a failed save).
// The host plays it; without a handler a beep is counted and nothing else happens.
void beep();
void setBeepHandler(std::function<void()> handler);
int beepCount();
void resetBeepCountForTesting();

} // namespace kit
