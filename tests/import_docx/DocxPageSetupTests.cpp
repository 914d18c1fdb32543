#include "SectionDocuments.h"
#include "support/TwoSectionSetup.h"

#include <gtest/gtest.h>

using testdocx::paragraph;

TEST(DocxPageSetup, SectionsKeepPaperMarginsAndStories)
{
    auto result = testdocx::import(testdocx::twoSectionDocument());
    ASSERT_TRUE(result.text);
    testsupport::expectTwoSectionSetup(*result.text);
    const auto& setup = result.text->pageSetup();
    ASSERT_TRUE(setup && setup->sections.size() == 2);
    EXPECT_EQ(setup->sections[0].footers[0], setup->sections[0].footers[1]) << "one part referenced twice is read once";
}

TEST(DocxPageSetup, DefaultsAndOddValues)
{
    const struct {
        std::string sectPr;
        kit::Size paper;
        bool titlePage;
        std::optional<int> start;
        kit::PageNumberFormat format;
        const char* why;
    } cases[] = {
        { "", { 612, 792 }, false, std::nullopt, kit::PageNumberFormat::Decimal, "no w:sectPr: Letter" },
        { R"(<w:sectPr><w:pgSz w:w="12240" w:h="15840" w:orient="landscape"/></w:sectPr>)", { 792, 612 }, false,
            std::nullopt, kit::PageNumberFormat::Decimal, "landscape over portrait sides turns the page" },
        { R"(<w:sectPr><w:titlePg w:val="0"/><w:pgNumType w:start="5" w:fmt="lowerRoman"/></w:sectPr>)",
            { 612, 792 }, false, 5, kit::PageNumberFormat::LowerRoman, "titlePg off; numbering restarts at v" },
        { R"(<w:sectPr><w:pgSz w:w="-99999999" w:h="abc"/><w:pgNumType w:fmt="upperLetter"/></w:sectPr>)",
            { 31680, 792 }, false, std::nullopt, kit::PageNumberFormat::UpperLetter, "hostile sizes are capped" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = testdocx::importBody(paragraph("Text.") + c.sectPr);
        ASSERT_TRUE(result.text && result.text->pageSetup());
        const auto& section = result.text->pageSetup()->sections.at(0);
        EXPECT_EQ(section.paperSize, c.paper);
        EXPECT_EQ(section.titlePage, c.titlePage);
        EXPECT_EQ(section.pageNumberStart, c.start);
        EXPECT_EQ(section.pageNumberFormat, c.format);
    }
}

TEST(DocxPageSetup, NegativeTopAndBottomMarginsAreExact)
{
    auto result = testdocx::importBody(paragraph("Text.")
        + R"(<w:sectPr><w:pgMar w:top="-1440" w:bottom="-720" w:left="1440" w:right="1440"/></w:sectPr>)");
    ASSERT_TRUE(result.text && result.text->pageSetup());
    const kit::PageMargins& margins = result.text->pageSetup()->sections.at(0).margins;
    EXPECT_EQ(margins.top, 72);
    EXPECT_EQ(margins.bottom, 36);
    EXPECT_TRUE(margins.isTopExact) << "the header does not push the body";
    EXPECT_TRUE(margins.isBottomExact);
    auto plain = testdocx::importBody(paragraph("Text.") + R"(<w:sectPr><w:pgMar w:top="1440"/></w:sectPr>)");
    ASSERT_TRUE(plain.text && plain.text->pageSetup());
    EXPECT_FALSE(plain.text->pageSetup()->sections.at(0).margins.isTopExact);
}

TEST(DocxPageSetup, ColumnsAndColumnBreaks)
{
    // Two columns half an inch apart; a break in the middle of a run starts the next column there.
    auto result = testdocx::importBody(paragraph("Left column.")
        + R"(<w:p><w:r><w:t>Before</w:t><w:br w:type="column"/><w:t>After</w:t></w:r></w:p>)"
        + R"(<w:sectPr><w:cols w:num="2" w:space="720" w:sep="1"/></w:sectPr>)");
    ASSERT_TRUE(result.text && result.text->pageSetup());
    const kit::PageSection& section = result.text->pageSetup()->sections.at(0);
    EXPECT_EQ(section.columnCount, 2);
    EXPECT_FLOAT_EQ(section.columnSpacing, 36);
    EXPECT_TRUE(section.columnSeparator);
    EXPECT_FALSE(section.pageColor) << "white paper unless the document gives a colour";
    const std::string& text = result.text->string();
    std::size_t after = text.find("After");
    ASSERT_NE(after, std::string::npos);
    EXPECT_EQ(text.substr(0, after), "Left column.\nBefore\n") << "the break ends the paragraph, and adds nothing";
    EXPECT_TRUE(result.text->attributesAt(after).paragraphStyle().columnBreakBefore);
    EXPECT_FALSE(result.text->attributesAt(text.find("Before")).paragraphStyle().columnBreakBefore);
    EXPECT_FALSE(result.text->attributesAt(0).paragraphStyle().columnBreakBefore);

    auto single = testdocx::importBody(paragraph("One.") + R"(<w:sectPr><w:cols w:space="708"/></w:sectPr>)");
    ASSERT_TRUE(single.text && single.text->pageSetup());
    EXPECT_EQ(single.text->pageSetup()->sections.at(0).columnCount, 1) << "no count: one column";
    EXPECT_FALSE(single.text->pageSetup()->sections.at(0).columnSeparator);
}

TEST(DocxPageSetup, UnequalColumnsKeepEachWidthAndTheRoomAfterIt)
{
    const struct {
        std::string cols;
        std::vector<kit::SectionColumn> expected;
        int count;
        const char* why;
    } cases[] = {
        { R"(<w:cols w:num="2" w:space="720" w:equalWidth="0"><w:col w:w="2880" w:space="360"/><w:col w:w="5400"/></w:cols>)",
            { { 144, 18 }, { 270, 0 } }, 2, "two columns of their own widths" },
        { R"(<w:cols w:num="3" w:equalWidth="0"><w:col w:w="1440" w:space="720"/><w:col w:w="2880" w:space="720"/><w:col w:w="1440"/></w:cols>)",
            { { 72, 36 }, { 144, 36 }, { 72, 0 } }, 3, "three" },
        { R"(<w:cols w:num="2" w:space="720"><w:col w:w="2880"/><w:col w:w="5400"/></w:cols>)", {}, 2,
            "equalWidth not off: one width, whatever w:col says" },
        { R"(<w:cols w:num="2" w:equalWidth="0"><w:col w:w="2880"/></w:cols>)", {}, 2, "one w:col is no set of columns" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = testdocx::importBody(paragraph("Text.") + "<w:sectPr>" + c.cols + "</w:sectPr>");
        ASSERT_TRUE(result.text && result.text->pageSetup());
        const kit::PageSection& section = result.text->pageSetup()->sections.at(0);
        EXPECT_EQ(section.unequalColumns, c.expected);
        EXPECT_EQ(section.columnCount, c.count);
    }
}

TEST(DocxPageSetup, PageBordersAndVerticalAlignment)
{
    auto result = testdocx::importBody(paragraph("Text.")
        + R"(<w:sectPr><w:pgBorders w:offsetFrom="page"><w:top w:val="single" w:sz="16" w:space="24" w:color="FF0000"/>)"
          R"(<w:left w:val="double" w:sz="8" w:space="12"/><w:bottom w:val="nil"/></w:pgBorders>)"
          R"(<w:vAlign w:val="center"/></w:sectPr>)");
    ASSERT_TRUE(result.text && result.text->pageSetup());
    const kit::PageSection& section = result.text->pageSetup()->sections.at(0);
    EXPECT_FALSE(section.borders.measuredFromText);
    EXPECT_EQ(section.borders.sides[0], (kit::Border { kit::LineStyle::Single, 2, kit::Color::calibratedRGB(1, 0, 0) }));
    EXPECT_EQ(section.borders.distances[0], 24) << "points";
    EXPECT_EQ(section.borders.sides[1].style, kit::LineStyle::Double);
    EXPECT_EQ(section.borders.distances[1], 12);
    EXPECT_EQ(section.borders.sides[2].style, kit::LineStyle::None);
    EXPECT_EQ(section.borders.sides[3].style, kit::LineStyle::None);
    EXPECT_EQ(section.verticalAlignment, kit::VerticalAlignment::Center);

    const struct {
        const char* value;
        kit::VerticalAlignment expected;
    } alignments[] = { { "bottom", kit::VerticalAlignment::Bottom }, { "both", kit::VerticalAlignment::Justified },
        { "top", kit::VerticalAlignment::Top }, { "sideways", kit::VerticalAlignment::Top } };
    for (const auto& a : alignments) {
        auto aligned = testdocx::importBody(
            paragraph("Text.") + "<w:sectPr><w:vAlign w:val=\"" + a.value + "\"/></w:sectPr>");
        ASSERT_TRUE(aligned.text && aligned.text->pageSetup());
        EXPECT_EQ(aligned.text->pageSetup()->sections.at(0).verticalAlignment, a.expected) << a.value;
        EXPECT_TRUE(aligned.text->pageSetup()->sections.at(0).borders.isEmpty());
        EXPECT_TRUE(aligned.text->pageSetup()->sections.at(0).borders.measuredFromText) << "from the text unless said";
    }
}

TEST(DocxPageSetup, ThePageColourColoursEverySection)
{
    testdocx::Parts parts;
    parts.body = paragraph("One.") + R"(<w:p><w:pPr><w:sectPr><w:pgSz w:w="12240" w:h="15840"/></w:sectPr></w:pPr></w:p>)"
        + paragraph("Two.") + R"(<w:sectPr><w:pgSz w:w="15840" w:h="12240" w:orient="landscape"/></w:sectPr>)";
    parts.beforeBody = R"(<w:background w:color="FFFFCC"/>)";
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text && result.text->pageSetup());
    const auto& sections = result.text->pageSetup()->sections;
    ASSERT_EQ(sections.size(), 2u);
    for (const auto& section : sections) {
        ASSERT_TRUE(section.pageColor);
        EXPECT_EQ(*section.pageColor, kit::Color::calibratedRGB(1, 1, 0.8f));
    }
}
