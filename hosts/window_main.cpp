// `lectorin-window`: the commands that open windows, apart from the headless program so that its start-up
// never pays for GTK and WebKitGTK. `lectorin view|browse ...` replaces itself with this program.
#include "hosts/common/Options.h"
#include "hosts/common/WindowCommands.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    auto parsed = hosts::parseOptions(argc, argv);
    if (!parsed) {
        std::fprintf(stderr, "lectorin: %s (see lectorin --help)\n", errorText(parsed.error()).c_str());
        return 2;
    }
    const hosts::Options& options = *parsed;
    if (options.command == "view")
        return hosts::runView(options);
#ifdef LECTORIN_HAVE_WEB
    if (options.command == "browse")
        return hosts::runBrowse(options);
#endif
    std::fprintf(stderr, "lectorin: '%s' is not a window command of this build (see lectorin --help)\n",
        options.command.c_str());
    return 2;
}
