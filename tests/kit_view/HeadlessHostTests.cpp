#include "support/TestSupport.h"
#include "kit/foundation/RunLoop.h"
#include "kit/host/HeadlessHost.h"
#include "kit/view/Alert.h"
#include "kit/view/Window.h"

#include <chrono>
#include <gtest/gtest.h>

using namespace kit;
using namespace std::chrono_literals;

namespace {

struct CurrentHost {
    HeadlessHost host;
    CurrentHost()
    {
        host.setEchoesToStandardError(false);
        Host::setCurrent(&host);
    }
    ~CurrentHost() { Host::setCurrent(nullptr); }
};

// The alert of a new release: the second button answers Escape.
void fillNewVersionAlert(Alert& alert)
{
    alert.setMessageText("A new version is available");
    alert.addButtonWithTitle("More Info...");
    alert.addButtonWithTitle("Update Later").setKeyEquivalent("\x1b");
}

class CountingJob : public PrintJob {
public:
    std::string jobName() const override { return "report"; }
    Size paperSize() const override { return { 612, 792 }; }
    int pageCount() override { return 3; }
    void drawPage(int, cairo_t* context) override
    {
        ++drawn;
        cairo_rectangle(context, 72, 72, 100, 100);
        cairo_fill(context);
    }
    int drawn = 0;
};

} // namespace

TEST(Alert, ReturnAndEscapeChooseTheirButtons)
{
    const struct {
        std::vector<std::string> answers;
        bool escapeButton;
        int expected;
        const char* why;
    } cases[] = {
        { { "Return" }, true, 1000, "Return is the first button" },
        { { "Escape" }, true, 1001, "Escape is the button given the Escape key" },
        { { "Update Later" }, true, 1001, "by title" },
        { {}, true, 1001, "unscripted: the Escape button" },
        { {}, false, 1000, "unscripted without an Escape button: the first" },
        { { "Escape" }, false, 1000, "Escape without such a button: the first, as unscripted" },
        { { "No Such Button" }, true, 1001, "an unknown title: as unscripted" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CurrentHost current;
        for (const auto& answer : c.answers)
            current.host.queueAlertAnswer(answer);
        Alert alert;
        if (c.escapeButton) {
            fillNewVersionAlert(alert);
        } else {
            alert.setMessageText("Up to date");
            alert.addButtonWithTitle("OK");
            alert.addButtonWithTitle("Details");
        }
        EXPECT_EQ(alert.runModal(), c.expected);
        ASSERT_EQ(current.host.transcript().size(), 1u);
        EXPECT_NE(current.host.transcript()[0].find(alert.buttons()[c.expected - 1000]->title()), std::string::npos)
            << current.host.transcript()[0];
    }

    Alert cancel;
    cancel.addButtonWithTitle("OK");
    cancel.addButtonWithTitle("Cancel");
    EXPECT_EQ(cancel.buttonIndexForKeyEquivalent("\x1b"), 1) << "a button titled Cancel answers Escape";
    EXPECT_EQ(cancel.buttonIndexForKeyEquivalent("\r"), 0);
}

TEST(Alert, RunLoopIsDrainedBeforeTheAnswer)
{
    CurrentHost current;
    bool ran = false;
    RunLoop::post([&] { ran = true; });
    Alert alert;
    fillNewVersionAlert(alert);
    current.host.queueAlertAnswer("Return");
    EXPECT_EQ(alert.runModal(), 1000);
    EXPECT_TRUE(ran) << "what was ready ran before the user could answer";
    EXPECT_EQ(current.host.alertMessages(), (std::vector<std::string> { "A new version is available" }));
}

TEST(HeadlessHost, SheetsAnswerFromTheirQueuesOnTheRunLoop)
{
    CurrentHost current;
    auto folder = testsupport::temporaryFolder("sheets");
    std::vector<std::pair<int, std::string>> saves;
    auto record = [&](int code, std::string path) { saves.emplace_back(code, std::move(path)); };

    current.host.queueSaveAnswer(folder / "report.doc");
    current.host.queueSaveAnswer(folder / "notes");
    current.host.queueSaveAnswer(std::nullopt);
    SavePanelOptions options { "report.doc", "doc", true };
    current.host.beginSavePanel(nullptr, options, record);
    EXPECT_TRUE(saves.empty()) << "a sheet returns at once and answers later";
    current.host.beginSavePanel(nullptr, options, record);
    current.host.beginSavePanel(nullptr, options, record);
    current.host.beginSavePanel(nullptr, options, record); // nothing left: cancels
    ASSERT_TRUE(RunLoop::runUntil([&] { return saves.size() == 4; }, 2000ms));
    EXPECT_EQ(saves[0], std::make_pair(SavePanelOKButton, (folder / "report.doc").string()));
    EXPECT_EQ(saves[1], std::make_pair(SavePanelOKButton, (folder / "notes.doc").string())) << "the required extension is added";
    EXPECT_EQ(saves[2], std::make_pair(SavePanelCancelButton, std::string()));
    EXPECT_EQ(saves[3], std::make_pair(SavePanelCancelButton, std::string()));

    auto job = std::make_shared<CountingJob>();
    std::vector<bool> printed;
    current.host.setPrintOutputPath(folder / "out.pdf");
    current.host.queuePrintAnswer(true);
    current.host.runPrintPanel(nullptr, PrintPanelShowsPaperSize | PrintPanelShowsPreview, job,
        [&](bool ok) { printed.push_back(ok); });
    current.host.runPrintPanel(nullptr, 0, job, [&](bool ok) { printed.push_back(ok); });
    ASSERT_TRUE(RunLoop::runUntil([&] { return printed.size() == 2; }, 5000ms));
    EXPECT_EQ(printed, (std::vector<bool> { true, false }));
    EXPECT_EQ(job->drawn, 3) << "every page once, and nothing for the cancelled panel";
    std::string pdf = testsupport::readText(folder / "out.pdf");
    EXPECT_EQ(pdf.substr(0, 5), "%PDF-");

    EXPECT_EQ(current.host.transcript().back(), "print panel \"report\": cancel");
    EXPECT_EQ(current.host.transcript().size(), 6u) << "every answer is echoed";
}

TEST(HeadlessHost, DisplayBeepClipboardAndURLs)
{
    CurrentHost current;
    EXPECT_FALSE(current.host.mainDisplay().present) << "no display unless one is given";
    const struct {
        const char* option;
        std::optional<DisplayInfo> expected;
    } cases[] = {
        { "1440x900@381x238", DisplayInfo { true, 1440, 900, 381, 238 } },
        { "1920x1080@0x0", DisplayInfo { true, 1920, 1080, 0, 0 } },
        { "0x900@381x238", std::nullopt },
        { "1440x900", std::nullopt },
        { "1440x900@381x238x", std::nullopt },
        { "-1440x900@381x238", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(HeadlessHost::parseDisplayOption(c.option), c.expected) << c.option;
    current.host.setDisplay(HeadlessHost::parseDisplayOption("1440x900@381x238"));
    EXPECT_EQ(current.host.mainDisplay().widthMillimetres, 381);

    Host::current().beep();
    Host::current().beep();
    EXPECT_EQ(current.host.beepCount(), 2);
    Host::current().setClipboardText("copied");
    EXPECT_EQ(current.host.clipboardText(), "copied");
    testing::internal::CaptureStdout();
    Host::current().openURL("http://127.0.0.1/lectorin/");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "open URL http://127.0.0.1/lectorin/\n");
}

TEST(HeadlessHost, WindowImagesStayWithinCairosLimit)
{
    CurrentHost current;
    Window wide({ 40000, 20 });
    auto path = testsupport::temporaryFolder("wide") / "wide.png";
    auto written = current.host.writeWindowPNG(wide, path, 1);
    ASSERT_TRUE(written.ok()) << written.error();
    EXPECT_EQ(written.value().width, 32767) << "the scale is lowered to fit";
    testsupport::Image image = testsupport::readPng(path);
    EXPECT_EQ(image.width, 32767);
    EXPECT_FALSE(current.host.writeWindowPNG(wide, path, 0).ok()) << "a scale of 0 is refused";

    Window shown({ 10, 10 });
    EXPECT_FALSE(current.host.isShown(shown));
    shown.makeKeyAndOrderFront(nullptr);
    EXPECT_TRUE(current.host.isShown(shown));
    EXPECT_EQ(current.host.windows().size(), 2u);
}
