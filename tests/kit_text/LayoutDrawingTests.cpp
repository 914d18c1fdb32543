#include "LayoutTestSupport.h"
#include "support/TestSupport.h"

#include <cairo.h>
#include <gtest/gtest.h>

using namespace layouttest;
using namespace kit;

namespace {

constexpr float kScale = 2; // pixels per point

// Draws a container on white at kScale into a PNG and reads the PNG back.
testsupport::Image render(const Pages& pages, std::size_t container = 0, Rect dirty = { 0, 0, 1e6f, 1e6f })
{
    Size size = pages.container(container).containerSize();
    cairo_surface_t* surface
        = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(size.width * kScale), int(size.height * kScale));
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, kScale, kScale);
    pages.layoutManager->drawGlyphsForContainer(cr, pages.container(container), { 0, 0 }, dirty);
    cairo_destroy(cr);
    auto path = testsupport::temporaryFolder("drawing") / "container.png";
    EXPECT_EQ(cairo_surface_write_to_png(surface, path.c_str()), CAIRO_STATUS_SUCCESS);
    cairo_surface_destroy(surface);
    return testsupport::readPng(path);
}

struct Rgb {
    int r, g, b;
};

Rgb rgb(std::uint32_t pixel) { return { int(pixel >> 16 & 0xff), int(pixel >> 8 & 0xff), int(pixel & 0xff) }; }

bool isDark(std::uint32_t pixel)
{
    Rgb c = rgb(pixel);
    return c.r < 100 && c.g < 100 && c.b < 100;
}

bool near(std::uint32_t pixel, Rgb expected, int tolerance = 6)
{
    Rgb c = rgb(pixel);
    return std::abs(c.r - expected.r) <= tolerance && std::abs(c.g - expected.g) <= tolerance
        && std::abs(c.b - expected.b) <= tolerance;
}

// Pixels of a rectangle in points that satisfy a test.
template <typename Test> int count(const testsupport::Image& image, Rect points, Test test)
{
    int n = 0;
    int x0 = std::max(0, int(points.minX() * kScale)), x1 = std::min(image.width, int(points.maxX() * kScale));
    int y0 = std::max(0, int(points.minY() * kScale)), y1 = std::min(image.height, int(points.maxY() * kScale));
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x)
            n += test(image.at(x, y));
    }
    return n;
}

Rect rectOf(const Pages& pages, Range range)
{
    Rect all;
    for (const Rect& r : pages.layoutManager->rectsForCharacterRange(range, pages.container(0)))
        all = unionRect(all, r);
    return all;
}

// The topmost row (points) holding a dark pixel inside a rectangle, or -1.
float inkTop(const testsupport::Image& image, Rect points)
{
    for (int y = int(points.minY() * kScale); y < int(points.maxY() * kScale); ++y) {
        for (int x = int(points.minX() * kScale); x < int(points.maxX() * kScale); ++x) {
            if (isDark(image.at(x, y)))
                return float(y) / kScale;
        }
    }
    return -1;
}

} // namespace

TEST(LayoutDrawing, GlyphsAreDarkWhereTheTextIsAndNowhereElse)
{
    auto storage = std::make_shared<TextStorage>("Hello world\nSecond paragraph", attributes(18));
    Pages pages = paginate(storage, { 300, 200 });
    testsupport::Image image = render(pages);
    ASSERT_EQ(image.width, 600);
    auto fragments = pages.layoutManager->lineFragmentsForTextContainer(pages.container(0));
    ASSERT_EQ(fragments.size(), 2u);
    for (const auto& fragment : fragments)
        EXPECT_GT(count(image, fragment.usedRect, isDark), 40) << "ink on each line";
    EXPECT_EQ(count(image, { 0, fragments[1].rect.maxY() + 2, 300, 100 }, isDark), 0) << "nothing below the text";
    EXPECT_EQ(count(image, { fragments[0].usedRect.maxX() + 2, 0, 100, fragments[0].rect.height() }, isDark), 0)
        << "nothing right of the first line's glyphs";
}

TEST(LayoutDrawing, SelectionIsHighlightedUnderTheGlyphs)
{
    auto storage = std::make_shared<TextStorage>("Hello world and more", attributes(18));
    Pages pages = paginate(storage, { 400, 100 });
    pages.layoutManager->setSelectedRange({ 6, 5 });
    testsupport::Image image = render(pages);
    Color color = LayoutManager::selectionColor();
    Rgb highlight { int(color.red() * 255 + 0.5f), int(color.green() * 255 + 0.5f), int(color.blue() * 255 + 0.5f) };
    auto isHighlight = [&](std::uint32_t p) { return near(p, highlight, 2); };
    Rect selected = rectOf(pages, { 6, 5 });
    Rect before = rectOf(pages, { 0, 5 });
    EXPECT_GT(count(image, selected, isHighlight), int(selected.width() * selected.height() * kScale * kScale / 2))
        << "most of the selected area is the highlight colour";
    EXPECT_GT(count(image, selected, isDark), 20) << "with the glyphs on top";
    EXPECT_EQ(count(image, before, isHighlight), 0) << "unselected text is not highlighted";
}

TEST(LayoutDrawing, CharacterColoursAndLines)
{
    Attributes red = attributes(24), marked = attributes(24), underlined = attributes(24), struck = attributes(24);
    red.foreground = Color::calibratedRGB(0.9f, 0, 0);
    marked.background = Color::calibratedRGB(1, 1, 0);
    underlined.underline = LineStyle::Single;
    struck.strikethrough = LineStyle::Double;
    auto storage = std::make_shared<TextStorage>("Red ", red);
    storage->append("Marked ", marked);
    storage->append("under ", underlined);
    storage->append("struck", struck);
    Pages pages = paginate(storage, { 600, 100 });
    testsupport::Image image = render(pages);

    Rect redRect = rectOf(pages, { 0, 3 });
    EXPECT_GT(count(image, redRect,
                  [](std::uint32_t p) {
                      Rgb c = rgb(p);
                      return c.r > 180 && c.g < 60 && c.b < 60;
                  }),
        30);
    EXPECT_EQ(count(image, redRect, isDark), 0) << "no black glyph pixels in red text";

    Rect markedRect = rectOf(pages, { 4, 6 });
    EXPECT_GT(count(image, markedRect,
                  [](std::uint32_t p) {
                      return near(p, { 255, 255, 0 });
                  }),
        int(markedRect.width() * 10));

    auto fragments = pages.layoutManager->lineFragmentsForTextContainer(pages.container(0));
    float baseline = fragments[0].baseline;
    // A row of ink under the baseline across the whole underlined word, where glyphs alone leave gaps.
    Rect under = rectOf(pages, { 11, 5 });
    int fullRows = 0;
    for (int y = int(baseline * kScale); y < int((baseline + 5) * kScale); ++y) {
        int dark = 0;
        for (int x = int(under.minX() * kScale) + 2; x < int(under.maxX() * kScale) - 2; ++x)
            dark += isDark(image.at(x, y));
        fullRows += dark >= int(under.width() * kScale) - 6;
    }
    EXPECT_GE(fullRows, 1) << "an underline";
    Rect strike = rectOf(pages, { 17, 6 });
    std::vector<int> rows;
    for (int y = int((baseline - 16) * kScale); y < int(baseline * kScale); ++y) {
        int dark = 0;
        for (int x = int(strike.minX() * kScale) + 2; x < int(strike.maxX() * kScale) - 2; ++x)
            dark += isDark(image.at(x, y));
        if (dark >= int(strike.width() * kScale) - 6)
            rows.push_back(y);
    }
    ASSERT_GE(rows.size(), 2u);
    EXPECT_GT(rows.back() - rows.front(), int(rows.size()) - 1) << "two separate lines, not one thick one";
}

TEST(LayoutDrawing, SuperscriptIsDrawnHigherThanTheBaseline)
{
    Attributes raised = attributes(24);
    raised.superscript = 1;
    auto storage = std::make_shared<TextStorage>("x", attributes(24));
    storage->append("x", raised);
    Pages pages = paginate(storage, { 200, 100 });
    testsupport::Image image = render(pages);
    Rect normal = rectOf(pages, { 0, 1 }), small = rectOf(pages, { 1, 1 });
    float normalTop = inkTop(image, normal), smallTop = inkTop(image, small);
    ASSERT_GE(normalTop, 0);
    ASSERT_GE(smallTop, 0);
    EXPECT_LT(smallTop, normalTop - 3) << "raised by a third of the size";
    EXPECT_LT(small.width(), normal.width()) << "and drawn at two thirds of it";
}

TEST(LayoutDrawing, AttachmentsDrawTheirImageOrAPlaceholderBox)
{
    auto picture = std::make_shared<Attachment>();
    picture->bytes = solidPng(10, 5, 0, 0.6, 0);
    picture->mimeType = "image/png";
    picture->size = { 80, 40 };
    auto placeholder = std::make_shared<Attachment>();
    placeholder->size = { 60, 40 };
    placeholder->alternativeText = "lost";
    Attributes a = attributes(), b = attributes();
    a.attachment = picture;
    b.attachment = placeholder;
    auto storage = std::make_shared<TextStorage>(kAttachmentCharacter, a);
    storage->append(" ", attributes());
    storage->append(kAttachmentCharacter, b);
    Pages pages = paginate(storage, { 300, 100 });
    testsupport::Image image = render(pages);
    Rect image1 = rectOf(pages, { 0, 3 });
    auto fragments = pages.layoutManager->lineFragmentsForTextContainer(pages.container(0));
    float baseline = fragments[0].baseline;
    Rect drawn { image1.minX() + 1, baseline - 39, 78, 38 };
    EXPECT_EQ(count(image, drawn,
                  [](std::uint32_t p) {
                      return near(p, { 0, 153, 0 }, 3);
                  }),
        int(78 * 38 * kScale * kScale))
        << "the decoded image fills its 80 x 40 points";
    Rect box = rectOf(pages, { 4, 3 });
    EXPECT_GT(count(image, { box.minX(), baseline - 40, 1, 40 }, [](std::uint32_t p) { return rgb(p).r < 200; }), 40)
        << "the placeholder's left border";
    EXPECT_GT(
        count(image, { box.minX() + 2, baseline - 38, 56, 36 }, [](std::uint32_t p) { return rgb(p).r < 160; }), 10)
        << "its alternative text inside";
}

TEST(LayoutDrawing, TableCellsDrawShadingAndBorders)
{
    auto storage = std::make_shared<TextStorage>();
    TableBuilder table(storage, 1, { 100, 100 });
    table.prototype.shading = Color::calibratedRGB(0.8f, 0.8f, 1);
    table.prototype.borders[0] = table.prototype.borders[2] = { LineStyle::Single, 2, Color::calibratedRGB(0, 0, 0) };
    table.cell(0, 0, { "a" });
    table.prototype.shading.reset();
    table.cell(0, 1, { "b" });
    Pages pages = paginate(storage, { 300, 100 });
    testsupport::Image image = render(pages);
    float bottom = pages.layoutManager->lineFragmentsForTextContainer(pages.container(0))[0].rect.maxY();
    EXPECT_GT(count(image, { 60, 3, 30, bottom - 6 },
                  [](std::uint32_t p) {
                      return near(p, { 204, 204, 255 });
                  }),
        100)
        << "the first cell's shading";
    EXPECT_EQ(count(image, { 160, 3, 30, bottom - 6 },
                  [](std::uint32_t p) {
                      return near(p, { 204, 204, 255 });
                  }),
        0)
        << "none in the second";
    EXPECT_EQ(count(image, { 10, bottom - 0.5f, 80, 1 }, isDark), int(80 * kScale * kScale))
        << "the bottom border, centred on the edge";
}

TEST(LayoutDrawing, OnlyLinesInTheDirtyAreaAreDrawn)
{
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += "line of text\n";
    Pages pages = paginate(std::make_shared<TextStorage>(text, attributes()), { 300, 200 });
    testsupport::Image image = render(pages, 0, { 0, 0, 300, 30 });
    EXPECT_GT(count(image, { 0, 0, 300, 28 }, isDark), 20);
    EXPECT_EQ(count(image, { 0, 60, 300, 140 }, isDark), 0) << "lines far from the dirty area are skipped";
}

TEST(LayoutDrawing, ImagesWithoutASizeTakeTheirPixelsAsPointsAndRedrawAfterEviction)
{
    // Forty small pictures, more than stay decoded at once: each is drawn again after the others.
    auto storage = std::make_shared<TextStorage>();
    for (int i = 0; i < 40; ++i) {
        auto picture = std::make_shared<Attachment>();
        picture->bytes = solidPng(30, 20, 0, 0.6, 0);
        picture->mimeType = "image/png";
        Attributes a = attributes();
        a.attachment = picture;
        storage->append(kAttachmentCharacter, a);
        storage->append("\n", attributes());
    }
    Pages pages = paginate(storage, { 300, 4000 });
    ASSERT_EQ(pages.count(), 1u);
    auto green = [](std::uint32_t p) { return near(p, { 0, 153, 0 }, 3); };
    for (int pass = 0; pass < 2; ++pass) {
        testsupport::Image image = render(pages);
        for (std::size_t i : { std::size_t(0), std::size_t(39) }) {
            Rect r = rectOf(pages, { i * 4, 3 });
            EXPECT_NEAR(r.width(), 30, 0.01f) << "30 pixels wide: 30 points";
            auto fragments = pages.layoutManager->lineFragmentsForTextContainer(pages.container(0));
            float baseline = fragments[i].baseline;
            EXPECT_EQ(count(image, { r.minX() + 1, baseline - 19, 28, 18 }, green), int(28 * 18 * kScale * kScale))
                << "picture " << i << ", pass " << pass;
        }
    }
}
