#include "kit/text/TextStorage.h"

#include "kit/text/RtfWriterHook.h"

#include <algorithm>
#include <cassert>

namespace kit {

namespace {

TextStorage::RtfReader& rtfReader()
{
    static TextStorage::RtfReader reader;
    return reader;
}

RtfWriter& rtfWriter()
{
    static RtfWriter writer;
    return writer;
}

bool isContinuationByte(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

} // namespace

TextStorage::TextStorage(std::string text, const Attributes& attributes)
{
    append(text, attributes);
}

std::size_t TextStorage::characterCount() const
{
    return std::count_if(m_text.begin(), m_text.end(), [](char c) { return !isContinuationByte(c); });
}

// The index of the run holding byte index (< length).
static std::size_t runIndexAt(const std::vector<AttributeRun>& runs, std::size_t index)
{
    auto it = std::upper_bound(runs.begin(), runs.end(), index,
        [](std::size_t i, const AttributeRun& run) { return i < run.location; });
    assert(it != runs.begin());
    return std::size_t(it - runs.begin()) - 1;
}

const Attributes& TextStorage::attributesAt(std::size_t index, Range* effectiveRange) const
{
    static const Attributes defaults;
    if (m_runs.empty() || index >= m_text.size()) {
        if (effectiveRange)
            *effectiveRange = { m_text.size(), 0 };
        return m_runs.empty() ? defaults : *m_runs.back().attributes;
    }
    std::size_t r = runIndexAt(m_runs, index);
    if (effectiveRange) {
        std::size_t end = r + 1 < m_runs.size() ? m_runs[r + 1].location : m_text.size();
        *effectiveRange = { m_runs[r].location, end - m_runs[r].location };
    }
    return *m_runs[r].attributes;
}

std::shared_ptr<const Attributes> TextStorage::sharedAttributesAt(std::size_t index) const
{
    if (m_runs.empty())
        return std::make_shared<const Attributes>();
    if (index >= m_text.size())
        return m_runs.back().attributes;
    return m_runs[runIndexAt(m_runs, index)].attributes;
}

void TextStorage::append(std::string_view text, const Attributes& attributes)
{
    if (text.empty())
        return;
    if (!m_runs.empty() && *m_runs.back().attributes == attributes) {
        m_text.append(text);
        ++m_changeCount;
        return;
    }
    append(text, std::make_shared<const Attributes>(attributes));
}

void TextStorage::append(std::string_view text, std::shared_ptr<const Attributes> attributes)
{
    if (text.empty())
        return;
    assert(attributes);
    if (m_runs.empty() || !(m_runs.back().attributes == attributes || *m_runs.back().attributes == *attributes))
        m_runs.push_back({ m_text.size(), std::move(attributes) });
    m_text.append(text);
    ++m_changeCount;
}

void TextStorage::append(const TextStorage& other)
{
    const auto& runs = other.runs();
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::size_t start = runs[r].location;
        std::size_t end = r + 1 < runs.size() ? runs[r + 1].location : other.length();
        append(std::string_view(other.string()).substr(start, end - start), runs[r].attributes);
    }
}

void TextStorage::normalizeRuns(std::size_t from, std::size_t to)
{
    // Drop empty runs and merge equal neighbours within [from, to] (indices into m_runs, clamped).
    to = std::min(to, m_runs.size());
    from = std::min(from, to);
    std::vector<AttributeRun> merged;
    merged.reserve(m_runs.size());
    for (std::size_t r = 0; r < m_runs.size(); ++r) {
        std::size_t end = r + 1 < m_runs.size() ? m_runs[r + 1].location : m_text.size();
        if (end <= m_runs[r].location && !(m_text.empty()))
            continue; // empty run
        if (m_text.empty())
            continue;
        if (!merged.empty() && (merged.back().attributes == m_runs[r].attributes || *merged.back().attributes == *m_runs[r].attributes))
            continue;
        merged.push_back(std::move(m_runs[r]));
    }
    m_runs = std::move(merged);
    if (!m_runs.empty())
        m_runs.front().location = 0;
}

void TextStorage::modifyAttributes(Range range, const std::function<void(Attributes&)>& edit)
{
    range.location = std::min(range.location, m_text.size());
    range.length = std::min(range.length, m_text.size() - range.location);
    if (range.length == 0)
        return;
    // Split at both ends, then edit every run inside.
    auto splitAt = [&](std::size_t index) {
        if (index >= m_text.size())
            return;
        std::size_t r = runIndexAt(m_runs, index);
        if (m_runs[r].location != index)
            m_runs.insert(m_runs.begin() + r + 1, { index, m_runs[r].attributes });
    };
    splitAt(range.location);
    splitAt(range.end());
    for (auto& run : m_runs) {
        if (run.location >= range.location && run.location < range.end()) {
            Attributes copy = *run.attributes;
            edit(copy);
            run.attributes = std::make_shared<const Attributes>(std::move(copy));
        }
    }
    normalizeRuns(0, m_runs.size());
    ++m_changeCount;
}

void TextStorage::setAttributes(const Attributes& attributes, Range range)
{
    auto shared = std::make_shared<const Attributes>(attributes);
    range.location = std::min(range.location, m_text.size());
    range.length = std::min(range.length, m_text.size() - range.location);
    if (range.length == 0)
        return;
    TextStorage replacement;
    replacement.append(std::string_view(m_text).substr(range.location, range.length), shared);
    replaceCharacters(range, replacement);
}

void TextStorage::replaceCharacters(Range range, std::string_view text, const Attributes& attributes)
{
    TextStorage replacement;
    replacement.append(text, attributes);
    replaceCharacters(range, replacement);
}

void TextStorage::replaceCharacters(Range range, const TextStorage& replacement)
{
    range.location = std::min(range.location, m_text.size());
    range.length = std::min(range.length, m_text.size() - range.location);
    TextStorage result;
    TextStorage before = substring({ 0, range.location });
    TextStorage after = substring({ range.end(), m_text.size() - range.end() });
    result.append(before);
    result.append(replacement);
    result.append(after);
    m_text = std::move(result.m_text);
    m_runs = std::move(result.m_runs);
    ++m_changeCount;
}

TextStorage TextStorage::substring(Range range) const
{
    TextStorage result;
    range.location = std::min(range.location, m_text.size());
    range.length = std::min(range.length, m_text.size() - range.location);
    if (range.length == 0)
        return result;
    std::size_t r = runIndexAt(m_runs, range.location);
    std::size_t position = range.location;
    while (position < range.end()) {
        std::size_t runEnd = r + 1 < m_runs.size() ? m_runs[r + 1].location : m_text.size();
        std::size_t end = std::min(runEnd, range.end());
        result.append(std::string_view(m_text).substr(position, end - position), m_runs[r].attributes);
        position = end;
        ++r;
    }
    return result;
}

void TextStorage::setRtfReader(RtfReader reader)
{
    rtfReader() = std::move(reader);
}

void setRtfWriter(RtfWriter writer)
{
    rtfWriter() = std::move(writer);
}

std::string TextStorage::rtfFromRange(Range range) const
{
    return rtfWriter() ? rtfWriter()(*this, range) : std::string();
}

std::shared_ptr<TextStorage> TextStorage::fromRtf(std::span<const std::uint8_t> rtf)
{
    if (!rtfReader())
        return nullptr;
    return rtfReader()(rtf);
}

} // namespace kit
