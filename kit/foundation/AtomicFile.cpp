#include "kit/foundation/AtomicFile.h"

#include "kit/foundation/FileDescriptor.h"

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace kit {

bool writeFileAtomically(const std::string& path, std::string_view bytes, unsigned mode)
{
    if (path.empty() || path.back() == '/')
        return false;
    auto slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string(".") : (slash == 0 ? std::string("/") : path.substr(0, slash));
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // The folder must exist and be a folder: rename would otherwise fail late, or root could write
    // into what is really a file's place.
    struct stat info;
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    std::string temporary = folder + "/." + name + ".XXXXXX";
    // Close-on-exec: a helper process started meanwhile must not hold the half-written file open.
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return false;
    // mkostemp makes the file private; by default it gets the permissions any new file would.
    mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = writeAll(fd.get(), bytes) && ::fchmod(fd.get(), mode_t(mode) & 0777 & ~mask) == 0 && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    FileDescriptor directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.get() >= 0)
        ::fsync(directory.get());
    return true;
}

} // namespace kit
