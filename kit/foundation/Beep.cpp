#include "kit/foundation/Beep.h"

namespace kit {

namespace {
std::function<void()>& handler()
{
    static auto* installed = new std::function<void()>; // lives as long as the process
    return *installed;
}
int s_beepCount = 0;
} // namespace

void beep()
{
    ++s_beepCount;
    if (handler())
        handler()();
}

void setBeepHandler(std::function<void()> newHandler) { handler() = std::move(newHandler); }
int beepCount() { return s_beepCount; }
void resetBeepCountForTesting() { s_beepCount = 0; }

} // namespace kit
