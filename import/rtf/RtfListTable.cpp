#include "import/rtf/RtfListTable.h"

#include "import/common/Encoding.h"

#include <algorithm>

namespace importer::rtf {

namespace {

std::string romanNumeral(int number, bool upper)
{
    static const struct {
        int value;
        const char* numeral;
    } kNumerals[] = { { 1000, "m" }, { 900, "cm" }, { 500, "d" }, { 400, "cd" }, { 100, "c" }, { 90, "xc" },
        { 50, "l" }, { 40, "xl" }, { 10, "x" }, { 9, "ix" }, { 5, "v" }, { 4, "iv" }, { 1, "i" } };
    if (number <= 0 || number >= 4000)
        return std::to_string(number);
    std::string out;
    for (const auto& entry : kNumerals) {
        while (number >= entry.value) {
            out += entry.numeral;
            number -= entry.value;
        }
    }
    if (upper)
        std::transform(out.begin(), out.end(), out.begin(), [](char c) { return char(c - 'a' + 'A'); });
    return out;
}

// a..z, then aa..zz, as word processors count past z.
std::string letterNumber(int number, bool upper)
{
    if (number <= 0)
        return std::to_string(number);
    char letter = char((upper ? 'A' : 'a') + (number - 1) % 26);
    return std::string(std::size_t(std::min((number - 1) / 26 + 1, 50)), letter);
}

} // namespace

std::string formatListNumber(int number, int numberFormat)
{
    switch (numberFormat) {
    case 1:
        return romanNumeral(number, true);
    case 2:
        return romanNumeral(number, false);
    case 3:
        return letterNumber(number, true);
    case 4:
        return letterNumber(number, false);
    case 22:
        return number < 10 ? "0" + std::to_string(number) : std::to_string(number);
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
    std::erase_if(label, [](char c) { return static_cast<unsigned char>(c) < 0x20; });
    return label;
}

} // namespace importer::rtf
