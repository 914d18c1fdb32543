#include "kit/foundation/Clock.h"

#include <chrono>

namespace kit {

namespace {
std::optional<double> s_fixedNow;
}

double Clock::now()
{
    if (s_fixedNow)
        return *s_fixedNow;
    auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(sinceEpoch).count() - kSecondsFrom1970To2001;
}

void Clock::setFixedNow(std::optional<double> secondsSince2001) { s_fixedNow = secondsSince2001; }

} // namespace kit
