#include "import/rtf/RtfFontTable.h"

#include "import/common/Encoding.h"

namespace importer::rtf {

namespace {

bool isSymbolFontName(std::string_view name)
{
    return name == "Symbol" || name.substr(0, 9) == "Wingdings" || name == "Webdings" || name == "ZapfDingbats";
}

} // namespace

void RtfFontTable::begin()
{
    m_entry = {};
    m_hasEntry = false;
    m_number = -1;
}

void RtfFontTable::beginEntry(int number)
{
    if (m_hasEntry || m_number >= 0)
        commitEntry();
    m_number = number;
    m_hasEntry = true;
}

void RtfFontTable::setCharset(int charset)
{
    int codePage = encoding::codePageForCharset(charset);
    m_entry.isSymbol = codePage == encoding::kCodePageSymbol;
    m_entry.codePage = m_entry.isSymbol ? 0 : codePage;
}

void RtfFontTable::setCodePage(int codePage)
{
    if (encoding::iconvNameForCodePage(codePage))
        m_entry.codePage = codePage;
}

void RtfFontTable::appendName(std::string_view utf8)
{
    for (char c : utf8) {
        // Control characters (a NUL in a damaged file, a \tab) are no part of a font's name; kept, they
        // would hide a name such as Symbol that changes how the text is read.
        if (c == ';')
            commitEntry();
        else if (static_cast<unsigned char>(c) < 0x20)
            continue;
        else if (m_entry.name.size() < 256)
            m_entry.name += c;
    }
    m_hasEntry = true;
}

void RtfFontTable::endGroup(bool leavesTable)
{
    // A braced entry may lack its semicolon: its group's end ends it.
    if (leavesTable || (m_hasEntry && !m_entry.name.empty()))
        commitEntry();
}

void RtfFontTable::commitEntry()
{
    if (m_hasEntry && m_number >= 0) {
        Font font = m_entry;
        while (!font.name.empty() && font.name.back() == ' ')
            font.name.pop_back();
        while (!font.name.empty() && font.name.front() == ' ')
            font.name.erase(0, 1);
        if (isSymbolFontName(font.name))
            font.isSymbol = true;
        m_fonts[m_number] = font;
    }
    begin();
}

const RtfFontTable::Font* RtfFontTable::font(int number) const
{
    auto found = m_fonts.find(number);
    return found == m_fonts.end() ? nullptr : &found->second;
}

std::string RtfFontTable::name(int number) const
{
    const Font* found = font(number);
    return found ? found->name : std::string();
}

} // namespace importer::rtf
