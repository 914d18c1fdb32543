#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace testsupport {

// A folder under the test's temporary home, created empty, removed with the process's home.
std::filesystem::path temporaryFolder(const std::string& name);

std::vector<std::uint8_t> readFile(const std::filesystem::path& path);
std::string readText(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// A corpus document by file name (../shared/corpus).
std::filesystem::path corpusPath(const std::string& name);
std::vector<std::filesystem::path> corpusFiles(const std::vector<std::string>& extensions);

// Pixels of a PNG, read back with Cairo: 0xAARRGGBB, row-major.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};
Image readPng(const std::filesystem::path& path);

// Runs a command line with /bin/sh, capturing stdout (and stderr when asked); returns the exit status.
int runCommand(const std::string& command, std::string* output, std::string* errors = nullptr);

// piece written count times over: the body of a generated attack document.
std::string repeated(const std::string& piece, std::size_t count);

// What a bounded child process did: whether it ended by itself, what it wrote back, and its peak resident set.
struct ChildOutcome {
    bool exitedNormally = false; // exit status 0, no signal
    int signal = 0; // the signal that ended it, 0 when none
    std::string report; // what the work returned
    long peakResidentKiB = 0; // ru_maxrss of the child
};

// The address space a test lets an attacked import take.
inline constexpr std::size_t kChildAddressSpace = std::size_t(1) << 30;

// Runs work in a forked child with its address space limited to addressSpace bytes, so that a runaway
// allocation ends the child (bad_alloc, abort) rather than the machine. Under AddressSanitizer, which reserves
// terabytes of shadow memory, no limit is set: the caller checks peakResidentKiB instead (hasAddressSpaceLimit
// says which). When cpuSeconds is not 0, the child is also killed (SIGXCPU) after that much processor time:
// the bound that tells work that ends from work that would run for hours. The child must not touch the
// parent's threads; it starts none of its own.
ChildOutcome runBoundedChild(const std::function<std::string()>& work, std::size_t addressSpace = kChildAddressSpace,
    unsigned cpuSeconds = 0);
bool hasAddressSpaceLimit();

} // namespace testsupport
