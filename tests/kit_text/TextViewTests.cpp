#include "LayoutTestSupport.h"
#include "kit/host/HeadlessHost.h"
#include "kit/text/FindPasteboard.h"
#include "kit/text/TextView.h"
#include "kit/view/ClipView.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

using namespace layouttest;
using namespace kit;

namespace {

class FlippedView : public View {
public:
    using View::View;
    bool isFlipped() const override { return true; }
};

// The sender of find actions: its tag says which.
class FindSender : public Responder {
public:
    explicit FindSender(FindPanelAction action)
        : m_tag(int(action))
    {
    }
    int tag() const override { return m_tag; }

private:
    int m_tag;
};

// Pages as a page view makes them: one container and one text view per page, stacked 16 points apart in a
// flipped view inside a scroll view, all sharing one layout manager.
struct Document {
    static constexpr Size kPage { 300, 200 };
    HeadlessHost host;
    std::unique_ptr<LayoutManager> layoutManager = std::make_unique<LayoutManager>();
    std::shared_ptr<TextStorage> storage;
    std::unique_ptr<Window> window;
    ScrollView* scrollView = nullptr;
    FlippedView* stack = nullptr;
    std::vector<TextView*> views;

    explicit Document(std::shared_ptr<TextStorage> text)
        : storage(std::move(text))
    {
        Host::setCurrent(&host);
        host.setEchoesToStandardError(false);
        window = std::make_unique<Window>(Size { 400, 300 });
        auto scroll = std::make_unique<ScrollView>(Rect { 0, 0, 400, 300 });
        scrollView = scroll.get();
        window->contentView()->addSubview(std::move(scroll));
        auto pages = std::make_unique<FlippedView>(Rect { 0, 0, 332, 1000 });
        stack = pages.get();
        scrollView->setDocumentView(std::move(pages));
        layoutManager->replaceTextStorage(storage);
        do {
            float y = 16 + float(views.size()) * (kPage.height + 16);
            auto container = std::make_unique<TextContainer>(kPage);
            auto view = std::make_unique<TextView>(Rect { 16, y, kPage.width, kPage.height }, container.get());
            view->setEditable(false);
            view->setUsesFindPanel(true);
            layoutManager->addTextContainer(std::move(container));
            views.push_back(view.get());
            stack->addSubview(std::move(view));
        } while (!layoutManager->textEndsInOrBeforeTextContainer(*layoutManager->textContainers().back())
            && views.size() < 100);
        stack->setFrameSize({ 332, 16 + float(views.size()) * (kPage.height + 16) });
    }
    ~Document()
    {
        window.reset();
        Host::setCurrent(nullptr);
    }

    void perform(FindPanelAction action)
    {
        FindSender sender(action);
        views.front()->performFindPanelAction(&sender);
    }
    // A point of a view in the window's base coordinates, for events.
    Point inWindow(const TextView& view, Point point) const { return view.convertPoint(point, nullptr); }
};

std::shared_ptr<TextStorage> findText()
{
    // Occurrences of "alpha" in several cases, the last one pages away from the first.
    std::string text = "Alpha beta gamma. ";
    for (int i = 0; i < 60; ++i)
        text += "filler words without the needle here\n";
    text += "the last ALPHA is far down.\n";
    return std::make_shared<TextStorage>(text, attributes());
}

} // namespace

TEST(TextView, AnswersOnlyCopySelectAllAndFindPanelActions)
{
    Document document(std::make_shared<TextStorage>("Some text", attributes()));
    TextView& view = *document.views.front();
    const struct {
        const char* selector;
        bool answered;
    } cases[] = {
        { "copy:", true },
        { "selectAll:", true },
        { "performFindPanelAction:", true },
        { "paste:", false },
        { "cut:", false },
        { "zoomIn:", false },
        { "print:", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.selector);
        EXPECT_EQ(view.respondsToAction(c.selector), c.answered);
    }
    view.setUsesFindPanel(false);
    EXPECT_FALSE(view.respondsToAction("performFindPanelAction:")) << "without the find panel the action goes on up";
}

TEST(TextView, SelectionIsSharedByEveryViewOfOneLayoutManager)
{
    Document document(findText());
    ASSERT_GE(document.views.size(), 3u);
    Range farAway = document.layoutManager->glyphRangeForTextContainer(*document.layoutManager->textContainers()[2]);
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 300, 200);
    cairo_t* cr = cairo_create(surface);
    for (TextView* view : document.views)
        view->displayRectInContext(view->bounds(), cr); // drawing clears each view's need to be drawn
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    ASSERT_FALSE(document.views[1]->needsDisplay());
    document.views[0]->setSelectedRange({ farAway.location, 5 });
    for (TextView* view : document.views)
        EXPECT_EQ(view->selectedRange(), (Range { farAway.location, 5 }));
    EXPECT_TRUE(document.views[2]->needsDisplay()) << "the page showing the selection is redrawn";
    EXPECT_FALSE(document.views[1]->needsDisplay()) << "a page the selection never touched is not";

    document.views[1]->selectAll(nullptr);
    EXPECT_EQ(document.views[2]->selectedRange(), (Range { 0, document.storage->length() }));
    document.views[0]->setSelectedRange({ document.storage->length() - 2, 50 });
    EXPECT_EQ(document.views[0]->selectedRange(), (Range { document.storage->length() - 2, 2 }))
        << "clamped to the text";
}

TEST(TextView, FindNextAndPreviousWrapAroundCaseInsensitively)
{
    Document document(findText());
    const std::string& text = document.storage->string();
    std::size_t first = 0, last = text.find("ALPHA");
    FindPasteboard::setString("aLpHa");
    const testsupport::Case<FindPanelAction, std::size_t> steps[] = {
        { FindPanelAction::Next, first, "from an empty selection at 0: the first occurrence" },
        { FindPanelAction::Next, last, "next: after the selection, whatever its case" },
        { FindPanelAction::Next, first, "past the end: wraps to the start" },
        { FindPanelAction::Previous, last, "previous before the first: wraps to the end" },
        { FindPanelAction::Previous, first, "previous again" },
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.why);
        document.perform(step.input);
        EXPECT_EQ(document.views[0]->selectedRange(), (Range { step.expected, 5 }));
    }
    EXPECT_EQ(document.host.beepCount(), 0);

    FindPasteboard::setString("nowhere to be found");
    Range before = document.views[0]->selectedRange();
    document.perform(FindPanelAction::Next);
    EXPECT_EQ(document.host.beepCount(), 1) << "nothing matches: a beep";
    EXPECT_EQ(document.views[0]->selectedRange(), before) << "and the selection stays";
    FindPasteboard::setString("");
    document.perform(FindPanelAction::Previous);
    EXPECT_EQ(document.host.beepCount(), 2) << "an empty find string matches nothing";
}

TEST(TextView, FoundMatchIsScrolledIntoViewOnItsPage)
{
    Document document(findText());
    FindPasteboard::setString("alpha");
    document.views[0]->setSelectedRange({ 1, 0 });
    ClipView* clip = document.scrollView->contentView();
    ASSERT_EQ(clip->bounds().y(), 0);
    document.perform(FindPanelAction::Next);
    Range match = document.views[0]->selectedRange();
    ASSERT_EQ(match.location, document.storage->string().find("ALPHA"));
    TextContainer* holder = document.layoutManager->textContainerForGlyphAtIndex(match.location);
    ASSERT_NE(holder, nullptr);
    TextView* page = holder->textView();
    ASSERT_NE(page, document.views[0]);
    auto rects = document.layoutManager->rectsForCharacterRange(match, *holder);
    ASSERT_FALSE(rects.empty());
    Rect shown = page->convertRect(rects.front(), clip);
    EXPECT_GE(shown.minY(), clip->bounds().minY() - 0.5f);
    EXPECT_LE(shown.maxY(), clip->bounds().maxY() + 0.5f) << "the match lies inside the visible area";
    EXPECT_GT(clip->bounds().y(), 0) << "the clip view scrolled";
}

TEST(TextView, SetFindStringTakesTheSelectionUnlessItIsEmpty)
{
    Document document(std::make_shared<TextStorage>("one two three", attributes()));
    FindPasteboard::setString("before");
    document.views[0]->setSelectedRange({ 4, 0 });
    document.perform(FindPanelAction::SetFindString);
    EXPECT_EQ(FindPasteboard::string(), "before") << "an empty selection leaves the find string";
    document.views[0]->setSelectedRange({ 4, 3 });
    document.perform(FindPanelAction::SetFindString);
    EXPECT_EQ(FindPasteboard::string(), "two");
    EXPECT_EQ(document.host.findString(), "two") << "the host's find bar shows the same string";
}

TEST(TextView, ShowFindPanelAsksTheHostForItsFindBar)
{
    Document document(std::make_shared<TextStorage>("text", attributes()));
    document.perform(FindPanelAction::ShowFindPanel);
    EXPECT_EQ(document.host.findBarCount(), 1);
}

TEST(TextView, CopyPutsThePlainSelectionOnTheClipboard)
{
    TableCell cell;
    cell.tableId = 1;
    auto storage = std::make_shared<TextStorage>("Before\n", attributes());
    for (int column = 0; column < 3; ++column) {
        cell.column = column;
        Attributes a = attributes();
        a.tableCell = std::make_shared<const TableCell>(cell);
        storage->append(std::string("cell") + char('A' + column) + "\n", a);
    }
    storage->append("line\xE2\x80\xA8"
                    "break\fpage \xEF\xBF\xBC"
                    "end",
        attributes());
    Document document(storage);
    const testsupport::Case<Range, std::string> cases[] = {
        { { 0, 7 }, "Before\n", "plain text as it stands" },
        { { 7, 18 }, "cellA\tcellB\tcellC\n", "cells of a row joined by tabs, the row ended by a newline" },
        { { 25, storage->length() - 25 }, "line\nbreak\npage end",
            "line and page breaks become newlines, attachments go" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        document.views[0]->setSelectedRange(c.input);
        EXPECT_TRUE(document.window->sendAction("copy:", nullptr, document.views[0]));
        EXPECT_EQ(document.host.clipboardText(), c.expected);
    }
    document.host.setClipboardText("kept");
    document.views[0]->setSelectedRange({ 3, 0 });
    document.views[0]->copy(nullptr);
    EXPECT_EQ(document.host.clipboardText(), "kept") << "nothing selected: the clipboard is left alone";
}

TEST(TextView, MouseSelectsByDragAndWordsByDoubleClick)
{
    Document document(std::make_shared<TextStorage>("Hello wonderful world\nsecond line", attributes()));
    TextView& view = *document.views[0];
    auto fragments = document.layoutManager->lineFragmentsForTextContainer(*view.textContainer());
    ASSERT_GE(fragments.size(), 2u);
    float midFirst = fragments[0].rect.midY(), midSecond = fragments[1].rect.midY();
    auto send = [&](Event::Type type, Point point, int clicks = 1) {
        Event event;
        event.type = type;
        event.clickCount = clicks;
        event.locationInWindow = document.inWindow(view, point);
        document.window->sendEvent(event);
    };
    send(Event::Type::MouseDown, { 0.5f, midFirst });
    send(Event::Type::MouseDragged, { 299, midFirst });
    EXPECT_EQ(view.selectedRange(), (Range { 0, 21 })) << "to the end of the first line's text";
    send(Event::Type::MouseDragged, { 1, midSecond });
    EXPECT_EQ(view.selectedRange(), (Range { 0, 22 })) << "onto the start of the next line";
    send(Event::Type::MouseUp, { 1, midSecond });

    float xInWonderful = 0;
    for (const Rect& r : document.layoutManager->rectsForCharacterRange({ 8, 1 }, *view.textContainer()))
        xInWonderful = r.midX();
    send(Event::Type::MouseDown, { xInWonderful, midFirst }, 2);
    send(Event::Type::MouseUp, { xInWonderful, midFirst }, 2);
    EXPECT_EQ(view.selectedRange(), (Range { 6, 9 })) << "the word under a double click";
    send(Event::Type::MouseDown, { xInWonderful, midFirst }, 3);
    EXPECT_EQ(view.selectedRange(), (Range { 0, 22 })) << "a triple click takes the paragraph";
}

TEST(TextView, DragOntoTheNextPageExtendsTheSelectionThere)
{
    Document document(findText());
    ASSERT_GE(document.views.size(), 2u);
    TextView& first = *document.views[0];
    TextView& second = *document.views[1];
    Range secondRange = document.layoutManager->glyphRangeForTextContainer(*second.textContainer());
    Event down;
    down.type = Event::Type::MouseDown;
    down.locationInWindow = document.inWindow(first, { 0.5f, 5 });
    document.window->sendEvent(down);
    Event drag = down;
    drag.type = Event::Type::MouseDragged;
    drag.locationInWindow = document.inWindow(second, { 0.5f, 5 });
    document.window->sendEvent(drag);
    EXPECT_EQ(first.selectedRange(), (Range { 0, secondRange.location })) << "up to the first character of page 2";
}

TEST(TextView, ViewsAndContainersSurviveEitherGoingFirst)
{
    auto storage = std::make_shared<TextStorage>("text", attributes());
    auto manager = std::make_unique<LayoutManager>();
    manager->replaceTextStorage(storage);
    auto container = std::make_unique<TextContainer>(Size { 100, 100 });
    TextContainer* shown = container.get();
    manager->addTextContainer(std::move(container));
    auto view = std::make_unique<TextView>(Rect { 0, 0, 100, 100 }, shown);
    EXPECT_EQ(manager->firstTextView(), view.get());
    manager.reset();
    EXPECT_EQ(view->textContainer(), nullptr) << "the layout manager went first: the view lets go of its container";
    EXPECT_EQ(view->selectedRange(), (Range {}));
    view.reset();

    auto own = std::make_unique<TextView>(Rect { 0, 0, 200, 50 });
    ASSERT_NE(own->layoutManager(), nullptr);
    own->textStorage()->append("own text", attributes());
    EXPECT_EQ(own->layoutManager()->glyphRangeForTextContainer(*own->textContainer()), (Range { 0, 8 }));
    own->setFrameSize({ 120, 50 });
    EXPECT_EQ(own->textContainer()->containerSize().width, 120) << "an own container follows the view's width";
}
