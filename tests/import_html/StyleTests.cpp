#include "HtmlTestSupport.h"
#include "import/html/CssValues.h"
#include "support/Cases.h"

#include <functional>

using htmltest::attributesOf;
using htmltest::import;

namespace {

std::string hex(const std::optional<kit::Color>& color)
{
    if (!color)
        return "none";
    auto c = color->rgba();
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", int(c[0] * 255 + 0.5f), int(c[1] * 255 + 0.5f),
        int(c[2] * 255 + 0.5f));
    return buffer;
}

} // namespace

TEST(HtmlStyle, CascadeOrdersBySpecificityThenPositionAndInlineWins)
{
    const testsupport::Case<const char*, const char*> cases[] = {
        { "<style>p { color: red }</style><p>word", "#ff0000", "a type selector" },
        { "<style>p.x { color: red } p { color: blue }</style><p class=x>word", "#ff0000",
            "a class beats a type even when it comes first" },
        { "<style>p { color: red } p { color: blue }</style><p>word", "#0000ff", "equal specificity: the later rule" },
        { "<style>#a { color: red } p.x.y { color: blue }</style><p id=a class='x y'>word", "#ff0000",
            "an id beats any number of classes" },
        { "<style>#a { color: red }</style><p id=a style='color: green'>word", "#008000", "the style attribute beats rules" },
        { "<style>p { color: red !important }</style><p style='color: green'>word", "#ff0000",
            "an important rule beats a normal style attribute" },
        { "<style>p { color: red !important }</style><p style='color: green !important'>word", "#008000",
            "an important style attribute beats an important rule" },
        { "<style>h1, p.note, div { color: red }</style><p class=note>word", "#ff0000", "a group of selectors" },
        { "<style>div p { color: red }</style><div><span><p>word</p></span></div>", "#ff0000", "a descendant selector" },
        { "<style>div > p { color: red }</style><div><blockquote><p>word</p></blockquote></div>", "none",
            "a child selector does not match a grandchild" },
        { "<style>p + p, p:hover, p[title], p::first-line { color: red }</style><p>x<p title=t>word", "none",
            "selectors we cannot honour are left out whole" },
        { "<style>P.MSONORMAL { color: red }</style><p class=MsoNormal>word", "#ff0000",
            "classes match regardless of case, as quirks-mode documents need" },
        { "<style>@media print { p { color: red } } @media screen { p { color: blue } }</style><p>word", "#ff0000",
            "print media apply, screen media do not" },
        { "<style>@media (max-width: 600px) { p { color: blue } } @media all { p { color: red } }</style><p>word", "#ff0000",
            "media features are not a printed page's" },
        { "<style><!-- /* p { color: blue } */ p { color: red } --></style><p>word", "#ff0000",
            "comments and the old HTML comment guards" },
        { "<style>@font-face { font-family: X; src: url(x) } @page { margin: 1in } p { color: red }</style><p>word",
            "#ff0000", "other at-rules are skipped whole" },
        { "<p>a</p><style>p { color: red }</style><p>word", "#ff0000", "a style element in the body counts" },
        { "<style media=screen>p { color: red }</style><p>word", "none", "a style element for the screen" },
        { "<font color=\"ff0000\">word</font>", "#ff0000", "a legacy colour attribute without '#'" },
        { "<style>font { color: blue }</style><font color=red>word</font>", "#0000ff",
            "presentational attributes lose to author rules" },
        { "<p style='color: rgb(0, 128, 255)'>word", "#0080ff", "rgb()" },
        { "<p style='color: hsl(120, 100%, 25%)'>word", "#008000", "hsl()" },
        { "<p style='color: #abc'>word", "#aabbcc", "three-digit hex" },
        { "<p style='color: windowtext'>word", "#000000", "Word's system colour" },
        { "<a href='/x'>word</a>", "#0000ee", "links are blue" },
        { "<style>a { color: #1a1a1a }</style><a href='/x'>word</a>", "#1a1a1a", "unless the author says otherwise" },
    };
    testsupport::expectEach(cases, [&](const auto& input) {
        auto storage = import(input);
        return hex(attributesOf(*storage, "word").foreground);
    });
}

TEST(HtmlStyle, CharacterProperties)
{
    using Check = std::function<void(const kit::Attributes&)>;
    const testsupport::Case<const char*, Check> cases[] = {
        { "<p>x <b>word</b>", [](const kit::Attributes& a) { EXPECT_TRUE(a.bold); }, "b" },
        { "<p>x <strong><em>word</em></strong>", [](const kit::Attributes& a) { EXPECT_TRUE(a.bold && a.italic); }, "nested" },
        { "<p style='font-weight: 600'>word", [](const kit::Attributes& a) { EXPECT_TRUE(a.bold); }, "numeric weight 600" },
        { "<p style='font-weight: 500'>word", [](const kit::Attributes& a) { EXPECT_FALSE(a.bold); }, "numeric weight 500" },
        { "<b><span style='font-weight: normal'>word</span></b>", [](const kit::Attributes& a) { EXPECT_FALSE(a.bold); },
            "an inner normal weight" },
        { "<u>x <span>word</span></u>", [](const kit::Attributes& a) { EXPECT_EQ(a.underline, kit::LineStyle::Single); },
            "underline reaches descendants" },
        { "<u><span style='text-decoration: none'>word</span></u>",
            [](const kit::Attributes& a) { EXPECT_EQ(a.underline, kit::LineStyle::Single); },
            "a descendant cannot take its ancestor's decoration away" },
        { "<style>a { text-decoration: none }</style><a href=x>word</a>",
            [](const kit::Attributes& a) { EXPECT_EQ(a.underline, kit::LineStyle::None); },
            "but an element's own decoration can be removed" },
        { "<p style='text-decoration: underline double'>word",
            [](const kit::Attributes& a) { EXPECT_EQ(a.underline, kit::LineStyle::Double); }, "double underline" },
        { "<s>word</s> <del>y</del>", [](const kit::Attributes& a) { EXPECT_EQ(a.strikethrough, kit::LineStyle::Single); }, "s" },
        { "<p>H<sub>word</sub>", [](const kit::Attributes& a) { EXPECT_EQ(a.superscript, -1); }, "sub" },
        { "<p>x<sup>word</sup>", [](const kit::Attributes& a) { EXPECT_EQ(a.superscript, 1); }, "sup" },
        { "<p>x<span style='vertical-align: super'>word</span>", [](const kit::Attributes& a) { EXPECT_EQ(a.superscript, 1); },
            "vertical-align" },
        { "<p>x<code>word</code>", [](const kit::Attributes& a) {
             EXPECT_EQ(a.fontFamily, "Courier New");
             EXPECT_FLOAT_EQ(a.fontSize, 9.75f);
         }, "code is monospace at 13 of 16 pixels" },
        { "<pre><code>word</code></pre>", [](const kit::Attributes& a) { EXPECT_FLOAT_EQ(a.fontSize, 9.75f); },
            "code inside pre does not shrink again" },
        { "<h1>x <tt>word</tt></h1>", [](const kit::Attributes& a) { EXPECT_FLOAT_EQ(a.fontSize, 19.5f); },
            "monospace in a heading shrinks from the heading's size" },
        { "<p style='font-variant: small-caps'>word", [](const kit::Attributes& a) { EXPECT_TRUE(a.smallCaps); }, "small caps" },
        { "<p style='text-transform: uppercase'>word", [](const kit::Attributes& a) { EXPECT_TRUE(a.allCaps); },
            "upper case is drawn, the text stays" },
        { "<p>x <span style='background-color: yellow'>word</span>",
            [](const kit::Attributes& a) { EXPECT_EQ(hex(a.background), "#ffff00"); }, "an inline background" },
        { "<p>x <span style='background: url(x.png) #00ff00 no-repeat'>word</span>",
            [](const kit::Attributes& a) { EXPECT_EQ(hex(a.background), "#00ff00"); }, "the background shorthand" },
        { "<p>x <mark>word</mark>", [](const kit::Attributes& a) { EXPECT_EQ(hex(a.background), "#ffff00"); }, "mark" },
        { "<p style='background: yellow'>word", [](const kit::Attributes& a) { EXPECT_FALSE(a.background); },
            "a block's background is its box's, not its text's" },
        { "<a href='http://example.com/a b'>word</a>",
            [](const kit::Attributes& a) { EXPECT_EQ(a.link, "http://example.com/a b"); }, "a link keeps its target" },
        { "<a href='javascript:alert(1)'>word</a>", [](const kit::Attributes& a) { EXPECT_EQ(a.link, ""); },
            "a script is never a link target" },
        { "<a href=' JaVa\tscript:x'>word</a>", [](const kit::Attributes& a) { EXPECT_EQ(a.link, ""); },
            "not even disguised by case and tabs" },
        { "<a name=top>word</a>", [](const kit::Attributes& a) { EXPECT_EQ(a.link, ""); }, "an anchor without href" },
        { "<p style='font-family: \"Times New Roman\", serif; mso-fareast-font-family: \"MS Mincho\"'>word",
            [](const kit::Attributes& a) {
                EXPECT_EQ(a.fontFamily, "Times New Roman");
                EXPECT_EQ(a.fontFamilyEastAsian, "MS Mincho");
            },
            "Word's East Asian font" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = import(c.input);
        c.expected(attributesOf(*storage, "word"));
    }
}

TEST(HtmlStyle, FontSizesAndFamilies)
{
    const struct {
        const char* html;
        float size;
        const char* family;
        const char* why;
    } cases[] = {
        { "<p>word", 12, "Times New Roman", "the browser's default: 16 pixels of a serif" },
        { "<h1>word</h1>", 24, "Times New Roman", "h1 is 2em" },
        { "<h2>word</h2>", 18, "Times New Roman", "h2 is 1.5em" },
        { "<h3>word</h3>", 14.04f, "Times New Roman", "h3 is 1.17em" },
        { "<h6>word</h6>", 8.04f, "Times New Roman", "h6 is 0.67em" },
        { "<p style='font-size: 10pt'>word", 10, "Times New Roman", "points" },
        { "<p style='font-size: 20px'>word", 15, "Times New Roman", "pixels are three quarters of a point" },
        { "<div style='font-size: 10pt'><p style='font-size: 2em'>word</div>", 20, "Times New Roman", "em of the parent" },
        { "<div style='font-size: 10pt'><p style='font-size: 150%'>word</div>", 15, "Times New Roman", "percent of the parent" },
        { "<p style='font-size: 1rem'><span style='font-size: 2rem'>word</span>", 24, "Times New Roman", "rem of the root" },
        { "<p style='font-size: x-large'>word", 18, "Times New Roman", "a keyword" },
        { "<p><big>word</big>", 14.4f, "Times New Roman", "larger" },
        { "<font size=5>word</font>", 18, "Times New Roman", "font size 5" },
        { "<font size=+2>word</font>", 18, "Times New Roman", "font size relative to 3" },
        { "<font size=9>word</font>", 36, "Times New Roman", "font size past 7 is 7" },
        { "<p style='font-size: -3pt'>word", 12, "Times New Roman", "a negative size is ignored" },
        { "<p style='font-size: 1e9pt'>word", 1638, "Times New Roman", "an absurd size is capped" },
        { "<p style='font: italic bold 14pt/2 Arial, sans-serif'>word", 14, "Arial", "the font shorthand" },
        { "<p style='font: 7.0pt \"Times New Roman\"'>word", 7, "Times New Roman", "Word's label font" },
        { "<p style='font-family: Verdana, sans-serif'>word", 12, "Arial",
            "a family this machine lacks gives way to the generic" },
        { "<p style='font-family: Menlo, Monaco, monospace'>word", 12, "Courier New", "monospace" },
        { "<p style='font-family: Georgia'>word", 12, "Georgia", "a lone family stays as written" },
        { "<p style='font-family: \"Calibri\", sans-serif'>word", 12, "Calibri", "Calibri has a metric twin" },
        { "<font face='Arial'>word</font>", 12, "Arial", "font face" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto a = attributesOf(*import(c.html), "word");
        EXPECT_NEAR(a.fontSize, c.size, 0.01f);
        EXPECT_EQ(a.fontFamily, c.family);
    }
}

TEST(HtmlStyle, ParagraphProperties)
{
    using Check = std::function<void(const kit::ParagraphStyle&)>;
    const testsupport::Case<const char*, Check> cases[] = {
        { "<p style='text-align: center'>word", [](const kit::ParagraphStyle& p) { EXPECT_EQ(p.alignment, kit::TextAlignment::Center); },
            "text-align" },
        { "<p align=right>word", [](const kit::ParagraphStyle& p) { EXPECT_EQ(p.alignment, kit::TextAlignment::Right); },
            "the align attribute" },
        { "<div style='text-align: justify'><p>word</div>",
            [](const kit::ParagraphStyle& p) { EXPECT_EQ(p.alignment, kit::TextAlignment::Justified); }, "inherited alignment" },
        { "<center>word</center>", [](const kit::ParagraphStyle& p) { EXPECT_EQ(p.alignment, kit::TextAlignment::Center); },
            "center" },
        { "<p style='margin-left: 36pt; text-indent: -18pt'>word", [](const kit::ParagraphStyle& p) {
             EXPECT_FLOAT_EQ(p.headIndent, 36);
             EXPECT_FLOAT_EQ(p.firstLineHeadIndent, 18);
         }, "a hanging indent as Word writes it" },
        { "<p style='margin: 0 1in 0 0.5in'>word", [](const kit::ParagraphStyle& p) {
             EXPECT_FLOAT_EQ(p.headIndent, 36);
             EXPECT_FLOAT_EQ(p.tailIndent, 72);
         }, "the margin shorthand with four values" },
        { "<blockquote><blockquote>word</blockquote></blockquote>",
            [](const kit::ParagraphStyle& p) { EXPECT_FLOAT_EQ(p.headIndent, 60); }, "blockquotes indent 40 pixels each" },
        { "<dl><dt>t<dd>word</dl>", [](const kit::ParagraphStyle& p) { EXPECT_FLOAT_EQ(p.headIndent, 30); }, "dd" },
        { "<p>a</p><p>word</p>", [](const kit::ParagraphStyle& p) { EXPECT_FLOAT_EQ(p.spacingBefore, 12); },
            "paragraph margins collapse into one em" },
        { "<p>a</p><h1>word</h1>", [](const kit::ParagraphStyle& p) { EXPECT_NEAR(p.spacingBefore, 16.08f, 0.01f); },
            "the larger of two adjoining margins" },
        { "<p>a</p><p></p><p></p><p>word</p>", [](const kit::ParagraphStyle& p) { EXPECT_FLOAT_EQ(p.spacingBefore, 12); },
            "empty paragraphs add no space: their margins collapse through" },
        { "<p style='margin: 0'>a</p><p style='margin: 0'>word</p>",
            [](const kit::ParagraphStyle& p) { EXPECT_FLOAT_EQ(p.spacingBefore, 0); }, "Word's zero margins" },
        { "<p style='line-height: 150%'>word", [](const kit::ParagraphStyle& p) {
             EXPECT_EQ(p.lineSpacingRule, kit::LineSpacingRule::Multiple);
             EXPECT_FLOAT_EQ(p.lineSpacing, 1.5f);
         }, "a percentage" },
        { "<p style='line-height: 2'>word", [](const kit::ParagraphStyle& p) { EXPECT_FLOAT_EQ(p.lineSpacing, 2); }, "a number" },
        { "<p style='line-height: 18pt'>word", [](const kit::ParagraphStyle& p) {
             EXPECT_EQ(p.lineSpacingRule, kit::LineSpacingRule::Exact);
             EXPECT_FLOAT_EQ(p.lineSpacing, 18);
         }, "a length is exact" },
        { "<p>a</p><p style='page-break-before: always'>word",
            [](const kit::ParagraphStyle& p) { EXPECT_TRUE(p.pageBreakBefore); }, "page-break-before" },
        { "<p style='page-break-after: always'>a</p><p>word",
            [](const kit::ParagraphStyle& p) { EXPECT_TRUE(p.pageBreakBefore); }, "page-break-after breaks before the next" },
        { "<p dir=rtl>word", [](const kit::ParagraphStyle& p) { EXPECT_EQ(p.baseDirection, kit::WritingDirection::RightToLeft); },
            "the dir attribute" },
        { "<div style='direction: rtl; margin-left: 1in'><p>word</div>", [](const kit::ParagraphStyle& p) {
             EXPECT_FLOAT_EQ(p.headIndent, 0);
             EXPECT_FLOAT_EQ(p.tailIndent, 72);
         }, "in right-to-left text the left margin trails" },
        { "<div style='margin-left: 5in'><div style='margin-left: 5in; margin-right: 3in'><p style='text-indent: 9in'>word",
            [](const kit::ParagraphStyle& p) {
                EXPECT_FLOAT_EQ(p.headIndent, 468 - 36);
                EXPECT_FLOAT_EQ(p.tailIndent, 0);
                EXPECT_FLOAT_EQ(p.firstLineHeadIndent, 468 - 36);
            },
            "indents that add up past the page leave the text a narrow column" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        c.expected(attributesOf(*import(c.input), "word").paragraphStyle());
    }
}

TEST(HtmlStyle, WordHtmlStyleSheet)
{
    // What Word writes for a Normal paragraph, its list paragraphs and their labels.
    auto storage = import(R"(<html xmlns:o="urn:schemas-microsoft-com:office:office"><head>
<meta http-equiv=Content-Type content="text/html; charset=windows-1252">
<!--[if gte mso 9]><xml><w:WordDocument><w:View>Print</w:View></w:WordDocument></xml><![endif]-->
<style><!--
p.MsoNormal, li.MsoNormal, div.MsoNormal {margin:0in; margin-bottom:.0001pt; font-size:11.0pt;
  font-family:"Calibri",sans-serif;}
p.MsoListParagraph {mso-style-priority:34; margin-top:0in; margin-right:0in; margin-bottom:0in;
  margin-left:.5in; font-size:11.0pt; font-family:"Calibri",sans-serif;}
@list l0:level1 {mso-level-tab-stop:none; mso-level-number-position:left; text-indent:-.25in;}
--></style></head>
<body lang=EN-US style='tab-interval:.5in'><div class=WordSection1>
<p class=MsoNormal>Normal text<o:p></o:p></p>
<p class=MsoNormal><o:p>&nbsp;</o:p></p>
<p class=MsoListParagraph style='text-indent:-.25in;mso-list:l0 level1 lfo1'><![if !supportLists]><span
style='mso-list:Ignore'>1.<span style='font:7.0pt "Times New Roman"'>&nbsp;&nbsp;&nbsp;&nbsp;&nbsp; </span></span><![endif]>First
item<o:p></o:p></p>
<p class=MsoNormal><span style='font-size:12.0pt'><br clear=all style='page-break-before:always'></span>After the break</p>
</div></body></html>)");
    auto paragraphs = htmltest::paragraphs(*storage);
    ASSERT_EQ(paragraphs.size(), 5u) << storage->string();
    EXPECT_EQ(paragraphs[0].text, "Normal text");
    EXPECT_EQ(paragraphs[0].attributes.fontFamily, "Calibri");
    EXPECT_FLOAT_EQ(paragraphs[0].attributes.fontSize, 11);
    EXPECT_EQ(paragraphs[1].text, "\xC2\xA0") << "an empty-looking paragraph of a no-break space stays";
    EXPECT_EQ(paragraphs[2].text, "1.\xC2\xA0\xC2\xA0\xC2\xA0\xC2\xA0\xC2\xA0 First item");
    EXPECT_FLOAT_EQ(paragraphs[2].attributes.paragraphStyle().headIndent, 36);
    EXPECT_FLOAT_EQ(paragraphs[2].attributes.paragraphStyle().firstLineHeadIndent, 18);
    EXPECT_NEAR(paragraphs[2].attributes.paragraphStyle().spacingBefore, 0, 0.001f);
    EXPECT_EQ(paragraphs[3].terminator, '\f') << "Word's page break ends the page";
    EXPECT_EQ(paragraphs[4].text, "After the break");
    EXPECT_EQ(storage->string().find("Print"), std::string::npos) << "the conditional comment's XML is hidden";
}

TEST(HtmlStyle, HiddenContent)
{
    const testsupport::Case<const char*, const char*> cases[] = {
        { "<html><head><title>secret</title></head><body>x", "secret", "the title" },
        { "<p>x<script>document.write('secret')</script>", "secret", "scripts" },
        { "<p>x<style>p { content: 'secret' }</style>", "secret", "style sheets" },
        { "<p>x<!-- secret -->", "secret", "comments" },
        { "<p>x<span style='display:none'>secret</span>", "secret", "display: none" },
        { "<p>x<span hidden>secret</span>", "secret", "the hidden attribute" },
        { "<style>.s { display: none }</style><p>x<div class=s><p>secret</div>", "secret", "display: none from a rule" },
        { "<p>x<!--[if !mso]><p>secret</p><![endif]-->", "secret", "a conditional comment" },
        { "<p>x<template><p>secret</template>", "secret", "templates" },
        { "<p>x<select><option>secret</select>", "secret", "a closed select list" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string text = htmltest::plain(c.input);
        EXPECT_EQ(text.find(c.expected), std::string::npos) << text;
        EXPECT_NE(text.find('x'), std::string::npos);
    }
}

TEST(HtmlStyle, CssValueReaders)
{
    using importer::html::parseLength;
    const testsupport::Case<const char*, std::optional<float>> lengths[] = {
        { "1in", 72, "inches" }, { "2.54cm", 72, "centimetres" }, { "25.4mm", 72, "millimetres" },
        { "6pc", 72, "picas" }, { "96px", 72, "pixels" }, { "2em", 20, "em of the font size (10 here)" },
        { "50%", 100, "percent of the base (200 here)" }, { "0", 0, "a bare zero" }, { "12", std::nullopt, "a bare number" },
        { "12 px", std::nullopt, "a space before the unit" }, { "1furlong", std::nullopt, "an unknown unit" },
        { "0x10px", std::nullopt, "hexadecimal is not CSS" }, { "1e30in", 10000, "absurd lengths are capped" },
        { "1e99in", std::nullopt, "a number past the range of floats is none" },
        { "", std::nullopt, "nothing" },
    };
    for (const auto& c : lengths) {
        SCOPED_TRACE(c.why);
        auto points = parseLength(c.input, 10, 200);
        ASSERT_EQ(points.has_value(), c.expected.has_value());
        if (points) {
            EXPECT_NEAR(*points, *c.expected, 0.01f);
        }
    }
    const testsupport::Case<const char*, const char*> colors[] = {
        { "red", "#ff0000", "a keyword" }, { "RebeccaPurple", "#663399", "keywords ignore case" },
        { "#0f08", "#00ff00", "hex with alpha" }, { "rgba(255, 0, 0, 0.5)", "#ff0000", "rgba" },
        { "rgb(100%, 50%, 0%)", "#ff8000", "percent channels" }, { "transparent", "none", "transparent is no colour" },
        { "#12345", "none", "five hex digits" }, { "notacolor", "none", "garbage" },
    };
    testsupport::expectEach(colors, [&](const auto& input) { return hex(importer::html::parseColor(input)); });
}
