#include "LayoutTestSupport.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <tuple>

using namespace layouttest;
using namespace kit;

namespace {

using Fragments = std::vector<LayoutManager::LineFragment>;

Fragments fragmentsOf(const Pages& pages, std::size_t container = 0)
{
    return pages.layoutManager->lineFragmentsForTextContainer(pages.container(container));
}

Fragments layOut(const std::string& text, const Attributes& a, Size size = { 468, 648 })
{
    return fragmentsOf(paginate(std::make_shared<TextStorage>(text, a), size));
}

// The horizontal extent of some bytes on their line, container coordinates.
Rect rectOf(const Pages& pages, Range range, std::size_t container = 0)
{
    Rect all;
    for (const Rect& r : pages.layoutManager->rectsForCharacterRange(range, pages.container(container)))
        all = unionRect(all, r);
    return all;
}

const std::string kLong = "Justified text stretches every line but the last one to the full width of the column, "
                          "so that both edges of the paragraph are straight, as in books and newspapers of old.";

} // namespace

TEST(ParagraphLayout, AlignmentAndIndentsPlaceLines)
{
    const struct {
        TextAlignment alignment;
        float first, head, tail;
        float (*measure)(const Rect&);
        float expected;
        const char* why;
    } cases[] = {
        { TextAlignment::Natural, 0, 0, 0, [](const Rect& r) { return r.minX(); }, 0,
            "natural is left for left-to-right text" },
        { TextAlignment::Left, 36, 0, 0, [](const Rect& r) { return r.minX(); }, 36, "first-line indent" },
        { TextAlignment::Center, 0, 0, 0, [](const Rect& r) { return r.midX(); }, 234, "centred in the column" },
        { TextAlignment::Center, 36, 36, 0, [](const Rect& r) { return r.midX(); }, 252,
            "centred between the indents" },
        { TextAlignment::Right, 0, 0, 0, [](const Rect& r) { return r.maxX(); }, 468, "flush right" },
        { TextAlignment::Right, 0, 0, 36, [](const Rect& r) { return r.maxX(); }, 432,
            "flush against the tail indent" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ParagraphStyle style;
        style.alignment = c.alignment;
        style.firstLineHeadIndent = c.first;
        style.headIndent = c.head;
        style.tailIndent = c.tail;
        Fragments lines = layOut("Short line", withParagraph(attributes(), style));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NEAR(c.measure(lines[0].usedRect), c.expected, 0.5f);
    }
}

TEST(ParagraphLayout, HeadIndentAndHangingIndentApplyToFollowingLines)
{
    const struct {
        float first, head;
        const char* why;
    } cases[] = {
        { 36, 18, "first line further in than the rest" },
        { 0, 36, "hanging indent: the rest further in than the first" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ParagraphStyle style;
        style.firstLineHeadIndent = c.first;
        style.headIndent = c.head;
        Fragments lines = layOut(kLong, withParagraph(attributes(), style), { 300, 648 });
        ASSERT_GE(lines.size(), 3u);
        EXPECT_NEAR(lines[0].usedRect.minX(), c.first, 0.01f);
        EXPECT_NEAR(lines[1].usedRect.minX(), c.head, 0.01f);
        EXPECT_LE(lines[0].usedRect.maxX(), 300.01f);
    }
}

TEST(ParagraphLayout, JustifiedLinesFillTheColumnExceptTheLast)
{
    ParagraphStyle style;
    style.alignment = TextAlignment::Justified;
    Fragments lines = layOut(kLong, withParagraph(attributes(), style), { 300, 648 });
    ASSERT_GE(lines.size(), 3u);
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        EXPECT_NEAR(lines[i].usedRect.minX(), 0, 0.01f);
        EXPECT_NEAR(lines[i].usedRect.maxX(), 300, 0.5f) << "line " << i;
    }
    EXPECT_LT(lines.back().usedRect.maxX(), 250) << "the last line keeps its natural width";
}

TEST(ParagraphLayout, SpacingBeforeAndAfterParagraphs)
{
    ParagraphStyle spaced;
    spaced.spacingBefore = 10;
    spaced.spacingAfter = 20;
    Attributes a = withParagraph(attributes(), spaced);
    auto storage = std::make_shared<TextStorage>("First\nSecond\fThird\n", a);
    Pages pages = paginate(storage);
    Fragments page1 = fragmentsOf(pages, 0), page2 = fragmentsOf(pages, 1);
    ASSERT_EQ(page1.size(), 2u);
    ASSERT_EQ(page2.size(), 1u);
    EXPECT_EQ(page1[0].rect.minY(), 0) << "spacing before is dropped at the top of a page";
    EXPECT_NEAR(page1[1].rect.minY(), page1[0].rect.maxY() + 20 + 10, 0.01f) << "after, then before, both added";
    EXPECT_NEAR(page2[0].rect.minY(), 10, 0.01f) << "kept on a page started by an explicit break";
}

TEST(ParagraphLayout, LineSpacingRules)
{
    float natural = layOut("x", attributes())[0].rect.height();
    ASSERT_NEAR(natural, 13.799f, 0.01f);
    const testsupport::Case<std::tuple<LineSpacingRule, float>, float> cases[] = {
        { { LineSpacingRule::Multiple, 2 }, 2 * natural, "double spacing" },
        { { LineSpacingRule::Multiple, 1.5f }, 1.5f * natural, "one and a half" },
        { { LineSpacingRule::Exact, 30 }, 30, "exactly 30 points" },
        { { LineSpacingRule::Exact, 8 }, 8, "exact spacing may be tighter than the font" },
        { { LineSpacingRule::AtLeast, 20 }, 20, "at least 20: taller than the font" },
        { { LineSpacingRule::AtLeast, 5 }, natural, "at least 5: the font is taller" },
    };
    for (const auto& c : cases) {
        const auto& [rule, value] = c.input;
        SCOPED_TRACE(c.why);
        ParagraphStyle style;
        style.lineSpacingRule = rule;
        style.lineSpacing = value;
        Fragments lines = layOut(kLong, withParagraph(attributes(), style), { 300, 648 });
        ASSERT_GE(lines.size(), 2u);
        EXPECT_NEAR(lines[0].rect.height(), c.expected, 0.01f);
        EXPECT_NEAR(lines[1].rect.minY(), c.expected, 0.01f);
        EXPECT_LE(lines[0].baseline, lines[0].rect.maxY()) << "the baseline lies inside its line";
    }
}

TEST(ParagraphLayout, TabStopsAlignTheTextAfterThem)
{
    const struct {
        TabStop stop;
        std::string text;
        Range measured;
        float (*measure)(const Rect&);
        float expected;
        const char* why;
    } cases[] = {
        { { 200, TabAlignment::Left }, "a\tword", { 2, 4 }, [](const Rect& r) { return r.minX(); }, 200, "left stop" },
        { { 200, TabAlignment::Right }, "a\tword", { 2, 4 }, [](const Rect& r) { return r.maxX(); }, 200,
            "right stop" },
        { { 200, TabAlignment::Center }, "a\tword", { 2, 4 }, [](const Rect& r) { return r.midX(); }, 200,
            "centre stop" },
        { { 200, TabAlignment::Decimal }, "a\t123.45", { 5, 1 }, [](const Rect& r) { return r.minX(); }, 200,
            "decimal stop: at the point" },
        { { 10, TabAlignment::Left }, "abcdefgh\tword", { 9, 4 }, [](const Rect& r) { return r.minX(); }, 72,
            "past the last stop: default stops every 36 points" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ParagraphStyle style;
        style.tabStops = { c.stop };
        Pages pages = paginate(std::make_shared<TextStorage>(c.text, withParagraph(attributes(), style)));
        EXPECT_NEAR(c.measure(rectOf(pages, c.measured)), c.expected, 1.5f);
    }
    ParagraphStyle indented;
    indented.headIndent = indented.firstLineHeadIndent = 50;
    indented.tabStops = { { 120, TabAlignment::Left } };
    Pages pages = paginate(std::make_shared<TextStorage>("a\tword", withParagraph(attributes(), indented)));
    EXPECT_NEAR(rectOf(pages, { 2, 4 }).minX(), 120, 0.5f) << "stops count from the column's edge, not the indent";

    // A hanging indent is a stop of its own, before the named ones and the default ones.
    const struct {
        std::vector<TabStop> stops;
        float expected;
        const char* why;
    } hanging[] = {
        { {}, 20, "instead of the first default stop" },
        { { { 100, TabAlignment::Left } }, 20, "before a named stop past it" },
        { { { 10, TabAlignment::Left } }, 10, "a named stop before it comes first" },
        { { { 20, TabAlignment::Left } }, 20, "a named stop at it is the same stop" },
    };
    for (const auto& c : hanging) {
        SCOPED_TRACE(c.why);
        ParagraphStyle style;
        style.firstLineHeadIndent = 0;
        style.headIndent = 20;
        style.tabStops = c.stops;
        Pages list = paginate(std::make_shared<TextStorage>("1\tword", withParagraph(attributes(), style)));
        EXPECT_NEAR(rectOf(list, { 2, 4 }).minX(), c.expected, 0.5f);
    }
}

TEST(ParagraphLayout, RightToLeftParagraphsStartAtTheRight)
{
    const testsupport::Case<std::string, WritingDirection> cases[] = {
        { "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D \xD7\xA2\xD7\x95\xD7\x9C\xD7\x9D", WritingDirection::Natural,
            "Hebrew: natural direction from the text" },
        { "Latin in a right-to-left paragraph", WritingDirection::RightToLeft, "explicit base direction" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        ParagraphStyle style;
        style.baseDirection = c.expected;
        Fragments lines = layOut(c.input, withParagraph(attributes(), style));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NEAR(lines[0].usedRect.maxX(), 468, 0.5f);
        EXPECT_GT(lines[0].usedRect.minX(), 100);
    }
}

TEST(ParagraphLayout, KeepWithNextMovesAHeadingToTheNextPage)
{
    float line = layOut("x", attributes())[0].rect.height();
    ParagraphStyle heading;
    heading.keepWithNext = true;
    auto build = [&](bool keep) {
        auto storage = std::make_shared<TextStorage>();
        for (int i = 0; i < 9; ++i)
            storage->append("Body line\n", attributes());
        ParagraphStyle style = heading;
        style.keepWithNext = keep;
        storage->append("Heading\n", withParagraph(attributes(), style));
        storage->append("Text after the heading\n", attributes());
        return paginate(storage, { 468, line * 10 + 1 });
    };
    Pages kept = build(true), loose = build(false);
    ASSERT_EQ(loose.count(), 2u);
    EXPECT_EQ(fragmentsOf(loose, 0).size(), 10u) << "without the rule the heading ends the first page";
    ASSERT_EQ(kept.count(), 2u);
    EXPECT_EQ(fragmentsOf(kept, 0).size(), 9u);
    EXPECT_EQ(fragmentsOf(kept, 1).size(), 2u) << "the heading went with the text it introduces";
}

TEST(ParagraphLayout, CapsAreDrawnButNeverStored)
{
    auto widthOf = [](const std::string& text, bool allCaps, bool smallCaps) {
        Attributes a = attributes();
        a.allCaps = allCaps;
        a.smallCaps = smallCaps;
        auto storage = std::make_shared<TextStorage>(text, a);
        Pages pages = paginate(storage);
        EXPECT_EQ(storage->string(), text) << "the storage keeps its case";
        return fragmentsOf(pages)[0].usedRect.width();
    };
    float lower = widthOf("capitals", false, false), upper = widthOf("CAPITALS", false, false);
    EXPECT_NEAR(widthOf("capitals", true, false), upper, 0.01f) << "all caps: drawn as capitals";
    float small = widthOf("capitals", false, true);
    EXPECT_GT(small, lower);
    EXPECT_LT(small, upper) << "small caps: capitals, smaller";
}

TEST(ParagraphLayout, ScriptFamiliesApplyToTheirScriptsOnly)
{
    const std::string hebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
    float dejaVu = layOut("x", attributes(12, "DejaVu Sans"))[0].rect.height();
    float serif = layOut("x", attributes(12, "Liberation Serif"))[0].rect.height();
    ASSERT_GT(std::abs(dejaVu - serif), 0.05f) << "the two fonts must differ for this test to tell them apart";
    Attributes a = attributes(12, "Liberation Serif");
    a.fontFamilyComplex = "DejaVu Sans";
    EXPECT_NEAR(layOut(hebrew, a)[0].rect.height(), dejaVu, 0.01f) << "Hebrew takes the complex-script family";
    EXPECT_NEAR(layOut("Latin only", a)[0].rect.height(), serif, 0.01f) << "Latin keeps the main family";
    Attributes eastAsian = attributes(12, "Liberation Serif");
    eastAsian.fontFamilyEastAsian = "DejaVu Sans";
    EXPECT_NEAR(layOut(hebrew, eastAsian)[0].rect.height(), serif, 0.01f)
        << "the East Asian family leaves Hebrew alone";
}

TEST(ParagraphLayout, SuperscriptRaisesASmallerGlyph)
{
    Attributes raised = attributes(), lowered = attributes();
    raised.superscript = 1;
    lowered.superscript = -1;
    float natural = layOut("x", attributes())[0].rect.height();
    auto storage = std::make_shared<TextStorage>("x", attributes());
    storage->append("2", raised);
    Fragments up = fragmentsOf(paginate(storage));
    storage = std::make_shared<TextStorage>("x", attributes());
    storage->append("2", lowered);
    Fragments down = fragmentsOf(paginate(storage));
    // 2/3 size raised by a third of 12 points reaches above the ascent of the 12-point text; a subscript
    // lowered by 4 points reaches below its descent.
    EXPECT_GT(up[0].rect.height(), natural);
    EXPECT_GT(down[0].rect.height(), natural);
    EXPECT_GT(up[0].baseline, down[0].baseline) << "the raised glyph pushes the baseline down in its line";
}

TEST(ParagraphLayout, AttachmentsTakeTheirSizeScaledToFit)
{
    auto sized = [](Size size) {
        auto attachment = std::make_shared<Attachment>();
        attachment->size = size;
        attachment->alternativeText = "picture";
        Attributes a = attributes();
        a.attachment = attachment;
        auto storage = std::make_shared<TextStorage>(kAttachmentCharacter, a);
        Pages pages = paginate(storage);
        return rectOf(pages, { 0, 3 });
    };
    const testsupport::Case<Size, Size> cases[] = {
        { { 100, 50 }, { 100, 50 }, "its own size in points" },
        { { 936, 100 }, { 468, 50 }, "twice too wide: halved, proportions kept" },
        { { 100, 1296 }, { 50, 648 }, "twice too tall for the page: halved" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Rect r = sized(c.input);
        EXPECT_NEAR(r.width(), c.expected.width, 0.01f);
        EXPECT_GE(r.height(), c.expected.height);
    }
}
