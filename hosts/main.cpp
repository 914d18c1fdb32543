#include "hosts/cli/Cli.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv)
{
    int status = hosts::runCommandLine(argc, argv);
    // What the command made is written and closed by now. An import it no longer wants, still running on a
    // worker until its next look at the stop token, and the teardown of the static objects would only
    // delay the end: the process ends here, its streams flushed. Sanitizer builds end the usual way, so
    // that they check the teardown too.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    std::fflush(nullptr);
    std::_Exit(status);
#else
    return status;
#endif
}
