#include "DocxBuilder.h"
#include "import/common/OutputBudget.h"
#include "import/docx/DocxReader.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

#include <functional>

using testdocx::attributesOf;
using testdocx::paragraph;

namespace {

kit::Color rgb(int r, int g, int b)
{
    return kit::Color::calibratedRGB(float(r) / 255, float(g) / 255, float(b) / 255);
}

const char* kStyles = R"(
<w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii="Cambria" w:hAnsi="Cambria"/><w:sz w:val="22"/><w:szCs w:val="26"/></w:rPr></w:rPrDefault>
<w:pPrDefault><w:pPr><w:spacing w:after="200"/></w:pPr></w:pPrDefault></w:docDefaults>
<w:style w:type="paragraph" w:default="1" w:styleId="Normal"><w:name w:val="Normal"/></w:style>
<w:style w:type="paragraph" w:styleId="Heading1"><w:basedOn w:val="Normal"/><w:pPr><w:keepNext/><w:spacing w:before="480"/>
  <w:tabs><w:tab w:val="left" w:pos="1440"/><w:tab w:val="right" w:pos="2880"/></w:tabs></w:pPr>
  <w:rPr><w:b/><w:sz w:val="32"/><w:color w:val="365F91"/></w:rPr></w:style>
<w:style w:type="paragraph" w:styleId="Heading2"><w:basedOn w:val="Heading1"/><w:rPr><w:i/><w:sz w:val="26"/></w:rPr></w:style>
<w:style w:type="paragraph" w:styleId="Loop1"><w:basedOn w:val="Loop2"/><w:rPr><w:b/></w:rPr></w:style>
<w:style w:type="paragraph" w:styleId="Loop2"><w:basedOn w:val="Loop1"/><w:rPr><w:i/></w:rPr></w:style>
<w:style w:type="paragraph" w:styleId="Secret"><w:rPr><w:vanish/></w:rPr></w:style>
<w:style w:type="character" w:styleId="Emphasis"><w:rPr><w:i/><w:color w:val="00FF00"/></w:rPr></w:style>
<w:style w:type="character" w:styleId="Hidden"><w:rPr><w:vanish/></w:rPr></w:style>
)";

} // namespace

TEST(DocxFormatting, RunPropertiesBecomeCharacterAttributes)
{
    const testsupport::Case<const char*, std::function<bool(const kit::Attributes&)>> cases[] = {
        { "<w:b/>", [](const kit::Attributes& a) { return a.bold; }, "bold" },
        { "<w:b w:val=\"false\"/>", [](const kit::Attributes& a) { return !a.bold; }, "bold switched off" },
        { "<w:i/><w:b w:val=\"1\"/>", [](const kit::Attributes& a) { return a.italic && a.bold; }, "italic and bold" },
        { "<w:u w:val=\"single\"/>", [](const kit::Attributes& a) { return a.underline == kit::LineStyle::Single; }, "underline" },
        { "<w:u w:val=\"double\"/>", [](const kit::Attributes& a) { return a.underline == kit::LineStyle::Double; }, "double underline" },
        { "<w:u w:val=\"wave\"/>", [](const kit::Attributes& a) { return a.underline == kit::LineStyle::Single; }, "other underlines draw single" },
        { "<w:u w:val=\"none\"/>", [](const kit::Attributes& a) { return a.underline == kit::LineStyle::None; }, "underline none" },
        { "<w:strike/>", [](const kit::Attributes& a) { return a.strikethrough == kit::LineStyle::Single; }, "strike" },
        { "<w:dstrike/>", [](const kit::Attributes& a) { return a.strikethrough == kit::LineStyle::Double; }, "double strike" },
        { "<w:color w:val=\"FF0000\"/>", [](const kit::Attributes& a) { return a.foreground == rgb(255, 0, 0); }, "colour" },
        { "<w:color w:val=\"auto\"/>", [](const kit::Attributes& a) { return !a.foreground; }, "automatic colour is none" },
        { "<w:highlight w:val=\"yellow\"/>", [](const kit::Attributes& a) { return a.background == rgb(255, 255, 0); }, "highlight" },
        { "<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"00FFFF\"/>", [](const kit::Attributes& a) { return a.background == rgb(0, 255, 255); }, "shading" },
        { "<w:shd w:val=\"clear\" w:fill=\"00FFFF\"/><w:highlight w:val=\"red\"/>", [](const kit::Attributes& a) { return a.background == rgb(255, 0, 0); }, "highlight wins over shading" },
        { "<w:shd w:val=\"pct50\" w:color=\"000000\" w:fill=\"FFFFFF\"/>", [](const kit::Attributes& a) { return a.background && std::abs(a.background->red() - 0.5f) < 0.01f; }, "a 50% pattern mixes its colours" },
        { "<w:vertAlign w:val=\"superscript\"/>", [](const kit::Attributes& a) { return a.superscript == 1; }, "superscript" },
        { "<w:vertAlign w:val=\"subscript\"/>", [](const kit::Attributes& a) { return a.superscript == -1; }, "subscript" },
        { "<w:position w:val=\"6\"/>", [](const kit::Attributes& a) { return a.baselineShift == 3; }, "raised by half-points" },
        { "<w:caps/>", [](const kit::Attributes& a) { return a.allCaps && !a.smallCaps; }, "caps as an attribute" },
        { "<w:smallCaps/>", [](const kit::Attributes& a) { return a.smallCaps; }, "small caps" },
        { "<w:sz w:val=\"31\"/>", [](const kit::Attributes& a) { return a.fontSize == 15.5f; }, "half-points" },
        { "", [](const kit::Attributes& a) { return a.fontSize == 11 && a.fontFamily == "Cambria"; }, "document defaults" },
        { "<w:rFonts w:ascii=\"Arial\" w:eastAsia=\"MS Mincho\" w:cs=\"Arial Unicode\"/>",
            [](const kit::Attributes& a) { return a.fontFamily == "Arial" && a.fontFamilyEastAsian == "MS Mincho" && a.fontFamilyComplex == "Arial Unicode"; },
            "fonts per script" },
        { "<w:rStyle w:val=\"Emphasis\"/>", [](const kit::Attributes& a) { return a.italic && a.foreground == rgb(0, 255, 0); }, "character style" },
        { "<w:rStyle w:val=\"Emphasis\"/><w:i w:val=\"0\"/>", [](const kit::Attributes& a) { return !a.italic && a.foreground; }, "direct formatting over the character style" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        testdocx::Parts parts;
        parts.styles = kStyles;
        parts.body = paragraph("before ") + paragraph("Sample", c.input);
        auto result = testdocx::import(parts);
        ASSERT_TRUE(result.text) << errorText(result.error);
        EXPECT_EQ(testdocx::text(result), "before \nSample\n");
        EXPECT_TRUE(c.expected(attributesOf(*result.text, "Sample")));
    }
}

TEST(DocxFormatting, CapsAreDrawnNotStored)
{
    auto result = testdocx::importBody(paragraph("Mixed Case", "<w:caps/>"));
    EXPECT_EQ(testdocx::text(result), "Mixed Case\n");
}

TEST(DocxFormatting, HiddenTextIsOmitted)
{
    testdocx::Parts parts;
    parts.styles = kStyles;
    parts.body = "<w:p><w:r><w:t xml:space=\"preserve\">shown </w:t></w:r><w:r><w:rPr><w:vanish/></w:rPr><w:t>directly-hidden </w:t></w:r>"
                 "<w:r><w:rPr><w:rStyle w:val=\"Hidden\"/></w:rPr><w:t>style-hidden </w:t></w:r>"
                 "<w:r><w:rPr><w:rStyle w:val=\"Hidden\"/><w:vanish w:val=\"0\"/></w:rPr><w:t>unhidden</w:t></w:r></w:p>"
        + paragraph("whole paragraph hidden", "", "<w:pStyle w:val=\"Secret\"/>") + paragraph("after");
    auto result = testdocx::import(parts);
    // The hidden paragraph's mark is hidden too, so its (empty) remains join the next paragraph.
    EXPECT_EQ(testdocx::text(result), "shown unhidden\nafter\n");
}

TEST(DocxFormatting, StylesInheritThroughBasedOn)
{
    testdocx::Parts parts;
    parts.styles = kStyles;
    parts.body = paragraph("Second level", "", "<w:pStyle w:val=\"Heading2\"/>") + paragraph("Looped", "", "<w:pStyle w:val=\"Loop1\"/>")
        + paragraph("Unknown style", "", "<w:pStyle w:val=\"NoSuchStyle\"/>");
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text);
    const auto& heading = attributesOf(*result.text, "Second");
    EXPECT_TRUE(heading.bold) << "from Heading1";
    EXPECT_TRUE(heading.italic) << "its own";
    EXPECT_EQ(heading.fontSize, 13) << "its own size wins over Heading1's";
    EXPECT_EQ(heading.foreground, rgb(0x36, 0x5F, 0x91));
    EXPECT_EQ(heading.fontFamily, "Cambria") << "from the document defaults";
    EXPECT_TRUE(heading.paragraphStyle().keepWithNext);
    EXPECT_EQ(heading.paragraphStyle().spacingBefore, 24);
    EXPECT_EQ(heading.paragraphStyle().spacingAfter, 10) << "from the document defaults";
    const auto& looped = attributesOf(*result.text, "Looped");
    EXPECT_TRUE(looped.bold || looped.italic) << "a loop of basedOn still reads the style itself";
    const auto& unknown = attributesOf(*result.text, "Unknown");
    EXPECT_FALSE(unknown.bold);
    EXPECT_EQ(unknown.fontSize, 11) << "an unknown style falls back to the default style";
}

TEST(DocxFormatting, ParagraphPropertiesBecomeParagraphStyle)
{
    const testsupport::Case<const char*, std::function<bool(const kit::ParagraphStyle&)>> cases[] = {
        { "<w:jc w:val=\"center\"/>", [](const kit::ParagraphStyle& p) { return p.alignment == kit::TextAlignment::Center; }, "centred" },
        { "<w:jc w:val=\"both\"/>", [](const kit::ParagraphStyle& p) { return p.alignment == kit::TextAlignment::Justified; }, "justified" },
        { "<w:jc w:val=\"distribute\"/>", [](const kit::ParagraphStyle& p) { return p.alignment == kit::TextAlignment::Justified; }, "distributed reads as justified" },
        { "<w:jc w:val=\"right\"/>", [](const kit::ParagraphStyle& p) { return p.alignment == kit::TextAlignment::Right; }, "right" },
        { "<w:bidi/><w:jc w:val=\"left\"/>",
            [](const kit::ParagraphStyle& p) { return p.baseDirection == kit::WritingDirection::RightToLeft && p.alignment == kit::TextAlignment::Right; },
            "in right-to-left paragraphs left means the start" },
        { "<w:ind w:left=\"720\" w:hanging=\"360\"/>", [](const kit::ParagraphStyle& p) { return p.headIndent == 36 && p.firstLineHeadIndent == 18; }, "hanging indent" },
        { "<w:ind w:start=\"720\" w:firstLine=\"360\" w:end=\"1440\"/>",
            [](const kit::ParagraphStyle& p) { return p.headIndent == 36 && p.firstLineHeadIndent == 54 && p.tailIndent == 72; }, "first-line indent, start and end" },
        { "<w:spacing w:before=\"240\" w:after=\"120\"/>", [](const kit::ParagraphStyle& p) { return p.spacingBefore == 12 && p.spacingAfter == 6; }, "spacing" },
        { "<w:spacing w:before=\"240\" w:beforeAutospacing=\"1\" w:afterAutospacing=\"1\"/>",
            [](const kit::ParagraphStyle& p) { return p.spacingBefore == 14 && p.spacingAfter == 14; }, "automatic spacing" },
        { "<w:spacing w:line=\"360\" w:lineRule=\"auto\"/>",
            [](const kit::ParagraphStyle& p) { return p.lineSpacingRule == kit::LineSpacingRule::Multiple && p.lineSpacing == 1.5f; }, "one and a half lines" },
        { "<w:spacing w:line=\"300\" w:lineRule=\"exact\"/>",
            [](const kit::ParagraphStyle& p) { return p.lineSpacingRule == kit::LineSpacingRule::Exact && p.lineSpacing == 15; }, "exact" },
        { "<w:spacing w:line=\"280\" w:lineRule=\"atLeast\"/>",
            [](const kit::ParagraphStyle& p) { return p.lineSpacingRule == kit::LineSpacingRule::AtLeast && p.lineSpacing == 14; }, "at least" },
        { "<w:pageBreakBefore/>", [](const kit::ParagraphStyle& p) { return p.pageBreakBefore; }, "page break before" },
        { "<w:keepNext/>", [](const kit::ParagraphStyle& p) { return p.keepWithNext; }, "keep with next" },
        { "<w:tabs><w:tab w:val=\"decimal\" w:pos=\"4320\"/><w:tab w:val=\"center\" w:pos=\"2160\"/><w:tab w:val=\"bar\" w:pos=\"100\"/></w:tabs>",
            [](const kit::ParagraphStyle& p) {
                return p.tabStops.size() == 2 && p.tabStops[0].location == 108 && p.tabStops[0].alignment == kit::TabAlignment::Center
                    && p.tabStops[1].alignment == kit::TabAlignment::Decimal;
            },
            "tab stops sorted, bar tabs are no stops" },
        { "<w:pStyle w:val=\"Heading1\"/><w:tabs><w:tab w:val=\"clear\" w:pos=\"1440\"/></w:tabs>",
            [](const kit::ParagraphStyle& p) { return p.tabStops.size() == 1 && p.tabStops[0].location == 144 && p.tabStops[0].alignment == kit::TabAlignment::Right; },
            "a cleared stop removes the style's" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        testdocx::Parts parts;
        parts.styles = kStyles;
        parts.body = paragraph("Body", "", c.input);
        auto result = testdocx::import(parts);
        ASSERT_TRUE(result.text);
        EXPECT_TRUE(c.expected(attributesOf(*result.text, "Body").paragraphStyle()));
    }
}

TEST(DocxFormatting, DefaultTabIntervalComesFromSettings)
{
    testdocx::Parts parts;
    parts.settings = "<w:defaultTabStop w:val=\"567\"/>";
    parts.body = paragraph("Body");
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text);
    EXPECT_FLOAT_EQ(attributesOf(*result.text, "Body").paragraphStyle().defaultTabInterval, 28.35f);
}

TEST(DocxFormatting, ThemeFontsResolveToRealNames)
{
    testdocx::Parts parts;
    parts.theme = R"(<a:theme xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main"><a:themeElements><a:fontScheme name="x">)"
                  R"(<a:majorFont><a:latin typeface="Calibri Light"/><a:ea typeface=""/><a:cs typeface=""/><a:font script="Jpan" typeface="MS Gothic"/></a:majorFont>)"
                  R"(<a:minorFont><a:latin typeface="Calibri"/><a:ea typeface=""/><a:cs typeface=""/><a:font script="Arab" typeface="Arial"/></a:minorFont>)"
                  R"(</a:fontScheme></a:themeElements></a:theme>)";
    parts.settings = "<w:themeFontLang w:val=\"en-US\" w:eastAsia=\"ja-JP\" w:bidi=\"ar-SA\"/>";
    parts.body = paragraph("Minor", "<w:rFonts w:asciiTheme=\"minorHAnsi\" w:hAnsiTheme=\"minorHAnsi\" w:cstheme=\"minorBidi\"/>")
        + paragraph("Major", "<w:rFonts w:ascii=\"Arial\" w:asciiTheme=\"majorHAnsi\" w:eastAsiaTheme=\"majorEastAsia\"/>");
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text);
    const auto& minor = attributesOf(*result.text, "Minor");
    EXPECT_EQ(minor.fontFamily, "Calibri");
    EXPECT_EQ(minor.fontFamilyComplex, "Arial") << "the complex-script font by the document's bidi language";
    const auto& major = attributesOf(*result.text, "Major");
    EXPECT_EQ(major.fontFamily, "Calibri Light") << "a theme font wins over the plain name beside it";
    EXPECT_EQ(major.fontFamilyEastAsian, "MS Gothic") << "the East Asian font by the document's language";
}

TEST(DocxFormatting, ComplexScriptTextTakesComplexScriptProperties)
{
    // Word sizes Arabic by w:szCs and weights it by w:bCs, whatever w:sz and w:b say.
    auto result = testdocx::importBody(
        paragraph("Latin \xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A 123 tail", "<w:b/><w:sz w:val=\"24\"/><w:szCs w:val=\"32\"/>")
        + paragraph("forced", "<w:rtl/><w:sz w:val=\"24\"/><w:szCs w:val=\"28\"/><w:bCs/>"));
    ASSERT_TRUE(result.text);
    const auto& latin = attributesOf(*result.text, "Latin");
    EXPECT_EQ(latin.fontSize, 12);
    EXPECT_TRUE(latin.bold);
    const auto& arabic = attributesOf(*result.text, "\xD8\xB9");
    EXPECT_EQ(arabic.fontSize, 16);
    EXPECT_FALSE(arabic.bold);
    EXPECT_EQ(attributesOf(*result.text, "123").fontSize, 16) << "digits stay with the Arabic before them";
    EXPECT_EQ(attributesOf(*result.text, "tail").fontSize, 12);
    const auto& forced = attributesOf(*result.text, "forced");
    EXPECT_EQ(forced.fontSize, 14) << "a right-to-left run is complex script throughout";
    EXPECT_TRUE(forced.bold);
    EXPECT_EQ(testdocx::text(result), "Latin \xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A 123 tail\nforced\n");
}

TEST(DocxFormatting, SpecialCharactersOfRuns)
{
    const testsupport::Case<const char*, const char*> cases[] = {
        { "<w:t>a</w:t><w:br/><w:t>b</w:t>", "a\xE2\x80\xA8" "b", "line break" },
        { "<w:t>a</w:t><w:br w:type=\"textWrapping\"/><w:t>b</w:t>", "a\xE2\x80\xA8" "b", "text wrapping break" },
        { "<w:t>a</w:t><w:br w:type=\"column\"/><w:t>b</w:t>", "a\nb", "a column break ends the paragraph: the next one starts a column" },
        { "<w:t>a</w:t><w:cr/><w:t>b</w:t>", "a\xE2\x80\xA8" "b", "carriage return" },
        { "<w:t>a</w:t><w:br w:type=\"page\"/><w:t>b</w:t>", "a\fb", "a page break ends the paragraph and starts a page" },
        { "<w:t>a</w:t><w:tab/><w:t>b</w:t>", "a\tb", "tab" },
        { "<w:t>co</w:t><w:softHyphen/><w:t>op</w:t>", "co\xC2\xAD" "op", "soft hyphen" },
        { "<w:t>e</w:t><w:noBreakHyphen/><w:t>mail</w:t>", "e\xE2\x80\x91mail", "non-breaking hyphen" },
        { "<w:sym w:font=\"Symbol\" w:char=\"F0B7\"/>", "\xE2\x80\xA2", "a Symbol bullet becomes U+2022" },
        { "<w:sym w:font=\"Symbol\" w:char=\"F061\"/>", "\xCE\xB1", "Symbol's a is alpha" },
        { "<w:sym w:font=\"Arial\" w:char=\"00E9\"/>", "\xC3\xA9", "an ordinary character" },
        { "<w:t xml:space=\"preserve\">  two  spaces  </w:t>", "  two  spaces  ", "preserved spaces" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = testdocx::importBody(std::string("<w:p><w:r>") + c.input + "</w:r></w:p>");
        ASSERT_TRUE(result.text);
        EXPECT_EQ(result.text->string(), std::string(c.expected) + "\n");
    }
}

TEST(DocxFormatting, PageBreakInATableCellBreaksTheLineOnly)
{
    auto result = testdocx::importBody("<w:tbl><w:tr><w:tc><w:p><w:r><w:t>a</w:t><w:br w:type=\"page\"/><w:t>b</w:t></w:r></w:p></w:tc></w:tr></w:tbl>");
    ASSERT_TRUE(result.text);
    EXPECT_EQ(result.text->string(), "a\xE2\x80\xA8" "b\n");
}

TEST(DocxFormatting, ContextualSpacingDropsSpaceBetweenParagraphsOfOneStyle)
{
    testdocx::Parts parts;
    parts.styles = R"(<w:style w:type="paragraph" w:styleId="List"><w:pPr><w:spacing w:before="100" w:after="200"/><w:contextualSpacing/></w:pPr></w:style>)";
    std::string list = "<w:pStyle w:val=\"List\"/>";
    parts.body = paragraph("Intro") + paragraph("One", "", list) + paragraph("Two", "", list) + paragraph("Three", "", list) + paragraph("Outro");
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text);
    const struct {
        const char* text;
        float before, after;
        const char* why;
    } cases[] = {
        { "One", 5, 0, "first of the run keeps its space before" },
        { "Two", 0, 0, "middle loses both" },
        { "Three", 0, 10, "last keeps its space after" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const auto& style = attributesOf(*result.text, c.text).paragraphStyle();
        EXPECT_EQ(style.spacingBefore, c.before);
        EXPECT_EQ(style.spacingAfter, c.after);
    }
}

TEST(DocxFormatting, DropCapitalJoinsItsParagraph)
{
    auto result = testdocx::importBody(
        paragraph("D", "<w:sz w:val=\"96\"/>", "<w:framePr w:dropCap=\"drop\" w:lines=\"3\"/>")
        + paragraph("rop capital.", "", "<w:jc w:val=\"both\"/>") + paragraph("Next."));
    ASSERT_TRUE(result.text);
    EXPECT_EQ(testdocx::text(result), "Drop capital.\nNext.\n");
    EXPECT_EQ(attributesOf(*result.text, "D").fontSize, 48);
    EXPECT_EQ(attributesOf(*result.text, "D").paragraphStyle().alignment, kit::TextAlignment::Justified)
        << "the letter belongs to the paragraph it starts";
}

// A body of over a megabyte of XML is read in pieces: what a paragraph takes from its neighbours (contextual
// spacing, looking past bookmarks) and from the section that ends later (its paper) must not see the cuts.
TEST(DocxFormatting, LongBodyReadsAsOneAcrossItsPieces)
{
    testdocx::Parts parts;
    parts.styles = R"(<w:style w:type="paragraph" w:styleId="List"><w:pPr><w:spacing w:before="100" w:after="200"/><w:contextualSpacing/></w:pPr></w:style>)";
    std::string list = "<w:pStyle w:val=\"List\"/>";
    constexpr int kItems = 9000;
    constexpr int kSectionEnd = 4500; // the item whose paragraph ends the first, landscape section
    std::string expected;
    for (int i = 0; i < kItems; ++i) {
        std::string item = "Item " + std::to_string(i);
        std::string properties = list;
        if (i == kSectionEnd)
            properties += R"(<w:sectPr><w:pgSz w:w="15840" w:h="12240" w:orient="landscape"/></w:sectPr>)";
        parts.body += R"(<w:bookmarkStart w:id=")" + std::to_string(i) + R"(" w:name="b"/>)" + paragraph(item, "", properties)
            + R"(<w:bookmarkEnd w:id=")" + std::to_string(i) + R"("/>)";
        expected += item + (i == kSectionEnd ? "\f" : "\n");
    }
    parts.body += R"(<w:sectPr><w:pgSz w:w="12240" w:h="15840"/></w:sectPr>)";
    ASSERT_GT(parts.body.size(), 1000000u);
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text);
    EXPECT_EQ(result.text->string(), expected);

    std::size_t wrong = 0;
    for (int i = 0; i < kItems; ++i) {
        const auto& style = attributesOf(*result.text, "Item " + std::to_string(i) + (i == kSectionEnd ? "\f" : "\n")).paragraphStyle();
        float before = i == 0 ? 5 : 0, after = i == kItems - 1 ? 10 : 0;
        wrong += style.spacingBefore != before || style.spacingAfter != after;
    }
    EXPECT_EQ(wrong, 0u) << "only the run's first paragraph keeps its space before, only its last its space after";

    const auto& setup = result.text->pageSetup();
    ASSERT_TRUE(setup);
    ASSERT_EQ(setup->sections.size(), 2u);
    EXPECT_EQ(setup->sections[0].paperSize, (kit::Size { 792, 612 }));
    EXPECT_EQ(setup->sections[1].paperSize, (kit::Size { 612, 792 }));
    EXPECT_EQ(setup->sections[1].start, expected.find("Item 4501"));
}

// Only the styles a paragraph takes are parsed from the style sheet; whatever way the sheet is written, they
// are the styles the whole sheet's tree would give: through another prefix, with '>' inside an attribute,
// with the defaults after the styles, and (a sheet not cut with confidence) as one whole tree.
TEST(DocxFormatting, AStyleSheetGivesItsStylesHoweverItIsWritten)
{
    auto sheet = [](const std::string& prefix, const std::string& prolog, bool defaultsLast) {
        auto e = [&](const std::string& name) { return prefix + ":" + name; };
        std::string defaults = "<" + e("docDefaults") + "><" + e("rPrDefault") + "><" + e("rPr") + "><" + e("sz") + " "
            + e("val") + "=\"18\"/></" + e("rPr") + "></" + e("rPrDefault") + "></" + e("docDefaults") + ">";
        std::string styles = "<" + e("style") + " " + e("type") + "=\"paragraph\" " + e("styleId") + "=\"Base\"><" + e("name")
            + " " + e("val") + "=\"base > all\"/><" + e("rPr") + "><" + e("b") + "/></" + e("rPr") + "></" + e("style") + ">"
            + "<" + e("style") + " " + e("type") + "=\"paragraph\" " + e("styleId") + "=\"Big\"><" + e("basedOn") + " "
            + e("val") + "=\"Base\"/><" + e("rPr") + "><" + e("sz") + " " + e("val") + "=\"40\"/></" + e("rPr") + "></"
            + e("style") + ">";
        return prolog + "<" + e("styles") + " xmlns:" + prefix + "=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
            + (defaultsLast ? styles + defaults : defaults + styles) + "</" + e("styles") + ">";
    };
    const struct {
        std::string xml;
        const char* why;
    } cases[] = {
        { sheet("w", "<?xml version=\"1.0\"?>", false), "as written by word processors" },
        { sheet("ns0", "", false), "another prefix" },
        { sheet("w", "", true), "the defaults last" },
        { sheet("w", "<?xml version=\"1.0\"?><!DOCTYPE styles>", false), "a document type: the whole tree" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        testdocx::Parts parts;
        parts.extra.push_back({ "word/styles.xml", c.xml });
        parts.relationships.push_back({ "rIdStyles", "styles", "styles.xml" });
        parts.body = paragraph("Big words", "", R"(<w:pStyle w:val="Big"/>)") + paragraph("Plain words");
        auto result = testdocx::import(parts);
        ASSERT_TRUE(result.text);
        EXPECT_EQ(attributesOf(*result.text, "Big words").fontSize, 20);
        EXPECT_TRUE(attributesOf(*result.text, "Big words").bold) << "from the style it is based on";
        EXPECT_EQ(attributesOf(*result.text, "Plain words").fontSize, 9) << "the document's defaults";
    }
}

// A long body's first pieces are read while the rest of it is still being cut, but the note numbering the
// body's own last w:sectPr gives every reference must be known from the start: it is looked for from the end
// of the part, past a revision that holds the section's earlier properties; written otherwise, the reader
// waits for the whole body's scan instead.
TEST(DocxFormatting, TheBodysLastSectionIsFoundFromTheEndOfThePart)
{
    const std::string roman = R"(<w:footnotePr><w:numFmt w:val="lowerRoman"/></w:footnotePr>)";
    const std::string letters = R"(<w:footnotePr><w:numFmt w:val="upperLetter"/></w:footnotePr>)";
    const std::string revised = "<w:sectPr>" + roman + R"(<w:sectPrChange w:id="9" w:author="a"><w:sectPr>)" + letters
        + "</w:sectPr></w:sectPrChange></w:sectPr>";
    const struct {
        std::string finalSection;
        std::size_t candidates; // offered, last first (the first paragraph's ends its own section)
        std::string first;
        const char* why;
    } cases[] = {
        { "<w:sectPr>" + roman + "</w:sectPr>", 2, "<w:sectPr>" + roman + "</w:sectPr>", "as word processors write it" },
        { revised, 3, "<w:sectPr>" + letters + "</w:sectPr></w:sectPrChange></w:sectPr>", "a revision inside it" },
        { R"(<w:sectPr w:rsidR="00A1"/>)" "\n  ", 1, R"(<w:sectPr w:rsidR="00A1"/>)", "empty, white space after" },
        { "<w:sectPr>" + roman + "</w:sectPr><!-- by hand -->", 0, "", "a comment after it" },
        { "<w:p/>", 0, "", "no section of its own" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string xml = R"(<w:document xmlns:w="urn:w"><w:body><w:p><w:pPr><w:sectPr/></w:pPr></w:p>)" + c.finalSection
            + "</w:body></w:document>";
        auto candidates = importer::docx::finalSectionCandidates(xml);
        ASSERT_EQ(candidates.size(), c.candidates);
        if (!candidates.empty()) {
            EXPECT_EQ(candidates.front(), c.first);
        }
        // Whole documents long enough to be read in pieces number their first note as the last section says.
        testdocx::Parts parts;
        parts.footnotes = R"(<w:footnote w:id="1"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t xml:space="preserve"> Note.</w:t></w:r></w:p></w:footnote>)";
        parts.body = R"(<w:p><w:r><w:t>First</w:t></w:r><w:r><w:footnoteReference w:id="1"/></w:r></w:p>)";
        for (int i = 0; i < 12000; ++i)
            parts.body += paragraph("Paragraph " + std::to_string(i) + " of a body long enough to be read in pieces");
        parts.body += c.finalSection;
        auto result = testdocx::import(parts);
        ASSERT_TRUE(result.text);
        bool roman = c.finalSection.find("lowerRoman") != std::string::npos;
        EXPECT_EQ(result.text->string().substr(0, 7), roman ? "Firsti\n" : "First1\n");
    }
}

// While a long body is read, the text of its first pieces is handed over once, for the first pages to show:
// whole paragraphs of the whole text's beginning, attributed as the whole text is, however the pieces are
// cut (paragraphs whose mark was deleted run on into the next one; bookmarks and column breaks are marked
// once the text is read).
TEST(DocxFormatting, ALongBodyHandsItsBeginningOverOnce)
{
    testdocx::Parts parts;
    const std::string deletedMark = R"(<w:rPr><w:del w:id="1" w:author="a" w:date="2020-01-01T00:00:00Z"/></w:rPr>)";
    for (int i = 0; i < 6000; ++i) {
        std::string item = "Item " + std::to_string(i) + " of a list long enough to be read in pieces";
        std::string properties = i % 3 == 1 ? deletedMark : "";
        if (i == 41)
            properties += R"(<w:sectPr><w:pgSz w:w="15840" w:h="12240" w:orient="landscape"/></w:sectPr>)";
        std::string run = i % 7 == 0 ? "<w:b/>" : "";
        std::string bookmark = R"(<w:bookmarkStart w:id=")" + std::to_string(i) + R"(" w:name="b)" + std::to_string(i) + R"("/>)";
        parts.body += i % 50 == 25
            ? R"(<w:p><w:r><w:t>Before</w:t></w:r><w:r><w:br w:type="column"/></w:r><w:r><w:t>after</w:t></w:r></w:p>)"
            : paragraph(item, run, properties).insert(std::string_view("<w:p>").size(), bookmark);
    }
    parts.body += R"(<w:sectPr><w:pgSz w:w="12240" w:h="15840"/></w:sectPr>)";
    auto bytes = testdocx::build(parts);

    std::vector<std::shared_ptr<kit::TextStorage>> beginnings;
    importer::ImportLimits limits;
    limits.beginning = [&](std::shared_ptr<kit::TextStorage> text) { beginnings.push_back(std::move(text)); };
    importer::ImportResult whole;
    {
        importer::ImportBudgetScope scope(importer::OutputBudget::kDefaultLimit, limits);
        whole = importer::importDocx(testzip::view(bytes));
    }
    ASSERT_TRUE(whole.text);
    ASSERT_EQ(beginnings.size(), 1u);
    const kit::TextStorage& beginning = *beginnings.front();
    EXPECT_GE(beginning.length(), 16u * 1024);
    EXPECT_LT(beginning.length(), whole.text->length() / 2);
    EXPECT_EQ(whole.text->string().compare(0, beginning.length(), beginning.string()), 0);
    EXPECT_EQ(beginning.string().back(), '\n');
    EXPECT_NE(beginning.string().find('\f'), std::string::npos) << "the section break";
    EXPECT_EQ(beginning.pageSetup(), nullptr);
    std::size_t differing = 0, columnBreaks = 0, anchors = 0;
    for (const kit::TextStorage* text : { &beginning, static_cast<const kit::TextStorage*>(whole.text.get()) }) {
        for (const auto& run : text->runs()) {
            if (run.location < beginning.length())
                differing += !(beginning.attributesAt(run.location) == whole.text->attributesAt(run.location));
        }
    }
    for (const auto& run : beginning.runs()) {
        columnBreaks += run.attributes->paragraphStyle().columnBreakBefore;
        anchors += !run.attributes->anchor.empty();
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_GT(columnBreaks, 0u);
    EXPECT_GT(anchors, 0u);

    // A body of one piece has no beginning to hand over: its whole text comes as soon.
    beginnings.clear();
    {
        importer::ImportBudgetScope scope(importer::OutputBudget::kDefaultLimit, limits);
        EXPECT_TRUE(importer::importDocx(testzip::view(testdocx::build({ .body = paragraph("Short.") }))).text);
    }
    EXPECT_TRUE(beginnings.empty());
}
