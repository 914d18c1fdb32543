#include "HtmlTestSupport.h"
#include "support/Cases.h"

using htmltest::attributesOf;
using htmltest::import;
using htmltest::paragraphs;
using htmltest::plain;

namespace {

// Paragraph texts with their list labels, the way a reader sees them.
std::vector<std::string> paragraphTexts(const std::string& html)
{
    std::vector<std::string> texts;
    for (const auto& p : paragraphs(*import(html)))
        texts.push_back(p.text);
    return texts;
}

} // namespace

TEST(HtmlStructure, WhiteSpaceCollapsesAsInBrowsers)
{
    const char* ls = "\xE2\x80\xA8";
    const testsupport::Case<const char*, std::string> cases[] = {
        { "<p>  a \n\t  b  </p>", "a b\n", "runs of white space become one space; none at the ends" },
        { "<p>a <b> b</b> c</p>", "a b c\n", "collapsing crosses element boundaries" },
        { "<p>a<b>b</b>c</p>", "abc\n", "no space where the markup has none" },
        { "<p>a <br>  b</p>", std::string("a") + ls + "b\n", "spaces around a line break go" },
        { "<p>a<br></p>", "a\n", "a line break ending a block adds no line" },
        { "<p>a<br><br></p>", std::string("a") + ls + "\n", "but two leave one empty line" },
        { "<p><br></p>", "\n", "a lone line break is an empty paragraph" },
        { "<p>a</p>\n\n   <p>b</p>", "a\nb\n", "white space between blocks is nothing" },
        { "<p></p><div> </div><p>b</p>", "b\n", "empty blocks write no paragraph" },
        { "<div>a<p>b</p>c</div>", "a\nb\nc\n", "text around a block inside a block" },
        { "<p>a&nbsp;&nbsp;b</p>", "a\xC2\xA0\xC2\xA0" "b\n", "no-break spaces are not collapsed" },
        { "<pre>\n  x  y\n\tz\n</pre>", std::string("  x  y") + ls + "\tz\n", "pre keeps spaces, tabs and new lines; "
            "the new line after the tag and the last one go" },
        { "<pre>a\r\nb</pre>", std::string("a") + ls + "b\n", "a CR LF pair is one line break" },
        { "<p style='white-space: pre-line'>a   b\nc</p>", std::string("a b") + ls + "c\n", "pre-line" },
        { "<span>a</span> <span>b</span>", "a b\n", "a space between inline elements stays" },
        { "x<table><tr><td>c</td></tr></table>y", "x\nc\ny\n", "a table is a block" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = import(c.input);
        EXPECT_EQ(storage->string(), c.expected);
        htmltest::expectWellFormed(*storage);
    }
}

TEST(HtmlStructure, ListLabels)
{
    const testsupport::Case<const char*, std::vector<std::string>> cases[] = {
        { "<ul><li>a<li>b</ul>", { "•\ta", "•\tb" }, "bullets" },
        { "<ul><li>a<ul><li>b<ul><li>c</ul></ul></ul>", { "•\ta", "◦\tb", "▪\tc" }, "nested bullets change shape" },
        { "<ol><li>a<li>b</ol>", { "1.\ta", "2.\tb" }, "numbers" },
        { "<ol start=3><li>a<li>b</ol>", { "3.\ta", "4.\tb" }, "start" },
        { "<ol><li>a<li value=10>b<li>c</ol>", { "1.\ta", "10.\tb", "11.\tc" }, "value sets the counter" },
        { "<ol reversed><li>a<li>b<li>c</ol>", { "3.\ta", "2.\tb", "1.\tc" }, "reversed counts down from the item count" },
        { "<ol type=a><li>a<li>b</ol>", { "a.\ta", "b.\tb" }, "lower alpha" },
        { "<ol type=A start=27><li>a</ol>", { "AA.\ta" }, "alphabetic numbering past z" },
        { "<ol type=i start=4><li>a<li>b</ol>", { "iv.\ta", "v.\tb" }, "lower roman" },
        { "<ol type=I start=1999><li>a</ol>", { "MCMXCIX.\ta" }, "upper roman" },
        { "<ol style='list-style-type: lower-greek'><li>a</ol>", { "α.\ta" }, "greek" },
        { "<ol style='list-style-type: decimal-leading-zero'><li>a</ol>", { "01.\ta" }, "leading zero" },
        { "<ol type=a start=0><li>a</ol>", { "0.\ta" }, "alphabets have no zero: decimal instead" },
        { "<ul style='list-style: none'><li>a</ul>", { "a" }, "no marker" },
        { "<ul style='list-style-type: square'><li>a</ul>", { "▪\ta" }, "a CSS type" },
        { "<ul><li><p>a</p><p>b</p></ul>", { "•\ta", "b" }, "the label goes with the item's first paragraph only" },
        { "<ul><li></ul>", { "•\t" }, "an empty item still shows its bullet" },
        { "<ol><li><ol><li>a</ol></ol>", { "1.\t", "1.\ta" }, "an item that starts with a list gives its label a line" },
        { "<ol><li>a</li></ol><ol><li>b</li></ol>", { "1.\ta", "1.\tb" }, "each list counts on its own" },
        { "<ol><li>a<ul><li>x</ul><li>b</ol>", { "1.\ta", "◦\tx", "2.\tb" }, "a nested list does not disturb the count" },
        { "<li>a", { "•\ta" }, "an item outside a list" },
        { "<dl><dt>term<dd>definition</dl>", { "term", "definition" }, "definition lists have no labels" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return paragraphTexts(input); });
}

TEST(HtmlStructure, ListLabelAttributesAndIndents)
{
    auto storage = import("<ul><li><a href='x'><b>item</b></a><ul><li>inner</ul></ul>");
    const std::string& text = storage->string();
    kit::Attributes label = storage->attributesAt(0);
    EXPECT_TRUE(label.listLabel);
    EXPECT_TRUE(storage->attributesAt(text.find('\t')).listLabel) << "the tab belongs to the label";
    EXPECT_EQ(label.link, "") << "the label is not part of the link";
    EXPECT_EQ(label.underline, kit::LineStyle::None);
    EXPECT_FALSE(attributesOf(*storage, "item").listLabel);
    const auto& outer = attributesOf(*storage, "item").paragraphStyle();
    const auto& inner = attributesOf(*storage, "inner").paragraphStyle();
    EXPECT_FLOAT_EQ(outer.headIndent, 30) << "a list indents 40 pixels";
    EXPECT_FLOAT_EQ(inner.headIndent, 60);
    EXPECT_LT(outer.firstLineHeadIndent, outer.headIndent) << "the label hangs in the indent";
    ASSERT_EQ(outer.tabStops.size(), 1u);
    EXPECT_FLOAT_EQ(outer.tabStops[0].location, outer.headIndent) << "the text after the label starts at the indent";
}

TEST(HtmlStructure, WordConditionalMarkup)
{
    auto text = plain(R"(<html><body>
<p class=MsoListParagraph><![if !supportLists]><span>1.<span>&nbsp; </span></span><![endif]>First</p>
<![if !vml]><img src="image001.png" alt="Logo"><![endif]>
<!--[if gte vml 1]><v:shape><v:textbox>VML text</v:textbox></v:shape><![endif]-->
<p>Hello<o:p></o:p> <st1:City w:st="on"><st1:place w:st="on">Boston</st1:place></st1:City></p>
</body></html>)");
    EXPECT_NE(text.find("1.\xC2\xA0 First"), std::string::npos) << text;
    EXPECT_EQ(text.find("[if"), std::string::npos) << text;
    EXPECT_EQ(text.find("endif"), std::string::npos) << text;
    EXPECT_EQ(text.find("VML text"), std::string::npos) << text;
    EXPECT_NE(text.find("Hello Boston\n"), std::string::npos) << "o:p is not a paragraph; smart tags keep their text: " << text;
    EXPECT_NE(text.find(kit::kAttachmentCharacter), std::string::npos) << "the image in the marker is kept";
}

TEST(HtmlStructure, InlineQuotesAndFormControls)
{
    EXPECT_EQ(plain("<p><q>a <q>b</q></q>"), "“a ‘b’”\n");
    EXPECT_EQ(plain("<p><input type=checkbox checked> done <input type=checkbox> todo"), "☒ done ☐ todo\n");
}

TEST(HtmlStructure, RuleIsALineOfItsOwn)
{
    auto storage = import("<p>above</p><hr><p>below</p><blockquote><hr></blockquote>");
    auto paras = paragraphs(*storage);
    ASSERT_EQ(paras.size(), 4u) << storage->string();
    EXPECT_EQ(paras[1].text, "");
    const kit::TableCell* rule = paras[1].attributes.tableCell.get();
    ASSERT_TRUE(rule);
    EXPECT_EQ(rule->borders[2].style, kit::LineStyle::Single) << "a bottom border draws the rule";
    EXPECT_EQ(rule->borders[0].style, kit::LineStyle::None);
    ASSERT_EQ(rule->columnWidths.size(), 1u);
    EXPECT_FLOAT_EQ(rule->columnWidths[0], 468) << "across the text area";
    EXPECT_FALSE(attributesOf(*storage, "below").tableCell) << "the text after it is outside";
    const kit::TableCell* indented = paras[3].attributes.tableCell.get();
    ASSERT_TRUE(indented);
    EXPECT_FLOAT_EQ(indented->columnWidths[0], 468 - 60) << "inside a block quote, the quote's width";
    EXPECT_NE(rule->tableId, indented->tableId);
}

TEST(HtmlStructure, PageBreaks)
{
    auto storage = import("<p>one<br style='page-break-before: always'>two</p><p style='page-break-before: always'>three");
    auto paras = paragraphs(*storage);
    ASSERT_EQ(paras.size(), 3u) << storage->string();
    EXPECT_EQ(paras[0].text, "one");
    EXPECT_EQ(paras[0].terminator, '\f');
    EXPECT_EQ(paras[1].text, "two");
    EXPECT_TRUE(paras[2].attributes.paragraphStyle().pageBreakBefore);
    EXPECT_FALSE(attributesOf(*import("<p style='page-break-before: always'>first"), "first").paragraphStyle().pageBreakBefore)
        << "a break before the very first paragraph would leave an empty page";
}

TEST(HtmlStructure, DeepNestingStaysReadable)
{
    std::string html;
    for (int i = 0; i < 5000; ++i)
        html += "<div><span>";
    html += "deep";
    auto storage = import(html);
    EXPECT_NE(storage->string().find("deep"), std::string::npos);
    std::string tables;
    for (int i = 0; i < 40; ++i)
        tables += "<table><tr><td>";
    tables += "cell";
    storage = import(tables);
    EXPECT_NE(storage->string().find("cell"), std::string::npos);
    htmltest::expectWellFormed(*storage);
    int deepest = 0;
    for (const auto& run : storage->runs()) {
        if (run.attributes->tableCell)
            deepest = std::max(deepest, run.attributes->tableCell->nestingLevel);
    }
    EXPECT_GE(deepest, 2);
    EXPECT_LE(deepest, 16) << "past the nesting cap, tables are read as blocks";
}
