// The outline every importer marks (headings by level) and the bookmarks internal links go to, read back
// through the document outline the window's sidebar shows.
#include "import/Importer.h"
#include "import_docx/DocxBuilder.h"
#include "import_odt/OdtBuilder.h"
#include "kit/text/TextStorage.h"
#include "kit/text/TextOutline.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace {

std::vector<std::uint8_t> bytesOf(const std::string& text)
{
    return { text.begin(), text.end() };
}

std::string outlineText(const std::vector<std::uint8_t>& bytes)
{
    auto imported = importer::importDocument(bytes);
    if (!imported.text)
        return "<no text: " + std::string(errorText(imported.error)) + ">";
    std::string out;
    for (const auto& entry : kit::outlineOfText(*imported.text))
        out += std::to_string(entry.level) + ":" + entry.title + ";";
    return out;
}

std::string docxStyles()
{
    // Heading 1 says its level; "heading 2" is known by its name alone; "Title" is no heading.
    return R"(<w:style w:type="paragraph" w:styleId="Heading1"><w:name w:val="heading 1"/><w:pPr><w:outlineLvl w:val="0"/></w:pPr></w:style>)"
           R"(<w:style w:type="paragraph" w:styleId="Heading2"><w:name w:val="heading 2"/></w:style>)"
           R"(<w:style w:type="paragraph" w:styleId="Sub"><w:name w:val="My sub"/><w:basedOn w:val="Heading2"/></w:style>)"
           R"(<w:style w:type="paragraph" w:styleId="Title"><w:name w:val="Title"/></w:style>)";
}

std::string docxParagraph(const std::string& style, const std::string& text, const std::string& more = {})
{
    return "<w:p><w:pPr>" + (style.empty() ? std::string() : "<w:pStyle w:val=\"" + style + "\"/>") + more + "</w:pPr><w:r><w:t>" + text
        + "</w:t></w:r></w:p>";
}

} // namespace

TEST(OutlineMarks, EveryFormatMarksItsHeadings)
{
    testdocx::Parts docx;
    docx.styles = docxStyles();
    docx.body = docxParagraph("Title", "The Title") + docxParagraph("Heading1", "One") + docxParagraph("", "Body text.")
        + docxParagraph("Heading2", "One  A") + docxParagraph("Sub", "Inherited") + docxParagraph("", "Direct", "<w:outlineLvl w:val=\"2\"/>")
        + docxParagraph("Heading1", "Not a heading here", "<w:outlineLvl w:val=\"9\"/>") + docxParagraph("Heading1", "");

    testodt::Parts odt;
    odt.body = R"(<text:h text:outline-level="1">Intro</text:h><text:p>Body.</text:p><text:h text:outline-level="3">Deep</text:h>)"
               R"(<text:h>No level</text:h><text:h text:outline-level="12">Too deep</text:h>)";

    const testsupport::Case<std::vector<std::uint8_t>, std::string> cases[] = {
        { testdocx::build(docx), "1:One;2:One A;2:Inherited;3:Direct;",
            "docx: w:outlineLvl in the style or the paragraph, heading names, based-on styles; level 9 is body text; empty headings are left out" },
        { testodt::build(odt), "1:Intro;3:Deep;1:No level;9:Too deep;", "odt: text:h, level 1 when unsaid, past 9 at 9" },
        { bytesOf(R"({\rtf1\ansi{\stylesheet{\s0 Normal;}{\s1\outlinelevel0 heading 1;}{\s2 Heading 2;}{\s3 Quote;}})"
                  R"({\s1 First\par}{\s0 Body\par}{\s2 Second\par}{\pard\outlinelevel4 Direct\par}{\s3 Quoted\par}})"),
            "1:First;2:Second;5:Direct;", "RTF: \\outlinelevel in a style or a paragraph, and a style named heading N" },
        { bytesOf("<html><body><h1>Top</h1><p>Text</p><h3>Third <b>bold</b></h3><h6>Sixth</h6><div><h2>In a div</h2></div><p>h1</p></body></html>"),
            "1:Top;3:Third bold;6:Sixth;2:In a div;", "HTML: h1 to h6, wherever they stand" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return outlineText(input); });
}

TEST(OutlineMarks, TheRtfWriterKeepsTheOutline)
{
    auto imported = importer::importDocument(bytesOf("<html><body><h2>Kept</h2><p>Body</p></body></html>"));
    ASSERT_TRUE(imported.text);
    std::string rtf = imported.text->rtfFromRange({ 0, imported.text->length() });
    auto again = importer::importDocument(bytesOf(rtf));
    ASSERT_TRUE(again.text);
    EXPECT_EQ(kit::outlineOfText(*again.text), kit::outlineOfText(*imported.text));
}

TEST(OutlineMarks, OutlineTitlesAreOneLineAndBounded)
{
    kit::TextStorage text;
    kit::Attributes heading;
    auto style = std::make_shared<kit::ParagraphStyle>();
    style->outlineLevel = 2;
    heading.paragraph = style;
    text.append("Body\n", kit::Attributes {});
    text.append("  Spread\tover\xE2\x80\xA8lines  \n", heading);
    text.append(std::string(300, 'x') + "\n", heading);
    text.append(" \t\n", heading);
    auto outline = kit::outlineOfText(text);
    ASSERT_EQ(outline.size(), 2u) << "a heading of white space alone is left out";
    EXPECT_EQ(outline[0], (kit::OutlineEntry { 2, "Spread over lines", 5 }));
    EXPECT_LE(outline[1].title.size(), 203u);
    EXPECT_EQ(outline[1].title.substr(outline[1].title.size() - 3), "\xE2\x80\xA6") << "cut with an ellipsis";
}

TEST(OutlineMarks, DocxBookmarksMarkTheirFirstCharacter)
{
    testdocx::Parts docx;
    docx.body = R"(<w:p><w:r><w:t>Intro </w:t></w:r><w:bookmarkStart w:id="0" w:name="target"/><w:r><w:t>Here</w:t></w:r>)"
                R"(<w:bookmarkEnd w:id="0"/></w:p><w:p><w:hyperlink w:anchor="target"><w:r><w:t>Go</w:t></w:r></w:hyperlink></w:p>)";
    auto imported = importer::importDocument(testdocx::build(docx));
    ASSERT_TRUE(imported.text);
    const std::string& string = imported.text->string();
    std::size_t here = string.find("Here");
    ASSERT_NE(here, std::string::npos);
    EXPECT_EQ(imported.text->attributesAt(here).anchor, "target");
    EXPECT_EQ(imported.text->attributesAt(here + 1).anchor, "") << "only the first character";
    EXPECT_EQ(imported.text->attributesAt(string.find("Go")).link, "#target");
}

namespace {

// The names internal links ("#name") of the text ask for, each with whether a character carries it.
std::map<std::string, bool> internalLinks(const kit::TextStorage& text)
{
    std::map<std::string, bool> links;
    for (const auto& run : text.runs()) {
        if (run.attributes->link.size() > 1 && run.attributes->link.front() == '#')
            links.emplace(run.attributes->link.substr(1), false);
    }
    for (const auto& run : text.runs()) {
        if (auto it = links.find(run.attributes->anchor); it != links.end())
            it->second = true;
    }
    return links;
}

std::size_t anchorLocation(const kit::TextStorage& text, const std::string& name)
{
    for (const auto& run : text.runs()) {
        if (run.attributes->anchor == name)
            return run.location;
    }
    return std::string::npos;
}

} // namespace

TEST(OutlineMarks, EveryFormatsBookmarksAreWhereItsInternalLinksGo)
{
    testodt::Parts odt;
    odt.body = R"(<text:p><text:a xlink:href="#far">Go far</text:a> or <text:a xlink:href="#__RefHeading___Toc1">the heading</text:a></text:p>)"
               R"(<text:p>Body <text:bookmark text:name="far"/>Far place</text:p>)"
               R"(<text:h text:outline-level="1"><text:bookmark-start text:name="__RefHeading___Toc1"/>Heading<text:bookmark-end text:name="__RefHeading___Toc1"/></text:h>)";
    const struct {
        std::vector<std::uint8_t> bytes;
        std::vector<std::pair<std::string, std::string>> places; // a bookmark, and the text it marks
        const char* why;
    } cases[] = {
        { testodt::build(odt), { { "far", "Far place" }, { "__RefHeading___Toc1", "Heading" } },
            "odt: text:bookmark and text:bookmark-start, as tables of contents write them" },
        { bytesOf(R"({\rtf1\ansi {\field{\*\fldinst{HYPERLINK \\l "Target"}}{\fldrslt{Go}}}\par )"
                  R"({\field{\*\fldinst HYPERLINK "#Other"}{\fldrslt back}}\par Some {\*\bkmkstart Target}{\*\bkmkstart Other}The end{\*\bkmkend Target}\par})"),
            { { "Target", "The end" }, { "Other", "he end" } }, "RTF: \\bkmkstart, HYPERLINK with \\l or a #fragment; two at one place" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto imported = importer::importDocument(c.bytes);
        ASSERT_TRUE(imported.text) << errorText(imported.error);
        const std::string& string = imported.text->string();
        for (const auto& [name, text] : c.places) {
            std::size_t at = anchorLocation(*imported.text, name);
            ASSERT_NE(at, std::string::npos) << name;
            EXPECT_EQ(string.substr(at, text.size()), text) << name;
        }
        for (const auto& [name, found] : internalLinks(*imported.text))
            EXPECT_TRUE(found) << "the link to #" << name << " has its bookmark";
    }
}

TEST(OutlineMarks, CorpusTablesOfContentsLinkToTheirHeadings)
{
    // A table of contents as LibreOffice writes it, and one of Word 2003 (HYPERLINK \l fields to _Toc bookmarks).
    for (const char* name : { "odfdo-doc_with_toc.odt", "poi-parentinvguid.doc" }) {
        SCOPED_TRACE(name);
        auto imported = importer::importDocument(testsupport::readFile(testsupport::corpusPath(name)));
        ASSERT_TRUE(imported.text) << errorText(imported.error);
        auto links = internalLinks(*imported.text);
        EXPECT_GE(links.size(), 3u);
        for (const auto& [target, found] : links)
            EXPECT_TRUE(found) << "#" << target;
        // The entries go forward, to the headings after the table.
        auto outline = kit::outlineOfText(*imported.text);
        ASSERT_FALSE(outline.empty());
        for (const auto& [target, found] : links) {
            std::size_t at = anchorLocation(*imported.text, target);
            bool atAHeading = std::any_of(outline.begin(), outline.end(), [&](const kit::OutlineEntry& entry) {
                return at >= entry.location && at < entry.location + entry.title.size() + 8;
            });
            EXPECT_TRUE(atAHeading) << "#" << target << " at " << at;
        }
    }
}
