// What a reader finds around the pages of `lectorin view`: where they are (the page indicator and the zoom),
// how to go elsewhere (page entry, keys, outline, thumbnails), fitting, every find match marked, and the
// sentence shown for a document that cannot be shown. In real windows on a private Xvfb.
#include "ViewerFixture.h"
#include "hosts/gtk/ReaderChrome.h"
#include "hosts/gtk/Sidebar.h"
#include "hosts/gtk/ThumbnailPainter.h"
#include "hosts/gtk/ThumbnailWorker.h"
#include "kit/foundation/RunLoop.h"
#include "kit/text/DocumentPages.h"
#include "kit/text/FindPasteboard.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"
#include "pageview/DocumentLinks.h"
#include "pageview/PageNavigation.h"
#include "pageview/PageSnapshot.h"
#include "pageview/ZoomFactors.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <cctype>
#include <cmath>
#include <fstream>
#include <optional>
#include <string_view>
#include <thread>

using namespace gtktest;

namespace {

std::string pageLabel(std::uint32_t page, std::uint32_t count)
{
    return "Page " + std::to_string(page) + " of " + std::to_string(count);
}

// An HTML document of three chapters with sections, each long enough for pages of their own.
std::filesystem::path writeHeadingsDocument()
{
    std::string html = "<html><body>";
    for (int chapter = 1; chapter <= 3; ++chapter) {
        html += "<h1>Chapter " + std::to_string(chapter) + "</h1>";
        for (int section = 1; section <= 2; ++section) {
            html += "<h2>Section " + std::to_string(chapter) + "." + std::to_string(section) + "</h2>";
            for (int paragraph = 0; paragraph < 12; ++paragraph)
                html += "<p>" + gtktest::longDocumentText(paragraph).substr(0, 600) + "</p>";
        }
    }
    html += "</body></html>";
    auto path = testsupport::temporaryFolder("outline") / "chapters.html";
    testsupport::writeFile(path, html);
    return path;
}

// The rows of an ARGB32 surface that hold ink (a pixel darker than mid grey).
std::vector<bool> inkedRows(cairo_surface_t* surface)
{
    int width = cairo_image_surface_get_width(surface), height = cairo_image_surface_get_height(surface);
    int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    std::vector<bool> rows(std::size_t(height), false);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
        for (int x = 0; x < width && !rows[std::size_t(y)]; ++x)
            rows[std::size_t(y)] = red(row[x]) + green(row[x]) + blue(row[x]) < 3 * 128;
    }
    return rows;
}

// The pixels that differ between two images of one size, leaving out a rim of that many pixels.
int differingPixels(cairo_surface_t* a, cairo_surface_t* b, int rim)
{
    int width = cairo_image_surface_get_width(a), height = cairo_image_surface_get_height(a);
    if (width != cairo_image_surface_get_width(b) || height != cairo_image_surface_get_height(b))
        return width * height;
    cairo_surface_flush(a);
    cairo_surface_flush(b);
    int differing = 0;
    for (int y = rim; y < height - rim; ++y) {
        const auto* rowA = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(a) + std::size_t(y) * cairo_image_surface_get_stride(a));
        const auto* rowB = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(b) + std::size_t(y) * cairo_image_surface_get_stride(b));
        for (int x = rim; x < width - rim; ++x)
            differing += (rowA[x] | 0xff000000u) != (rowB[x] | 0xff000000u);
    }
    return differing;
}

hosts::CairoSurfacePtr pageDrawing(NRVLectorinMultiPageView& pageView, std::uint32_t page, int width, int height)
{
    kit::Rect rect = pageView.pageRectForPageNumber(page);
    hosts::CairoSurfacePtr drawing(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    cairo_t* cr = cairo_create(drawing.get());
    cairo_scale(cr, width / rect.width(), width / rect.width());
    pageView.displayRectInContext(rect, cr);
    cairo_destroy(cr);
    cairo_surface_flush(drawing.get());
    return drawing;
}

} // namespace

class ReaderTest : public ViewerTest {
protected:
    hosts::ReaderChrome& reader(std::size_t index = 0) const { return *document(index).reader(); }
    bool waitForIndicator(const std::string& text) const
    {
        return waitUntil([&] { return reader().indicatorText() == text; });
    }
    kit::Rect visibleRect() const { return clipView().documentVisibleRect(); }
    // Widget pixels of the page view's rectangle, rounded outwards.
    kit::Rect onScreen(kit::Rect rect) const { return widgetRect(pageView(), rect); }
};

TEST_F(ReaderTest, TheIndicatorFollowsScrollingAndTheZoom)
{
    open({ m_server->url("/long.rtf") });
    std::uint32_t count = pageView().numberOfPages();
    ASSERT_GE(count, 6u);
    EXPECT_TRUE(waitForIndicator(pageLabel(1, count)));
    EXPECT_EQ(reader().zoomText(), "100%");

    // Scrolling by the wheel until the third page holds the middle of the view.
    gboolean handled = FALSE;
    for (int notch = 0; notch < 400 && PageNavigation::pageAtMiddleOfView(pageView()) < 2; ++notch)
        g_signal_emit_by_name(view().scrollController(), "scroll", 0.0, 1.0, &handled);
    ASSERT_EQ(PageNavigation::pageAtMiddleOfView(pageView()), 2u);
    EXPECT_TRUE(waitForIndicator(pageLabel(3, count))) << reader().indicatorText();
    kit::Rect third = pageView().pageRectForPageNumber(2);
    float middle = visibleRect().midY();
    EXPECT_GE(middle, third.minY() - pageView().pageSeparatorHeight());
    EXPECT_LE(middle, third.maxY() + pageView().pageSeparatorHeight());

    const testsupport::Case<const char*, const char*> steps[] = {
        { "zoom-in", "120%", "one step up" },
        { "zoom-in", "144%", "another" },
        { "actual-size", "100%", "back to the standard step" },
        { "zoom-out", "83%", "one step down" },
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.why);
        ASSERT_TRUE(activate(step.input));
        EXPECT_TRUE(waitUntil([&] { return reader().zoomText() == step.expected; })) << reader().zoomText();
    }
}

TEST_F(ReaderTest, ControlLAndANumberGoToThatPageOfALongReport)
{
    open({ testsupport::corpusPath("poi-bug65649.docx").string() });
    std::uint32_t count = pageView().numberOfPages();
    ASSERT_GE(count, 120u) << "the report is long";
    EXPECT_TRUE(pressKey(reader().keyController(), GDK_KEY_l, GDK_CONTROL_MASK));
    ASSERT_TRUE(reader().isEditingPage());
    EXPECT_STREQ(gtk_editable_get_text(reader().pageEntry()), "1") << "the entry starts with the current page";

    // What is not a page keeps the entry open and goes nowhere.
    float before = visibleRect().y();
    for (std::string typed : { std::string("0"), std::to_string(count + 1), std::string("12a"), std::string("") }) {
        SCOPED_TRACE(typed);
        gtk_editable_set_text(reader().pageEntry(), typed.c_str());
        EXPECT_FALSE(reader().commitPageEntry());
        EXPECT_TRUE(reader().isEditingPage());
        EXPECT_EQ(visibleRect().y(), before);
    }
    gtk_editable_set_text(reader().pageEntry(), " 120 ");
    g_signal_emit_by_name(reader().pageEntry(), "activate");
    EXPECT_FALSE(reader().isEditingPage()) << "Return goes and closes the entry";
    ASSERT_TRUE(settle());
    EXPECT_TRUE(waitForIndicator(pageLabel(120, count))) << reader().indicatorText();
    kit::Rect page = pageView().pageRectForPageNumber(119);
    kit::Rect visible = visibleRect();
    EXPECT_NEAR(visible.minY(), page.minY() - pageView().pageSeparatorHeight(), 1) << "page 120's top is at the top of the view";

    // A click on the indicator opens the entry too; Escape leaves it.
    g_signal_emit_by_name(reader().indicatorButton(), "clicked");
    EXPECT_TRUE(reader().isEditingPage());
    EXPECT_STREQ(gtk_editable_get_text(reader().pageEntry()), "120");
    reader().cancelPageEntry();
    EXPECT_FALSE(reader().isEditingPage());
}

TEST_F(ReaderTest, KeysMoveByScreensAndToTheEnds)
{
    open({ m_server->url("/long.rtf") });
    GtkEventController* keys = view().keyController();
    auto top = [&] { return visibleRect().y(); };
    float screen = clipView().bounds().height();
    float lineScroll = pageView().enclosingScrollView()->lineScroll();
    float end = pageView().bounds().maxY() - visibleRect().height();
    const struct {
        unsigned keyval;
        GdkModifierType state;
        float expected; // page view points; the view is at 100 %
        const char* why;
    } cases[] = {
        { GDK_KEY_Page_Down, GdkModifierType(0), screen - lineScroll, "Page Down: a screen less one line" },
        { GDK_KEY_space, GdkModifierType(0), 2 * (screen - lineScroll), "Space: the same" },
        { GDK_KEY_space, GDK_SHIFT_MASK, screen - lineScroll, "Shift+Space: back a screen" },
        { GDK_KEY_Page_Up, GdkModifierType(0), 0, "Page Up: back to the top" },
        { GDK_KEY_End, GdkModifierType(0), end, "End: the end of the document" },
        { GDK_KEY_Home, GdkModifierType(0), 0, "Home: the start" },
        { GDK_KEY_End, GDK_CONTROL_MASK, end, "Ctrl+End: the end" },
        { GDK_KEY_Home, GDK_CONTROL_MASK, 0, "Ctrl+Home: the start" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_TRUE(pressKey(keys, c.keyval, c.state));
        EXPECT_NEAR(top(), c.expected, 1);
    }
    EXPECT_TRUE(waitForIndicator(pageLabel(1, pageView().numberOfPages())));
}

TEST_F(ReaderTest, TheOutlineListsTheHeadingsAndAClickLandsOnOne)
{
    open({ writeHeadingsDocument().string() });
    EXPECT_FALSE(reader().sidebar().isShown());
    EXPECT_TRUE(pressKey(reader().keyController(), GDK_KEY_F9));
    EXPECT_TRUE(reader().sidebar().isShown()) << "F9 shows the sidebar";
    ASSERT_TRUE(settle());
    const auto& outline = reader().sidebar().outline();
    ASSERT_EQ(outline.size(), 9u) << "three chapters of two sections";
    EXPECT_EQ(outline[0], (kit::OutlineEntry { 1, "Chapter 1", outline[0].location }));
    EXPECT_EQ(outline[1].level, 2);
    EXPECT_EQ(outline[1].title, "Section 1.1");
    EXPECT_EQ(outline[8].title, "Section 3.2");
    EXPECT_EQ(reader().sidebar().pane(), hosts::Sidebar::Pane::Outline) << "a document with headings opens on its outline";

    // A click on "Chapter 3": the row is activated as GTK does on a click.
    GtkListBoxRow* row = gtk_list_box_get_row_at_index(reader().sidebar().outlineList(), 6);
    ASSERT_NE(row, nullptr);
    gtk_widget_activate(GTK_WIDGET(row));
    ASSERT_TRUE(settle());
    std::vector<kit::Rect> heading = PageNavigation::rectsForCharacterRange(pageView(), outline[6].location, 1);
    ASSERT_FALSE(heading.empty());
    kit::Rect visible = visibleRect();
    EXPECT_GE(heading.front().minY(), visible.minY()) << "the heading is in sight";
    EXPECT_LE(heading.front().minY() - visible.minY(), 2 * pageView().pageSeparatorHeight()) << "at the top of the view";

    EXPECT_TRUE(pressKey(reader().keyController(), GDK_KEY_F9));
    EXPECT_FALSE(reader().sidebar().isShown());
}

TEST_F(ReaderTest, ThumbnailsAreDrawnForTheRowsInSightAndMarkTheCurrentPage)
{
    open({ testsupport::corpusPath("poi-bug65649.docx").string() });
    std::uint32_t count = pageView().numberOfPages();
    // Out of sight, nothing is drawn: not with the sidebar closed, nor behind the outline pane.
    reader().sidebar().showPane(hosts::Sidebar::Pane::Thumbnails);
    kit::RunLoop::runUntil([] { return false; }, 300ms);
    reader().sidebar().showPane(hosts::Sidebar::Pane::Outline);
    reader().toggleSidebar();
    kit::RunLoop::runUntil([] { return false; }, 300ms);
    EXPECT_EQ(reader().sidebar().thumbnailsDrawn(), 0u);
    reader().sidebar().showPane(hosts::Sidebar::Pane::Thumbnails);
    ASSERT_TRUE(waitUntil([&] { return reader().sidebar().hasThumbnail(0) && reader().sidebar().hasThumbnail(1); }));
    EXPECT_EQ(reader().sidebar().selectedThumbnail(), 0u);

    // A thumbnail shows its page: the picture has dark pixels of text on white.
    ASSERT_TRUE(settle());
    Frame frame = renderWidget(GTK_WIDGET(reader().sidebar().thumbnailList()));
    int ink = 0, paper = 0;
    for (int y = 0; y < frame.height; ++y) {
        for (int x = 0; x < frame.width; ++x) {
            std::uint32_t p = frame.at(x, y);
            ink += red(p) < 100 && green(p) < 100 && blue(p) < 100;
            paper += isColor(p, 1, 1, 1, 2);
        }
    }
    EXPECT_GT(paper, 4000) << "white pages";
    EXPECT_GT(ink, 50) << "with text on them";

    // Going to page 60 selects its thumbnail and brings its row into sight, where it is drawn.
    PageNavigation::scrollToPage(pageView(), 59);
    EXPECT_TRUE(waitUntil([&] { return reader().sidebar().selectedThumbnail() == 59u; }));
    EXPECT_TRUE(waitUntil([&] { return reader().sidebar().hasThumbnail(59); }));
    // A click on a thumbnail goes to its page.
    reader().sidebar().activateThumbnail(9);
    EXPECT_TRUE(waitForIndicator(pageLabel(10, count)));
}

TEST_F(ReaderTest, AThumbnailDrawnOnAnotherThreadIsThePageAsThePageViewDrawsIt)
{
    open({ testsupport::corpusPath("poi-bug65649.docx").string() });
    for (std::uint32_t page : { 0u, 7u }) {
        SCOPED_TRACE(page + 1);
        auto captured = pageview::PageSnapshot::capture(pageView(), page);
        ASSERT_TRUE(captured);
        constexpr int kWidth = 240;
        hosts::CairoSurfacePtr thumbnail;
        std::thread([&] {
            hosts::ThumbnailPainter painter;
            thumbnail.reset(painter.paint(*captured, kWidth));
        }).join();
        ASSERT_TRUE(thumbnail);

        // The page view's own drawing of the page at the same scale.
        kit::Rect rect = pageView().pageRectForPageNumber(page);
        int height = int(std::lround(kWidth * rect.height() / rect.width()));
        ASSERT_EQ(cairo_image_surface_get_height(thumbnail.get()), height);
        hosts::CairoSurfacePtr reference = pageDrawing(pageView(), page, kWidth, height);

        std::vector<bool> drawn = inkedRows(thumbnail.get());
        EXPECT_GT(std::count(drawn.begin(), drawn.end(), true), height / 10) << "lines of text";
        // Only the paper's edge, where the view's background shows through part of a pixel, may differ.
        EXPECT_EQ(differingPixels(thumbnail.get(), reference.get(), 1), 0) << "the page's own pixels";
    }

    // The worker answers on the UI thread; requests it had not started when it went are never answered.
    std::thread::id uiThread = std::this_thread::get_id();
    std::vector<std::uint32_t> answered;
    bool everyAnswerOnTheUIThread = true;
    auto answer = [&](std::uint32_t page, std::uint64_t tag, hosts::CairoSurfacePtr surface) {
        everyAnswerOnTheUIThread = everyAnswerOnTheUIThread && std::this_thread::get_id() == uiThread && surface && tag == 7;
        answered.push_back(page);
    };
    {
        hosts::ThumbnailWorker worker(answer);
        worker.request(2, 7, pageview::PageSnapshot::capture(pageView(), 2), 120);
        worker.request(3, 7, pageview::PageSnapshot::capture(pageView(), 3), 120);
        EXPECT_TRUE(waitUntil([&] { return answered.size() == 2; }));
    }
    EXPECT_TRUE(everyAnswerOnTheUIThread);
    EXPECT_EQ(answered, (std::vector<std::uint32_t> { 2, 3 }));
    {
        hosts::ThumbnailWorker worker(answer);
        for (std::uint32_t page = 0; page < 40; ++page)
            worker.request(page, 7, pageview::PageSnapshot::capture(pageView(), page), 120);
    }
    kit::RunLoop::runUntil([] { return false; }, 200ms);
    EXPECT_EQ(answered.size(), 2u) << "nothing reaches a worker that is gone";
}

// In the document's own layout a page shows its header and footer bands; its thumbnail shows them too,
// with each page's own number in the footer.
TEST_F(ReaderTest, AThumbnailShowsThePagesHeaderAndFooter)
{
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\paperw12240\\paperh15840\\margt1440\\margb1440"
                      "\\headery500\\footery500\\f0\\fs24{\\header\\pard Running head of the report\\par}"
                      "{\\footer\\pard\\qr Page {\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}\\par}";
    for (int paragraph = 1; paragraph <= 30; ++paragraph)
        rtf += gtktest::longDocumentText(paragraph).substr(0, 500) + "\\par ";
    rtf += "}";
    auto path = testsupport::temporaryFolder("bands") / "bands.rtf";
    testsupport::writeFile(path, rtf);
    open({ path.string() });
    if (pageView().pageLayout() != PageLayout::Document)
        pageView().setPageLayout(PageLayout::Document);
    ASSERT_TRUE(settle());
    ASSERT_TRUE(pageView().showsDocumentPages());
    ASSERT_GE(pageView().numberOfPages(), 2u);
    kit::DocumentPages& pages = *pageView().documentPages();

    constexpr int kWidth = 306; // half a point per pixel
    std::vector<hosts::CairoSurfacePtr> footers;
    for (std::uint32_t page : { 0u, 1u }) {
        SCOPED_TRACE(page + 1);
        auto captured = pageview::PageSnapshot::capture(pageView(), page);
        ASSERT_TRUE(captured);
        hosts::ThumbnailPainter painter;
        hosts::CairoSurfacePtr thumbnail(painter.paint(*captured, kWidth));
        ASSERT_TRUE(thumbnail);
        kit::Rect rect = pageView().pageRectForPageNumber(page);
        hosts::CairoSurfacePtr reference = pageDrawing(pageView(), page, kWidth, cairo_image_surface_get_height(thumbnail.get()));
        std::vector<bool> drawn = inkedRows(thumbnail.get()), expected = inkedRows(reference.get());
        double scale = kWidth / rect.width();
        kit::Rect headerBand = pages.headerRect(page), footerBand = pages.footerRect(page);
        ASSERT_GT(headerBand.height(), 0);
        ASSERT_GT(footerBand.height(), 0);
        for (kit::Rect band : { headerBand, footerBand }) {
            int top = int(band.minY() * scale), bottom = int(std::ceil(band.maxY() * scale));
            std::vector<bool> bandDrawn(drawn.begin() + top, drawn.begin() + bottom);
            std::vector<bool> bandExpected(expected.begin() + top, expected.begin() + bottom);
            EXPECT_GT(std::count(bandExpected.begin(), bandExpected.end(), true), 0) << "the page draws the band";
            EXPECT_EQ(bandDrawn, bandExpected) << "and so does its thumbnail";
        }
        EXPECT_EQ(differingPixels(thumbnail.get(), reference.get(), 1), 0) << "the page's own pixels";
        // The footer band alone, to tell the pages' numbers apart.
        int top = int(footerBand.minY() * scale), bottom = int(std::ceil(footerBand.maxY() * scale));
        hosts::CairoSurfacePtr footer(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, bottom - top));
        cairo_t* cr = cairo_create(footer.get());
        cairo_set_source_surface(cr, thumbnail.get(), 0, -top);
        cairo_paint(cr);
        cairo_destroy(cr);
        footers.push_back(std::move(footer));
    }
    EXPECT_GT(differingPixels(footers[0].get(), footers[1].get(), 0), 0) << "each page's footer shows its own number";
}

TEST_F(ReaderTest, FitWidthAndFitPageFollowTheWindowAndZoomGoesToTheNearestStep)
{
    open({ m_server->url("/long.rtf") });
    ASSERT_TRUE(gtk_widget_activate_action(GTK_WIDGET(hostWindow().gtkWindow()), "reader.fit-width", nullptr));
    ASSERT_TRUE(settle());
    auto pageWidth = [&] { return onScreen(pageView().pageRectForPageNumber(PageNavigation::pageAtMiddleOfView(pageView()))).width(); };
    auto pageLeft = [&] { return onScreen(pageView().pageRectForPageNumber(PageNavigation::pageAtMiddleOfView(pageView()))).minX(); };
    kit::Rect clip = widgetRect(clipView(), clipView().bounds());
    EXPECT_NEAR(pageWidth(), clip.width(), 1) << "as wide as the view";
    EXPECT_NEAR(pageLeft(), clip.minX(), 1) << "and lined up with it";
    EXPECT_TRUE(waitUntil([&] { return reader().zoomText() != "100%"; }));

    resizeContent(700, 900);
    ASSERT_TRUE(waitUntil([&] { return std::abs(widgetRect(clipView(), clipView().bounds()).width() - clip.width()) > 50; }));
    ASSERT_TRUE(settle());
    clip = widgetRect(clipView(), clipView().bounds());
    EXPECT_NEAR(pageWidth(), clip.width(), 1) << "still as wide after a resize";

    // Fit Page: a whole page with the separators above and below it in sight.
    ASSERT_TRUE(gtk_widget_activate_action(GTK_WIDGET(hostWindow().gtkWindow()), "reader.fit-page", nullptr));
    ASSERT_TRUE(settle());
    kit::Rect page = onScreen(pageView().pageRectForPageNumber(0));
    clip = widgetRect(clipView(), clipView().bounds());
    float separator = pageView().pageSeparatorHeight() * page.height() / pageView().pageRectForPageNumber(0).height();
    EXPECT_NEAR(page.height() + 2 * separator, clip.height(), 1.5);
    EXPECT_LE(page.width(), clip.width() + 1);

    // From a fit, zoom in goes to the nearest step above the fitted scale, zoom out below.
    float fitted = pageView().zoomPercent() / 100;
    ASSERT_TRUE(activate("zoom-in"));
    EXPECT_EQ(pageView().zoomFit(), NRVLectorinMultiPageView::ZoomFit::None);
    int above = pageView().zoomStep();
    EXPECT_GT(kZoomFactors[above], fitted);
    if (above > 0) {
        EXPECT_LE(kZoomFactors[above - 1], fitted);
    }
    ASSERT_TRUE(gtk_widget_activate_action(GTK_WIDGET(hostWindow().gtkWindow()), "reader.fit-page", nullptr));
    ASSERT_TRUE(activate("zoom-out"));
    EXPECT_LT(kZoomFactors[pageView().zoomStep()], fitted);
    EXPECT_GE(kZoomFactors[pageView().zoomStep() + 1], fitted);
}

TEST_F(ReaderTest, FindMarksEveryMatchAndTheFortiethJumpLandsOnItsPage)
{
    // A word that every other one of 80 paragraphs ends with: 40 matches over several pages.
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 ";
    for (int paragraph = 1; paragraph <= 80; ++paragraph) {
        rtf += gtktest::longDocumentText(paragraph).substr(0, 400);
        if (paragraph % 2 == 0)
            rtf += " quokka";
        rtf += "\\par ";
    }
    rtf += "}";
    auto path = testsupport::temporaryFolder("find") / "quokka.rtf";
    testsupport::writeFile(path, rtf);
    open({ path.string() });
    ASSERT_TRUE(pressKey(hostWindow().shortcutController(), GDK_KEY_f, GDK_CONTROL_MASK));
    hosts::FindBar& bar = *hostWindow().findBar();
    gtk_editable_set_text(bar.entry(), "quokka");
    EXPECT_TRUE(waitUntil([&] { return pageView().findHighlights().size() == 40u; })) << pageView().findHighlights().size();
    g_signal_emit_by_name(bar.entry(), "activate");
    EXPECT_EQ(bar.countText(), "1 of 40");
    ASSERT_TRUE(settle());

    // Every match on the pages in sight is marked: the highlight's colour under each of them.
    Frame frame = renderWidget(view().widget());
    kit::Rect visible = visibleRect();
    int marked = 0, inSight = 0;
    kit::Color highlight = NRVLectorinMultiPageView::findHighlightColor();
    for (kit::Range match : pageView().findHighlights()) {
        for (kit::Rect rect : PageNavigation::rectsForCharacterRange(pageView(), match.location, match.length)) {
            if (!visible.contains(rect.origin) || !visible.contains({ rect.maxX(), rect.maxY() }))
                continue;
            ++inSight;
            if (match == pageView().layoutManager()->selectedRange())
                continue; // the current one shows as the selection
            kit::Rect shown = onScreen(rect);
            // A point of the highlight above the glyphs' x-height: left of the first letter's stem.
            int x = int(shown.minX()) + 1, y = int(shown.minY()) + 2;
            std::uint32_t p = frame.at(x, y);
            marked += isColor(p, highlight.red(), highlight.green(), highlight.blue(), 12);
        }
    }
    EXPECT_GE(inSight, 3);
    EXPECT_EQ(marked, inSight - 1) << "every match in sight but the current one in the highlight colour";

    for (int jump = 2; jump <= 40; ++jump)
        ASSERT_TRUE(bar.findNext());
    EXPECT_EQ(bar.countText(), "40 of 40");
    kit::Range fortieth = pageView().findHighlights().back();
    EXPECT_EQ(pageView().layoutManager()->selectedRange(), fortieth);
    std::uint32_t page = *PageNavigation::pageOfCharacter(pageView(), fortieth.location);
    std::vector<kit::Rect> rects = PageNavigation::rectsForCharacterRange(pageView(), fortieth.location, fortieth.length);
    ASSERT_FALSE(rects.empty());
    visible = visibleRect();
    EXPECT_TRUE(visible.contains({ rects.front().midX(), rects.front().midY() })) << "the 40th match is in sight, on page " << page + 1;
    bool atEnd = visible.maxY() >= pageView().bounds().maxY() - 1;
    if (!atEnd) {
        EXPECT_NEAR(rects.front().midY(), visible.midY(), rects.front().height()) << "in the middle of the view";
    }

    // Match case and whole words narrow the matches.
    gtk_toggle_button_set_active(bar.matchCaseButton(), TRUE);
    gtk_editable_set_text(bar.entry(), "Quokka");
    EXPECT_TRUE(waitUntil([&] { return pageView().findHighlights().empty() && bar.countText() == "No matches"; }))
        << bar.countText();
    gtk_toggle_button_set_active(bar.matchCaseButton(), FALSE);
    gtk_toggle_button_set_active(bar.wholeWordsButton(), TRUE);
    gtk_editable_set_text(bar.entry(), "quokk");
    EXPECT_TRUE(waitUntil([&] { return pageView().findHighlights().empty(); })) << "a part of a word is not a whole word";
    gtk_toggle_button_set_active(bar.wholeWordsButton(), FALSE);
    EXPECT_TRUE(waitUntil([&] { return pageView().findHighlights().size() == 40u; }));
    bar.hide();
    EXPECT_TRUE(waitUntil([&] { return pageView().findHighlights().empty(); })) << "closing the bar clears the marks";
}

TEST_F(ReaderTest, AnEncryptedDocumentShowsItsMessageOnThePage)
{
    open({ testsupport::corpusPath("poi-password_password_cryptoapi.doc").string() });
    EXPECT_EQ(plugin().problemMessage(), "This document is password-protected and cannot be shown.");
    EXPECT_FALSE(plugin().hasFailed()) << "a page with the sentence, not the download's error display";
    Frame frame = renderWidget(view().widget());
    kit::Rect text = onScreen(pageView().documentRectForPageNumber(0));
    int ink = 0;
    for (int y = int(text.minY()); y < int(text.maxY()) && y < frame.height; ++y) {
        for (int x = int(text.minX()); x < int(text.maxX()) && x < frame.width; ++x) {
            std::uint32_t p = frame.at(x, y);
            ink += red(p) < 160 && green(p) < 160 && blue(p) < 160;
        }
    }
    EXPECT_GT(ink, 100) << "the sentence is drawn on the first page";
    EXPECT_TRUE(waitForIndicator(pageLabel(1, 1)));
}

TEST_F(ReaderTest, LinksShowAHandAndTheirURLAndAClickFollowsThem)
{
    std::string html = "<html><body><p>See <a href=\"https://example.invalid/report?id=7\">the report</a>, "
                       "<a href=\"mailto:editor@example.invalid\">write to us</a> or <a href=\"#far\">read the end</a>.</p>";
    for (int paragraph = 0; paragraph < 40; ++paragraph)
        html += "<p>" + gtktest::longDocumentText(paragraph).substr(0, 500) + "</p>";
    html += "<h2 id=\"far\">Far away</h2>";
    // Enough after the heading for it to reach the top of the view.
    for (int paragraph = 0; paragraph < 20; ++paragraph)
        html += "<p>" + gtktest::longDocumentText(paragraph).substr(0, 500) + "</p>";
    html += "</body></html>";
    auto path = testsupport::temporaryFolder("links") / "links.html";
    testsupport::writeFile(path, html);
    open({ path.string() });
    const std::string& text = pageView().textStorage()->string();
    auto centreOf = [&](const std::string& words) {
        std::size_t at = text.find(words);
        EXPECT_NE(at, std::string::npos) << words;
        std::vector<kit::Rect> rects = PageNavigation::rectsForCharacterRange(pageView(), at, words.size());
        kit::Rect shown = rects.empty() ? kit::Rect {} : onScreen(rects.front());
        return std::pair<double, double> { shown.midX(), shown.midY() };
    };
    auto hover = [&](std::pair<double, double> at) { g_signal_emit_by_name(reader().motionController(), "motion", at.first, at.second); };
    auto click = [&](std::pair<double, double> at) {
        g_signal_emit_by_name(reader().clickGesture(), "pressed", 1, at.first, at.second);
        g_signal_emit_by_name(reader().clickGesture(), "released", 1, at.first, at.second);
    };
    auto cursorName = [&]() -> std::string {
        GdkCursor* cursor = gtk_widget_get_cursor(view().widget());
        return cursor && gdk_cursor_get_name(cursor) ? gdk_cursor_get_name(cursor) : "";
    };

    hover(centreOf("the report"));
    EXPECT_EQ(cursorName(), "pointer");
    EXPECT_EQ(reader().hoveredURL(), "https://example.invalid/report?id=7");
    hover(centreOf("See"));
    EXPECT_EQ(cursorName(), "") << "plain text keeps the usual pointer";
    EXPECT_EQ(reader().hoveredURL(), "");

    click(centreOf("the report"));
    click(centreOf("write to us"));
    click(centreOf("See"));
    EXPECT_TRUE(waitUntil([&] { return m_host->openedURLs.size() == 2; }));
    EXPECT_EQ(m_host->openedURLs, (std::vector<std::string> { "https://example.invalid/report?id=7", "mailto:editor@example.invalid" }))
        << "the host opens web and mail links; nothing is launched";

    // A link inside the document scrolls its bookmark to the top of the view; the host opens nothing.
    click(centreOf("read the end"));
    std::size_t far = text.find("Far away");
    ASSERT_TRUE(waitUntil([&] {
        auto rects = PageNavigation::rectsForCharacterRange(pageView(), far, 1);
        return !rects.empty() && rects.front().minY() >= visibleRect().minY() && rects.front().minY() - visibleRect().minY() <= 2 * pageView().pageSeparatorHeight();
    })) << "the heading the link names is at the top";
    EXPECT_EQ(m_host->openedURLs.size(), 2u);
}

TEST_F(ReaderTest, TableOfContentsEntriesOfOdtRtfAndDocScrollToTheirHeadings)
{
    // A generated RTF whose contents entry is a HYPERLINK \l field to a bookmark far down; two corpus
    // tables of contents (LibreOffice's, Word 2003's).
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 "
                      "{\\field{\\*\\fldinst{HYPERLINK \\\\l \"_Toc7\"}}{\\fldrslt{Contents entry}}}\\par ";
    for (int paragraph = 1; paragraph <= 40; ++paragraph)
        rtf += gtktest::longDocumentText(paragraph).substr(0, 500) + "\\par ";
    rtf += "{\\*\\bkmkstart _Toc7}Far heading{\\*\\bkmkend _Toc7}\\par ";
    for (int paragraph = 1; paragraph <= 20; ++paragraph)
        rtf += gtktest::longDocumentText(paragraph).substr(0, 500) + "\\par ";
    rtf += "}";
    auto path = testsupport::temporaryFolder("contents") / "contents.rtf";
    testsupport::writeFile(path, rtf);

    for (std::string file : { path.string(), testsupport::corpusPath("odfdo-doc_with_toc.odt").string(),
             testsupport::corpusPath("poi-parentinvguid.doc").string() }) {
        SCOPED_TRACE(file);
        open({ file });
        const kit::TextStorage& text = *pageView().textStorage();
        // The last entry of the contents: its target lies furthest away.
        std::optional<std::size_t> entry;
        for (const auto& run : text.runs()) {
            if (run.attributes->link.size() > 1 && run.attributes->link.front() == '#')
                entry = run.location;
        }
        ASSERT_TRUE(entry) << "the document has a link inside it";
        std::string url = text.attributesAt(*entry).link;
        // A letter of the entry (its page number follows a tab), brought into sight.
        while (*entry < text.length() && std::isspace(static_cast<unsigned char>(text.string()[*entry])) && text.attributesAt(*entry).link == url)
            ++*entry;
        ASSERT_EQ(text.attributesAt(*entry).link, url);
        PageNavigation::scrollCharacterToTop(pageView(), *entry);
        ASSERT_TRUE(settle());
        std::optional<std::size_t> target = DocumentLinks::bookmarkLocation(text, DocumentLinks::bookmarkName(url));
        ASSERT_TRUE(target) << url;

        std::vector<kit::Rect> rects = PageNavigation::rectsForCharacterRange(pageView(), *entry, 1);
        ASSERT_FALSE(rects.empty());
        kit::Rect shown = onScreen(rects.front());
        g_signal_emit_by_name(reader().clickGesture(), "pressed", 1, double(shown.midX()), double(shown.midY()));
        g_signal_emit_by_name(reader().clickGesture(), "released", 1, double(shown.midX()), double(shown.midY()));
        EXPECT_TRUE(waitUntil([&] {
            auto place = PageNavigation::rectsForCharacterRange(pageView(), *target, 1);
            kit::Rect visible = visibleRect();
            bool atTop = !place.empty() && place.front().minY() >= visible.minY() && place.front().minY() - visible.minY() <= 2 * pageView().pageSeparatorHeight();
            bool atEnd = visible.maxY() >= pageView().bounds().maxY() - 1 && !place.empty() && visible.contains({ place.front().midX(), place.front().midY() });
            return atTop || atEnd;
        })) << url << " goes to its bookmark";
        EXPECT_TRUE(m_host->openedURLs.empty()) << "nothing is opened outside";
        m_session.reset();
    }
}
