#include "kit/host/HeadlessHost.h"
#include "kit/text/AttachmentImages.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/PageSetup.h"
#include "kit/text/TextView.h"
#include "kit/view/ScrollView.h"
#include "kit/view/Window.h"
#include "pageview/NRVLectorinMultiPageView.h"
#include "pageview/PageShadow.h"
#include "pageview/PageSnapshot.h"
#include "pageview/ScaleUtilities.h"
#include "support/Drawings.h"

#include <cmath>
#include <gtest/gtest.h>
#include <thread>

namespace {

using kit::Rect;

struct Fixture {
    kit::HeadlessHost host;
    std::unique_ptr<kit::Window> window;
    NRVLectorinMultiPageView* pageView = nullptr;

    Fixture()
    {
        kit::Host::setCurrent(&host);
        window = std::make_unique<kit::Window>(kit::Size { 801, 600 });
        auto& scrollView = window->contentView()->add<kit::ScrollView>(Rect { { 0, 0 }, { 801, 600 } });
        scrollView.setBackgroundColor(kit::Color::calibratedRGB(0.38f, 0.45f, 0.56f));
        auto view = std::make_unique<NRVLectorinMultiPageView>(Rect { 0, 0, 100, 100 });
        pageView = view.get();
        scrollView.setDocumentView(std::move(view));
        pageView->awakeFromNib();
    }
    ~Fixture()
    {
        window.reset();
        kit::Host::setCurrent(nullptr);
    }
};

std::shared_ptr<kit::TextStorage> story(const std::string& text)
{
    auto storage = std::make_shared<kit::TextStorage>();
    kit::Attributes attributes;
    attributes.fontSize = 10;
    storage->append(text + "\n", attributes);
    return storage;
}

// Three pages of text in two columns, with coloured runs, on coloured paper with borders, a header and a
// footer: everything a page draws around its text.
std::shared_ptr<kit::TextStorage> document()
{
    auto storage = std::make_shared<kit::TextStorage>();
    for (int i = 0; i < 60; ++i) {
        kit::Attributes plain, marked;
        marked.foreground = kit::Color::calibratedRGB(0.7f, 0.1f, 0.1f);
        marked.background = kit::Color::calibratedRGB(0.9f, 0.95f, 0.6f);
        marked.underline = kit::LineStyle::Single;
        storage->append("Paragraph " + std::to_string(i) + " of words that wrap over a few lines in a column, ", plain);
        storage->append("some of them marked", marked);
        storage->append(" and the rest of the sentence running on to its end.\n", plain);
    }
    auto setup = std::make_shared<kit::PageSetup>();
    kit::PageSection section;
    section.paperSize = { 500, 640 };
    section.margins = { 60, 60, 50, 50, 24, 24, 0 };
    section.columnCount = 2;
    section.columnSeparator = true;
    section.pageColor = kit::Color::calibratedRGB(1.0f, 0.98f, 0.9f);
    for (auto& side : section.borders.sides)
        side = { kit::LineStyle::Single, 1.5f, kit::Color::calibratedRGB(0.2f, 0.3f, 0.6f) };
    section.borders.distances = { 12, 12, 12, 12 };
    section.headers[0] = story("The running head");
    section.footers[0] = story("A footer line");
    setup->sections = { section };
    storage->setPageSetup(setup);
    return storage;
}

// What the view draws of rect (its own coordinates) at scale: 0xRRGGBB, row by row.
std::vector<std::uint32_t> viewPixels(NRVLectorinMultiPageView& view, Rect rect, double scale, int& width, int& height)
{
    width = int(std::ceil(rect.width() * scale));
    height = int(std::ceil(rect.height() * scale));
    return testsupport::drawnPixels({ float(width), float(height) }, [&](cairo_t* cr) {
        cairo_scale(cr, scale, scale);
        view.displayRectInContext(rect, cr);
    });
}

// The same drawn from a snapshot on a thread of its own, with pictures and shadows of that thread's own.
std::vector<std::uint32_t> snapshotPixels(const pageview::PageSnapshot& snapshot, Rect rect, double scale, int width, int height)
{
    std::vector<std::uint32_t> pixels;
    std::thread([&] {
        kit::AttachmentImages images(kit::AttachmentImages::TextFonts::Own);
        pageview::PageShadow shadow;
        pixels = testsupport::drawnPixels({ float(width), float(height) }, [&](cairo_t* cr) {
            cairo_scale(cr, scale, scale);
            cairo_translate(cr, -rect.minX(), -rect.minY());
            snapshot.draw(cr, rect, images, &shadow);
        });
    }).join();
    return pixels;
}

// Each page with the separator around it (where the shadows of the pages beside it reach), and a part of
// one page, as the view draws them and as their snapshots do.
void expectSnapshotsDrawAsTheView(NRVLectorinMultiPageView& view)
{
    double scale = pageview::ScaleUtilities::scale(view).width;
    ASSERT_GE(view.numberOfPages(), 3u);
    float s = view.pageSeparatorHeight();
    for (std::uint32_t page = 0; page < view.numberOfPages(); ++page) {
        SCOPED_TRACE("page " + std::to_string(page + 1));
        auto snapshot = pageview::PageSnapshot::capture(view, page);
        ASSERT_TRUE(snapshot);
        EXPECT_EQ(snapshot->pageRect(), view.pageRectForPageNumber(page));
        Rect paper = view.pageRectForPageNumber(page);
        Rect around { paper.x() - s, paper.y() - s, paper.width() + 2 * s, paper.height() + 2 * s };
        Rect part { paper.x() + 30, paper.y() + paper.height() / 3, paper.width() / 2, paper.height() / 4 };
        for (Rect rect : { around, part }) {
            int width = 0, height = 0;
            auto expected = viewPixels(view, rect, scale, width, height);
            auto drawn = snapshotPixels(*snapshot, rect, scale, width, height);
            std::size_t differing = 0;
            for (std::size_t i = 0; i < drawn.size(); ++i)
                differing += drawn[i] != expected[i];
            EXPECT_EQ(differing, 0u) << "of " << drawn.size() << " pixels, at scale " << scale;
        }
    }
    EXPECT_FALSE(pageview::PageSnapshot::capture(view, view.numberOfPages())) << "no page past the last";
}

} // namespace

TEST(PageSnapshot, DrawsOnAnotherThreadWhatTheViewDrawsOfTheDocumentsOwnPages)
{
    Fixture f;
    f.pageView->setPageLayout(PageLayout::Document);
    f.pageView->setTextStorage(document());
    ASSERT_TRUE(f.pageView->showsDocumentPages());
    kit::LayoutManager& layout = *f.pageView->layoutManager();
    std::string text = f.pageView->textStorage()->string();
    // Find highlights, the current one among them, and the selection that is the current match.
    std::vector<kit::Range> matches;
    for (std::size_t at = text.find("marked"); at != std::string::npos; at = text.find("marked", at + 1))
        matches.push_back({ at, 6 });
    ASSERT_GT(matches.size(), 20u);
    f.pageView->setFindHighlights(matches);
    layout.setSelectedRange(matches[3]);
    expectSnapshotsDrawAsTheView(*f.pageView);

    // Zoomed in, and a selection running over a page break.
    f.pageView->setZoomStep(7);
    kit::Range firstOnPage2 = layout.glyphRangeForTextContainer(*layout.textContainers()[1]);
    layout.setSelectedRange({ firstOnPage2.location - 40, 80 });
    f.pageView->setFindHighlights({});
    expectSnapshotsDrawAsTheView(*f.pageView);
}

TEST(PageSnapshot, DrawsOnAnotherThreadWhatTheViewDrawsOfThePrintersPaper)
{
    Fixture f;
    auto storage = document();
    storage->setPageSetup(nullptr);
    f.pageView->setTextStorage(storage);
    ASSERT_FALSE(f.pageView->showsDocumentPages());
    f.pageView->layoutManager()->setSelectedRange({ 100, 900 });
    f.pageView->setZoomStep(2);
    expectSnapshotsDrawAsTheView(*f.pageView);

    // A message page: the view draws the message, which the snapshot says it leaves out.
    f.pageView->setMessage("This document cannot be shown.");
    EXPECT_TRUE(pageview::PageSnapshot::capture(*f.pageView, 0)->showsMessage());
    EXPECT_FALSE(pageview::PageSnapshot::capture(*f.pageView, 1)->showsMessage());
}
