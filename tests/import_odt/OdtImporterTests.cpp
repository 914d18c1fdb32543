#include "OdtBuilder.h"
#include "support/Cases.h"
#include "support/PngBytes.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <functional>

using testodt::attributesOf;

namespace {

kit::Color rgb(int r, int g, int b)
{
    return kit::Color::calibratedRGB(float(r) / 255, float(g) / 255, float(b) / 255);
}

using testsupport::pngBytes;

const char* kStyles = R"(
<style:default-style style:family="paragraph"><style:paragraph-properties style:tab-stop-distance="0.5in"/>
  <style:text-properties style:font-name="Serif Face" fo:font-size="12pt" style:font-size-complex="14pt"/></style:default-style>
<style:style style:name="Standard" style:family="paragraph"/>
<style:style style:name="Heading" style:family="paragraph" style:parent-style-name="Standard">
  <style:paragraph-properties fo:margin-top="0.25in" fo:keep-with-next="always"/><style:text-properties fo:font-size="150%" fo:font-weight="bold"/></style:style>
<style:style style:name="Heading_20_1" style:family="paragraph" style:parent-style-name="Heading"><style:text-properties fo:font-size="120%"/></style:style>
<style:style style:name="Emphasis" style:family="text"><style:text-properties fo:font-style="italic"/></style:style>
<style:style style:name="Break" style:family="paragraph" style:parent-style-name="Standard"><style:paragraph-properties fo:break-after="page"/></style:style>
)";

} // namespace

TEST(OdtImporter, RecognisesOpenDocumentTextOnly)
{
    const testsupport::Case<const char*, bool> cases[] = {
        { "application/vnd.oasis.opendocument.text", true, "text" },
        { "application/vnd.oasis.opendocument.text-template", true, "template" },
        { "", true, "no mimetype: the content says it is text" },
        { "application/vnd.oasis.opendocument.spreadsheet", false, "a spreadsheet" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        testodt::Parts parts;
        parts.mimetype = c.input;
        parts.body = "<text:p>Hello</text:p>";
        auto result = testodt::import(parts);
        if (c.expected) {
            EXPECT_EQ(result.format, "odt");
            EXPECT_EQ(testodt::text(result), "Hello\n");
        } else {
            EXPECT_FALSE(result.text);
            EXPECT_EQ(result.error, importer::ImportError::NotKnownFormat);
        }
    }
}

TEST(OdtImporter, TextPropertiesLayerFromDefaultToSpan)
{
    const char* automatic = R"(
<style:style style:name="T1" style:family="text"><style:text-properties fo:font-weight="bold" style:text-underline-style="solid" style:text-underline-type="double"/></style:style>
<style:style style:name="T2" style:family="text"><style:text-properties style:text-line-through-style="solid" fo:color="#ff0000" fo:background-color="#ffff00"/></style:style>
<style:style style:name="T3" style:family="text"><style:text-properties style:text-position="super 58%"/></style:style>
<style:style style:name="T4" style:family="text"><style:text-properties style:text-position="-33% 58%" fo:font-variant="small-caps"/></style:style>
<style:style style:name="T5" style:family="text"><style:text-properties fo:text-transform="uppercase" fo:font-size="50%"/></style:style>
<style:style style:name="T6" style:family="text"><style:text-properties text:display="none"/></style:style>
<style:style style:name="T7" style:family="text"><style:text-properties fo:font-weight="normal" style:text-underline-style="none"/></style:style>
<style:style style:name="P1" style:family="paragraph" style:parent-style-name="Heading_20_1"/>
)";
    testodt::Parts parts;
    parts.fontFaces = R"(<style:font-face style:name="Serif Face" svg:font-family="'Liberation Serif'"/>)";
    parts.styles = kStyles;
    parts.automaticStyles = automatic;
    parts.body = R"(<text:p>Plain <text:span text:style-name="T1">bold <text:span text:style-name="Emphasis">both <text:span text:style-name="T7">neither</text:span></text:span></text:span> )"
                 R"(<text:span text:style-name="T2">struck</text:span> x<text:span text:style-name="T3">up</text:span> <text:span text:style-name="T4">down</text:span> )"
                 R"(<text:span text:style-name="T5">loud</text:span><text:span text:style-name="T6">gone</text:span></text:p><text:h text:style-name="P1" text:outline-level="1">Title</text:h>)";
    auto result = testodt::import(parts);
    ASSERT_TRUE(result.text);
    EXPECT_EQ(testodt::text(result), "Plain bold both neither struck xup down loud\nTitle\n");
    const testsupport::Case<const char*, std::function<bool(const kit::Attributes&)>> cases[] = {
        { "Plain", [](const kit::Attributes& a) { return a.fontFamily == "Liberation Serif" && a.fontSize == 12 && !a.bold; }, "the default style, font through its face" },
        { "bold", [](const kit::Attributes& a) { return a.bold && a.underline == kit::LineStyle::Double; }, "span" },
        { "both", [](const kit::Attributes& a) { return a.bold && a.italic; }, "spans nest" },
        { "neither", [](const kit::Attributes& a) { return !a.bold && a.italic && a.underline == kit::LineStyle::None; }, "an inner span switches off" },
        { "struck", [](const kit::Attributes& a) { return a.strikethrough == kit::LineStyle::Single && a.foreground == rgb(255, 0, 0) && a.background == rgb(255, 255, 0); }, "colours" },
        { "up", [](const kit::Attributes& a) { return a.superscript == 1; }, "superscript" },
        { "down", [](const kit::Attributes& a) { return a.superscript == -1 && a.smallCaps; }, "a negative position is subscript" },
        { "loud", [](const kit::Attributes& a) { return a.allCaps && a.fontSize == 6; }, "upper case drawn, percentage of the paragraph's size" },
        { "Title", [](const kit::Attributes& a) { return a.bold && std::abs(a.fontSize - 21.6f) < 0.001f; }, "percentages compound down the parent chain: 12 x 1.5 x 1.2" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_TRUE(c.expected(attributesOf(*result.text, c.input)));
    }
}

TEST(OdtImporter, ParagraphPropertiesBecomeParagraphStyle)
{
    const testsupport::Case<const char*, std::function<bool(const kit::ParagraphStyle&)>> cases[] = {
        { R"(fo:text-align="justify")", [](const kit::ParagraphStyle& p) { return p.alignment == kit::TextAlignment::Justified; }, "justified" },
        { R"(fo:text-align="center")", [](const kit::ParagraphStyle& p) { return p.alignment == kit::TextAlignment::Center; }, "centred" },
        { R"(fo:text-align="end")", [](const kit::ParagraphStyle& p) { return p.alignment == kit::TextAlignment::Right; }, "end" },
        { R"(style:writing-mode="rl-tb" fo:text-align="start")",
            [](const kit::ParagraphStyle& p) { return p.baseDirection == kit::WritingDirection::RightToLeft && p.alignment == kit::TextAlignment::Right; }, "right to left" },
        { R"(fo:margin-left="1in" fo:text-indent="-0.25in" fo:margin-right="0.5in")",
            [](const kit::ParagraphStyle& p) { return p.headIndent == 72 && p.firstLineHeadIndent == 54 && p.tailIndent == 36; }, "margins and a hanging first line" },
        { R"(fo:margin-top="12pt" fo:margin-bottom="0.5cm")",
            [](const kit::ParagraphStyle& p) { return p.spacingBefore == 12 && std::abs(p.spacingAfter - 14.1732f) < 0.001f; }, "spacing" },
        { R"(fo:line-height="150%")", [](const kit::ParagraphStyle& p) { return p.lineSpacingRule == kit::LineSpacingRule::Multiple && p.lineSpacing == 1.5f; }, "proportional" },
        { R"(fo:line-height="18pt")", [](const kit::ParagraphStyle& p) { return p.lineSpacingRule == kit::LineSpacingRule::Exact && p.lineSpacing == 18; }, "exact" },
        { R"(style:line-height-at-least="16pt")", [](const kit::ParagraphStyle& p) { return p.lineSpacingRule == kit::LineSpacingRule::AtLeast && p.lineSpacing == 16; }, "at least" },
        { R"(fo:break-before="page")", [](const kit::ParagraphStyle& p) { return p.pageBreakBefore; }, "break before" },
        { R"(fo:keep-with-next="always")", [](const kit::ParagraphStyle& p) { return p.keepWithNext; }, "keep with next" },
        { R"(fo:margin-left="0.5in"><style:tab-stops><style:tab-stop style:position="1in" style:type="right"/></style:tab-stops></style:paragraph-properties><style:paragraph-properties)",
            [](const kit::ParagraphStyle& p) { return p.tabStops.size() == 1 && p.tabStops[0].location == 108 && p.tabStops[0].alignment == kit::TabAlignment::Right && p.defaultTabInterval == 36; },
            "tab positions count from the indent" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = testodt::importBody(R"(<text:p text:style-name="P1">Body</text:p>)",
            std::string(R"(<style:style style:name="P1" style:family="paragraph"><style:paragraph-properties )") + c.input + "/></style:style>", kStyles);
        ASSERT_TRUE(result.text);
        EXPECT_TRUE(c.expected(attributesOf(*result.text, "Body").paragraphStyle()));
    }
}

TEST(OdtImporter, WhiteSpaceCollapsesAsOpenDocumentSays)
{
    const testsupport::Case<const char*, const char*> cases[] = {
        { "<text:p>  leading and   inner\n\tspace </text:p>", "leading and inner space \n", "runs are one space, leading ones none" },
        { "<text:p>a<text:s/>b<text:s text:c=\"3\"/>c</text:p>", "a b   c\n", "text:s counts" },
        { "<text:p>a<text:tab/>b<text:line-break/>c</text:p>", "a\tb\xE2\x80\xA8" "c\n", "tab and line break" },
        { "<text:p>one <text:span>two</text:span> <text:span> three</text:span></text:p>", "one two three\n", "white space collapses across elements" },
        { "<text:p/>", "\n", "an empty paragraph" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return testodt::text(testodt::importBody(input)); });
}

TEST(OdtImporter, ListsGetLabels)
{
    const char* lists = R"X(
<text:list-style style:name="Num">
 <text:list-level-style-number text:level="1" style:num-prefix="(" style:num-suffix=")" style:num-format="1">
  <style:list-level-properties text:list-level-position-and-space-mode="label-alignment"><style:list-level-label-alignment text:label-followed-by="listtab" fo:text-indent="-0.25in" fo:margin-left="0.5in"/></style:list-level-properties></text:list-level-style-number>
 <text:list-level-style-number text:level="2" style:num-suffix="." style:num-format="a" text:display-levels="2"/>
 <text:list-level-style-number text:level="3" style:num-suffix="." style:num-format="i" text:start-value="3"/>
</text:list-style>
<text:list-style style:name="Bul"><text:list-level-style-bullet text:level="1" text:bullet-char="•"><style:list-level-properties/></text:list-level-style-bullet></text:list-style>
<style:style style:name="PL" style:family="paragraph" style:list-style-name="Bul"/>
)X";
    std::string body = R"(<text:list text:style-name="Num" xml:id="first"><text:list-item><text:p>one</text:p><text:p>continued item</text:p></text:list-item>)"
                       R"(<text:list-item><text:p>two</text:p><text:list><text:list-item><text:p>two-a</text:p><text:list><text:list-item><text:p>deep</text:p></text:list-item></text:list></text:list-item>)"
                       R"(<text:list-item><text:p>two-b</text:p></text:list-item></text:list></text:list-item>)"
                       R"(<text:list-header><text:p>header</text:p></text:list-header></text:list>)"
                       R"(<text:p>between</text:p>)"
                       R"(<text:list text:style-name="Num" text:continue-numbering="true"><text:list-item><text:p>three</text:p></text:list-item></text:list>)"
                       R"(<text:list text:style-name="Num"><text:list-item><text:p>fresh</text:p></text:list-item><text:list-item text:start-value="7"><text:p>seven</text:p></text:list-item></text:list>)"
                       R"(<text:list text:style-name="Num" text:continue-list="first"><text:list-item><text:p>four</text:p></text:list-item></text:list>)"
                       R"(<text:list><text:list-item><text:p text:style-name="PL">bullet</text:p></text:list-item></text:list>)";
    auto result = testodt::importBody(body, lists);
    ASSERT_TRUE(result.text);
    EXPECT_EQ(testodt::text(result),
        "(1)\tone\ncontinued item\n(2)\ttwo\n2.a.\ttwo-a\niii.\tdeep\n2.b.\ttwo-b\nheader\nbetween\n(3)\tthree\n(1)\tfresh\n(7)\tseven\n(4)\tfour\n\xE2\x80\xA2\tbullet\n");
    EXPECT_TRUE(attributesOf(*result.text, "(1)").listLabel);
    EXPECT_FALSE(attributesOf(*result.text, "one").listLabel);
    const auto& style = attributesOf(*result.text, "one").paragraphStyle();
    EXPECT_EQ(style.headIndent, 36);
    EXPECT_EQ(style.firstLineHeadIndent, 18);
    EXPECT_EQ(attributesOf(*result.text, "continued").paragraphStyle().firstLineHeadIndent, 36) << "later paragraphs line up with the text";
}

TEST(OdtImporter, HeadingsTakeOutlineNumbers)
{
    const char* outline = R"(<text:outline-style style:name="Outline">
<text:outline-level-style text:level="1" style:num-suffix="." style:num-format="1"/>
<text:outline-level-style text:level="2" style:num-suffix="." style:num-format="1" text:display-levels="2"/>
<text:outline-level-style text:level="3" style:num-format=""/></text:outline-style>)";
    auto result = testodt::importBody(R"(<text:h text:outline-level="1">Intro</text:h><text:h text:outline-level="2">Part</text:h><text:h text:outline-level="2">More</text:h>)"
                                      R"(<text:h text:outline-level="3">Unnumbered</text:h><text:h text:outline-level="1"><text:number>9.</text:number>Next</text:h>)",
        "", outline);
    EXPECT_EQ(testodt::text(result), "1.\tIntro\n1.1.\tPart\n1.2.\tMore\nUnnumbered\n2.\tNext\n") << "the cached text:number is not shown twice";
}

TEST(OdtImporter, NotesAreGatheredAtTheEnd)
{
    auto result = testodt::importBody(R"(<text:p>Text<text:note text:id="n1" text:note-class="footnote"><text:note-citation>1</text:note-citation>)"
                                      R"(<text:note-body><text:p>Foot note.</text:p></text:note-body></text:note> more<text:note text:note-class="endnote">)"
                                      R"(<text:note-citation text:label="*">i</text:note-citation><text:note-body><text:p>End note.</text:p></text:note-body></text:note></text:p><text:p>Last.</text:p>)");
    ASSERT_TRUE(result.text);
    EXPECT_EQ(testodt::text(result), "Text1 more*\nLast.\n1 Foot note.\n* End note.\n");
    EXPECT_EQ(attributesOf(*result.text, "1 more").superscript, 1);
}

TEST(OdtImporter, NotesKnowTheirCitationsAndClasses)
{
    auto result = testodt::importBody(R"(<text:p>Text<text:note text:note-class="footnote"><text:note-citation>1</text:note-citation>)"
                                      R"(<text:note-body><text:p>Foot.</text:p><text:p>Two.</text:p></text:note-body></text:note> more<text:note text:note-class="endnote">)"
                                      R"(<text:note-citation text:label="*">i</text:note-citation><text:note-body><text:p>End.</text:p></text:note-body></text:note></text:p>)");
    ASSERT_TRUE(result.text && result.text->pageSetup());
    const std::string& text = result.text->string();
    const auto& notes = result.text->pageSetup()->notes;
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].kind, kit::NoteKind::Footnote);
    EXPECT_EQ(text.substr(notes[0].reference, 6), "1 more");
    EXPECT_EQ(text.substr(notes[0].text.location, notes[0].text.length), "1 Foot.\nTwo.\n");
    EXPECT_EQ(notes[1].kind, kit::NoteKind::Endnote);
    EXPECT_EQ(notes[1].mark, "*") << "the label the document gives";
    EXPECT_EQ(text.substr(notes[1].reference, 2), "*\n");
    EXPECT_EQ(text.substr(notes[1].text.location, notes[1].text.length), "* End.\n");
}

TEST(OdtImporter, LinksSectionsAndIndexes)
{
    auto result = testodt::importBody(R"(<text:table-of-content><text:table-of-content-source><text:index-title-template>Contents</text:index-title-template></text:table-of-content-source>)"
                                      R"(<text:index-body><text:index-title><text:p>Contents</text:p></text:index-title><text:p>Chapter<text:tab/>1</text:p></text:index-body></text:table-of-content>)"
                                      R"(<text:section text:name="S1"><text:p>In a <text:a xlink:href="http://example.com/">link</text:a>.</text:p></text:section>)"
                                      R"(<text:section text:name="S2" text:display="none"><text:p>hidden section</text:p></text:section>)"
                                      R"(<text:p>Field: <text:page-number>3</text:page-number><text:soft-page-break/> end</text:p>)");
    ASSERT_TRUE(result.text);
    EXPECT_EQ(testodt::text(result), "Contents\nChapter\t1\nIn a link.\nField: 3 end\n");
    EXPECT_EQ(attributesOf(*result.text, "link").link, "http://example.com/");
    EXPECT_EQ(attributesOf(*result.text, ".").link, "");
}

TEST(OdtImporter, PageBreaksFromStylesAndMasterPages)
{
    auto result = testodt::importBody(R"(<text:p text:style-name="M">first</text:p><text:p text:style-name="Break">second</text:p><text:p>third</text:p><text:p text:style-name="M">fourth</text:p>)",
        R"(<style:style style:name="M" style:family="paragraph" style:parent-style-name="Standard" style:master-page-name="Standard"/>)", kStyles);
    ASSERT_TRUE(result.text);
    EXPECT_EQ(testodt::text(result), "first\nsecond\fthird\nfourth\n");
    EXPECT_FALSE(attributesOf(*result.text, "first").paragraphStyle().pageBreakBefore) << "the first page needs no break";
    EXPECT_TRUE(attributesOf(*result.text, "fourth").paragraphStyle().pageBreakBefore) << "a master page starts a page";
}

TEST(OdtImporter, TrackedChangesAndAnnotationsAreNotShown)
{
    auto result = testodt::importBody(R"(<text:tracked-changes><text:changed-region text:id="c1"><text:deletion><office:change-info><dc:creator>A</dc:creator></office:change-info>)"
                                      R"(<text:p>deleted words</text:p></text:deletion></text:changed-region></text:tracked-changes>)"
                                      R"(<text:p>Kept<text:change text:change-id="c1"/> <text:change-start text:change-id="c2"/>inserted<text:change-end text:change-id="c2"/>)"
                                      R"(<office:annotation><dc:creator>B</dc:creator><text:p>a comment</text:p></office:annotation> text<office:annotation-end/></text:p>)");
    EXPECT_EQ(testodt::text(result), "Kept inserted text\n");
}

TEST(OdtImporter, TablesCarryCells)
{
    const char* automatic = R"(
<style:style style:name="Tbl" style:family="table"><style:table-properties style:width="6in"/></style:style>
<style:style style:name="ColA" style:family="table-column"><style:table-column-properties style:column-width="2in"/></style:style>
<style:style style:name="ColB" style:family="table-column"><style:table-column-properties style:column-width="5in"/></style:style>
<style:style style:name="Cell" style:family="table-cell"><style:table-cell-properties fo:padding="0.1in" fo:border="0.5pt solid #000000" fo:border-right="none" fo:background-color="#00ff00"/></style:style>
<style:style style:name="Kept" style:family="table-row"><style:table-row-properties fo:keep-together="always"/></style:style>
<style:style style:name="Rel" style:family="table-column"><style:table-column-properties style:rel-column-width="1000*"/></style:style>
)";
    std::string body = R"(<table:table table:style-name="Tbl"><table:table-column table:style-name="ColA"/><table:table-column table:style-name="ColB"/>)"
                       R"(<table:table-header-rows><table:table-row><table:table-cell table:style-name="Cell" table:number-columns-spanned="2"><text:p>Header</text:p></table:table-cell><table:covered-table-cell/></table:table-row></table:table-header-rows>)"
                       R"(<table:table-row table:style-name="Kept"><table:table-cell table:number-rows-spanned="2"><text:p>Tall</text:p></table:table-cell><table:table-cell><text:p>B2</text:p>)"
                       R"(<table:table><table:table-column table:style-name="Rel" table:number-columns-repeated="2"/><table:table-row><table:table-cell><text:p>In 1</text:p></table:table-cell><table:table-cell><text:p>In 2</text:p></table:table-cell></table:table-row></table:table>)"
                       R"(</table:table-cell></table:table-row><table:table-row><table:covered-table-cell/><table:table-cell/></table:table-row></table:table>)";
    auto result = testodt::importBody(body, automatic);
    ASSERT_TRUE(result.text);
    EXPECT_EQ(testodt::text(result), "Header\nTall\nB2\nIn 1\nIn 2\n\n\n");
    const auto& header = *attributesOf(*result.text, "Header").tableCell;
    EXPECT_TRUE(header.isHeaderRow);
    EXPECT_EQ(header.columnSpan, 2);
    EXPECT_EQ(header.padding[0], 7.2f);
    EXPECT_EQ(header.borders[0].style, kit::LineStyle::Single);
    EXPECT_EQ(header.borders[0].width, 0.5f);
    EXPECT_EQ(header.borders[3].style, kit::LineStyle::None);
    EXPECT_EQ(header.shading, rgb(0, 255, 0));
    // 2 + 5 inches exceed the 6.5-inch text width: both scale down in proportion.
    ASSERT_EQ(header.columnWidths.size(), 2u);
    EXPECT_NEAR(header.columnWidths[0], 468.0f * 2 / 7, 0.01f);
    const auto& tall = *attributesOf(*result.text, "Tall").tableCell;
    EXPECT_EQ(tall.rowSpan, 2);
    EXPECT_FALSE(tall.isHeaderRow);
    EXPECT_TRUE(tall.rowKeepsTogether) << "the row's style keeps it together";
    EXPECT_FALSE(header.rowKeepsTogether);
    const auto& inner = *attributesOf(*result.text, "In 2").tableCell;
    EXPECT_EQ(inner.nestingLevel, 2);
    EXPECT_EQ(inner.column, 1);
    EXPECT_EQ(inner.parent, attributesOf(*result.text, "B2").tableCell.get());
    EXPECT_EQ(attributesOf(*result.text, "B2").tableCell->row, 1);
    const auto& last = *result.text->attributesAt(result.text->length() - 1).tableCell;
    EXPECT_EQ(last.row, 2);
    EXPECT_EQ(last.column, 1) << "covered cells take their column";
}

TEST(OdtImporter, RepeatedRowsAndCellsAreBounded)
{
    auto result = testodt::importBody(R"(<table:table><table:table-column table:number-columns-repeated="1000000000"/>)"
                                      R"(<table:table-row table:number-rows-repeated="1000000000"><table:table-cell table:number-columns-repeated="1000000000"><text:p>x</text:p></table:table-cell></table:table-row></table:table>)");
    ASSERT_TRUE(result.text);
    EXPECT_LE(result.text->length(), 2u * 200000) << "a cap on the cells read";
    EXPECT_GT(result.text->length(), 0u);
}

TEST(OdtImporter, FramesHoldPicturesAndTextBoxes)
{
    testodt::Parts parts;
    parts.extra.push_back({ "Pictures/photo.png", pngBytes(30, 10) });
    parts.extra.push_back({ "Pictures/photo.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"/>" });
    parts.body = R"(<text:p>Picture <draw:frame svg:width="3in" svg:height="1in"><draw:image xlink:href="Pictures/photo.png"/><svg:title>A photo</svg:title></draw:frame> inline.</text:p>)"
                 R"(<text:p>Wide <draw:frame svg:width="13in" svg:height="2in"><draw:image xlink:href="Pictures/photo.svg"/><draw:image xlink:href="Pictures/photo.png"/></draw:frame></text:p>)"
                 R"(<text:p>Boxed <draw:frame svg:width="2in" svg:height="1in"><draw:text-box><text:p>Inside the box</text:p></draw:text-box></draw:frame>after.</text:p>)"
                 R"(<text:p>Object <draw:frame svg:width="1in" svg:height="1in"><draw:object xlink:href="./Object 1"/><svg:desc>Formula</svg:desc></draw:frame></text:p>)"
                 R"(<draw:frame svg:width="1in" svg:height="0.5in"><draw:image xlink:href="Pictures/photo.png"/></draw:frame>)";
    auto result = testodt::import(parts);
    ASSERT_TRUE(result.text);
    EXPECT_EQ(testodt::text(result), "Picture \xEF\xBF\xBC inline.\nWide \xEF\xBF\xBC\nBoxed after.\nInside the box\nObject \xEF\xBF\xBC\n\xEF\xBF\xBC\n");
    std::vector<std::shared_ptr<const kit::Attachment>> found;
    const std::string& text = result.text->string();
    for (auto at = text.find(kit::kAttachmentCharacter); at != std::string::npos; at = text.find(kit::kAttachmentCharacter, at + 3))
        found.push_back(result.text->attributesAt(at).attachment);
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0]->mimeType, "image/png");
    EXPECT_EQ(found[0]->size, (kit::Size { 216, 72 }));
    EXPECT_EQ(found[0]->alternativeText, "A photo");
    EXPECT_EQ(std::string(found[0]->bytes.begin(), found[0]->bytes.end()), pngBytes(30, 10));
    EXPECT_EQ(found[1]->mimeType, "image/png") << "of two offered formats, the one that can travel";
    EXPECT_NEAR(found[1]->size.width, 468, 0.01f) << "scaled to the text width";
    EXPECT_NEAR(found[1]->size.height, 72, 0.01f);
    EXPECT_TRUE(found[2]->bytes.empty()) << "an embedded object holds a place";
    EXPECT_EQ(found[2]->alternativeText, "Formula");
    EXPECT_EQ(found[3]->mimeType, "image/png") << "a frame anchored to the page";
}
