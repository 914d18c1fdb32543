#include "plugin/AtomicFile.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

bool writeFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes, unsigned mode)
{
    if (path.empty() || path.back() == '/')
        return false;
    auto slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : path.substr(0, slash));
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // The folder must exist and be a folder: rename would otherwise fail late, or root could write
    // into what is really a file's place.
    struct stat info;
    if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    std::string temporary = folder + "/." + name + ".XXXXXX";
    int fd = mkstemp(temporary.data());
    if (fd < 0)
        return false;
    bool ok = true;
    std::size_t written = 0;
    while (ok && written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            written += std::size_t(n);
    }
    // mkstemp makes the file private; by default it gets the permissions any new file would.
    mode_t mask = umask(0);
    umask(mask);
    ok = ok && fchmod(fd, mode_t(mode) & 0777 & ~mask) == 0 && fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok)
        ok = ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        ::close(dir);
    }
    return true;
}
