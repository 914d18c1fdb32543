#pragma once

#include <optional>

namespace kit {

// The current date as the system's dates count it: seconds since 2001-01-01 00:00:00 UTC.
class Clock {
public:
    // The reference date's distance from the Unix epoch, in seconds.
    static constexpr double kSecondsFrom1970To2001 = 978307200.0;

    static double now();
    // While set, now() returns this instant instead of the system clock, so that tests can pin schedules.
    static void setFixedNow(std::optional<double> secondsSince2001);
};

} // namespace kit
