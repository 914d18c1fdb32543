#include "hosts/cli/WindowHostLauncher.h"

#include "kit/foundation/HelperProgram.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace hosts {

int execWindowHost(char** argv)
{
    if (auto path = kit::findHelperProgram("LECTORIN_WINDOW_HOST", "lectorin-window")) {
        argv[0] = const_cast<char*>(path->c_str());
        execv(path->c_str(), argv);
        std::fprintf(stderr, "lectorin: cannot start %s: %s\n", path->c_str(), std::strerror(errno));
        return 2;
    }
    std::fprintf(stderr,
        "lectorin: this build has no window host (lectorin-window: GTK 4 was not found when it "
        "was built); 'lectorin render' draws the page into a PNG instead\n");
    return 2;
}

} // namespace hosts
