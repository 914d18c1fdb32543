// What `lectorin view` remembers between runs (the file read as hostile input, and the place found again on
// reopening), opening documents (Open..., Open Recent, a drop), and night reading. Windows on a private Xvfb.
#include "ViewerFixture.h"
#include "hosts/gtk/DocumentOpening.h"
#include "hosts/gtk/NightReading.h"
#include "hosts/gtk/ReaderChrome.h"
#include "hosts/gtk/ReadingState.h"
#include "pageview/PageNavigation.h"
#include "support/PngBytes.h"
#include "support/TestSupport.h"

#include <sys/stat.h>

using namespace gtktest;
using hosts::ReadingPlace;
using hosts::ReadingState;

namespace {

std::filesystem::path stateFolder()
{
    std::filesystem::path folder = testsupport::temporaryFolder("state");
    setenv("XDG_STATE_HOME", folder.c_str(), 1);
    return folder;
}

std::string header() { return "lectorin-reading-state 1\n"; }

// For conditions that no event of this process changes (another process's work): the loop is woken every
// 20 ms to look again.
bool pollUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound)
{
    guint timer = g_timeout_add(20, +[](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
    bool met = waitUntil(condition, bound);
    g_source_remove(timer);
    return met;
}

// A solid red picture as PNG bytes, in hexadecimal for an RTF \pict.
std::string redPngHex(int width, int height)
{
    std::string png = testsupport::pngBytes(width, height, 1, 0, 0);
    std::string hex;
    for (unsigned char c : png) {
        hex += "0123456789abcdef"[c >> 4];
        hex += "0123456789abcdef"[c & 15];
    }
    return hex;
}

} // namespace

TEST(ReadingState, WritesWhatItReadsAndIgnoresWhatDoesNotParse)
{
    std::vector<ReadingState::Entry> entries = {
        { "file:///home/reader/report.docx", 86400, { ReadingPlace::Zoom::Step, 6, 41, 0.25f } },
        { "https://example.org/a%20b.rtf", 7, { ReadingPlace::Zoom::FitWidth, 4, 0, 0 } },
        { "file:///tmp/x.odt", 0, { ReadingPlace::Zoom::FitPage, 4, 9999, 0.999999f } },
    };
    std::string text = ReadingState::format(entries);
    EXPECT_EQ(text.substr(0, header().size()), header());
    auto read = ReadingState::parse(text);
    ASSERT_EQ(read.size(), 3u);
    EXPECT_EQ(read[0], entries[0]);
    EXPECT_EQ(read[1], entries[1]);
    EXPECT_EQ(read[2].place.page, 9999u);
    EXPECT_NEAR(read[2].place.offset, 0.999999f, 1e-6);

    const struct {
        std::string line;
        const char* why;
    } bad[] = {
        { "1\tstep:4\t0\t0", "a field missing" },
        { "1\tstep:4\t0\t0\tfile:///a\textra", "a field too many" },
        { "1\tstep:10\t0\t0\tfile:///a", "no such zoom step" },
        { "1\tstep:-1\t0\t0\tfile:///a", "a negative step" },
        { "1\tzoom\t0\t0\tfile:///a", "no such zoom" },
        { "1\tstep:4\t3a\t0\tfile:///a", "a page that is no number" },
        { "1\tstep:4\t99999999\t0\tfile:///a", "a page beyond any document" },
        { "1\tstep:4\t0\t1.5\tfile:///a", "an offset past the page" },
        { "1\tstep:4\t0\t-0.5\tfile:///a", "a negative offset" },
        { "1\tstep:4\t0\t0.1234567\tfile:///a", "more digits than written" },
        { "1\tstep:4\t0\tnan\tfile:///a", "not a number" },
        { "x\tstep:4\t0\t0\tfile:///a", "a date that is no number" },
        { "1\tstep:4\t0\t0\t", "no document" },
        { "1\tstep:4\t0\t0\tfile:///a\rb", "a control character in the document" },
        { "1\tstep:4\t0\t0\tfile:///" + std::string(ReadingState::kMaximumLine, 'a'), "a line too long" },
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(c.why);
        auto parsed = ReadingState::parse(header() + c.line + "\n1\tstep:2\t3\t0.5\tfile:///good\n");
        ASSERT_EQ(parsed.size(), 1u) << "the bad line goes, the good one stays";
        EXPECT_EQ(parsed[0].document, "file:///good");
    }
    EXPECT_TRUE(ReadingState::parse("lectorin-reading-state 2\n1\tstep:2\t3\t0.5\tfile:///good\n").empty()) << "another version";
    EXPECT_TRUE(ReadingState::parse(std::string("\0\xff\xfe", 3)).empty());
    EXPECT_EQ(ReadingState::parse(header() + "1\tstep:2\t3\t0.5\tfile:///cut").size(), 0u) << "a line cut short";
    auto twice = ReadingState::parse(header() + "2\tstep:2\t3\t0.5\tfile:///a\n1\tstep:5\t1\t0\tfile:///a\n");
    ASSERT_EQ(twice.size(), 1u);
    EXPECT_EQ(twice[0].place.zoomStep, 2) << "the first, newest, line wins";
}

TEST(ReadingState, TheFileIsPrivateBoundedAndNeverFollowedElsewhere)
{
    std::filesystem::path folder = stateFolder();
    ReadingState state(ReadingState::defaultFile());
    EXPECT_EQ(state.file(), folder / "lectorin/reading.state");
    EXPECT_TRUE(state.recentDocuments(10).empty()) << "no file yet";

    ReadingPlace place { ReadingPlace::Zoom::Step, 7, 12, 0.5f };
    ASSERT_TRUE(state.remember("file:///a.docx", place));
    ASSERT_TRUE(state.noteOpened("file:///b.rtf"));
    ASSERT_TRUE(state.noteOpened("file:///a.docx"));
    EXPECT_EQ(state.recentDocuments(10), (std::vector<std::string> { "file:///a.docx", "file:///b.rtf" }));
    EXPECT_EQ(state.placeFor("file:///a.docx"), place) << "opening again keeps the place";
    EXPECT_EQ(state.placeFor("file:///b.rtf"), ReadingPlace {});
    EXPECT_FALSE(state.placeFor("file:///c.odt"));
    struct stat info;
    ASSERT_EQ(stat((folder / "lectorin").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "the folder is the user's alone";
    ASSERT_EQ(stat(state.file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // More documents than it keeps: the oldest go.
    for (std::size_t i = 0; i < ReadingState::kMaximumEntries + 5; ++i)
        ASSERT_TRUE(state.noteOpened("file:///many/" + std::to_string(i)));
    auto recent = state.recentDocuments(1000);
    ASSERT_EQ(recent.size(), ReadingState::kMaximumEntries);
    EXPECT_EQ(recent.front(), "file:///many/" + std::to_string(ReadingState::kMaximumEntries + 4));

    // A huge file is read only as far as the cap; the lines up to there count.
    std::string huge = header() + "1\tstep:2\t3\t0.5\tfile:///first\n";
    while (huge.size() < 2 * ReadingState::kMaximumBytes)
        huge += "garbage that is not a line of the state\n";
    testsupport::writeFile(state.file(), huge);
    EXPECT_EQ(state.recentDocuments(10), std::vector<std::string> { "file:///first" });

    // A link or a FIFO in the file's place is not read (a FIFO would block a reader that waited for it).
    std::filesystem::path elsewhere = folder / "elsewhere";
    testsupport::writeFile(elsewhere, header() + "1\tstep:2\t3\t0.5\tfile:///linked\n");
    std::filesystem::remove(state.file());
    std::filesystem::create_symlink(elsewhere, state.file());
    EXPECT_TRUE(state.recentDocuments(10).empty());
    std::filesystem::remove(state.file());
    ASSERT_EQ(mkfifo(state.file().c_str(), 0600), 0);
    EXPECT_TRUE(state.recentDocuments(10).empty());
    std::filesystem::remove(state.file());

    // XDG_STATE_HOME must be absolute; otherwise the state goes under the home folder.
    setenv("XDG_STATE_HOME", "relative/state", 1);
    EXPECT_EQ(ReadingState::defaultFile(), std::filesystem::path(getenv("HOME")) / ".local/state/lectorin/reading.state");
}

TEST(ReadingState, TheHeadlessCommandsNeitherReadNorWriteIt)
{
    std::filesystem::path folder = stateFolder();
    std::string output, errors;
    std::filesystem::path png = testsupport::temporaryFolder("headless") / "out.png";
    ASSERT_EQ(testsupport::runCommand("'" LECTORIN_EXE "' render '" LECTORIN_SOURCE_DIR "/resources/sample/report.rtf' -o '" + png.string() + "'", &output, &errors), 0) << errors;
    EXPECT_FALSE(std::filesystem::exists(folder / "lectorin"));
}

// `lectorin view` ended by a signal (a logout, kill) still closes its windows, so it remembers their places.
TEST(ReadingState, AViewEndedBySignalRemembersItsPlace)
{
    std::string reason;
    if (!startDisplay({}, &reason))
        GTEST_SKIP() << reason;
    std::filesystem::path folder = stateFolder();
    std::filesystem::path document = testsupport::temporaryFolder("signalled") / "one.rtf";
    testsupport::writeFile(document, "{\\rtf1 One page.\\par}");
    std::string url = "file://" + document.string();
    std::filesystem::path file = folder / "lectorin/reading.state";
    std::filesystem::create_directories(file.parent_path());
    // A place past the end: the view goes to the last page, and that is what it writes back.
    testsupport::writeFile(file, header() + "1\tstep:6\t9999\t0.5\t" + url + "\n");
    std::string pid, errors;
    ASSERT_EQ(testsupport::runCommand("GSK_RENDERER=cairo '" LECTORIN_EXE "' view '" + document.string() + "' >/dev/null 2>&1 & echo $!", &pid, &errors), 0);
    pid.erase(pid.find_last_not_of("\n") + 1);
    ASSERT_FALSE(pid.empty());
    auto line = [&] {
        auto entries = ReadingState(file).entries();
        return entries.empty() ? std::string() : ReadingState::format({ entries.front() });
    };
    // Opening moves the document's line to the front with a new date.
    EXPECT_TRUE(pollUntil([&] { return line().find("\n1\t") == std::string::npos && !line().empty(); }, 30s)) << line();
    std::string ignored;
    ASSERT_EQ(testsupport::runCommand("kill -TERM " + pid, &ignored), 0);
    EXPECT_TRUE(pollUntil([&] { return testsupport::runCommand("kill -0 " + pid + " 2>/dev/null", &ignored) != 0; }, 30s)) << "it ends";
    EXPECT_NE(line().find("\tstep:6\t0\t0\t" + url + "\n"), std::string::npos) << line();
}

class RememberingTest : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        if (m_skipped)
            return;
        m_folder = stateFolder();
        m_state = std::make_unique<ReadingState>(ReadingState::defaultFile());
    }
    void openRemembering(const std::vector<std::string>& pages)
    {
        hosts::DocumentWindow::Settings settings;
        settings.readingState = m_state.get();
        open(pages, settings);
    }
    kit::Rect visibleRect() const { return clipView().documentVisibleRect(); }

    std::filesystem::path m_folder;
    std::unique_ptr<ReadingState> m_state;
};

TEST_F(RememberingTest, TheZoomAndPlaceAreFoundAgainOnReopening)
{
    std::string url = m_server->url("/long.rtf");
    openRemembering({ url });
    EXPECT_EQ(m_state->recentDocuments(5), std::vector<std::string> { url }) << "opened, so recent";
    ASSERT_TRUE(activate("zoom-in"));
    PageNavigation::scrollToPage(pageView(), 4);
    clipView().scrollToPoint({ clipView().bounds().x(), clipView().bounds().y() + 150 });
    ASSERT_TRUE(settle());
    float top = visibleRect().minY();
    m_session.reset();
    ASSERT_TRUE(std::filesystem::exists(m_folder / "lectorin/reading.state"));
    auto place = m_state->placeFor(url);
    ASSERT_TRUE(place);
    EXPECT_EQ(place->page, 4u);
    EXPECT_EQ(place->zoomStep, 5);

    openRemembering({ url });
    EXPECT_EQ(pageView().zoomStep(), 5);
    EXPECT_EQ(document().reader()->zoomText(), "120%");
    EXPECT_NEAR(visibleRect().minY(), top, 1) << "the view's top is where it was";
    EXPECT_TRUE(waitUntil([&] { return document().reader()->indicatorText().rfind("Page 5 of", 0) == 0 || document().reader()->indicatorText().rfind("Page 6 of", 0) == 0; }))
        << document().reader()->indicatorText();

    // A fit is remembered as a fit, and holds.
    ASSERT_TRUE(gtk_widget_activate_action(GTK_WIDGET(hostWindow().gtkWindow()), "reader.fit-width", nullptr));
    m_session.reset();
    openRemembering({ url });
    EXPECT_EQ(pageView().zoomFit(), NRVLectorinMultiPageView::ZoomFit::Width);

    // Without a reading state (inline views, other hosts) a document starts at the standard step.
    m_session.reset();
    open({ url });
    EXPECT_EQ(pageView().zoomStep(), 4);
    EXPECT_EQ(pageView().zoomFit(), NRVLectorinMultiPageView::ZoomFit::None);
    EXPECT_NEAR(visibleRect().minY(), 0, 1);
}

TEST_F(RememberingTest, OpenRecentAndDropsAndTheFileChooserOpenWindows)
{
    std::filesystem::path folder = testsupport::temporaryFolder("documents");
    std::filesystem::path first = folder / "first_report.rtf", second = folder / "second.rtf";
    testsupport::writeFile(first, "{\\rtf1 First.\\par}");
    testsupport::writeFile(second, "{\\rtf1 Second.\\par}");
    openRemembering({ first.string() });
    m_session.reset();
    openRemembering({ second.string() });
    hosts::DocumentOpening* opening = document().opening();
    ASSERT_NE(opening, nullptr);
    opening->refreshRecentMenu();
    GMenuModel* recent = opening->recentMenu();
    ASSERT_EQ(g_menu_model_get_n_items(recent), 2);
    gchar* label = nullptr;
    ASSERT_TRUE(g_menu_model_get_item_attribute(recent, 1, G_MENU_ATTRIBUTE_LABEL, "s", &label));
    EXPECT_STREQ(label, "first__report.rtf") << "the file's name, its underscore not a mnemonic";
    g_free(label);

    // Open Recent: the older document in a window of its own.
    GVariant* document1 = g_menu_model_get_item_attribute_value(recent, 1, G_MENU_ATTRIBUTE_TARGET, G_VARIANT_TYPE_STRING);
    ASSERT_NE(document1, nullptr);
    ASSERT_TRUE(gtk_widget_activate_action_variant(GTK_WIDGET(hostWindow().gtkWindow()), "open.recent", document1));
    g_variant_unref(document1);
    auto windowFor = [&](const std::string& title) {
        return waitUntil([&] {
            for (const auto& window : m_session->windows()) {
                if (window->window().title() == title && window->plugin() && window->plugin()->downloadIsComplete())
                    return true;
            }
            return false;
        });
    };
    EXPECT_TRUE(windowFor("first_report.rtf"));
    EXPECT_EQ(m_session->windows().size(), 2u);

    // Ctrl+O, then the chooser answered with a file as the user would.
    EXPECT_TRUE(pressKey(opening->keyController(), GDK_KEY_o, GDK_CONTROL_MASK));
    ASSERT_NE(opening->openDialog(), nullptr);
    auto file = kit::adoptGRef(g_file_new_for_path(second.c_str()));
    ASSERT_TRUE(gtk_file_chooser_set_file(GTK_FILE_CHOOSER(opening->openDialog()), file.get(), nullptr));
    // The chooser selects the file once it has read the folder.
    EXPECT_TRUE(waitUntil([&] {
        auto chosen = kit::adoptGRef(gtk_file_chooser_get_file(GTK_FILE_CHOOSER(opening->openDialog())));
        return chosen && g_file_equal(chosen.get(), file.get());
    }));
    g_signal_emit_by_name(opening->openDialog(), "response", GTK_RESPONSE_ACCEPT);
    EXPECT_EQ(opening->openDialog(), nullptr);
    EXPECT_TRUE(waitUntil([&] { return m_session->windows().size() == 3u; }));
    // Cancelled, it opens nothing.
    EXPECT_TRUE(pressKey(opening->keyController(), GDK_KEY_o, GDK_CONTROL_MASK));
    g_signal_emit_by_name(opening->openDialog(), "response", GTK_RESPONSE_CANCEL);

    // Two files dropped on the window: two more windows.
    kit::GRefPtr<GFile> dropped[] = { kit::adoptGRef(g_file_new_for_path(first.c_str())), kit::adoptGRef(g_file_new_for_path(second.c_str())) };
    GFile* files[] = { dropped[0].get(), dropped[1].get() };
    GValue value = G_VALUE_INIT;
    g_value_init(&value, GDK_TYPE_FILE_LIST);
    g_value_take_boxed(&value, gdk_file_list_new_from_array(files, 2));
    gboolean handled = FALSE;
    g_signal_emit_by_name(opening->dropTarget(), "drop", &value, 10.0, 10.0, &handled);
    g_value_unset(&value);
    EXPECT_TRUE(handled);
    EXPECT_TRUE(waitUntil([&] { return m_session->windows().size() == 5u; })) << m_session->windows().size();
    EXPECT_TRUE(waitUntil([&] {
        for (const auto& window : m_session->windows()) {
            if (!window->plugin() || !window->plugin()->downloadIsComplete())
                return false;
        }
        return true;
    }));
}

class NightReadingTest : public ViewerTest { };

TEST_F(NightReadingTest, PagesTurnDarkWithLightTextAndPicturesStayAsTheyAre)
{
    std::filesystem::path path = testsupport::temporaryFolder("night") / "picture.rtf";
    testsupport::writeFile(path, "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs48 Dark text on a light page.\\par "
                                 "{\\pict\\pngblip\\picw40\\pich20\\picwgoal2880\\pichgoal1440 " + redPngHex(40, 20) + "}\\par "
                                 "More text after the picture.\\par}");
    open({ path.string() });
    hosts::NightReading& night = document().nightReading();
    auto pictures = night.pictureRects(pageView(), 0);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_NEAR(pictures[0].width(), 144, 0.5);
    EXPECT_NEAR(pictures[0].height(), 72, 0.5);

    kit::Rect page = pageView().pageRectForPageNumber(0);
    kit::Rect paperSpot = widgetRect(pageView(), { page.x() + 20, page.y() + 20, 1, 1 });
    kit::Rect pictureSpot = widgetRect(pageView(), { pictures[0].midX(), pictures[0].midY(), 1, 1 });
    kit::Rect textArea = widgetRect(pageView(), pageView().documentRectForPageNumber(0));
    kit::Rect outside = widgetRect(pageView(), { page.x() - 8, page.y() + 100, 1, 1 });
    auto at = [](const Frame& frame, kit::Rect spot) { return frame.at(int(spot.x()), int(spot.y())); };
    // The brightest and darkest pixels of the first line of text.
    auto textRange = [&](const Frame& frame) {
        int low = 255, high = 0;
        for (int y = int(textArea.y()); y < int(textArea.y()) + 30; ++y) {
            for (int x = int(textArea.x()); x < int(textArea.x()) + 200; ++x) {
                low = std::min(low, green(frame.at(x, y)));
                high = std::max(high, green(frame.at(x, y)));
            }
        }
        return std::pair { low, high };
    };

    Frame day = renderWidget(view().widget());
    EXPECT_TRUE(isColor(at(day, paperSpot), 1, 1, 1));
    EXPECT_TRUE(isColor(at(day, pictureSpot), 1, 0, 0));
    EXPECT_LT(textRange(day).first, 60) << "dark text";

    EXPECT_TRUE(pressKey(night.keyController(), GDK_KEY_i, GDK_CONTROL_MASK));
    EXPECT_TRUE(night.isOn());
    GVariant* state = g_action_get_state(night.action());
    ASSERT_NE(state, nullptr);
    EXPECT_TRUE(g_variant_get_boolean(state)) << "the menu's check mark follows";
    g_variant_unref(state);
    ASSERT_TRUE(settle());
    Frame dark = renderWidget(view().widget());
    float paper = hosts::NightReading::kPaper / 255.0f;
    EXPECT_TRUE(isColor(at(dark, paperSpot), paper, paper, paper)) << std::hex << at(dark, paperSpot);
    EXPECT_TRUE(isColor(at(dark, pictureSpot), 1, 0, 0)) << "the picture as it is";
    EXPECT_EQ(at(dark, outside), at(day, outside)) << "only the pages change";
    EXPECT_GT(textRange(dark).second, 180) << "light text";
    EXPECT_LE(textRange(dark).first, hosts::NightReading::kPaper + 1);

    // The views draw as they always do, so printing and saving never see night reading.
    kit::Size size = document().window().contentSize();
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(size.width), int(size.height));
    cairo_t* cr = cairo_create(surface);
    document().window().displayRect({ { 0, 0 }, size }, cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    auto* pixels = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface));
    int stride = cairo_image_surface_get_stride(surface) / 4;
    EXPECT_TRUE(isColor(pixels[int(paperSpot.y()) * stride + int(paperSpot.x())], 1, 1, 1));
    cairo_surface_destroy(surface);

    // Scrolling draws new pixels through the same filter; off again, the pages are white.
    clipView().scrollToPoint({ clipView().bounds().x(), clipView().bounds().y() + 40 });
    ASSERT_TRUE(settle());
    Frame scrolled = renderWidget(view().widget());
    kit::Rect movedSpot = widgetRect(pageView(), { page.x() + 20, page.y() + 60, 1, 1 });
    EXPECT_TRUE(isColor(at(scrolled, movedSpot), paper, paper, paper)) << "drawn once through the filter, not twice";
    ASSERT_TRUE(gtk_widget_activate_action(GTK_WIDGET(hostWindow().gtkWindow()), "view.night", nullptr));
    EXPECT_FALSE(night.isOn());
    ASSERT_TRUE(settle());
    EXPECT_TRUE(isColor(at(renderWidget(view().widget()), movedSpot), 1, 1, 1));
}

TEST(NightReading, LightnessTurnsOverAndHueStays)
{
    const struct {
        std::uint32_t day, night;
        const char* why;
    } cases[] = {
        { 0xFFFFFFFF, 0xFF1E1E1E, "white paper: dark grey" },
        { 0xFF000000, 0xFFDEDEDE, "black ink: light grey" },
        { 0xFFFF0000, 0xFFDE1E1E, "pure red keeps its lightness and hue" },
        { 0xFF00007F, 0xFF7E7EDE, "dark blue becomes light blue" },
        { 0xFFFFFF00, 0xFFDEDE1E, "the find highlight's yellow stays yellow" },
        { 0x00000000, 0x00000000, "transparent stays transparent" },
        { 0x80808080, 0x800F0F0F, "premultiplied half-transparent white" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(hosts::NightReading::nightPixel(c.day), c.night) << std::hex << hosts::NightReading::nightPixel(c.day);
    }
    // A row turned at once gives what each pixel gives alone, runs and changes of colour alike.
    std::vector<std::uint32_t> row;
    for (const auto& c : cases)
        row.insert(row.end(), { c.day, c.day, 0u, c.day });
    std::vector<std::uint32_t> turned = row;
    hosts::NightReading::turnPixels(turned.data(), int(turned.size()));
    for (std::size_t i = 0; i < row.size(); ++i)
        EXPECT_EQ(turned[i], hosts::NightReading::nightPixel(row[i])) << i;
}
