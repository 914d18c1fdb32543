#pragma once

#include "import/common/ByteReader.h"
#include "import/doc/Fib.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace importer::doc {

// The document's list definitions (PlfLst), their per-use overrides (PlfLfo), and the running numbers
// that turn a list paragraph into its label.
class ListTable {
public:
    static ListTable read(const ByteReader& table, Fib::Range lists, Fib::Range overrides);

    struct Level {
        std::int32_t start = 1;
        std::uint8_t format = 0; // nfc: 0 decimal, 1/2 roman, 3/4 letters, 22 zero-padded, 23 bullet, 255 none
        std::uint8_t follow = 0; // 0 tab, 1 space, 2 nothing
        bool isLegal = false; // every placeholder shown as a decimal number
        bool noRestart = false;
        std::u16string text; // code units below 9 are placeholders for the number of that level
        ByteReader paragraphGrpprl;
        ByteReader characterGrpprl;
    };

    // The level a paragraph with list format override ilfo (1-based, as the paragraph stores it) and level
    // ilvl uses; nullptr when the paragraph is not in a list.
    const Level* level(std::uint16_t ilfo, std::uint8_t ilvl) const;

    // Counts the paragraph and returns its label text (placeholders replaced), nullopt when it has none.
    std::optional<std::u16string> nextLabel(std::uint16_t ilfo, std::uint8_t ilvl);

    bool isEmpty() const { return m_overrides.empty(); }

    // A number in one of the list formats ("iv", "D", "07"...); decimal for formats not spelled out here.
    static std::u16string formatNumber(std::int32_t number, std::uint8_t format);

private:
    struct List {
        std::int32_t id = 0;
        std::vector<Level> levels;
    };
    struct Override {
        std::int32_t listId = 0;
        std::array<std::optional<std::int32_t>, 9> startAt;
        std::array<std::optional<Level>, 9> levels;
        bool restarts = false;
    };
    struct Counters {
        std::array<std::int32_t, 9> values {};
        std::array<bool, 9> started {};
    };
    static std::optional<Level> readLevel(const ByteReader& table, std::size_t& at);
    const List* list(std::int32_t id) const;
    std::optional<std::size_t> overrideIndex(std::uint16_t ilfo) const;

    std::vector<List> m_lists;
    std::vector<Override> m_overrides;
    std::map<std::int64_t, Counters> m_counters;
};

} // namespace importer::doc
