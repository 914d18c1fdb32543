#include "kit/text/Paginator.h"

#include "kit/text/TextStorage.h"
#include "kit/text/VectorDrawing.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

namespace kit {

using namespace layout;

namespace {

// Lengths that add up to exactly a container's height must fit despite rounding in the sums.
constexpr float kFitTolerance = 0.01f;
// The space the separator above the footnotes takes, its rule's distance from that space's top, and the
// rule's length when it opens a page's notes (a continued note's rule spans the container). Points.
constexpr float kNoteSeparatorSpace = 12;
constexpr float kNoteRuleOffset = 5.5f;
constexpr float kNoteRuleThickness = 0.5f;
constexpr float kNoteRuleLength = 144;

} // namespace

struct Paginator::Fill {
    std::size_t index = 0;
    Size size;
    ContainerLayout& out;
    int columns = 1;
    std::vector<TextColumn> columnFrames; // columns of them, across the container
    int column = 0; // the column being filled
    float bandTop = 0; // the top of the band of columns being filled: below the bands before it
    float columnLimit = std::numeric_limits<float>::infinity(); // the foot of the band's columns, when balanced
    float earlierColumnsBottom = 0; // the lowest bottom of the columns filled before it
    float y = 0; // the bottom of what is placed in the current column, container coordinates
    bool atTop = true; // nothing placed yet
    bool startedByBreak = false;
    float pendingSpacing = 0; // spacing after the paragraph placed last
    // The footnote area at the container's foot: its height (separator included) and its lines, their
    // tops from the area's top until finishNoteArea moves them into place.
    float noteHeight = 0;
    std::vector<PlacedLine> noteLines;
    bool continuesNote = false; // the area opens with the rest of a note begun on an earlier container
    Rect page; // the paper, container coordinates
    std::vector<Exclusion> exclusions; // of the floats placed here
    float bodyLimit() const { return std::min(size.height - noteHeight, columnLimit); }
    float columnWidth() const { return columnFrames[std::size_t(column)].width; }
    float columnX() const { return columnFrames[std::size_t(column)].x; }
    // The bottom of the body text in every column so far: the note area stays below it.
    float bodyBottom() const { return std::max(y, earlierColumnsBottom); }
};

Paginator::Paginator(const TextStorage& storage, ParagraphEngine& engine, bool placesNotes)
    : m_storage(storage)
    , m_engine(engine)
    , m_structure(TextStructure::build(storage))
    , m_columns(m_structure.paragraphs.size())
    , m_placesNotes(placesNotes)
{
    planNotes();
    findFloats();
    findBands();
}

void Paginator::findBands()
{
    const PageSetup* setup = m_storage.pageSetup().get();
    if (!m_placesNotes || !setup || setup->sections.size() < 2)
        return;
    const std::string& text = m_storage.string();
    std::size_t position = 0;
    for (std::size_t s = 1; s < setup->sections.size(); ++s) {
        std::size_t start = setup->sections[s].start;
        // A section after a page break begins a page, which takes the section's columns whole.
        if (start == 0 || start > text.size() || text[start - 1] == kPageBreak)
            continue;
        while (position < m_order.size()) {
            const Block& block = flowBlock(position);
            bool note = !m_isNoteBlock.empty() && m_isNoteBlock[m_order[position]];
            if (!note && block.kind == Block::Kind::Paragraph && m_structure.paragraphs[block.index].start >= start)
                break;
            ++position;
        }
        if (position >= m_order.size())
            break;
        if (!m_bands.empty() && m_bands.back().first == position)
            m_bands.back().second = s;
        else
            m_bands.push_back({ position, s });
    }
}

void Paginator::findFloats()
{
    // The body's own paragraphs place their floats; those in tables and notes stand in their lines.
    m_placesFloats.assign(m_structure.paragraphs.size(), 0);
    for (std::size_t b = 0; b < m_structure.body.size(); ++b) {
        const Block& block = m_structure.body[b];
        bool note = !m_isNoteBlock.empty() && m_isNoteBlock[b];
        if (block.kind == Block::Kind::Paragraph && !note)
            m_placesFloats[block.index] = 1;
    }
    const std::string& text = m_storage.string();
    const auto& runs = m_storage.runs();
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const Attributes& attributes = *runs[r].attributes;
        if (!attributes.attachment || !attributes.attachment->placement || attributes.tableCell)
            continue;
        std::size_t end = r + 1 < runs.size() ? runs[r + 1].location : text.size();
        for (std::size_t i = runs[r].location; i + 3 <= end; ++i) {
            if (text.compare(i, 3, kAttachmentCharacter) == 0)
                m_floats.push_back({ std::uint32_t(i), attributes.attachment });
        }
    }
    const PageSetup* setup = m_storage.pageSetup().get();
    if (m_placesNotes && setup && !setup->frames.empty()) {
        planFrames(setup->frames);
        std::stable_sort(m_floats.begin(), m_floats.end(),
            [](const FloatAnchor& a, const FloatAnchor& b) { return a.byte < b.byte; });
    }
}

std::optional<std::size_t> Paginator::firstByte(const Block& block) const
{
    const Block* b = &block;
    for (int depth = 0; b->kind == Block::Kind::Table && depth < 64; ++depth) {
        const Table& table = m_structure.tables[b->index];
        if (table.rows.empty() || table.rows.front().cells.empty() || table.rows.front().cells.front().blocks.empty())
            return std::nullopt;
        b = &table.rows.front().cells.front().blocks.front();
    }
    if (b->kind != Block::Kind::Paragraph)
        return std::nullopt;
    return m_structure.paragraphs[b->index].start;
}

void Paginator::planFrames(const std::vector<TextFrame>& frames)
{
    const auto& paragraphs = m_structure.paragraphs;
    // The paragraph (piece) whose bytes, terminator included, hold byte; an empty one holds its start.
    auto paragraphAt = [&](std::size_t byte) -> std::optional<std::uint32_t> {
        auto it = std::upper_bound(paragraphs.begin(), paragraphs.end(), byte,
            [](std::size_t at, const Paragraph& p) { return at < p.start; });
        if (it == paragraphs.begin())
            return std::nullopt;
        --it;
        if (byte >= it->end() && byte != it->start)
            return std::nullopt;
        return std::uint32_t(it - paragraphs.begin());
    };
    m_frameBlocks.assign(frames.size(), {});
    std::vector<char> inFrame(m_order.size(), 0);
    for (std::size_t f = 0; f < frames.size(); ++f) {
        const TextFrame& frame = frames[f];
        if (!frame.box || !frame.box->placement || frame.text.length == 0)
            continue;
        // A box anchored in a table, a note or another box keeps its text in the flow where it stands.
        auto anchor = paragraphAt(frame.anchor);
        if (!anchor || !m_placesFloats[*anchor] || frame.text.contains(paragraphs[*anchor].start))
            continue;
        std::vector<std::size_t> positions;
        for (std::size_t i = 0; i < m_order.size(); ++i) {
            auto start = firstByte(m_structure.body[m_order[i]]);
            if (start && frame.text.contains(*start) && !inFrame[i])
                positions.push_back(i);
        }
        if (positions.empty())
            continue;
        for (std::size_t i : positions) {
            inFrame[i] = 1;
            const Block& block = m_structure.body[m_order[i]];
            m_frameBlocks[f].push_back(m_order[i]);
            if (block.kind == Block::Kind::Paragraph)
                m_placesFloats[block.index] = 0;
        }
        m_floats.push_back({ std::uint32_t(frame.anchor), frame.box, std::ptrdiff_t(f) });
    }
    // The flow keeps the other blocks in their order, with the breaks that wait for endnotes.
    std::vector<std::uint32_t> order;
    std::vector<char> movedBreaks;
    for (std::size_t i = 0; i < m_order.size(); ++i) {
        if (inFrame[i])
            continue;
        order.push_back(m_order[i]);
        if (!m_movedBreaks.empty())
            movedBreaks.push_back(m_movedBreaks[i]);
    }
    m_order = std::move(order);
    if (!m_movedBreaks.empty())
        m_movedBreaks = std::move(movedBreaks);
}

void Paginator::placeFloat(Fill& fill, const FloatAnchor& anchor, float paragraphTop)
{
    Rect rect = floatRect(fill, *anchor.attachment, paragraphTop);
    std::shared_ptr<const Attachment> shown = anchor.attachment;
    if (anchor.frame >= 0) {
        std::size_t firstLine = fill.out.lines.size(), firstBox = fill.out.boxes.size();
        float needed = placeFrameText(fill, std::size_t(anchor.frame), rect);
        const TextFrame& frame = m_storage.pageSetup()->frames[std::size_t(anchor.frame)];
        if (frame.growsWithText && needed > rect.height() && anchor.attachment->drawing) {
            // The box grows downwards; its shapes stretch with it.
            auto grown = std::make_shared<Attachment>(*anchor.attachment);
            auto drawing = std::make_shared<VectorDrawing>(*anchor.attachment->drawing);
            float scale = drawing->size.height / std::max(grown->size.height, 1.0f);
            float added = (needed - rect.height()) * scale;
            drawing->size.height += added;
            for (VectorShape& shape : drawing->shapes)
                shape.rect = { shape.rect.x(), shape.rect.y(), shape.rect.width(), shape.rect.height() + added };
            grown->size.height = needed;
            grown->drawing = std::move(drawing);
            Rect moved = floatRect(fill, *grown, paragraphTop);
            float dx = moved.x() - rect.x(), dy = moved.y() - rect.y();
            for (std::size_t l = firstLine; l < fill.out.lines.size(); ++l) {
                fill.out.lines[l].x += dx;
                fill.out.lines[l].top += dy;
                fill.out.lines[l].baseline += dy;
            }
            for (std::size_t b = firstBox; b < fill.out.boxes.size(); ++b)
                fill.out.boxes[b].rect = fill.out.boxes[b].rect.offsetBy(dx, dy);
            rect = moved;
            shown = std::move(grown);
        }
    }
    fill.out.floats.push_back({ rect, shown, anchor.byte });
    const FloatPlacement& placement = *shown->placement;
    if (placement.wrap == FloatPlacement::Wrap::None)
        return;
    auto gap = [](float d) { return saneLength(d, 0, 144); };
    const auto& d = placement.distance;
    Rect kept { rect.x() - gap(d[1]), rect.y() - gap(d[0]), rect.width() + gap(d[1]) + gap(d[3]),
        rect.height() + gap(d[0]) + gap(d[2]) };
    fill.exclusions.push_back({ kept, placement.wrap });
}

float Paginator::placeFrameText(Fill& fill, std::size_t frame, const Rect& box)
{
    const TextFrame& setup = m_storage.pageSetup()->frames[frame];
    auto inset = [&](std::size_t side) { return saneLength(setup.insets[side], 0, 144); };
    const float left = box.x() + inset(1);
    const float width = std::max(1.0f, box.width() - inset(1) - inset(3));
    // Pictures fit in the box, or on the page where the box grows with its text.
    const float maxObjectHeight = std::max(setup.growsWithText ? fill.page.height() : box.height(), 1.0f);
    const std::size_t firstLine = fill.out.lines.size();
    float y = box.y() + inset(0);
    std::vector<LineBox> lines;
    for (std::size_t i = 0; i < m_frameBlocks[frame].size(); ++i) {
        const Block& block = m_structure.body[m_frameBlocks[frame][i]];
        if (block.kind == Block::Kind::Table) {
            // Rows stand whole, one below the other: a box never continues on another page.
            for (const RowGroup& group : layOutTable(block.index, width, maxObjectHeight)) {
                std::size_t linesBefore = fill.out.lines.size(), boxesBefore = fill.out.boxes.size();
                placeWindow(fill, group, 0, group.height, y, std::vector<char>(group.items.size(), 1), false);
                float dx = left - fill.columnX();
                for (std::size_t l = linesBefore; l < fill.out.lines.size(); ++l)
                    fill.out.lines[l].x += dx;
                for (std::size_t c = boxesBefore; c < fill.out.boxes.size(); ++c)
                    fill.out.boxes[c].rect = fill.out.boxes[c].rect.offsetBy(dx, 0);
                y += group.height;
            }
            continue;
        }
        const ParagraphStyle& paragraphStyle = style(block.index);
        const Paragraph& piece = m_structure.paragraphs[block.index];
        if (i > 0 && !piece.continuesParagraph)
            y += spacingBefore(paragraphStyle);
        measureParagraph(block.index, width, maxObjectHeight, lines);
        for (std::size_t l = 0; l < lines.size(); ++l) {
            PlacedLine placed;
            placed.paragraph = block.index;
            placed.line = std::uint32_t(l);
            placed.start = lines[l].start;
            placed.end = lines[l].end;
            placed.x = left;
            placed.top = y;
            placed.height = lines[l].height;
            placed.baseline = y + lines[l].baseline;
            fill.out.lines.push_back(placed);
            y += lines[l].height;
        }
        if (!piece.continuedAfter)
            y += spacingAfter(paragraphStyle);
    }
    // The box's bytes stand outside the flow's order, as a note's do.
    for (std::size_t l = firstLine; l < fill.out.lines.size(); ++l)
        fill.out.lines[l].isNote = true;
    return y + inset(2) - box.y();
}

const ParagraphStyle& Paginator::style(std::uint32_t paragraph) const
{
    return m_storage.attributesAt(pieceAt(paragraph).paragraphStart).paragraphStyle();
}

ParagraphInput Paginator::input(std::uint32_t paragraph) const
{
    const Paragraph& p = pieceAt(paragraph);
    ParagraphInput in { &m_storage, p.start, p.length, m_columns[paragraph].width,
        m_columns[paragraph].maxObjectHeight };
    in.paragraphStart = p.paragraphStart;
    in.continuesParagraph = p.continuesParagraph;
    in.continuedAfter = p.continuedAfter;
    in.placesFloats = m_placesFloats[paragraph];
    return in;
}

void Paginator::layOutUpTo(std::size_t index, const ShapeProvider& shapeOf)
{
    while (m_containers.size() <= index) {
        if (m_flow.complete) {
            ContainerLayout empty;
            empty.glyphRange = { m_storage.length(), 0 };
            m_containers.push_back(std::move(empty));
            continue;
        }
        layOutNextContainer(shapeOf(m_containers.size()));
    }
}

std::unique_ptr<LayoutHandover> Paginator::handOver(std::size_t first) const
{
    auto handover = std::make_unique<LayoutHandover>();
    handover->storage = &m_storage;
    handover->placesNotes = m_placesNotes;
    handover->first = first;
    if (first < m_containers.size())
        handover->containers.assign(m_containers.begin() + std::ptrdiff_t(first), m_containers.end());
    // Only what the lines handed over are of: a long text's every paragraph in each batch would cost more
    // than the lines themselves.
    std::vector<std::uint32_t> paragraphs;
    for (const ContainerLayout& container : handover->containers) {
        for (const PlacedLine& line : container.lines)
            paragraphs.push_back(line.paragraph);
    }
    std::sort(paragraphs.begin(), paragraphs.end());
    paragraphs.erase(std::unique(paragraphs.begin(), paragraphs.end()), paragraphs.end());
    handover->measured.reserve(paragraphs.size());
    for (std::uint32_t paragraph : paragraphs) {
        LayoutHandover::Measured entry;
        entry.paragraph = paragraph;
        if (paragraph >= m_structure.paragraphs.size())
            entry.split = pieceAt(paragraph);
        entry.width = m_columns[paragraph].width;
        entry.maxObjectHeight = m_columns[paragraph].maxObjectHeight;
        entry.placesFloats = m_placesFloats[paragraph];
        handover->measured.push_back(entry);
    }
    handover->complete = m_flow.complete;
    handover->endContainer = m_endContainer;
    return handover;
}

bool Paginator::adopt(const LayoutHandover& handover)
{
    if (handover.storage != &m_storage || handover.placesNotes != m_placesNotes || handover.first > m_containers.size())
        return false;
    // The containers both laid out must be the same: the other paginator flowed this text through the
    // same shapes.
    std::size_t overlap = std::min(m_containers.size() - handover.first, handover.containers.size());
    for (std::size_t i = 0; i < overlap; ++i) {
        const ContainerLayout& mine = m_containers[handover.first + i];
        const ContainerLayout& theirs = handover.containers[i];
        if (mine.glyphRange != theirs.glyphRange || mine.lines.size() != theirs.lines.size())
            return false;
    }
    m_containers.insert(m_containers.end(), handover.containers.begin() + std::ptrdiff_t(overlap), handover.containers.end());
    const std::size_t paragraphs = m_structure.paragraphs.size();
    for (const LayoutHandover::Measured& entry : handover.measured) {
        if (entry.paragraph >= paragraphs) {
            // Split pieces are numbered in the order they were made, as they are here.
            std::size_t split = entry.paragraph - paragraphs;
            if (split >= m_splits.size())
                m_splits.resize(split + 1);
            m_splits[split] = entry.split;
        }
        if (entry.paragraph >= m_columns.size()) {
            m_columns.resize(entry.paragraph + 1);
            m_placesFloats.resize(entry.paragraph + 1, 0);
        }
        m_columns[entry.paragraph] = { entry.width, entry.maxObjectHeight };
        m_placesFloats[entry.paragraph] = entry.placesFloats;
    }
    m_lookahead.clear();
    m_flow.complete = handover.complete;
    m_endContainer = handover.endContainer;
    m_adopted = true;
    return true;
}

void Paginator::measureParagraph(
    std::uint32_t paragraph, float columnWidth, float maxObjectHeight, std::vector<LineBox>& lines)
{
    lines.clear();
    auto ahead = m_lookahead.find(paragraph);
    if (ahead != m_lookahead.end()) {
        if (m_columns[paragraph].width == columnWidth && m_columns[paragraph].maxObjectHeight == maxObjectHeight) {
            lines = std::move(ahead->second);
            m_lookahead.erase(ahead);
            return;
        }
        m_lookahead.erase(ahead);
    }
    m_columns[paragraph] = { columnWidth, maxObjectHeight };
    ParagraphInput in = input(paragraph);
    m_metrics.clear();
    m_engine.layOutParagraph(in, m_metrics);
    if (m_metrics.empty())
        m_metrics.push_back({ std::uint32_t(in.start), std::uint32_t(in.length), 0, 0, 0 });

    const Paragraph& p = pieceAt(paragraph);
    const ParagraphStyle& paragraphStyle = style(paragraph);
    lines.reserve(m_metrics.size());
    for (std::size_t i = 0; i < m_metrics.size(); ++i) {
        const LineMetrics& m = m_metrics[i];
        // The font's line gap is shared above and below the glyphs; extra line spacing goes above them,
        // so a line's text sits at the bottom of its box.
        float above = m.lineGap / 2 + m.ascent;
        float below = m.descent + m.lineGap / 2;
        float natural = above + below;
        float height = natural;
        switch (paragraphStyle.lineSpacingRule) {
        case LineSpacingRule::Multiple:
            if (float factor = saneLength(paragraphStyle.lineSpacing, 0, 100); factor > 0)
                height = natural * factor;
            break;
        case LineSpacingRule::Exact:
            if (float exact = saneLength(paragraphStyle.lineSpacing, 0, 10000); exact > 0)
                height = exact;
            break;
        case LineSpacingRule::AtLeast:
            height = std::max(natural, saneLength(paragraphStyle.lineSpacing, 0, 10000));
            break;
        }
        LineBox box;
        box.start = m.start;
        box.end = i + 1 == m_metrics.size() ? p.end() : m.start + m.length;
        box.height = height;
        box.baseline = height - below;
        lines.push_back(box);
    }
}

const std::vector<LineBox>& Paginator::lookahead(std::uint32_t paragraph, float width, float maxObjectHeight)
{
    auto found = m_lookahead.find(paragraph);
    if (found != m_lookahead.end())
        return found->second;
    std::vector<LineBox> lines;
    measureParagraph(paragraph, width, maxObjectHeight, lines);
    return m_lookahead.emplace(paragraph, std::move(lines)).first->second;
}

float Paginator::keepChainHeight(std::size_t block, float width, float maxObjectHeight)
{
    float total = 0;
    for (std::size_t b = block; b < m_order.size() && flowBlock(b).kind == Block::Kind::Paragraph;) {
        std::uint32_t p = flowBlock(b).index;
        const std::vector<LineBox>& lines = b == block ? m_flow.lines : lookahead(p, width, maxObjectHeight);
        for (const LineBox& line : lines)
            total += line.height;
        const ParagraphStyle& current = style(p);
        const Paragraph& piece = m_structure.paragraphs[p];
        if (total > maxObjectHeight || !current.keepWithNext || piece.pageBreakAfter || piece.continuedAfter)
            break;
        std::size_t next = b + 1;
        if (next >= m_order.size() || flowBlock(next).kind != Block::Kind::Paragraph)
            break;
        std::uint32_t n = flowBlock(next).index;
        const ParagraphStyle& following = style(n);
        // A chain spans whole paragraphs: a long one laid out in pieces ends it.
        if (m_structure.paragraphs[n].continuedAfter)
            break;
        if (following.pageBreakBefore)
            break;
        total += spacingAfter(current) + spacingBefore(following);
        if (!following.keepWithNext) {
            const std::vector<LineBox>& first = lookahead(n, width, maxObjectHeight);
            if (!first.empty())
                total += first.front().height;
            break;
        }
        b = next;
    }
    return total;
}

void Paginator::setColumns(Fill& fill, const std::vector<TextColumn>& columns)
{
    // Columns outside the container, or narrower than a point, are kept inside it and a point wide.
    const float width = std::max(fill.size.width, 1.0f);
    fill.columnFrames.clear();
    for (const TextColumn& column : columns) {
        if (fill.columnFrames.size() >= 16)
            break;
        float x = std::isfinite(column.x) ? std::clamp(column.x, 0.0f, width - 1) : 0;
        float w = std::isfinite(column.width) ? std::clamp(column.width, 1.0f, width - x) : width - x;
        fill.columnFrames.push_back({ x, w });
    }
    if (fill.columnFrames.empty())
        fill.columnFrames.push_back({ 0, width });
    fill.columns = int(fill.columnFrames.size());
    fill.column = 0;
}

void Paginator::startNextColumn(Fill& fill)
{
    fill.earlierColumnsBottom = fill.bodyBottom();
    ++fill.column;
    fill.y = fill.bandTop;
    // Below a band, a column's top is no container's top: what does not fit there goes on.
    fill.atTop = fill.bandTop <= 0;
    fill.pendingSpacing = 0;
}

bool Paginator::fillUntil(Fill& fill, std::size_t end)
{
    while (m_flow.block < end) {
        bool full = flowBlock(m_flow.block).kind == Block::Kind::Paragraph ? placeParagraphLines(fill)
                                                                           : placeTableRows(fill);
        if (!full)
            continue;
        // A page break ends the container whatever column it is in; anything else moves to the next column.
        if (m_flow.explicitBreak || fill.column + 1 >= fill.columns)
            return false;
        bool byBreak = m_flow.columnBreak;
        m_flow.columnBreak = false;
        startNextColumn(fill);
        fill.startedByBreak = byBreak;
    }
    return true;
}

struct Paginator::BandStart {
    Flow flow;
    std::size_t nextFloat = 0;
    std::deque<NoteFlow> waitingNotes;
    std::vector<char> footnoteQueued;
    int column = 0;
    float earlierColumnsBottom = 0, y = 0, pendingSpacing = 0, noteHeight = 0;
    bool atTop = true, startedByBreak = false;
    std::size_t lines = 0, boxes = 0, floats = 0, exclusions = 0, noteLines = 0, separators = 0;
};

Paginator::BandStart Paginator::markBand(const Fill& fill) const
{
    return { m_flow, m_nextFloat, m_waitingNotes, m_footnoteQueued, fill.column, fill.earlierColumnsBottom, fill.y,
        fill.pendingSpacing, fill.noteHeight, fill.atTop, fill.startedByBreak, fill.out.lines.size(),
        fill.out.boxes.size(), fill.out.floats.size(), fill.exclusions.size(), fill.noteLines.size(),
        fill.out.noteSeparators.size() };
}

void Paginator::returnToBand(Fill& fill, const BandStart& start)
{
    m_flow = start.flow;
    m_nextFloat = start.nextFloat;
    m_waitingNotes = start.waitingNotes;
    m_footnoteQueued = start.footnoteQueued;
    fill.column = start.column;
    fill.earlierColumnsBottom = start.earlierColumnsBottom;
    fill.y = start.y;
    fill.pendingSpacing = start.pendingSpacing;
    fill.noteHeight = start.noteHeight;
    fill.atTop = start.atTop;
    fill.startedByBreak = start.startedByBreak;
    fill.out.lines.resize(start.lines);
    fill.out.boxes.resize(start.boxes);
    fill.out.floats.resize(start.floats);
    fill.exclusions.resize(start.exclusions);
    fill.noteLines.resize(start.noteLines);
    fill.out.noteSeparators.resize(start.separators);
}

void Paginator::balanceBand(Fill& fill, const BandStart& start, std::size_t end)
{
    if (fill.columns < 2 || fill.out.lines.size() == start.lines)
        return;
    // The band as it was filled is the tallest that holds its text. Its height shared by the columns is no
    // least one: the first may have taken the whole page, and columns of other widths hold more or less.
    float high = fill.bodyBottom() - fill.bandTop;
    float low = 0;
    auto fits = [&](float height) {
        returnToBand(fill, start);
        fill.columnLimit = fill.bandTop + height;
        bool reached = fillUntil(fill, end) && fill.bodyBottom() <= fill.columnLimit + kFitTolerance;
        fill.columnLimit = std::numeric_limits<float>::infinity();
        return reached;
    };
    // To half a point, in at most fourteen tries; the band's own height always fits.
    for (int i = 0; i < 14 && high - low > 0.5f; ++i) {
        float middle = (low + high) / 2;
        if (fits(middle))
            high = middle;
        else
            low = middle;
    }
    if (!fits(high)) {
        returnToBand(fill, start);
        fillUntil(fill, end);
    }
}

void Paginator::beginBand(Fill& fill, std::size_t section)
{
    const PageSetup& setup = *m_storage.pageSetup();
    bool empty = fill.atTop && fill.column == 0 && fill.bodyBottom() <= 0;
    float top = fill.bodyBottom();
    setColumns(fill, setup.sections[section].columnsAcross(fill.size.width));
    fill.bandTop = top;
    fill.y = top;
    fill.earlierColumnsBottom = top;
    fill.atTop = empty;
}

void Paginator::layOutNextContainer(const ContainerShape& shape)
{
    const Size size = shape.size;
    m_containers.emplace_back();
    Fill fill { m_containers.size() - 1, size, m_containers.back() };
    setColumns(fill, shape.columns);
    fill.page = shape.page.isEmpty() ? Rect { {}, size } : shape.page;
    fill.startedByBreak = m_flow.explicitBreak || m_flow.columnBreak;
    m_flow.explicitBreak = false;
    m_flow.columnBreak = false;

    if (!m_waitingNotes.empty()) {
        fill.continuesNote = m_waitingNotes.front().started;
        // A continued note leaves the body half of the page while there is body left to show.
        placeWaitingNotes(fill, m_flow.block < m_order.size() ? size.height / 2 : size.height);
    }
    fill.out.bands.push_back({ 0, 0, fill.columnFrames });
    for (;;) {
        std::size_t end = m_nextBand < m_bands.size() ? m_bands[m_nextBand].first : m_order.size();
        // Only a band of columns that a section ends may be filled again to balance it.
        std::optional<BandStart> start;
        if (m_nextBand < m_bands.size() && fill.columns > 1)
            start = markBand(fill);
        if (!fillUntil(fill, end) || m_nextBand >= m_bands.size())
            break;
        // A section begins here without a new page: the columns above are balanced, its own go below them.
        if (start)
            balanceBand(fill, *start, end);
        fill.out.bands.back().bottom = fill.bodyBottom();
        beginBand(fill, m_bands[m_nextBand].second);
        fill.out.bands.push_back({ fill.bandTop, fill.bandTop, fill.columnFrames, m_bands[m_nextBand].second });
        ++m_nextBand;
    }
    fill.out.bands.back().bottom = fill.bodyBottom();
    if (m_flow.block >= m_order.size()) {
        // Footnotes whose references were never placed come after the body, so that no note is lost.
        std::vector<std::size_t> unplaced;
        for (auto [reference, note] : m_footnoteReferences) {
            if (!m_footnoteQueued[note])
                unplaced.push_back(note);
        }
        queueFootnotes(unplaced);
        placeWaitingNotes(fill, size.height - fill.bodyBottom());
        if (m_waitingNotes.empty()) {
            m_flow.complete = true;
            m_endContainer = fill.index;
        }
    }
    alignVertically(fill, shape.verticalAlignment, !m_flow.complete && !m_flow.explicitBreak);
    finishNoteArea(fill);

    std::size_t first = std::numeric_limits<std::size_t>::max(), last = 0;
    std::size_t firstNote = first, lastNote = 0;
    for (const PlacedLine& line : fill.out.lines) {
        if (line.isDecoration)
            continue;
        fill.out.holdsNotes |= line.isNote;
        std::size_t& low = line.isNote ? firstNote : first;
        std::size_t& high = line.isNote ? lastNote : last;
        low = std::min<std::size_t>(low, line.start);
        high = std::max<std::size_t>(high, line.end);
    }
    if (first > last) {
        first = firstNote;
        last = lastNote;
    }
    fill.out.glyphRange = first <= last ? Range { first, last - first } : Range { m_storage.length(), 0 };
    fill.out.usedHeight = fill.noteLines.empty() ? fill.bodyBottom() : size.height;
}

void Paginator::alignVertically(Fill& fill, VerticalAlignment alignment, bool ranOn)
{
    if (alignment == VerticalAlignment::Top || fill.columns > 1 || (alignment == VerticalAlignment::Justified && !ranOn))
        return;
    float room = fill.bodyLimit() - fill.bodyBottom();
    if (!(room > kFitTolerance))
        return;
    // The shift of what stands at or below each step's top (container coordinates), steps by their tops.
    std::vector<std::pair<float, float>> steps;
    if (alignment == VerticalAlignment::Justified) {
        // Between paragraphs of the body: at the top of each but the first, never inside a table.
        std::vector<float> tops;
        for (const PlacedLine& line : fill.out.lines) {
            if (line.isNote || line.isDecoration || line.line != 0 || line.top <= kFitTolerance
                || pieceAt(line.paragraph).continuesParagraph || m_storage.attributesAt(line.start).tableCell)
                continue;
            tops.push_back(line.top);
        }
        std::sort(tops.begin(), tops.end());
        tops.erase(std::unique(tops.begin(), tops.end()), tops.end());
        for (std::size_t i = 0; i < tops.size(); ++i)
            steps.push_back({ tops[i], room * float(i + 1) / float(tops.size()) });
    } else {
        steps.push_back({ -std::numeric_limits<float>::infinity(), alignment == VerticalAlignment::Center ? room / 2 : room });
    }
    if (steps.empty())
        return;
    auto shiftAt = [&](float y) {
        auto after = std::upper_bound(steps.begin(), steps.end(), y + kFitTolerance,
            [](float value, const std::pair<float, float>& step) { return value < step.first; });
        return after == steps.begin() ? 0.0f : std::prev(after)->second;
    };
    // The footnotes are not in the lines yet; endnotes flowing in the body move with it.
    for (PlacedLine& line : fill.out.lines) {
        float shift = shiftAt(line.top);
        line.top += shift;
        line.baseline += shift;
    }
    for (PlacedBox& box : fill.out.boxes)
        box.rect = box.rect.offsetBy(0, shiftAt(box.rect.y()));
    // Objects placed on the page or its margins stay where they are; those that follow their paragraph move.
    for (PlacedFloat& placed : fill.out.floats) {
        using Frame = FloatPlacement::Frame;
        Frame frame = placed.attachment->placement->verticalFrame;
        if (frame != Frame::Page && frame != Frame::Margin)
            placed.rect = placed.rect.offsetBy(0, shiftAt(placed.rect.y()));
    }
    fill.y = fill.bodyBottom() + steps.back().second;
}

void Paginator::planNotes()
{
    const auto& body = m_structure.body;
    m_order.resize(body.size());
    for (std::size_t b = 0; b < body.size(); ++b)
        m_order[b] = std::uint32_t(b);
    const PageSetup* setup = m_storage.pageSetup().get();
    if (!m_placesNotes || !setup || setup->notes.empty())
        return;
    const std::vector<Note>& notes = setup->notes;
    m_noteBlocks.assign(notes.size(), {});
    m_footnoteQueued.assign(notes.size(), 0);

    // The note each block belongs to, by its first byte; notes are searched in the order of their texts.
    std::vector<std::size_t> byText(notes.size());
    for (std::size_t n = 0; n < notes.size(); ++n)
        byText[n] = n;
    std::sort(byText.begin(), byText.end(),
        [&](std::size_t a, std::size_t b) { return notes[a].text.location < notes[b].text.location; });
    std::vector<std::ptrdiff_t> owner(body.size(), -1);
    std::vector<char> flows(notes.size(), 0); // placed in the flow rather than at the foot
    for (std::size_t b = 0; b < body.size(); ++b) {
        auto start = firstByte(body[b]);
        if (!start)
            continue;
        auto it = std::upper_bound(byText.begin(), byText.end(), *start,
            [&](std::size_t byte, std::size_t n) { return byte < notes[n].text.location; });
        if (it == byText.begin())
            continue;
        std::size_t n = *(it - 1);
        if (!notes[n].text.contains(*start))
            continue;
        owner[b] = std::ptrdiff_t(n);
        m_noteBlocks[n].push_back(std::uint32_t(b));
        m_isNoteBlock.resize(body.size());
        m_isNoteBlock[b] = 1;
        // The note area holds paragraphs only: a footnote with a table flows with the endnotes.
        if (body[b].kind != Block::Kind::Paragraph)
            flows[n] = 1;
    }
    for (std::size_t n = 0; n < notes.size(); ++n) {
        if (notes[n].kind == NoteKind::Endnote)
            flows[n] = 1;
        else if (!flows[n] && !m_noteBlocks[n].empty())
            m_footnoteReferences.push_back({ notes[n].reference, n });
    }
    std::sort(m_footnoteReferences.begin(), m_footnoteReferences.end());

    // Endnotes go after their section's last block, or all after the body's.
    bool bySection = setup->endnotePlacement == EndnotePlacement::EndOfSection;
    std::vector<char> appended(notes.size(), 0);
    m_order.clear();
    m_movedBreaks.assign(body.size(), 0);
    m_opensEndnotes.assign(body.size(), 0);
    auto appendFlowingNotes = [&](std::size_t before) {
        std::size_t breakAt = m_order.size();
        bool endnotes = false;
        for (std::size_t n : byText) {
            if (!flows[n] || appended[n] || notes[n].reference >= before)
                continue;
            appended[n] = 1;
            endnotes = endnotes || notes[n].kind == NoteKind::Endnote;
            m_order.insert(m_order.end(), m_noteBlocks[n].begin(), m_noteBlocks[n].end());
        }
        // A separator opens the endnotes, as a word processor draws it above them.
        if (endnotes && breakAt < m_order.size() && body[m_order[breakAt]].kind == Block::Kind::Paragraph)
            m_opensEndnotes[breakAt] = 1;
        // The section's endnotes come before the page break that ends it.
        if (breakAt == 0 || breakAt == m_order.size())
            return;
        const Block& ending = body[m_order[breakAt - 1]];
        const Block& last = body[m_order.back()];
        if (ending.kind == Block::Kind::Paragraph && m_structure.paragraphs[ending.index].pageBreakAfter
            && last.kind == Block::Kind::Paragraph) {
            m_movedBreaks[breakAt - 1] = 1;
            m_movedBreaks[m_order.size() - 1] = 2;
        }
    };
    std::size_t section = 0;
    for (std::size_t b = 0; b < body.size(); ++b) {
        if (owner[b] >= 0)
            continue;
        if (bySection) {
            std::size_t start = firstByte(body[b]).value_or(0);
            std::size_t current = setup->sectionIndexAt(start);
            if (current > section) {
                appendFlowingNotes(setup->sections[current].start);
                section = current;
            }
        }
        m_order.push_back(std::uint32_t(b));
    }
    appendFlowingNotes(std::numeric_limits<std::size_t>::max());
}

std::vector<std::size_t> Paginator::newFootnotes(std::size_t start, std::size_t end) const
{
    std::vector<std::size_t> found;
    auto it = std::lower_bound(m_footnoteReferences.begin(), m_footnoteReferences.end(),
        std::pair<std::size_t, std::size_t> { start, 0 });
    for (; it != m_footnoteReferences.end() && it->first < end; ++it) {
        if (!m_footnoteQueued[it->second])
            found.push_back(it->second);
    }
    return found;
}

float Paginator::firstNoteLineHeight(std::size_t note, float width, float maxObjectHeight)
{
    const auto& blocks = m_noteBlocks[note];
    if (blocks.empty())
        return 0;
    const std::vector<LineBox>& lines = lookahead(m_structure.body[blocks.front()].index, width, maxObjectHeight);
    return lines.empty() ? 0 : lines.front().height;
}

void Paginator::queueFootnotes(const std::vector<std::size_t>& notes)
{
    for (std::size_t note : notes) {
        m_footnoteQueued[note] = 1;
        NoteFlow flow;
        flow.note = note;
        m_waitingNotes.push_back(std::move(flow));
    }
}

void Paginator::placeWaitingNotes(Fill& fill, float maxAreaHeight)
{
    while (!m_waitingNotes.empty()) {
        if (!placeNoteLines(fill, m_waitingNotes.front(), maxAreaHeight))
            return;
        m_waitingNotes.pop_front();
    }
}

bool Paginator::placeNoteLines(Fill& fill, NoteFlow& note, float maxAreaHeight)
{
    const float width = fill.size.width, height = fill.size.height;
    const auto& blocks = m_noteBlocks[note.note];
    while (note.block < blocks.size()) {
        std::uint32_t paragraph = m_structure.body[blocks[note.block]].index;
        if (!note.measured) {
            measureParagraph(paragraph, width, height, note.lines);
            note.nextLine = 0;
            note.measured = true;
        }
        const ParagraphStyle& paragraphStyle = style(paragraph);
        const Paragraph& piece = m_structure.paragraphs[paragraph];
        while (note.nextLine < note.lines.size()) {
            const LineBox& line = note.lines[note.nextLine];
            bool opensArea = fill.noteLines.empty();
            float separator = opensArea ? kNoteSeparatorSpace : 0;
            float before = 0;
            if (!opensArea && note.nextLine == 0 && !piece.continuesParagraph)
                before = note.pendingSpacing + spacingBefore(paragraphStyle);
            float grown = fill.noteHeight + separator + before + line.height;
            // An empty container takes one line whatever its height, so that pagination advances.
            bool alone = opensArea && fill.atTop;
            if (grown > maxAreaHeight + kFitTolerance && !alone)
                return false;
            PlacedLine placed;
            placed.paragraph = paragraph;
            placed.line = std::uint32_t(note.nextLine);
            placed.start = line.start;
            placed.end = line.end;
            placed.top = fill.noteHeight + separator + before;
            placed.height = line.height;
            placed.baseline = placed.top + line.baseline;
            placed.isNote = true;
            fill.noteLines.push_back(placed);
            fill.noteHeight = grown;
            note.pendingSpacing = 0;
            note.started = true;
            ++note.nextLine;
        }
        note.pendingSpacing = piece.continuedAfter ? 0 : spacingAfter(paragraphStyle);
        note.measured = false;
        note.lines.clear();
        ++note.block;
    }
    return true;
}

void Paginator::finishNoteArea(Fill& fill)
{
    if (fill.noteLines.empty())
        return;
    // The area sits on the container's bottom edge; one taller than the container starts at its top.
    float areaTop = std::max(fill.bodyBottom(), fill.size.height - fill.noteHeight);
    float rule = fill.continuesNote ? fill.size.width : std::min(kNoteRuleLength, fill.size.width);
    fill.out.noteSeparators.push_back({ 0, areaTop + kNoteRuleOffset, rule, kNoteRuleThickness });
    for (PlacedLine& line : fill.noteLines) {
        line.top += areaTop;
        line.baseline += areaTop;
        fill.out.lines.push_back(line);
    }
}

bool Paginator::placeParagraphLines(Fill& fill)
{
    const float width = fill.columnWidth(), height = fill.size.height;
    std::uint32_t paragraph = flowBlock(m_flow.block).index;
    // Lines that made way for floats and then went on to a new column or container, or that go on to a
    // column of another width, are laid out afresh there: the paragraph from its start when none of it is
    // placed yet, else the rest of it.
    if (m_flow.paragraphMeasured) {
        bool otherWidth = m_columns[m_flow.measured].width != width;
        if (!m_flow.wrapSettled) {
            m_flow.paragraphMeasured = !otherWidth;
        } else if (fill.atTop || otherWidth) {
            if (m_flow.nextLine == 0 && m_flow.measured == paragraph)
                m_flow.paragraphMeasured = false;
            else if (m_flow.lineX != 0 || otherWidth)
                splitAtNextLine(fill, paragraph, fill.y);
        }
    }
    if (!m_flow.paragraphMeasured) {
        measureParagraph(paragraph, width, height, m_flow.lines);
        m_flow.measured = paragraph;
        m_flow.nextLine = 0;
        m_flow.paragraphMeasured = true;
        m_flow.wrapSettled = false;
        m_flow.lineX = 0;
        m_flow.wrapBottom = -1;
    }
    const ParagraphStyle& paragraphStyle = style(paragraph);
    const Paragraph& piece = m_structure.paragraphs[paragraph];
    while (m_flow.nextLine < m_flow.lines.size()) {
        float before = 0;
        if (m_flow.nextLine == 0 && m_flow.measured == paragraph && !piece.continuesParagraph) {
            if (paragraphStyle.pageBreakBefore && !fill.atTop) {
                m_flow.explicitBreak = true;
                return true;
            }
            // In the last column a column break waits for the next container, as a page break would.
            if (paragraphStyle.columnBreakBefore && fill.columns > 1 && !fill.atTop) {
                m_flow.columnBreak = true;
                if (fill.column + 1 >= fill.columns)
                    m_flow.explicitBreak = true;
                return true;
            }
            before = fill.atTop && !fill.startedByBreak ? 0 : spacingBefore(paragraphStyle);
            if (opensEndnotes())
                before += kNoteSeparatorSpace;
            if (paragraphStyle.keepWithNext && !piece.continuedAfter && !fill.atTop) {
                float chain = keepChainHeight(m_flow.block, width, height);
                if (fill.y + fill.pendingSpacing + before + chain > fill.bodyLimit() + kFitTolerance && chain <= height)
                    return true;
            }
        }
        float top = fill.y + (fill.atTop ? 0 : fill.pendingSpacing) + before;
        if (!fill.atTop && top + m_flow.lines[m_flow.nextLine].height > fill.bodyLimit() + kFitTolerance)
            return true;
        // Once its first line has a place, the paragraph's floats go on the container, and its lines
        // make way for them and for those already there; then it is placed again from the top.
        if (m_flow.nextLine == 0 && !m_flow.wrapSettled) {
            m_flow.wrapSettled = true;
            if (wrapAroundFloats(fill, paragraph, top))
                continue;
        }
        // Past the floats it made way for, the rest of the paragraph has the whole column again.
        if (m_flow.nextLine > 0 && m_flow.wrapBottom >= 0 && top >= m_flow.wrapBottom - kFitTolerance) {
            splitAtNextLine(fill, paragraph, top);
            continue;
        }
        const LineBox& line = m_flow.lines[m_flow.nextLine];
        std::vector<std::size_t> notes = newFootnotes(line.start, line.end);
        if (!notes.empty() && !fill.atTop) {
            // Behind a note still unfinished, a new one cannot start here; nor can the line go without
            // the first line of each of its notes.
            if (!m_waitingNotes.empty())
                return true;
            float need = fill.noteLines.empty() ? kNoteSeparatorSpace : 0;
            for (std::size_t note : notes)
                need += firstNoteLineHeight(note, width, height);
            if (std::max(top + line.height, fill.earlierColumnsBottom) + need > fill.bodyLimit() + kFitTolerance)
                return true;
        }
        if (m_flow.nextLine == 0 && m_flow.measured == paragraph && !piece.continuesParagraph && opensEndnotes()) {
            float rule = std::min(kNoteRuleLength, width);
            fill.out.noteSeparators.push_back(
                { fill.columnX(), top - before + kNoteRuleOffset, rule, kNoteRuleThickness });
        }
        PlacedLine placed;
        placed.paragraph = m_flow.measured;
        placed.line = std::uint32_t(m_flow.nextLine);
        placed.start = line.start;
        placed.end = line.end;
        placed.x = fill.columnX() + m_flow.lineX;
        placed.top = top;
        placed.height = line.height;
        placed.baseline = top + line.baseline;
        placed.isNote = !m_isNoteBlock.empty() && m_isNoteBlock[m_order[m_flow.block]];
        fill.out.lines.push_back(placed);
        fill.y = top + line.height;
        fill.atTop = false;
        fill.pendingSpacing = 0;
        ++m_flow.nextLine;
        if (!notes.empty()) {
            queueFootnotes(notes);
            placeWaitingNotes(fill, height - fill.bodyBottom());
        }
    }
    fill.pendingSpacing = piece.continuedAfter ? 0 : spacingAfter(paragraphStyle);
    m_flow.paragraphMeasured = false;
    m_flow.lines.clear();
    bool breakAfter = m_structure.paragraphs[paragraph].pageBreakAfter;
    if (m_flow.block < m_movedBreaks.size() && m_movedBreaks[m_flow.block])
        breakAfter = m_movedBreaks[m_flow.block] == 2;
    ++m_flow.block;
    if (breakAfter) {
        m_flow.explicitBreak = true;
        return true;
    }
    return false;
}

Rect Paginator::floatRect(const Fill& fill, const Attachment& object, float paragraphTop) const
{
    const FloatPlacement& placement = *object.placement;
    const Rect& page = fill.page;
    Rect margin { {}, fill.size };
    Rect column { fill.columnX(), 0, fill.columnWidth(), fill.size.height };
    // Never larger than the paper, keeping its proportions.
    Size size { saneLength(object.size.width, 1, 100000), saneLength(object.size.height, 1, 100000) };
    float scale = std::min({ 1.0f, page.width() / size.width, page.height() / size.height });
    size = { size.width * scale, size.height * scale };

    auto place = [](FloatPlacement::Align align, float offset, float start, float length, float extent) {
        switch (align) {
        case FloatPlacement::Align::Start:
            return start;
        case FloatPlacement::Align::Center:
            return start + (length - extent) / 2;
        case FloatPlacement::Align::End:
            return start + length - extent;
        case FloatPlacement::Align::Offset:
            break;
        }
        return start + saneLength(offset, -100000, 100000);
    };
    using Frame = FloatPlacement::Frame;
    const Rect& across = placement.horizontalFrame == Frame::Page ? page
        : placement.horizontalFrame == Frame::Margin              ? margin
                                                                  : column;
    float x = place(placement.horizontalAlign, placement.offset.x, across.x(), across.width(), size.width);
    float y;
    if (placement.verticalFrame == Frame::Page || placement.verticalFrame == Frame::Margin) {
        const Rect& down = placement.verticalFrame == Frame::Page ? page : margin;
        y = place(placement.verticalAlign, placement.offset.y, down.y(), down.height(), size.height);
    } else {
        y = paragraphTop + saneLength(placement.offset.y, -100000, 100000);
    }
    // The whole object stays on its page.
    x = std::clamp(x, page.minX(), std::max(page.minX(), page.maxX() - size.width));
    y = std::clamp(y, page.minY(), std::max(page.minY(), page.maxY() - size.height));
    return { x, y, size.width, size.height };
}

void Paginator::splitAtNextLine(Fill& fill, std::uint32_t paragraph, float top)
{
    const Paragraph& whole = pieceAt(m_flow.measured);
    std::uint32_t start = std::min(m_flow.lines[m_flow.nextLine].start, whole.start + whole.length);
    Paragraph rest = whole;
    rest.start = start;
    rest.length = whole.start + whole.length - start;
    rest.continuesParagraph = true;
    m_splits.push_back(rest);
    std::uint32_t index = std::uint32_t(m_structure.paragraphs.size() + m_splits.size() - 1);
    m_columns.push_back({});
    m_placesFloats.push_back(m_placesFloats[paragraph]);
    measureParagraph(index, fill.columnWidth(), fill.size.height, m_flow.lines);
    m_flow.measured = index;
    m_flow.nextLine = 0;
    m_flow.lineX = 0;
    m_flow.wrapBottom = -1;
    m_flow.wrapSettled = true;
    wrapAroundFloats(fill, index, top);
}

bool Paginator::wrapAroundFloats(Fill& fill, std::uint32_t paragraph, float& top)
{
    const Paragraph& piece = pieceAt(paragraph);
    while (m_nextFloat < m_floats.size() && m_floats[m_nextFloat].byte < piece.start)
        ++m_nextFloat; // anchored where floats are not placed
    // The terminator's byte belongs to the paragraph too: a box anchored in an empty paragraph stands there.
    for (; m_nextFloat < m_floats.size() && m_floats[m_nextFloat].byte < std::max(piece.end(), piece.start + 1);
         ++m_nextFloat) {
        placeFloat(fill, m_floats[m_nextFloat], top);
    }
    if (fill.exclusions.empty())
        return false;

    // Narrower lines make a taller paragraph, which may meet more floats: a few rounds settle it.
    const float columnLeft = fill.columnX(), columnRight = columnLeft + fill.columnWidth();
    const float narrowest = std::min(36.0f, fill.columnWidth());
    bool changed = false;
    for (int round = 0; round < 4; ++round) {
        float height = 0;
        for (const LineBox& line : m_flow.lines)
            height += line.height;
        float bottom = std::min(top + std::max(height, 1.0f), fill.bodyLimit());
        float left = columnLeft, right = columnRight, below = top, besideBottom = -1;
        for (const Exclusion& exclusion : fill.exclusions) {
            const Rect& r = exclusion.rect;
            if (r.maxY() <= top || r.minY() >= bottom || r.maxX() <= columnLeft || r.minX() >= columnRight)
                continue;
            bool besideRoom = exclusion.wrap == FloatPlacement::Wrap::Square
                && std::max(r.minX() - left, right - r.maxX()) >= narrowest;
            if (!besideRoom) {
                below = std::max(below, r.maxY());
                continue;
            }
            if (r.minX() - left >= right - r.maxX())
                right = std::min(right, r.minX());
            else
                left = std::max(left, r.maxX());
            besideBottom = std::max(besideBottom, r.maxY());
        }
        if (below > top) {
            // Nothing fits beside the float: the paragraph starts below it, on full lines again.
            top = below;
            fill.y = below;
            fill.pendingSpacing = 0;
            fill.atTop = false;
            left = columnLeft;
            right = columnRight;
            besideBottom = -1;
            changed = true;
        }
        float width = std::max(right - left, narrowest);
        float lineX = left - columnLeft;
        m_flow.wrapBottom = besideBottom;
        if (width == m_columns[paragraph].width && lineX == m_flow.lineX)
            break;
        measureParagraph(paragraph, width, fill.size.height, m_flow.lines);
        m_flow.lineX = lineX;
        changed = true;
    }
    return changed;
}

void Paginator::placeWindow(Fill& fill, const RowGroup& group, float windowStart, float windowEnd, float top,
    const std::vector<char>& assign, bool decoration)
{
    float dy = top - windowStart, dx = fill.columnX();
    for (const GroupBox& box : group.boxes) {
        Rect rect = box.rect;
        if (box.item >= 0) {
            if (!assign[std::size_t(box.item)])
                continue;
        } else {
            float y0 = std::max(rect.minY(), windowStart), y1 = std::min(rect.maxY(), windowEnd);
            if (y1 <= y0)
                continue;
            rect = { rect.x(), y0, rect.width(), y1 - y0 };
        }
        fill.out.boxes.push_back({ rect.offsetBy(dx, dy), box.cell });
    }
    for (std::size_t i = 0; i < group.items.size(); ++i) {
        if (!assign[i])
            continue;
        const GroupItem& item = group.items[i];
        for (std::uint32_t l = item.firstLine; l < item.firstLine + item.lineCount; ++l) {
            const GroupLine& line = group.lines[l];
            PlacedLine placed;
            placed.paragraph = line.paragraph;
            placed.line = line.line;
            placed.start = line.start;
            placed.end = line.end;
            placed.x = line.x + dx;
            placed.top = line.top + dy;
            placed.height = line.height;
            placed.baseline = line.baseline + dy;
            placed.isDecoration = decoration;
            fill.out.lines.push_back(placed);
        }
    }
}

bool Paginator::placeTableRows(Fill& fill)
{
    const float fullHeight = fill.size.height;
    Flow& flow = m_flow;
    // The notes that rows placed here refer to: they go at this container's foot as far as they fit.
    auto placeRowNotes = [&](std::size_t firstLine) {
        if (!m_isNoteBlock.empty() && m_isNoteBlock[m_order[flow.block]]) {
            for (std::size_t l = firstLine; l < fill.out.lines.size(); ++l)
                fill.out.lines[l].isNote = true;
        }
        if (m_footnoteReferences.empty())
            return;
        for (std::size_t l = firstLine; l < fill.out.lines.size(); ++l) {
            if (!fill.out.lines[l].isDecoration)
                queueFootnotes(newFootnotes(fill.out.lines[l].start, fill.out.lines[l].end));
        }
        placeWaitingNotes(fill, fullHeight - fill.bodyBottom());
    };
    const std::uint32_t tableIndex = flowBlock(flow.block).index;
    // A page's height of rows at a time, at the width and object height of the table's first page.
    auto layOutMore = [&] {
        layOutRowGroups(
            tableIndex, flow.tableWidth, flow.tableMaxObjectHeight, flow.tableNextRow, fullHeight, flow.groups);
    };
    if (!flow.tableReady) {
        flow.groups.clear();
        flow.tableNextRow = 0;
        flow.tableWidth = fill.columnWidth();
        flow.tableMaxObjectHeight = fullHeight;
        layOutMore();
        flow.nextGroup = 0;
        flow.windowStart = 0;
        flow.placedItems.clear();
        flow.tableFirstContainer = fill.index;
        flow.headerGroups = 0;
        flow.headerHeight = 0;
        while (flow.headerGroups < flow.groups.size() && flow.groups[flow.headerGroups].isHeader)
            flow.headerHeight += flow.groups[flow.headerGroups++].height;
        // Headers that would take half the page or more are not repeated: the rows need the room. The first
        // rows laid out hold a row that is no header unless the table has none.
        if (flow.headerGroups == flow.groups.size() || flow.headerHeight > fullHeight / 2) {
            flow.headerGroups = 0;
            flow.headerHeight = 0;
        }
        flow.tableReady = true;
    }

    auto placeHeaders = [&](float top) {
        for (std::size_t i = 0; i < flow.headerGroups; ++i) {
            const RowGroup& header = flow.groups[i];
            placeWindow(fill, header, 0, header.height, top, std::vector<char>(header.items.size(), 1), true);
            top += header.height;
        }
        return top;
    };

    const std::size_t tableRows = m_structure.tables[tableIndex].rows.size();
    while (flow.nextGroup < flow.groups.size() || flow.tableNextRow < tableRows) {
        if (flow.nextGroup == flow.groups.size())
            layOutMore();
        const float height = fill.bodyLimit();
        std::size_t linesBefore = fill.out.lines.size();
        const RowGroup& group = flow.groups[flow.nextGroup];
        if (flow.placedItems.size() != group.items.size())
            flow.placedItems.assign(group.items.size(), 0);
        bool repeatsHeader = flow.headerGroups && flow.nextGroup >= flow.headerGroups && fill.atTop
            && fill.index > flow.tableFirstContainer;
        float header = repeatsHeader ? flow.headerHeight : 0;
        float top = fill.y + (fill.atTop ? 0 : fill.pendingSpacing);
        float need = group.height - flow.windowStart;
        float room = height - top - header;
        bool anyLeft = std::find(flow.placedItems.begin(), flow.placedItems.end(), 0) != flow.placedItems.end();

        if (need <= room + kFitTolerance || !anyLeft) {
            if (repeatsHeader)
                top = placeHeaders(top);
            std::vector<char> assign(group.items.size());
            for (std::size_t i = 0; i < assign.size(); ++i)
                assign[i] = !flow.placedItems[i];
            placeWindow(fill, group, flow.windowStart, group.height, top, assign, false);
            fill.y = top + need;
            fill.atTop = false;
            fill.pendingSpacing = 0;
            placeRowNotes(linesBefore);
            ++flow.nextGroup;
            flow.windowStart = 0;
            flow.placedItems.clear();
            continue;
        }
        // On the printer's paper a row that fits on a page goes to the next one whole. In the document's own
        // layout rows break across pages between lines, as its word processor breaks them, unless the row
        // says it may not.
        float headerOnNext = flow.headerGroups && flow.nextGroup >= flow.headerGroups ? flow.headerHeight : 0;
        bool breaks = m_placesNotes && !group.keepsTogether && !group.isHeader;
        if (!fill.atTop && !breaks && need <= fullHeight - headerOnNext + kFitTolerance)
            return true;

        // Split the group between lines: what ends above the cut stays here.
        float cut = flow.windowStart + room;
        std::vector<char> assign(group.items.size(), 0);
        bool any = false;
        for (std::size_t i = 0; i < group.items.size(); ++i) {
            if (!flow.placedItems[i] && group.items[i].bottom <= cut + kFitTolerance)
                assign[i] = any = true;
        }
        if (!any) {
            if (!fill.atTop)
                return true;
            // Not even one line fits in an empty container: place the first one anyway, overflowing.
            std::size_t first = std::size_t(
                std::find(flow.placedItems.begin(), flow.placedItems.end(), 0) - flow.placedItems.begin());
            float bottom = group.items[first].bottom;
            for (std::size_t i = 0; i < group.items.size(); ++i) {
                if (!flow.placedItems[i] && group.items[i].bottom <= bottom)
                    assign[i] = true;
            }
        }
        float windowEnd = cut;
        for (std::size_t i = 0; i < group.items.size(); ++i) {
            if (assign[i])
                windowEnd = std::max(windowEnd, group.items[i].bottom);
        }
        windowEnd = std::min(windowEnd, group.height);
        if (repeatsHeader)
            top = placeHeaders(top);
        placeWindow(fill, group, flow.windowStart, windowEnd, top, assign, false);
        fill.y = top + (windowEnd - flow.windowStart);
        fill.atTop = false;
        fill.pendingSpacing = 0;
        placeRowNotes(linesBefore);
        float nextStart = group.height;
        for (std::size_t i = 0; i < group.items.size(); ++i) {
            flow.placedItems[i] |= assign[i];
            if (!flow.placedItems[i])
                nextStart = std::min(nextStart, group.items[i].top);
        }
        if (nextStart >= group.height) {
            ++flow.nextGroup;
            flow.windowStart = 0;
            flow.placedItems.clear();
            continue;
        }
        flow.windowStart = nextStart;
        return true;
    }
    ++flow.block;
    flow.tableReady = false;
    flow.groups.clear();
    fill.pendingSpacing = 0;
    return false;
}

} // namespace kit
