#include "kit/foundation/Log.h"

#include <cstdio>
#include <syslog.h>

namespace kit {

namespace {
std::vector<std::string>* s_capture = nullptr;
}

void Log::write(const std::string& line)
{
    if (s_capture) {
        s_capture->push_back(line);
        return;
    }
    static bool opened = false;
    if (!opened) {
        openlog("lectorin", LOG_PID, LOG_USER);
        opened = true;
    }
    syslog(LOG_NOTICE, "%s", line.c_str());
    // One write per line, so that lines from several processes sharing standard error do not interleave.
    std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

void Log::setCaptureForTesting(std::vector<std::string>* lines) { s_capture = lines; }

} // namespace kit
