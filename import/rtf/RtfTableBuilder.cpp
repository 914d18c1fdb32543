#include "import/rtf/RtfTableBuilder.h"

#include <algorithm>
#include <map>

namespace importer::rtf {

namespace {

// Word allows 63 columns; more come from damaged or hostile files, so the grid is kept to this many columns.
constexpr std::size_t kMaximumColumns = 64;
// The width a cell gets when the row definition has no \cellx for it: one inch, in twips.
constexpr int kDefaultCellWidth = 1440;
// The default cell padding, left and right, in points (Word's \trgaph108).
constexpr float kDefaultHorizontalPadding = 5.4f;

float twipsToPoints(int twips) { return float(twips) / 20.0f; }

bool cellHasText(const std::vector<Paragraph>& paragraphs)
{
    return std::any_of(paragraphs.begin(), paragraphs.end(), [](const Paragraph& p) { return p.hasText(); });
}

// The right edges of a row's cells in twips, made strictly increasing; cells past the definition get the
// default width.
std::vector<int> cellEdges(const RowDefinition& definition, std::size_t cellCount)
{
    std::vector<int> edges;
    edges.reserve(cellCount + 1);
    edges.push_back(definition.left);
    for (std::size_t i = 0; i < cellCount; ++i) {
        int previous = edges.back();
        int right = i < definition.cells.size() ? definition.cells[i].right : previous + kDefaultCellWidth;
        if (right <= previous)
            right = previous + (i < definition.cells.size() ? 1 : kDefaultCellWidth);
        edges.push_back(right);
    }
    return edges;
}

// The grid of a table: the union of its rows' cell edges, coarsened until it has at most kMaximumColumns
// columns (rows of a real table share their edges, so this only bites on damaged files).
class Grid {
public:
    explicit Grid(const std::vector<std::vector<int>>& rowEdges)
    {
        for (long long step = 1;; step *= 2) {
            m_step = step;
            m_edges.clear();
            for (const auto& edges : rowEdges) {
                for (int edge : edges)
                    m_edges.push_back(snap(edge));
            }
            std::sort(m_edges.begin(), m_edges.end());
            m_edges.erase(std::unique(m_edges.begin(), m_edges.end()), m_edges.end());
            if (m_edges.size() <= kMaximumColumns + 1 || step > (1LL << 32))
                break;
        }
        if (m_edges.size() < 2)
            m_edges = { 0, kDefaultCellWidth };
    }

    int columnCount() const { return int(m_edges.size()) - 1; }
    // The grid index of an edge (0 .. columnCount).
    int index(int edge) const
    {
        long long snapped = snap(edge);
        auto it = std::lower_bound(m_edges.begin(), m_edges.end(), snapped);
        if (it == m_edges.end())
            return columnCount();
        return int(it - m_edges.begin());
    }
    std::vector<float> widths() const
    {
        std::vector<float> result;
        for (std::size_t i = 1; i < m_edges.size(); ++i)
            result.push_back(float(m_edges[i] - m_edges[i - 1]) / 20.0f);
        return result;
    }

private:
    long long snap(int edge) const { return (static_cast<long long>(edge) + m_step / 2) / m_step * m_step; }
    long long m_step = 1;
    std::vector<long long> m_edges;
};

kit::Border resolvedBorder(const BorderDefinition& cell, const BorderDefinition& row)
{
    if (cell.isSet)
        return cell.border;
    if (row.isSet)
        return row.border;
    return {};
}

// A cell as it will be shown: where it stands, what it spans, and the paragraphs it holds.
struct PlacedCell {
    std::shared_ptr<kit::TableCell> cell;
    std::vector<Paragraph> paragraphs;
    bool isShown = true;
};

} // namespace

void RtfTableBuilder::openTablesTo(int level)
{
    while (depth() < level)
        m_tables.emplace_back();
}

void RtfTableBuilder::closeTablesDeeperThan(int level)
{
    while (depth() > level)
        closeInnermostTable();
}

// A paragraph marked as the first of a new table closes the table open at its level, so that two tables
// written one after the other stay two.
void RtfTableBuilder::startTableIfMarked(const Paragraph& paragraph)
{
    int level = paragraph.startsTableAt;
    if (level < 1 || level > paragraph.level || depth() < level)
        return;
    const Table& table = m_tables[std::size_t(level - 1)];
    if (!table.rows.empty() || !table.openCells.empty() || !table.current.paragraphs.empty())
        closeTablesDeeperThan(level - 1);
}

void RtfTableBuilder::addParagraph(Paragraph&& paragraph)
{
    int level = clampLevel(paragraph.level);
    paragraph.level = level;
    startTableIfMarked(paragraph);
    closeTablesDeeperThan(level);
    if (level == 0) {
        m_sink(std::move(paragraph));
        return;
    }
    openTablesTo(level);
    m_tables[level - 1].current.paragraphs.push_back(std::move(paragraph));
}

void RtfTableBuilder::endCell(int level, Paragraph&& trailing)
{
    level = std::max(1, clampLevel(level));
    trailing.level = level;
    if (trailing.terminator.empty())
        trailing.terminator = "\n";
    addParagraph(std::move(trailing));
    closeTablesDeeperThan(level);
    openTablesTo(level);
    Table& table = m_tables[level - 1];
    table.openCells.push_back(std::move(table.current));
    table.current = {};
}

void RtfTableBuilder::endRow(int level, const RowDefinition& definition, Paragraph&& trailing)
{
    level = std::max(1, clampLevel(level));
    // Text between the last cell and the row end is a cell of its own rather than lost.
    if (trailing.hasText())
        endCell(level, std::move(trailing));
    closeTablesDeeperThan(level);
    if (depth() < level)
        return; // a row with no cells
    Table& table = m_tables[level - 1];
    if (!table.current.paragraphs.empty()) {
        table.openCells.push_back(std::move(table.current));
        table.current = {};
    }
    if (table.openCells.empty())
        return;
    table.rows.push_back({ std::move(table.openCells), definition });
    table.openCells.clear();
}

void RtfTableBuilder::finish()
{
    closeTablesDeeperThan(0);
}

void RtfTableBuilder::closeInnermostTable()
{
    int level = depth();
    Table& table = m_tables.back();
    // An unfinished row keeps its text: its cells take the shape of the last row.
    if (!table.current.paragraphs.empty()) {
        table.openCells.push_back(std::move(table.current));
        table.current = {};
    }
    if (!table.openCells.empty()) {
        RowDefinition definition = table.rows.empty() ? RowDefinition {} : table.rows.back().definition;
        table.rows.push_back({ std::move(table.openCells), definition });
        table.openCells.clear();
    }
    std::vector<Paragraph> paragraphs = assemble(table, level);
    m_tables.pop_back();
    if (m_tables.empty()) {
        for (auto& paragraph : paragraphs)
            m_sink(std::move(paragraph));
        return;
    }
    auto& enclosing = m_tables.back().current.paragraphs;
    for (auto& paragraph : paragraphs)
        enclosing.push_back(std::move(paragraph));
}

std::vector<Paragraph> RtfTableBuilder::assemble(Table& table, int level)
{
    // Cells past the column limit give their paragraphs to the last cell that fits.
    for (auto& row : table.rows) {
        if (row.cells.size() <= kMaximumColumns)
            continue;
        auto& last = row.cells[kMaximumColumns - 1].paragraphs;
        for (std::size_t extra = kMaximumColumns; extra < row.cells.size(); ++extra) {
            for (auto& paragraph : row.cells[extra].paragraphs)
                last.push_back(std::move(paragraph));
        }
        row.cells.resize(kMaximumColumns);
    }
    std::vector<std::vector<int>> rowEdges;
    rowEdges.reserve(table.rows.size());
    for (const auto& row : table.rows)
        rowEdges.push_back(cellEdges(row.definition, row.cells.size()));
    std::vector<std::vector<int>> gridEdges = rowEdges;
    for (const auto& row : table.rows)
        gridEdges.push_back(row.definition.gridEdges);
    Grid grid(gridEdges);
    const kit::ColumnWidths widths = grid.widths();
    const int tableId = ++m_nextTableId;

    std::vector<std::vector<PlacedCell>> placed(table.rows.size());
    std::map<int, PlacedCell*> openVerticalMerges; // by grid column: the first cell of a vertical merge
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        Row& row = table.rows[r];
        const RowDefinition& definition = row.definition;
        const std::vector<int>& edges = rowEdges[r];
        std::map<int, PlacedCell*> continuedMerges;
        PlacedCell* previousShown = nullptr;
        placed[r].reserve(row.cells.size());
        for (std::size_t c = 0; c < row.cells.size(); ++c) {
            static const CellDefinition kNoDefinition;
            const CellDefinition& cellDefinition = c < definition.cells.size() ? definition.cells[c] : kNoDefinition;
            int first = std::min(grid.index(edges[c]), grid.columnCount() - 1);
            int last = std::max(first + 1, std::min(grid.index(edges[c + 1]), grid.columnCount()));
            placed[r].push_back({});
            PlacedCell& cell = placed[r].back();
            cell.paragraphs = std::move(row.cells[c].paragraphs);

            PlacedCell* mergeOwner = nullptr;
            if (cellDefinition.mergeContinue && previousShown) {
                mergeOwner = previousShown;
                mergeOwner->cell->columnSpan = std::max(mergeOwner->cell->columnSpan, last - mergeOwner->cell->column);
            } else if (cellDefinition.verticalMergeContinue) {
                auto owner = openVerticalMerges.find(first);
                if (owner != openVerticalMerges.end()) {
                    mergeOwner = owner->second;
                    ++mergeOwner->cell->rowSpan;
                    continuedMerges[first] = mergeOwner;
                }
            }
            if (mergeOwner) {
                // A merged-away cell is not shown; what it holds (usually nothing) joins the cell it merges into.
                cell.isShown = false;
                if (cellHasText(cell.paragraphs)) {
                    for (auto& paragraph : cell.paragraphs)
                        mergeOwner->paragraphs.push_back(std::move(paragraph));
                }
                continue;
            }

            auto tableCell = std::make_shared<kit::TableCell>();
            tableCell->tableId = tableId;
            tableCell->row = int(r);
            tableCell->column = first;
            tableCell->columnSpan = last - first;
            tableCell->nestingLevel = level;
            tableCell->columnWidths = widths;
            tableCell->isHeaderRow = definition.isHeader;
            tableCell->rowKeepsTogether = definition.keepsTogether;
            bool isFirst = c == 0;
            bool isLast = c + 1 == row.cells.size();
            tableCell->borders[0] = resolvedBorder(cellDefinition.borders[0], definition.borders[0]);
            tableCell->borders[1] = resolvedBorder(cellDefinition.borders[1], definition.borders[isFirst ? 1 : 5]);
            tableCell->borders[2] = resolvedBorder(cellDefinition.borders[2], definition.borders[2]);
            tableCell->borders[3] = resolvedBorder(cellDefinition.borders[3], definition.borders[isLast ? 3 : 5]);
            tableCell->shading = cellDefinition.shading;
            for (int side = 0; side < 4; ++side) {
                std::optional<int> twips = cellDefinition.padding[side];
                if (!twips)
                    twips = definition.padding[side];
                if (!twips && (side == 1 || side == 3))
                    twips = definition.gap;
                if (twips)
                    tableCell->padding[side] = std::max(0.0f, twipsToPoints(*twips));
                else
                    tableCell->padding[side] = side == 1 || side == 3 ? kDefaultHorizontalPadding : 0;
            }
            cell.cell = tableCell;
            previousShown = &cell;
            if (cellDefinition.verticalMergeFirst)
                continuedMerges[first] = &cell;
        }
        openVerticalMerges = std::move(continuedMerges);
    }

    std::vector<Paragraph> result;
    for (auto& row : placed) {
        for (auto& cell : row) {
            if (!cell.isShown)
                continue;
            // Every cell ends with a paragraph of its own, also one whose last content is a nested table, and
            // that paragraph ends in a paragraph break. A page break inside a cell would split its row across
            // pages: there it ends its paragraph only, as word processors show it.
            if (cell.paragraphs.empty() || cell.paragraphs.back().level != level) {
                Paragraph empty;
                empty.terminator = "\n";
                empty.level = level;
                cell.paragraphs.push_back(std::move(empty));
            }
            for (auto& paragraph : cell.paragraphs) {
                // A paragraph of a nested table learns here which cell encloses its table.
                if (!paragraph.cells.empty() && !paragraph.cells.front()->parent)
                    paragraph.cells.front()->parent = cell.cell.get();
                paragraph.cells.insert(paragraph.cells.begin(), cell.cell);
                if (paragraph.terminator.empty() || paragraph.terminator == "\f")
                    paragraph.terminator = "\n";
                result.push_back(std::move(paragraph));
            }
        }
    }
    return result;
}

} // namespace importer::rtf
