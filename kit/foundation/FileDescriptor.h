#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kit {

// Sole ownership of a file descriptor: closed on every path out of a scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now and reports whether the close succeeded (it can report a delayed write error).
    bool close();

private:
    int m_fd;
};

// Writes every byte, again after a signal interrupts a write; false once the descriptor takes no more.
bool writeAll(int fd, std::string_view bytes);

// Reads to the end, again after a signal interrupts a read; nullopt on a read error. Stops once more than
// limit bytes have come, so that a caller can tell too much from exactly enough.
std::optional<std::string> readAll(int fd, std::size_t limit);

} // namespace kit
