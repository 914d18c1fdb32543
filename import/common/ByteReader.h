#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace importer {

// The one way importers read untrusted bytes: every read is bounds-checked and says when it failed.
class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> data)
        : m_data(data)
    {
    }

    std::size_t size() const { return m_data.size(); }
    std::span<const std::uint8_t> bytes() const { return m_data; }
    bool contains(std::size_t offset, std::size_t count) const
    {
        return offset <= m_data.size() && m_data.size() - offset >= count;
    }

    // nullopt unless [offset, offset + N) lies inside the data; an offset near SIZE_MAX cannot overflow the test.
    std::optional<std::uint8_t> readU8(std::size_t offset) const
    {
        if (!contains(offset, 1))
            return std::nullopt;
        return m_data[offset];
    }
    std::optional<std::uint16_t> readU16LE(std::size_t offset) const
    {
        if (!contains(offset, 2))
            return std::nullopt;
        const std::uint8_t* p = m_data.data() + offset;
        return std::uint16_t(p[0] | p[1] << 8);
    }
    std::optional<std::uint32_t> readU32LE(std::size_t offset) const
    {
        if (!contains(offset, 4))
            return std::nullopt;
        const std::uint8_t* p = m_data.data() + offset;
        return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24;
    }
    // Big-endian reads, for the formats that store numbers that way (PNG, JPEG, ICC profiles, OLE property sets).
    std::optional<std::uint16_t> readU16BE(std::size_t offset) const
    {
        if (!contains(offset, 2))
            return std::nullopt;
        const std::uint8_t* p = m_data.data() + offset;
        return std::uint16_t(p[0] << 8 | p[1]);
    }
    std::optional<std::uint32_t> readU32BE(std::size_t offset) const
    {
        if (!contains(offset, 4))
            return std::nullopt;
        const std::uint8_t* p = m_data.data() + offset;
        return std::uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
    }
    std::optional<std::int16_t> readI16LE(std::size_t offset) const
    {
        auto v = readU16LE(offset);
        return v ? std::optional<std::int16_t>(std::int16_t(*v)) : std::nullopt;
    }
    std::optional<std::int32_t> readI32LE(std::size_t offset) const
    {
        auto v = readU32LE(offset);
        return v ? std::optional<std::int32_t>(std::int32_t(*v)) : std::nullopt;
    }
    // The sub-range, or nullopt when it does not lie wholly inside.
    std::optional<ByteReader> slice(std::size_t offset, std::size_t count) const
    {
        if (!contains(offset, count))
            return std::nullopt;
        return ByteReader(m_data.subspan(offset, count));
    }
    // The sub-range clipped to the data: for formats whose lengths may lie and where a prefix is still useful.
    ByteReader clippedSlice(std::size_t offset, std::size_t count) const
    {
        if (offset >= m_data.size())
            return {};
        return ByteReader(m_data.subspan(offset, std::min(count, m_data.size() - offset)));
    }
    bool startsWith(std::string_view prefix, std::size_t offset = 0) const
    {
        if (!contains(offset, prefix.size()))
            return false;
        for (std::size_t i = 0; i < prefix.size(); ++i) {
            if (m_data[offset + i] != std::uint8_t(prefix[i]))
                return false;
        }
        return true;
    }

private:
    std::span<const std::uint8_t> m_data;
};

} // namespace importer
