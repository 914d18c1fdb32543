#include "LayoutTestSupport.h"
#include "support/Cases.h"

#include <algorithm>
#include <cairo.h>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <tuple>

using namespace layouttest;
using kit::Attributes;
using kit::LayoutManager;
using kit::ParagraphStyle;
using kit::Range;
using kit::TextContainer;
using kit::TextStorage;
using namespace kit;

namespace {

// Every byte of the text lies in exactly one container, in order, and nothing is left over.
void expectCoversEveryByteOnce(const Pages& pages, std::size_t length)
{
    ASSERT_FALSE(pages.ranges.empty());
    EXPECT_EQ(pages.ranges.front().location, 0u);
    for (std::size_t i = 1; i < pages.ranges.size(); ++i) {
        EXPECT_EQ(pages.ranges[i].location, pages.ranges[i - 1].end()) << "container " << i;
        EXPECT_GT(pages.ranges[i].length, 0u) << "container " << i << " is empty";
    }
    EXPECT_EQ(pages.ranges.back().end(), length);
}

float singleLineHeight(const Attributes& a)
{
    auto storage = std::make_shared<TextStorage>("Height", a);
    Pages pages = paginate(storage);
    auto fragments = pages.layoutManager->lineFragmentsForTextContainer(pages.container(0));
    return fragments.empty() ? 0 : fragments[0].rect.height();
}

} // namespace

TEST(LayoutManager, GlyphRangesCoverLongTextOnceInOrder)
{
    std::mt19937 random(20240611);
    auto storage = std::make_shared<TextStorage>();
    Attributes roman = attributes(), italic = attributes();
    italic.italic = true;
    for (int p = 0; p < 600; ++p) {
        storage->append(generatedParagraph(random, 20 + int(random() % 120)), roman);
        if (p % 7 == 0)
            storage->append(" " + generatedParagraph(random, 8), italic);
        storage->append("\n", roman);
    }
    Pages pages = paginate(storage);
    expectCoversEveryByteOnce(pages, storage->length());
    EXPECT_GT(pages.count(), 20u);
    // Past the end: {Len, 0}.
    pages.layoutManager->addTextContainer(std::make_unique<TextContainer>(kit::Size { 468, 648 }));
    EXPECT_EQ(pages.layoutManager->glyphRangeForTextContainer(*pages.layoutManager->textContainers().back()),
        (Range { storage->length(), 0 }));
}

TEST(LayoutManager, NaturalLineHeightIsTheFontsFullHeight)
{
    const testsupport::Case<std::tuple<const char*, float>, float> cases[] = {
        { { "Times New Roman", 12 }, 13.799f, "Liberation Serif: ascent + descent + line gap, as word processors use" },
        { { "Calibri", 12 }, 14.648f, "Carlito's line gap makes lines 1.22 em, not Pango's 1.0" },
        { { "Times New Roman", 24 }, 27.598f, "scales with the size" },
    };
    for (const auto& c : cases) {
        const auto& [family, size] = c.input;
        SCOPED_TRACE(c.why);
        EXPECT_NEAR(singleLineHeight(attributes(size, family)), c.expected, 0.01f);
    }
}

TEST(LayoutManager, TextFillingContainersExactlyNeedsNoTrailingContainer)
{
    float line = singleLineHeight(attributes());
    ASSERT_GT(line, 0);
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += "Line " + std::to_string(i) + "\n";
    auto storage = std::make_shared<TextStorage>(text, attributes());
    const testsupport::Case<float, std::size_t> cases[] = {
        { 10 * line - 0.05f, 2, "a hair too short: the last line moves on" },
        { 10 * line, 1, "exactly ten lines: no empty container after them" },
        { 10 * line + 0.05f, 1, "a little room to spare" },
        { 5 * line, 2, "two full containers, nothing after" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Pages pages = paginate(storage, { 468, c.input });
        EXPECT_EQ(pages.count(), c.expected);
        expectCoversEveryByteOnce(pages, storage->length());
    }
}

TEST(LayoutManager, EmptyAndNullTextsGiveOneEmptyContainer)
{
    for (auto storage : { std::make_shared<TextStorage>(), std::shared_ptr<TextStorage>() }) {
        Pages pages = paginate(storage);
        ASSERT_EQ(pages.count(), 1u);
        EXPECT_EQ(pages.ranges[0], (Range { 0, 0 }));
    }
}

TEST(LayoutManager, PageBreaksStartTheFollowingTextOnANewContainer)
{
    ParagraphStyle breakBefore;
    breakBefore.pageBreakBefore = true;
    const struct {
        std::vector<std::pair<std::string, bool>> paragraphs; // text, page break before
        std::vector<Range> expected;
        const char* why;
    } cases[] = {
        { { { "one\ftwo\fthree", false } }, { { 0, 4 }, { 4, 4 }, { 8, 5 } },
            "'\\f' ends the paragraph and the container" },
        { { { "one\f", false } }, { { 0, 4 } }, "a final '\\f' adds no empty container" },
        { { { "one\f\f", false } }, { { 0, 4 }, { 4, 1 } }, "two breaks: an empty paragraph on its own container" },
        { { { "one\n", false }, { "two\n", true } }, { { 0, 4 }, { 4, 4 } }, "page break before" },
        { { { "one\n", true }, { "two\n", false } }, { { 0, 8 } },
            "page break before on the first paragraph: no blank page" },
        { { { "one\f", false }, { "two\n", true } }, { { 0, 4 }, { 4, 4 } },
            "'\\f' then page break before: one break, not two" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = std::make_shared<TextStorage>();
        for (const auto& [text, before] : c.paragraphs)
            storage->append(text, before ? withParagraph(attributes(), breakBefore) : attributes());
        Pages pages = paginate(storage);
        EXPECT_EQ(pages.ranges, c.expected);
    }
}

TEST(LayoutManager, LineTallerThanAContainerStillLandsOnOne)
{
    auto storage = std::make_shared<TextStorage>("small\n", attributes());
    storage->append("HI\n", attributes(300));
    storage->append("after\n", attributes());
    Pages pages = paginate(storage, { 468, 100 });
    ASSERT_EQ(pages.count(), 3u) << "small | HUGE (overflowing) | after";
    EXPECT_EQ(pages.ranges[1], (Range { 6, 3 }));
    auto fragments = pages.layoutManager->lineFragmentsForTextContainer(pages.container(1));
    ASSERT_EQ(fragments.size(), 1u);
    EXPECT_GT(fragments[0].rect.height(), 100);
    EXPECT_EQ(fragments[0].rect.y(), 0);
}

TEST(LayoutManager, ParagraphTallerThanAContainerBreaksBetweenLines)
{
    std::mt19937 random(7);
    auto storage = std::make_shared<TextStorage>(generatedParagraph(random, 2000), attributes());
    Pages pages = paginate(storage);
    expectCoversEveryByteOnce(pages, storage->length());
    ASSERT_GT(pages.count(), 1u);
    for (std::size_t i = 0; i + 1 < pages.count(); ++i) {
        auto fragments = pages.layoutManager->lineFragmentsForTextContainer(pages.container(i));
        ASSERT_FALSE(fragments.empty());
        EXPECT_LE(fragments.back().rect.maxY(), 648.01f);
        EXPECT_GT(fragments.back().rect.maxY() + fragments.back().rect.height(), 648) << "the next line would not fit";
    }
}

TEST(LayoutManager, LineSeparatorBreaksALineInsideAParagraph)
{
    auto storage = std::make_shared<TextStorage>("first\xE2\x80\xA8second\nthird", attributes());
    Pages pages = paginate(storage);
    auto fragments = pages.layoutManager->lineFragmentsForTextContainer(pages.container(0));
    ASSERT_EQ(fragments.size(), 3u);
    EXPECT_EQ(fragments[0].range, (Range { 0, 8 })) << "the separator stays on the line it ends";
    EXPECT_EQ(fragments[1].range, (Range { 8, 7 })) << "the paragraph's '\\n' belongs to its last line";
    EXPECT_EQ(fragments[2].range, (Range { 15, 5 }));
    EXPECT_NEAR(fragments[1].rect.y(), fragments[0].rect.maxY(), 0.001f);
}

TEST(LayoutManager, VeryLongParagraphStillWrapsOnEveryPage)
{
    // About 820 KB in one paragraph: its advances add up past what Pango's 32-bit units hold, and Pango
    // would lay it out as one endless line.
    std::string text;
    for (int i = 0; i < 120000; ++i)
        text += i % 7 ? "lorem " : "ipsum dolor ";
    ParagraphStyle indented;
    indented.firstLineHeadIndent = 36;
    auto storage = std::make_shared<TextStorage>(text, withParagraph(attributes(), indented));
    Pages pages = paginate(storage);
    expectCoversEveryByteOnce(pages, storage->length());
    EXPECT_GT(pages.count(), 150u);
    std::size_t indentedLines = 0;
    for (std::size_t p : { std::size_t(0), pages.count() / 2, pages.count() - 1 }) {
        auto fragments = pages.layoutManager->lineFragmentsForTextContainer(pages.container(p));
        ASSERT_GT(fragments.size(), 10u) << "page " << p;
        for (const auto& fragment : fragments) {
            EXPECT_LE(fragment.usedRect.maxX(), 468.01f);
            indentedLines += fragment.usedRect.minX() > 30;
        }
    }
    EXPECT_EQ(indentedLines, 1u) << "only the paragraph's first line is indented";
}

TEST(LayoutManager, EditsAndResizedContainersAreLaidOutAgain)
{
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += "line " + std::to_string(i) + "\n";
    auto storage = std::make_shared<TextStorage>(text, attributes());
    Pages pages = paginate(storage, { 468, 300 });
    ASSERT_EQ(pages.count(), 3u);
    auto lines = [&](Range r) {
        return std::count(
            storage->string().begin() + long(r.location), storage->string().begin() + long(r.end()), '\n');
    };
    auto linesBefore = lines(pages.layoutManager->glyphRangeForTextContainer(pages.container(0)));

    storage->replaceCharacters({ 0, 0 }, "inserted\n", attributes());
    Range after = pages.layoutManager->glyphRangeForTextContainer(pages.container(0));
    EXPECT_EQ(after.location, 0u);
    EXPECT_EQ(lines(after), linesBefore) << "as many lines as before, the new one among them";
    EXPECT_EQ(storage->string().substr(0, 9), "inserted\n");
    EXPECT_EQ(pages.layoutManager->glyphRangeForTextContainer(pages.container(1)).location, after.end());

    pages.container(0).setContainerSize({ 468, 150 });
    Range shorter = pages.layoutManager->glyphRangeForTextContainer(pages.container(0));
    EXPECT_LT(shorter.length, after.length) << "a shorter container holds fewer lines";
    EXPECT_EQ(pages.layoutManager->glyphRangeForTextContainer(pages.container(1)).location, shorter.end());
}

TEST(LayoutManager, DamagedLengthsInTheAttributesAreLaidOutSafely)
{
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    ParagraphStyle style;
    style.spacingBefore = nan;
    style.spacingAfter = inf;
    style.firstLineHeadIndent = -inf;
    style.headIndent = nan;
    style.tailIndent = 1e30f;
    style.lineSpacingRule = LineSpacingRule::AtLeast;
    style.lineSpacing = nan;
    style.defaultTabInterval = 1e-6f;
    style.tabStops = { { nan, TabAlignment::Right }, { inf, TabAlignment::Left } };
    Attributes a = withParagraph(attributes(), style);
    a.fontSize = 1e30f;
    a.baselineShift = inf;
    auto storage = std::make_shared<TextStorage>("Damaged\tparagraph\n", a);
    Attributes b = attributes();
    b.fontSize = nan;
    auto picture = std::make_shared<Attachment>();
    picture->size = { inf, nan };
    b.attachment = picture;
    storage->append(kAttachmentCharacter, b);
    TableBuilder table(storage, 1, { nan, inf, -5, 1e38f });
    table.prototype.columnSpan = std::numeric_limits<int>::max();
    table.prototype.borders[0] = { LineStyle::Double, inf, {} };
    table.cell(0, std::numeric_limits<int>::max() - 1, { "cell" });
    Pages pages = paginate(storage);
    expectCoversEveryByteOnce(pages, storage->length());
    for (std::size_t i = 0; i < pages.count(); ++i) {
        for (const auto& fragment : pages.layoutManager->lineFragmentsForTextContainer(pages.container(i))) {
            EXPECT_TRUE(std::isfinite(fragment.rect.y()) && std::isfinite(fragment.rect.height())
                && std::isfinite(fragment.rect.x()));
            EXPECT_TRUE(std::isfinite(fragment.usedRect.x()) && std::isfinite(fragment.usedRect.width()));
        }
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 100, 100);
    cairo_t* cr = cairo_create(surface);
    for (std::size_t i = 0; i < pages.count(); ++i)
        pages.layoutManager->drawGlyphsForContainer(cr, pages.container(i), { 0, 0 }, { 0, 0, 100, 100 });
    EXPECT_EQ(cairo_status(cr), CAIRO_STATUS_SUCCESS) << "no drawing with a length that is not a number";
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}
