// `view` needs the GTK window host. A build without GTK keeps every headless command and says why this one
// cannot run, instead of failing to link.
#ifndef LECTORIN_HAVE_GTK

#include "hosts/common/WindowCommands.h"

#include <cstdio>

namespace hosts {

int runView(const Options&)
{
    std::fprintf(stderr, "lectorin: this build has no window host (GTK 4 was not found when it was built); "
                         "'lectorin render' draws the page into a PNG instead\n");
    return 2;
}

} // namespace hosts

#endif
