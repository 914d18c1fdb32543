// `lectorin view` in a real GTK window on a private Xvfb: what the window shows, and what the user's input
// does to it. Input arrives as the host's own controllers' signals; pixels are read back from frames the
// window's renderer draws.
#include "ViewerFixture.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextView.h"
#include "kit/view/ProgressIndicator.h"
#include "kit/view/Scroller.h"
#include "pageview/ZoomFactors.h"
#include "preferences/LectorinPreferences.h"

#include <cmath>
#include <functional>

using namespace gtktest;

namespace {

// The white run of a frame's row that contains x: [first, last] columns.
std::pair<int, int> whiteRunAround(const Frame& frame, int x, int y)
{
    auto white = [&](int column) { return isColor(frame.at(column, y), 1, 1, 1, 2); };
    int first = x, last = x;
    while (first > 0 && white(first - 1))
        --first;
    while (last + 1 < frame.width && white(last + 1))
        ++last;
    return { first, last };
}

int brightness(std::uint32_t pixel)
{
    return red(pixel) + green(pixel) + blue(pixel);
}

} // namespace

TEST_F(ViewerTest, OpensALoopbackDocumentAsShadowedPagesOnTheBackground)
{
    open({ m_server->url("/long.rtf") });
    EXPECT_STREQ(gtk_window_get_title(hostWindow().gtkWindow()), "long.rtf") << "the title is the document's file name";
    GtkWidget* widget = view().widget();
    EXPECT_EQ(gtk_widget_get_width(widget), 900) << "the window opens 900 wide";
    EXPECT_EQ(gtk_widget_get_height(widget), 1100) << "and 1100 tall on a screen with room for it";
    EXPECT_EQ(document().window().contentSize(), (kit::Size { 900, 1100 })) << "the kit window is the widget's size";
    EXPECT_GT(pageView().numberOfPages(), 5u);

    Frame frame = renderWidget(widget);
    ASSERT_EQ(frame.width, 900);
    ASSERT_EQ(frame.height, 1100);
    kit::Rect page = widgetRect(pageView(), pageView().pageRectForPageNumber(0));
    int left = int(std::round(page.minX())), top = int(std::round(page.minY()));
    int bottom = int(std::round(page.maxY())), middle = int(page.midX());
    ASSERT_GT(left, 20) << "a page narrower than the window is centred, with background either side";
    kit::Color background = readBackgroundColorPreference();
    EXPECT_TRUE(isColor(frame.at(left / 2, top + 100), background.red(), background.green(), background.blue())) << std::hex << frame.at(left / 2, top + 100);
    EXPECT_TRUE(isColor(frame.at(left + 20, top + 20), 1, 1, 1)) << "the page's margin is white";
    // The shadow falls below the page: darker than the background just under the page's edge, fading out.
    std::uint32_t shadow = frame.at(middle, bottom + 3), farther = frame.at(middle, bottom + 12);
    EXPECT_LT(brightness(shadow), brightness(frame.at(left / 2, top + 100)) - 20) << std::hex << shadow;
    EXPECT_LT(brightness(shadow), brightness(farther)) << "the shadow fades away from the page";
    auto [first, last] = whiteRunAround(frame, middle, top + 20);
    EXPECT_NEAR(last - first + 1, 612, 1) << "a Letter page is 612 pixels wide at 100 %";
    // The compositor shows exactly what the backing store holds.
    const hosts::BackingStore& store = view().backingStore();
    for (auto [x, y] : { std::pair { left + 20, top + 20 }, std::pair { middle, bottom + 3 }, std::pair { 5, 5 } })
        EXPECT_EQ(store.pixelAt(x, y) | 0xFF000000u, frame.at(x, y) | 0xFF000000u) << x << "," << y;
}

TEST_F(ViewerTest, ControlPlusWidensThePagesByTheNextZoomFactor)
{
    open({ m_server->url("/long.rtf") });
    auto pageWidthOnScreen = [&] {
        Frame frame = renderWidget(view().widget());
        kit::Rect page = widgetRect(pageView(), pageView().pageRectForPageNumber(0));
        auto [first, last] = whiteRunAround(frame, int(page.midX()), int(page.minY()) + 20);
        return last - first + 1;
    };
    int before = pageWidthOnScreen();
    ASSERT_EQ(pageView().zoomStep(), kZoomFactorNormal);
    EXPECT_TRUE(pressKey(hostWindow().shortcutController(), GDK_KEY_plus, GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK)));
    ASSERT_TRUE(settle());
    EXPECT_EQ(pageView().zoomStep(), kZoomFactorNormal + 1);
    int after = pageWidthOnScreen();
    float expected = before * kZoomFactors[kZoomFactorNormal + 1] / kZoomFactors[kZoomFactorNormal];
    EXPECT_NEAR(after, expected, 1.5) << before << " -> " << after;

    EXPECT_TRUE(pressKey(hostWindow().shortcutController(), GDK_KEY_minus, GDK_CONTROL_MASK));
    EXPECT_TRUE(pressKey(hostWindow().shortcutController(), GDK_KEY_minus, GDK_CONTROL_MASK));
    ASSERT_TRUE(settle());
    EXPECT_EQ(pageView().zoomStep(), kZoomFactorNormal - 1);
    EXPECT_NEAR(pageWidthOnScreen(), before * kZoomFactors[kZoomFactorNormal - 1] / kZoomFactors[kZoomFactorNormal], 1.5);
    EXPECT_TRUE(pressKey(hostWindow().shortcutController(), GDK_KEY_0, GDK_CONTROL_MASK));
    ASSERT_TRUE(settle());
    EXPECT_EQ(pageWidthOnScreen(), before) << "Ctrl+0 is actual size again";
}

TEST_F(ViewerTest, WheelMovesTheClipViewAndItsOriginStaysWhole)
{
    open({ m_server->url("/long.rtf") });
    // The clip view scrolls in window points whatever the zoom; a scaled page view must not make the
    // origin fractional (pages would be drawn between device pixels).
    ASSERT_TRUE(activate("zoom-in"));
    ASSERT_TRUE(activate("zoom-in"));
    ASSERT_EQ(pageView().zoomStep(), kZoomFactorNormal + 2);
    kit::Point start = clipView().bounds().origin;
    gboolean handled = FALSE;
    g_signal_emit_by_name(view().scrollController(), "scroll", 0.0, 1.0, &handled);
    EXPECT_TRUE(handled);
    kit::Point moved = clipView().bounds().origin;
    EXPECT_EQ(moved.x, start.x) << "a vertical wheel does not move sideways";
    EXPECT_EQ(moved.y - start.y, hosts::ScrollTranslator::kPointsPerNotch) << "one notch, in window points";
    const double fractions[] = { 0.3, 0.01, 0.49, 0.51 };
    for (double notch : fractions) {
        SCOPED_TRACE(notch);
        float before = clipView().bounds().origin.y;
        g_signal_emit_by_name(view().scrollController(), "scroll", 0.0, notch, &handled);
        float after = clipView().bounds().origin.y;
        EXPECT_EQ(after, std::round(after)) << "the scroll origin stays on whole points";
        EXPECT_NEAR(after - before, notch * hosts::ScrollTranslator::kPointsPerNotch, 0.5);
    }
    ASSERT_TRUE(settle());
    // The frame shows the moved document: the first page's top edge went up by the distance scrolled.
    Frame frame = renderWidget(view().widget());
    kit::Rect page = widgetRect(pageView(), pageView().pageRectForPageNumber(0));
    ASSERT_GT(page.minY(), -page.height() + 10) << "the first page is still in the window";
    int column = int(page.minX()) + 10, row = int(page.maxY()) - 10;
    EXPECT_TRUE(isColor(frame.at(column, row), 1, 1, 1)) << "inside the page's bottom margin";
    EXPECT_FALSE(isColor(frame.at(column, row + 20), 1, 1, 1)) << "below the page";
    g_signal_emit_by_name(view().scrollController(), "scroll", 0.0, -100.0, &handled);
    EXPECT_EQ(clipView().bounds().origin.y, start.y) << "scrolling up past the start stops at it";
}

TEST_F(ViewerTest, KeysScrollTheDocument)
{
    open({ m_server->url("/long.rtf") });
    GtkEventController* keys = view().keyController();
    kit::ClipView& clip = clipView();
    float visible = clip.bounds().height();
    float end = clip.documentRect().maxY() - visible;
    const struct {
        unsigned keyval;
        GdkModifierType state;
        float expectedY; // NaN: relative expectations below
        const char* why;
    } cases[] = {
        { GDK_KEY_Down, GdkModifierType(0), 16, "an arrow moves a line" },
        { GDK_KEY_Page_Down, GdkModifierType(0), 16 + visible - 16, "Page Down moves a screen less a line" },
        { GDK_KEY_space, GDK_SHIFT_MASK, 16, "Shift+Space pages back up" },
        { GDK_KEY_End, GdkModifierType(0), end, "End goes to the last page" },
        { GDK_KEY_Home, GdkModifierType(0), 0, "Home to the first" },
        { GDK_KEY_space, GdkModifierType(0), visible - 16, "Space pages down" },
        { GDK_KEY_Up, GdkModifierType(0), visible - 32, "an arrow up" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_TRUE(pressKey(keys, c.keyval, c.state));
        EXPECT_NEAR(clip.bounds().y(), c.expectedY, 1);
    }
    EXPECT_FALSE(pressKey(keys, GDK_KEY_Tab)) << "Tab is left to GTK's focus chain";
    EXPECT_FALSE(pressKey(keys, GDK_KEY_s, GDK_CONTROL_MASK)) << "command keys are not typed into the document";
}

TEST_F(ViewerTest, TheVerticalScrollersKnobCanBeDragged)
{
    open({ m_server->url("/long.rtf") });
    kit::Scroller* scroller = pageView().enclosingScrollView()->verticalScroller();
    ASSERT_NE(scroller, nullptr);
    ASSERT_FALSE(scroller->isHidden()) << "a document taller than the window has a vertical scroller";
    kit::Rect knob = widgetRect(*scroller, scroller->knobRect());
    ASSERT_GT(knob.height(), 0);
    GtkGesture* drag = view().primaryGesture();
    g_signal_emit_by_name(drag, "drag-begin", double(knob.midX()), double(knob.midY()));
    g_signal_emit_by_name(drag, "drag-update", 0.0, 100.0);
    g_signal_emit_by_name(drag, "drag-update", 0.0, 200.0);
    g_signal_emit_by_name(drag, "drag-end", 0.0, 200.0);
    kit::Rect track = widgetRect(*scroller, scroller->bounds());
    float expected = 200 / (track.height() - knob.height()) * (clipView().documentRect().height() - clipView().bounds().height());
    EXPECT_NEAR(clipView().bounds().y(), expected, expected * 0.05 + 2) << "the document follows the knob";
    ASSERT_TRUE(settle());
    kit::Rect moved = widgetRect(*scroller, scroller->knobRect());
    EXPECT_NEAR(moved.midY(), knob.midY() + 200, 3) << "the knob stays under the pointer";
}

TEST_F(ViewerTest, FindBarSelectsTheWordAndScrollsToIt)
{
    open({ m_server->url("/long.rtf") });
    hosts::FindBar* bar = hostWindow().findBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isShown());
    EXPECT_TRUE(pressKey(hostWindow().shortcutController(), GDK_KEY_f, GDK_CONTROL_MASK));
    ASSERT_TRUE(bar->isShown()) << "Ctrl+F shows the find bar";
    GtkWidget* focus = gtk_root_get_focus(GTK_ROOT(hostWindow().gtkWindow()));
    ASSERT_NE(focus, nullptr);
    EXPECT_TRUE(gtk_widget_is_ancestor(focus, bar->widget())) << "the entry takes the keyboard";

    const std::string& text = pageView().textStorage()->string();
    std::size_t first = text.find("zanzibar"), second = text.find("zanzibar", first + 1);
    ASSERT_NE(second, std::string::npos);
    gtk_editable_set_text(bar->entry(), "Zanzibar");
    g_signal_emit_by_name(bar->entry(), "activate");
    kit::Range selection = pageView().layoutManager()->selectedRange();
    EXPECT_EQ(selection, (kit::Range { first, 8 })) << "Return selects the first occurrence, whatever its case";
    EXPECT_EQ(bar->countText(), "1 of 2");
    auto isVisible = [&](std::size_t location) {
        kit::LayoutManager& layout = *pageView().layoutManager();
        kit::TextContainer* container = layout.textContainerForGlyphAtIndex(location);
        kit::TextView* holder = container ? container->textView() : nullptr;
        if (!holder)
            return false;
        kit::Rect visible = widgetRect(clipView(), clipView().bounds());
        kit::Rect shown = widgetRect(*holder, holder->visibleRect());
        return !shown.isEmpty() && intersection(visible, shown) == shown;
    };
    EXPECT_TRUE(isVisible(first)) << "the page of the match is scrolled into view";
    EXPECT_GT(clipView().bounds().y(), 0) << "the match is not on the first screen";

    g_signal_emit_by_name(bar->nextButton(), "clicked");
    EXPECT_EQ(pageView().layoutManager()->selectedRange(), (kit::Range { second, 8 }));
    EXPECT_EQ(bar->countText(), "2 of 2");
    EXPECT_TRUE(isVisible(second));
    EXPECT_TRUE(activate("find-previous")) << "the menu's Find Previous";
    EXPECT_EQ(pageView().layoutManager()->selectedRange(), (kit::Range { first, 8 }));
    EXPECT_EQ(bar->countText(), "1 of 2");
    EXPECT_TRUE(pressKey(hostWindow().shortcutController(), GDK_KEY_F3));
    EXPECT_EQ(pageView().layoutManager()->selectedRange(), (kit::Range { second, 8 })) << "F3 finds the next";
    EXPECT_TRUE(pressKey(hostWindow().shortcutController(), GDK_KEY_G, GdkModifierType(GDK_CONTROL_MASK | GDK_SHIFT_MASK)));
    EXPECT_EQ(pageView().layoutManager()->selectedRange(), (kit::Range { first, 8 })) << "Ctrl+Shift+G the previous";

    gtk_editable_set_text(bar->entry(), "quokka");
    g_signal_emit_by_name(bar->entry(), "activate");
    EXPECT_EQ(pageView().layoutManager()->selectedRange(), (kit::Range { first, 8 })) << "nothing found leaves the selection";
    EXPECT_EQ(bar->countText(), "No matches");
    g_signal_emit_by_name(bar->entry(), "stop-search");
    EXPECT_FALSE(bar->isShown()) << "Escape closes the bar";
    EXPECT_EQ(gtk_root_get_focus(GTK_ROOT(hostWindow().gtkWindow())), view().widget()) << "and gives the document the keyboard";
}

TEST_F(ViewerTest, ContextMenuOffersTheDocumentsCommands)
{
    open({ m_server->url("/long.rtf") });
    kit::Rect page = widgetRect(pageView(), pageView().pageRectForPageNumber(0));
    g_signal_emit_by_name(view().secondaryGesture(), "pressed", 1, double(page.midX()), double(page.minY() + 100));
    GtkWidget* popover = nullptr;
    for (GtkWidget* child = gtk_widget_get_first_child(view().widget()); child; child = gtk_widget_get_next_sibling(child)) {
        if (GTK_IS_POPOVER_MENU(child))
            popover = child;
    }
    ASSERT_NE(popover, nullptr) << "the secondary button pops the page view's menu up";
    GMenuModel* model = gtk_popover_menu_get_menu_model(GTK_POPOVER_MENU(popover));
    ASSERT_GT(g_menu_model_get_n_items(model), 3) << "in sections, as the menu's separators divide it";
    GMenuModel* first = g_menu_model_get_item_link(model, 0, G_MENU_LINK_SECTION);
    char* label = nullptr;
    ASSERT_TRUE(g_menu_model_get_item_attribute(first, 0, "label", "s", &label));
    EXPECT_STREQ(label, "Zoom In");
    g_free(label);
    g_object_unref(first);
    EXPECT_TRUE(gtk_widget_activate_action(popover, "context.item0", nullptr));
    EXPECT_EQ(pageView().zoomStep(), kZoomFactorNormal + 1) << "choosing Zoom In zooms in";
}

TEST_F(ViewerTest, ResizingKeepsNarrowPagesCentred)
{
    open({ m_server->url("/long.rtf") });
    auto margins = [&](int row) {
        Frame frame = renderWidget(view().widget());
        kit::Rect page = widgetRect(pageView(), pageView().pageRectForPageNumber(0));
        auto [first, last] = whiteRunAround(frame, int(page.midX()), row);
        return std::pair { first, frame.width - 1 - last };
    };
    int row = int(widgetRect(pageView(), pageView().pageRectForPageNumber(0)).minY()) + 20;
    for (int width : { 800, 701, 1200 }) {
        SCOPED_TRACE(width);
        resizeContent(width, 900);
        ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_width(view().widget()) == width; })) << gtk_widget_get_width(view().widget());
        ASSERT_TRUE(settle());
        EXPECT_EQ(document().window().contentSize().width, float(width));
        auto [left, right] = margins(row);
        // The vertical scroller (15 points) takes the right edge; the pages centre in what is left.
        EXPECT_NEAR(left, right - kit::Scroller::kWidth, 1) << left << " | " << right;
    }
}

TEST_F(ViewerTest, TheProgressIndicatorStaysCentredWhileLoading)
{
    m_session = std::make_unique<hosts::ViewerSession>(*m_host, std::vector<std::string> { m_server->url("/slow.rtf") }, hosts::DocumentWindow::Settings {});
    ASSERT_TRUE(waitUntil([&] { return document().plugin() && plugin().isLoading(); }));
    kit::ProgressIndicator* indicator = plugin().progressIndicator();
    ASSERT_NE(indicator, nullptr);
    ASSERT_TRUE(indicator->isAnimating());
    int phase = indicator->phase();
    ASSERT_TRUE(waitUntil([&] { return indicator->phase() != phase; }, 5s)) << "the spinner turns on GTK's main loop";
    for (int width : { 700, 1000 }) {
        SCOPED_TRACE(width);
        resizeContent(width, 600);
        ASSERT_TRUE(waitUntil([&] { return gtk_widget_get_width(view().widget()) == width; }));
        ASSERT_TRUE(settle());
        kit::Rect spinner = widgetRect(*indicator, indicator->bounds());
        EXPECT_NEAR(spinner.midX(), gtk_widget_get_width(view().widget()) / 2.0, 1);
        EXPECT_NEAR(spinner.midY(), gtk_widget_get_height(view().widget()) / 2.0, 1);
        // The spinner is drawn there: its spokes differ from the plain background at its middle's edge.
        Frame frame = renderWidget(view().widget());
        std::uint32_t corner = frame.at(5, 5);
        int differing = 0;
        for (int y = int(spinner.minY()); y < int(spinner.maxY()); ++y) {
            for (int x = int(spinner.minX()); x < int(spinner.maxX()); ++x)
                differing += frame.at(x, y) != corner;
        }
        EXPECT_GT(differing, 20) << "spokes are drawn in the middle of the window";
    }
    m_release.raise();
    EXPECT_TRUE(waitUntil([&] { return plugin().downloadIsComplete(); }, 30s));
    EXPECT_FALSE(indicator->isAnimating());
}

TEST_F(ViewerTest, OnlyTheDamagedTilesAreHandedToTheCompositor)
{
    open({ m_server->url("/long.rtf") });
    unsigned long long before = view().uploadedPixels();
    document().window().setNeedsDisplayInRect({ 10, 10, 20, 20 });
    ASSERT_TRUE(settle());
    unsigned long long uploaded = view().uploadedPixels() - before;
    EXPECT_GT(uploaded, 0u) << "the damage was drawn and handed over";
    EXPECT_LE(uploaded, std::uint64_t(hosts::BackingStore::kTileSize * hosts::BackingStore::kTileSize)) << "one tile, not the window";
}

// A scroll moves the pixels already drawn and draws only the strip that came into sight, with every match
// of a find highlighted; the frame is then the very pixels a drawing of the whole window makes, even where
// damage was waiting when the view scrolled.
TEST_F(ViewerTest, AScrollMovesThePixelsAndTheFrameMatchesAFreshDrawing)
{
    open({ m_server->url("/long.rtf") });
    const std::string& text = pageView().textStorage()->string();
    std::vector<kit::Range> matches;
    for (std::size_t at = text.find("dolor"); at != std::string::npos; at = text.find("dolor", at + 5))
        matches.push_back({ at, 5 });
    ASSERT_GT(matches.size(), 50u);
    pageView().setFindHighlights(matches);
    ASSERT_TRUE(settle());

    kit::Window& window = document().window();
    const hosts::BackingStore& store = view().backingStore();
    // The whole window drawn anew, at the store's scale.
    auto differingPixels = [&](const std::function<std::uint32_t(int, int)>& pixel) {
        kit::CPtr<cairo_surface_t, cairo_surface_destroy> fresh(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, store.pixelWidth(), store.pixelHeight()));
        cairo_surface_set_device_scale(fresh.get(), store.scale(), store.scale());
        cairo_t* cr = cairo_create(fresh.get());
        window.display(cr);
        cairo_destroy(cr);
        cairo_surface_flush(fresh.get());
        const unsigned char* data = cairo_image_surface_get_data(fresh.get());
        int stride = cairo_image_surface_get_stride(fresh.get());
        int differing = 0;
        for (int y = 0; y < store.pixelHeight(); ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
            for (int x = 0; x < store.pixelWidth(); ++x)
                differing += row[x] != pixel(x, y);
        }
        return differing;
    };
    kit::ClipView& clip = clipView();
    const struct {
        float distance; // points down the document
        bool damageWaiting;
        const char* why;
    } cases[] = {
        { 100, false, "down" },
        { 37, false, "a few lines" },
        { -250, false, "back up" },
        { 1, false, "one point" },
        { 120, true, "a match became the current one just before" },
    };
    double windowPixels = double(store.pixelWidth()) * store.pixelHeight();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        if (c.damageWaiting) {
            std::size_t middle = matches.size() / 2;
            pageView().layoutManager()->setSelectedRange(matches[middle]);
            pageView().setNeedsDisplay(true);
        }
        unsigned long long drawnBefore = store.drawnPixels();
        clip.scrollToPoint({ clip.bounds().x(), clip.bounds().y() + c.distance });
        ASSERT_TRUE(settle());
        double drawn = double(store.drawnPixels() - drawnBefore);
        if (!c.damageWaiting) {
            EXPECT_LT(drawn, windowPixels / 2) << "only what came into sight was drawn";
        }
        EXPECT_EQ(differingPixels([&](int x, int y) { return store.pixelAt(x, y); }), 0) << "the store";
        Frame frame = renderWidget(view().widget());
        ASSERT_EQ(frame.width * store.scale(), store.pixelWidth());
        EXPECT_EQ(differingPixels([&](int x, int y) { return frame.at(x, y); }), 0) << "the frame the renderer draws";
    }
}

TEST_F(ViewerTest, TheMainDisplayUnderXvfbHasNoPhysicalSize)
{
    kit::DisplayInfo display = m_host->mainDisplay();
    EXPECT_TRUE(display.present);
    EXPECT_EQ(display.widthPixels, 1600);
    EXPECT_EQ(display.heightPixels, 1400);
    EXPECT_EQ(display.widthMillimetres, 0) << "Xvfb's output reports no size and no EDID: unknown";
    EXPECT_EQ(display.heightMillimetres, 0);
    open({ m_server->url("/long.rtf") });
    EXPECT_EQ(pageView().displayResolutionFactor(), 1.0f) << "an unknown size leaves the zoom uncorrected";
}
