#include "PluginTestSupport.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextStorage.h"
#include "kit_net/LoopbackServer.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "support/PdfReadBack.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> corpusDocuments()
{
    std::vector<std::string> names;
    for (const auto& path : testsupport::corpusFiles({ "doc", "docx", "rtf", "odt", "html", "html4", "html5", "txt" }))
        names.push_back(path.filename().string());
    return names;
}

class PaginationCorpus : public testing::TestWithParam<std::string> { };

} // namespace

// A document downloaded and shown as a reader gets it: the page view must hold every character on some
// page and as many pages as printing the same document makes.
TEST_P(PaginationCorpus, ViewShowsEveryCharacterOnAsManyPagesAsPrinting)
{
    std::string bytes = testsupport::readText(testsupport::corpusPath(GetParam()));
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get("/document",
            [&](const httplib::Request&, httplib::Response& r) { r.set_content(bytes, "application/octet-stream"); });
    });
    ASSERT_TRUE(server.isValid());
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(server.url("/document")));
    ASSERT_TRUE(f.waitUntilLoaded());
    NRVLectorinMultiPageView* pageView = plugin.pageView();
    ASSERT_NE(pageView, nullptr);
    kit::TextStorage* storage = pageView->textStorage();
    if (!storage || storage->length() == 0)
        GTEST_SKIP() << "the importer made no text of it";

    kit::LayoutManager* layout = pageView->layoutManager();
    ASSERT_EQ(layout->textContainers().size(), pageView->numberOfPages());
    // Ranges of split table rows overlap, so coverage is checked on their union.
    std::vector<kit::Range> ranges;
    for (const auto& container : layout->textContainers())
        ranges.push_back(layout->glyphRangeForTextContainer(*container));
    std::sort(ranges.begin(), ranges.end(), [](kit::Range a, kit::Range b) { return a.location < b.location; });
    std::size_t covered = 0;
    for (kit::Range range : ranges) {
        if (range.length == 0)
            continue;
        EXPECT_LE(range.location, covered) << "bytes " << covered << "-" << range.location << " are on no page";
        covered = std::max(covered, range.end());
    }
    EXPECT_EQ(covered, storage->length()) << "the text's end is on no page";
    EXPECT_TRUE(layout->textEndsInOrBeforeTextContainer(*layout->textContainers().back()));

    auto pdf = testsupport::temporaryFolder("corpus-print") / "out.pdf";
    f.host.setPrintOutputPath(pdf);
    f.host.queuePrintAnswer(true);
    plugin.print(nullptr);
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return std::filesystem::exists(pdf); }, std::chrono::seconds(120)));
    kit::RunLoop::drain();
    EXPECT_EQ(testsupport::pdfPages(pdf), int(pageView->numberOfPages()));
}

INSTANTIATE_TEST_SUITE_P(Corpus, PaginationCorpus, testing::ValuesIn(corpusDocuments()),
    [](const testing::TestParamInfo<std::string>& info) {
        std::string name;
        for (char c : info.param)
            name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        return name;
    });
