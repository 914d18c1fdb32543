#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>
#include <unistd.h>

namespace kit {

// The first executable of the programs Lectorin runs beside itself: the one the environment variable
// names, else `name` beside the running executable, else in ../libexec/lectorin/ (an installed prefix).
inline std::optional<std::filesystem::path> findHelperProgram(const char* environmentVariable, std::string_view name)
{
    std::optional<std::filesystem::path> candidates[3];
    if (const char* named = std::getenv(environmentVariable); named && *named)
        candidates[0] = named;
    std::error_code error;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        candidates[1] = self.parent_path() / name;
        candidates[2] = self.parent_path().parent_path() / "libexec" / "lectorin" / name;
    }
    for (const auto& path : candidates) {
        if (path && access(path->c_str(), X_OK) == 0)
            return path;
    }
    return std::nullopt;
}

} // namespace kit
