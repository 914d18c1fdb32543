#pragma once

#include "import/rtf/RtfModel.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace importer::rtf {

// Gathers the paragraphs of tables, nested ones included, until a table is complete, then gives every
// paragraph of a cell its TableCell (grid column, spans from \clmgf/\clvmgf merges, borders, shading,
// padding, the table's column widths) and passes the paragraphs on in reading order.
//
// Levels are RTF's \itap: 0 outside tables, 1 for a top-level table, 2 for a table inside one of its
// cells... A paragraph deeper than the open tables opens the levels in between (a cell may begin with a
// nested table); levels past kMaximumNesting are taken as that level.
class RtfTableBuilder {
public:
    using Sink = std::function<void(Paragraph&&)>;
    // sink receives paragraphs outside tables at once and a top-level table's paragraphs when it closes.
    // nextTableId is shared by the stories of one document, so ids stay unique in the storage.
    RtfTableBuilder(Sink sink, int& nextTableId)
        : m_sink(std::move(sink))
        , m_nextTableId(nextTableId)
    {
    }

    int depth() const { return int(m_tables.size()); }
    static constexpr int kMaximumNesting = 16;
    static int clampLevel(int level) { return std::clamp(level, 0, kMaximumNesting); }

    // A finished paragraph written at paragraph.level. A paragraph at a lower level than the open tables
    // ends the deeper ones.
    void addParagraph(Paragraph&& paragraph);
    // \cell (level 1) or \nestcell: trailing is the paragraph the cell mark ends, empty or not, as in the
    // word processors that write RTF; every cell so ends with a paragraph of its own level.
    void endCell(int level, Paragraph&& trailing);
    // \row or \nestrow, with the row definition in force at that moment.
    void endRow(int level, const RowDefinition& definition, Paragraph&& trailing);
    // The end of the story: closes every open table, keeping the cells of an unfinished row.
    void finish();

private:
    struct Cell {
        std::vector<Paragraph> paragraphs;
    };
    struct Row {
        std::vector<Cell> cells;
        RowDefinition definition;
    };
    struct Table {
        std::vector<Row> rows;
        std::vector<Cell> openCells; // cells of the row being written
        Cell current; // the cell being written
    };

    void openTablesTo(int level);
    void startTableIfMarked(const Paragraph& paragraph);
    void closeTablesDeeperThan(int level);
    void closeInnermostTable();
    std::vector<Paragraph> assemble(Table& table, int level);

    Sink m_sink;
    int& m_nextTableId;
    std::vector<Table> m_tables;
};

} // namespace importer::rtf
