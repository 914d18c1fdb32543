#pragma once

#include "kit/foundation/Range.h"
#include "kit/text/Attributes.h"
#include "kit/text/PageSetup.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

struct AttributeRun {
    std::size_t location; // UTF-8 byte offset of the run's first byte
    std::shared_ptr<const Attributes> attributes; // never null
};

// Attributed UTF-8 text. Indices are byte offsets and always fall on character boundaries.
// Runs cover the text without gaps, start at 0, are ordered, and no two neighbours are equal.
class TextStorage {
public:
    TextStorage() = default;
    explicit TextStorage(std::string text, const Attributes& attributes = {});

    const std::string& string() const { return m_text; }
    std::size_t length() const { return m_text.size(); }
    std::size_t characterCount() const; // code points
    const std::vector<AttributeRun>& runs() const { return m_runs; }

    // The attributes at index (< length) and, when asked, the range of the run holding it.
    const Attributes& attributesAt(std::size_t index, Range* effectiveRange = nullptr) const;
    std::shared_ptr<const Attributes> sharedAttributesAt(std::size_t index) const;

    // Appends, merging with the last run when the attributes are equal. The builder of every importer.
    void append(std::string_view text, const Attributes& attributes);
    void append(std::string_view text, std::shared_ptr<const Attributes> attributes);
    void append(const TextStorage& other);
    void setAttributes(const Attributes& attributes, Range range);
    // Edits an attribute over a range, splitting runs at its ends; neighbours that become equal merge.
    void modifyAttributes(Range range, const std::function<void(Attributes&)>& edit);
    void replaceCharacters(Range range, std::string_view text, const Attributes& attributes);
    void replaceCharacters(Range range, const TextStorage& replacement);
    TextStorage substring(Range range) const;

    // RTF of the range with everything the attribute model carries (tables, pictures, links, list labels).
    std::string rtfFromRange(Range range) const;
    // The one RTF reader, installed by the importer at start-up; null storage when the bytes are not RTF.
    using RtfReader = std::function<std::shared_ptr<TextStorage>(std::span<const std::uint8_t>)>;
    static void setRtfReader(RtfReader reader);
    static std::shared_ptr<TextStorage> fromRtf(std::span<const std::uint8_t> rtf);

    // How the document's author set up its pages; null for a format without a page setup (HTML, plain
    // text), which is shown on the printer's paper in every layout. Kept apart from the runs: editing the
    // text does not move sections, and a substring or RTF copy carries none.
    const std::shared_ptr<const PageSetup>& pageSetup() const { return m_pageSetup; }
    void setPageSetup(std::shared_ptr<const PageSetup> setup) { m_pageSetup = std::move(setup); }

    // Bumped on every mutation, so layouts can tell that they are stale.
    std::uint64_t changeCount() const { return m_changeCount; }

private:
    void normalizeRuns(std::size_t from, std::size_t to);
    std::string m_text;
    std::vector<AttributeRun> m_runs;
    std::uint64_t m_changeCount = 0;
    std::shared_ptr<const PageSetup> m_pageSetup;
};

} // namespace kit
