#include "kit/foundation/RunLoop.h"
#include "kit/host/HeadlessHost.h"
#include "kit/print/PrintInfo.h"
#include "kit/text/FindPasteboard.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextView.h"
#include "kit/view/ClipView.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/NRVLectorinSBCenteringClipView.h"
#include "pageview/PageNavigation.h"
#include "pageview/ScaleUtilities.h"
#include "pageview/ZoomFactors.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <optional>

using kit::Rect;

namespace {

// A page view inside a scroll view inside a window, installed as the nib does it.
struct PageViewFixture {
    kit::HeadlessHost host;
    std::unique_ptr<kit::Window> window;
    NRVLectorinMultiPageView* pageView = nullptr;
    kit::ScrollView* scrollView = nullptr;

    explicit PageViewFixture(kit::Size size = { 801, 600 }, std::optional<kit::DisplayInfo> display = std::nullopt)
    {
        if (display)
            host.setDisplay(*display);
        kit::Host::setCurrent(&host);
        window = std::make_unique<kit::Window>(size);
        scrollView = &window->contentView()->add<kit::ScrollView>(Rect { { 0, 0 }, size });
        scrollView->setBackgroundColor(kit::Color::calibratedRGB(0.38f, 0.45f, 0.56f));
        auto view = std::make_unique<NRVLectorinMultiPageView>(Rect { 0, 0, 100, 100 });
        pageView = view.get();
        scrollView->setDocumentView(std::move(view));
        pageView->awakeFromNib();
    }
    ~PageViewFixture()
    {
        window.reset();
        kit::Host::setCurrent(nullptr);
    }
};

std::shared_ptr<kit::TextStorage> paragraphs(int count,
    const std::string& text = "A paragraph of ordinary words that wraps across a few lines of the page when repeated. ")
{
    auto storage = std::make_shared<kit::TextStorage>();
    for (int i = 0; i < count; ++i)
        storage->append(text + text + text + "\n", kit::Attributes {});
    return storage;
}

// Draws the window once, so that what asks for display after it shows in needsDisplay.
void displayWindow(kit::Window& window)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 801, 600);
    cairo_t* context = cairo_create(surface);
    window.display(context);
    cairo_destroy(context);
    cairo_surface_destroy(surface);
}

} // namespace

TEST(MultiPageView, GeometryFollowsPaperAndMargins)
{
    PageViewFixture f;
    EXPECT_EQ(f.pageView->numberOfPages(), 0u);
    EXPECT_EQ(f.pageView->firstTextView(), nullptr);
    EXPECT_EQ(f.pageView->documentSizeInPage(), (kit::Size { 468, 648 }));
    EXPECT_EQ(f.pageView->pageRectForPageNumber(0), (Rect { 16, 16, 612, 792 }));
    EXPECT_EQ(f.pageView->documentRectForPageNumber(0), (Rect { 88, 88, 468, 648 }));
    EXPECT_EQ(f.pageView->pageRectForPageNumber(1), (Rect { 16, 824, 612, 792 }));
    EXPECT_EQ(f.pageView->documentRectForPageNumber(1), (Rect { 88, 896, 468, 648 }));
    EXPECT_EQ(f.pageView->pageRectForPageNumber(2).origin.y, 1632) << "any index, also past the stack";
    f.pageView->updateFrame();
    EXPECT_EQ(f.pageView->frame().size, (kit::Size { 644, 32 })) << "no pages: only the separators";
    EXPECT_EQ(f.pageView->printInfo(), f.pageView->printInfo()) << "made once";
    EXPECT_EQ(f.pageView->printInfo()->leftMargin(), 72);
    EXPECT_EQ(f.pageView->printInfo()->topMargin(), 72) << "one inch whatever the shared settings hold";
}

TEST(MultiPageView, PaginatesEveryCharacterOnceAndInOrder)
{
    PageViewFixture f;
    auto storage = paragraphs(60);
    f.pageView->setTextStorage(storage);
    ASSERT_GE(f.pageView->numberOfPages(), 3u);
    kit::LayoutManager* layout = f.pageView->layoutManager();
    std::size_t expected = 0;
    for (const auto& container : layout->textContainers()) {
        kit::Range range = layout->glyphRangeForTextContainer(*container);
        EXPECT_LE(range.location, expected) << "no gap between pages";
        expected = std::max(expected, range.end());
    }
    EXPECT_EQ(expected, storage->length()) << "every character has a page";
    kit::Range last = layout->glyphRangeForTextContainer(*layout->textContainers().back());
    EXPECT_GT(last.length, 0u) << "no trailing blank page";
    EXPECT_EQ(f.pageView->subviews().size(), f.pageView->numberOfPages());
    float n = float(f.pageView->numberOfPages());
    EXPECT_EQ(f.pageView->frame().size, (kit::Size { 644, n * 792 + (n + 1) * 16 }));
}

TEST(MultiPageView, TableRowTallerThanAPageAtTheEndGetsAllItsPages)
{
    // A 120-line cell beside a one-line cell, as the last block: the short cell's bytes come last and lie
    // on the first page, which once ended pagination there.
    PageViewFixture f;
    auto storage = std::make_shared<kit::TextStorage>();
    storage->append("Before the table.\n", kit::Attributes {});
    kit::TableCell cell;
    cell.tableId = 1;
    cell.columnWidths = { 234, 234 };
    for (int column = 0; column < 2; ++column) {
        cell.column = column;
        kit::Attributes a;
        a.tableCell = std::make_shared<const kit::TableCell>(cell);
        for (int line = 0; line < (column == 0 ? 120 : 1); ++line)
            storage->append("line " + std::to_string(line) + "\n", a);
    }
    f.pageView->setTextStorage(storage);
    ASSERT_GE(f.pageView->numberOfPages(), 3u) << "120 lines of about 14 points need three 648-point pages";
    kit::LayoutManager* layout = f.pageView->layoutManager();
    EXPECT_EQ(layout->glyphRangeForTextContainer(*layout->textContainers()[0]).end(), storage->length());
    auto& last = *layout->textContainers().back();
    EXPECT_GT(layout->glyphRangeForTextContainer(last).length, 0u) << "no trailing blank page";
    EXPECT_NE(layout->textContainerForGlyphAtIndex(storage->string().rfind("line 119")), nullptr);
    EXPECT_EQ(layout->textContainerForGlyphAtIndex(storage->string().rfind("line 119")), &last);
}

TEST(MultiPageView, EmptyOrNullTextGivesOneBlankPage)
{
    for (auto storage : { std::shared_ptr<kit::TextStorage>(), std::make_shared<kit::TextStorage>() }) {
        PageViewFixture f;
        f.pageView->setTextStorage(storage);
        EXPECT_EQ(f.pageView->numberOfPages(), 1u);
        EXPECT_NE(f.pageView->firstTextView(), nullptr);
        EXPECT_EQ(f.pageView->frame().size, (kit::Size { 644, 824 }));
    }
}

TEST(MultiPageView, ThreePagesOfPageBreaksGiveTheDocumentedFrame)
{
    PageViewFixture f;
    auto storage = std::make_shared<kit::TextStorage>("One\fTwo\fThree");
    f.pageView->setTextStorage(storage);
    EXPECT_EQ(f.pageView->numberOfPages(), 3u);
    EXPECT_EQ(f.pageView->frame().size, (kit::Size { 644, 2440 }));
    // The stack is narrower than the clip view: centred, x = round((644 - clip width) / 2).
    kit::Rect clipBounds = f.scrollView->contentView()->bounds();
    EXPECT_EQ(clipBounds.origin.x, std::round((644 - clipBounds.width()) / 2.0f));
    f.pageView->setTextStorage(f.pageView->sharedTextStorage());
    EXPECT_EQ(f.pageView->numberOfPages(), 3u) << "the held storage again: pages rebuilt, storage kept";
    EXPECT_EQ(f.pageView->textStorage(), storage.get());
}

TEST(MultiPageView, AnExactlyFilledPageGetsNoBlankPageAfterIt)
{
    // Numbered lines past the first page tell where it ends; the texts below stop there, or one character
    // before or after.
    std::string lines;
    for (int i = 1; i <= 100; ++i)
        lines += "Line " + std::to_string(i) + "\n";
    PageViewFixture probe;
    probe.pageView->setTextStorage(std::make_shared<kit::TextStorage>(lines));
    ASSERT_GE(probe.pageView->numberOfPages(), 2u);
    kit::LayoutManager* probed = probe.pageView->layoutManager();
    std::size_t pageEnd = probed->glyphRangeForTextContainer(*probed->textContainers()[0]).end();
    ASSERT_EQ(lines[pageEnd - 1], '\n') << "the first page ends after a whole line";
    const struct {
        std::string text;
        std::uint32_t pages;
        const char* why;
    } cases[] = {
        { lines.substr(0, pageEnd - 1), 1, "the last line without its paragraph end" },
        { lines.substr(0, pageEnd), 1, "the first page's lines exactly: the glyph range ends at the length" },
        { lines.substr(0, pageEnd) + "x", 2, "one character more starts a second page" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        PageViewFixture f;
        f.pageView->setTextStorage(std::make_shared<kit::TextStorage>(c.text));
        EXPECT_EQ(f.pageView->numberOfPages(), c.pages);
        kit::LayoutManager* layout = f.pageView->layoutManager();
        kit::Range last = layout->glyphRangeForTextContainer(*layout->textContainers().back());
        EXPECT_EQ(last.end(), c.text.size()) << "the last page holds the end of the text";
        EXPECT_GT(last.length, 0u) << "and is not blank";
    }
}

TEST(MultiPageView, WithoutASuperviewTheFrameStaysAsItIs)
{
    kit::HeadlessHost host;
    kit::Host::setCurrent(&host);
    {
        auto owned = std::make_unique<NRVLectorinMultiPageView>(Rect { 5, 7, 100, 100 });
        NRVLectorinMultiPageView& view = *owned;
        view.setTextStorage(std::make_shared<kit::TextStorage>("One\fTwo\fThree"));
        EXPECT_EQ(view.numberOfPages(), 3u) << "paginated all the same";
        view.updateFrame();
        view.zoomIn();
        EXPECT_EQ(view.frame(), (Rect { 5, 7, 100, 100 }));
        // In a superview, the same call sizes it to the stack.
        kit::View parent(Rect { 0, 0, 800, 600 });
        parent.addSubview(std::move(owned));
        view.zoomToStandardSize();
        EXPECT_EQ(view.frame(), (Rect { 0, 0, 644, 2440 }));
    }
    kit::Host::setCurrent(nullptr);
}

TEST(MultiPageView, SetPrintInfoTakesACopyAndMovesThePagesAtOnce)
{
    PageViewFixture f;
    f.pageView->setTextStorage(std::make_shared<kit::TextStorage>("One\fTwo"));
    ASSERT_EQ(f.pageView->numberOfPages(), 2u);
    Rect textFrame = f.pageView->firstTextView()->frame();
    displayWindow(*f.window);

    auto a5 = std::make_shared<kit::PrintInfo>(*f.pageView->printInfo());
    a5->setPaperSize({ 420, 595 });
    a5->setLeftMargin(36);
    f.pageView->setPrintInfo(a5);
    EXPECT_NE(f.pageView->printInfo(), a5) << "a copy";
    a5->setPaperSize({ 100, 100 });
    EXPECT_EQ(f.pageView->printInfo()->paperSize(), (kit::Size { 420, 595 })) << "the original's later changes stay out";
    EXPECT_EQ(f.pageView->frame().size, (kit::Size { 452, 2 * 595 + 3 * 16 })) << "the frame follows at once";
    EXPECT_EQ(f.pageView->pageRectForPageNumber(1), (Rect { 16, 16 + 595 + 16, 420, 595 }));
    EXPECT_EQ(f.pageView->documentRectForPageNumber(0).origin, (kit::Point { 16 + 36, 16 + 72 }));
    EXPECT_EQ(f.pageView->firstTextView()->frame(), textFrame) << "the pages keep their text areas until the next text";
    EXPECT_TRUE(f.window->needsDisplay());

    // The held settings again: nothing happens, though they changed meanwhile.
    displayWindow(*f.window);
    f.pageView->printInfo()->setPaperSize({ 500, 500 });
    f.pageView->setPrintInfo(f.pageView->printInfo());
    EXPECT_EQ(f.pageView->frame().size, (kit::Size { 452, 1238 })) << "the frame is not updated";
    EXPECT_FALSE(f.window->needsDisplay()) << "nor anything redrawn";

    // None: the next question makes the defaults again.
    f.pageView->setPrintInfo(nullptr);
    ASSERT_NE(f.pageView->printInfo(), nullptr);
    EXPECT_EQ(f.pageView->printInfo()->leftMargin(), 72);
    EXPECT_EQ(f.pageView->printInfo()->paperSize(), (kit::Size { 612, 792 }));
}

TEST(MultiPageView, ALineTallerThanAPageStillLands)
{
    PageViewFixture f;
    kit::Attributes huge;
    huge.fontSize = 900;
    auto storage = std::make_shared<kit::TextStorage>("W\nW", huge);
    f.pageView->setTextStorage(storage);
    EXPECT_EQ(f.pageView->numberOfPages(), 2u);
}

TEST(MultiPageView, ZoomBeforeAndAfterTheDocument)
{
    PageViewFixture f;
    f.pageView->zoomIn();
    f.pageView->zoomIn();
    EXPECT_EQ(f.pageView->zoomStep(), 6);
    f.pageView->setTextStorage(paragraphs(1));
    EXPECT_FLOAT_EQ(pageview::ScaleUtilities::scalePercent(*f.pageView), 144.0f) << "a zoom before the document stays in force";
    EXPECT_FLOAT_EQ(f.pageView->frame().width(), 644 * 1.44f);
    for (int i = 0; i < 6; ++i)
        f.pageView->zoomIn();
    EXPECT_EQ(f.pageView->zoomStep(), 9) << "the last step";
    for (int i = 0; i < 12; ++i)
        f.pageView->zoomOut();
    EXPECT_EQ(f.pageView->zoomStep(), 0);
    EXPECT_FLOAT_EQ(pageview::ScaleUtilities::scalePercent(*f.pageView), 50.0f);
    f.pageView->zoomToStandardSize();
    EXPECT_EQ(f.pageView->zoomStep(), 4);
    EXPECT_FLOAT_EQ(pageview::ScaleUtilities::scalePercent(*f.pageView), 100.0f);
    displayWindow(*f.window);
    ASSERT_FALSE(f.window->needsDisplay());
    f.pageView->zoomToStandardSize();
    EXPECT_FALSE(f.window->needsDisplay()) << "at the standard step nothing is sent, nothing redrawn";
    f.pageView->zoomOut();
    EXPECT_TRUE(f.window->needsDisplay());
}

TEST(MultiPageView, DisplayFactorScalesEveryStep)
{
    // 1440 pixels across 381 mm: 96 pixels per inch reads as 72 points, times 4/3. Every step draws the pages
    // 4/3 as large as on a display without that information, and reads as the same percentage.
    PageViewFixture plain;
    PageViewFixture dense({ 801, 600 }, kit::DisplayInfo { true, 1440, 900, 381, 238 });
    EXPECT_EQ(plain.pageView->displayResolutionFactor(), 1.0f) << "no display: factor 1";
    EXPECT_EQ(dense.pageView->displayResolutionFactor(), 1.3333334f);
    auto text = paragraphs(2);
    plain.pageView->setTextStorage(text);
    dense.pageView->setTextStorage(text);
    for (int step = 0; step < kZoomFactorsCount; ++step) {
        SCOPED_TRACE(step);
        plain.pageView->setZoomStep(step);
        dense.pageView->setZoomStep(step);
        EXPECT_NEAR(dense.pageView->frame().width() / plain.pageView->frame().width(), 4.0f / 3, 0.002f);
        EXPECT_NEAR(dense.pageView->frame().height() / plain.pageView->frame().height(), 4.0f / 3, 0.002f);
        EXPECT_FLOAT_EQ(dense.pageView->zoomPercent(), plain.pageView->zoomPercent());
        EXPECT_NEAR(plain.pageView->zoomPercent(), kZoomFactors[step] * 100, 0.01f);
    }
}

TEST(MultiPageView, DrawsBackgroundShadowAndWhitePage)
{
    PageViewFixture f({ 700, 900 });
    f.pageView->setTextStorage(paragraphs(1));
    auto path = testsupport::temporaryFolder("draw") / "window.png";
    ASSERT_TRUE(f.host.writeWindowPNG(*f.window, path));
    testsupport::Image image = testsupport::readPng(path);
    ASSERT_GT(image.width, 0);
    auto rgb = [](std::uint32_t p) { return p & 0xFFFFFF; };
    // The one-page stack (644 x 824) is centred both ways: the page's left edge lies at
    // (700 - 644) / 2 + 16 = 44 and its top at (900 - 824) / 2 + 16 = 54 in the window.
    int pageLeft = 44, pageTop = 54;
    EXPECT_EQ(rgb(image.at(pageLeft + 300, pageTop + 400)), 0xFFFFFFu) << "white inside the page";
    std::uint32_t background = rgb(image.at(5, 5));
    EXPECT_NEAR(int(background >> 16), 97, 1) << "background colour around the pages";
    EXPECT_NEAR(int((background >> 8) & 0xFF), 115, 1);
    EXPECT_NEAR(int(background & 0xFF), 143, 1);
    int below = int(image.at(pageLeft + 300, pageTop + 792 + 4) & 0xFF);
    int above = int(image.at(pageLeft + 300, pageTop - 4) & 0xFF);
    EXPECT_LT(below, above) << "the shadow is darker just below the page than just above it";
    EXPECT_LT(below, 0x8F) << "and darker than the bare background";
}

TEST(MultiPageView, DocumentLayoutStacksPagesOfEachSectionsSize)
{
    PageViewFixture f;
    auto storage = paragraphs(3);
    storage->append("\f", kit::Attributes {});
    std::size_t second = storage->length();
    storage->append("Wide page.\n", kit::Attributes {});
    auto setup = std::make_shared<kit::PageSetup>();
    kit::PageSection narrow, wide;
    narrow.paperSize = { 400, 600 };
    narrow.margins = { 50, 50, 40, 40, 20, 20, 0 };
    wide.start = second;
    wide.paperSize = { 800, 500 };
    setup->sections = { narrow, wide };
    storage->setPageSetup(setup);

    f.pageView->setTextStorage(storage);
    ASSERT_FALSE(f.pageView->showsDocumentPages()) << "the printer's paper by default";
    kit::Rect printerPage = f.pageView->pageRectForPageNumber(1);
    f.pageView->setPageLayout(PageLayout::Document);
    ASSERT_TRUE(f.pageView->showsDocumentPages());
    ASSERT_EQ(f.pageView->numberOfPages(), 2u);
    Rect first = f.pageView->pageRectForPageNumber(0), last = f.pageView->pageRectForPageNumber(1);
    float s = f.pageView->pageSeparatorHeight();
    EXPECT_EQ(first.size, (kit::Size { 400, 600 }));
    EXPECT_EQ(last.size, (kit::Size { 800, 500 }));
    EXPECT_EQ(first.midX(), last.midX()) << "each page centred on its own width";
    EXPECT_EQ(last.x() - f.pageView->frame().x(), s) << "the widest page sets the stack's width";
    EXPECT_EQ(last.y(), first.maxY() + s) << "the separator between pages of different heights";
    EXPECT_EQ(f.pageView->documentRectForPageNumber(0), (Rect { first.x() + 40, first.y() + 50, 320, 500 }));
    EXPECT_EQ(f.pageView->firstTextView()->frame(), f.pageView->documentRectForPageNumber(0));
    EXPECT_EQ(f.pageView->bounds().height(), s + 600 + s + 500 + s);

    // Back to the printer's paper: the pages and the frame are what they were.
    f.pageView->setPageLayout(PageLayout::PrinterPaper);
    EXPECT_FALSE(f.pageView->showsDocumentPages());
    EXPECT_EQ(f.pageView->pageRectForPageNumber(1), printerPage);
}

TEST(MultiPageView, SwitchingLayoutKeepsTheTextAtTheTop)
{
    PageViewFixture f;
    auto storage = paragraphs(80);
    auto setup = std::make_shared<kit::PageSetup>();
    kit::PageSection small;
    small.paperSize = { 420, 595 };
    small.margins = { 36, 36, 36, 36, 18, 18, 0 };
    setup->sections = { small };
    storage->setPageSetup(setup);
    f.pageView->setTextStorage(storage);
    ASSERT_GT(f.pageView->numberOfPages(), 3u);
    kit::ClipView* clip = f.scrollView->contentView();
    // A line some way into the third page at the top of the view.
    kit::Rect text = f.pageView->documentRectForPageNumber(2);
    clip->scrollToPoint(f.pageView->convertPoint({ 0, text.y() + 200 }, clip));
    kit::LayoutManager& before = *f.pageView->layoutManager();
    std::size_t top = before.characterIndexForPoint({ 0, 200 }, *before.textContainers()[2]);

    for (PageLayout layout : { PageLayout::Document, PageLayout::PrinterPaper }) {
        f.pageView->setPageLayout(layout);
        kit::Rect visible = clip->documentVisibleRect();
        kit::LayoutManager& after = *f.pageView->layoutManager();
        kit::TextContainer* container = after.textContainerForGlyphAtIndex(top);
        ASSERT_NE(container, nullptr);
        std::size_t page = *after.indexOfTextContainer(*container);
        kit::Point origin = f.pageView->documentRectForPageNumber(std::uint32_t(page)).origin;
        std::vector<kit::Rect> rects = after.rectsForCharacterRange({ top, 1 }, *container);
        ASSERT_FALSE(rects.empty());
        float y = origin.y + rects.front().y();
        EXPECT_GE(y, visible.minY()) << "the line that was at the top is in sight";
        EXPECT_LT(y, visible.minY() + 40) << "near the top of the view, layout " << int(layout);
    }
}

TEST(MultiPageView, ProgressivePaginationShowsTheFirstPagesAtOnceAndEndsAsIfLaidOutWhole)
{
    auto text = paragraphs(3000);
    PageViewFixture whole;
    whole.pageView->setTextStorage(text);
    std::uint32_t expected = whole.pageView->numberOfPages();
    ASSERT_GT(expected, 150u);

    PageViewFixture f;
    f.pageView->setTextStorage(text, NRVLectorinMultiPageView::Pagination::Progressive);
    ASSERT_TRUE(f.pageView->isPaginating());
    std::uint32_t first = f.pageView->numberOfPages();
    EXPECT_GE(first, 1u);
    EXPECT_LT(first, expected) << "the rest comes on later turns of the loop";
    float firstHeight = f.pageView->frame().height();
    // The reader scrolls down a little meanwhile: the place stays as pages are added below.
    kit::ClipView* clip = f.scrollView->contentView();
    clip->scrollToPoint({ 0, 200 });
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return !f.pageView->isPaginating(); }, std::chrono::seconds(30)));
    EXPECT_EQ(f.pageView->numberOfPages(), expected);
    EXPECT_GT(f.pageView->frame().height(), firstHeight) << "the frame grew with the pages";
    EXPECT_EQ(f.pageView->frame(), whole.pageView->frame());
    EXPECT_FLOAT_EQ(clip->bounds().y(), 200);
    for (std::uint32_t page = 0; page < expected; ++page) {
        auto* layout = f.pageView->layoutManager();
        EXPECT_EQ(layout->glyphRangeForTextContainer(*layout->textContainers()[page]),
            whole.pageView->layoutManager()->glyphRangeForTextContainer(*whole.pageView->layoutManager()->textContainers()[page]))
            << "page " << page;
    }
}

TEST(MultiPageView, TheDocumentsOwnPagesComeProgressivelyAndEndAsIfLaidOutWhole)
{
    // Portrait pages, then landscape ones from the middle on: the wider paper arrives late and moves the
    // pages before it, which are centred on the widest.
    auto text = paragraphs(1500);
    auto setup = std::make_shared<kit::PageSetup>();
    kit::PageSection portrait, landscape;
    portrait.paperSize = { 420, 595 };
    landscape.paperSize = { 842, 595 };
    landscape.start = text->string().find('\n', text->length() / 2) + 1;
    setup->sections = { portrait, landscape };
    text->setPageSetup(setup);
    PageViewFixture whole;
    whole.pageView->setPageLayout(PageLayout::Document);
    whole.pageView->setTextStorage(text);
    std::uint32_t expected = whole.pageView->numberOfPages();
    ASSERT_GT(expected, 20u);

    PageViewFixture f;
    f.pageView->setPageLayout(PageLayout::Document);
    f.pageView->setTextStorage(text, NRVLectorinMultiPageView::Pagination::Progressive);
    ASSERT_TRUE(f.pageView->isPaginating());
    EXPECT_LT(f.pageView->numberOfPages(), expected);
    kit::Rect firstBefore = f.pageView->documentRectForPageNumber(0);
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return !f.pageView->isPaginating(); }, std::chrono::seconds(30)));
    ASSERT_EQ(f.pageView->numberOfPages(), expected);
    EXPECT_EQ(f.pageView->frame(), whole.pageView->frame());
    EXPECT_GT(f.pageView->documentRectForPageNumber(0).x(), firstBefore.x()) << "moved to the centre of the wider pages";
    auto* layout = f.pageView->layoutManager();
    auto* wholeLayout = whole.pageView->layoutManager();
    for (std::uint32_t page = 0; page < expected; ++page) {
        const kit::TextContainer& container = *layout->textContainers()[page];
        EXPECT_EQ(layout->glyphRangeForTextContainer(container),
            wholeLayout->glyphRangeForTextContainer(*wholeLayout->textContainers()[page]))
            << "page " << page;
        ASSERT_TRUE(container.textView());
        EXPECT_EQ(container.textView()->frame(), wholeLayout->textContainers()[page]->textView()->frame()) << "page " << page;
    }
}

namespace {

// What the find bar sends: a responder whose tag is the find action.
class FindSender : public kit::Responder {
public:
    explicit FindSender(kit::FindPanelAction action)
        : m_tag(int(action))
    {
    }
    int tag() const override { return m_tag; }

private:
    int m_tag;
};

} // namespace

TEST(MultiPageView, FindingAWordOnAPageStillToComeSelectsItAtOnceAndScrollsThereWhenThePageArrives)
{
    auto text = paragraphs(1500);
    text->append("The very last word is zanzibar.\n", kit::Attributes {});
    PageViewFixture f;
    f.pageView->setTextStorage(text, NRVLectorinMultiPageView::Pagination::Progressive);
    ASSERT_TRUE(f.pageView->isPaginating());
    kit::FindPasteboard::setString("zanzibar");
    FindSender next(kit::FindPanelAction::Next);
    f.pageView->firstTextView()->performFindPanelAction(&next);
    std::size_t last = text->string().find("zanzibar");
    kit::LayoutManager& layout = *f.pageView->layoutManager();
    EXPECT_EQ(layout.selectedRange(), (kit::Range { last, 8 }));
    EXPECT_TRUE(f.pageView->isPaginating()) << "the pages before the match are not made at once for it";
    kit::ClipView* clip = f.scrollView->contentView();
    EXPECT_FLOAT_EQ(clip->bounds().y(), 0) << "nothing to scroll to yet";

    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return !f.pageView->isPaginating(); }, std::chrono::seconds(30)));
    kit::TextContainer* holder = layout.textContainerForGlyphAtIndex(last);
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder, layout.textContainers().back().get());
    kit::Rect match = layout.rectsForCharacterRange({ last, 8 }, *holder).at(0);
    kit::Rect inView = holder->textView()->convertRect(match, clip);
    EXPECT_TRUE(clip->bounds().contains(inView.origin)) << "scrolled to the match once its page came";
}

TEST(MultiPageView, LookingPastTheLaidOutPagesMakesTheRestAtOnce)
{
    auto text = paragraphs(400);
    text->append("The very last word is zanzibar.\n", kit::Attributes {});
    PageViewFixture f;
    f.pageView->setTextStorage(text, NRVLectorinMultiPageView::Pagination::Progressive);
    ASSERT_TRUE(f.pageView->isPaginating());
    std::size_t last = text->string().find("zanzibar");
    kit::TextContainer* container = f.pageView->layoutManager()->textContainerForGlyphAtIndex(last);
    ASSERT_TRUE(container) << "the glyph's page was made for the question";
    EXPECT_FALSE(f.pageView->isPaginating());
    EXPECT_EQ(container, f.pageView->layoutManager()->textContainers().back().get());

    // A new text (or layout) while pages are still coming starts again, with nothing left of the old one.
    f.pageView->setTextStorage(text, NRVLectorinMultiPageView::Pagination::Progressive);
    ASSERT_TRUE(f.pageView->isPaginating());
    f.pageView->setTextStorage(paragraphs(1));
    EXPECT_FALSE(f.pageView->isPaginating());
    EXPECT_EQ(f.pageView->numberOfPages(), 1u);
    kit::RunLoop::runUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(f.pageView->numberOfPages(), 1u) << "no page of the old text is added later";
}

TEST(MultiPageView, ATextTooLongToLayOutStopsItsPagesAndSaysSo)
{
    auto text = paragraphs(3000);
    PageViewFixture f;
    int calls = 0;
    // The handler replaces the text, as the plug-in does with its message.
    f.pageView->setPaginationTooLargeHandler(
        [&] {
            ++calls;
            EXPECT_FALSE(f.pageView->isPaginating());
            EXPECT_GE(f.pageView->numberOfPages(), 3u) << "the pages made until then were shown";
            f.pageView->setTextStorage(nullptr);
            f.pageView->setMessage("This document is too large to be shown.");
        },
        std::chrono::milliseconds(1));
    f.pageView->setTextStorage(text, NRVLectorinMultiPageView::Pagination::Progressive);
    ASSERT_TRUE(f.pageView->isPaginating());
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return calls > 0; }, std::chrono::seconds(30)));
    kit::RunLoop::runUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(f.pageView->isPaginating());
    EXPECT_EQ(f.pageView->numberOfPages(), 1u);
}

TEST(MultiPageView, GoingToALineOnAPageStillToComeScrollsThereWhenThePageArrives)
{
    auto text = paragraphs(1000);
    text->append("The heading a link goes to.\n", kit::Attributes {});
    std::size_t heading = text->string().find("The heading");
    auto after = paragraphs(500);
    text->append(after->string(), kit::Attributes {});
    PageViewFixture f;
    f.pageView->setTextStorage(text, NRVLectorinMultiPageView::Pagination::Progressive);
    ASSERT_TRUE(f.pageView->isPaginating());
    kit::ClipView* clip = f.scrollView->contentView();
    PageNavigation::scrollCharacterToTop(*f.pageView, heading);
    EXPECT_TRUE(f.pageView->isPaginating()) << "the pages before it are not made at once";
    EXPECT_FLOAT_EQ(clip->bounds().y(), 0);

    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return !f.pageView->isPaginating(); }, std::chrono::seconds(30)));
    std::vector<kit::Rect> rects = PageNavigation::rectsForCharacterRange(*f.pageView, heading, 1);
    ASSERT_FALSE(rects.empty());
    kit::Rect visible = clip->documentVisibleRect();
    EXPECT_GE(rects.front().minY(), visible.minY());
    EXPECT_LE(rects.front().minY() - visible.minY(), 2 * f.pageView->pageSeparatorHeight()) << "its line at the top";

    // A line laid out already is gone to at once.
    PageNavigation::scrollCharacterToTop(*f.pageView, 0);
    rects = PageNavigation::rectsForCharacterRange(*f.pageView, 0, 1);
    ASSERT_FALSE(rects.empty());
    EXPECT_NEAR(rects.front().minY() - clip->documentVisibleRect().minY(), f.pageView->pageSeparatorHeight(), 1);
}
