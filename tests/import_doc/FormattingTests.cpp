#include "TestDocuments.h"
#include "support/Cases.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

using namespace testdoc;

namespace {

// One paragraph "before WORD after" whose middle word carries the grpprl.
importer::ImportResult styledWord(const Bytes& grpprl, std::map<int, Bytes> table = {})
{
    WordFileBuilder builder = paragraphs({ u"before WORD after" });
    builder.characterRuns.push_back({ 7, 11, grpprl });
    builder.tableEntries = std::move(table);
    return importBuilt(builder);
}

kit::Color rgb(int r, int g, int b)
{
    return kit::Color::calibratedRGB(float(r) / 255, float(g) / 255, float(b) / 255);
}

} // namespace

TEST(DocFormatting, CharacterPropertiesBecomeAttributes)
{
    using Check = std::function<bool(const kit::Attributes&)>;
    const struct {
        Bytes grpprl;
        Check check;
        const char* why;
        bool isDefault = false; // the check also holds for text without the property
    } cases[] = {
        { sprm(0x0835, { 1 }), [](const auto& a) { return a.bold; }, "bold" },
        { sprm(0x0836, { 1 }), [](const auto& a) { return a.italic; }, "italic" },
        { sprm(0x2A3E, { 1 }), [](const auto& a) { return a.underline == kit::LineStyle::Single; }, "single underline" },
        { sprm(0x2A3E, { 3 }), [](const auto& a) { return a.underline == kit::LineStyle::Double; }, "double underline" },
        { sprm(0x2A3E, { 2 }), [](const auto& a) { return a.underline == kit::LineStyle::Single; }, "words-only underline draws one line" },
        { sprm(0x0837, { 1 }), [](const auto& a) { return a.strikethrough == kit::LineStyle::Single; }, "strike" },
        { sprm(0x2A53, { 1 }), [](const auto& a) { return a.strikethrough == kit::LineStyle::Double; }, "double strike" },
        { sprm(0x083B, { 1 }), [](const auto& a) { return a.allCaps; }, "all caps" },
        { sprm(0x083A, { 1 }), [](const auto& a) { return a.smallCaps; }, "small caps" },
        { sprm(0x2A42, { 6 }), [](const auto& a) { return a.foreground == rgb(255, 0, 0); }, "colour index 6 is red" },
        { sprm32(0x6870, 0x00336699), [](const auto& a) { return a.foreground == rgb(0x99, 0x66, 0x33); }, "24-bit colour, red first" },
        { concat({ sprm(0x2A42, { 6 }), sprm32(0x6870, 0xFF000000) }), [](const auto& a) { return !a.foreground; },
            "an automatic 24-bit colour overrides the index", true },
        { sprm(0x2A0C, { 7 }), [](const auto& a) { return a.background == rgb(255, 255, 0); }, "yellow highlight" },
        { sprm16(0x4866, 0x0000 | (4 << 5)), [](const auto& a) { return a.background == rgb(0, 255, 0); }, "clear shading over green" },
        { sprm16(0x4866, (8 << 10) | 1),
            [](const auto& a) { return a.background && std::abs(a.background->red() - 0.5f) < 0.01f && a.background->red() == a.background->blue(); },
            "50% black shading on white is grey" },
        { sprm(0x2A48, { 1 }), [](const auto& a) { return a.superscript == 1; }, "superscript" },
        { sprm(0x2A48, { 2 }), [](const auto& a) { return a.superscript == -1; }, "subscript" },
        { sprm16(0x4A43, 28), [](const auto& a) { return a.fontSize == 14; }, "size in half points" },
        { sprm16(0x4845, 6), [](const auto& a) { return a.baselineShift == 3; }, "raised by half points" },
        { sprm16(0x4845, std::uint16_t(-4)), [](const auto& a) { return a.baselineShift == -2; }, "lowered" },
        { concat({ sprm(0x085A, { 1 }), sprm16(0x4A61, 32), sprm(0x085C, { 1 }) }),
            [](const auto& a) { return a.fontSize == 16 && a.bold; }, "right-to-left text takes its own size and weight" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::ImportResult result = styledWord(c.grpprl);
        EXPECT_TRUE(c.check(attributesOf(result, "WORD")));
        if (!c.isDefault) {
            EXPECT_FALSE(c.check(attributesOf(result, "after"))) << "the property must end with its run";
        }
    }
}

TEST(DocFormatting, FontsComeFromTheFontTable)
{
    std::map<int, Bytes> table = { { kSttbfFfn, fontTable({ { u"Times New Roman", 0 }, { u"Arial", 0 }, { u"SimSun", 134 }, { u"David", 177 } }) } };
    importer::ImportResult result = styledWord(concat({ sprm16(0x4A4F, 1), sprm16(0x4A50, 2), sprm16(0x4A5E, 3) }), table);
    const kit::Attributes& word = attributesOf(result, "WORD");
    EXPECT_EQ(word.fontFamily, "Arial");
    EXPECT_EQ(word.fontFamilyEastAsian, "SimSun");
    EXPECT_EQ(word.fontFamilyComplex, "David");
    EXPECT_EQ(attributesOf(result, "before").fontFamily, "Times New Roman");
}

TEST(DocFormatting, HiddenAndDeletedTextIsNotShown)
{
    const testsupport::Case<Bytes, const char*> cases[] = {
        { sprm(0x083C, { 1 }), "before  after\n", "hidden text" },
        { sprm(0x0800, { 1 }), "before  after\n", "a tracked deletion" },
        { sprm(0x0801, { 1 }), "before WORD after\n", "a tracked insertion stays" },
        { sprm(0x083C, { 0 }), "before WORD after\n", "hidden switched off" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return styledWord(input).text->string(); });
}

TEST(DocFormatting, TogglesReferToTheStyle)
{
    // Normal is bold in the first style sheet and not in the second; 0x80 means "as the style", 0x81 "the
    // opposite of the style".
    const testsupport::Case<std::tuple<bool, std::uint8_t>, bool> cases[] = {
        { { true, 0x81 }, false, "opposite of a bold style" },
        { { false, 0x81 }, true, "opposite of a plain style" },
        { { true, 0x80 }, true, "as the bold style" },
        { { false, 0x80 }, false, "as the plain style" },
        { { true, 0x00 }, false, "off" },
        { { false, 0x01 }, true, "on" },
    };
    for (const auto& c : cases) {
        const auto& [styleIsBold, operand] = c.input;
        SCOPED_TRACE(c.why);
        Bytes normal = styleIsBold ? sprm(0x0835, { 1 }) : Bytes();
        importer::ImportResult result = styledWord(sprm(0x0835, { operand }), { { kStshf, styleSheet({ { u"Normal", false, 0x0FFF, {}, normal } }) } });
        EXPECT_EQ(attributesOf(result, "WORD").bold, c.expected);
        EXPECT_EQ(attributesOf(result, "after").bold, styleIsBold);
    }
}

TEST(DocFormatting, StylesBuildOnTheirBases)
{
    Bytes sheet = styleSheet({
        { u"Normal", false, 0x0FFF, sprm16(0xA414, 240), sprm16(0x4A43, 24) },
        { u"Heading", false, 0, sprm(0x2461, { 1 }), sprm(0x0835, { 1 }) },
        { u"Subheading", false, 1, {}, sprm(0x0836, { 1 }) },
        { u"Emphasis", true, 0x0FFF, {}, sprm(0x2A3E, { 1 }) },
        { u"Loop A", false, 5, {}, sprm(0x0836, { 1 }) },
        { u"Loop B", false, 4, {}, sprm(0x0835, { 1 }) },
    });
    WordFileBuilder builder = paragraphs({ u"sub", u"plain", u"looping" });
    builder.paragraphRuns[0].istd = 2;
    builder.paragraphRuns[2].istd = 4;
    builder.characterRuns.push_back({ 4, 7, sprm16(0x4A30, 3) });
    builder.tableEntries[kStshf] = sheet;
    importer::ImportResult result = importBuilt(builder);
    ASSERT_TRUE(result.text);
    EXPECT_EQ(result.text->string(), "sub\nplain\nlooping\n") << "a loop of base styles must not hide the text";
    const kit::Attributes& sub = attributesOf(result, "sub");
    EXPECT_TRUE(sub.bold && sub.italic) << "bold from Heading, italic from itself";
    EXPECT_EQ(sub.fontSize, 12) << "the size from Normal, two bases up";
    EXPECT_EQ(sub.paragraphStyle().alignment, kit::TextAlignment::Center);
    EXPECT_EQ(sub.paragraphStyle().spacingAfter, 12);
    const kit::Attributes& plain = attributesOf(result, "plain");
    EXPECT_EQ(plain.underline, kit::LineStyle::Single) << "the character style";
    EXPECT_FALSE(plain.bold);
    EXPECT_EQ(plain.fontSize, 12);
}

TEST(DocFormatting, ParagraphPropertiesBecomeParagraphStyles)
{
    using Check = std::function<bool(const kit::ParagraphStyle&)>;
    const struct {
        Bytes grpprl;
        Check check;
        const char* why;
        bool isDefault = false; // the check also holds for a paragraph without the property
    } cases[] = {
        { sprm(0x2461, { 1 }), [](const auto& p) { return p.alignment == kit::TextAlignment::Center; }, "centred" },
        { sprm(0x2461, { 2 }), [](const auto& p) { return p.alignment == kit::TextAlignment::Right; }, "end of a left-to-right line" },
        { sprm(0x2461, { 3 }), [](const auto& p) { return p.alignment == kit::TextAlignment::Justified; }, "justified" },
        { sprm(0x2403, { 3 }), [](const auto& p) { return p.alignment == kit::TextAlignment::Justified; }, "the older code" },
        { concat({ sprm(0x2441, { 1 }), sprm(0x2461, { 2 }) }),
            [](const auto& p) { return p.baseDirection == kit::WritingDirection::RightToLeft && p.alignment == kit::TextAlignment::Left; },
            "the end of a right-to-left line is its left" },
        { concat({ sprm(0x2441, { 1 }), sprm(0x2403, { 2 }) }), [](const auto& p) { return p.alignment == kit::TextAlignment::Right; },
            "the older code names the physical side" },
        { concat({ sprm16(0x845E, 720), sprm16(0x8460, std::uint16_t(-360)), sprm16(0x845D, 1440) }),
            [](const auto& p) { return p.headIndent == 36 && p.firstLineHeadIndent == 18 && p.tailIndent == 72; }, "hanging indent" },
        { sprm16(0x840F, std::uint16_t(-200)), [](const auto& p) { return p.headIndent == 0; }, "an indent into the margin stops at the edge", true },
        { concat({ sprm16(0xA413, 240), sprm16(0xA414, 120) }), [](const auto& p) { return p.spacingBefore == 12 && p.spacingAfter == 6; },
            "spacing in twips" },
        { sprm(0x245B, { 1 }), [](const auto& p) { return p.spacingBefore == 14; }, "automatic spacing before" },
        { sprm32(0x6412, 0x00010168), [](const auto& p) { return p.lineSpacingRule == kit::LineSpacingRule::Multiple && p.lineSpacing == 1.5f; },
            "one and a half lines" },
        { sprm32(0x6412, 0x00000140), [](const auto& p) { return p.lineSpacingRule == kit::LineSpacingRule::AtLeast && p.lineSpacing == 16; },
            "at least 16 points" },
        { sprm32(0x6412, 0x0000FEE8), [](const auto& p) { return p.lineSpacingRule == kit::LineSpacingRule::Exact && p.lineSpacing == 14; },
            "exactly 14 points (negative)" },
        { sprm(0xC60D, { 8, 0, 2, 0xD0, 0x02, 0x40, 0x0B, 0x00, 0x01 }),
            [](const auto& p) {
                return p.tabStops.size() == 2 && p.tabStops[0].location == 36 && p.tabStops[1].location == 144
                    && p.tabStops[1].alignment == kit::TabAlignment::Center;
            },
            "two tab stops added" },
        { concat({ sprm(0xC60D, { 5, 0, 1, 0xD0, 0x02, 0x00 }), sprm(0xC60D, { 3, 1, 0xD0, 0x02, 0 }) }),
            [](const auto& p) { return p.tabStops.empty(); }, "a tab stop added, then deleted", true },
        { sprm(0x2406, { 1 }), [](const auto& p) { return p.keepWithNext; }, "keep with next" },
        { sprm(0x2407, { 1 }), [](const auto& p) { return p.pageBreakBefore; }, "page break before" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::ImportResult result = importBuilt(paragraphs({ u"styled", u"plain" }, { c.grpprl }));
        EXPECT_TRUE(c.check(attributesOf(result, "styled").paragraphStyle()));
        if (!c.isDefault) {
            EXPECT_FALSE(c.check(attributesOf(result, "plain").paragraphStyle())) << "the next paragraph has its own";
        }
    }
}

TEST(DocFormatting, DefaultTabIntervalComesFromTheDocument)
{
    Bytes dop(84, 0);
    dop[10] = 0xA0; // 1440 twips
    dop[11] = 0x05;
    WordFileBuilder builder = paragraphs({ u"tabs" });
    builder.tableEntries[kDop] = dop;
    EXPECT_EQ(attributesOf(importBuilt(builder), "tabs").paragraphStyle().defaultTabInterval, 72);
}
