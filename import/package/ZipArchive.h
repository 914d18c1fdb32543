#pragma once

#include "kit/foundation/GRefPtr.h"
#include "kit/foundation/Result.h"

#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

typedef struct _GsfInfile GsfInfile;

namespace importer {

// What a hostile archive may cost us. Sizes are uncompressed bytes.
struct ZipLimits {
    std::size_t maxEntries = 20000;
    std::uint64_t maxEntrySize = 256u << 20;
    std::uint64_t maxTotalSize = 512u << 20; // summed over every read of one archive
    // An entry past ratioThreshold bytes may not expand more than maxRatio times its compressed size: real
    // documents stay below 60, deflate bombs sit near its ceiling of about 1030.
    std::uint64_t ratioThreshold = 1u << 20;
    std::uint64_t maxRatio = 500;
};

// Truncated: the central directory is missing or cut off. Damaged: it is there but cannot be read.
enum class ZipOpenError { NotZip, Truncated, Damaged, TooLarge };
enum class ZipReadError { Missing, TooLarge, Damaged };

// A read-only view of a ZIP container, read through libgsf. The archive does not own the bytes: they must
// outlive it. Entry names are looked up as package part names are: case-insensitively, with or without a
// leading slash, with '\' read as '/'.
class ZipArchive {
public:
    struct Entry {
        std::string name; // as stored
        std::uint64_t compressedSize = 0;
        std::uint64_t uncompressedSize = 0; // as declared by the central directory
    };

    ZipArchive(ZipArchive&&) noexcept = default;
    ZipArchive& operator=(ZipArchive&&) noexcept = default;

    static kit::Result<ZipArchive, ZipOpenError> open(std::span<const std::uint8_t> bytes, const ZipLimits& limits = {});

    const std::vector<Entry>& entries() const { return m_entries; }
    bool contains(std::string_view name) const { return find(name) != nullptr; }
    const Entry* find(std::string_view name) const;

    struct ReadResult;
    // The whole entry, checked against the limits before anything is inflated.
    ReadResult read(std::string_view name);
    // The same in a buffer of its own, for readers that parse in place (the XML parts).
    struct Buffer {
        std::unique_ptr<char[]> data;
        std::size_t size = 0;
        std::string_view view() const { return { data.get(), size }; }
    };
    struct BufferResult;
    BufferResult readBuffer(std::string_view name);
    // The same, inflated on a thread of its own through a second view of the bytes, while this archive
    // goes on reading other entries. The limits are checked and charged now, as a read at once would be.
    // whenRead (if any) runs once the read has ended, before get() returns: on that thread with the inflated
    // entry, or with nullptr when there is none (then perhaps at once, on the caller's). Where no thread can
    // be had, the entry is read at once.
    std::future<BufferResult> readBufferConcurrently(
        std::string_view name, std::function<void(const Buffer*)> whenRead = {});

    // A part name in the form lookups use: no leading slash, '/' separators, "." and ".." resolved, lower case.
    static std::string normalizedName(std::string_view name);

private:
    ZipArchive() = default;
    // Whether reading the entry whole would be a bomb's expansion or pass what the archive may still read.
    bool exceedsLimits(const Entry& entry) const;
    std::span<const std::uint8_t> m_bytes;
    ZipLimits m_limits;
    std::vector<Entry> m_entries;
    std::map<std::string, std::size_t, std::less<>> m_index; // normalised name → entry
    kit::GRefPtr<GsfInfile> m_infile;
    std::uint64_t m_bytesRead = 0;
};

struct ZipArchive::ReadResult {
    std::optional<std::string> bytes;
    ZipReadError error = ZipReadError::Missing;
};

struct ZipArchive::BufferResult {
    std::optional<Buffer> buffer;
    ZipReadError error = ZipReadError::Missing;
};

// The bytes start with a ZIP local header or an empty archive's end record.
bool looksLikeZip(std::span<const std::uint8_t> bytes);

} // namespace importer
