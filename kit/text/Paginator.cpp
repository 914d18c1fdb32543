#include "kit/text/Paginator.h"

#include "kit/text/TextStorage.h"

#include <algorithm>
#include <limits>

namespace kit {

using namespace layout;

namespace {

// Lengths that add up to exactly a container's height must fit despite rounding in the sums.
constexpr float kFitTolerance = 0.01f;

} // namespace

struct Paginator::Fill {
    std::size_t index = 0;
    Size size;
    ContainerLayout& out;
    float y = 0; // the bottom of what is placed, container coordinates
    bool atTop = true; // nothing placed yet
    bool startedByBreak = false;
    float pendingSpacing = 0; // spacing after the paragraph placed last
};

Paginator::Paginator(const TextStorage& storage, ParagraphEngine& engine)
    : m_storage(storage)
    , m_engine(engine)
    , m_structure(TextStructure::build(storage))
    , m_columns(m_structure.paragraphs.size())
{
}

const ParagraphStyle& Paginator::style(std::uint32_t paragraph) const
{
    return m_storage.attributesAt(m_structure.paragraphs[paragraph].paragraphStart).paragraphStyle();
}

ParagraphInput Paginator::input(std::uint32_t paragraph) const
{
    const Paragraph& p = m_structure.paragraphs[paragraph];
    ParagraphInput in { &m_storage, p.start, p.length, m_columns[paragraph].width,
        m_columns[paragraph].maxObjectHeight };
    in.paragraphStart = p.paragraphStart;
    in.continuesParagraph = p.continuesParagraph;
    in.continuedAfter = p.continuedAfter;
    return in;
}

void Paginator::layOutUpTo(std::size_t index, const SizeProvider& sizeOf)
{
    while (m_containers.size() <= index) {
        if (m_flow.complete) {
            ContainerLayout empty;
            empty.glyphRange = { m_storage.length(), 0 };
            m_containers.push_back(std::move(empty));
            continue;
        }
        layOutNextContainer(sizeOf(m_containers.size()));
    }
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

    const Paragraph& p = m_structure.paragraphs[paragraph];
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
    const auto& body = m_structure.body;
    float total = 0;
    for (std::size_t b = block; b < body.size() && body[b].kind == Block::Kind::Paragraph;) {
        std::uint32_t p = body[b].index;
        const std::vector<LineBox>& lines = b == block ? m_flow.lines : lookahead(p, width, maxObjectHeight);
        for (const LineBox& line : lines)
            total += line.height;
        const ParagraphStyle& current = style(p);
        const Paragraph& piece = m_structure.paragraphs[p];
        if (total > maxObjectHeight || !current.keepWithNext || piece.pageBreakAfter || piece.continuedAfter)
            break;
        std::size_t next = b + 1;
        if (next >= body.size() || body[next].kind != Block::Kind::Paragraph)
            break;
        std::uint32_t n = body[next].index;
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

void Paginator::layOutNextContainer(Size size)
{
    m_containers.emplace_back();
    Fill fill { m_containers.size() - 1, size, m_containers.back() };
    fill.startedByBreak = m_flow.explicitBreak;
    m_flow.explicitBreak = false;

    const auto& body = m_structure.body;
    while (m_flow.block < body.size()) {
        bool full
            = body[m_flow.block].kind == Block::Kind::Paragraph ? placeParagraphLines(fill) : placeTableRows(fill);
        if (full)
            break;
    }
    if (m_flow.block >= body.size()) {
        m_flow.complete = true;
        m_endContainer = fill.index;
    }

    std::size_t first = std::numeric_limits<std::size_t>::max(), last = 0;
    for (const PlacedLine& line : fill.out.lines) {
        if (line.isDecoration)
            continue;
        first = std::min<std::size_t>(first, line.start);
        last = std::max<std::size_t>(last, line.end);
    }
    fill.out.glyphRange = first <= last ? Range { first, last - first } : Range { m_storage.length(), 0 };
    fill.out.usedHeight = fill.y;
}

bool Paginator::placeParagraphLines(Fill& fill)
{
    const float width = fill.size.width, height = fill.size.height;
    std::uint32_t paragraph = m_structure.body[m_flow.block].index;
    if (!m_flow.paragraphMeasured) {
        measureParagraph(paragraph, width, height, m_flow.lines);
        m_flow.nextLine = 0;
        m_flow.paragraphMeasured = true;
    }
    const ParagraphStyle& paragraphStyle = style(paragraph);
    const Paragraph& piece = m_structure.paragraphs[paragraph];
    while (m_flow.nextLine < m_flow.lines.size()) {
        float before = 0;
        if (m_flow.nextLine == 0 && !piece.continuesParagraph) {
            if (paragraphStyle.pageBreakBefore && !fill.atTop) {
                m_flow.explicitBreak = true;
                return true;
            }
            before = fill.atTop && !fill.startedByBreak ? 0 : spacingBefore(paragraphStyle);
            if (paragraphStyle.keepWithNext && !piece.continuedAfter && !fill.atTop) {
                float chain = keepChainHeight(m_flow.block, width, height);
                if (fill.y + fill.pendingSpacing + before + chain > height + kFitTolerance && chain <= height)
                    return true;
            }
        }
        const LineBox& line = m_flow.lines[m_flow.nextLine];
        float top = fill.y + (fill.atTop ? 0 : fill.pendingSpacing) + before;
        if (!fill.atTop && top + line.height > height + kFitTolerance)
            return true;
        PlacedLine placed;
        placed.paragraph = paragraph;
        placed.line = std::uint32_t(m_flow.nextLine);
        placed.start = line.start;
        placed.end = line.end;
        placed.top = top;
        placed.height = line.height;
        placed.baseline = top + line.baseline;
        fill.out.lines.push_back(placed);
        fill.y = top + line.height;
        fill.atTop = false;
        fill.pendingSpacing = 0;
        ++m_flow.nextLine;
    }
    fill.pendingSpacing = piece.continuedAfter ? 0 : spacingAfter(paragraphStyle);
    m_flow.paragraphMeasured = false;
    m_flow.lines.clear();
    ++m_flow.block;
    if (m_structure.paragraphs[paragraph].pageBreakAfter) {
        m_flow.explicitBreak = true;
        return true;
    }
    return false;
}

void Paginator::placeWindow(Fill& fill, const RowGroup& group, float windowStart, float windowEnd, float top,
    const std::vector<char>& assign, bool decoration)
{
    float dy = top - windowStart;
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
        fill.out.boxes.push_back({ rect.offsetBy(0, dy), box.cell });
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
            placed.x = line.x;
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
    const float height = fill.size.height;
    Flow& flow = m_flow;
    if (!flow.tableReady) {
        flow.groups = layOutTable(m_structure.body[flow.block].index, fill.size.width, height);
        flow.nextGroup = 0;
        flow.windowStart = 0;
        flow.placedItems.clear();
        flow.tableFirstContainer = fill.index;
        flow.headerGroups = 0;
        flow.headerHeight = 0;
        while (flow.headerGroups < flow.groups.size() && flow.groups[flow.headerGroups].isHeader)
            flow.headerHeight += flow.groups[flow.headerGroups++].height;
        // Headers that would take half the page or more are not repeated: the rows need the room.
        if (flow.headerGroups == flow.groups.size() || flow.headerHeight > height / 2) {
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

    while (flow.nextGroup < flow.groups.size()) {
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
            ++flow.nextGroup;
            flow.windowStart = 0;
            flow.placedItems.clear();
            continue;
        }
        float headerOnNext = flow.headerGroups && flow.nextGroup >= flow.headerGroups ? flow.headerHeight : 0;
        if (!fill.atTop && need <= height - headerOnNext + kFitTolerance)
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
