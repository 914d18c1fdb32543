#include "hosts/cli/WindowHostLauncher.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>
#include <vector>

namespace hosts {

namespace {

std::vector<std::filesystem::path> candidates()
{
    std::vector<std::filesystem::path> paths;
    if (const char* named = std::getenv("LECTORIN_WINDOW_HOST"); named && *named)
        paths.emplace_back(named);
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        paths.push_back(self.parent_path() / "lectorin-window");
        paths.push_back(self.parent_path().parent_path() / "libexec" / "lectorin" / "lectorin-window");
    }
    return paths;
}

} // namespace

int execWindowHost(char** argv)
{
    for (const auto& path : candidates()) {
        if (access(path.c_str(), X_OK) != 0)
            continue;
        argv[0] = const_cast<char*>(path.c_str());
        execv(path.c_str(), argv);
        std::fprintf(stderr, "lectorin: cannot start %s: %s\n", path.c_str(), std::strerror(errno));
        return 2;
    }
    std::fprintf(stderr,
        "lectorin: this build has no window host (lectorin-window: GTK 4 was not found when it "
        "was built); 'lectorin render' draws the page into a PNG instead\n");
    return 2;
}

} // namespace hosts
