#include "LayoutTestSupport.h"
#include "kit/foundation/GRefPtr.h"
#include "kit/text/AttachmentImages.h"
#include "kit/text/FontMap.h"
#include "kit/text/PageDisplayList.h"
#include "kit/text/PangoLineRecorder.h"
#include "support/PdfReadBack.h"
#include "support/TestSupport.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <gtest/gtest.h>
#include <pango/pangocairo.h>
#include <thread>

using namespace layouttest;
using namespace kit;

namespace {

// The pixels of what draw puts on a white surface of width x height pixels, scaled by scale.
std::vector<std::uint32_t> pixels(int width, int height, double scale, const std::function<void(cairo_t*)>& draw)
{
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, scale, scale);
    draw(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    std::vector<std::uint32_t> result;
    const unsigned char* data = cairo_image_surface_get_data(surface);
    int stride = cairo_image_surface_get_stride(surface);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + y * stride);
        result.insert(result.end(), row, row + width);
    }
    cairo_surface_destroy(surface);
    return result;
}

int darkPixels(const std::vector<std::uint32_t>& image)
{
    int dark = 0;
    for (std::uint32_t p : image)
        dark += (p & 0xff) < 128;
    return dark;
}

// A Pango layout of text in 13 pt Times New Roman; a styled one has colours, a background, underlines, a
// strike line, a raised run and a second font over its first 50 bytes.
GRefPtr<PangoLayout> layoutOf(const char* text, PangoDirection direction = PANGO_DIRECTION_LTR, bool styled = true)
{
    auto context = adoptGRef(FontMap::shared().createContext(direction));
    auto layout = adoptGRef(pango_layout_new(context.get()));
    pango_layout_set_font_description(
        layout.get(), FontMap::shared().fontDescription("Times New Roman", 13, false, false));
    pango_layout_set_text(layout.get(), text, -1);
    if (!styled)
        return layout;
    PangoAttrList* list = pango_attr_list_new();
    auto add = [&](PangoAttribute* attribute, guint start, guint end) {
        attribute->start_index = start;
        attribute->end_index = end;
        pango_attr_list_insert(list, attribute);
    };
    add(pango_attr_foreground_new(52000, 4000, 9000), 0, 5);
    add(pango_attr_background_new(65535, 65535, 0), 6, 12);
    add(pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), 13, 20);
    add(pango_attr_underline_new(PANGO_UNDERLINE_DOUBLE), 21, 26);
    add(pango_attr_underline_new(PANGO_UNDERLINE_ERROR), 27, 31);
    add(pango_attr_strikethrough_new(TRUE), 32, 38);
    add(pango_attr_rise_new(4 * PANGO_SCALE), 39, 42);
    add(pango_attr_family_new("DejaVu Sans"), 43, 47);
    add(pango_attr_foreground_alpha_new(30000), 43, 47);
    pango_layout_set_attributes(layout.get(), list);
    pango_attr_list_unref(list);
    return layout;
}

// A line whose items draw whatever area is asked for.
PageDisplayList::Line unboundedLine()
{
    PageDisplayList::Line line;
    line.bounds = { -1e5f, -1e5f, 2e5f, 2e5f };
    return line;
}

} // namespace

TEST(PageDisplayList, ALineRecordedFromPangoDrawsTheSamePixelsAsPangoAtAnyScaleAndPlace)
{
    struct Case {
        const char* text;
        PangoDirection direction;
    };
    const Case cases[] = {
        { "Ruby jumps over lazy dogs; quietly ever sailing wavy pointed axes (sic) to Oslo, gently",
            PANGO_DIRECTION_LTR },
        // The styles fall on its first 50 bytes, whole characters.
        { "Ruby jumps over lazy dogs; quietly ever sailing, \xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 "
          "\xd8\xa8\xd8\xa7\xd9\x84\xd8\xb9\xd8\xa7\xd9\x84\xd9\x85 words \xd9\x81\xd9\x8a "
          "\xd8\xa7\xd9\x84\xd9\x86\xd8\xb5",
            PANGO_DIRECTION_RTL },
    };
    for (const Case& c : cases) {
        auto layout = layoutOf(c.text, c.direction);
        PangoLayoutLine* line = pango_layout_get_line_readonly(layout.get(), 0);
        ASSERT_NE(line, nullptr);
        for (double scale : { 1.0, 1.37, 2.5 }) {
            // Fractional places: the pen lands on device pixels as a cairo current point does.
            for (Point at : { Point { 10, 30 }, Point { 10.3f, 30.61f }, Point { 11.77f, 29.13f } }) {
                auto direct = pixels(1400, 160, scale, [&](cairo_t* cr) {
                    cairo_set_source_rgb(cr, 0, 0, 0);
                    cairo_move_to(cr, at.x, at.y);
                    pango_cairo_show_layout_line(cr, line);
                });
                PageDisplayList::Builder builder;
                builder.beginLine(unboundedLine());
                recordPangoLine(builder, line, at);
                auto list = builder.finish();
                auto replayed = pixels(1400, 160, scale, [&](cairo_t* cr) {
                    list->drawText(cr, {}, { 0, 0, 1e5f, 1e5f }, {});
                });
                EXPECT_GT(darkPixels(direct), 200);
                EXPECT_TRUE(direct == replayed) << c.text << " at scale " << scale << ", " << at.x << "," << at.y;
            }
        }
    }
}

TEST(PageDisplayList, KeepsTheTextForPdfAndDrawsBoxesForCharactersNoFontHas)
{
    // U+E000 is private use: no installed font has it, and Pango draws its box.
    auto layout = layoutOf(
        "Quietly \xee\x80\x80 \xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 plain words", PANGO_DIRECTION_LTR, false);
    PangoLayoutLine* line = pango_layout_get_line_readonly(layout.get(), 0);
    PageDisplayList::Builder builder;
    builder.beginLine(unboundedLine());
    recordPangoLine(builder, line, { 20, 40 });
    auto list = builder.finish();

    bool boxOutline = false;
    for (const auto& item : list->items()) {
        if (const auto* run = std::get_if<PageDisplayList::GlyphRun>(&item)) {
            for (const cairo_glyph_t& glyph : run->glyphs)
                EXPECT_FALSE(glyph.index & PANGO_GLYPH_UNKNOWN_FLAG) << "a missing glyph is never given to cairo";
        }
        if (const auto* fill = std::get_if<PageDisplayList::Fill>(&item))
            boxOutline = boxOutline || fill->path;
    }
    EXPECT_TRUE(boxOutline) << "the missing character's box is an outline";

    auto path = testsupport::temporaryFolder("display-list") / "line.pdf";
    cairo_surface_t* pdf = cairo_pdf_surface_create(path.c_str(), 600, 100);
    cairo_t* cr = cairo_create(pdf);
    list->drawText(cr, {}, { 0, 0, 600, 100 }, {});
    cairo_destroy(cr);
    cairo_surface_destroy(pdf);
    std::string text = testsupport::pdfText(path);
    EXPECT_NE(text.find("Quietly"), std::string::npos) << text;
    EXPECT_NE(text.find("plain words"), std::string::npos) << text;
    EXPECT_NE(text.find("\xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7"), std::string::npos)
        << "right-to-left clusters: " << text;
}

TEST(PageDisplayList, APageDrawnOnAnotherThreadAfterItsLayoutWentAwayIsThePageItWas)
{
    auto picture = std::make_shared<Attachment>();
    picture->bytes = solidPng(10, 5, 0, 0.6, 0);
    picture->mimeType = "image/png";
    picture->size = { 60, 30 };
    Attributes red = attributes(14), marked = attributes(14), under = attributes(14), inlinePicture = attributes(14);
    red.foreground = Color::calibratedRGB(0.9f, 0, 0);
    marked.background = Color::calibratedRGB(1, 1, 0);
    under.underline = LineStyle::Double;
    under.strikethrough = LineStyle::Double;
    inlinePicture.attachment = picture;
    auto storage = std::make_shared<TextStorage>("Red words ", red);
    storage->append("marked ", marked);
    storage->append("under and struck ", under);
    storage->append(kAttachmentCharacter, inlinePicture);
    storage->append(" \xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7 done.\n", attributes(14));
    TableBuilder table(storage, 1, { 150, 150 });
    table.prototype.shading = Color::calibratedRGB(0.8f, 0.8f, 1);
    table.prototype.borders[2] = { LineStyle::Single, 2, Color::calibratedRGB(0, 0, 0) };
    table.cell(0, 0, { "a cell", "of two paragraphs" });
    table.cell(0, 1, { "beside it" });
    std::mt19937 random(7);
    for (int i = 0; i < 12; ++i)
        storage->append(generatedParagraph(random, 40) + "\n", attributes(12));

    auto pages = std::make_unique<Pages>(paginate(storage, { 400, 300 }));
    ASSERT_GE(pages->count(), 2u);
    const double scale = 1.5;
    auto drawPage = [&](std::size_t page) {
        return pixels(600, 450, scale, [&](cairo_t* cr) {
            pages->layoutManager->drawFloatsForContainer(cr, pages->container(page), {}, { 0, 0, 400, 300 });
            pages->layoutManager->drawGlyphsForContainer(cr, pages->container(page), {}, { 0, 0, 400, 300 });
        });
    };
    std::vector<std::vector<std::uint32_t>> direct;
    std::vector<std::shared_ptr<const PageDisplayList>> lists;
    for (std::size_t page = 0; page < 2; ++page) {
        direct.push_back(drawPage(page));
        lists.push_back(pages->layoutManager->displayListForTextContainer(pages->container(page)));
        ASSERT_NE(lists.back(), nullptr);
        EXPECT_EQ(lists.back(), pages->layoutManager->displayListForTextContainer(pages->container(page)))
            << "kept, not recorded again";
    }
    EXPECT_FALSE(lists[0]->cells().empty());
    EXPECT_GT(darkPixels(direct[0]), 1000);
    pages.reset();
    storage.reset();

    std::vector<std::vector<std::uint32_t>> replayed(2);
    std::thread worker([&] {
        AttachmentImages images;
        for (std::size_t page = 0; page < 2; ++page)
            replayed[page] = pixels(600, 450, scale, [&](cairo_t* cr) {
                lists[page]->draw(cr, {}, { 0, 0, 400, 300 }, images);
            });
    });
    worker.join();
    for (std::size_t page = 0; page < 2; ++page)
        EXPECT_TRUE(direct[page] == replayed[page]) << "page " << page + 1;
}

TEST(PageDisplayList, TheLayoutManagerKeepsTheListsOfThePagesDrawnLastAndForgetsThemWhenTheTextChanges)
{
    auto storage = std::make_shared<TextStorage>();
    std::mt19937 random(11);
    for (int i = 0; i < 90; ++i)
        storage->append(generatedParagraph(random, 30) + "\n", attributes(12));
    Pages pages = paginate(storage, { 300, 120 });
    ASSERT_GT(pages.count(), LayoutManager::kDisplayListCapacity + 2);
    LayoutManager& layout = *pages.layoutManager;

    auto first = layout.displayListForTextContainer(pages.container(0));
    ASSERT_FALSE(first->lines().empty());
    EXPECT_EQ(first->lines().front().range.location, 0u);
    EXPECT_EQ(layout.displayListForTextContainer(pages.container(0)), first);
    for (std::size_t i = 1; i <= LayoutManager::kDisplayListCapacity; ++i)
        layout.displayListForTextContainer(pages.container(i));
    auto again = layout.displayListForTextContainer(pages.container(0));
    EXPECT_NE(again, first) << "the least recently drawn page was let go, and is recorded anew";
    EXPECT_EQ(again->lines().size(), first->lines().size());
    EXPECT_EQ(again->items().size(), first->items().size());

    // The lines of a list are the container's lines.
    auto fragments = layout.lineFragmentsForTextContainer(pages.container(1));
    auto list = layout.displayListForTextContainer(pages.container(1));
    ASSERT_EQ(list->lines().size(), fragments.size());
    for (std::size_t i = 0; i < fragments.size(); ++i) {
        EXPECT_EQ(list->lines()[i].range.location, fragments[i].range.location);
        EXPECT_EQ(list->lines()[i].box.y(), fragments[i].rect.y());
    }

    layout.forgetDisplayListForTextContainer(pages.container(1));
    EXPECT_NE(layout.displayListForTextContainer(pages.container(1)), list) << "a printed page's list is let go";

    storage->replaceCharacters({ 0, 0 }, "Changed ", attributes(12));
    auto changed = layout.displayListForTextContainer(pages.container(0));
    EXPECT_NE(changed, again);
    EXPECT_GT(changed->lines().front().range.length, 0u);
    EXPECT_NE(first->lines().front().range.length, 0u) << "a list handed out earlier stays as it was";
}

// A worker owns a font map of its own: it paginates a text into the pages the UI thread makes of it and
// records and draws them with the same pixels, touching no Pango object of the UI thread.
TEST(PageDisplayList, AWorkerPaginatesAndDrawsWithFontsOfItsOwnThePagesTheUIThreadMakes)
{
    auto storage = std::make_shared<TextStorage>();
    std::mt19937 random(5);
    for (int i = 0; i < 60; ++i) {
        Attributes a = attributes(i % 3 == 0 ? 14 : 11, i % 2 ? "Liberation Sans" : "Times New Roman");
        a.bold = i % 5 == 0;
        a.italic = i % 7 == 0;
        storage->append(generatedParagraph(random, 30) + "\n", a);
    }
    const double scale = 1.25;
    auto drawn = [&](const PageDisplayList& list, AttachmentImages& images) {
        return pixels(585, 810, scale, [&](cairo_t* cr) { list.draw(cr, {}, { 0, 0, 468, 648 }, images); });
    };
    Pages here = paginate(storage);
    ASSERT_GE(here.count(), 3u);
    AttachmentImages images;
    std::vector<std::vector<std::uint32_t>> expected;
    for (std::size_t page = 0; page < 3; ++page)
        expected.push_back(drawn(*here.layoutManager->displayListForTextContainer(here.container(page)), images));

    PangoFontMap* uiFonts = FontMap::shared().pangoFontMap();
    PangoFontMap* workerFonts = nullptr;
    std::vector<Range> ranges;
    std::vector<std::vector<std::uint32_t>> replayed;
    std::thread([&] {
        workerFonts = FontMap::shared().pangoFontMap();
        Pages there = paginate(storage);
        ranges = there.ranges;
        AttachmentImages own(AttachmentImages::TextFonts::Own);
        for (std::size_t page = 0; page < 3; ++page)
            replayed.push_back(drawn(*there.layoutManager->displayListForTextContainer(there.container(page)), own));
    }).join();
    EXPECT_NE(workerFonts, uiFonts) << "a font map of the worker's own";
    EXPECT_EQ(FontMap::shared().pangoFontMap(), uiFonts) << "the UI thread's stays its own";
    EXPECT_EQ(ranges, here.ranges) << "the same pages";
    for (std::size_t page = 0; page < 3; ++page)
        EXPECT_TRUE(replayed[page] == expected[page]) << "page " << page + 1;
}
