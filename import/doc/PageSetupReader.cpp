#include "import/doc/PageSetupReader.h"

#include "import/doc/TableWriter.h"

#include <algorithm>
#include <bit>

namespace importer::doc {

namespace {

constexpr char16_t kParagraphMark = 0x0D;
// Word 97 lists the footnote and endnote separators (separator, continuation separator, continuation
// notice of each) first, then six stories for every section.
constexpr std::size_t kSeparatorStories = 6;

// What each of a section's six slots holds, in Word's order.
constexpr struct {
    bool isHeader;
    kit::HeaderFooterKind kind;
} kSlots[kHeaderSlotCount] = { { true, kit::HeaderFooterKind::Even }, { true, kit::HeaderFooterKind::Default },
    { false, kit::HeaderFooterKind::Even }, { false, kit::HeaderFooterKind::Default },
    { true, kit::HeaderFooterKind::First }, { false, kit::HeaderFooterKind::First } };

// Where each slot of the header document lies: CP ranges relative to the header document's start.
class HeaderDocument {
public:
    HeaderDocument(const WordDocument& document)
        : m_cps(document.table.clippedSlice(
            document.fib.entry(FibEntry::PlcfHdd).fc, document.fib.entry(FibEntry::PlcfHdd).lcb))
        , m_length(document.fib.storyLength(Story::Headers))
    {
    }
    // Story `index` as absolute CPs, its guard paragraph mark left out; nullopt when it is empty. A story of
    // only its guard, or less, is empty too: the section then shows its predecessor's, as Word does.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> story(std::size_t index, const WordDocument& document) const
    {
        auto start = m_cps.readU32LE(4 * index), end = m_cps.readU32LE(4 * (index + 1));
        if (!start || !end || *start >= *end || *start >= m_length)
            return std::nullopt;
        std::uint32_t base = document.fib.storyStart(Story::Headers);
        std::uint32_t first = base + *start, last = base + std::min(*end, m_length);
        if (last - first < 2)
            return std::nullopt;
        if (last <= document.pieces.length() && document.pieces.text()[last - 1] == kParagraphMark)
            --last;
        return std::make_pair(first, last);
    }

private:
    ByteReader m_cps;
    std::uint32_t m_length;
};

} // namespace

std::shared_ptr<const kit::PageSetup> readPageSetup(WordDocument& document, StoryReader& reader,
    const std::map<int, std::size_t>& sectionStarts, std::size_t bodyLength)
{
    if (document.sections.empty())
        return nullptr;
    auto setup = std::make_shared<kit::PageSetup>();
    setup->evenAndOddHeaders = document.facingPages;
    HeaderDocument headers(document);
    bool isWord6 = document.fib.version == WordVersion::Word6;
    // Word 6 lists only the stories that exist: the separators the document properties name, then for each
    // section the slots its own properties name.
    std::size_t nextStory
        = isWord6 ? std::size_t(std::popcount(unsigned(document.separatorStories & 0x3F))) : kSeparatorStories;
    // Each story is read once, however many slots point at it.
    std::map<std::pair<std::uint32_t, std::uint32_t>, std::shared_ptr<kit::TextStorage>> stories;
    auto readStory = [&](std::pair<std::uint32_t, std::uint32_t> range) {
        auto& story = stories[range];
        if (!story) {
            std::vector<Paragraph> paragraphs;
            reader.read(range.first, range.second, paragraphs);
            story = std::make_shared<kit::TextStorage>();
            TableWriter(*story, document.defaultTabInterval).write(paragraphs);
        }
        return story;
    };

    std::size_t start = 0;
    for (std::size_t i = 0; i < document.sections.size(); ++i) {
        const SectionProperties& properties = document.sections[i].properties;
        kit::PageSection section = properties.pageSection();
        // A section whose first paragraph was never written (one holding no text) starts where the text
        // before it ends.
        auto written = sectionStarts.find(int(i));
        section.start
            = i == 0 ? 0 : std::clamp(written != sectionStarts.end() ? written->second : bodyLength, start, bodyLength);
        start = section.start;
        for (std::size_t slot = 0; slot < kHeaderSlotCount; ++slot) {
            if (isWord6 && !(properties.headerStories & (1u << slot)))
                continue;
            auto range = headers.story(nextStory++, document);
            if (!range)
                continue;
            auto story = readStory(*range);
            if (story->length() == 0)
                continue;
            (kSlots[slot].isHeader ? section.headers : section.footers)[std::size_t(kSlots[slot].kind)]
                = std::move(story);
        }
        setup->sections.push_back(std::move(section));
    }
    return setup;
}

} // namespace importer::doc
