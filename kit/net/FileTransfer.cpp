#include "kit/net/FileTransfer.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kit {

namespace {

// What one turn of the run loop reads: large enough that a document of a few megabytes takes a few turns,
// small enough that a turn stays short on a slow disk.
constexpr std::size_t kPieceLength = 1 << 20;

} // namespace

bool FileTransfer::handles(const URL& url) { return url.isFileURL() && !url.fileSystemPath().empty(); }

FileTransfer::~FileTransfer()
{
    if (m_source)
        g_source_remove(m_source);
}

bool FileTransfer::start()
{
    // The first piece is read on the next turn, as a load over the network reports nothing from start().
    m_source = g_idle_add_full(G_PRIORITY_DEFAULT, readFromRunLoop, this, nullptr);
    return true;
}

gboolean FileTransfer::readFromRunLoop(gpointer opaque)
{
    auto* transfer = static_cast<FileTransfer*>(opaque);
    if (transfer->readPiece())
        return G_SOURCE_CONTINUE;
    transfer->m_source = 0;
    return G_SOURCE_REMOVE;
}

void FileTransfer::fail(Error error)
{
    m_file.reset();
    m_sink.transferDidFail(std::move(error));
}

bool FileTransfer::readPiece()
{
    const URL& url = m_request.url();
    if (!m_file) {
        if (auto problem = localFileProblem(url)) {
            fail(Error::urlError(*problem, url.absoluteString()));
            return false;
        }
        int fd = open(url.fileSystemPath().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            fail(Error::urlError(localFileProblem(url).value_or(URLErrorCode::FileDoesNotExist), url.absoluteString()));
            return false;
        }
        m_file = std::make_unique<FileDescriptor>(fd);
        struct stat status;
        if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
            m_length = status.st_size;
        if (m_length > 0 && std::size_t(m_length) > m_request.maximumBodyLength()) {
            fail(dataLengthExceedsMaximumError(url, m_request.maximumBodyLength()));
            return false;
        }
    }
    std::vector<std::uint8_t> piece(kPieceLength);
    ssize_t count;
    do
        count = read(m_file->get(), piece.data(), piece.size());
    while (count < 0 && errno == EINTR);
    if (count < 0) {
        fail(Error::urlError(URLErrorCode::Unknown, url.absoluteString(),
            { { UnderlyingErrorDescriptionKey, std::string("read failed: ") + g_strerror(errno) } }));
        return false;
    }
    // The response comes with the first bytes, or at the end of an empty file.
    if (!m_didReportResponse) {
        m_didReportResponse = true;
        m_sink.transferDidReceiveResponse(URLResponse::fileResponse(url, m_length));
    }
    if (count == 0) {
        m_file.reset();
        m_sink.transferDidFinish();
        return false;
    }
    // A file that grows while it is read is held to the maximum too.
    if (std::size_t(count) > m_request.maximumBodyLength() - m_received) {
        fail(dataLengthExceedsMaximumError(url, m_request.maximumBodyLength()));
        return false;
    }
    m_received += std::size_t(count);
    m_sink.transferDidReceiveData({ piece.data(), std::size_t(count) });
    return true;
}

} // namespace kit
