#include "import/doc/ListTable.h"

#include "import/common/OutputBudget.h"
#include "kit/text/Numerals.h"

#include <algorithm>

namespace importer::doc {

namespace {

constexpr std::size_t kMaximumLists = 4096;
constexpr std::size_t kListDefinitionSize = 28;
constexpr std::size_t kOverrideSize = 16;
constexpr std::size_t kLevelHeaderSize = 28;

std::u16string ascii(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

} // namespace

std::u16string ListTable::formatNumber(std::int32_t number, std::uint8_t format)
{
    switch (format) {
    case 1:
    case 2:
        return ascii(kit::romanNumeral(number, format == 1));
    case 3:
    case 4:
        return ascii(kit::letterNumeral(number, format == 3));
    case 5:
        if (number >= 0)
            return ascii(std::to_string(number) + kit::ordinalSuffix(number));
        break;
    case 22:
        return ascii((number >= 0 && number < 10 ? "0" : "") + std::to_string(number));
    case 23:
    case 255:
        return {};
    default:
        break;
    }
    return ascii(std::to_string(number));
}

std::optional<ListTable::Level> ListTable::readLevel(const ByteReader& table, std::size_t& at)
{
    auto header = table.slice(at, kLevelHeaderSize);
    if (!header)
        return std::nullopt;
    Level level;
    level.start = std::clamp<std::int32_t>(*header->readI32LE(0), 0, 0x7FFF);
    level.format = *header->readU8(4);
    std::uint8_t flags = *header->readU8(5);
    level.isLegal = flags & 0x04;
    level.noRestart = flags & 0x08;
    level.follow = *header->readU8(15);
    std::size_t characterSize = *header->readU8(24), paragraphSize = *header->readU8(25);
    at += kLevelHeaderSize;
    // The paragraph properties come first although the header names the character ones first.
    level.paragraphGrpprl = table.clippedSlice(at, paragraphSize);
    at += paragraphSize;
    level.characterGrpprl = table.clippedSlice(at, characterSize);
    at += characterSize;
    auto length = table.readU16LE(at);
    if (!length)
        return std::nullopt;
    at += 2;
    for (std::size_t i = 0; i < std::min<std::size_t>(*length, kMaxListLabelTemplate); ++i) {
        auto unit = table.readU16LE(at + 2 * i);
        if (!unit)
            return std::nullopt;
        level.text.push_back(char16_t(*unit));
    }
    at += 2 * std::size_t(*length);
    return level;
}

ListTable ListTable::read(const ByteReader& table, Fib::Range lists, Fib::Range overrides)
{
    ListTable result;
    if (lists.lcb < 2 || overrides.lcb < 4 || lists.fc == overrides.fc)
        return result;
    std::size_t count = std::min<std::size_t>(std::max<std::int16_t>(table.readI16LE(lists.fc).value_or(0), 0), kMaximumLists);
    std::vector<bool> simple;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = lists.fc + 2 + kListDefinitionSize * i;
        auto id = table.readI32LE(at);
        auto flags = table.readU8(at + 26);
        if (!id || !flags)
            break;
        result.m_lists.push_back({ *id, {} });
        simple.push_back(*flags & 0x01);
    }
    // The levels of all lists follow the list table, nine per list (one for a simple list), in order.
    std::size_t at = std::size_t(lists.fc) + lists.lcb;
    for (std::size_t i = 0; i < result.m_lists.size(); ++i) {
        std::size_t levels = simple[i] ? 1 : 9;
        for (std::size_t l = 0; l < levels; ++l) {
            auto level = readLevel(table, at);
            if (!level)
                break;
            result.m_lists[i].levels.push_back(std::move(*level));
        }
    }

    std::size_t overrideCount = std::min<std::size_t>(table.readU32LE(overrides.fc).value_or(0), kMaximumLists);
    std::vector<std::uint8_t> levelCounts;
    for (std::size_t i = 0; i < overrideCount; ++i) {
        std::size_t entry = overrides.fc + 4 + kOverrideSize * i;
        auto id = table.readI32LE(entry);
        auto levels = table.readU8(entry + 12);
        if (!id || !levels)
            break;
        Override override;
        override.listId = *id;
        result.m_overrides.push_back(override);
        levelCounts.push_back(*levels);
    }
    // After the overrides, one block each: a CP, then the overridden levels (a start value, and a whole level
    // when the formatting changes too). A damaged block ends the reading; what came before stands.
    at = overrides.fc + 4 + kOverrideSize * result.m_overrides.size();
    for (std::size_t i = 0; i < result.m_overrides.size(); ++i) {
        if (!table.contains(at, 4))
            break;
        at += 4;
        bool ok = true;
        for (std::size_t l = 0; l < std::min<std::uint8_t>(levelCounts[i], 9) && ok; ++l) {
            auto start = table.readI32LE(at);
            auto flags = table.readU32LE(at + 4);
            if (!start || !flags) {
                ok = false;
                break;
            }
            at += 8;
            std::size_t levelIndex = *flags & 0x0F;
            bool startsAgain = *flags & 0x10;
            bool formats = *flags & 0x20;
            if (levelIndex < 9 && startsAgain && (*flags & 0xFF) != 0xFF) {
                result.m_overrides[i].startAt[levelIndex] = std::clamp<std::int32_t>(*start, 0, 0x7FFF);
                result.m_overrides[i].restarts = true;
            }
            if (formats) {
                auto level = readLevel(table, at);
                if (!level) {
                    ok = false;
                    break;
                }
                if (levelIndex < 9)
                    result.m_overrides[i].levels[levelIndex] = std::move(*level);
            }
        }
        if (!ok)
            break;
    }
    return result;
}

const ListTable::List* ListTable::list(std::int32_t id) const
{
    for (const auto& list : m_lists) {
        if (list.id == id)
            return &list;
    }
    return nullptr;
}

std::optional<std::size_t> ListTable::overrideIndex(std::uint16_t ilfo) const
{
    // 0 and 2047 (a Word 6 numbering carried over) are not lists; 0xF802 and above name a list by its
    // complement, keeping the paragraph's own indents.
    std::uint16_t index = ilfo;
    if (ilfo >= 0xF802)
        index = std::uint16_t(~ilfo);
    if (index == 0 || index >= 0x07FF || index > m_overrides.size())
        return std::nullopt;
    return index - 1u;
}

const ListTable::Level* ListTable::level(std::uint16_t ilfo, std::uint8_t ilvl) const
{
    auto index = overrideIndex(ilfo);
    if (!index || ilvl >= 9)
        return nullptr;
    const Override& override = m_overrides[*index];
    if (override.levels[ilvl])
        return &*override.levels[ilvl];
    const List* definition = list(override.listId);
    if (!definition || definition->levels.empty())
        return nullptr;
    return &definition->levels[std::min<std::size_t>(ilvl, definition->levels.size() - 1)];
}

std::optional<std::u16string> ListTable::nextLabel(std::uint16_t ilfo, std::uint8_t ilvl)
{
    const Level* current = level(ilfo, ilvl);
    if (!current)
        return std::nullopt;
    auto index = *overrideIndex(ilfo);
    const Override& override = m_overrides[index];
    // Overrides that restart the numbering are list instances of their own; the others continue the list.
    std::int64_t key = override.restarts ? -std::int64_t(index) - 1 : override.listId;
    Counters& counters = m_counters[key];
    auto startOf = [&](std::size_t l) {
        if (override.startAt[l])
            return *override.startAt[l];
        const Level* at = level(ilfo, std::uint8_t(l));
        return at ? at->start : 1;
    };
    counters.values[ilvl] = counters.started[ilvl] ? counters.values[ilvl] + 1 : startOf(ilvl);
    counters.values[ilvl] = std::min(counters.values[ilvl], 0x7FFFFFF);
    counters.started[ilvl] = true;
    for (std::size_t deeper = std::size_t(ilvl) + 1; deeper < 9; ++deeper) {
        const Level* below = level(ilfo, std::uint8_t(deeper));
        if (!below || !below->noRestart)
            counters.started[deeper] = false;
    }
    std::u16string label;
    for (char16_t unit : current->text) {
        if (unit >= 9) {
            label.push_back(unit);
            continue;
        }
        std::int32_t number = counters.started[unit] ? counters.values[unit] : startOf(unit);
        const Level* placeholder = level(ilfo, std::uint8_t(unit));
        std::uint8_t format = placeholder ? placeholder->format : 0;
        if (current->isLegal && format != 22)
            format = 0;
        label += formatNumber(number, format);
    }
    return label;
}

} // namespace importer::doc
