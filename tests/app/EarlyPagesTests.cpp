// A long document's first pages show while the rest of it is still imported: they are laid out from the
// beginning of its text, and must be exactly the pages its whole text makes.
#include "PluginTestSupport.h"
#include "import/Importer.h"
#include "kit/view/ProgressIndicator.h"
#include "kit/view/ScrollView.h"
#include "kit_net/LoopbackServer.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/ScaleUtilities.h"

#include <cairo.h>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// The pixels of one page's paper, at the view's scale. (The separator below the last page shown takes the
// next page's shadow once that page is there.)
std::vector<std::uint8_t> pagePixels(NRVLectorinMultiPageView& view, std::uint32_t page)
{
    kit::Rect rect = view.pageRectForPageNumber(page);
    float scale = pageview::ScaleUtilities::scale(view).width;
    int width = int(std::ceil(rect.width() * scale)), height = int(std::ceil(rect.height() * scale));
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    cairo_t* context = cairo_create(surface);
    cairo_scale(context, scale, scale);
    view.displayRectInContext(rect, context);
    cairo_destroy(context);
    cairo_surface_flush(surface);
    const std::uint8_t* data = cairo_image_surface_get_data(surface);
    std::vector<std::uint8_t> pixels(data, data + std::size_t(cairo_image_surface_get_stride(surface)) * std::size_t(height));
    cairo_surface_destroy(surface);
    return pixels;
}

struct Imported {
    std::vector<std::shared_ptr<kit::TextStorage>> beginnings;
    importer::ImportResult whole;
};

Imported importWithBeginning(const std::string& bytes)
{
    Imported imported;
    importer::ImportLimits limits;
    limits.beginning = [&](std::shared_ptr<kit::TextStorage> text) { imported.beginnings.push_back(std::move(text)); };
    auto span = std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    imported.whole = importer::importDocument(span, limits);
    return imported;
}

struct DocumentServer {
    std::string bytes;
    nettest::LoopbackServer server { [this](httplib::Server& s) {
        s.Get("/document", [this](const httplib::Request&, httplib::Response& r) {
            r.set_content(bytes, "application/octet-stream");
        });
    } };
};

} // namespace

// Every corpus document read in parts hands its beginning over once: whole paragraphs from the start, in
// the whole text's attributes, with no page setup; and each page shown from it is drawn as the whole
// document's page is.
TEST(EarlyPages, EveryPageShownFromABeginningIsTheWholeDocumentsPage)
{
    PluginFixture f; // the host the page views take their paper from
    int compared = 0;
    for (const auto& path : testsupport::corpusFiles({ "docx" })) {
        SCOPED_TRACE(path.filename().string());
        Imported imported = importWithBeginning(testsupport::readText(path));
        ASSERT_LE(imported.beginnings.size(), 1u);
        if (imported.beginnings.empty() || !imported.whole.text)
            continue;
        const kit::TextStorage& beginning = *imported.beginnings.front();
        const kit::TextStorage& whole = *imported.whole.text;
        ASSERT_LT(beginning.length(), whole.length());
        EXPECT_EQ(whole.string().compare(0, beginning.length(), beginning.string()), 0);
        EXPECT_EQ(beginning.string().back(), '\n');
        EXPECT_EQ(beginning.pageSetup(), nullptr);
        // Where a run of either text starts, both have the same attributes.
        std::size_t differing = 0;
        for (const kit::TextStorage* text : { &beginning, &whole }) {
            for (const auto& run : text->runs()) {
                if (run.location < beginning.length())
                    differing += !(beginning.attributesAt(run.location) == whole.attributesAt(run.location));
            }
        }
        EXPECT_EQ(differing, 0u) << "runs whose attributes differ from the whole text's";

        kit::Window window({ 801, 600 });
        auto& scrollView = window.contentView()->add<kit::ScrollView>(kit::Rect { { 0, 0 }, { 801, 600 } });
        auto owned = std::make_unique<NRVLectorinMultiPageView>(kit::Rect { 0, 0, 100, 100 });
        NRVLectorinMultiPageView& view = *owned;
        scrollView.setDocumentView(std::move(owned));
        view.awakeFromNib();
        view.setTextStorage(imported.beginnings.front(), NRVLectorinMultiPageView::Pagination::Beginning);
        std::uint32_t shown = view.numberOfPages();
        std::vector<std::vector<std::uint8_t>> early;
        for (std::uint32_t page = 0; page < shown; ++page)
            early.push_back(pagePixels(view, page));
        view.setTextStorage(imported.whole.text, NRVLectorinMultiPageView::Pagination::Whole);
        ASSERT_GT(view.numberOfPages(), shown);
        for (std::uint32_t page = 0; page < shown; ++page)
            EXPECT_TRUE(pagePixels(view, page) == early[page]) << "page " << page + 1;
        compared += shown > 0;
    }
    EXPECT_GE(compared, 3) << "documents long enough to show pages early";
}

// A beginning is laid out as far as its window shows: the whole text soon lays the pages out again.
TEST(EarlyPages, ABeginningFillsItsWindowOnly)
{
    PluginFixture f;
    Imported imported = importWithBeginning(testsupport::readText(testsupport::corpusPath("poi-bug65649.docx")));
    ASSERT_EQ(imported.beginnings.size(), 1u);
    auto pagesShown = [&](float windowHeight) {
        kit::Window window({ 801, windowHeight });
        auto& scrollView = window.contentView()->add<kit::ScrollView>(kit::Rect { { 0, 0 }, { 801, windowHeight } });
        auto owned = std::make_unique<NRVLectorinMultiPageView>(kit::Rect { 0, 0, 100, 100 });
        NRVLectorinMultiPageView& view = *owned;
        scrollView.setDocumentView(std::move(owned));
        view.awakeFromNib();
        view.setTextStorage(imported.beginnings.front(), NRVLectorinMultiPageView::Pagination::Beginning);
        return view.numberOfPages();
    };
    EXPECT_EQ(pagesShown(300), 1u) << "less than a page in sight";
    EXPECT_EQ(pagesShown(1100), 2u) << "a page and the top of the next";
    EXPECT_EQ(pagesShown(6000), 3u) << "a tall window still gets the first pages only";
}

// The reader sees the first pages of a long document while the rest is imported, and then the whole
// document, whose first page is the one it saw.
TEST(EarlyPages, ALongDocumentsFirstPagesShowBeforeItsImportEnds)
{
    DocumentServer documents { testsupport::readText(testsupport::corpusPath("poi-bug65649.docx")) };
    ASSERT_TRUE(documents.server.isValid());
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(documents.server.url("/document")));
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return plugin.showsPages() || !plugin.isLoading(); }, 20s));
    EXPECT_TRUE(plugin.isImporting()) << "the first pages came before the rest of the text";
    EXPECT_FALSE(plugin.downloadIsComplete());
    EXPECT_TRUE(plugin.progressIndicator()->isHidden());
    EXPECT_FALSE(plugin.pageView()->enclosingScrollView()->isHidden());
    std::uint32_t early = plugin.pageView()->numberOfPages();
    EXPECT_GE(early, 1u);
    std::vector<std::uint8_t> firstPage = pagePixels(*plugin.pageView(), 0);

    ASSERT_TRUE(f.waitUntilLoaded());
    EXPECT_TRUE(plugin.downloadIsComplete());
    EXPECT_TRUE(plugin.showsPages());
    EXPECT_GT(plugin.pageView()->numberOfPages(), early);
    EXPECT_TRUE(pagePixels(*plugin.pageView(), 0) == firstPage) << "the first page did not change";
}

// The document's own pages need its page setup, which comes at the end of the import: they wait for it.
TEST(EarlyPages, TheDocumentsOwnLayoutWaitsForTheWholeText)
{
    DocumentServer documents { testsupport::readText(testsupport::corpusPath("poi-bug65649.docx")) };
    ASSERT_TRUE(documents.server.isValid());
    NRVLectorin::setPageLayoutOverride(PageLayout::Document);
    PluginFixture f;
    NRVLectorin& plugin = f.open(PluginFixture::arguments(documents.server.url("/document")));
    bool sawPagesEarly = false;
    unsigned timer = kit::RunLoop::addTimer(1ms, [&] {
        sawPagesEarly |= plugin.showsPages() && !plugin.downloadIsComplete();
        return true;
    });
    EXPECT_TRUE(f.waitUntilLoaded());
    kit::RunLoop::cancelTimer(timer);
    NRVLectorin::setPageLayoutOverride(std::nullopt);
    EXPECT_FALSE(sawPagesEarly);
    EXPECT_TRUE(plugin.pageView()->showsDocumentPages());
}
