#include "import/doc/Properties.h"

#include <algorithm>

namespace importer::doc {

namespace {

// Word allows 63 cells in a row.
constexpr std::size_t kMaximumCells = 63;

void setBorders(TableProperties& table, std::size_t first, std::size_t limit, std::uint8_t sides, const BorderLine& line)
{
    limit = std::min(limit, table.cells.size());
    for (std::size_t i = first; i < limit; ++i) {
        for (int side = 0; side < 4; ++side) {
            if (sides & (1 << side))
                table.cells[i].borders[side] = line;
        }
    }
}

void setShading(TableProperties& table, const Sprm& sprm, std::size_t first)
{
    for (std::size_t i = 0; 10 * (i + 1) <= sprm.operand.size() && first + i < kMaximumCells; ++i) {
        if (table.shading.size() <= first + i)
            table.shading.resize(first + i + 1);
        table.shading[first + i] = shadingColor(sprm.u32(10 * i), sprm.u32(10 * i + 4), sprm.u16(10 * i + 8));
    }
}

void defineCells(TableProperties& table, const Sprm& sprm)
{
    std::size_t count = std::min<std::size_t>(sprm.u8(0), kMaximumCells);
    table.boundaries.clear();
    table.cells.assign(count, {});
    table.shading.clear();
    for (std::size_t i = 0; i <= count; ++i) {
        auto boundary = sprm.operand.readI16LE(1 + 2 * i);
        if (!boundary) {
            // A row without its boundaries has no geometry at all.
            table.boundaries.clear();
            table.cells.clear();
            return;
        }
        table.boundaries.push_back(*boundary);
    }
    // Cell descriptors may stop early; the remaining cells keep their defaults.
    std::size_t descriptors = 1 + 2 * (count + 1);
    std::size_t size = sprm.isWord6 ? 10 : 20;
    for (std::size_t i = 0; i < count; ++i) {
        std::size_t at = descriptors + size * i;
        auto flags = sprm.operand.readU16LE(at);
        if (!flags || !sprm.operand.contains(at, size))
            break;
        auto& cell = table.cells[i];
        cell.isFirstMerged = *flags & 0x01;
        cell.isMerged = *flags & 0x02;
        if (sprm.isWord6) {
            for (int side = 0; side < 4; ++side)
                cell.borders[side] = BorderLine::fromBrc10(sprm.operand, at + 2 + 2 * side);
        } else {
            cell.isVerticallyMerged = *flags & 0x20;
            cell.isVerticalRestart = *flags & 0x40;
            for (int side = 0; side < 4; ++side)
                cell.borders[side] = BorderLine::fromBrc80(sprm.operand, at + 4 + 4 * side);
        }
    }
}

void insertCells(TableProperties& table, const Sprm& sprm)
{
    std::size_t at = sprm.u8(0), count = sprm.u8(1);
    std::int16_t width = sprm.i16(2);
    if (table.boundaries.empty())
        table.boundaries.push_back(0);
    std::size_t cells = table.boundaries.size() - 1;
    count = std::min(count, kMaximumCells - std::min(cells, kMaximumCells));
    if (at > cells) {
        // Past the end: the row grows by the given widths from its last boundary.
        for (std::size_t i = 0; i < count; ++i)
            table.boundaries.push_back(std::int16_t(table.boundaries.back() + width));
        table.cells.resize(table.boundaries.size() - 1);
        return;
    }
    std::int16_t start = table.boundaries[at];
    for (std::size_t i = at + 1; i < table.boundaries.size(); ++i)
        table.boundaries[i] = std::int16_t(table.boundaries[i] + width * std::int16_t(count));
    for (std::size_t i = 0; i < count; ++i)
        table.boundaries.insert(table.boundaries.begin() + std::ptrdiff_t(at + 1 + i), std::int16_t(start + width * std::int16_t(i + 1)));
    table.cells.resize(cells);
    table.cells.insert(table.cells.begin() + std::ptrdiff_t(std::min(at, table.cells.size())), count, TableCellDefinition {});
}

void deleteCells(TableProperties& table, const Sprm& sprm)
{
    if (table.boundaries.size() < 2)
        return;
    std::size_t cells = table.boundaries.size() - 1;
    std::size_t first = std::min<std::size_t>(sprm.u8(0), cells), limit = std::min<std::size_t>(sprm.u8(1), cells);
    if (first >= limit)
        return;
    std::int16_t removed = std::int16_t(table.boundaries[limit] - table.boundaries[first]);
    table.boundaries.erase(table.boundaries.begin() + std::ptrdiff_t(first + 1), table.boundaries.begin() + std::ptrdiff_t(limit + 1));
    for (std::size_t i = first + 1; i < table.boundaries.size(); ++i)
        table.boundaries[i] = std::int16_t(table.boundaries[i] - removed);
    if (table.cells.size() > first)
        table.cells.erase(table.cells.begin() + std::ptrdiff_t(first), table.cells.begin() + std::ptrdiff_t(std::min(limit, table.cells.size())));
    if (table.shading.size() > first)
        table.shading.erase(table.shading.begin() + std::ptrdiff_t(first), table.shading.begin() + std::ptrdiff_t(std::min(limit, table.shading.size())));
}

void setColumnWidths(TableProperties& table, const Sprm& sprm)
{
    if (table.boundaries.size() < 2)
        return;
    std::size_t cells = table.boundaries.size() - 1;
    std::size_t first = std::min<std::size_t>(sprm.u8(0), cells), limit = std::min<std::size_t>(sprm.u8(1), cells);
    std::int16_t width = sprm.i16(2);
    for (std::size_t i = first; i < limit; ++i) {
        std::int16_t shift = std::int16_t(table.boundaries[i] + width - table.boundaries[i + 1]);
        for (std::size_t j = i + 1; j < table.boundaries.size(); ++j)
            table.boundaries[j] = std::int16_t(table.boundaries[j] + shift);
    }
}

} // namespace

void TableProperties::apply(const Sprm& sprm)
{
    switch (sprm.code) {
    case sprm::TDefTable:
        defineCells(*this, sprm);
        break;
    case sprm::TDefTableShd80: {
        shading.clear();
        for (std::size_t i = 0; 2 * (i + 1) <= sprm.operand.size() && i < kMaximumCells; ++i) {
            std::uint16_t value = sprm.u16(2 * i);
            shading.push_back(value == 0xFFFF ? std::nullopt
                                              : shadingColor(colorRefFromIco(value & 0x1F), colorRefFromIco((value >> 5) & 0x1F), value >> 10));
        }
        break;
    }
    case sprm::TDefTableShd:
        setShading(*this, sprm, 0);
        break;
    case sprm::TDefTableShd2nd:
        setShading(*this, sprm, 22);
        break;
    case sprm::TDefTableShd3rd:
        setShading(*this, sprm, 44);
        break;
    case sprm::TTableBorders80:
        for (std::size_t i = 0; i < tableBorders.size(); ++i)
            tableBorders[i] = sprm.isWord6 ? BorderLine::fromBrc10(sprm.operand, 2 * i) : BorderLine::fromBrc80(sprm.operand, 4 * i);
        break;
    case sprm::TTableBorders:
        for (std::size_t i = 0; i < tableBorders.size(); ++i)
            tableBorders[i] = BorderLine::fromBrc(sprm.operand, 8 * i);
        break;
    case sprm::TDxaGapHalf:
        gapHalf = std::clamp<std::int16_t>(sprm.i16(), 0, 2000);
        break;
    case sprm::TTableHeader:
        isHeader = sprm.u8() != 0;
        break;
    case sprm::TFCantSplit:
    case sprm::TFCantSplit90:
        cantSplit = sprm.u8() != 0;
        break;
    case sprm::TMerge: {
        std::size_t first = sprm.u8(0), limit = std::min<std::size_t>(sprm.u8(1), cells.size());
        for (std::size_t i = first; i < limit; ++i) {
            cells[i].isFirstMerged = i == first;
            cells[i].isMerged = i != first;
        }
        break;
    }
    case sprm::TSplit: {
        std::size_t first = sprm.u8(0), limit = std::min<std::size_t>(sprm.u8(1), cells.size());
        for (std::size_t i = first; i < limit; ++i)
            cells[i].isFirstMerged = cells[i].isMerged = false;
        break;
    }
    case sprm::TVertMerge: {
        std::size_t cell = sprm.u8(0);
        std::uint8_t flags = sprm.u8(1);
        if (cell < cells.size()) {
            cells[cell].isVerticallyMerged = flags & 1;
            cells[cell].isVerticalRestart = flags == 3;
        }
        break;
    }
    case sprm::TInsert:
        insertCells(*this, sprm);
        break;
    case sprm::TDelete:
        deleteCells(*this, sprm);
        break;
    case sprm::TDxaCol:
        setColumnWidths(*this, sprm);
        break;
    case sprm::TSetBrc80:
        setBorders(*this, sprm.u8(0), sprm.u8(1), sprm.u8(2), BorderLine::fromBrc80(sprm.operand, 3));
        break;
    case sprm::TSetBrc:
        setBorders(*this, sprm.u8(0), sprm.u8(1), sprm.u8(2), BorderLine::fromBrc(sprm.operand, 3));
        break;
    case sprm::TCellPaddingDefault: {
        // Only widths in twips (ftsWidth 3) are absolute; other units depend on a layout we do not know.
        if (sprm.u8(3) != 3)
            break;
        std::array<float, 4> sides = padding.value_or(std::array<float, 4> { 0, twipsToPoints(gapHalf), 0, twipsToPoints(gapHalf) });
        float width = twipsToPoints(sprm.u16(4));
        std::uint8_t which = sprm.u8(2);
        for (int side = 0; side < 4; ++side) {
            if (which & (1 << side))
                sides[side] = width;
        }
        padding = sides;
        break;
    }
    default:
        break;
    }
}

} // namespace importer::doc
