#include "hosts/cli/Cli.h"

#include <cstdio>
#include <cstdlib>
#include <malloc.h>

int main(int argc, char** argv)
{
    // One heap for every thread. A command imports on a worker and then lays out and writes on this
    // thread: with a heap per thread, what the import freed stays with the worker's heap, unused, while
    // this thread's grows anew (8 MB more at the peak of printing a 200-page document).
    mallopt(M_ARENA_MAX, 1);
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
