#include "support/TestSupport.h"

#include "support/GoldenFile.h"
#include "support/PngBytes.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <cairo.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

std::filesystem::path temporaryFolder(const std::string& name)
{
    const char* home = std::getenv("HOME");
    std::filesystem::path path = std::filesystem::path(home ? home : "/tmp") / name;
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path;
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

std::string readText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

void writeFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

namespace {

std::string encodedPng(cairo_surface_t* surface)
{
    std::string bytes;
    cairo_surface_write_to_png_stream(
        surface,
        [](void* closure, const unsigned char* data, unsigned int length) {
            static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
            return CAIRO_STATUS_SUCCESS;
        },
        &bytes);
    cairo_surface_destroy(surface);
    return bytes;
}

} // namespace

std::string pngBytes(int width, int height)
{
    return encodedPng(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
}

std::string pngBytes(int width, int height, double red, double green, double blue)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* context = cairo_create(surface);
    cairo_set_source_rgb(context, red, green, blue);
    cairo_paint(context);
    cairo_destroy(context);
    return encodedPng(surface);
}

void expectMatchesGolden(const std::string& dump, const std::filesystem::path& relativePath)
{
    std::filesystem::path golden = std::filesystem::path(LECTORIN_SOURCE_DIR) / relativePath;
    const char* update = std::getenv("LECTORIN_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::filesystem::create_directories(golden.parent_path());
        writeFile(golden, dump);
        return;
    }
    ASSERT_TRUE(std::filesystem::exists(golden)) << golden << " is missing; run with LECTORIN_UPDATE_GOLDEN=1 and review it";
    std::string expected = readText(golden);
    if (expected == dump)
        return;
    std::size_t line = 1, i = 0;
    while (i < expected.size() && i < dump.size() && expected[i] == dump[i])
        line += expected[i++] == '\n';
    auto lineAt = [](const std::string& text, std::size_t at) {
        std::size_t start = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
        start = start == std::string::npos ? 0 : start + 1;
        return text.substr(start, text.find('\n', start) - start);
    };
    ADD_FAILURE() << golden.filename() << ": first difference at line " << line << "\n  golden: " << lineAt(expected, i)
                  << "\n  now:    " << lineAt(dump, i);
}

std::filesystem::path corpusPath(const std::string& name)
{
    return std::filesystem::path(LECTORIN_CORPUS_DIR) / name;
}

std::vector<std::filesystem::path> corpusFiles(const std::vector<std::string>& extensions)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(LECTORIN_CORPUS_DIR)) {
        std::string ext = entry.path().extension().string();
        if (!ext.empty())
            ext.erase(0, 1);
        if (std::find(extensions.begin(), extensions.end(), ext) != extensions.end())
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

Image readPng(const std::filesystem::path& path)
{
    Image image;
    cairo_surface_t* surface = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS) {
        cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32,
            cairo_image_surface_get_width(surface), cairo_image_surface_get_height(surface));
        cairo_t* cr = cairo_create(argb);
        cairo_set_source_surface(cr, surface, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_flush(argb);
        image.width = cairo_image_surface_get_width(argb);
        image.height = cairo_image_surface_get_height(argb);
        int stride = cairo_image_surface_get_stride(argb);
        const unsigned char* data = cairo_image_surface_get_data(argb);
        image.pixels.resize(std::size_t(image.width) * image.height);
        for (int y = 0; y < image.height; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride);
            std::copy(row, row + image.width, image.pixels.begin() + std::size_t(y) * image.width);
        }
        cairo_surface_destroy(argb);
    }
    cairo_surface_destroy(surface);
    return image;
}

int runCommand(const std::string& command, std::string* output, std::string* errors)
{
    std::string line = command;
    std::filesystem::path errorFile;
    if (errors) {
        errorFile = temporaryFolder("cmd-stderr") / "err";
        line += " 2>" + errorFile.string();
    }
    FILE* pipe = popen(line.c_str(), "r");
    if (!pipe)
        return -1;
    std::string captured;
    char buffer[4096];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        captured.append(buffer, n);
    int status = pclose(pipe);
    if (output)
        *output = captured;
    if (errors)
        *errors = readText(errorFile);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string repeated(const std::string& piece, std::size_t count)
{
    std::string out;
    out.reserve(piece.size() * count);
    for (std::size_t i = 0; i < count; ++i)
        out += piece;
    return out;
}

bool hasAddressSpaceLimit()
{
#if defined(__SANITIZE_ADDRESS__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}

ChildOutcome runBoundedChild(const std::function<std::string()>& work, std::size_t addressSpace, unsigned cpuSeconds)
{
    ChildOutcome outcome;
    int channel[2];
    if (pipe(channel) != 0)
        return outcome;
    std::fflush(nullptr);
    pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        if (hasAddressSpaceLimit()) {
            rlimit limit { addressSpace, addressSpace };
            setrlimit(RLIMIT_AS, &limit);
        }
        if (cpuSeconds) {
            rlimit limit { cpuSeconds, cpuSeconds };
            setrlimit(RLIMIT_CPU, &limit);
        }
        std::string report = work();
        for (std::size_t written = 0; written < report.size();) {
            ssize_t n = write(channel[1], report.data() + written, report.size() - written);
            if (n <= 0)
                _exit(3);
            written += std::size_t(n);
        }
        close(channel[1]);
        _exit(0);
    }
    close(channel[1]);
    if (child < 0) {
        close(channel[0]);
        return outcome;
    }
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        outcome.report.append(buffer, std::size_t(n));
    close(channel[0]);
    int status = 0;
    rusage usage {};
    while (wait4(child, &status, 0, &usage) < 0 && errno == EINTR) { }
    outcome.exitedNormally = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    outcome.peakResidentKiB = usage.ru_maxrss;
    return outcome;
}

} // namespace testsupport
