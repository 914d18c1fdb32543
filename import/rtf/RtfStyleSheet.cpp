#include "import/rtf/RtfStyleSheet.h"

#include "import/common/DocumentMarks.h"

#include <algorithm>

namespace importer::rtf {

namespace {

// More than any document has; a hostile one stops growing here.
constexpr std::size_t kMaximumStyles = 4096;
constexpr std::size_t kMaximumWordsPerStyle = 256;
constexpr std::size_t kMaximumNameBytes = 64;

bool namesOrLinksStyle(Keyword keyword)
{
    return keyword == Keyword::BasedOn || keyword == Keyword::ParagraphStyle || keyword == Keyword::CharacterStyle
        || keyword == Keyword::SectionStyle || keyword == Keyword::TableStyle || keyword == Keyword::StyleLink;
}

} // namespace

void RtfStyleSheet::addWord(const ControlWord& word)
{
    if (!namesOrLinksStyle(word.keyword) && m_entry.words.size() < kMaximumWordsPerStyle)
        m_entry.words.push_back(word);
}

void RtfStyleSheet::appendName(std::span<const std::uint8_t> bytes)
{
    for (std::uint8_t byte : bytes) {
        if (m_entryName.size() < kMaximumNameBytes && byte != ';')
            m_entryName += char(byte);
    }
}

void RtfStyleSheet::finishEntry()
{
    bool hasOutlineLevel = std::any_of(m_entry.words.begin(), m_entry.words.end(),
        [](const ControlWord& w) { return w.keyword == Keyword::OutlineLevel; });
    std::string_view name = m_entryName;
    while (!name.empty() && (name.front() == ' ' || name.back() == ' '))
        name = name.front() == ' ' ? name.substr(1) : name.substr(0, name.size() - 1);
    if (int level = headingLevelOfStyleName(name); level && !hasOutlineLevel)
        m_entry.words.push_back({ Keyword::OutlineLevel, 0, level - 1, true });
    if (m_number >= 0 && m_styles.size() < kMaximumStyles)
        m_styles[m_number] = std::move(m_entry);
    m_entry = {};
    m_entryName.clear();
    m_number = -1;
}

const RtfStyleSheet::Style* RtfStyleSheet::style(int number) const
{
    auto found = m_styles.find(number);
    return found == m_styles.end() ? nullptr : &found->second;
}

} // namespace importer::rtf
