#include "import/package/ZipArchive.h"

#include "import/common/ByteReader.h"

#include <algorithm>
#include <gsf/gsf-infile-zip.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <system_error>
#include <utility>

namespace importer {

namespace {

constexpr std::uint32_t kEndOfCentralDirectory = 0x06054b50;
constexpr std::uint32_t kZip64Locator = 0x07064b50;
constexpr std::uint32_t kZip64EndOfCentralDirectory = 0x06064b50;
constexpr std::uint32_t kCentralDirectoryEntry = 0x02014b50;
constexpr std::size_t kEndRecordSize = 22;

std::optional<std::uint64_t> readU64LE(const ByteReader& reader, std::size_t offset)
{
    auto low = reader.readU32LE(offset), high = reader.readU32LE(offset + 4);
    if (!low || !high)
        return std::nullopt;
    return std::uint64_t(*high) << 32 | *low;
}

// The end record is the last thing in the file, followed only by a comment of at most 65535 bytes.
std::optional<std::size_t> findEndRecord(const ByteReader& reader)
{
    if (reader.size() < kEndRecordSize)
        return std::nullopt;
    std::size_t last = reader.size() - kEndRecordSize;
    std::size_t first = last > 0xFFFF ? last - 0xFFFF : 0;
    for (std::size_t offset = last + 1; offset-- > first;) {
        if (reader.readU32LE(offset) == kEndOfCentralDirectory)
            return offset;
    }
    return std::nullopt;
}

struct Directory {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
    std::uint64_t count = 0;
};

std::optional<Directory> readDirectoryLocation(const ByteReader& reader, std::size_t endRecord)
{
    Directory directory;
    directory.count = reader.readU16LE(endRecord + 10).value_or(0);
    directory.size = reader.readU32LE(endRecord + 12).value_or(0);
    directory.offset = reader.readU32LE(endRecord + 16).value_or(0);
    bool needsZip64 = directory.count == 0xFFFF || directory.size == 0xFFFFFFFF || directory.offset == 0xFFFFFFFF;
    if (needsZip64 && endRecord >= 20 && reader.readU32LE(endRecord - 20) == kZip64Locator) {
        auto recordOffset = readU64LE(reader, endRecord - 12);
        if (!recordOffset || *recordOffset > reader.size()
            || reader.readU32LE(*recordOffset) != kZip64EndOfCentralDirectory)
            return std::nullopt;
        auto count = readU64LE(reader, *recordOffset + 32);
        auto size = readU64LE(reader, *recordOffset + 40);
        auto offset = readU64LE(reader, *recordOffset + 48);
        if (!count || !size || !offset)
            return std::nullopt;
        directory = { *offset, *size, *count };
    }
    return directory;
}

// Reads the 64-bit sizes of the ZIP64 extra field for the fields the fixed header marked as overflowing.
void readZip64Sizes(const ByteReader& extra, ZipArchive::Entry& entry, bool wideUncompressed, bool wideCompressed)
{
    std::size_t offset = 0;
    while (extra.contains(offset, 4)) {
        std::uint16_t id = *extra.readU16LE(offset), length = *extra.readU16LE(offset + 2);
        auto field = extra.slice(offset + 4, length);
        if (!field)
            return;
        if (id == 0x0001) {
            std::size_t at = 0;
            if (wideUncompressed) {
                entry.uncompressedSize = readU64LE(*field, at).value_or(entry.uncompressedSize);
                at += 8;
            }
            if (wideCompressed)
                entry.compressedSize = readU64LE(*field, at).value_or(entry.compressedSize);
            return;
        }
        offset += 4 + std::size_t(length);
    }
}

bool isBomb(const ZipArchive::Entry& entry, const ZipLimits& limits)
{
    if (entry.uncompressedSize > limits.maxEntrySize)
        return true;
    if (entry.uncompressedSize <= limits.ratioThreshold)
        return false;
    return entry.uncompressedSize / std::max<std::uint64_t>(entry.compressedSize, 1) > limits.maxRatio;
}

std::vector<std::string> splitPath(std::string_view name)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t slash = name.find('/', start);
        if (slash == std::string_view::npos)
            slash = name.size();
        if (slash > start)
            parts.emplace_back(name.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

} // namespace

bool looksLikeZip(std::span<const std::uint8_t> bytes)
{
    ByteReader reader(bytes);
    return reader.startsWith("PK\x03\x04") || reader.startsWith("PK\x05\x06");
}

std::string ZipArchive::normalizedName(std::string_view name)
{
    std::vector<std::string> parts;
    std::string component;
    auto flush = [&] {
        if (component == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!component.empty() && component != ".") {
            parts.push_back(component);
        }
        component.clear();
    };
    for (char ch : name) {
        if (ch == '/' || ch == '\\') {
            flush();
            continue;
        }
        component += (ch >= 'A' && ch <= 'Z') ? char(ch - 'A' + 'a') : ch;
    }
    flush();
    std::string out;
    for (const auto& part : parts) {
        if (!out.empty())
            out += '/';
        out += part;
    }
    return out;
}

kit::Result<ZipArchive, ZipOpenError> ZipArchive::open(std::span<const std::uint8_t> bytes, const ZipLimits& limits)
{
    using Failed = kit::Result<ZipArchive, ZipOpenError>;
    ByteReader reader(bytes);
    bool hasLocalHeader = reader.startsWith("PK\x03\x04");
    auto endRecord = findEndRecord(reader);
    if (!endRecord)
        return Failed::failure(hasLocalHeader ? ZipOpenError::Truncated : ZipOpenError::NotZip);
    auto directory = readDirectoryLocation(reader, *endRecord);
    if (!directory || directory->offset > reader.size() || directory->size > reader.size() - directory->offset)
        return Failed::failure(ZipOpenError::Truncated);
    if (directory->count > limits.maxEntries)
        return Failed::failure(ZipOpenError::TooLarge);

    ZipArchive archive;
    archive.m_bytes = bytes;
    archive.m_limits = limits;
    ByteReader records = reader.clippedSlice(std::size_t(directory->offset), std::size_t(directory->size));
    std::size_t offset = 0;
    while (records.readU32LE(offset) == kCentralDirectoryEntry) {
        if (archive.m_entries.size() >= limits.maxEntries)
            return Failed::failure(ZipOpenError::TooLarge);
        auto nameLength = records.readU16LE(offset + 28), extraLength = records.readU16LE(offset + 30),
             commentLength = records.readU16LE(offset + 32);
        if (!nameLength || !extraLength || !commentLength)
            break;
        auto name = records.slice(offset + 46, *nameLength);
        auto extra = records.slice(offset + 46 + *nameLength, *extraLength);
        if (!name || !extra)
            break;
        Entry entry;
        entry.name.assign(reinterpret_cast<const char*>(name->bytes().data()), name->size());
        std::uint32_t compressed = *records.readU32LE(offset + 20), uncompressed = *records.readU32LE(offset + 24);
        entry.compressedSize = compressed;
        entry.uncompressedSize = uncompressed;
        if (compressed == 0xFFFFFFFF || uncompressed == 0xFFFFFFFF)
            readZip64Sizes(*extra, entry, uncompressed == 0xFFFFFFFF, compressed == 0xFFFFFFFF);
        offset += 46 + std::size_t(*nameLength) + *extraLength + *commentLength;
        bool isFolder = !entry.name.empty() && (entry.name.back() == '/' || entry.name.back() == '\\');
        if (isFolder)
            continue;
        std::string key = normalizedName(entry.name);
        if (key.empty() || archive.m_index.count(key))
            continue; // The first of two entries with one name wins, as in every reader we know.
        archive.m_index.emplace(std::move(key), archive.m_entries.size());
        archive.m_entries.push_back(std::move(entry));
    }

    auto input = kit::adoptGRef(gsf_input_memory_new(bytes.data(), gsf_off_t(bytes.size()), FALSE));
    GError* error = nullptr;
    archive.m_infile = kit::adoptGRef(gsf_infile_zip_new(input.get(), &error));
    if (error)
        g_error_free(error);
    if (!archive.m_infile)
        return Failed::failure(ZipOpenError::Damaged);
    return archive;
}

const ZipArchive::Entry* ZipArchive::find(std::string_view name) const
{
    auto it = m_index.find(normalizedName(name));
    return it == m_index.end() ? nullptr : &m_entries[it->second];
}

bool ZipArchive::exceedsLimits(const Entry& entry) const
{
    return isBomb(entry, m_limits)
        || entry.uncompressedSize > m_limits.maxTotalSize - std::min(m_bytesRead, m_limits.maxTotalSize);
}

ZipArchive::BufferResult ZipArchive::readBuffer(std::string_view name)
{
    BufferResult result;
    const Entry* entry = find(name);
    if (!entry || !m_infile)
        return result;
    if (exceedsLimits(*entry)) {
        result.error = ZipReadError::TooLarge;
        return result;
    }
    // libgsf presents the archive as a tree of folders; walk it with the stored name's components.
    std::vector<std::string> parts = splitPath(entry->name);
    std::vector<const char*> path;
    for (const auto& part : parts)
        path.push_back(part.c_str());
    path.push_back(nullptr);
    auto input = kit::adoptGRef(parts.empty() ? nullptr : gsf_infile_child_by_aname(m_infile.get(), path.data()));
    if (!input) {
        result.error = ZipReadError::Damaged;
        return result;
    }
    // libgsf read the sizes from the same directory, but check again: two entries may share one name.
    gsf_off_t size = gsf_input_size(input.get());
    std::uint64_t budget = m_limits.maxTotalSize - std::min(m_bytesRead, m_limits.maxTotalSize);
    if (size < 0 || std::uint64_t(size) > m_limits.maxEntrySize || std::uint64_t(size) > budget) {
        result.error = ZipReadError::TooLarge;
        return result;
    }
    // Not zero-filled first: inflating writes every byte, and a 12 MB part would be written twice.
    Buffer buffer { std::unique_ptr<char[]>(new char[std::size_t(size) + 1]), std::size_t(size) };
    bool ok = size == 0
        || gsf_input_read(input.get(), std::size_t(size), reinterpret_cast<guint8*>(buffer.data.get())) != nullptr;
    m_bytesRead += std::uint64_t(size);
    if (!ok) {
        result.error = ZipReadError::Damaged;
        return result;
    }
    result.buffer = std::move(buffer);
    return result;
}

std::future<ZipArchive::BufferResult> ZipArchive::readBufferConcurrently(
    std::string_view name, std::function<void(const Buffer*)> whenRead)
{
    auto tell = [](const std::function<void(const Buffer*)>& whenRead, const BufferResult& result) {
        if (whenRead)
            whenRead(result.buffer ? &*result.buffer : nullptr);
    };
    auto answerNow = [&](BufferResult result) {
        tell(whenRead, result);
        std::promise<BufferResult> answer;
        answer.set_value(std::move(result));
        return answer.get_future();
    };
    const Entry* entry = find(name);
    if (!entry || !m_infile || exceedsLimits(*entry)) {
        BufferResult refused;
        if (entry && m_infile)
            refused.error = ZipReadError::TooLarge;
        return answerNow(std::move(refused));
    }
    m_bytesRead += entry->uncompressedSize;
    // The second view reads the directory again; it shares nothing with this one but the bytes, which
    // nobody changes.
    auto work = [bytes = m_bytes, limits = m_limits, stored = entry->name] {
        auto other = open(bytes, limits);
        if (!other) {
            BufferResult damaged;
            damaged.error = ZipReadError::Damaged;
            return damaged;
        }
        return other->readBuffer(stored);
    };
    try {
        return std::async(std::launch::async, [work, whenRead, tell] {
            BufferResult result = work();
            tell(whenRead, result);
            return result;
        });
    } catch (const std::system_error&) {
        // No thread to be had (a process under tight limits): the entry is read now.
        return answerNow(work());
    }
}

ZipArchive::ReadResult ZipArchive::read(std::string_view name)
{
    ReadResult result;
    auto read = readBuffer(name);
    if (!read.buffer) {
        result.error = read.error;
        return result;
    }
    result.bytes = std::string(read.buffer->view());
    return result;
}

} // namespace importer
