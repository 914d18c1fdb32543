#pragma once

#include "import/common/ByteReader.h"
#include "import/doc/Fib.h"

#include <cstdint>
#include <vector>

namespace importer::doc {

// Character or paragraph formatting by byte offset (FC) in the WordDocument stream, read from the
// formatted disk pages (FKPs) that the bin table lists.
class FormattingRuns {
public:
    struct Run {
        std::uint32_t fcStart = 0;
        std::uint32_t fcEnd = 0;
        std::uint16_t istd = 0; // paragraph runs only
        ByteReader grpprl;
    };

    // bte is the PlcfBteChpx or PlcfBtePapx; data is the Data stream (for paragraphs whose properties are
    // too large for a page).
    static FormattingRuns readCharacterRuns(const Fib&, const ByteReader& bte, const ByteReader& wordDocument);
    static FormattingRuns readParagraphRuns(const Fib&, const ByteReader& bte, const ByteReader& wordDocument, const ByteReader& data);

    // The run holding fc, or nullptr.
    const Run* find(std::uint32_t fc) const;
    // The index of the first run ending after fc (runs are sorted and do not overlap).
    std::size_t firstEndingAfter(std::uint32_t fc) const;
    const std::vector<Run>& runs() const { return m_runs; }

private:
    static std::vector<std::uint32_t> pages(const Fib&, const ByteReader& bte, bool paragraphs, std::size_t pageLimit);
    void finish();
    std::vector<Run> m_runs;
};

} // namespace importer::doc
