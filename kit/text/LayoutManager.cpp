#include "kit/text/LayoutManager.h"

#include "kit/text/HarfBuzzParagraphEngine.h"
#include "kit/text/Paginator.h"
#include "kit/text/PangoParagraphEngine.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace kit {

using namespace layout;

namespace {

void setSource(cairo_t* cr, const Color& color)
{
    auto rgb = color.usingCalibratedRGB();
    auto c = rgb ? rgb->rgba() : std::array<float, 4> { 0, 0, 0, 1 };
    cairo_set_source_rgba(cr, c[0], c[1], c[2], c[3]);
}

// A cell border centred on the cell's edge: one line of its width, or two lines of a third of it each.
void drawBorder(cairo_t* cr, const Border& border, Point from, Point to, bool horizontal)
{
    if (border.style == LineStyle::None)
        return;
    float width = border.width > 0 ? saneLength(border.width, 0, 100) : 0.5f;
    setSource(cr, border.color);
    auto line = [&](float offset, float thickness) {
        if (horizontal)
            cairo_rectangle(cr, from.x, from.y + offset - thickness / 2, to.x - from.x, thickness);
        else
            cairo_rectangle(cr, from.x + offset - thickness / 2, from.y, thickness, to.y - from.y);
    };
    if (border.style == LineStyle::Double) {
        float third = width / 3;
        line(-third, third);
        line(third, third);
    } else {
        line(0, width);
    }
    cairo_fill(cr);
}

} // namespace

void LayoutManager::drawTableCell(cairo_t* cr, const Rect& rect, const TableCell& cell)
{
    if (cell.shading) {
        setSource(cr, *cell.shading);
        cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
        cairo_fill(cr);
    }
    drawBorders(cr, rect, cell.borders);
}

void LayoutManager::drawBorders(cairo_t* cr, const Rect& rect, const std::array<Border, 4>& b)
{
    drawBorder(cr, b[0], { rect.minX(), rect.minY() }, { rect.maxX(), rect.minY() }, true);
    drawBorder(cr, b[1], { rect.minX(), rect.minY() }, { rect.minX(), rect.maxY() }, false);
    drawBorder(cr, b[2], { rect.minX(), rect.maxY() }, { rect.maxX(), rect.maxY() }, true);
    drawBorder(cr, b[3], { rect.maxX(), rect.minY() }, { rect.maxX(), rect.maxY() }, false);
}

namespace {

// Whether the text before end is a paragraph, page or line break.
bool endsWithBreak(const std::string& text, std::size_t end)
{
    if (end == 0 || end > text.size())
        return false;
    char last = text[end - 1];
    return last == '\n' || last == kPageBreak || (end >= 3 && !text.compare(end - 3, 3, kLineSeparator));
}

bool overlaps(Range range, std::size_t start, std::size_t end) { return range.location < end && range.end() > start; }

std::uint64_t nextLayoutGeneration()
{
    static std::atomic<std::uint64_t> last { 0 };
    return ++last;
}

} // namespace

LayoutManager::LayoutManager()
    : LayoutManager(createParagraphEngine())
{
}

std::unique_ptr<ParagraphEngine> LayoutManager::createParagraphEngine()
{
    // Pango's own line breaking stays selectable: it is the reference the engine of our own is held to.
    const char* name = std::getenv("LECTORIN_PARAGRAPH_ENGINE");
    if (name && !std::strcmp(name, "pango"))
        return std::make_unique<PangoParagraphEngine>();
    return std::make_unique<HarfBuzzParagraphEngine>();
}

LayoutManager::LayoutManager(std::unique_ptr<ParagraphEngine> engine)
    : m_emptyStorage(std::make_unique<TextStorage>())
    , m_engine(std::move(engine))
    , m_layoutGeneration(nextLayoutGeneration())
{
}

LayoutManager::~LayoutManager()
{
    // The paginator refers to the storage and the engine: it goes first.
    m_paginator.reset();
    for (auto& container : m_containers) {
        // A text view may outlive its container: it must not reach back into it.
        if (TextView* view = container->textView())
            view->setTextContainer(nullptr);
        container->m_layoutManager = nullptr;
    }
}

const TextStorage& LayoutManager::storage() const { return m_storage ? *m_storage : *m_emptyStorage; }

void LayoutManager::replaceTextStorage(std::shared_ptr<TextStorage> storage)
{
    m_paginator.reset();
    m_storage = std::move(storage);
    m_selectedRange = {};
    invalidateLayout();
}

void LayoutManager::addTextContainer(std::unique_ptr<TextContainer> container)
{
    if (!container)
        return;
    container->m_layoutManager = this;
    m_containers.push_back(std::move(container));
}

std::optional<std::size_t> LayoutManager::indexOfTextContainer(const TextContainer& container) const
{
    for (std::size_t i = 0; i < m_containers.size(); ++i) {
        if (m_containers[i].get() == &container)
            return i;
    }
    return std::nullopt;
}

TextView* LayoutManager::firstTextView() const
{
    return m_containers.empty() ? nullptr : m_containers.front()->textView();
}

std::uint64_t LayoutManager::layoutGeneration()
{
    if (m_paginator && storage().changeCount() != m_layoutChangeCount)
        invalidateLayout();
    return m_layoutGeneration;
}

void LayoutManager::invalidateLayout()
{
    m_layoutGeneration = nextLayoutGeneration();
    m_paginator.reset();
    m_displayLists.clear();
    m_engine->invalidate();
}

void LayoutManager::setPlacesNotes(bool placesNotes)
{
    if (placesNotes == m_placesNotes)
        return;
    m_placesNotes = placesNotes;
    invalidateLayout();
}

void LayoutManager::textContainerChangedGeometry(TextContainer& container)
{
    auto index = indexOfTextContainer(container);
    if (index && m_paginator && *index < m_paginator->laidOutCount())
        invalidateLayout();
}

void LayoutManager::startLayout()
{
    if (m_paginator && storage().changeCount() != m_layoutChangeCount)
        invalidateLayout();
    if (!m_paginator) {
        m_engine->invalidate();
        m_paginator = std::make_unique<Paginator>(storage(), *m_engine, m_placesNotes);
        m_layoutChangeCount = storage().changeCount();
        m_selectedRange.location = std::min(m_selectedRange.location, storage().length());
        m_selectedRange.length = std::min(m_selectedRange.length, storage().length() - m_selectedRange.location);
    }
}

std::unique_ptr<LayoutHandover> LayoutManager::handOverLayout(std::size_t firstContainer)
{
    startLayout();
    return m_paginator->handOver(firstContainer);
}

bool LayoutManager::adoptLayout(const LayoutHandover& handover)
{
    startLayout();
    return m_paginator->adopt(handover);
}

void LayoutManager::ensureLayout(std::size_t containerIndex)
{
    startLayout();
    // What was adopted ends where the other layout stood: a container past it is laid out here, from the
    // start, as it would have been without the other.
    if (m_paginator->isAdopted() && containerIndex >= m_paginator->laidOutCount() && !m_paginator->isComplete()) {
        invalidateLayout();
        startLayout();
    }
    m_paginator->layOutUpTo(containerIndex, [this](std::size_t i) {
        const auto& container = m_containers[std::min(i, m_containers.size() - 1)];
        return Paginator::ContainerShape { container->containerSize(), container->columns(),
            container->verticalAlignment(), container->pageRect() };
    });
}

Range LayoutManager::glyphRangeForTextContainer(const TextContainer& container)
{
    auto index = indexOfTextContainer(container);
    if (!index)
        return { storage().length(), 0 };
    ensureLayout(*index);
    return m_paginator->container(*index).glyphRange;
}

bool LayoutManager::textEndsInOrBeforeTextContainer(const TextContainer& container)
{
    auto index = indexOfTextContainer(container);
    if (!index)
        return false;
    ensureLayout(*index);
    return m_paginator->endsBy(*index);
}

TextContainer* LayoutManager::textContainerForGlyphAtIndex(std::size_t index)
{
    if (index >= storage().length())
        return nullptr;
    if (TextContainer* found = laidOutContainerForGlyphAtIndex(index))
        return found;
    if (!m_containersWanted)
        return nullptr;
    // The handler adds containers to this manager: it runs once the search above is over.
    std::function<void()> wanted = m_containersWanted;
    wanted();
    return laidOutContainerForGlyphAtIndex(index);
}

void LayoutManager::whenContainerForGlyphIsLaidOut(std::size_t index, std::function<void(TextContainer*)> found)
{
    if (!found)
        return;
    TextContainer* container = index < storage().length() ? laidOutContainerForGlyphAtIndex(index) : nullptr;
    if (container || index >= storage().length() || !m_containersWanted) {
        found(container ? container : textContainerForGlyphAtIndex(index));
        return;
    }
    m_glyphWaiters.emplace_back(index, std::move(found));
}

void LayoutManager::containersWereAdded(bool complete)
{
    if (m_glyphWaiters.empty())
        return;
    // A waiter's call may ask for more: it runs once the list is settled.
    std::vector<std::pair<TextContainer*, std::function<void(TextContainer*)>>> ready;
    for (auto waiter = m_glyphWaiters.begin(); waiter != m_glyphWaiters.end();) {
        TextContainer* container = laidOutContainerForGlyphAtIndex(waiter->first);
        if (!container && !complete) {
            ++waiter;
            continue;
        }
        ready.emplace_back(container, std::move(waiter->second));
        waiter = m_glyphWaiters.erase(waiter);
    }
    for (auto& [container, found] : ready)
        found(container);
}

TextContainer* LayoutManager::laidOutContainerForGlyphAtIndex(std::size_t index)
{
    for (std::size_t i = 0; i < m_containers.size(); ++i) {
        ensureLayout(i);
        const ContainerLayout& layout = m_paginator->container(i);
        // A note's lines lie outside the glyph range of the page that shows them.
        if (!layout.glyphRange.contains(index) && !layout.holdsNotes)
            continue;
        for (const PlacedLine& line : layout.lines) {
            if (!line.isDecoration && index >= line.start && index < line.end)
                return m_containers[i].get();
        }
    }
    return nullptr;
}

Rect LayoutManager::usedRectForTextContainer(const TextContainer& container)
{
    auto index = indexOfTextContainer(container);
    if (!index)
        return {};
    ensureLayout(*index);
    return { 0, 0, container.containerSize().width, m_paginator->container(*index).usedHeight };
}

std::vector<LayoutManager::LineToMeasure> LayoutManager::linesToMeasureForTextContainer(const TextContainer& container)
{
    std::vector<LineToMeasure> lines;
    auto index = indexOfTextContainer(container);
    if (!index)
        return lines;
    ensureLayout(*index);
    for (const PlacedLine& line : m_paginator->container(*index).lines) {
        LineToMeasure measured;
        measured.input = m_paginator->input(line.paragraph);
        measured.line = line.line;
        LineFragment& fragment = measured.fragment;
        fragment.range = { line.start, line.end - line.start };
        fragment.rect = { line.x, line.top, measured.input.columnWidth, line.height };
        fragment.usedRect = { line.x, line.top, 0, line.height };
        fragment.baseline = line.baseline;
        fragment.isDecoration = line.isDecoration;
        lines.push_back(measured);
    }
    return lines;
}

Rect LayoutManager::usedRect(ParagraphEngine& engine, const LineToMeasure& measured)
{
    const LineFragment& fragment = measured.fragment;
    auto ranges = engine.xRangesForRange(measured.input, measured.line, fragment.range);
    if (ranges.empty())
        return { fragment.rect.x(), fragment.rect.y(), 0, fragment.rect.height() };
    float x0 = ranges.front().first, x1 = ranges.front().second;
    for (auto [a, b] : ranges) {
        x0 = std::min(x0, a);
        x1 = std::max(x1, b);
    }
    return { fragment.rect.x() + x0, fragment.rect.y(), x1 - x0, fragment.rect.height() };
}

std::vector<LayoutManager::LineFragment> LayoutManager::lineFragmentsForTextContainer(const TextContainer& container)
{
    std::vector<LineFragment> fragments;
    for (const LineToMeasure& measured : linesToMeasureForTextContainer(container)) {
        fragments.push_back(measured.fragment);
        fragments.back().usedRect = usedRect(*m_engine, measured);
    }
    return fragments;
}

std::vector<LayoutManager::CellBox> LayoutManager::cellBoxesForTextContainer(const TextContainer& container)
{
    std::vector<CellBox> boxes;
    auto index = indexOfTextContainer(container);
    if (!index)
        return boxes;
    ensureLayout(*index);
    for (const PlacedBox& box : m_paginator->container(*index).boxes) {
        if (box.cell) {
            boxes.push_back({ box.rect, *box.cell });
            boxes.back().cell.parent = nullptr; // the copy outlives no storage
        }
    }
    return boxes;
}

std::vector<Rect> LayoutManager::rectsForRangeInLayout(Range range, std::size_t containerIndex)
{
    std::vector<Rect> rects;
    if (range.length == 0)
        return rects;
    for (const PlacedLine& line : m_paginator->container(containerIndex).lines) {
        if (line.isDecoration || !overlaps(range, line.start, line.end))
            continue;
        ParagraphInput input = m_paginator->input(line.paragraph);
        auto ranges = m_engine->xRangesForRange(input, line.line, range);
        float right = 0;
        bool any = false;
        for (auto [x0, x1] : ranges) {
            if (x1 > x0)
                rects.push_back({ line.x + x0, line.top, x1 - x0, line.height });
            right = any ? std::max(right, x1) : x1;
            any = true;
        }
        // A selection that goes on past the line's end (its line break, or the next line) fills the rest
        // of the line's column.
        if (range.end() > line.end || (range.end() == line.end && endsWithBreak(storage().string(), line.end))) {
            if (!any) {
                auto whole = m_engine->xRangesForRange(input, line.line, { line.start, line.end - line.start });
                for (auto [x0, x1] : whole)
                    right = std::max(right, x1);
            }
            if (input.columnWidth > right)
                rects.push_back({ line.x + right, line.top, input.columnWidth - right, line.height });
        }
    }
    return rects;
}

std::vector<Rect> LayoutManager::rectsForCharacterRange(Range range, const TextContainer& container)
{
    auto index = indexOfTextContainer(container);
    if (!index)
        return {};
    ensureLayout(*index);
    return rectsForRangeInLayout(range, *index);
}

std::size_t LayoutManager::characterIndexForPoint(Point point, const TextContainer& container)
{
    auto index = indexOfTextContainer(container);
    if (!index)
        return storage().length();
    ensureLayout(*index);
    const ContainerLayout& layout = m_paginator->container(*index);
    const PlacedLine* best = nullptr;
    float bestVertical = 0, bestHorizontal = 0;
    for (const PlacedLine& line : layout.lines) {
        if (line.isDecoration)
            continue;
        float width = m_paginator->input(line.paragraph).columnWidth;
        float vertical = point.y < line.top ? line.top - point.y : std::max(0.0f, point.y - (line.top + line.height));
        float horizontal = point.x < line.x ? line.x - point.x : std::max(0.0f, point.x - (line.x + width));
        if (!best || vertical < bestVertical || (vertical == bestVertical && horizontal < bestHorizontal)) {
            best = &line;
            bestVertical = vertical;
            bestHorizontal = horizontal;
        }
    }
    if (!best)
        return layout.glyphRange.location;
    return m_engine->characterIndexForX(m_paginator->input(best->paragraph), best->line, point.x - best->x);
}

void LayoutManager::setSelectedRange(Range range)
{
    std::size_t length = storage().length();
    range.location = std::min(range.location, length);
    range.length = std::min(range.length, length - range.location);
    m_selectedRange = range;
}

Color LayoutManager::selectionColor() { return Color::calibratedRGB(0.70f, 0.84f, 1.0f); }

std::shared_ptr<const PageDisplayList> LayoutManager::recordContainer(std::size_t index)
{
    const ContainerLayout& layout = m_paginator->container(index);
    float width = m_containers[index]->containerSize().width;
    PageDisplayList::Builder builder;
    for (const PlacedFloat& placed : layout.floats)
        builder.addFloat(placed.rect, placed.attachment);
    for (const PlacedBox& box : layout.boxes) {
        if (box.cell)
            builder.addCell(box.rect, *box.cell);
    }
    for (const Rect& rule : layout.noteSeparators)
        builder.addNoteRule(rule);
    for (const PlacedLine& line : layout.lines) {
        const ParagraphInput& input = m_paginator->input(line.paragraph);
        PageDisplayList::Line entry;
        entry.range = { line.start, line.end - line.start };
        entry.box = { line.x, line.top, input.columnWidth, line.height };
        entry.baseline = line.baseline;
        entry.isDecoration = line.isDecoration;
        entry.isNote = line.isNote;
        // Glyphs overhang their line box (italics, accents, tall attachments are inside it): be generous.
        float slack = line.height;
        entry.bounds = { -slack, line.top - slack, width + 2 * slack, line.height + 2 * slack };
        builder.beginLine(entry);
        m_engine->recordLine(builder, input, line.line, { line.x, line.baseline });
    }
    return builder.finish();
}

std::shared_ptr<const PageDisplayList> LayoutManager::displayListForTextContainer(const TextContainer& container)
{
    auto index = indexOfTextContainer(container);
    if (!index)
        return nullptr;
    ensureLayout(*index);
    ++m_displayListUses;
    for (KeptDisplayList& kept : m_displayLists) {
        if (kept.container == *index) {
            kept.lastUse = m_displayListUses;
            return kept.list;
        }
    }
    if (m_displayLists.size() >= kDisplayListCapacity) {
        auto oldest = std::min_element(m_displayLists.begin(), m_displayLists.end(),
            [](const KeptDisplayList& a, const KeptDisplayList& b) { return a.lastUse < b.lastUse; });
        m_displayLists.erase(oldest);
    }
    m_displayLists.push_back({ *index, recordContainer(*index), m_displayListUses });
    return m_displayLists.back().list;
}

void LayoutManager::forgetDisplayListForTextContainer(const TextContainer& container)
{
    auto index = indexOfTextContainer(container);
    std::erase_if(m_displayLists, [&](const KeptDisplayList& kept) { return index && kept.container == *index; });
}

PageDisplayList::PictureDrawer LayoutManager::pictureDrawer()
{
    return [this](cairo_t* cr, const std::shared_ptr<const Attachment>& attachment, const Rect& rect) {
        m_engine->drawAttachment(cr, attachment, rect);
    };
}

void LayoutManager::drawGlyphsForContainer(cairo_t* cr, const TextContainer& container, Point origin, Rect dirty)
{
    auto list = displayListForTextContainer(container);
    if (!list)
        return;
    list->drawBackground(cr, origin, dirty);
    if (m_selectedRange.length) {
        Rect area = dirty.offsetBy(-origin.x, -origin.y);
        cairo_save(cr);
        cairo_translate(cr, origin.x, origin.y);
        setSource(cr, selectionColor());
        for (const Rect& rect : rectsForRangeInLayout(m_selectedRange, *indexOfTextContainer(container))) {
            if (rect.intersects(area))
                cairo_rectangle(cr, rect.x(), rect.y(), rect.width(), rect.height());
        }
        cairo_fill(cr);
        cairo_restore(cr);
    }
    list->drawText(cr, origin, dirty, pictureDrawer());
}

std::vector<LayoutManager::FloatBox> LayoutManager::floatBoxesForTextContainer(const TextContainer& container)
{
    std::vector<FloatBox> boxes;
    auto index = indexOfTextContainer(container);
    if (!index)
        return boxes;
    ensureLayout(*index);
    for (const PlacedFloat& placed : m_paginator->container(*index).floats)
        boxes.push_back({ placed.rect, placed.anchor });
    return boxes;
}

std::vector<ColumnBand> LayoutManager::columnBandsForTextContainer(const TextContainer& container)
{
    auto index = indexOfTextContainer(container);
    if (!index)
        return {};
    ensureLayout(*index);
    return m_paginator->container(*index).bands;
}

void LayoutManager::drawFloatsForContainer(cairo_t* cr, const TextContainer& container, Point origin, Rect dirty)
{
    if (auto list = displayListForTextContainer(container))
        list->drawFloats(cr, origin, dirty, pictureDrawer());
}

} // namespace kit
