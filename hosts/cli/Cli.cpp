#include "hosts/cli/Cli.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace hosts {

namespace {

struct Command {
    const char* name;
    const char* summary;
    bool built;
};

const Command kCommands[] = {
    { "render", "draw the plug-in's box (or its pages) to PNG", false },
    { "info", "one JSON line per embedded document", false },
    { "text", "the imported text as plain UTF-8", false },
    { "print", "print the document to PDF", false },
    { "save", "save the downloaded file unchanged", false },
    { "find", "find text and list the matches", false },
    { "view", "show the page in a window", false },
    { "defaults", "read, write or delete preferences", false },
    { "check-update", "run the update check now", false },
    { "prefs", "drive the preferences window's controls", false },
};

void printHelp()
{
    std::printf("usage: lectorin COMMAND [PAGE] [OPTIONS]\n\ncommands:\n");
    for (const auto& command : kCommands)
        std::printf("  %-13s%s%s\n", command.name, command.summary, command.built ? "" : " (not built yet)");
    std::printf("\n  --help       this text\n  --version    the version\n");
}

} // namespace

int runCommandLine(int argc, char** argv)
{
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h")) {
        printHelp();
        return argc < 2 ? 2 : 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::printf("lectorin 1.0.0\n");
        return 0;
    }
    std::fprintf(stderr, "lectorin: unknown or unbuilt command '%s'\n", argv[1]);
    return 2;
}

} // namespace hosts
