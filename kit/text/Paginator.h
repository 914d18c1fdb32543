#pragma once

#include "kit/text/LayoutModel.h"
#include "kit/text/ParagraphEngine.h"

#include <functional>
#include <unordered_map>

namespace kit {

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
// - "Keep with next" moves a paragraph to the next container when it, the paragraphs chained to it and
//   the first line of the paragraph after them do not fit here but would fit in an empty container.
// - A table row (or the rows tied by a vertical merge) goes whole on the current container when it fits,
//   else on the next one when it fits there, else it is split between lines. Header rows are repeated as
//   decoration at the top of each container the table continues on.
class Paginator {
public:
    using SizeProvider = std::function<Size(std::size_t container)>;

    Paginator(const TextStorage&, ParagraphEngine&);

    // Lays out containers until container `index` is done (or every byte has been placed; containers
    // after that are empty and report {Len, 0}).
    void layOutUpTo(std::size_t index, const SizeProvider&);
    bool isComplete() const { return m_flow.complete; }
    // Whether the text has run out in container `index` or before it: no later container gets any of it.
    // Only meaningful once that container is laid out.
    bool endsBy(std::size_t index) const { return m_flow.complete && m_endContainer <= index; }
    std::size_t laidOutCount() const { return m_containers.size(); }
    const layout::ContainerLayout& container(std::size_t index) const { return m_containers[index]; }
    const layout::TextStructure& structure() const { return m_structure; }

    // What the engine needs to lay a paragraph out again exactly as it was measured.
    ParagraphInput input(std::uint32_t paragraph) const;

private:
    struct ParagraphColumn {
        float width = 0;
        float maxObjectHeight = 0;
    };
    struct Flow {
        std::size_t block = 0;
        bool paragraphMeasured = false;
        std::vector<layout::LineBox> lines;
        std::size_t nextLine = 0;
        bool tableReady = false;
        std::vector<layout::RowGroup> groups;
        std::size_t nextGroup = 0;
        float windowStart = 0; // the top of what is left of a split row group, group coordinates
        std::vector<char> placedItems;
        std::size_t tableFirstContainer = 0;
        std::size_t headerGroups = 0;
        float headerHeight = 0;
        bool explicitBreak = false; // the next container is started by '\f' or "page break before"
        bool complete = false;
    };
    struct Fill; // one container being filled

    void layOutNextContainer(Size);
    bool placeParagraphLines(Fill&);
    bool placeTableRows(Fill&);
    void placeWindow(Fill&, const layout::RowGroup&, float windowStart, float windowEnd, float top,
        const std::vector<char>& assign, bool decoration);
    void measureParagraph(
        std::uint32_t paragraph, float columnWidth, float maxObjectHeight, std::vector<layout::LineBox>&);
    float keepChainHeight(std::size_t block, float width, float maxObjectHeight);
    // A paragraph's lines measured ahead of its turn, kept until the flow reaches it.
    const std::vector<layout::LineBox>& lookahead(std::uint32_t paragraph, float width, float maxObjectHeight);
    std::vector<layout::RowGroup> layOutTable(std::uint32_t table, float width, float maxObjectHeight);
    float layOutCellContent(
        const layout::Cell&, float x, float y, float width, float maxObjectHeight, layout::RowGroup&);
    const ParagraphStyle& style(std::uint32_t paragraph) const;

    const TextStorage& m_storage;
    ParagraphEngine& m_engine;
    layout::TextStructure m_structure;
    std::vector<ParagraphColumn> m_columns; // per paragraph, as last measured
    std::vector<layout::ContainerLayout> m_containers;
    std::vector<LineMetrics> m_metrics; // scratch
    std::unordered_map<std::uint32_t, std::vector<layout::LineBox>> m_lookahead; // measured ahead for keep-with-next
    Flow m_flow;
    std::size_t m_endContainer = 0; // the container the last byte went on, once the flow is complete
};

} // namespace kit
