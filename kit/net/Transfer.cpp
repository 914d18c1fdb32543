#include "kit/net/Transfer.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace kit {

namespace {

// "256 MB" for whole binary megabytes, else bytes.
std::string sizeDescription(std::size_t bytes)
{
    constexpr std::size_t kMegabyte = std::size_t(1) << 20;
    return bytes % kMegabyte == 0 && bytes ? std::to_string(bytes / kMegabyte) + " MB"
                                           : std::to_string(bytes) + " bytes";
}

} // namespace

Error dataLengthExceedsMaximumError(const URL& url, std::size_t maximum)
{
    return Error::urlError(URLErrorCode::DataLengthExceedsMaximum, url.absoluteString(),
        { { LocalizedDescriptionKey, "The document is larger than " + sizeDescription(maximum) + "." } });
}

std::optional<URLErrorCode> localFileProblem(const URL& url)
{
    std::string path = url.fileSystemPath();
    if (path.empty())
        return std::nullopt;
    struct stat status;
    if (stat(path.c_str(), &status) != 0)
        return errno == EACCES ? URLErrorCode::NoPermissionsToReadFile : URLErrorCode::FileDoesNotExist;
    if (S_ISDIR(status.st_mode))
        return URLErrorCode::FileIsDirectory;
    if (access(path.c_str(), R_OK) != 0)
        return URLErrorCode::NoPermissionsToReadFile;
    return std::nullopt;
}

} // namespace kit
