#pragma once

#include "kit/foundation/FileDescriptor.h"
#include "kit/net/Transfer.h"
#include "kit/net/URLRequest.h"

#include <glib.h>
#include <memory>

namespace kit {

// A file of this machine, read here a piece each turn of the run loop rather than through the network
// library. It reports what such a load always reported: a response with the file's type (by its
// extension) and length before the first bytes, or at the end of an empty file; the file's problem when it
// is missing, a folder or unreadable; a too-long failure before any byte when the file is larger than the
// request's maximum.
class FileTransfer final : public Transfer {
public:
    // Whether the URL names a path of this machine (a file URL with no host, or localhost).
    static bool handles(const URL&);

    FileTransfer(const URLRequest& request, Sink& sink)
        : m_sink(sink)
        , m_request(request)
    {
    }
    ~FileTransfer() override;

    bool start() override;
    const URL& currentURL() const override { return m_request.url(); }

private:
    static gboolean readFromRunLoop(gpointer transfer);
    // Reads one piece and reports it; false once the load has ended (finished or failed).
    bool readPiece();
    void fail(Error);

    Sink& m_sink;
    URLRequest m_request;
    std::unique_ptr<FileDescriptor> m_file;
    long long m_length = -1;
    std::size_t m_received = 0;
    bool m_didReportResponse = false;
    guint m_source = 0;
};

} // namespace kit
