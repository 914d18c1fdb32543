// Pages laid out on a worker and shown by the UI thread's layout manager as if it had made them itself.
#include "LayoutTestSupport.h"
#include "kit/foundation/RunLoop.h"
#include "kit/text/AttachmentImages.h"
#include "kit/text/BackgroundPagination.h"
#include "kit/text/Paginator.h"
#include "support/Drawings.h"

#include <gtest/gtest.h>

using namespace layouttest;
using namespace kit;

namespace {

// A text with what makes a layout more than lines one below the other: paragraphs of several sizes, a
// float the lines make way for (its paragraph split below it), a table whose long row breaks over pages,
// explicit page breaks; portrait pages, then landscape ones with two columns from the middle on.
std::shared_ptr<TextStorage> varied(std::shared_ptr<PageSetup>& setup)
{
    auto storage = std::make_shared<TextStorage>();
    std::mt19937 random(11);
    FloatPlacement placement;
    placement.distance = { 0, 10, 0, 10 };
    for (int i = 0; i < 160; ++i) {
        Attributes a = attributes(i % 4 == 0 ? 15 : 11, i % 2 ? "Liberation Sans" : "Times New Roman");
        if (i % 37 == 5) {
            Attributes object = a;
            object.attachment = testsupport::filledBox({ 80, 60 }, Color::calibratedRGB(0, 0, 1), placement);
            storage->append(kAttachmentCharacter, object);
        }
        storage->append(generatedParagraph(random, 20 + i % 50) + (i % 45 == 44 ? "\f" : "\n"), a);
        if (i == 70) {
            TableBuilder table(storage, 1, { 150, 150 });
            std::vector<std::string> tall;
            for (int line = 0; line < 40; ++line)
                tall.push_back("cell line " + std::to_string(line));
            table.cell(0, 0, tall);
            table.cell(0, 1, { "short" });
            table.cell(1, 0, { "second row" });
            table.cell(1, 1, { "second row too" });
        }
    }
    setup = std::make_shared<PageSetup>();
    PageSection portrait = DocumentLayout::smallSection(), landscape = DocumentLayout::smallSection(2, 12);
    portrait.paperSize = { 420, 595 };
    landscape.paperSize = { 595, 420 };
    landscape.start = storage->string().find('\n', storage->length() / 2) + 1;
    setup->sections = { portrait, landscape };
    storage->setPageSetup(setup);
    return storage;
}

// Everything a page shows that comes from the layout: its range, its lines with where their glyphs run,
// its cells and its floats.
struct PageFacts {
    Range range;
    std::vector<std::tuple<Range, Rect, Rect, float>> lines;
    std::vector<Rect> cells, floats;
    bool operator==(const PageFacts&) const = default;
};

PageFacts factsOf(LayoutManager& layout, std::size_t page)
{
    const TextContainer& container = *layout.textContainers().at(page);
    PageFacts facts;
    facts.range = layout.glyphRangeForTextContainer(container);
    for (const auto& line : layout.lineFragmentsForTextContainer(container))
        facts.lines.emplace_back(line.range, line.rect, line.usedRect, line.baseline);
    for (const auto& cell : layout.cellBoxesForTextContainer(container))
        facts.cells.push_back(cell.rect);
    for (const auto& box : layout.floatBoxesForTextContainer(container))
        facts.floats.push_back(box.rect);
    return facts;
}

// Takes the worker's batches into a layout manager that laid the first pages out itself, as a page view does.
struct Adopter {
    LayoutManager& layout;
    DocumentPages* pages = nullptr;
    std::size_t batches = 0;
    bool complete = false;
    bool adoptedAll = true;
    std::size_t splitPieces = 0; // handed over: pieces of paragraphs that made way for a float

    void take(BackgroundPagination& worker)
    {
        for (auto& batch : worker.takeBatches()) {
            EXPECT_EQ(batch.first, batches ? layout.textContainers().size() : 0u) << "batches follow one another";
            ++batches;
            adoptedAll &= layout.adoptLayout(*batch.layout);
            for (const auto& measured : batch.layout->measured)
                splitPieces += measured.split.start > 0;
            for (std::size_t i = 0; i < batch.pages.size(); ++i) {
                if (batch.first + i < layout.textContainers().size())
                    continue;
                const auto& page = batch.pages[i];
                auto container = page.makeContainer();
                TextContainer& added = *container;
                layout.addTextContainer(std::move(container));
                if (pages) {
                    EXPECT_TRUE(page.documentPage);
                    pages->adoptPage(*page.documentPage, layout.glyphRangeForTextContainer(added));
                }
            }
            complete = batch.complete;
        }
    }
};

} // namespace

TEST(BackgroundPagination, TheUIThreadShowsTheDocumentPagesAWorkerMadeAsIfItHadLaidThemOutItself)
{
    std::shared_ptr<PageSetup> setup;
    auto storage = varied(setup);
    LayoutManager whole;
    whole.replaceTextStorage(storage);
    DocumentPages wholePages(setup);
    wholePages.paginate(whole);
    const std::size_t count = wholePages.pages().size();
    ASSERT_GT(count, 20u);

    // The first three pages here, the rest from the worker.
    LayoutManager layout;
    layout.replaceTextStorage(storage);
    DocumentPages pages(setup);
    pages.beginPagination(layout);
    for (int i = 0; i < 3; ++i)
        ASSERT_FALSE(pages.addPage(layout));
    int arrivals = 0;
    Adopter adopter { layout, &pages };
    BackgroundPagination worker(storage, { true, {}, {} }, 3, [&] {
        ++arrivals;
        adopter.take(worker);
    });
    ASSERT_TRUE(RunLoop::runUntil([&] { return adopter.complete; }, std::chrono::seconds(30)));
    EXPECT_TRUE(adopter.adoptedAll);
    EXPECT_GE(arrivals, 1);
    EXPECT_GT(adopter.splitPieces, 0u) << "the text has lines that made way for a float";

    ASSERT_EQ(pages.pages().size(), count);
    ASSERT_EQ(layout.textContainers().size(), count);
    for (std::size_t page = 0; page < count; ++page) {
        SCOPED_TRACE(page);
        const DocumentPage &mine = pages.pages()[page], &expected = wholePages.pages()[page];
        EXPECT_EQ(mine.paperSize, expected.paperSize);
        EXPECT_EQ(mine.textRect, expected.textRect);
        EXPECT_EQ(mine.section, expected.section);
        EXPECT_EQ(mine.number, expected.number);
        EXPECT_EQ(layout.textContainers()[page]->columns(), whole.textContainers()[page]->columns());
        EXPECT_TRUE(factsOf(layout, page) == factsOf(whole, page));
    }
    EXPECT_TRUE(layout.textEndsInOrBeforeTextContainer(*layout.textContainers().back()));

    // A page the worker made draws here as the whole layout's does, and hit-tests the same.
    AttachmentImages images;
    for (std::size_t page : { count / 2, count - 1 }) {
        SCOPED_TRACE(page);
        const TextContainer& mine = *layout.textContainers()[page];
        const TextContainer& expected = *whole.textContainers()[page];
        auto drawn = [&](LayoutManager& manager, const TextContainer& container) {
            Size size = container.containerSize();
            return testsupport::drawnPixels(size, [&](cairo_t* cr) {
                manager.drawFloatsForContainer(cr, container, {}, { {}, size });
                manager.drawGlyphsForContainer(cr, container, {}, { {}, size });
            });
        };
        std::vector<std::uint32_t> pixels = drawn(layout, mine);
        EXPECT_GT(std::count_if(pixels.begin(), pixels.end(), [](std::uint32_t p) { return (p & 0xff) < 128; }), 500);
        EXPECT_TRUE(pixels == drawn(whole, expected));
        Range range = layout.glyphRangeForTextContainer(mine);
        Point middle { mine.containerSize().width / 2, mine.containerSize().height / 3 };
        EXPECT_EQ(layout.characterIndexForPoint(middle, mine), whole.characterIndexForPoint(middle, expected));
        EXPECT_EQ(layout.rectsForCharacterRange({ range.location, 40 }, mine),
            whole.rectsForCharacterRange({ range.location, 40 }, expected));
    }
}

TEST(BackgroundPagination, PrinterPagesComeInBatchesAndAnUnfinishedHandoverIsLaidOutOnFromTheStart)
{
    auto storage = generatedText(3, 400, 40);
    const Size size { 468, 648 };
    const Rect paper { -72, -72, 612, 792 };
    LayoutManager whole;
    whole.replaceTextStorage(storage);
    PrinterPages wholePages(size, paper);
    while (!wholePages.addPage(whole)) { }
    const std::size_t count = whole.textContainers().size();
    ASSERT_GT(count, 20u);

    // The worker alone: every page from the first.
    LayoutManager layout;
    layout.replaceTextStorage(storage);
    Adopter adopter { layout };
    BackgroundPagination worker(storage, { false, size, paper }, 0, [&] { adopter.take(worker); });
    worker.waitUntilComplete();
    adopter.take(worker);
    EXPECT_TRUE(adopter.complete) << "every batch is waiting once the worker is done";
    EXPECT_TRUE(adopter.adoptedAll);
    ASSERT_EQ(layout.textContainers().size(), count);
    for (std::size_t page = 0; page < count; ++page) {
        EXPECT_EQ(layout.textContainers()[page]->pageRect(), paper);
        EXPECT_TRUE(factsOf(layout, page) == factsOf(whole, page)) << "page " << page;
    }

    // A handover of the first pages only; a page past them is laid out here, every page as before.
    LayoutManager partial;
    partial.replaceTextStorage(storage);
    auto handover = whole.handOverLayout(0);
    handover->containers.resize(5);
    handover->complete = false;
    ASSERT_TRUE(partial.adoptLayout(*handover));
    for (std::size_t page = 0; page < count; ++page) {
        auto container = std::make_unique<TextContainer>(size);
        container->setPageRect(paper);
        partial.addTextContainer(std::move(container));
    }
    for (std::size_t page = count; page-- > 0;)
        EXPECT_TRUE(factsOf(partial, page) == factsOf(whole, page)) << "page " << page;
}

TEST(BackgroundPagination, AHandoverThatDiffersFromThePagesLaidOutIsRefused)
{
    auto storage = generatedText(8, 60, 40);
    Pages wide = paginate(storage, { 468, 648 });
    Pages narrow = paginate(storage, { 300, 648 });
    ASSERT_NE(wide.ranges[1], narrow.ranges[1]);
    std::vector<Range> before;
    for (std::size_t page = 0; page < 2; ++page)
        before.push_back(narrow.layoutManager->glyphRangeForTextContainer(narrow.container(page)));
    EXPECT_FALSE(narrow.layoutManager->adoptLayout(*wide.layoutManager->handOverLayout(0)));
    // The same pages of another storage of the same text, or laid out with the notes placed, are not these.
    auto copy = std::make_shared<TextStorage>(*storage);
    Pages other = paginate(copy, { 300, 648 });
    EXPECT_FALSE(narrow.layoutManager->adoptLayout(*other.layoutManager->handOverLayout(0)));
    LayoutManager placing;
    placing.replaceTextStorage(storage);
    placing.setPlacesNotes(true);
    placing.addTextContainer(std::make_unique<TextContainer>(Size { 300, 648 }));
    placing.glyphRangeForTextContainer(*placing.textContainers().front());
    EXPECT_FALSE(narrow.layoutManager->adoptLayout(*placing.handOverLayout(0)));
    EXPECT_EQ(narrow.layoutManager->glyphRangeForTextContainer(narrow.container(1)), before[1]) << "nothing changed";
    EXPECT_EQ(
        narrow.layoutManager->glyphRangeForTextContainer(narrow.container(narrow.count() - 1)), narrow.ranges.back());
}

TEST(BackgroundPagination, GoingAwayStopsTheWorkerAndNothingArrivesAfterwards)
{
    auto storage = generatedText(4, 3000, 40);
    int arrivals = 0;
    {
        BackgroundPagination worker(storage, { false, { 468, 648 }, {} }, 0, [&] { ++arrivals; });
        ASSERT_TRUE(RunLoop::runUntil([&] { return arrivals > 0; }, std::chrono::seconds(30)));
    }
    int seen = arrivals;
    RunLoop::runUntil([&] { return BackgroundJob::pendingCount() == 0; }, std::chrono::seconds(30));
    RunLoop::runUntil([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(arrivals, seen);
    EXPECT_EQ(storage.use_count(), 1) << "the worker ended and let the text go";
}

TEST(BackgroundPagination, ATextThatTakesLongerThanItsCpuTimeEndsAsTooLargeShortOfItsEnd)
{
    auto storage = generatedText(6, 3000, 40);
    LayoutManager layout;
    layout.replaceTextStorage(storage);
    Adopter adopter { layout };
    bool tooLarge = false;
    BackgroundPagination worker(
        storage, { false, { 468, 648 }, {} }, 0,
        [&] {
            for (auto& batch : worker.takeBatches()) {
                tooLarge |= batch.tooLarge;
                adopter.adoptedAll &= layout.adoptLayout(*batch.layout);
                adopter.complete |= batch.complete;
            }
        },
        std::chrono::milliseconds(1));
    ASSERT_TRUE(RunLoop::runUntil([&] { return tooLarge; }, std::chrono::seconds(30)));
    EXPECT_FALSE(adopter.complete);
    EXPECT_TRUE(adopter.adoptedAll) << "what was laid out still shows";
    worker.waitUntilComplete();
    EXPECT_TRUE(worker.takeBatches().empty()) << "nothing after the last batch";
}
