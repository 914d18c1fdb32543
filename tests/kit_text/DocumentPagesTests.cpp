// The document's own pages: each section's paper and margins, page numbers, headers and footers drawn.
#include "kit/text/DocumentPages.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"

#include <cairo.h>
#include <gtest/gtest.h>

namespace {

std::shared_ptr<kit::TextStorage> story(const std::string& before, kit::PageField field = kit::PageField::None,
    const std::string& cached = {}, const std::string& after = {})
{
    auto storage = std::make_shared<kit::TextStorage>();
    kit::Attributes plain;
    storage->append(before, plain);
    if (field != kit::PageField::None) {
        kit::Attributes attributes;
        attributes.pageField = field;
        storage->append(cached, attributes);
    }
    storage->append(after + "\n", plain);
    return storage;
}

std::string lines(int count, const std::string& word)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += word + " line " + std::to_string(i) + "\n";
    return text;
}

// A4 portrait (two pages of text, a title page), then A5 landscape restarting its numbers at 10 in roman.
struct TwoSections {
    std::shared_ptr<kit::TextStorage> body = std::make_shared<kit::TextStorage>();
    std::shared_ptr<kit::PageSetup> setup = std::make_shared<kit::PageSetup>();
    kit::LayoutManager layout;
    std::unique_ptr<kit::DocumentPages> documentPages;
    kit::DocumentPages& pages;

    TwoSections()
        : documentPages(std::make_unique<kit::DocumentPages>(setup))
        , pages(*documentPages)
    {
        body->append(lines(60, "portrait") + "\f", kit::Attributes {});
        std::size_t second = body->length();
        body->append(lines(3, "landscape"), kit::Attributes {});
        kit::PageSection a4;
        a4.paperSize = { 595, 842 };
        a4.margins = { 100, 50, 60, 40, 30, 20, 10 };
        a4.titlePage = true;
        a4.headers[std::size_t(kit::HeaderFooterKind::First)] = story("Title page header");
        a4.headers[std::size_t(kit::HeaderFooterKind::Default)] = story("Page ", kit::PageField::Page, "99", " of ");
        a4.footers[0] = story("", kit::PageField::NumPages, "99", " pages");
        kit::PageSection a5 = a4;
        a5.start = second;
        a5.paperSize = { 595, 420 };
        a5.titlePage = false;
        a5.headers = {};
        a5.footers = {};
        a5.pageNumberStart = 10;
        a5.pageNumberFormat = kit::PageNumberFormat::LowerRoman;
        a5.footers[0] = story("Section has ", kit::PageField::SectionPages, "99", " pages");
        setup->sections = { a4, a5 };
        body->setPageSetup(setup);
        layout.replaceTextStorage(body);
        pages.paginate(layout);
    }
};

std::string shown(kit::DocumentPages& pages, const std::shared_ptr<kit::TextStorage>& text, std::size_t page)
{
    auto result = pages.storyForPage(text, page);
    return result ? result->string() : std::string("<none>");
}

} // namespace

TEST(DocumentPages, EachSectionTakesItsPaperAndMargins)
{
    TwoSections f;
    const auto& pages = f.pages.pages();
    ASSERT_GE(pages.size(), 3u);
    const kit::DocumentPage& last = pages.back();
    EXPECT_EQ(last.paperSize, (kit::Size { 595, 420 }));
    EXPECT_EQ(last.section, 1u);
    EXPECT_EQ(last.ordinalInSection, 1);
    for (std::size_t i = 0; i + 1 < pages.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(pages[i].section, 0u);
        EXPECT_EQ(pages[i].paperSize, (kit::Size { 595, 842 }));
        // Left margin and gutter, top margin; the body is the rest less right and bottom margins.
        EXPECT_EQ(pages[i].textRect, (kit::Rect { 70, 100, 485, 692 }));
        EXPECT_EQ(f.layout.textContainers()[i]->containerSize(), pages[i].textRect.size);
        EXPECT_EQ(pages[i].number, int(i) + 1);
    }
    EXPECT_EQ(last.number, 10) << "the section restarts its numbers";
    EXPECT_EQ(f.layout.textContainers().back()->containerSize(), (kit::Size { 485, 270 }));
    // The landscape page holds the landscape text and nothing before it.
    kit::Range range = f.layout.glyphRangeForTextContainer(*f.layout.textContainers().back());
    EXPECT_EQ(f.body->string().substr(range.location, 9), "landscape");
}

TEST(DocumentPages, HeadersFootersAndTheirFields)
{
    TwoSections f;
    std::size_t count = f.pages.pages().size();
    ASSERT_GE(count, 3u);
    std::string total = std::to_string(count);
    EXPECT_EQ(shown(f.pages, f.pages.headerFor(0), 0), "Title page header\n") << "title page: the First header";
    EXPECT_EQ(shown(f.pages, f.pages.headerFor(1), 1), "Page 2 of \n");
    EXPECT_EQ(shown(f.pages, f.pages.footerFor(0), 0), "<none>") << "a title page without a First footer has none";
    EXPECT_EQ(shown(f.pages, f.pages.headerFor(count - 1), count - 1), "Page x of \n")
        << "the landscape section links to the portrait header and numbers in roman from 10";
    EXPECT_EQ(shown(f.pages, f.pages.footerFor(count - 1), count - 1), "Section has 1 pages\n");
    EXPECT_EQ(shown(f.pages, f.pages.footerFor(1), 1), total + " pages\n");
}

TEST(DocumentPages, BandsLieAtTheirDistancesAndAreDrawn)
{
    TwoSections f;
    kit::Rect header = f.pages.headerRect(1), footer = f.pages.footerRect(1);
    EXPECT_EQ(header.x(), 70);
    EXPECT_EQ(header.y(), 30) << "the header's distance from the top edge";
    EXPECT_GT(header.height(), 10);
    EXPECT_FLOAT_EQ(footer.maxY(), 842 - 20) << "the footer's bottom at its distance from the bottom edge";

    // Drawn for real: ink in the header band and the footer band, none between them and the body.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 595, 842);
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    f.pages.drawHeaderAndFooter(cr, 1, { 0, 0 }, { 0, 0, 595, 842 });
    cairo_destroy(cr);
    cairo_surface_flush(surface);
    auto inkInRows = [&](int from, int to) {
        int ink = 0;
        const unsigned char* data = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        for (int y = from; y < to; ++y) {
            for (int x = 0; x < 595; ++x) {
                if ((reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xFFFFFF) != 0xFFFFFF)
                    ++ink;
            }
        }
        return ink;
    };
    EXPECT_GT(inkInRows(int(header.y()), int(header.maxY())), 50);
    EXPECT_GT(inkInRows(int(footer.y()), int(footer.maxY())), 50);
    EXPECT_EQ(inkInRows(0, int(header.y()) - 1), 0);
    EXPECT_EQ(inkInRows(int(header.maxY()) + 2, int(footer.y()) - 2), 0);
    cairo_surface_destroy(surface);
}

// A header that reaches below the top margin pushes the body down to its bottom, a footer that reaches above
// the bottom margin pushes it up to its top; bands that fit leave the margins as they are, and bands taller
// than the page still leave an inch of body.
TEST(DocumentPages, TallBandsPushTheBodyAway)
{
    const struct {
        int headerLines, footerLines;
        bool exact;
        const char* why;
    } cases[] = { { 5, 4, false, "a tall header and a tall footer" }, { 200, 0, false, "a header longer than the page" },
        { 5, 4, true, "exact margins hold: the bands run into the body" } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto body = std::make_shared<kit::TextStorage>();
        body->append(lines(120, "body"), kit::Attributes {});
        auto setup = std::make_shared<kit::PageSetup>();
        kit::PageSection letter; // 612 x 792, inch margins, bands half an inch from the edges
        letter.margins.isTopExact = letter.margins.isBottomExact = c.exact;
        letter.titlePage = true;
        letter.headers[std::size_t(kit::HeaderFooterKind::First)] = story("Short title page header");
        letter.headers[std::size_t(kit::HeaderFooterKind::Default)] = story(lines(c.headerLines, "head"));
        if (c.footerLines)
            letter.footers[std::size_t(kit::HeaderFooterKind::Default)] = story(lines(c.footerLines, "foot"));
        setup->sections = { letter };
        body->setPageSetup(setup);
        kit::LayoutManager layout;
        layout.replaceTextStorage(body);
        kit::DocumentPages pages(setup);
        pages.paginate(layout);
        ASSERT_GE(pages.pages().size(), 3u);
        EXPECT_EQ(pages.pages()[0].textRect, letter.textRect()) << "the title page's header fits above the margin";
        const kit::DocumentPage& second = pages.pages()[1];
        EXPECT_EQ(layout.textContainers()[1]->containerSize(), second.textRect.size);
        EXPECT_EQ(second.textRect.x(), 72);
        EXPECT_EQ(second.textRect.width(), 468);
        kit::Rect header = pages.headerRect(1), footer = pages.footerRect(1);
        if (c.exact) {
            EXPECT_GT(header.maxY(), 72);
            EXPECT_EQ(second.textRect, letter.textRect());
        } else if (c.headerLines < 100) {
            ASSERT_GT(header.maxY(), 72);
            ASSERT_LT(footer.y(), 792 - 72);
            EXPECT_FLOAT_EQ(second.textRect.y(), header.maxY());
            EXPECT_FLOAT_EQ(second.textRect.maxY(), footer.y());
            // The body's first line sits below the header's last one.
            kit::Range range = layout.glyphRangeForTextContainer(*layout.textContainers()[1]);
            EXPECT_EQ(body->string().substr(range.location, 4), "body");
        } else {
            EXPECT_EQ(second.textRect.height(), 72) << "an inch of body";
            EXPECT_LE(second.textRect.maxY(), 792);
        }
    }
}

TEST(PageSetup, SectionsLinksAndNumbers)
{
    kit::PageSetup setup;
    setup.sections.resize(3);
    setup.sections[1].start = 10;
    setup.sections[2].start = 10; // an empty section
    setup.sections[0].headers[0] = story("zero");
    setup.sections[2].footers[1] = story("first");
    EXPECT_EQ(setup.sectionIndexAt(0), 0u);
    EXPECT_EQ(setup.sectionIndexAt(9), 0u);
    EXPECT_EQ(setup.sectionIndexAt(10), 2u) << "an empty section gives way to the one starting where it does";
    EXPECT_EQ(setup.sectionIndexAt(1000), 2u);
    EXPECT_EQ(setup.header(2, kit::HeaderFooterKind::Default), setup.sections[0].headers[0]);
    EXPECT_EQ(setup.header(2, kit::HeaderFooterKind::First), nullptr);
    EXPECT_EQ(setup.footer(1, kit::HeaderFooterKind::First), nullptr) << "links look back, never ahead";
    EXPECT_EQ(kit::PageSetup {}.header(0, kit::HeaderFooterKind::Default), nullptr);

    const struct {
        int number;
        kit::PageNumberFormat format;
        const char* text;
    } numbers[] = {
        { 4, kit::PageNumberFormat::Decimal, "4" },
        { 1994, kit::PageNumberFormat::UpperRoman, "MCMXCIV" },
        { 49, kit::PageNumberFormat::LowerRoman, "xlix" },
        { 27, kit::PageNumberFormat::LowerLetter, "aa" },
        { 26, kit::PageNumberFormat::UpperLetter, "Z" },
        { 0, kit::PageNumberFormat::LowerRoman, "0" },
        { -3, kit::PageNumberFormat::UpperLetter, "-3" },
    };
    for (const auto& n : numbers)
        EXPECT_EQ(kit::formatPageNumber(n.number, n.format), n.text) << n.number;

    kit::PageSection hostile;
    hostile.margins = { 500, 500, 400, 400, 0, 0, 300 };
    kit::Rect text = hostile.textRect();
    EXPECT_EQ(text.size, (kit::Size { 72, 72 })) << "margins wider than the paper leave an inch of body";
    EXPECT_LE(text.maxX(), 612);
    EXPECT_LE(text.maxY(), 792);
}
