#pragma once

#include "kit/text/LayoutModel.h"
#include "kit/text/PageSetup.h"
#include "kit/text/ParagraphEngine.h"
#include "kit/text/TextContainer.h"

#include <deque>
#include <functional>
#include <optional>
#include <unordered_map>

namespace kit {

// What one paginator placed, for another of the same storage and container shapes to show as its own.
struct LayoutHandover {
    const TextStorage* storage = nullptr; // what was laid out, and how
    bool placesNotes = false;
    std::size_t first = 0; // the container that containers[0] is
    std::vector<layout::ContainerLayout> containers;
    // What laying the containers' lines out again takes, for each paragraph (or split piece) they are of.
    struct Measured {
        std::uint32_t paragraph = 0; // numbered as PlacedLine::paragraph
        layout::Paragraph split; // the piece, when it is a split one
        float width = 0;
        float maxObjectHeight = 0;
        bool placesFloats = false;
    };
    std::vector<Measured> measured;
    bool complete = false;
    std::size_t endContainer = 0;
};

// Flows a storage's paragraphs and tables through a sequence of containers, one container at a time and
// only as far as asked. It keeps line metrics only: the engine lays a paragraph out again to draw it.
//
// Page breaking, in one place (layOutNextContainer):
// - A line goes on the current container when its box fits below what is there; else the container is
//   full. A line taller than a whole container still goes on an empty one, so pagination always advances.
// - Spacing before a paragraph is dropped at the top of a container, unless that container was started
//   by an explicit break ('\f' or "page break before"); spacing after a paragraph never moves anything
//   to the next container.
// - '\f' ends its paragraph and the container; "page break before" starts a new container unless the
//   current one is still empty.
// - A container with columns fills them in turn: a line that does not fit at the foot of one column, or a
//   paragraph with "column break before", goes to the top of the next; after the last column the container
//   is full. A column break in a container of one column does nothing.
// - Where the document's pages are laid out, a section that begins without a page break (a continuous
//   one) ends the band of columns above it: those columns are balanced, filled again to the least height
//   that holds their text, and the section's own columns begin below them on the same container.
// - "Keep with next" moves a paragraph to the next container when it, the paragraphs chained to it and
//   the first line of the paragraph after them do not fit here but would fit in an empty container.
// - A table row (or the rows tied by a vertical merge) goes whole on the current container when it fits,
//   else on the next one when it fits there, else it is split between lines. Header rows are repeated as
//   decoration at the top of each container the table continues on.
//
// Notes, when the paginator places them (the document's own pages): the notes' paragraphs, which stand after
// the body's, leave the flow. Endnotes flow after the body, or after the last block of the section holding
// their reference. Footnotes go to a note area at the foot of the container whose line holds the reference:
// - A line with references goes on the container only when it and the first line of each of its notes fit
//   above the notes already there, with the separator; else it moves on to the next container with them.
// - A note takes as many of its lines as fit; the rest continue at the foot of the next container (in at
//   most half of it while body text remains), and no later note starts before it ends.
// - A footnote whose reference is never placed (one inside another note, say) is placed after the body.
class Paginator {
public:
    // A container's area and the columns its text runs in, side by side, each filled before the next;
    // none: one column of the container's width.
    struct ContainerShape {
        Size size;
        std::vector<TextColumn> columns;
        VerticalAlignment verticalAlignment = VerticalAlignment::Top;
        // The paper the container stands on, in container coordinates; empty: the container's own area.
        // Floating objects placed relative to the page are measured from it and kept on it.
        Rect page;
    };
    using ShapeProvider = std::function<ContainerShape(std::size_t container)>;

    // placesNotes: the storage's notes go where its page setup says; else they stay where they stand.
    Paginator(const TextStorage&, ParagraphEngine&, bool placesNotes = false);

    // Lays out containers until container `index` is done (or every byte has been placed; containers
    // after that are empty and report {Len, 0}).
    void layOutUpTo(std::size_t index, const ShapeProvider&);
    bool isComplete() const { return m_flow.complete; }
    // Whether the text has run out in container `index` or before it: no later container gets any of it.
    // Only meaningful once that container is laid out.
    bool endsBy(std::size_t index) const { return m_flow.complete && m_endContainer <= index; }
    std::size_t laidOutCount() const { return m_containers.size(); }
    const layout::ContainerLayout& container(std::size_t index) const { return m_containers[index]; }
    const layout::TextStructure& structure() const { return m_structure; }

    // What the engine needs to lay a paragraph out again exactly as it was measured.
    ParagraphInput input(std::uint32_t paragraph) const;

    // The containers from first on, with what input() needs for their lines.
    std::unique_ptr<LayoutHandover> handOver(std::size_t first) const;
    // Appends the containers of another paginator's handover that are past the ones laid out here, and takes
    // its measurements; false, changing nothing, when the containers both laid out differ. A paginator that
    // adopted lays out no further: it stands where the other did.
    bool adopt(const LayoutHandover&);
    bool isAdopted() const { return m_adopted; }

private:
    struct ParagraphColumn {
        float width = 0;
        float maxObjectHeight = 0;
    };
    // A floating object of the body's text, waiting for its paragraph.
    struct FloatAnchor {
        std::uint32_t byte = 0;
        std::shared_ptr<const Attachment> attachment;
        std::ptrdiff_t frame = -1; // the text frame of the page setup whose box this is; -1 for an object
    };
    // The room a placed float keeps free of text in its container.
    struct Exclusion {
        Rect rect;
        FloatPlacement::Wrap wrap = FloatPlacement::Wrap::Square;
    };
    struct Flow {
        std::size_t block = 0;
        bool paragraphMeasured = false;
        std::vector<layout::LineBox> lines;
        std::size_t nextLine = 0;
        bool tableReady = false;
        // The table's row groups laid out so far: a page's worth ahead of the flow, so that a long table
        // is measured a page at a time rather than all on its first page.
        std::vector<layout::RowGroup> groups;
        std::size_t tableNextRow = 0; // the first row not in groups yet
        float tableWidth = 0, tableMaxObjectHeight = 0; // what every group of the table is laid out for
        std::size_t nextGroup = 0;
        float windowStart = 0; // the top of what is left of a split row group, group coordinates
        std::vector<char> placedItems;
        std::size_t tableFirstContainer = 0;
        std::size_t headerGroups = 0;
        float headerHeight = 0;
        bool explicitBreak = false; // the next container is started by '\f' or "page break before"
        bool columnBreak = false; // the next column (or, after the last, container) is started by a column break
        bool wrapSettled = false; // the paragraph's floats are placed and its lines measured around them
        // The piece `lines` were measured for: the paragraph, or the rest of it after lines that made way
        // for a float (a split, numbered after the structure's paragraphs).
        std::uint32_t measured = 0;
        float lineX = 0; // the lines stand this far right of the column's left edge
        float wrapBottom = -1; // the foot of the floats the lines are narrowed for; -1 when they are not
        bool complete = false;
    };
    struct Fill; // one container being filled
    // A footnote on its way to the feet of containers: the paragraph being placed and its next line.
    struct NoteFlow {
        std::size_t note = 0;
        std::size_t block = 0; // into m_noteBlocks[note]
        bool measured = false;
        std::vector<layout::LineBox> lines;
        std::size_t nextLine = 0;
        float pendingSpacing = 0;
        bool started = false;
    };

    void layOutNextContainer(const ContainerShape&);
    // Places blocks until the flow reaches flow position end (true) or the container is full (false).
    bool fillUntil(Fill&, std::size_t end);
    // Where the flow and a fill stood when a band of columns began, to place the band again from there.
    struct BandStart;
    BandStart markBand(const Fill&) const;
    void returnToBand(Fill&, const BandStart&);
    // Places the band of columns begun at start again, as short as it can be while its text up to flow
    // position end still fits: its columns come out of about one height.
    void balanceBand(Fill&, const BandStart&, std::size_t end);
    // Starts a band of section's columns below everything in the container.
    void beginBand(Fill&, std::size_t section);
    void findBands();
    // Moves a laid out container's body down into the room below it, as alignment says, before its
    // footnotes go to the foot. A container of several columns, and a justified one whose text ran out or broke off on
    // it, keep their text at the top.
    void alignVertically(Fill&, VerticalAlignment, bool ranOn);
    void findFloats();
    // Takes the blocks of the page setup's text frames out of the flow, each frame whose anchor stands in a
    // paragraph that places its floats, and makes the frames' boxes floats of their anchors.
    void planFrames(const std::vector<TextFrame>&);
    // Sets the frame's blocks inside its placed box, as lines that stay out of the container's glyph range.
    // Returns the height the text needs, insets included.
    float placeFrameText(Fill&, std::size_t frame, const Rect& box);
    // Places the float of anchor at the paragraph's top: an object, or a frame's box with its text.
    void placeFloat(Fill&, const FloatAnchor&, float paragraphTop);
    // The first byte of a block: of its paragraph, or of the first paragraph of a table's first cell.
    std::optional<std::size_t> firstByte(const layout::Block&) const;
    // Places the floats anchored in the paragraph, its first line at top, and lays its lines out around
    // what floats in the container; moves top below a float that leaves no room beside it. Returns whether
    // top or the lines changed.
    bool wrapAroundFloats(Fill&, std::uint32_t paragraph, float& top);
    Rect floatRect(const Fill&, const Attachment&, float paragraphTop) const;
    // Lays the rest of the paragraph out again from its next line, on the column's whole width, and
    // around whatever floats there.
    void splitAtNextLine(Fill&, std::uint32_t paragraph, float top);
    const layout::Paragraph& pieceAt(std::uint32_t index) const
    {
        return index < m_structure.paragraphs.size() ? m_structure.paragraphs[index]
                                                     : m_splits[index - m_structure.paragraphs.size()];
    }
    // Gives the fill these columns (one of its whole width when none), starting at the first.
    static void setColumns(Fill&, const std::vector<TextColumn>&);
    // Moves the fill to the top of its next column.
    static void startNextColumn(Fill&);
    bool placeParagraphLines(Fill&);
    // The block being placed opens a group of endnotes.
    bool opensEndnotes() const { return m_flow.block < m_opensEndnotes.size() && m_opensEndnotes[m_flow.block]; }
    bool placeTableRows(Fill&);
    void placeWindow(Fill&, const layout::RowGroup&, float windowStart, float windowEnd, float top,
        const std::vector<char>& assign, bool decoration);
    void measureParagraph(
        std::uint32_t paragraph, float columnWidth, float maxObjectHeight, std::vector<layout::LineBox>&);
    float keepChainHeight(std::size_t block, float width, float maxObjectHeight);
    // A paragraph's lines measured ahead of its turn, kept until the flow reaches it.
    const std::vector<layout::LineBox>& lookahead(std::uint32_t paragraph, float width, float maxObjectHeight);
    std::vector<layout::RowGroup> layOutTable(std::uint32_t table, float width, float maxObjectHeight);
    // Appends the table's row groups from row nextRow on, until they are at least budget tall and hold a
    // group that is not a header (or the table ends); nextRow is then the first row not laid out.
    void layOutRowGroups(std::uint32_t table, float width, float maxObjectHeight, std::size_t& nextRow, float budget,
        std::vector<layout::RowGroup>& groups);
    float layOutCellContent(
        const layout::Cell&, float x, float y, float width, float maxObjectHeight, layout::RowGroup&);
    const ParagraphStyle& style(std::uint32_t paragraph) const;
    const layout::Block& flowBlock(std::size_t position) const { return m_structure.body[m_order[position]]; }

    void planNotes();
    // The footnotes referenced in [start, end) that wait for no placement yet, in reference order.
    std::vector<std::size_t> newFootnotes(std::size_t start, std::size_t end) const;
    float firstNoteLineHeight(std::size_t note, float width, float maxObjectHeight);
    // Starts the notes (marks them waiting) and places what fits of the waiting ones while the note area
    // stays within maxAreaHeight.
    void queueFootnotes(const std::vector<std::size_t>& notes);
    void placeWaitingNotes(Fill&, float maxAreaHeight);
    bool placeNoteLines(Fill&, NoteFlow&, float maxAreaHeight);
    void finishNoteArea(Fill&);

    const TextStorage& m_storage;
    ParagraphEngine& m_engine;
    layout::TextStructure m_structure;
    std::vector<layout::Paragraph> m_splits; // pieces of paragraphs that made way for floats
    std::vector<ParagraphColumn> m_columns; // per paragraph (then per split), as last measured
    std::vector<char> m_placesFloats; // per paragraph (then per split): it flows in the body, which places its floats
    std::vector<FloatAnchor> m_floats; // by byte
    std::size_t m_nextFloat = 0; // the first of m_floats not placed yet
    std::vector<layout::ContainerLayout> m_containers;
    std::vector<LineMetrics> m_metrics; // scratch
    std::unordered_map<std::uint32_t, std::vector<layout::LineBox>> m_lookahead; // measured ahead for keep-with-next
    Flow m_flow;
    // The body's blocks in the order they flow: all of them, unless notes are placed.
    std::vector<std::uint32_t> m_order;
    std::vector<std::vector<std::uint32_t>> m_noteBlocks; // per note of the page setup, its blocks
    std::vector<char> m_isNoteBlock; // per block of the body, once notes are planned
    std::vector<std::vector<std::uint32_t>> m_frameBlocks; // per text frame of the page setup, its body blocks
    // Per flow position: 1 where a group of endnotes begins, after its separator.
    std::vector<char> m_opensEndnotes;
    // Per flow position: 1 where a section's '\f' waits until its endnotes are placed, 2 where it then comes.
    std::vector<char> m_movedBreaks;
    std::vector<std::pair<std::size_t, std::size_t>> m_footnoteReferences; // (reference byte, note), ascending
    std::vector<char> m_footnoteQueued; // per note
    std::deque<NoteFlow> m_waitingNotes; // started or queued footnotes that have lines left to place
    bool m_placesNotes = false;
    // Sections that begin mid-page (no page break before them), where the columns change: the flow position
    // of each one's first block and the section's index, in flow order. m_nextBand is the next to begin.
    std::vector<std::pair<std::size_t, std::size_t>> m_bands;
    std::size_t m_nextBand = 0;
    std::size_t m_endContainer = 0; // the container the last byte went on, once the flow is complete
    bool m_adopted = false;
};

} // namespace kit
