#pragma once

#include "import/rtf/RtfKeyword.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace importer::rtf {

// The document's styles (\stylesheet), by number: the formatting words of each entry, replayed where the
// style is applied, and the style it is based on. A style named "heading N" without an outline level of its
// own gets that level of the outline, as word processors read it.
class RtfStyleSheet {
public:
    struct Style {
        std::vector<ControlWord> words;
        int basedOn = -1;
    };

    // Reading an entry, in the order of its words; finishEntry when its group closes.
    void setEntryNumber(int number) { m_number = number; } // \s, \cs, \ds, \ts
    void setBasedOn(int number) { m_entry.basedOn = number; } // \sbasedon
    // Keeps a formatting word; the words that name or link styles are not formatting.
    void addWord(const ControlWord& word);
    // The entry's text: its name, up to the ';'.
    void appendName(std::span<const std::uint8_t> bytes);
    void finishEntry();

    // The style of that number, or null.
    const Style* style(int number) const;

private:
    std::map<int, Style> m_styles;
    int m_number = -1; // the entry being read
    Style m_entry;
    std::string m_entryName; // only what decides a heading is kept
};

} // namespace importer::rtf
