// Word binary section properties and the header document, as page sections with their stories.
#include "SectionDocuments.h"
#include "TestDocuments.h"
#include "support/TwoSectionSetup.h"

#include <gtest/gtest.h>

using namespace testdoc;

TEST(DocPageSetup, SectionsKeepPaperMarginsAndStories)
{
    importer::ImportResult result = importBuilt(twoSectionDocument());
    ASSERT_TRUE(result.text);
    EXPECT_EQ(result.text->string(),
        "Alpha opens the first page.\fBravo ends the portrait section.\f"
        "Charlie opens the landscape section.\n")
        << "the header document stays out of the body";
    testsupport::expectTwoSectionSetup(*result.text);
    const auto& setup = result.text->pageSetup();
    ASSERT_TRUE(setup && setup->sections.size() == 2);
    EXPECT_FALSE(setup->sections[0].headers[std::size_t(kit::HeaderFooterKind::Even)]) << "an empty slot";
    EXPECT_EQ(setup->sections[1].margins, (kit::PageMargins { 72, 72, 72, 72, 35.4f, 35.4f, 0 }));
    EXPECT_FALSE(setup->evenAndOddHeaders);
}

TEST(DocPageSetup, SectionPropertiesAndTheirDefaults)
{
    const struct {
        Bytes sepx;
        bool hasSepx; // false: the SED names no properties (fcSepx -1)
        kit::Size paper;
        kit::PageMargins margins;
        std::optional<int> start;
        kit::PageNumberFormat format;
        const char* why;
    } cases[] = {
        { {}, false, { 612, 792 }, { 72, 72, 90, 90, 36, 36, 0 }, std::nullopt, kit::PageNumberFormat::Decimal,
            "no properties: Word's defaults" },
        { concat({ sprm(0x301D, { 2 }) }), true, { 792, 612 }, { 72, 72, 90, 90, 36, 36, 0 }, std::nullopt,
            kit::PageNumberFormat::Decimal, "landscape over portrait sides turns the page" },
        { concat({ sprm(0x3011, { 1 }), sprm16(0x501C, 5), sprm(0x300E, { 2 }), sprm16(0xB025, 360) }), true,
            { 612, 792 }, { 72, 72, 90, 90, 36, 36, 18 }, 5, kit::PageNumberFormat::LowerRoman,
            "numbering restarts at v; a gutter" },
        { concat({ sprm16(0x501C, 7), sprm(0x300E, { 3 }) }), true, { 612, 792 }, { 72, 72, 90, 90, 36, 36, 0 },
            std::nullopt, kit::PageNumberFormat::UpperLetter, "a start without a restart continues the numbers" },
        { concat({ sprm16(0x9023, std::uint16_t(-1440)), sprm16(0x9024, std::uint16_t(-720)), sprm(0x300E, { 9 }) }),
            true, { 612, 792 }, { 72, 36, 90, 90, 36, 36, 0, true, true }, std::nullopt, kit::PageNumberFormat::Decimal,
            "exact (negative) margins keep their length and say so; an unknown format is decimal" },
        { concat({ sprm16(0xB01F, 65535), sprm16(0xB020, 10), sprm16(0xB021, 65535) }), true, { 1584, 72 },
            { 72, 72, 1584, 90, 36, 36, 0 }, std::nullopt, kit::PageNumberFormat::Decimal, "hostile sizes capped" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        WordFileBuilder builder = paragraphs({ u"One section" });
        builder.sections = { { std::uint32_t(builder.text.size()), c.sepx } };
        if (!c.hasSepx) {
            Bytes plc;
            put32(plc, 0);
            put32(plc, std::uint32_t(builder.text.size()));
            put16(plc, 0);
            put32(plc, 0xFFFFFFFF);
            put16(plc, 0);
            put32(plc, 0xFFFFFFFF);
            builder.tableEntries[kPlcfSed] = plc;
        }
        importer::ImportResult result = importBuilt(builder);
        ASSERT_TRUE(result.text && result.text->pageSetup());
        const kit::PageSection& section = result.text->pageSetup()->sections.at(0);
        EXPECT_EQ(section.paperSize, c.paper);
        EXPECT_EQ(section.margins, c.margins);
        EXPECT_EQ(section.pageNumberStart, c.start);
        EXPECT_EQ(section.pageNumberFormat, c.format);
        EXPECT_GE(section.textRect().width(), 72) << "a body even between hostile margins";
    }
}

TEST(DocPageSetup, ColumnsOfTheirOwnWidths)
{
    // Two columns, not evenly spaced: 2 inches with a quarter inch after it, then 3.75 inches.
    auto column = [](std::uint16_t code, std::uint8_t index, std::uint16_t twips) {
        return sprm(code, { index, std::uint8_t(twips & 0xFF), std::uint8_t(twips >> 8) });
    };
    const struct {
        Bytes sepx;
        std::vector<kit::SectionColumn> expected;
        const char* why;
    } cases[] = {
        { concat({ sprm16(0x500B, 1), sprm(0x3005, { 0 }), column(0xF203, 0, 2880), column(0xF204, 0, 360),
              column(0xF203, 1, 5400) }),
            { { 144, 18 }, { 270, 0 } }, "each column its width and the room after it" },
        { concat({ sprm16(0x500B, 1), column(0xF203, 0, 2880), column(0xF203, 1, 5400) }), {},
            "evenly spaced unless the section says otherwise" },
        { concat({ sprm16(0x500B, 2), sprm(0x3005, { 0 }), column(0xF203, 0, 2880), column(0xF203, 1, 5400),
              column(0xF203, 200, 720) }),
            {}, "a column without a width, and one past the last: of one width after all" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        WordFileBuilder builder = paragraphs({ u"Columns" });
        builder.sections = { { std::uint32_t(builder.text.size()), c.sepx } };
        importer::ImportResult result = importBuilt(builder);
        ASSERT_TRUE(result.text && result.text->pageSetup());
        EXPECT_EQ(result.text->pageSetup()->sections.at(0).unequalColumns, c.expected);
    }
}

TEST(DocPageSetup, PageBordersAndVerticalAlignment)
{
    // Word 97 borders: width in eighths of a point, type, colour index, distance (points) in the low five bits.
    WordFileBuilder builder = paragraphs({ u"Bordered" });
    builder.sections = { { std::uint32_t(builder.text.size()),
        concat({ sprm(0x702B, { 16, 1, 6, 24 }), sprm(0x702C, { 8, 3, 1, 4 }), sprm16(0x522F, 1 << 5),
            sprm(0x301A, { 1 }) }) } };
    importer::ImportResult result = importBuilt(builder);
    ASSERT_TRUE(result.text && result.text->pageSetup());
    const kit::PageSection& section = result.text->pageSetup()->sections.at(0);
    EXPECT_FALSE(section.borders.measuredFromText) << "measured from the page's edge";
    EXPECT_EQ(section.borders.sides[0], (kit::Border { kit::LineStyle::Single, 2, kit::Color::calibratedRGB(1, 0, 0) }));
    EXPECT_EQ(section.borders.distances[0], 24);
    EXPECT_EQ(section.borders.sides[1].style, kit::LineStyle::Double);
    EXPECT_EQ(section.borders.distances[1], 4);
    EXPECT_EQ(section.borders.sides[2].style, kit::LineStyle::None);
    EXPECT_EQ(section.verticalAlignment, kit::VerticalAlignment::Center);

    WordFileBuilder plain = paragraphs({ u"Plain" });
    plain.sections = { { std::uint32_t(plain.text.size()), concat({ sprm(0x301A, { 9 }) }) } };
    importer::ImportResult unbordered = importBuilt(plain);
    ASSERT_TRUE(unbordered.text && unbordered.text->pageSetup());
    EXPECT_TRUE(unbordered.text->pageSetup()->sections.at(0).borders.isEmpty());
    EXPECT_TRUE(unbordered.text->pageSetup()->sections.at(0).borders.measuredFromText);
    EXPECT_EQ(unbordered.text->pageSetup()->sections.at(0).verticalAlignment, kit::VerticalAlignment::Top)
        << "an unknown alignment is the top";
}
