#include "import/rtf/RtfListTable.h"

#include "import/common/Encoding.h"
#include "kit/text/Numerals.h"

#include <algorithm>

namespace importer::rtf {

std::string formatListNumber(int number, int numberFormat)
{
    switch (numberFormat) {
    case 1:
    case 2:
        return kit::romanNumeral(number, numberFormat == 1);
    case 3:
    case 4:
        return kit::letterNumeral(number, numberFormat == 3);
    case 5:
        return std::to_string(number) + (number >= 0 ? kit::ordinalSuffix(number) : "");
    case 22:
        return (number >= 0 && number < 10 ? "0" : "") + std::to_string(number);
    case 23:
    case 255:
        return "";
    default:
        return std::to_string(number);
    }
}

RtfListTable::List* RtfListTable::listForOverride(int listOverride)
{
    auto found = m_overrides.find(listOverride);
    int id = found != m_overrides.end() ? found->second : 0;
    for (auto& list : m_lists) {
        if (list.id == id && found != m_overrides.end())
            return &list;
    }
    return nullptr;
}

std::string RtfListTable::nextLabel(int listOverride, int level)
{
    List* list = listForOverride(listOverride);
    if (!list || level < 0 || std::size_t(level) >= list->levels.size())
        return {};
    if (list->counters.size() < list->levels.size())
        list->counters.resize(list->levels.size(), 0);
    // A level restarts after a paragraph of a higher (smaller-numbered) level.
    for (std::size_t deeper = std::size_t(level) + 1; deeper < list->counters.size(); ++deeper)
        list->counters[deeper] = 0;
    int& counter = list->counters[std::size_t(level)];
    counter = counter == 0 ? list->levels[std::size_t(level)].startAt : counter + 1;
    list->lastLevel = level;

    const Level& definition = list->levels[std::size_t(level)];
    if (definition.text.empty())
        return {};
    std::size_t length = std::min<std::size_t>(definition.text[0], definition.text.size() - 1);
    std::string label;
    for (std::size_t i = 1; i <= length; ++i) {
        char32_t value = definition.text[i];
        if (value < 10) {
            std::size_t referenced = value;
            if (referenced < list->levels.size()) {
                int number = list->counters[referenced] ? list->counters[referenced] : list->levels[referenced].startAt;
                label += formatListNumber(number, list->levels[referenced].numberFormat);
            }
            continue;
        }
        bool isRawByte = value & kRawByteFlag;
        value &= ~kRawByteFlag;
        if (!definition.fontName.empty() && (isRawByte || value < 0x80)) {
            encoding::appendUtf8(label, encoding::symbolFontCharacter(definition.fontName, std::uint8_t(value)));
        } else if (!definition.fontName.empty() && value >= 0xF020 && value <= 0xF0FF) {
            encoding::appendUtf8(label, encoding::symbolFontCharacter(definition.fontName, std::uint8_t(value - 0xF000)));
        } else if (isRawByte) {
            std::uint8_t byte = std::uint8_t(value);
            label += encoding::decode(std::span(&byte, 1), definition.codePage);
        } else {
            encoding::appendUtf8(label, value);
        }
    }
    // Control characters in a level's text (bytes past the level placeholders in a damaged file) are no
    // part of a label; the text model has no place for them. In UTF-8 they are single bytes.
    std::erase_if(label, [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return label;
}

} // namespace importer::rtf
