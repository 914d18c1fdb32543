#pragma once

#include "kit/foundation/Format.h"

#include <string>
#include <string_view>
#include <vector>

namespace kit {

// One line in the system log (syslog, identity "lectorin") and on standard error, for the few failures
// the system reports that way. Arguments fill "%@" placeholders; an absent one prints "(null)".
class Log {
public:
    template <typename... Args> static void line(std::string_view format, const Args&... args)
    {
        write(formatString(format, { formatArgument(args)... }));
    }
    static void write(const std::string& line);

    // While set, lines are appended here instead of reaching standard error and the system log, so that
    // tests neither spam the machine's log nor miss a line. nullptr ends the capture.
    static void setCaptureForTesting(std::vector<std::string>* lines);
};

} // namespace kit
