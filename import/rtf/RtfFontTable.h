#pragma once

#include <map>
#include <string>
#include <string_view>

namespace importer::rtf {

// The document's fonts (\fonttbl), read as their entries arrive: each font's name and the code page its
// text is in. An entry ends at its ';', at the next \f, or when its group or the table closes.
class RtfFontTable {
public:
    struct Font {
        std::string name;
        int codePage = 0; // 0: the document's code page
        bool isSymbol = false; // a symbol font: its bytes are glyph numbers, not text in a code page
    };

    // Reading the table, in the order of its words.
    void begin(); // \fonttbl: no entry is being read
    void beginEntry(int number); // \fN inside the table; the entry before it is done
    void setCharset(int charset); // \fcharset
    void setCodePage(int codePage); // \cpg: only one that can be decoded counts
    void appendName(std::string_view utf8); // the entry's text, up to its ';'
    // A group inside the table closes (leavesTable false), or the table's own (true).
    void endGroup(bool leavesTable);
    // The entry being read: its name is decoded in its own code page.
    const Font& entry() const { return m_entry; }

    // The font of that number, or null.
    const Font* font(int number) const;
    // Its name; empty for an unknown font or one without a name.
    std::string name(int number) const;

private:
    void commitEntry();

    std::map<int, Font> m_fonts;
    int m_number = -1; // the entry being read
    Font m_entry;
    bool m_hasEntry = false;
};

} // namespace importer::rtf
