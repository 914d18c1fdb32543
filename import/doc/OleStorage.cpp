#include "import/doc/OleStorage.h"

#include "import/common/ByteReader.h"

#include <algorithm>
#include <cstddef>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>
#include <utility>

namespace importer::doc {

namespace {

// A sector chain cannot describe more data than the file holds, except by looping; libgsf catches loops,
// and this bound keeps a stream that claims more than the file could hold from allocating it.
constexpr std::size_t kStreamSlack = 1 << 20;
constexpr std::size_t kChunkSize = 64 * 1024;

// Where the first directory entry (the root storage) lies in the file, or nullopt when the header does not
// say. Sectors are counted after the header, which takes a whole sector but at least 512 bytes, as libgsf
// reads them.
std::optional<std::size_t> rootEntryOffset(std::span<const std::uint8_t> bytes)
{
    constexpr std::size_t kHeaderSize = 512;
    ByteReader reader(bytes);
    if (bytes.size() < kHeaderSize)
        return std::nullopt;
    unsigned sectorShift = *reader.readU16LE(0x1E);
    if (sectorShift > 20)
        return std::nullopt;
    std::uint64_t sectorSize = std::uint64_t(1) << sectorShift;
    std::uint64_t offset
        = std::max<std::uint64_t>(kHeaderSize, sectorSize) + (std::uint64_t(*reader.readU32LE(0x30)) << sectorShift);
    constexpr std::size_t kEntrySize = 128;
    if (offset > bytes.size() || bytes.size() - offset < kEntrySize)
        return std::nullopt;
    return std::size_t(offset);
}

// The root storage has no siblings. A damaged file may give it some; libgsf then builds their entries with no
// parent to own them and never frees them. Clearing the two links on a copy keeps the rest of the directory
// as it was: nothing reachable from the root changes, since libgsf never attached those siblings anywhere.
std::vector<std::uint8_t> withoutRootSiblings(std::span<const std::uint8_t> bytes)
{
    std::optional<std::size_t> root = rootEntryOffset(bytes);
    if (!root)
        return {};
    constexpr std::size_t kLeftSibling = 0x44, kRightSibling = 0x48;
    constexpr std::uint32_t kNoStream = 0xFFFFFFFF;
    ByteReader reader(bytes);
    if (reader.readU32LE(*root + kLeftSibling) == kNoStream && reader.readU32LE(*root + kRightSibling) == kNoStream)
        return {};
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    std::fill_n(copy.begin() + std::ptrdiff_t(*root + kLeftSibling), 8, std::uint8_t(0xFF));
    return copy;
}

} // namespace

OleStorage::OleStorage(kit::GRefPtr<GsfInfile> infile, std::size_t fileSize, std::vector<std::uint8_t> repairedBytes)
    : m_infile(std::move(infile))
    , m_fileSize(fileSize)
    , m_repairedBytes(std::move(repairedBytes))
{
}

std::optional<OleStorage> OleStorage::open(std::span<const std::uint8_t> bytes)
{
    static bool initialized = [] {
        gsf_init();
        return true;
    }();
    (void)initialized;
    std::vector<std::uint8_t> repaired = withoutRootSiblings(bytes);
    std::span<const std::uint8_t> source = repaired.empty() ? bytes : std::span<const std::uint8_t>(repaired);
    auto input = kit::adoptGRef(gsf_input_memory_new(source.data(), gsf_off_t(source.size()), FALSE));
    if (!input)
        return std::nullopt;
    GError* error = nullptr;
    auto infile = kit::adoptGRef(gsf_infile_msole_new(input.get(), &error));
    if (error)
        g_error_free(error);
    if (!infile)
        return std::nullopt;
    return OleStorage(std::move(infile), bytes.size(), std::move(repaired));
}

bool OleStorage::hasStream(const char* name) const
{
    return bool(kit::adoptGRef(gsf_infile_child_by_name(m_infile.get(), name)));
}

std::optional<OleStorage::Stream> OleStorage::readStream(const char* name) const
{
    auto child = kit::adoptGRef(gsf_infile_child_by_name(m_infile.get(), name));
    if (!child)
        return std::nullopt;
    Stream stream;
    gsf_off_t size = gsf_input_size(child.get());
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
        if (!gsf_input_read(child.get(), chunk, stream.bytes.data() + done)) {
            stream.isComplete = false;
            break;
        }
        done += chunk;
    }
    stream.bytes.resize(done);
    return stream;
}

} // namespace importer::doc
