#pragma once

#include "kit/foundation/Result.h"
#include "kit/geometry/Geometry.h"

#include <optional>
#include <string>
#include <vector>

namespace hosts {

// The command line of `lectorin`: a command, then PAGE and options in any order.
struct Options {
    std::string command;
    std::vector<std::string> positional; // PAGE, then command arguments (find's TEXT, defaults' verb...)
    std::string output; // -o
    std::optional<kit::Size> size; // --size WxH
    int embed = 1; // --embed N, 1-based
    std::optional<std::pair<int, int>> pages; // --pages N or A-B, 1-based, inclusive
    double timeoutSeconds = 60;
    std::optional<int> zoomStep; // --zoom-step N (0-9)
    std::optional<kit::Point> scroll; // --scroll X,Y
    std::optional<std::string> display; // --display WxH@MMxMM
    std::optional<std::string> paper; // --paper letter|a4|WxH
    std::optional<std::string> layout; // --layout document|printer
    bool forceDocument = false; // --document
    bool previous = false; // --previous
    std::string window; // --window preferences|about
    std::vector<std::string> answers; // --answer KEY|TITLE (repeatable)
    std::optional<std::string> color; // --color R,G,B[,A]
    std::optional<std::string> autoUpdate; // --auto-update on|off
    std::vector<std::string> defaultsArguments; // `defaults` takes its own typed arguments
    std::vector<std::string> defaultsWords; // `defaults`: every argument after the command, in order
};

// Why a command line does not parse: no command, an option without a value of its kind, or an option we
// do not know. option names the option ("-o" for --output too).
enum class OptionError : std::uint8_t { NoCommand, NeedsValue, UnknownOption };
struct OptionFailure {
    OptionError error = OptionError::NoCommand;
    std::string option;
};
// The usage error as the command line prints it: "no command", "--pages needs N or A-B", "unknown option -x".
std::string errorText(const OptionFailure& failure);

// Parses argv (argv[1] is the command).
kit::Result<Options, OptionFailure> parseOptions(int argc, char** argv);

} // namespace hosts
