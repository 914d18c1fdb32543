#include "import/doc/OleStorage.h"

#include <algorithm>
#include <utility>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

namespace importer::doc {

namespace {

// A sector chain cannot describe more data than the file holds, except by looping; libgsf catches loops,
// and this bound keeps a stream that claims more than the file could hold from allocating it.
constexpr std::size_t kStreamSlack = 1 << 20;
constexpr std::size_t kChunkSize = 64 * 1024;

} // namespace

OleStorage::OleStorage(GsfInfile* infile, std::size_t fileSize)
    : m_infile(infile)
    , m_fileSize(fileSize)
{
}

OleStorage::OleStorage(OleStorage&& other) noexcept
    : m_infile(std::exchange(other.m_infile, nullptr))
    , m_fileSize(other.m_fileSize)
{
}

OleStorage& OleStorage::operator=(OleStorage&& other) noexcept
{
    if (this != &other) {
        if (m_infile)
            g_object_unref(m_infile);
        m_infile = std::exchange(other.m_infile, nullptr);
        m_fileSize = other.m_fileSize;
    }
    return *this;
}

OleStorage::~OleStorage()
{
    if (m_infile)
        g_object_unref(m_infile);
}

std::optional<OleStorage> OleStorage::open(std::span<const std::uint8_t> bytes)
{
    static bool initialized = [] {
        gsf_init();
        return true;
    }();
    (void)initialized;
    GsfInput* input = gsf_input_memory_new(bytes.data(), gsf_off_t(bytes.size()), FALSE);
    if (!input)
        return std::nullopt;
    GError* error = nullptr;
    GsfInfile* infile = gsf_infile_msole_new(input, &error);
    g_object_unref(input);
    if (error)
        g_error_free(error);
    if (!infile)
        return std::nullopt;
    return OleStorage(infile, bytes.size());
}

bool OleStorage::hasStream(const char* name) const
{
    GsfInput* child = gsf_infile_child_by_name(m_infile, name);
    if (!child)
        return false;
    g_object_unref(child);
    return true;
}

std::optional<OleStorage::Stream> OleStorage::readStream(const char* name) const
{
    GsfInput* child = gsf_infile_child_by_name(m_infile, name);
    if (!child)
        return std::nullopt;
    Stream stream;
    gsf_off_t size = gsf_input_size(child);
    std::size_t wanted = size > 0 ? std::size_t(size) : 0;
    std::size_t limit = m_fileSize + kStreamSlack;
    if (wanted > limit) {
        wanted = limit;
        stream.isComplete = false;
    }
    // Read in chunks so that a chain broken half-way still yields its beginning.
    stream.bytes.resize(wanted);
    std::size_t done = 0;
    while (done < wanted) {
        std::size_t chunk = std::min(kChunkSize, wanted - done);
        if (!gsf_input_read(child, chunk, stream.bytes.data() + done)) {
            stream.isComplete = false;
            break;
        }
        done += chunk;
    }
    stream.bytes.resize(done);
    g_object_unref(child);
    return stream;
}

} // namespace importer::doc
