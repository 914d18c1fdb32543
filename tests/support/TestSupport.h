#pragma once

#include <cstdint>
#include <filesystem>
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

} // namespace testsupport
