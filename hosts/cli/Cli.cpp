#include "hosts/cli/Cli.h"

#include "hosts/cli/Commands.h"
#include "hosts/cli/WindowHostLauncher.h"
#include "hosts/common/Options.h"
#include "kit/foundation/RunLoop.h"
#include "plugin/NRVLectorin.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace hosts {

namespace {

struct Command {
    const char* name;
    const char* usage;
    const char* summary;
    int (*run)(const Options&); // null: a window command, run by the window host program
};

const Command kCommands[] = {
    { "render", "[PAGE] [-o OUT.png] [--size WxH] [--embed N] [--pages N|A-B] [--layout document|printer] [--window preferences|about]",
        "draw the plug-in's box (or one PNG per page)", runRender },
    { "info", "[PAGE]", "one JSON line per embedded document", runInfo },
    { "text", "[PAGE] [--embed N]", "the imported text as plain UTF-8", runText },
    { "print", "[PAGE] -o OUT.pdf", "print the document to a PDF", runPrint },
    { "save", "[PAGE] -o PATH", "save the downloaded file unchanged", runSave },
    { "find", "[PAGE] TEXT [--previous] [-o OUT.png]", "find text, list the matches", runFind },
    { "view", "[PAGE] [--embed N] [--size WxH]", "show one embedded document (or a document) in a window", nullptr },
    { "browse", "[URL|PATH] [--size WxH]", "a web browser window: pages with their documents inline", nullptr },
    { "defaults", "read|write|delete [KEY [VALUE]]", "read, write or delete the preferences", runDefaults },
    { "check-update", "[--answer KEY|TITLE]", "run the update check now", runCheckUpdate },
    { "prefs", "[--color R,G,B[,A]] [--auto-update on|off]", "drive the preferences window's controls", runPrefs },
};

void printHelp()
{
    std::printf("usage: lectorin COMMAND [PAGE] [OPTIONS]\n\n"
                "PAGE is a document or a web page embedding documents, as a path or a URL;\n"
                "without it, the bundled sample page.\n\ncommands:\n");
    for (const auto& command : kCommands)
        std::printf("  %-13s%s\n      lectorin %s %s\n", command.name, command.summary, command.name, command.usage);
    std::printf(
        "\ncommon options:\n"
        "  --size WxH              the window (full-page document, default 900x1100) or the page's viewport\n"
        "  --embed N               the Nth embedded document of a page (1-based)\n"
        "  --document              show PAGE itself as a document, even when it is a web page\n"
        "  --zoom-step N           zoom step 0-9 (4 is 100 %%), reached with zoom in/out\n"
        "  --scroll X,Y            a scroll origin proposed to the clip view\n"
        "  --display WxH@MMxMM     the main display (pixels and millimetres); none by default\n"
        "  --paper letter|a4|WxH   the paper of the print settings (points)\n"
        "  --layout document|printer  the document's own pages or the printer's paper (render, info,\n"
        "                          print, find; default: the Page Layout preference)\n"
        "  --timeout S             seconds to wait for documents (default 60)\n"
        "  --help, --version       this text, or the version\n"
        "\nexit status: 0 when every document loaded, 1 when one failed or none was found, 2 for usage errors\n"
        "\nfiles:\n"
        "  $XDG_CONFIG_HOME/org.nrv.internet-plugin.word.plist  the preferences (~/.config when unset)\n"
        "  $XDG_STATE_HOME/lectorin/reading.state  what 'view' remembers: each document's zoom and place,\n"
        "      and the documents opened recently (~/.local/state when unset)\n");
}

} // namespace

int runCommandLine(int argc, char** argv)
{
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "help")) {
        printHelp();
        return argc < 2 ? 2 : 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::printf("lectorin %s\n", versionString().c_str());
        return 0;
    }
    auto parsed = parseOptions(argc, argv);
    if (!parsed) {
        std::fprintf(stderr, "lectorin: %s (see lectorin --help)\n", errorText(parsed.error()).c_str());
        return 2;
    }
    const Options& options = *parsed;
    for (const auto& command : kCommands) {
        if (options.command == command.name) {
            if (!command.run)
                return execWindowHost(argv);
            int status = command.run(options);
            // A view's automatic update check answers on the run loop; the program says what it found and
            // schedules the next check before it ends, as it would have before the page was closed.
            kit::RunLoop::runUntil([] { return !NRVLectorin::versionCheckInProgress(); }, std::chrono::seconds(90));
            return status;
        }
    }
    std::fprintf(stderr, "lectorin: unknown command '%s' (see lectorin --help)\n", options.command.c_str());
    return 2;
}

} // namespace hosts
