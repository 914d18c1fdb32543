// RTF's page setup: the document's paper and margins, each section's own, headers, footers and page fields.
#include "import/rtf/RtfImporter.h"

#include <gtest/gtest.h>

namespace {

std::shared_ptr<kit::TextStorage> read(const std::string& rtf)
{
    auto result = importer::importRtf({ reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size() });
    return result.text;
}

// The sections of the document's page setup; none when it has no page setup.
std::vector<kit::PageSection> sectionsOf(const std::string& rtf)
{
    auto text = read(rtf);
    return text && text->pageSetup() ? text->pageSetup()->sections : std::vector<kit::PageSection>();
}

std::string textOf(const std::shared_ptr<kit::TextStorage>& story) { return story ? story->string() : "<none>"; }

} // namespace

TEST(RtfPageSetup, SectionsKeepTheirPaperMarginsAndStories)
{
    auto text = read("{\\rtf1\\ansi\\paperw11906\\paperh16838\\margl1134\\margr850\\margt1440\\margb1000\\gutter200"
                     "\\headery500\\footery600\\facingp"
                     "\\sectd\\titlepg{\\headerf First header\\par}{\\header Running {\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}\\par}"
                     "{\\footerl Even footer\\par}"
                     "Portrait text.\\par\\sect\\sectd\\lndscpsxn\\pgwsxn16838\\pghsxn11906\\marglsxn720\\pgnstarts5\\pgnucrm "
                     "Landscape text.\\par}");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->string().find("header"), std::string::npos) << "stories stay out of the body: " << text->string();
    const auto& setup = text->pageSetup();
    ASSERT_TRUE(setup);
    ASSERT_EQ(setup->sections.size(), 2u);
    EXPECT_TRUE(setup->evenAndOddHeaders);
    const kit::PageSection& first = setup->sections[0];
    EXPECT_EQ(first.paperSize, (kit::Size { 595.3f, 841.9f }));
    EXPECT_EQ(first.margins, (kit::PageMargins { 72, 50, 56.7f, 42.5f, 25, 30, 10 }));
    EXPECT_TRUE(first.titlePage);
    EXPECT_EQ(textOf(first.headers[std::size_t(kit::HeaderFooterKind::First)]), "First header\n");
    auto running = first.headers[std::size_t(kit::HeaderFooterKind::Default)];
    ASSERT_TRUE(running);
    EXPECT_EQ(running->string(), "Running 7\n");
    EXPECT_EQ(running->attributesAt(8).pageField, kit::PageField::Page);
    EXPECT_EQ(running->attributesAt(0).pageField, kit::PageField::None);
    EXPECT_EQ(textOf(first.footers[std::size_t(kit::HeaderFooterKind::Even)]), "Even footer\n");

    const kit::PageSection& second = setup->sections[1];
    EXPECT_EQ(text->string().substr(second.start, 9), "Landscape");
    EXPECT_EQ(second.paperSize, (kit::Size { 841.9f, 595.3f }));
    EXPECT_EQ(second.margins.left, 36) << "its own left margin";
    EXPECT_EQ(second.margins.right, 42.5f) << "\\sectd gives back the document's other margins";
    EXPECT_EQ(second.pageNumberStart, 5);
    EXPECT_EQ(second.pageNumberFormat, kit::PageNumberFormat::UpperRoman);
    EXPECT_FALSE(second.titlePage);
    EXPECT_EQ(setup->header(1, kit::HeaderFooterKind::Default), running) << "linked to the first section's";
}

TEST(RtfPageSetup, WithoutPageWordsThereIsNone)
{
    auto text = read("{\\rtf1\\ansi Plain.\\par\\sect More.\\par}");
    ASSERT_TRUE(text);
    EXPECT_FALSE(text->pageSetup()) << "our own RTF and bare files keep the printer's paper in every layout";
    auto hostile = read("{\\rtf1\\paperw-2000000000\\paperh99999999\\margl-5 x\\par}");
    ASSERT_TRUE(hostile && hostile->pageSetup());
    const kit::PageSection& section = hostile->pageSetup()->sections.at(0);
    EXPECT_EQ(section.paperSize, (kit::Size { 1584, 1584 })) << "sides capped";
    EXPECT_EQ(section.margins.left, 0.25f);
    kit::Rect body = section.textRect();
    EXPECT_GE(body.width(), 72);
}

TEST(RtfPageSetup, ColumnsAndColumnBreaks)
{
    auto text = read("{\\rtf1\\ansi\\sectd\\cols2\\colsx567\\linebetcol Left words\\column Right words\\par"
                     "\\sect\\sectd One column\\par}");
    ASSERT_TRUE(text && text->pageSetup());
    const auto& sections = text->pageSetup()->sections;
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].columnCount, 2);
    EXPECT_FLOAT_EQ(sections[0].columnSpacing, 28.35f);
    EXPECT_TRUE(sections[0].columnSeparator);
    EXPECT_EQ(sections[1].columnCount, 1) << "\\sectd gives back one column";
    EXPECT_FALSE(sections[1].columnSeparator);
    const std::string& string = text->string();
    std::size_t right = string.find("Right");
    ASSERT_NE(right, std::string::npos);
    EXPECT_EQ(string.substr(0, right), "Left words\n");
    EXPECT_TRUE(text->attributesAt(right).paragraphStyle().columnBreakBefore);
    EXPECT_FALSE(text->attributesAt(0).paragraphStyle().columnBreakBefore);
    EXPECT_FALSE(text->attributesAt(string.find("One")).paragraphStyle().columnBreakBefore)
        << "the mark is for the one paragraph after the break";
}

TEST(RtfPageSetup, NotesKnowTheirReferencesAndTheirText)
{
    auto text = read("{\\rtf1\\ansi\\paperw12240\\paperh15840 Alpha{\\super\\chftn}{\\footnote {\\super\\chftn} First note.}"
                     " beta{\\super\\chftn}{\\footnote\\ftnalt {\\super\\chftn} An endnote.\\par Its second paragraph.}"
                     "\\par Body end.\\par}");
    ASSERT_TRUE(text && text->pageSetup());
    const std::string& string = text->string();
    EXPECT_EQ(string, "Alpha1 beta2\nBody end.\n1 First note.\n2 An endnote.\nIts second paragraph.\n")
        << "the notes' texts stand after the body, as before";
    const auto& notes = text->pageSetup()->notes;
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].kind, kit::NoteKind::Footnote);
    EXPECT_EQ(notes[0].mark, "1");
    EXPECT_EQ(notes[0].reference, string.find("1 beta")) << "the reference mark in the body";
    EXPECT_EQ(string.substr(notes[0].text.location, notes[0].text.length), "1 First note.\n");
    EXPECT_EQ(notes[1].kind, kit::NoteKind::Endnote);
    EXPECT_EQ(notes[1].reference, string.find("2\nBody"));
    EXPECT_EQ(string.substr(notes[1].text.location, notes[1].text.length), "2 An endnote.\nIts second paragraph.\n")
        << "a note's text is all its paragraphs";

    // A body that ends in a picture without \\par: the end of its paragraph is no picture.
    auto picture = read("{\\rtf1\\ansi x{\\footnote Note.}{\\pict\\pngblip 02}}");
    ASSERT_TRUE(picture);
    const std::string& withPicture = picture->string();
    std::size_t end = withPicture.find('\n');
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(withPicture.substr(0, end), std::string("x") + kit::kAttachmentCharacter);
    EXPECT_TRUE(picture->attributesAt(1).attachment);
    EXPECT_FALSE(picture->attributesAt(end).attachment) << "the attachment stays on its U+FFFC";

    auto bare = read("{\\rtf1\\ansi Word{\\super\\chftn}{\\footnote {\\super\\chftn} Note.}\\par}");
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->pageSetup()) << "without page words the printer's paper shows the notes after the body";
}

TEST(RtfPageSetup, ColumnsOfTheirOwnWidths)
{
    auto sections = sectionsOf("{\\rtf1\\ansi\\sectd\\cols2\\colno1\\colw2880\\colsr360\\colno2\\colw5400 Left\\par"
                               "\\sect\\cols3\\colno1\\colw1440 Three\\par}");
    ASSERT_EQ(sections.size(), 2u);
    EXPECT_EQ(sections[0].unequalColumns, (std::vector<kit::SectionColumn> { { 144, 18 }, { 270, 0 } }));
    EXPECT_TRUE(sections[1].unequalColumns.empty()) << "widths for one of three columns: they are of one width";
    EXPECT_EQ(sections[1].columnCount, 3);
}

TEST(RtfPageSetup, PageBordersAndVerticalAlignment)
{
    auto text = read("{\\rtf1\\ansi{\\colortbl;\\red255\\green0\\blue0;}\\sectd\\pgbrdropt32\\vertalc"
                     "\\pgbrdrt\\brdrs\\brdrw40\\brsp24\\brdrcf1\\pgbrdrl\\brdrdb\\brdrw10 One\\par"
                     "\\sect\\sectd\\vertalb\\pgbrdrb\\brdrs\\brsp4 Two\\par}");
    ASSERT_TRUE(text && text->pageSetup());
    EXPECT_EQ(text->string(), "One\nTwo\n") << "the border words add no text";
    const auto& sections = text->pageSetup()->sections;
    ASSERT_EQ(sections.size(), 2u);
    const kit::PageBorders& first = sections[0].borders;
    EXPECT_TRUE(first.measuredFromText) << "\\pgbrdropt32";
    EXPECT_EQ(first.sides[0], (kit::Border { kit::LineStyle::Single, 2, kit::Color::calibratedRGB(1, 0, 0) }));
    EXPECT_EQ(first.distances[0], 24) << "points";
    EXPECT_EQ(first.sides[1].style, kit::LineStyle::Double);
    EXPECT_EQ(first.sides[2].style, kit::LineStyle::None);
    EXPECT_EQ(sections[0].verticalAlignment, kit::VerticalAlignment::Center);
    const kit::PageBorders& second = sections[1].borders;
    EXPECT_FALSE(second.measuredFromText) << "from the paper's edge unless the options say the text";
    EXPECT_EQ(second.sides[0].style, kit::LineStyle::None) << "\\sectd drops the first section's";
    EXPECT_EQ(second.sides[2].style, kit::LineStyle::Single);
    EXPECT_EQ(second.distances[2], 4);
    EXPECT_EQ(sections[1].verticalAlignment, kit::VerticalAlignment::Bottom);
}
