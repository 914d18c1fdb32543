#include "kit/text/TextView.h"

#include "kit/host/Host.h"
#include "kit/text/FindPasteboard.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"
#include "kit/view/ClipView.h"
#include "kit/view/RedrawingSetter.h"
#include "kit/view/ScrollView.h"

#include <algorithm>
#include <cmath>
#include <glib.h>

namespace kit {

namespace {

// Text containers of a text view made from a frame alone grow without limit downward.
constexpr float kUnboundedHeight = 1e7f;

// One finder for the process: the folded copy of the text searched last is kept for the next search.
TextFinder& finder()
{
    static TextFinder* shared = new TextFinder;
    return *shared;
}

bool intersects(Range a, Range b) { return a.length && b.length && a.location < b.end() && b.location < a.end(); }

bool isWordCharacter(gunichar c) { return g_unichar_isalnum(c) || g_unichar_ismark(c) || c == '_'; }

} // namespace

TextView::TextView(Rect frame)
    : View(frame)
    , m_ownedLayoutManager(std::make_unique<LayoutManager>())
{
    m_ownedLayoutManager->replaceTextStorage(std::make_shared<TextStorage>());
    auto container = std::make_unique<TextContainer>(Size { frame.width(), kUnboundedHeight });
    TextContainer* shown = container.get();
    m_ownedLayoutManager->addTextContainer(std::move(container));
    setTextContainer(shown);
}

TextView::TextView(Rect frame, TextContainer* container)
    : View(frame)
{
    setTextContainer(container);
}

TextView::~TextView() { setTextContainer(nullptr); }

void TextView::setTextContainer(TextContainer* container)
{
    if (container == m_textContainer)
        return;
    if (m_textContainer && m_textContainer->textView() == this)
        m_textContainer->setTextView(nullptr);
    m_textContainer = container;
    if (m_textContainer) {
        if (TextView* previous = m_textContainer->textView(); previous && previous != this)
            previous->m_textContainer = nullptr;
        m_textContainer->setTextView(this);
    }
    setNeedsDisplay(true);
}

void TextView::setFrame(Rect frame)
{
    View::setFrame(frame);
    containerFollowsWidth();
}

void TextView::setFrameSize(Size size)
{
    View::setFrameSize(size);
    containerFollowsWidth();
}

void TextView::containerFollowsWidth()
{
    if (m_ownedLayoutManager && m_textContainer)
        m_textContainer->setContainerSize({ bounds().width(), kUnboundedHeight });
}

LayoutManager* TextView::layoutManager() const { return m_textContainer ? m_textContainer->layoutManager() : nullptr; }

std::shared_ptr<TextStorage> TextView::textStorage() const
{
    LayoutManager* manager = layoutManager();
    return manager ? manager->textStorage() : nullptr;
}

void TextView::setDrawsBackground(bool draws)
{
    setAndRedraw(*this, m_drawsBackground, draws);
}

void TextView::setBackgroundColor(Color color)
{
    setAndRedraw(*this, m_backgroundColor, color);
}

bool TextView::isOpaque() const { return m_drawsBackground && m_backgroundColor.alpha() >= 1; }

Range TextView::selectedRange() const
{
    LayoutManager* manager = layoutManager();
    return manager ? manager->selectedRange() : Range {};
}

void TextView::setSelectedRange(Range range)
{
    LayoutManager* manager = layoutManager();
    if (!manager)
        return;
    Range old = manager->selectedRange();
    manager->setSelectedRange(range);
    redisplaySelection(old, manager->selectedRange());
}

void TextView::redisplaySelection(Range oldRange, Range newRange)
{
    if (oldRange == newRange)
        return;
    LayoutManager* manager = layoutManager();
    for (const auto& container : manager->textContainers()) {
        TextView* view = container->textView();
        if (!view)
            continue;
        Range shown = manager->glyphRangeForTextContainer(*container);
        if (intersects(shown, oldRange) || intersects(shown, newRange))
            view->setNeedsDisplay(true);
    }
}

void TextView::scrollRangeToVisible(Range range)
{
    LayoutManager* manager = layoutManager();
    if (!manager || !m_textContainer)
        return;
    std::size_t length = manager->textStorage() ? manager->textStorage()->length() : 0;
    if (range.length == 0 && range.location < length)
        range.length = 1;
    Rect target;
    for (const Rect& rect : manager->rectsForCharacterRange(range, *m_textContainer))
        target = unionRect(target, rect);
    if (target.isEmpty())
        return;
    scrollRectToVisible(target.offsetBy(bounds().x(), bounds().y()));
}

void TextView::scrollRangeToMiddle(Range range)
{
    LayoutManager* manager = layoutManager();
    ScrollView* scrollView = enclosingScrollView();
    ClipView* clip = scrollView ? scrollView->contentView() : nullptr;
    if (!manager || !m_textContainer || !clip)
        return;
    Rect target;
    for (const Rect& rect : manager->rectsForCharacterRange(range, *m_textContainer))
        target = unionRect(target, rect);
    if (target.isEmpty())
        return;
    // The match's middle at the view's middle, so the lines around it show; sideways only when it is out
    // of sight. The clip view keeps the result inside the document.
    Rect inClip = convertRect(target.offsetBy(bounds().x(), bounds().y()), clip);
    Rect visible = clip->bounds();
    Point origin = visible.origin;
    origin.y = std::round(inClip.midY() - visible.height() / 2);
    if (inClip.minX() < visible.minX() || inClip.maxX() > visible.maxX())
        origin.x = std::round(inClip.midX() - visible.width() / 2);
    clip->scrollToPoint(origin);
}

void TextView::replaceCharactersInRangeWithRTFD(Range range, std::span<const std::uint8_t> rtfd)
{
    LayoutManager* manager = layoutManager();
    if (!manager)
        return;
    std::shared_ptr<TextStorage> text = TextStorage::fromRtf(rtfd);
    if (!text)
        return;
    if (std::shared_ptr<TextStorage> storage = manager->textStorage())
        storage->replaceCharacters(range, *text);
    else
        manager->replaceTextStorage(text);
    setNeedsDisplay(true);
}

std::string TextView::RTFDFromRange(Range range) const
{
    std::shared_ptr<TextStorage> storage = textStorage();
    return storage ? storage->rtfFromRange(range) : std::string();
}

std::string TextView::plainTextForRange(Range range) const
{
    std::shared_ptr<TextStorage> storage = textStorage();
    if (!storage)
        return {};
    const std::string& text = storage->string();
    std::size_t end = std::min(range.end(), text.size());
    std::string plain;
    for (std::size_t i = std::min(range.location, end); i < end;) {
        char c = text[i];
        if (c == '\n') {
            // The break ending a cell that has a neighbour on its right becomes a tab.
            const TableCell* cell = storage->attributesAt(i).tableCell.get();
            const TableCell* next = i + 1 < text.size() ? storage->attributesAt(i + 1).tableCell.get() : nullptr;
            bool cellSeparator = cell && next && next->tableId == cell->tableId && next->row == cell->row
                && next->column != cell->column;
            plain += cellSeparator ? '\t' : '\n';
            ++i;
        } else if (c == kPageBreak) {
            plain += '\n';
            ++i;
        } else if (!text.compare(i, 3, kLineSeparator)) {
            plain += '\n';
            i += 3;
        } else if (!text.compare(i, 3, kAttachmentCharacter)) {
            i += 3;
        } else {
            plain += c;
            ++i;
        }
    }
    return plain;
}

void TextView::copy(Responder*)
{
    Range selection = selectedRange();
    if (selection.length)
        Host::current().setClipboardText(plainTextForRange(selection));
}

void TextView::selectAll(Responder*)
{
    if (!m_selectable)
        return;
    std::shared_ptr<TextStorage> storage = textStorage();
    setSelectedRange({ 0, storage ? storage->length() : 0 });
}

void TextView::performFindPanelAction(Responder* sender)
{
    LayoutManager* manager = layoutManager();
    switch (static_cast<FindPanelAction>(sender ? sender->tag() : 0)) {
    case FindPanelAction::ShowFindPanel:
        if (Window* shownIn = window())
            Host::current().showFindBar(*shownIn);
        return;
    case FindPanelAction::Next:
    case FindPanelAction::Previous: {
        if (!manager)
            return;
        auto direction = sender->tag() == int(FindPanelAction::Next) ? TextFinder::Direction::Forward
                                                                     : TextFinder::Direction::Backward;
        auto match
            = finder().find(manager->textStorage(), FindPasteboard::string(), manager->selectedRange(), direction,
                FindPasteboard::options());
        if (!match) {
            Host::current().beep();
            return;
        }
        setSelectedRange(*match);
        // A match on a page still to come is scrolled to when its page arrives: the reader is not kept
        // waiting for the pages before it.
        manager->whenContainerForGlyphIsLaidOut(match->location, [found = *match](TextContainer* holder) {
            if (TextView* view = holder ? holder->textView() : nullptr)
                view->scrollRangeToMiddle(found);
        });
        return;
    }
    case FindPanelAction::SetFindString: {
        Range selection = selectedRange();
        std::shared_ptr<TextStorage> storage = textStorage();
        if (selection.length && storage)
            FindPasteboard::setString(storage->string().substr(selection.location, selection.length));
        return;
    }
    }
}

bool TextView::dispatchAction(std::string_view selector, Responder* sender, bool perform)
{
    // A text view answers these three and nothing else, so every other action goes on up the chain.
    static const ActionTable<TextView> actions {
        { "copy:", &TextView::copy },
        { "selectAll:", &TextView::selectAll },
    };
    if (selector == "performFindPanelAction:") {
        if (!m_usesFindPanel)
            return false;
        if (perform)
            performFindPanelAction(sender);
        return true;
    }
    return actions.dispatch(*this, selector, sender, perform);
}

void TextView::drawRect(cairo_t* context, Rect dirty)
{
    if (m_drawsBackground) {
        auto rgba = m_backgroundColor.usingCalibratedRGB().value_or(Color::whiteColor()).rgba();
        cairo_set_source_rgba(context, rgba[0], rgba[1], rgba[2], rgba[3]);
        cairo_rectangle(context, dirty.x(), dirty.y(), dirty.width(), dirty.height());
        cairo_fill(context);
    }
    if (LayoutManager* manager = layoutManager()) {
        // On a page, the page draws the floats, which may stand in its margins.
        if (m_textContainer->pageRect().isEmpty())
            manager->drawFloatsForContainer(context, *m_textContainer, bounds().origin, dirty);
        manager->drawGlyphsForContainer(context, *m_textContainer, bounds().origin, dirty);
    }
}

std::size_t TextView::characterIndexAt(Point point)
{
    LayoutManager* manager = layoutManager();
    if (!bounds().contains(point) && superview()) {
        // Dragging off this page onto another page of the same text selects on that page.
        Point inSuperview = convertPoint(point, superview());
        for (const auto& sibling : superview()->subviews()) {
            auto* other = dynamic_cast<TextView*>(sibling.get());
            if (!other || other == this || other->layoutManager() != manager || !other->textContainer())
                continue;
            if (!other->frame().contains(inSuperview))
                continue;
            Point inOther = other->convertPointFromView(inSuperview, superview());
            return manager->characterIndexForPoint(
                { inOther.x - other->bounds().x(), inOther.y - other->bounds().y() }, *other->textContainer());
        }
    }
    return manager->characterIndexForPoint({ point.x - bounds().x(), point.y - bounds().y() }, *m_textContainer);
}

Range TextView::wordRangeAt(std::size_t index) const
{
    std::shared_ptr<TextStorage> storage = textStorage();
    const std::string& text = storage->string();
    if (index >= text.size())
        return { text.size(), 0 };
    const char* base = text.data();
    const char* at = g_utf8_find_prev_char(base, base + index + 1);
    if (!at)
        at = base;
    gunichar c = g_utf8_get_char(at);
    auto same = [&](gunichar other) {
        if (isWordCharacter(c))
            return isWordCharacter(other);
        return c == ' ' && other == ' ';
    };
    const char* start = at;
    while (start > base) {
        const char* previous = g_utf8_find_prev_char(base, start);
        if (!previous || !same(g_utf8_get_char(previous)))
            break;
        start = previous;
    }
    const char* end = g_utf8_next_char(at);
    while (end < base + text.size() && same(g_utf8_get_char(end)))
        end = g_utf8_next_char(end);
    return { std::size_t(start - base), std::size_t(end - start) };
}

Range TextView::paragraphRangeAt(std::size_t index) const
{
    std::shared_ptr<TextStorage> storage = textStorage();
    const std::string& text = storage->string();
    index = std::min(index, text.size());
    std::size_t start = index ? text.find_last_of("\n\f", index - 1) : std::string::npos;
    start = start == std::string::npos ? 0 : start + 1;
    std::size_t end = text.find_first_of("\n\f", index);
    end = end == std::string::npos ? text.size() : end + 1;
    return { start, end - start };
}

Range TextView::selectionForDrag(std::size_t index) const
{
    Range at { index, 0 };
    if (m_clickCount == 2)
        at = wordRangeAt(index);
    else if (m_clickCount >= 3)
        at = paragraphRangeAt(index);
    std::size_t start = std::min(m_anchor.location, at.location);
    std::size_t end = std::max(m_anchor.end(), at.end());
    return { start, end - start };
}

void TextView::mouseDown(const Event& event)
{
    if (!m_selectable || !layoutManager()) {
        View::mouseDown(event);
        return;
    }
    std::size_t index = characterIndexAt(convertPointFromView(event.locationInWindow, nullptr));
    m_clickCount = std::max(1, event.clickCount);
    if (event.hasModifier(Event::Shift) && selectedRange().length) {
        m_anchor = selectedRange();
        m_clickCount = 1;
        setSelectedRange(selectionForDrag(index));
    } else {
        m_anchor = m_clickCount == 1 ? Range { index, 0 }
                                     : (m_clickCount == 2 ? wordRangeAt(index) : paragraphRangeAt(index));
        setSelectedRange(m_anchor);
    }
    m_tracking = true;
}

void TextView::mouseDragged(const Event& event)
{
    if (!m_tracking) {
        View::mouseDragged(event);
        return;
    }
    Point point = convertPointFromView(event.locationInWindow, nullptr);
    setSelectedRange(selectionForDrag(characterIndexAt(point)));
    scrollRectToVisible({ point.x, point.y, 1, 1 });
}

void TextView::mouseUp(const Event& event)
{
    if (!m_tracking) {
        View::mouseUp(event);
        return;
    }
    m_tracking = false;
}

} // namespace kit
