#include "DocxBuilder.h"
#include "kit/text/VectorDrawing.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

using testdocx::attributesOf;
using testdocx::paragraph;

namespace {

std::string run(const std::string& text)
{
    return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>";
}

std::string fieldChar(const char* type)
{
    return std::string("<w:r><w:fldChar w:fldCharType=\"") + type + "\"/></w:r>";
}

std::string instruction(const std::string& code)
{
    return "<w:r><w:instrText xml:space=\"preserve\">" + code + "</w:instrText></w:r>";
}

// A level of a w:abstractNum.
std::string level(int index, const char* format, const char* text, const char* extra = "")
{
    return "<w:lvl w:ilvl=\"" + std::to_string(index) + "\"><w:start w:val=\"1\"/><w:numFmt w:val=\"" + format + "\"/><w:lvlText w:val=\""
        + text + "\"/>" + extra + "<w:pPr><w:ind w:left=\"" + std::to_string(720 * (index + 1)) + "\" w:hanging=\"360\"/></w:pPr></w:lvl>";
}

std::string numbered(const std::string& text, int numId, int ilvl = 0)
{
    return paragraph(text, "", "<w:numPr><w:ilvl w:val=\"" + std::to_string(ilvl) + "\"/><w:numId w:val=\"" + std::to_string(numId) + "\"/></w:numPr>");
}

} // namespace

TEST(DocxStructure, FieldsShowTheirResultNotTheirCode)
{
    const testsupport::Case<std::string, const char*> cases[] = {
        { run("Page ") + fieldChar("begin") + instruction(" PAGE ") + fieldChar("separate") + run("7") + fieldChar("end") + run(" of 9"),
            "Page 7 of 9", "the cached result" },
        { run("a") + fieldChar("begin") + instruction(" PAGE ") + fieldChar("end") + run("b"), "ab", "no result, nothing shown" },
        { run("x") + fieldChar("begin") + instruction(" IF ") + fieldChar("begin") + instruction(" MERGEFIELD Name ") + fieldChar("separate")
                + run("inner") + fieldChar("end") + instruction(" = \"\" ") + fieldChar("separate") + run("outer") + fieldChar("end") + run("y"),
            "xoutery", "a field inside another's code belongs to that code" },
        { run("[") + "<w:fldSimple w:instr=\" DATE \">" + run("1 May") + "</w:fldSimple>" + run("]"), "[1 May]", "a simple field" },
        { run("a") + fieldChar("begin") + instruction("QUOTE") + fieldChar("separate") + "<w:r><w:rPr><w:vanish/></w:rPr><w:fldChar w:fldCharType=\"end\"/></w:r>"
                + run("b"),
            "ab", "field characters count even in hidden runs" },
        { run("a") + fieldChar("end") + fieldChar("end") + run("b"), "ab", "ends without beginnings are ignored" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = testdocx::importBody("<w:p>" + c.input + "</w:p>");
        EXPECT_EQ(testdocx::text(result), std::string(c.expected) + "\n");
    }
}

TEST(DocxStructure, FieldResultsSpanParagraphs)
{
    // A table of contents: the field begins in the first entry and ends in the last.
    auto result = testdocx::importBody("<w:p>" + fieldChar("begin") + instruction(" TOC \\o \"1-3\" ") + fieldChar("separate") + run("Chapter 1\t1")
        + "</w:p><w:p>" + run("Chapter 2\t5") + fieldChar("end") + "</w:p>" + paragraph("Body"));
    EXPECT_EQ(testdocx::text(result), "Chapter 1\t1\nChapter 2\t5\nBody\n");
}

TEST(DocxStructure, HyperlinksCarryTheirTarget)
{
    testdocx::Parts parts;
    parts.relationships.push_back({ "rIdLink", "hyperlink", "https://example.com/a?b=1", true });
    parts.body = "<w:p><w:hyperlink r:id=\"rIdLink\">" + run("external") + "</w:hyperlink>" + run(" plain ")
        + "<w:hyperlink w:anchor=\"_Toc1\">" + run("internal") + "</w:hyperlink>" + run(" ") + fieldChar("begin")
        + instruction(" HYPERLINK \"http://field.example/\" \\o \"tip\" ") + fieldChar("separate") + run("by field") + fieldChar("end")
        + fieldChar("begin") + instruction(" HYPERLINK \\l \"Anchor2\" ") + fieldChar("separate") + run("field anchor") + fieldChar("end") + "</w:p>";
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text);
    EXPECT_EQ(testdocx::text(result), "external plain internal by fieldfield anchor\n");
    EXPECT_EQ(attributesOf(*result.text, "external").link, "https://example.com/a?b=1");
    EXPECT_EQ(attributesOf(*result.text, "plain").link, "");
    EXPECT_EQ(attributesOf(*result.text, "internal").link, "#_Toc1");
    EXPECT_EQ(attributesOf(*result.text, "by field").link, "http://field.example/");
    EXPECT_EQ(attributesOf(*result.text, "field anchor").link, "#Anchor2");
}

TEST(DocxStructure, ListLabelsAreComputed)
{
    testdocx::Parts parts;
    parts.numbering = "<w:abstractNum w:abstractNumId=\"0\">" + level(0, "decimal", "%1.") + level(1, "lowerLetter", "%1.%2)")
        + level(2, "upperRoman", "(%3)") + "</w:abstractNum>"
        + "<w:abstractNum w:abstractNumId=\"1\">" + level(0, "bullet", "\xEF\x82\xB7", "<w:rPr><w:rFonts w:ascii=\"Symbol\" w:hAnsi=\"Symbol\"/></w:rPr>")
        + level(1, "bullet", "o", "<w:suff w:val=\"space\"/>") + "</w:abstractNum>"
        + "<w:abstractNum w:abstractNumId=\"2\">" + level(0, "upperLetter", "%1", "<w:suff w:val=\"nothing\"/>") + "</w:abstractNum>"
        + "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
        + "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"0\"/></w:num>"
        + "<w:num w:numId=\"3\"><w:abstractNumId w:val=\"0\"/><w:lvlOverride w:ilvl=\"0\"><w:startOverride w:val=\"5\"/></w:lvlOverride></w:num>"
        + "<w:num w:numId=\"4\"><w:abstractNumId w:val=\"1\"/></w:num>"
        + "<w:num w:numId=\"5\"><w:abstractNumId w:val=\"2\"/></w:num>";
    parts.body = numbered("one", 1) + numbered("one-a", 1, 1) + numbered("one-b", 1, 1) + numbered("deep", 1, 2) + numbered("two", 1)
        + numbered("two-a", 1, 1) + paragraph("plain") + numbered("three", 2) + numbered("five", 3) + numbered("six", 3) + numbered("bullet", 4)
        + numbered("circle", 4, 1) + numbered("letter", 5) + numbered("unnumbered", 0) + numbered("undefined", 99);
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text);
    EXPECT_EQ(testdocx::text(result),
        "1.\tone\n1.a)\tone-a\n1.b)\tone-b\n(I)\tdeep\n2.\ttwo\n2.a)\ttwo-a\nplain\n"
        "3.\tthree\n" // another instance of the same definition continues its numbers
        "5.\tfive\n6.\tsix\n" // a start override restarts them
        "\xE2\x80\xA2\tbullet\no circle\nAletter\nunnumbered\nundefined\n");
    const auto& label = attributesOf(*result.text, "1.a)");
    EXPECT_TRUE(label.listLabel);
    EXPECT_FALSE(attributesOf(*result.text, "one-a").listLabel);
    EXPECT_NE(attributesOf(*result.text, "\xE2\x80\xA2").fontFamily, "Symbol") << "a mapped bullet is not drawn in the symbol font";
    const auto& style = attributesOf(*result.text, "one-a").paragraphStyle();
    EXPECT_EQ(style.headIndent, 72) << "the level's indents";
    EXPECT_EQ(style.firstLineHeadIndent, 54);
    ASSERT_FALSE(style.tabStops.empty());
    EXPECT_EQ(style.tabStops.front().location, 72) << "the label's tab reaches the hanging indent";
}

TEST(DocxStructure, ParagraphStylesCanCarryNumbering)
{
    testdocx::Parts parts;
    parts.numbering = "<w:abstractNum w:abstractNumId=\"7\">" + level(0, "decimal", "%1.", "<w:pStyle w:val=\"H1\"/>")
        + level(1, "decimal", "%1.%2", "<w:pStyle w:val=\"H2\"/>") + "</w:abstractNum><w:num w:numId=\"3\"><w:abstractNumId w:val=\"7\"/></w:num>";
    parts.styles = R"(<w:style w:type="paragraph" w:styleId="H1"><w:pPr><w:numPr><w:numId w:val="3"/></w:numPr></w:pPr></w:style>)"
                   R"(<w:style w:type="paragraph" w:styleId="H2"><w:pPr><w:numPr><w:numId w:val="3"/></w:numPr></w:pPr></w:style>)";
    parts.body = paragraph("Intro", "", "<w:pStyle w:val=\"H1\"/>") + paragraph("Detail", "", "<w:pStyle w:val=\"H2\"/>")
        + paragraph("More", "", "<w:pStyle w:val=\"H2\"/>") + paragraph("Next", "", "<w:pStyle w:val=\"H1\"/>")
        + paragraph("Switched off", "", "<w:pStyle w:val=\"H1\"/><w:numPr><w:numId w:val=\"0\"/></w:numPr>");
    auto result = testdocx::import(parts);
    EXPECT_EQ(testdocx::text(result), "1.\tIntro\n1.1\tDetail\n1.2\tMore\n2.\tNext\nSwitched off\n");
}

TEST(DocxStructure, TrackedChangesShowTheFinalText)
{
    auto result = testdocx::importBody("<w:p>" + run("kept ") + "<w:ins w:id=\"1\" w:author=\"a\">" + run("inserted ") + "</w:ins>"
        + "<w:del w:id=\"2\" w:author=\"a\"><w:r><w:delText>deleted </w:delText></w:r></w:del>"
        + "<w:moveFrom w:id=\"3\" w:author=\"a\">" + run("moved-away ") + "</w:moveFrom>" + "<w:moveTo w:id=\"4\" w:author=\"a\">" + run("moved-here")
        + "</w:moveTo></w:p>"
        // A deleted paragraph mark joins the paragraph to the next one.
        + "<w:p><w:pPr><w:rPr><w:del w:id=\"5\" w:author=\"a\"/></w:rPr></w:pPr>" + run("joined ") + "</w:p>" + paragraph("paragraph")
        + "<w:tbl><w:tr><w:tc><w:p>" + run("row kept") + "</w:p></w:tc></w:tr><w:tr><w:trPr><w:del w:id=\"6\" w:author=\"a\"/></w:trPr><w:tc><w:p>"
        + run("row deleted") + "</w:p></w:tc></w:tr></w:tbl>");
    EXPECT_EQ(testdocx::text(result), "kept inserted moved-here\njoined paragraph\nrow kept\n");
}

TEST(DocxStructure, AlternateContentIsReadOnce)
{
    const testsupport::Case<const char*, const char*> cases[] = {
        { "wps", "choice\n", "a choice this importer understands" },
        { "w14 wps", "choice\n", "several understood namespaces" },
        { "cx1", "fallback\n", "a choice needing what it does not know" },
    };
    testsupport::expectEach(cases, [&](const auto& input) {
        auto result = testdocx::importBody(std::string("<w:p><mc:AlternateContent><mc:Choice Requires=\"") + input + "\">" + run("choice")
            + "</mc:Choice><mc:Fallback>" + run("fallback") + "</mc:Fallback></mc:AlternateContent></w:p>");
        return testdocx::text(result);
    });
}

TEST(DocxStructure, NotesAreGatheredAtTheEnd)
{
    testdocx::Parts parts;
    parts.footnotes = R"(<w:footnote w:type="separator" w:id="-1"><w:p><w:r><w:separator/></w:r></w:p></w:footnote>)"
                      R"(<w:footnote w:id="1"><w:p><w:r><w:rPr><w:vertAlign w:val="superscript"/></w:rPr><w:footnoteRef/></w:r><w:r><w:t xml:space="preserve"> First note.</w:t></w:r></w:p></w:footnote>)"
                      R"(<w:footnote w:id="2"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t xml:space="preserve"> Second note.</w:t></w:r></w:p></w:footnote>)"
                      R"(<w:footnote w:id="3"><w:p><w:r><w:t>Custom note.</w:t></w:r></w:p></w:footnote>)";
    parts.endnotes = R"(<w:endnote w:id="1"><w:p><w:r><w:endnoteRef/></w:r><w:r><w:t xml:space="preserve"> End note.</w:t></w:r></w:p></w:endnote>)";
    parts.body = "<w:p>" + run("Body") + "<w:r><w:footnoteReference w:id=\"2\"/></w:r>" + run(" text")
        + "<w:r><w:endnoteReference w:id=\"1\"/></w:r>" + run(" more") + "<w:r><w:footnoteReference w:id=\"1\"/></w:r>"
        + "<w:r><w:footnoteReference w:customMarkFollows=\"1\" w:id=\"3\"/><w:t>*</w:t></w:r></w:p>" + paragraph("Last paragraph.");
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text);
    EXPECT_EQ(testdocx::text(result), "Body1 texti more2*\nLast paragraph.\n1 Second note.\ni End note.\n2 First note.\nCustom note.\n");
    EXPECT_EQ(attributesOf(*result.text, "1 text").superscript, 1) << "reference marks are raised";
    EXPECT_EQ(attributesOf(*result.text, "1 Second").superscript, 1) << "so are the marks before the note texts";
}

TEST(DocxStructure, NotesKnowTheirReferencesTextsAndPlacement)
{
    testdocx::Parts parts;
    parts.footnotes = R"(<w:footnote w:type="separator" w:id="-1"><w:p><w:r><w:separator/></w:r></w:p></w:footnote>)"
                      R"(<w:footnote w:id="1"><w:p><w:r><w:footnoteRef/></w:r><w:r><w:t xml:space="preserve"> Foot.</w:t></w:r></w:p>)"
                      R"(<w:p><w:r><w:t>Second paragraph.</w:t></w:r></w:p></w:footnote>)"
                      R"(<w:footnote w:id="2"><w:p><w:r><w:t>Custom.</w:t></w:r></w:p></w:footnote>)"
                      R"(<w:footnote w:id="3"><w:p/></w:footnote>)";
    parts.endnotes = R"(<w:endnote w:id="1"><w:p><w:r><w:endnoteRef/></w:r><w:r><w:t xml:space="preserve"> End.</w:t></w:r></w:p></w:endnote>)";
    parts.settings = R"(<w:endnotePr><w:pos w:val="sectEnd"/></w:endnotePr>)";
    parts.body = "<w:p>" + run("One") + "<w:r><w:footnoteReference w:id=\"1\"/></w:r>" + run(" two")
        + "<w:r><w:endnoteReference w:id=\"1\"/></w:r>" + run(" three")
        + "<w:r><w:footnoteReference w:customMarkFollows=\"1\" w:id=\"2\"/><w:t>*</w:t></w:r>"
        + "<w:r><w:footnoteReference w:id=\"1\"/></w:r></w:p>";
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text && result.text->pageSetup());
    const std::string& text = result.text->string();
    EXPECT_EQ(text, "One1 twoi three*2\n1 Foot.\nSecond paragraph.\ni End.\nCustom.\n");
    const auto& setup = *result.text->pageSetup();
    EXPECT_EQ(setup.endnotePlacement, kit::EndnotePlacement::EndOfSection);
    ASSERT_EQ(setup.notes.size(), 3u) << "a note without text has nothing to place";
    auto textOf = [&](const kit::Note& note) { return text.substr(note.text.location, note.text.length); };
    EXPECT_EQ(setup.notes[0].kind, kit::NoteKind::Footnote);
    EXPECT_EQ(setup.notes[0].mark, "1");
    EXPECT_EQ(text.substr(setup.notes[0].reference, 4), "1 tw") << "its first reference";
    EXPECT_EQ(textOf(setup.notes[0]), "1 Foot.\nSecond paragraph.\n") << "every paragraph of the note";
    EXPECT_EQ(setup.notes[1].kind, kit::NoteKind::Endnote);
    EXPECT_EQ(setup.notes[1].mark, "i");
    EXPECT_EQ(text.substr(setup.notes[1].reference, 2), "i ");
    EXPECT_EQ(textOf(setup.notes[1]), "i End.\n");
    EXPECT_EQ(setup.notes[2].mark, "") << "a custom mark is the run's own text";
    EXPECT_EQ(text.substr(setup.notes[2].reference, 1), "*");
    EXPECT_EQ(textOf(setup.notes[2]), "Custom.\n");
}

TEST(DocxStructure, TextBoxesFollowTheirParagraph)
{
    std::string drawingBox = R"(<w:r><w:drawing><wp:anchor><wp:extent cx="1270000" cy="635000"/><wp:docPr id="1" name="Box"/><a:graphic><a:graphicData uri="http://schemas.microsoft.com/office/word/2010/wordprocessingShape"><wps:wsp><wps:txbx><w:txbxContent><w:p><w:r><w:t>In the box</w:t></w:r></w:p></w:txbxContent></wps:txbx></wps:wsp></a:graphicData></a:graphic></wp:anchor></w:drawing></w:r>)";
    std::string vmlBox = R"(<w:r><w:pict><v:shapetype id="t202"/><v:shape style="width:100pt;height:40pt"><v:textbox><w:txbxContent><w:p><w:r><w:t>VML box</w:t></w:r></w:p></w:txbxContent></v:textbox></v:shape></w:pict></w:r>)";
    auto result = testdocx::importBody("<w:p>" + run("Anchor ") + drawingBox + run("paragraph") + "</w:p>" + "<w:p>" + run("Second ")
        + "<w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing><wp:inline><wp:extent cx=\"1\" cy=\"1\"/><a:graphic><a:graphicData><wps:wsp><wps:txbx><w:txbxContent><w:p><w:r><w:t>Chosen box</w:t></w:r></w:p></w:txbxContent></wps:txbx></wps:wsp></a:graphicData></a:graphic></wp:inline></w:drawing></mc:Choice><mc:Fallback>"
        + vmlBox + "</mc:Fallback></mc:AlternateContent></w:r></w:p>" + "<w:p>" + vmlBox + "</w:p>" + paragraph("End"));
    EXPECT_EQ(testdocx::text(result), "Anchor paragraph\nIn the box\nSecond \nChosen box\n\nVML box\nEnd\n");
}

// A floating box becomes a frame of its text, which still follows its paragraph; a box in its line, or a
// VML box that is not positioned, has its text follow the paragraph only.
TEST(DocxStructure, FloatingTextBoxesAreFramesOfTheirText)
{
    std::string outline = R"(<wps:spPr><a:prstGeom prst="rect"/><a:solidFill><a:srgbClr val="FFFFFF"/></a:solidFill><a:ln w="12700"><a:solidFill><a:srgbClr val="000000"/></a:solidFill></a:ln></wps:spPr>)";
    auto box = [&](const char* frame, const std::string& properties, const char* text) {
        return std::string("<w:r><w:drawing><") + frame + R"(><wp:positionH relativeFrom="page"><wp:posOffset>1270000</wp:posOffset></wp:positionH><wp:positionV relativeFrom="paragraph"><wp:posOffset>0</wp:posOffset></wp:positionV><wp:extent cx="1270000" cy="635000"/><wp:wrapSquare/><wp:docPr id="1" name="Box"/><a:graphic><a:graphicData><wps:wsp>)"
            + properties + "<wps:txbx><w:txbxContent><w:p><w:r><w:t>" + text
            + R"(</w:t></w:r></w:p></w:txbxContent></wps:txbx><wps:bodyPr lIns="0" tIns="12700"/></wps:wsp></a:graphicData></a:graphic></)"
            + frame + "></w:drawing></w:r>";
    };
    std::string positioned = R"(<w:r><w:pict><v:shape style="position:absolute;margin-left:10pt;margin-top:5pt;width:120pt;height:40pt" stroked="f"><v:textbox inset="2pt,4pt"><w:txbxContent><w:p><w:r><w:t>Positioned</w:t></w:r></w:p></w:txbxContent></v:textbox><w10:wrap type="topAndBottom"/></v:shape></w:pict></w:r>)";
    std::string unpositioned = R"(<w:r><w:pict><v:shape style="width:100pt;height:40pt"><v:textbox><w:txbxContent><w:p><w:r><w:t>Loose</w:t></w:r></w:p></w:txbxContent></v:textbox></v:shape></w:pict></w:r>)";
    auto result = testdocx::importBody("<w:p>" + run("Anchor ") + box("wp:anchor", outline, "Floating") + "</w:p><w:p>"
        + box("wp:inline", "", "Inline") + "</w:p><w:p>" + box("wp:anchor", "<wps:spPr><a:prstGeom prst=\"rect\"/><a:noFill/><a:ln><a:noFill/></a:ln></wps:spPr>", "Bare")
        + "</w:p><w:p>" + positioned + unpositioned + "</w:p>" + paragraph("End"));
    ASSERT_EQ(testdocx::text(result), "Anchor \nFloating\n\nInline\n\nBare\n\nPositioned\nLoose\nEnd\n");
    const std::string& text = result.text->string();
    const auto& frames = result.text->pageSetup()->frames;
    ASSERT_EQ(frames.size(), 3u);
    auto textOf = [&](const kit::TextFrame& frame) { return text.substr(frame.text.location, frame.text.length); };
    EXPECT_EQ(textOf(frames[0]), "Floating\n");
    EXPECT_EQ(frames[0].anchor, 7u) << "where the drawing stands in its paragraph";
    EXPECT_EQ(textOf(frames[1]), "Bare\n");
    EXPECT_EQ(textOf(frames[2]), "Positioned\n");
    EXPECT_EQ(frames[2].anchor, text.find("\nPositioned"));

    const kit::Attachment& floating = *frames[0].box;
    ASSERT_TRUE(floating.placement && floating.drawing);
    EXPECT_EQ(floating.size.width, 100);
    EXPECT_EQ(floating.size.height, 50);
    EXPECT_EQ(floating.placement->horizontalFrame, kit::FloatPlacement::Frame::Page);
    EXPECT_EQ(floating.placement->offset.x, 100);
    EXPECT_EQ(floating.placement->wrap, kit::FloatPlacement::Wrap::Square);
    ASSERT_EQ(floating.drawing->shapes.size(), 1u);
    ASSERT_TRUE(floating.drawing->shapes[0].stroke);
    EXPECT_EQ(floating.drawing->shapes[0].stroke->rgba(), kit::Color::blackColor().rgba());
    EXPECT_EQ(floating.drawing->shapes[0].strokeWidth, 1);
    EXPECT_EQ(frames[0].insets, (std::array<float, 4> { 1, 0, 3.6f, 7.2f }));
    EXPECT_TRUE(frames[1].box->drawing->shapes.empty()) << "no fill and no line: the text alone";

    const kit::Attachment& vml = *frames[2].box;
    ASSERT_TRUE(vml.placement && vml.drawing);
    EXPECT_EQ(vml.size.width, 120);
    EXPECT_EQ(vml.placement->wrap, kit::FloatPlacement::Wrap::TopAndBottom);
    ASSERT_EQ(vml.drawing->shapes.size(), 1u);
    EXPECT_FALSE(vml.drawing->shapes[0].stroke) << "stroked=\"f\"";
    ASSERT_TRUE(vml.drawing->shapes[0].fill);
    EXPECT_EQ(vml.drawing->shapes[0].fill->rgba(), kit::Color::whiteColor().rgba());
    EXPECT_EQ(frames[2].insets, (std::array<float, 4> { 4, 2, 3.6f, 7.2f }));
}

TEST(DocxStructure, SectionBreaksStartPagesByTheNextSectionsType)
{
    auto section = [](const char* type) {
        std::string sectPr = "<w:sectPr>";
        if (type)
            sectPr += std::string("<w:type w:val=\"") + type + "\"/>";
        return sectPr + "<w:pgSz w:w=\"12240\" w:h=\"15840\"/></w:sectPr>";
    };
    auto ending = [&](const char* text, const char* type) {
        return "<w:p><w:pPr>" + section(type) + "</w:pPr>" + run(text) + "</w:p>";
    };
    const testsupport::Case<std::string, const char*> cases[] = {
        { ending("one", nullptr) + paragraph("two") + section(nullptr), "one\ftwo\n", "no type: a new page" },
        { ending("one", nullptr) + paragraph("two") + section("continuous"), "one\ntwo\n", "the next section is continuous" },
        { ending("one", "continuous") + paragraph("two") + section("nextPage"), "one\ftwo\n", "the type that counts is the next section's" },
        { ending("one", nullptr) + paragraph("two") + section("oddPage"), "one\ftwo\n", "odd page" },
        { ending("one", nullptr) + paragraph("two") + section("evenPage"), "one\ftwo\n", "even page" },
        { ending("one", nullptr) + paragraph("two") + section("nextColumn"), "one\ntwo\n", "next column" },
        { paragraph("only") + section(nullptr), "only\n", "the body's last section is no break" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return testdocx::text(testdocx::importBody(input)); });
}

TEST(DocxStructure, AlternativeFormatChunksAreImported)
{
    testdocx::Parts parts;
    parts.relationships.push_back({ "rIdChunk", "aFChunk", "chunk.htm" });
    parts.extra.push_back({ "word/chunk.htm", "<html><body><p>From <b>HTML</b></p></body></html>" });
    parts.body = paragraph("Before") + "<w:altChunk r:id=\"rIdChunk\"/>" + paragraph("After");
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text);
    std::string text = testdocx::text(result);
    EXPECT_EQ(text.substr(0, 7), "Before\n");
    EXPECT_NE(text.find("From HTML"), std::string::npos) << text;
    EXPECT_EQ(text.substr(text.size() - 6), "After\n");
    EXPECT_TRUE(attributesOf(*result.text, "HTML").bold);
}

TEST(DocxStructure, MathTextIsKept)
{
    auto result = testdocx::importBody("<w:p>" + run("Area ") + "<m:oMath><m:r><m:t>A=</m:t></m:r><m:sSup><m:e><m:r><m:t>r</m:t></m:r></m:e><m:sup><m:r><m:t>2</m:t></m:r></m:sup></m:sSup></m:oMath></w:p>");
    EXPECT_EQ(testdocx::text(result), "Area A=r2\n");
}

TEST(DocxStructure, ContentControlsAndCustomMarkupShowTheirContent)
{
    auto result = testdocx::importBody("<w:sdt><w:sdtPr/><w:sdtContent>" + paragraph("block control") + "</w:sdtContent></w:sdt><w:p><w:sdt><w:sdtContent>"
        + run("inline control") + "</w:sdtContent></w:sdt><w:smartTag>" + run(" tag") + "</w:smartTag><w:customXml>" + run(" custom")
        + "</w:customXml></w:p>");
    EXPECT_EQ(testdocx::text(result), "block control\ninline control tag custom\n");
}

TEST(DocxStructure, EmbeddedDocumentsNestBoundedly)
{
    // Level n holds its own paragraph and, as a chunk, the document of level n + 1.
    std::vector<std::uint8_t> inner;
    for (int level = 6; level >= 0; --level) {
        testdocx::Parts parts;
        parts.body = paragraph("level " + std::to_string(level));
        if (!inner.empty()) {
            parts.relationships.push_back({ "rIdDoc", "aFChunk", "inner.docx" });
            parts.contentTypes.push_back({ "word/inner.docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document" });
            parts.extra.push_back({ "word/inner.docx", std::string(inner.begin(), inner.end()) });
            parts.body += "<w:altChunk r:id=\"rIdDoc\"/>";
        }
        inner = testdocx::build(parts);
    }
    auto result = importer::importDocx(testzip::view(inner));
    EXPECT_EQ(testdocx::text(result), "level 0\nlevel 1\nlevel 2\nlevel 3\n") << "three documents deep, no further";
}
