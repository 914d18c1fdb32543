// OpenDocument's page setup: master pages and their page layouts, headers and footers, page fields.
#include "OdtBuilder.h"

#include <gtest/gtest.h>

TEST(OdtPageSetup, MasterPagesBecomeSections)
{
    testodt::Parts parts;
    parts.masterStyles = R"(<office:automatic-styles>)"
        R"(<style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="21cm" fo:page-height="29.7cm")"
        R"( fo:margin-left="2cm" fo:margin-right="1in" fo:margin-top="36pt" fo:margin-bottom="36pt"/>)"
        R"(<style:header-style><style:header-footer-properties fo:min-height="20pt" fo:margin-bottom="16pt"/></style:header-style></style:page-layout>)"
        R"(<style:page-layout style:name="pm2"><style:page-layout-properties fo:page-width="29.7cm" fo:page-height="21cm")"
        R"( style:print-orientation="landscape" fo:margin-left="1in" fo:margin-right="1in" fo:margin-top="1in" fo:margin-bottom="1in"/></style:page-layout>)"
        R"(</office:automatic-styles><office:master-styles>)"
        R"(<style:master-page style:name="Standard" style:page-layout-name="pm1"><style:header><text:p>Page <text:page-number>4</text:page-number> of <text:page-count>9</text:page-count></text:p></style:header></style:master-page>)"
        R"(<style:master-page style:name="Wide" style:page-layout-name="pm2"/></office:master-styles>)";
    parts.automaticStyles = R"(<style:style style:name="P1" style:family="paragraph" style:master-page-name="Wide"/>)";
    parts.body = R"(<text:p>Portrait words.</text:p><text:p text:style-name="P1">Landscape words.</text:p>)";
    auto result = testodt::import(parts);
    ASSERT_TRUE(result.text);
    const auto& setup = result.text->pageSetup();
    ASSERT_TRUE(setup);
    ASSERT_EQ(setup->sections.size(), 2u);
    const kit::PageSection& first = setup->sections[0];
    EXPECT_NEAR(first.paperSize.width, 595.3f, 0.1f);
    EXPECT_NEAR(first.margins.left, 56.7f, 0.1f);
    EXPECT_EQ(first.margins.header, 36) << "the header stands at the top margin";
    EXPECT_EQ(first.margins.top, 36 + 20 + 16) << "the body below the header and its spacing";
    EXPECT_EQ(first.margins.footer, 36) << "no footer: the body reaches the bottom margin";
    EXPECT_EQ(first.margins.bottom, 36);
    auto header = first.headers[std::size_t(kit::HeaderFooterKind::Default)];
    ASSERT_TRUE(header);
    EXPECT_EQ(header->string(), "Page 4 of 9\n");
    EXPECT_EQ(header->attributesAt(5).pageField, kit::PageField::Page);
    EXPECT_EQ(header->attributesAt(10).pageField, kit::PageField::NumPages);
    EXPECT_EQ(header->attributesAt(0).pageField, kit::PageField::None);

    const kit::PageSection& second = setup->sections[1];
    EXPECT_EQ(result.text->string().substr(second.start, 9), "Landscape");
    EXPECT_GT(second.paperSize.width, second.paperSize.height);
    auto wideHeader = setup->header(1, kit::HeaderFooterKind::Default);
    ASSERT_TRUE(wideHeader) << "a master page without a header shows none";
    EXPECT_EQ(wideHeader->length(), 0u);
    EXPECT_EQ(result.text->string().find("Page 4"), std::string::npos) << "stories stay out of the body";
}

TEST(OdtPageSetup, ColumnsAndColumnBreaks)
{
    testodt::Parts parts;
    parts.masterStyles = R"(<office:automatic-styles><style:page-layout style:name="pm1">)"
        R"(<style:page-layout-properties fo:page-width="21cm" fo:page-height="29.7cm" fo:background-color="#ccffcc">)"
        R"(<style:columns fo:column-count="3" fo:column-gap="0.5in"><style:column-sep style:width="0.02cm"/></style:columns>)"
        R"(</style:page-layout-properties></style:page-layout>)"
        R"(</office:automatic-styles><office:master-styles>)"
        R"(<style:master-page style:name="Standard" style:page-layout-name="pm1"/></office:master-styles>)";
    parts.automaticStyles = R"(<style:style style:name="P1" style:family="paragraph">)"
        R"(<style:paragraph-properties fo:break-before="column"/></style:style>)";
    parts.body = R"(<text:p>First column.</text:p><text:p text:style-name="P1">Second column.</text:p>)";
    auto result = testodt::import(parts);
    ASSERT_TRUE(result.text && result.text->pageSetup());
    const kit::PageSection& section = result.text->pageSetup()->sections.at(0);
    EXPECT_EQ(section.columnCount, 3);
    EXPECT_FLOAT_EQ(section.columnSpacing, 36);
    EXPECT_TRUE(section.columnSeparator);
    ASSERT_TRUE(section.pageColor);
    EXPECT_EQ(*section.pageColor, kit::Color::calibratedRGB(0.8f, 1, 0.8f));
    const std::string& text = result.text->string();
    EXPECT_TRUE(result.text->attributesAt(text.find("Second")).paragraphStyle().columnBreakBefore);
    EXPECT_FALSE(result.text->attributesAt(0).paragraphStyle().columnBreakBefore);
    EXPECT_FALSE(result.text->attributesAt(text.find("Second")).paragraphStyle().pageBreakBefore)
        << "a column break is not a page break";
}

namespace {

// The one section of a document whose Standard master page has these page layout properties.
kit::PageSection onlySection(const std::string& layoutProperties)
{
    testodt::Parts parts;
    parts.masterStyles = R"(<office:automatic-styles><style:page-layout style:name="pm1">)" + layoutProperties
        + R"(</style:page-layout></office:automatic-styles><office:master-styles>)"
          R"(<style:master-page style:name="Standard" style:page-layout-name="pm1"/></office:master-styles>)";
    parts.body = R"(<text:p>Text.</text:p>)";
    auto result = testodt::import(parts);
    EXPECT_TRUE(result.text && result.text->pageSetup() && !result.text->pageSetup()->sections.empty());
    if (!result.text || !result.text->pageSetup() || result.text->pageSetup()->sections.empty())
        return {};
    return result.text->pageSetup()->sections.front();
}

} // namespace

TEST(OdtPageSetup, ColumnsOfTheirOwnWidthsTakeTheirShareLessTheirIndents)
{
    // A 6-inch body: shares of 1 and 2 give 2 and 4 inches, less a quarter inch on each inner side.
    kit::PageSection section = onlySection(
        R"(<style:page-layout-properties fo:page-width="8.5in" fo:page-height="11in" fo:margin-left="1.25in" fo:margin-right="1.25in">)"
        R"(<style:columns fo:column-count="2" fo:column-gap="0.5in">)"
        R"(<style:column style:rel-width="1000*" fo:start-indent="0in" fo:end-indent="0.25in"/>)"
        R"(<style:column style:rel-width="2000*" fo:start-indent="0.25in" fo:end-indent="0in"/>)"
        R"(</style:columns></style:page-layout-properties>)");
    ASSERT_EQ(section.unequalColumns.size(), 2u);
    EXPECT_NEAR(section.unequalColumns[0].width, 126, 0.01);
    EXPECT_NEAR(section.unequalColumns[0].spaceAfter, 36, 0.01);
    EXPECT_NEAR(section.unequalColumns[1].width, 270, 0.01);
    std::vector<kit::TextColumn> across = section.columnsAcross(432);
    ASSERT_EQ(across.size(), 2u);
    EXPECT_NEAR(across[1].x, 162, 0.01) << "the second column starts after the first and the room";
}

TEST(OdtPageSetup, PageBordersStandOnTheMarginsWithTheTextInsideTheirPadding)
{
    kit::PageSection section = onlySection(
        R"(<style:page-layout-properties fo:page-width="8.5in" fo:page-height="11in" fo:margin-left="1in")"
        R"( fo:margin-right="1in" fo:margin-top="1in" fo:margin-bottom="1in" fo:border="2pt solid #ff0000")"
        R"( fo:border-right="none" fo:padding="0.25in" fo:padding-left="0in"/>)");
    EXPECT_FALSE(section.borders.measuredFromText);
    EXPECT_EQ(section.borders.sides[0], (kit::Border { kit::LineStyle::Single, 2, kit::Color::calibratedRGB(1, 0, 0) }));
    EXPECT_EQ(section.borders.distances[0], 72) << "the line's outer edge on the margin";
    EXPECT_EQ(section.borders.sides[3].style, kit::LineStyle::None);
    EXPECT_NEAR(section.margins.top, 72 + 2 + 18, 0.01) << "the text inside the line and its padding";
    EXPECT_NEAR(section.margins.left, 72 + 2, 0.01);
    EXPECT_NEAR(section.margins.right, 72, 0.01) << "no line on the right: the margin as it is";
}
