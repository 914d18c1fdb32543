#include "kit/foundation/FileDescriptor.h"

#include <cerrno>
#include <unistd.h>

namespace kit {

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileDescriptor::close()
{
    int fd = m_fd;
    m_fd = -1;
    return fd < 0 || ::close(fd) == 0;
}

bool writeAll(int fd, std::string_view bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        written += std::size_t(put);
    }
    return true;
}

std::optional<std::string> readAll(int fd, std::size_t limit)
{
    std::string bytes;
    char buffer[65536];
    while (bytes.size() <= limit) {
        ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            break;
        bytes.append(buffer, std::size_t(got));
    }
    return bytes;
}

} // namespace kit
