#include "PrintPanelHost.h"
#include "kit/foundation/RunLoop.h"
#include "kit/host/HeadlessHost.h"
#include "kit/print/PrintOperation.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextView.h"
#include "kit/view/Window.h"
#include "support/Cases.h"
#include "support/PdfReadBack.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace kit;
using namespace testsupport;
using namespace std::chrono_literals;

namespace {

Attributes roman(float size = 12)
{
    Attributes a;
    a.fontFamily = "Times New Roman";
    a.fontSize = size;
    return a;
}

// A text view one text area wide holding text, as the print command makes it.
std::unique_ptr<TextView> textViewWith(const std::string& text, float width = 468)
{
    auto view = std::make_unique<TextView>(Rect { 0, 0, width, 648 });
    view->textStorage()->append(text, roman());
    return view;
}

std::string numberedParagraphs(int count)
{
    std::string text;
    for (int i = 1; i <= count; ++i)
        text += "Paragraph number " + std::to_string(i) + " of the printed document.\n";
    return text;
}

std::shared_ptr<PrintInfo> letterWithInchMargins()
{
    auto info = std::make_shared<PrintInfo>();
    info->setPaperSize({ 612, 792 });
    info->setLeftMargin(72);
    info->setRightMargin(72);
    info->setTopMargin(72);
    info->setBottomMargin(72);
    info->setHorizontalPagination(PrintInfo::Pagination::Fit);
    info->setHorizontallyCentered(false);
    info->setVerticallyCentered(false);
    return info;
}

} // namespace

TEST(PrintOperation, WritesEveryPageAsSelectableTextWithEmbeddedFonts)
{
    auto view = textViewWith(numberedParagraphs(150));
    auto operation = PrintOperation::printOperationWithView(*view, letterWithInchMargins());
    auto pdf = testsupport::temporaryFolder("print") / "out.pdf";
    auto written = operation->writePDF(pdf);
    ASSERT_TRUE(written.ok()) << written.error();
    int pages = *written;
    EXPECT_EQ(pages, operation->pageCount());
    EXPECT_GE(pages, 3) << "150 lines of 13.8 points need more than two 648-point pages";
    EXPECT_EQ(pdfPages(pdf), pages);
    EXPECT_EQ(pdfPaper(pdf), "612 x 792");
    std::string all = pdfText(pdf);
    EXPECT_NE(all.find("Paragraph number 1 of the printed document."), std::string::npos);
    EXPECT_NE(all.find("Paragraph number 150 of"), std::string::npos);
    std::string second = pdfText(pdf, 2);
    EXPECT_EQ(second.find("Paragraph number 1 of"), std::string::npos) << "page 2 holds its own lines only";
    EXPECT_NE(second.find("Paragraph number 60 of"), std::string::npos);
    std::string fonts;
    ASSERT_EQ(runCommand("pdffonts '" + pdf.string() + "'", &fonts), 0);
    EXPECT_NE(fonts.find("LiberationSerif"), std::string::npos);
    EXPECT_EQ(fonts.find(" no  "), std::string::npos) << "every font embedded:\n" << fonts;
}

TEST(PrintOperation, LaysAPageOutWhenItIsAskedForSoThatTheFirstIsWrittenBeforeTheLast)
{
    auto view = textViewWith(numberedParagraphs(400));
    auto operation = PrintOperation::printOperationWithView(*view, letterWithInchMargins());
    EXPECT_FALSE(operation->hasPage(-1));
    EXPECT_TRUE(operation->hasPage(0));
    EXPECT_EQ(operation->laidOutPageCount(), 1) << "the first page alone";
    EXPECT_TRUE(operation->hasPage(2));
    EXPECT_EQ(operation->laidOutPageCount(), 3);
    int pages = operation->pageCount();
    EXPECT_GE(pages, 8);
    EXPECT_EQ(operation->laidOutPageCount(), pages);
    EXPECT_TRUE(operation->hasPage(pages - 1));
    EXPECT_FALSE(operation->hasPage(pages));

    // A second operation written page by page as it lays them out prints the same pages.
    auto again = PrintOperation::printOperationWithView(*view, letterWithInchMargins());
    auto pdf = testsupport::temporaryFolder("print") / "streamed.pdf";
    auto written = again->writePDF(pdf);
    ASSERT_TRUE(written.ok()) << written.error();
    EXPECT_EQ(*written, pages);
    EXPECT_EQ(pdfPages(pdf), pages);
    EXPECT_NE(pdfText(pdf, pages).find("Paragraph number 400 of"), std::string::npos) << "the last line on the last page";
}

TEST(PrintOperation, EmptyTextPrintsOneBlankPage)
{
    auto view = textViewWith("");
    auto operation = PrintOperation::printOperationWithView(*view, letterWithInchMargins());
    auto pdf = testsupport::temporaryFolder("print") / "empty.pdf";
    ASSERT_TRUE(operation->writePDF(pdf).ok());
    EXPECT_EQ(pdfPages(pdf), 1);
    EXPECT_EQ(pdfText(pdf).find_first_not_of(" \n\f"), std::string::npos);
}

TEST(PrintOperation, MarginsPaperAndPageBreaksComeFromTheText)
{
    auto info = letterWithInchMargins();
    info->setPaperSize({ 595.2756f, 841.8898f });
    info->setLeftMargin(100);
    info->setTopMargin(50);
    auto view = textViewWith("First page\fSecond page\fThird page", 595.2756f - 100 - 72);
    auto operation = PrintOperation::printOperationWithView(*view, info);
    auto pdf = testsupport::temporaryFolder("print") / "a4.pdf";
    ASSERT_TRUE(operation->writePDF(pdf).ok());
    EXPECT_EQ(pdfPages(pdf), 3) << "one page per page break";
    EXPECT_EQ(pdfPaper(pdf), "595.276 x 841.89");
    EXPECT_NE(pdfText(pdf, 3).find("Third page"), std::string::npos);
    auto words = pdfWords(pdf);
    ASSERT_FALSE(words.empty());
    EXPECT_EQ(words[0].text, "First");
    EXPECT_NEAR(words[0].xMin, 100, 1) << "the left margin";
    EXPECT_GT(words[0].yMin, 50);
    EXPECT_LT(words[0].yMin, 50 + 14) << "the first line just below the top margin";
}

TEST(PrintOperation, WideViewIsScaledDownToTheTextWidth)
{
    std::string line = "A long line of text that runs across a view twice as wide as the paper allows for.";
    auto view = textViewWith(line + "\n", 936);
    auto operation = PrintOperation::printOperationWithView(*view, letterWithInchMargins());
    EXPECT_FLOAT_EQ(operation->scale(), 0.5f);
    auto pdf = testsupport::temporaryFolder("print") / "wide.pdf";
    ASSERT_TRUE(operation->writePDF(pdf).ok());
    auto words = pdfWords(pdf);
    ASSERT_GE(words.size(), 10u);
    double right = 0;
    for (const auto& word : words)
        right = std::max(right, word.xMax);
    EXPECT_NEAR(words.front().xMin, 72, 1);
    EXPECT_LE(right, 540) << "the whole line fits the text width";
    EXPECT_LT(words.front().yMax - words.front().yMin, 9) << "drawn at half its size";

    auto narrow = textViewWith(line, 300);
    EXPECT_FLOAT_EQ(PrintOperation::printOperationWithView(*narrow, letterWithInchMargins())->scale(), 1)
        << "never scaled up";
}

TEST(PrintOperation, RunsAsASheetThroughTheHostsPrintPanel)
{
    PrintPanelHost host;
    host.setEchoesToStandardError(false);
    Host::setCurrent(&host);
    auto pdf = testsupport::temporaryFolder("print") / "panel.pdf";
    host.setPrintOutputPath(pdf);
    Window window;
    window.setTitle("report.doc");

    const testsupport::Case<bool, bool> cases[] = {
        { false, false, "cancelled: nothing printed" },
        { true, true, "confirmed: the host prints the pages" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::filesystem::remove(pdf);
        host.queuePrintAnswer(c.input);
        std::optional<bool> result;
        {
            // The temporary view is handed over: the operation alone keeps it alive from here on.
            auto operation
                = PrintOperation::printOperationWithView(textViewWith(numberedParagraphs(80)), letterWithInchMargins());
            EXPECT_EQ(operation->printPanelOptions(), unsigned(PrintPanelShowsCopies | PrintPanelShowsPageRange))
                << "a panel's own by default";
            operation->setPrintPanelOptions(PrintPanelShowsCopies | PrintPanelShowsScaling);
            if (c.input)
                PrintOperation::runOperationModalForWindow(
                    std::move(operation), &window, [&](bool success) { result = success; });
            else
                operation->runOperationModalForWindow(&window, [&](bool success) { result = success; });
            EXPECT_FALSE(result.has_value()) << "a sheet: the call returns before the panel ends";
        }
        EXPECT_EQ(host.lastOptions, unsigned(PrintPanelShowsCopies | PrintPanelShowsScaling))
            << "the panel offers what the operation asks for";
        ASSERT_TRUE(RunLoop::runUntil([&] { return result.has_value(); }, 10s));
        EXPECT_EQ(*result, c.expected);
        EXPECT_EQ(std::filesystem::exists(pdf), c.expected);
        if (c.expected) {
            EXPECT_EQ(pdfPages(pdf), 2);
            EXPECT_NE(pdfText(pdf).find("Paragraph number 80"), std::string::npos);
        }
    }
    ASSERT_EQ(host.transcript().size(), 2u);
    EXPECT_NE(host.transcript()[1].find("report.doc"), std::string::npos) << "the job is named after the window";
    Host::setCurrent(nullptr);
}

TEST(PrintOperation, PrintsOtherViewsInPageTallSlices)
{
    class Stripes : public View {
    public:
        using View::View;
        bool isFlipped() const override { return true; }
        void drawRect(cairo_t* cr, Rect) override
        {
            cairo_set_source_rgb(cr, 0, 0, 0);
            cairo_rectangle(cr, 0, 0, 100, 10);
            cairo_fill(cr);
        }
    };
    Stripes view({ 0, 0, 200, 1500 });
    auto operation = PrintOperation::printOperationWithView(view, letterWithInchMargins());
    EXPECT_EQ(operation->pageCount(), 3) << "1500 points in pages of 648";
    EXPECT_EQ(operation->pageRectInView(1), (Rect { 0, 648, 200, 648 }));
    auto pdf = testsupport::temporaryFolder("print") / "view.pdf";
    ASSERT_TRUE(operation->writePDF(pdf).ok());
    EXPECT_EQ(pdfPages(pdf), 3);
}

TEST(PrintOperation, UnwritablePathFails)
{
    auto view = textViewWith("text");
    auto operation = PrintOperation::printOperationWithView(*view, letterWithInchMargins());
    auto written = operation->writePDF("/nonexistent-folder/out.pdf");
    EXPECT_FALSE(written.ok());
}
