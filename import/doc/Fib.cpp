#include "import/doc/Fib.h"

namespace importer::doc {

namespace {

constexpr std::uint16_t kFirstWord6Fib = 101;
constexpr std::uint16_t kLastWord6Fib = 105;
// Word 97 writes 193; pre-release builds wrote a few lower values with the same layout.
constexpr std::uint16_t kFirstWord97Fib = 106;

// Word 6 and 95 keep the first 38 pairs here, then four page counts, then 35 more pairs.
constexpr std::size_t kWord6FirstPairs = 0x58;
constexpr std::size_t kWord6FirstPairCount = 38;
constexpr std::size_t kWord6PageCounts = 0x18A;
constexpr std::size_t kWord6SecondPairs = 0x192;
constexpr std::size_t kWord6SecondPairCount = 35;

} // namespace

Fib::Range Fib::entry(FibEntry which) const
{
    std::size_t index = std::size_t(which);
    return index < m_entryCount ? m_entries[index] : Range {};
}

std::uint32_t Fib::storyStart(Story story) const
{
    std::uint64_t start = 0;
    for (std::size_t i = 0; i < std::size_t(story); ++i)
        start += storyLengths[i];
    return std::uint32_t(std::min<std::uint64_t>(start, UINT32_MAX));
}

std::uint64_t Fib::totalLength() const
{
    std::uint64_t total = 0;
    for (auto length : storyLengths)
        total += length;
    // Every story but the main one is followed by one extra paragraph mark when any of them is present.
    if (total > storyLengths[0])
        ++total;
    return total;
}

ImportError importError(FibError error)
{
    return error == FibError::Truncated ? ImportError::Truncated : ImportError::NotKnownFormat;
}

const char* errorText(FibError error) { return errorText(importError(error)); }

kit::Result<Fib, FibError> Fib::parse(const ByteReader& stream)
{
    using Failed = kit::Result<Fib, FibError>;
    auto wIdent = stream.readU16LE(0);
    auto nFib = stream.readU16LE(2);
    auto flags = stream.readU16LE(10);
    if (!wIdent || !nFib || !flags)
        return Failed::failure(FibError::Truncated);
    Fib fib;
    fib.nFib = *nFib;
    fib.lid = stream.readU16LE(6).value_or(0);
    fib.isComplex = *flags & 0x0004;
    fib.isEncrypted = (*flags & 0x0100) || (*flags & 0x8000);
    fib.usesTable1 = *flags & 0x0200;
    fib.fcMin = stream.readU32LE(0x18).value_or(0);
    fib.fcMac = stream.readU32LE(0x1C).value_or(0);

    if (fib.nFib >= kFirstWord6Fib && fib.nFib <= kLastWord6Fib) {
        fib.version = WordVersion::Word6;
        if (!stream.contains(0, kWord6SecondPairs))
            return Failed::failure(FibError::Truncated);
        for (std::size_t i = 0; i < fib.storyLengths.size(); ++i)
            fib.storyLengths[i] = *stream.readU32LE(0x34 + 4 * i);
        for (std::size_t i = 0; i < kWord6FirstPairCount; ++i)
            fib.m_entries[i] = { *stream.readU32LE(kWord6FirstPairs + 8 * i), *stream.readU32LE(kWord6FirstPairs + 8 * i + 4) };
        fib.m_entryCount = kWord6FirstPairCount;
        fib.chpFirstPage = *stream.readU16LE(kWord6PageCounts);
        fib.papFirstPage = *stream.readU16LE(kWord6PageCounts + 2);
        fib.chpPageCount = *stream.readU16LE(kWord6PageCounts + 4);
        fib.papPageCount = *stream.readU16LE(kWord6PageCounts + 6);
        for (std::size_t i = 0; i < kWord6SecondPairCount; ++i) {
            std::size_t at = kWord6SecondPairs + 8 * i;
            auto fc = stream.readU32LE(at);
            auto lcb = stream.readU32LE(at + 4);
            if (!fc || !lcb)
                break;
            fib.m_entries[kWord6FirstPairCount + i] = { *fc, *lcb };
            fib.m_entryCount = kWord6FirstPairCount + i + 1;
        }
        return fib;
    }
    if (fib.nFib < kFirstWord97Fib)
        return Failed::failure(FibError::Unsupported);

    // Word 97 and later: three arrays, each preceded by its element count, so that later versions can grow.
    std::size_t at = 32;
    auto csw = stream.readU16LE(at);
    if (!csw)
        return Failed::failure(FibError::Truncated);
    at += 2 + std::size_t(*csw) * 2;
    auto cslw = stream.readU16LE(at);
    if (!cslw)
        return Failed::failure(FibError::Truncated);
    std::size_t longs = at + 2;
    // cbMac, two reserved longs, then the story lengths.
    for (std::size_t i = 0; i < fib.storyLengths.size() && 3 + i < *cslw; ++i)
        fib.storyLengths[i] = stream.readU32LE(longs + 4 * (3 + i)).value_or(0);
    at = longs + std::size_t(*cslw) * 4;
    auto pairCount = stream.readU16LE(at);
    if (!pairCount)
        return Failed::failure(FibError::Truncated);
    std::size_t pairs = at + 2;
    std::size_t count = std::min<std::size_t>(*pairCount, fib.m_entries.size());
    for (std::size_t i = 0; i < count; ++i) {
        auto fc = stream.readU32LE(pairs + 8 * i);
        auto lcb = stream.readU32LE(pairs + 8 * i + 4);
        if (!fc || !lcb)
            break;
        fib.m_entries[i] = { *fc, *lcb };
        fib.m_entryCount = i + 1;
    }
    return fib;
}

} // namespace importer::doc
