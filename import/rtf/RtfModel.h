#pragma once

#include "kit/text/Attributes.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// What the RTF reader builds before it reaches the text storage. Paragraph properties in RTF are those in
// force at the paragraph's end, and a table's cells learn their spans only when the rows below them arrive,
// so paragraphs wait here until both are known.
namespace importer::rtf {

// Text with its character attributes (the paragraph style and table cell are added when the paragraph ends).
struct Run {
    std::string text;
    std::shared_ptr<const kit::Attributes> attributes;
};

struct Paragraph {
    std::vector<Run> runs;
    std::shared_ptr<const kit::ParagraphStyle> style;
    // "\n" for a paragraph end, "\f" for a page break; empty for the unterminated last paragraph.
    std::string terminator;
    std::shared_ptr<const kit::Attributes> terminatorAttributes; // null: those of the last run
    // The cells the paragraph stands in, outermost first; filled in as its tables close.
    std::vector<std::shared_ptr<kit::TableCell>> cells;
    // The nesting level of the table the paragraph was written in (0 outside tables).
    int level = 0;
    // Written by our own writer on the first paragraph of a table that follows another one directly: the
    // level at which the new table starts (0 for none).
    int startsTableAt = 0;
    // The label was written by our own writer: its characters are kept exactly as they are.
    bool hasVerbatimLabel = false;
    // The body paragraph that begins this section (an index into the reader's sections); -1 for none.
    int startsSection = -1;
    // Notes whose group stands in this body paragraph: the byte in the runs' text where each began, and the
    // note's number (0 the first). A notes-story paragraph that begins a note's text carries its number.
    std::vector<std::pair<std::size_t, int>> noteReferences;
    int startsNote = -1;

    bool hasText() const
    {
        for (const auto& run : runs) {
            if (!run.text.empty())
                return true;
        }
        return false;
    }
};

// A border as the row definition gives it; colours are resolved when the definition is read.
struct BorderDefinition {
    bool isSet = false;
    kit::Border border;
};

// One \cellx of a row definition, with the cell properties written before it. Lengths in twips.
struct CellDefinition {
    int right = 0;
    bool mergeFirst = false; // \clmgf
    bool mergeContinue = false; // \clmrg
    bool verticalMergeFirst = false; // \clvmgf
    bool verticalMergeContinue = false; // \clvmrg
    std::array<BorderDefinition, 4> borders; // top, left, bottom, right
    std::optional<kit::Color> shading;
    std::array<std::optional<int>, 4> padding; // top, left, bottom, right
};

// \trowd ... \cellx: the shape of one table row. Lengths in twips.
struct RowDefinition {
    int left = 0; // \trleft
    std::optional<int> gap; // \trgaph: half the space between cells, the default left and right padding
    std::array<std::optional<int>, 4> padding; // \trpadd*, top, left, bottom, right
    std::array<BorderDefinition, 6> borders; // \trbrdr t, l, b, r, h, v
    bool isHeader = false;
    bool keepsTogether = false; // \trkeep: the row does not break across pages
    std::vector<CellDefinition> cells;
    // Column edges our own writer lists (\lectoringrid), so that a column no cell edge marks survives.
    std::vector<int> gridEdges;
    CellDefinition pending; // properties of the cell whose \cellx has not come yet
};

} // namespace importer::rtf
