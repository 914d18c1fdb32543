#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace importer::rtf {

// The document's list definitions (\listtable, \listoverridetable) and the running numbers of its lists,
// for list paragraphs that carry no \listtext label of their own.
class RtfListTable {
public:
    static constexpr char32_t kRawByteFlag = 0x200000;
    struct Level {
        int numberFormat = 0; // \levelnfc: 0 decimal, 1/2 upper/lower roman, 3/4 upper/lower letter, 23 bullet, 255 none
        int startAt = 1;
        // \leveltext as read: its first value is the length; values below 10 stand for the number of that level;
        // bytes of the font's code page carry kRawByteFlag, \u characters do not.
        std::vector<char32_t> text;
        std::string fontName; // the label's font when it is a symbol font, else empty
        int codePage = 1252;
    };

    // Building, in the order the list table is read.
    void beginList() { m_lists.push_back({}); }
    void setListId(int id)
    {
        if (!m_lists.empty())
            m_lists.back().id = id;
    }
    void beginLevel()
    {
        if (!m_lists.empty() && m_lists.back().levels.size() < kMaximumLevels)
            m_lists.back().levels.push_back({});
    }
    Level* currentLevel() { return m_lists.empty() || m_lists.back().levels.empty() ? nullptr : &m_lists.back().levels.back(); }
    void addOverride(int listOverride, int listId) { m_overrides[listOverride] = listId; }

    // The label of the next paragraph of list override ls at level (0-based), advancing the numbering;
    // empty when the list or level is unknown or has no label.
    std::string nextLabel(int listOverride, int level);

private:
    static constexpr std::size_t kMaximumLevels = 9;
    struct List {
        int id = 0;
        std::vector<Level> levels;
        std::vector<int> counters;
        int lastLevel = -1;
    };
    List* listForOverride(int listOverride);

    std::vector<List> m_lists;
    std::map<int, int> m_overrides; // \ls number → \listid
};

// A number in a list number format (roman, letters, decimal...).
std::string formatListNumber(int number, int numberFormat);

} // namespace importer::rtf
