#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace importer::sandbox {

// What a child may use. The address-space limit is left off in sanitizer builds, whose shadow memory
// needs far more address space than any document.
struct ChildLimits {
    std::size_t addressSpaceBytes = std::size_t(1) << 30;
    unsigned cpuSeconds = 30;
    std::chrono::milliseconds wallTime { 45000 };
    std::size_t maximumOutputBytes = std::size_t(640) << 20;
};

enum class ChildOutcome {
    Exited, // exitStatus says how
    Signalled, // a crash, an abort or the CPU limit: signal says which
    TimedOut, // killed at the wall-time deadline
    OutputTooLarge, // killed when its output passed the maximum
    CannotStart,
};

struct ChildResult {
    ChildOutcome outcome = ChildOutcome::CannotStart;
    int exitStatus = -1;
    int signal = 0;
    std::string output; // everything read from its stdout, also when it ended badly
};

// Runs argv[0] (a path, not searched for) with the input on its stdin and its stdout collected, under the
// limits; its stderr goes to /dev/null unless keepErrors. Nothing it does can end this process: the pipes
// are sockets written without SIGPIPE, and the child is killed and reaped before this returns.
ChildResult runChild(const std::vector<std::string>& argv, std::span<const std::uint8_t> input,
    const ChildLimits& limits, bool keepErrors = false);

} // namespace importer::sandbox
