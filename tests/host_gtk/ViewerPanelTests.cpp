// The document commands that go through GTK's own dialogs: save, print, alerts, the colour panel of the
// preferences window, and the clipboard. Dialogs are found among the toplevel windows and answered as a
// user would, through their own response signals.
#include "ViewerFixture.h"
#include "kit/view/Alert.h"
#include "kit/view/Button.h"
#include "kit/view/ColorWell.h"
#include "preferences/LectorinPreferences.h"
#include "preferences/NRVLectorinAboutBoxController.h"
#include "preferences/NRVLectorinPreferencesController.h"
#include "support/TestSupport.h"

#include <fstream>

using namespace gtktest;

namespace {

bool isFileChooser(GtkWindow* window)
{
    return GTK_IS_FILE_CHOOSER_DIALOG(window);
}

// Clicks the middle of a kit view in a panel window, as the primary button would.
std::filesystem::path home()
{
    return g_get_home_dir();
}

// True once the chooser shows the folder: it loads folders in the background, and a folder asked for
// while another still loads cancels that load (GTK then reports an error and falls back to its parent).
bool chooserFolderIs(GtkWindow* chooser, const std::filesystem::path& folder)
{
    GFile* shown = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(chooser));
    if (!shown)
        return false;
    char* path = g_file_get_path(shown);
    bool same = path && std::filesystem::path(path) == folder;
    g_free(path);
    g_object_unref(shown);
    return same;
}

void click(hosts::KitViewWidget& widget, kit::View& view)
{
    kit::Rect base = view.convertRect(view.bounds(), nullptr);
    kit::Point middle = widget.widgetPointFromBase({ base.midX(), base.midY() });
    g_signal_emit_by_name(widget.primaryGesture(), "drag-begin", double(middle.x), double(middle.y));
    g_signal_emit_by_name(widget.primaryGesture(), "drag-end", 0.0, 0.0);
}

} // namespace

TEST_F(ViewerTest, SaveACopyRunsThroughTheFileChooserAsASheet)
{
    open({ m_server->url("/long.rtf") });
    std::filesystem::path folder = testsupport::temporaryFolder("save");
    ASSERT_TRUE(activate("save-copy"));
    // The command has returned; the chooser is up, attached to the document window.
    GtkWindow* chooser = waitForToplevel(isFileChooser);
    ASSERT_NE(chooser, nullptr) << "Save a Copy shows a file chooser";
    EXPECT_EQ(gtk_window_get_transient_for(chooser), hostWindow().gtkWindow());
    EXPECT_TRUE(gtk_window_get_modal(chooser));
    char* proposed = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(chooser));
    EXPECT_STREQ(proposed, "long.rtf") << "the response's file name is proposed";
    g_free(proposed);
    // The user goes to the folder and types a name without the extension. GTK 4.8 moves to the folder of a
    // file that does not exist yet, but puts only an existing file's name into the entry: the name is typed.
    ASSERT_TRUE(waitUntil([&] { return chooserFolderIs(chooser, home()); })) << "the chooser opens in the home folder";
    GFile* target = g_file_new_for_path((folder / "copy").c_str());
    EXPECT_TRUE(gtk_file_chooser_set_file(GTK_FILE_CHOOSER(chooser), target, nullptr));
    g_object_unref(target);
    ASSERT_TRUE(waitUntil([&] { return chooserFolderIs(chooser, folder); }));
    gtk_file_chooser_set_current_name(GTK_FILE_CHOOSER(chooser), "copy");
    gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_ACCEPT);
    std::filesystem::path saved = folder / "copy.rtf";
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(saved); })) << "the required extension is appended";
    EXPECT_EQ(testsupport::readText(saved), longDocumentRTF()) << "the downloaded bytes, unchanged";
    EXPECT_FALSE(std::filesystem::exists(folder / "copy")) << "nothing under the name as typed";

    // Cancelled, the chooser writes nothing.
    ASSERT_TRUE(activate("save-copy"));
    chooser = waitForToplevel(isFileChooser);
    ASSERT_NE(chooser, nullptr);
    ASSERT_TRUE(waitUntil([&] { return chooserFolderIs(chooser, home()); }));
    GFile* other = g_file_new_for_path((folder / "other.rtf").c_str());
    gtk_file_chooser_set_file(GTK_FILE_CHOOSER(chooser), other, nullptr);
    g_object_unref(other);
    gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_CANCEL);
    ASSERT_TRUE(waitUntil([&] { return !findToplevel(isFileChooser); }));
    EXPECT_FALSE(std::filesystem::exists(folder / "other.rtf"));
}

TEST_F(ViewerTest, PrintRunsAGtkPrintOperationIntoAPdf)
{
    open({ m_server->url("/long.rtf") });
    std::filesystem::path pdf = testsupport::temporaryFolder("print") / "printed.pdf";
    m_host->setPrintExportPath(pdf);
    ASSERT_TRUE(activate("print"));
    ASSERT_TRUE(waitUntil([&] { return std::filesystem::exists(pdf) && std::filesystem::file_size(pdf) > 1000; }, 30s));
    std::string info, text;
    ASSERT_EQ(testsupport::runCommand("pdfinfo '" + pdf.string() + "'", &info), 0);
    auto pages = info.find("Pages:");
    ASSERT_NE(pages, std::string::npos);
    int count = std::stoi(info.substr(pages + 6));
    EXPECT_GE(count, int(pageView().numberOfPages()) - 1) << "the whole text is printed";
    EXPECT_NE(info.find("612 x 792 pts"), std::string::npos) << "on the page view's Letter paper";
    ASSERT_EQ(testsupport::runCommand("pdftotext '" + pdf.string() + "' -", &text), 0);
    EXPECT_NE(text.find("Paragraph 1."), std::string::npos) << "as real text";
    EXPECT_NE(text.find("zanzibar"), std::string::npos);
    EXPECT_NE(text.find("Paragraph 150."), std::string::npos) << "to its last paragraph";
}

TEST_F(ViewerTest, AlertsRunAsModalMessageDialogs)
{
    open({ m_server->url("/long.rtf") });
    enum class Answer { First, Second, Close, Destroy };
    const struct {
        Answer answer;
        bool escapeButton; // the second button is "Cancel", which Escape presses
        int expected; // index returned
        const char* why;
    } cases[] = {
        { Answer::First, true, 0, "the first button" },
        { Answer::Second, true, 1, "the second button" },
        { Answer::Close, true, 1, "Escape (the dialog's close) chooses the Escape button" },
        { Answer::Close, false, 0, "without an Escape button closing chooses the first" },
        { Answer::Destroy, true, 1, "a destroyed dialog ends the nested loop too" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        kit::Alert alert;
        alert.setMessageText("Replace the file?");
        alert.setInformativeText("It exists already.");
        alert.addButtonWithTitle("Replace");
        alert.addButtonWithTitle(c.escapeButton ? "Cancel" : "Keep Both");
        struct Answering {
            Answer answer;
            bool found = false;
            bool defaultIsFirst = false;
            bool modalOnDocument = false;
            GtkWindow* document;
            int ticks = 0;
        } answering { c.answer, false, false, false, hostWindow().gtkWindow() };
        // The alert blocks in its own loop: the answer comes from a timer running inside it.
        g_timeout_add(20, +[](gpointer data) -> gboolean {
            auto* answering = static_cast<Answering*>(data);
            GtkWindow* dialog = findToplevel([](GtkWindow* w) { return GTK_IS_MESSAGE_DIALOG(w); });
            if (!dialog) {
                if (++answering->ticks < 500)
                    return G_SOURCE_CONTINUE;
                // Never hang the test: after ten seconds every message dialog goes, shown or not, which
                // ends the alert (found stays false).
                GList* toplevels = gtk_window_list_toplevels();
                for (GList* item = toplevels; item; item = item->next) {
                    if (GTK_IS_MESSAGE_DIALOG(item->data))
                        gtk_window_destroy(GTK_WINDOW(item->data));
                }
                g_list_free(toplevels);
                return G_SOURCE_REMOVE;
            }
            answering->found = true;
            answering->defaultIsFirst = gtk_window_get_default_widget(dialog) == gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 0);
            answering->modalOnDocument = gtk_window_get_modal(dialog) && gtk_window_get_transient_for(dialog) == answering->document;
            switch (answering->answer) {
            case Answer::First:
                gtk_dialog_response(GTK_DIALOG(dialog), 0);
                break;
            case Answer::Second:
                gtk_dialog_response(GTK_DIALOG(dialog), 1);
                break;
            case Answer::Close:
                gtk_window_close(dialog);
                break;
            case Answer::Destroy:
                gtk_window_destroy(dialog);
                break;
            }
            return G_SOURCE_REMOVE;
        }, &answering);
        gtk_window_present(hostWindow().gtkWindow());
        int chosen = alert.runModal() - kit::Alert::FirstButtonReturn;
        EXPECT_TRUE(answering.found);
        EXPECT_EQ(chosen, c.expected);
        EXPECT_TRUE(answering.defaultIsFirst) << "Return presses the first button";
        EXPECT_TRUE(answering.modalOnDocument);
    }
}

TEST_F(ViewerTest, PreferencesColourRecoloursEveryOpenDocument)
{
    open({ m_server->url("/long.rtf"), m_server->url("/page.html") });
    ASSERT_TRUE(activate("preferences"));
    auto& controller = NRVLectorinPreferencesController::sharedPreferencesController();
    ASSERT_NE(controller.window(), nullptr);
    hosts::HostWindow* panel = m_host->hostWindow(*controller.window());
    ASSERT_NE(panel, nullptr) << "the preferences window is a GTK window of its own";
    EXPECT_EQ(panel->kind(), hosts::HostWindow::Kind::Panel);
    EXPECT_TRUE(panel->isShown());
    EXPECT_STREQ(gtk_window_get_title(panel->gtkWindow()), "Lectorin Preferences");
    GtkWidget* titlebar = gtk_window_get_titlebar(panel->gtkWindow());
    ASSERT_TRUE(titlebar && GTK_IS_HEADER_BAR(titlebar)) << "the title shows without a window manager too";
    EXPECT_STREQ(gtk_header_bar_get_decoration_layout(GTK_HEADER_BAR(titlebar)), ":close") << "a panel is closed, not minimised";
    ASSERT_TRUE(waitForPaints(panel->view().widget()));

    click(panel->view(), *controller.backgroundColorWell());
    GtkWindow* chooser = waitForToplevel([](GtkWindow* w) { return GTK_IS_COLOR_CHOOSER_DIALOG(w); });
    ASSERT_NE(chooser, nullptr) << "the colour well opens the colour panel";
    EXPECT_TRUE(gtk_color_chooser_get_use_alpha(GTK_COLOR_CHOOSER(chooser)));
    GdkRGBA shown;
    gtk_color_chooser_get_rgba(GTK_COLOR_CHOOSER(chooser), &shown);
    kit::Color before = readBackgroundColorPreference();
    EXPECT_NEAR(shown.red, before.red(), 0.01) << "starting at the current colour";
    GdkRGBA picked { 0.8f, 0.2f, 0.1f, 1 };
    gtk_color_chooser_set_rgba(GTK_COLOR_CHOOSER(chooser), &picked);
    gtk_dialog_response(GTK_DIALOG(chooser), GTK_RESPONSE_OK);

    kit::Color stored = readBackgroundColorPreference();
    EXPECT_NEAR(stored.red(), 0.8, 0.01) << "the colour is stored";
    for (std::size_t index = 0; index < 2; ++index) {
        SCOPED_TRACE(index);
        EXPECT_NEAR(plugin(index).backgroundColor().red(), 0.8, 0.01);
        ASSERT_TRUE(settle(index));
        Frame frame = renderWidget(view(index).widget());
        kit::Rect page = widgetRect(pageView(index), pageView(index).pageRectForPageNumber(0));
        EXPECT_TRUE(isColor(frame.at(int(page.minX()) / 2, int(page.minY()) + 100), 0.8f, 0.2f, 0.1f))
            << "every open document shows the new colour at once";
    }

    kit::Button* autoUpdate = controller.autoUpdateButton();
    ASSERT_NE(autoUpdate, nullptr);
    int state = autoUpdate->state();
    click(panel->view(), *autoUpdate);
    EXPECT_NE(autoUpdate->state(), state) << "a click switches the check box";
    EXPECT_EQ(readAutoUpdatePreference(), autoUpdate->state() == kit::Button::OnState) << "and stores it";

    gboolean stopped = FALSE;
    g_signal_emit_by_name(panel->gtkWindow(), "close-request", &stopped);
    EXPECT_FALSE(panel->isShown()) << "closing hides the panel; its controller keeps the window";
    ASSERT_TRUE(activate("preferences"));
    EXPECT_TRUE(panel->isShown()) << "and shows it again";

    ASSERT_TRUE(activate("about"));
    auto& about = NRVLectorinAboutBoxController::sharedAboutBoxController();
    ASSERT_NE(about.window(), nullptr);
    hosts::HostWindow* aboutPanel = m_host->hostWindow(*about.window());
    ASSERT_NE(aboutPanel, nullptr);
    EXPECT_TRUE(aboutPanel->isShown());
    EXPECT_STREQ(gtk_window_get_title(aboutPanel->gtkWindow()), "About Lectorin");
    ASSERT_TRUE(waitForPaints(aboutPanel->view().widget()));
    EXPECT_EQ(gtk_widget_get_width(aboutPanel->view().widget()), int(about.window()->contentSize().width));
}

TEST_F(ViewerTest, CopyPutsTheSelectedTextOnTheClipboard)
{
    open({ m_server->url("/long.rtf") });
    ASSERT_TRUE(activate("select-all"));
    ASSERT_TRUE(activate("copy"));
    GdkClipboard* clipboard = gdk_display_get_clipboard(gdk_display_get_default());
    struct Read {
        bool done = false;
        std::string text;
    } read;
    gdk_clipboard_read_text_async(clipboard, nullptr, [](GObject* source, GAsyncResult* result, gpointer data) {
        auto* read = static_cast<Read*>(data);
        if (char* text = gdk_clipboard_read_text_finish(GDK_CLIPBOARD(source), result, nullptr)) {
            read->text = text;
            g_free(text);
        }
        read->done = true;
    }, &read);
    ASSERT_TRUE(waitUntil([&] { return read.done; }));
    EXPECT_EQ(read.text.rfind(longDocumentText(1), 0), 0u) << read.text.substr(0, 80);
    EXPECT_NE(read.text.find(longDocumentText(150)), std::string::npos) << "to the end";
}

TEST_F(ViewerTest, AHostPageShowsItsEmbeddedDocumentFillingTheWindow)
{
    open({ m_server->url("/page.html") });
    EXPECT_EQ(document().src(), m_server->url("/long.rtf"));
    EXPECT_STREQ(gtk_window_get_title(hostWindow().gtkWindow()), "long.rtf");
    const kit::Value* attributes = plugin().pluginArguments().get(WebPlugInAttributesKey);
    ASSERT_NE(attributes, nullptr);
    EXPECT_EQ(*attributes->get("data-note")->asString(), "kept") << "the element's attributes reach the plug-in view";
    EXPECT_EQ(*plugin().pluginArguments().get(WebPlugInBaseURLKey)->asString(), m_server->url("/page.html"));
    EXPECT_EQ(plugin().frame(), (kit::Rect { { 0, 0 }, document().window().contentSize() })) << "it fills the window, not 600 x 400";
}

TEST_F(ViewerTest, EmbedChoosesAmongThePagesDocumentsWithItsBaseURL)
{
    hosts::DocumentWindow::Settings second;
    second.embed = 2;
    open({ m_server->url("/two.html") }, second);
    EXPECT_EQ(document().src(), m_server->url("/long.rtf")) << "../long.rtf against <base href=/docs/>";
    EXPECT_EQ(*plugin().pluginArguments().get(WebPlugInBaseURLKey)->asString(), m_server->url("/docs/"));
}

TEST_F(ViewerTest, AWebPageDeclaringAFileBaseGetsNoLocalFile)
{
    auto folder = testsupport::temporaryFolder("secret");
    testsupport::writeFile(folder / "notes.rtf", "{\\rtf1\\ansi Private notes.\\par}");
    std::string page = "<html><head><base href=\"file:///\"></head><body><embed src=\""
        + (folder / "notes.rtf").string().substr(1) + "\" type=\"application/rtf\"></body></html>";
    nettest::LoopbackServer attacker([&](httplib::Server& s) {
        s.Get("/attack.html", [&](const httplib::Request&, httplib::Response& r) { r.set_content(page, "text/html"); });
    });
    m_session = std::make_unique<hosts::ViewerSession>(
        *m_host, std::vector<std::string> { attacker.url("/attack.html") }, hosts::DocumentWindow::Settings {});
    ASSERT_TRUE(
        waitUntil([&] { return !m_session->windows().empty() && document().plugin() && !plugin().isLoading(); }));
    EXPECT_EQ(document().src(), kit::URL::fileURL((folder / "notes.rtf").string()).absoluteString())
        << "resolved against the base";
    EXPECT_EQ(*plugin().pluginArguments().get(WebPlugInPageURLKey)->asString(), attacker.url("/attack.html"));
    EXPECT_TRUE(plugin().hasFailed());
    EXPECT_FALSE(plugin().errorDisplay()->isHidden());
    EXPECT_EQ(plugin().rawData(), nullptr) << "not a byte of the file";
}

TEST_F(ViewerTest, AMissingEmbeddedDocumentClosesItsWindowWithAReason)
{
    hosts::DocumentWindow::Settings third;
    third.embed = 3;
    m_session = std::make_unique<hosts::ViewerSession>(*m_host, std::vector<std::string> { m_server->url("/two.html") }, third);
    bool over = false;
    m_session->setOverHandler([&] { over = true; });
    ASSERT_TRUE(waitUntil([&] { return over; }));
    EXPECT_TRUE(m_session->hadErrors());
}

TEST_F(ViewerTest, ClosingTheLastDocumentWindowEndsTheSession)
{
    open({ m_server->url("/long.rtf"), m_server->url("/page.html") });
    bool over = false;
    m_session->setOverHandler([&] { over = true; });
    ASSERT_TRUE(activate("close", 1));
    ASSERT_TRUE(waitUntil([&] { return m_session->windows().size() == 1; }));
    EXPECT_FALSE(over);
    gboolean stopped = FALSE;
    g_signal_emit_by_name(hostWindow(0).gtkWindow(), "close-request", &stopped);
    EXPECT_TRUE(stopped) << "the window waits for its document to go";
    ASSERT_TRUE(waitUntil([&] { return over; }));
    EXPECT_TRUE(m_session->windows().empty());
    EXPECT_FALSE(m_session->hadErrors());
}

// On a screen smaller than the window asks for, the window keeps to the work area.
class SmallScreenViewerTest : public ViewerTest {
protected:
    DisplaySettings displaySettings() const override { return { 1024, 768, 1 }; }
};

TEST_F(SmallScreenViewerTest, TheWindowIsLimitedToTheWorkArea)
{
    open({ m_server->url("/long.rtf") });
    GtkWidget* widget = view().widget();
    EXPECT_EQ(gtk_widget_get_width(widget), 900);
    int header = int(hostWindow().chromeSize().height);
    EXPECT_GT(header, 20) << "the header bar";
    EXPECT_EQ(gtk_widget_get_height(widget), 768 - header);
}

// With GDK_SCALE=2 the backing store has twice the pixels, and a page edge falls on a device pixel.
class HiDPIViewerTest : public ViewerTest {
protected:
    DisplaySettings displaySettings() const override { return { 1600, 1400, 2 }; }
};

TEST_F(HiDPIViewerTest, DrawsAtTheMonitorsScaleFactor)
{
    open({ m_server->url("/long.rtf") });
    const hosts::BackingStore& store = view().backingStore();
    ASSERT_EQ(store.scale(), 2);
    EXPECT_EQ(store.pixelWidth(), 2 * gtk_widget_get_width(view().widget()));
    EXPECT_EQ(m_host->mainDisplay().widthPixels, 800) << "display widths are logical pixels";
    kit::Rect page = widgetRect(pageView(), pageView().pageRectForPageNumber(0));
    int edge = int(std::round(page.minX() * 2)), y = int(std::round((page.minY() + 30) * 2));
    ASSERT_EQ(float(edge), page.minX() * 2) << "pages lie on whole points";
    EXPECT_TRUE(isColor(store.pixelAt(edge, y) | 0xFF000000u, 1, 1, 1)) << "the first device pixel of the page is white";
    EXPECT_FALSE(isColor(store.pixelAt(edge - 1, y) | 0xFF000000u, 1, 1, 1, 20)) << "the one before is not: no half-pixel blur";
}
