#include "import/doc/FormattingRuns.h"

#include "import/doc/Sprm.h"

#include <algorithm>
#include <set>

namespace importer::doc {

namespace {

constexpr std::size_t kPageSize = 512;

} // namespace

std::vector<std::uint32_t> FormattingRuns::pages(const Fib& fib, const ByteReader& bte, bool paragraphs, std::size_t pageLimit)
{
    // A PLC: n + 1 FCs, then n page numbers (22 bits in Word 97, 16 bits in Word 6).
    bool isWord6 = fib.version == WordVersion::Word6;
    std::size_t entrySize = isWord6 ? 2 : 4;
    std::size_t count = bte.size() >= 4 ? (bte.size() - 4) / (4 + entrySize) : 0;
    std::vector<std::uint32_t> result;
    std::set<std::uint32_t> seen;
    auto add = [&](std::uint32_t page) {
        if (page < pageLimit && seen.insert(page).second)
            result.push_back(page);
    };
    std::size_t numbers = (count + 1) * 4;
    for (std::size_t i = 0; i < count; ++i)
        add(isWord6 ? *bte.readU16LE(numbers + 2 * i) : (*bte.readU32LE(numbers + 4 * i) & 0x3FFFFF));
    // Word 6 may list fewer pages than it wrote; the rest follow the last one listed.
    std::size_t expected = paragraphs ? fib.papPageCount : fib.chpPageCount;
    if (isWord6 && expected > count) {
        std::uint32_t next = result.empty() ? (paragraphs ? fib.papFirstPage : fib.chpFirstPage) : result.back() + 1;
        for (std::size_t i = count; i < expected && next < pageLimit; ++i)
            add(next++);
    }
    return result;
}

FormattingRuns FormattingRuns::readCharacterRuns(const Fib& fib, const ByteReader& bte, const ByteReader& wordDocument)
{
    FormattingRuns runs;
    for (std::uint32_t page : pages(fib, bte, false, wordDocument.size() / kPageSize)) {
        ByteReader fkp = *wordDocument.slice(std::size_t(page) * kPageSize, kPageSize);
        std::size_t count = std::min<std::size_t>(*fkp.readU8(511), 101);
        std::size_t offsets = (count + 1) * 4;
        if (offsets + count > 511)
            continue;
        for (std::size_t i = 0; i < count; ++i) {
            Run run;
            run.fcStart = *fkp.readU32LE(4 * i);
            run.fcEnd = *fkp.readU32LE(4 * (i + 1));
            std::size_t offset = std::size_t(*fkp.readU8(offsets + i)) * 2;
            if (offset != 0) {
                std::size_t size = fkp.readU8(offset).value_or(0);
                run.grpprl = fkp.clippedSlice(offset + 1, std::min(size, 511 - std::min<std::size_t>(offset + 1, 511)));
            }
            runs.m_runs.push_back(run);
        }
    }
    runs.finish();
    return runs;
}

FormattingRuns FormattingRuns::readParagraphRuns(const Fib& fib, const ByteReader& bte, const ByteReader& wordDocument, const ByteReader& data)
{
    FormattingRuns runs;
    bool isWord6 = fib.version == WordVersion::Word6;
    // Each paragraph's entry: an offset byte and its height cache (12 bytes in Word 97, 6 in Word 6).
    std::size_t entrySize = isWord6 ? 7 : 13;
    for (std::uint32_t page : pages(fib, bte, true, wordDocument.size() / kPageSize)) {
        ByteReader fkp = *wordDocument.slice(std::size_t(page) * kPageSize, kPageSize);
        std::size_t count = *fkp.readU8(511);
        std::size_t entries = (count + 1) * 4;
        if (entries + count * entrySize > 511)
            continue;
        for (std::size_t i = 0; i < count; ++i) {
            Run run;
            run.fcStart = *fkp.readU32LE(4 * i);
            run.fcEnd = *fkp.readU32LE(4 * (i + 1));
            std::size_t offset = std::size_t(*fkp.readU8(entries + entrySize * i)) * 2;
            // Offset 0: the paragraph has the Normal style and no properties of its own.
            if (offset != 0 && offset < 511) {
                std::size_t words = *fkp.readU8(offset);
                std::size_t start = offset + 1, size = 0;
                if (isWord6) {
                    size = 2 * words;
                } else if (words != 0) {
                    size = 2 * words - 1;
                } else {
                    size = 2 * std::size_t(fkp.readU8(offset + 1).value_or(0));
                    start = offset + 2;
                }
                ByteReader properties = fkp.clippedSlice(start, std::min(size, 511 - std::min<std::size_t>(start, 511)));
                run.istd = properties.readU16LE(0).value_or(0);
                run.grpprl = properties.clippedSlice(2, properties.size());
                // Properties too large for the page live in the Data stream; the page keeps a pointer.
                if (!isWord6 && run.grpprl.readU16LE(0) == sprm::PHugePapx) {
                    if (auto at = run.grpprl.readU32LE(2)) {
                        auto size = data.readU16LE(*at);
                        run.grpprl = size ? data.clippedSlice(std::size_t(*at) + 2, *size) : ByteReader();
                    }
                }
            }
            runs.m_runs.push_back(run);
        }
    }
    runs.finish();
    return runs;
}

void FormattingRuns::finish()
{
    std::erase_if(m_runs, [](const Run& run) { return run.fcEnd <= run.fcStart; });
    std::stable_sort(m_runs.begin(), m_runs.end(), [](const Run& a, const Run& b) { return a.fcStart < b.fcStart; });
    // Damaged files can list overlapping runs; the earlier one keeps the shared bytes.
    std::uint32_t covered = 0;
    for (auto& run : m_runs) {
        run.fcStart = std::max(run.fcStart, covered);
        covered = std::max(covered, run.fcEnd);
    }
    std::erase_if(m_runs, [](const Run& run) { return run.fcEnd <= run.fcStart; });
}

const FormattingRuns::Run* FormattingRuns::find(std::uint32_t fc) const
{
    std::size_t index = firstEndingAfter(fc);
    if (index < m_runs.size() && m_runs[index].fcStart <= fc)
        return &m_runs[index];
    return nullptr;
}

std::size_t FormattingRuns::firstEndingAfter(std::uint32_t fc) const
{
    auto it = std::upper_bound(m_runs.begin(), m_runs.end(), fc, [](std::uint32_t value, const Run& run) { return value < run.fcEnd; });
    return std::size_t(it - m_runs.begin());
}

} // namespace importer::doc
