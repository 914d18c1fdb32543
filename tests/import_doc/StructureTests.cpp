#include "TestDocuments.h"

#include "import/doc/ListTable.h"
#include "support/PngBytes.h"
#include "support/TestSupport.h"
#include "fuzz/OutputChecks.h"

#include <cairo.h>
#include <gtest/gtest.h>

using namespace testdoc;

namespace {

const Bytes kInCell = sprm(0x2416, { 1 });
const Bytes kRowEnd = concat({ sprm(0x2416, { 1 }), sprm(0x2417, { 1 }) });

// A table from rows of cell texts; each row's end mark carries its definition.
struct TableRow {
    std::vector<std::u16string> cells;
    Bytes definition;
};

WordFileBuilder tableDocument(const std::vector<TableRow>& rows, const std::u16string& after = u"after")
{
    WordFileBuilder builder;
    for (const auto& row : rows) {
        for (const auto& cell : row.cells) {
            builder.text += cell + u"\x07";
            builder.paragraphRuns.push_back({ std::uint32_t(builder.text.size()), 0, kInCell });
        }
        builder.text += u"\x07";
        builder.paragraphRuns.push_back({ std::uint32_t(builder.text.size()), 0, concat({ kRowEnd, row.definition }) });
    }
    builder.text += after + u"\r";
    builder.paragraphRuns.push_back({ std::uint32_t(builder.text.size()), 0, {} });
    return builder;
}

const kit::TableCell* cellOf(const importer::ImportResult& result, const std::string& needle)
{
    return attributesOf(result, needle).tableCell.get();
}

} // namespace

TEST(DocTables, EveryCellParagraphCarriesItsCell)
{
    importer::ImportResult result = importBuilt(tableDocument({
        { { u"A", u"B" }, tableDefinition({ 0, 1440, 4320 }) },
        { { u"C", u"D" }, tableDefinition({ 0, 1440, 4320 }) },
    }));
    EXPECT_EQ(plain(result), "A\tB\nC\tD\nafter\n");
    EXPECT_EQ(result.text->string(), "A\nB\nC\nD\nafter\n") << "each cell ends in a paragraph break; row marks vanish";
    const struct {
        const char* text;
        int row, column;
    } cases[] = { { "A", 0, 0 }, { "B", 0, 1 }, { "C", 1, 0 }, { "D", 1, 1 } };
    int tableId = cellOf(result, "A") ? cellOf(result, "A")->tableId : -1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const kit::TableCell* cell = cellOf(result, c.text);
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->tableId, tableId);
        EXPECT_EQ(cell->row, c.row);
        EXPECT_EQ(cell->column, c.column);
        EXPECT_EQ(cell->rowSpan, 1);
        EXPECT_EQ(cell->columnSpan, 1);
        EXPECT_EQ(cell->nestingLevel, 1);
        EXPECT_EQ(cell->columnWidths, (std::vector<float> { 72, 144 }));
        EXPECT_EQ(cell->padding[1], 5.4f) << "the default gap, 108 twips";
    }
    // The cell's paragraph break carries the cell too.
    EXPECT_TRUE(result.text->attributesAt(1).tableCell);
    EXPECT_FALSE(cellOf(result, "after"));
}

TEST(DocTables, RowsThatMayNotBreakAcrossPagesSaySo)
{
    // sprmTFCantSplit and the sprmTFCantSplit90 that later versions write beside it.
    Bytes cantSplit = tableDefinition({ 0, 1440 }), cantSplit90 = cantSplit;
    for (std::uint8_t b : { 0x03, 0x34, 0x01 })
        cantSplit.push_back(b);
    for (std::uint8_t b : { 0x66, 0x34, 0x01 })
        cantSplit90.push_back(b);
    importer::ImportResult result = importBuilt(tableDocument({
        { { u"free" }, tableDefinition({ 0, 1440 }) },
        { { u"kept" }, cantSplit },
        { { u"later" }, cantSplit90 },
    }));
    ASSERT_TRUE(cellOf(result, "free") && cellOf(result, "kept") && cellOf(result, "later"));
    EXPECT_FALSE(cellOf(result, "free")->rowKeepsTogether);
    EXPECT_TRUE(cellOf(result, "kept")->rowKeepsTogether);
    EXPECT_TRUE(cellOf(result, "later")->rowKeepsTogether);
}

TEST(DocTables, APageBreakInsideACellEndsItsParagraph)
{
    // Word keeps a page break before a table in the text of its first cell; a page break inside a cell
    // would split the row over two pages, so there it ends the paragraph, as it does in RTF.
    importer::ImportResult result = importBuilt(tableDocument({
        { { u"\x0C" u"A", u"B\x0C" u"C" }, tableDefinition({ 0, 1440, 4320 }) },
    }));
    EXPECT_EQ(result.text->string(), "\nA\nB\nC\nafter\n");
    EXPECT_TRUE(cellOf(result, "A"));
    EXPECT_TRUE(cellOf(result, "C"));
    const char* rule = fuzzoutput::brokenRule(*result.text);
    EXPECT_FALSE(rule) << rule;
}

TEST(DocTables, MergedCellsSpanTheGrid)
{
    CellDefinition restart { 0x0060 }, merge { 0x0020 }, first { 0x0001 }, merged { 0x0002 };
    const struct {
        std::vector<TableRow> rows;
        const char* cell;
        int row, column, rowSpan, columnSpan;
        const char* plainText;
        const char* why;
    } cases[] = {
        { { { { u"wide" }, tableDefinition({ 0, 4320 }) }, { { u"x", u"y" }, tableDefinition({ 0, 1440, 4320 }) } }, "wide", 0, 0, 1, 2,
            "wide\nx\ty\nafter\n", "a wider cell spans the columns other rows make" },
        { { { { u"m", u"" }, tableDefinition({ 0, 1440, 2880 }, { first, merged }) }, { { u"x", u"y" }, tableDefinition({ 0, 1440, 2880 }) } },
            "m", 0, 0, 1, 2, "m\nx\ty\nafter\n", "a horizontal merge flag folds the next cell in" },
        { { { { u"top", u"r0" }, tableDefinition({ 0, 1440, 2880 }, { restart, {} }) },
              { { u"", u"r1" }, tableDefinition({ 0, 1440, 2880 }, { merge, {} }) } },
            "top", 0, 0, 2, 1, "top\tr0\nr1\nafter\n", "a vertical merge spans rows; the continuation is not written" },
        { { { { u"a", u"b" }, tableDefinition({ 0, 1440, 2880 }, { restart, {} }) },
              { { u"c", u"d" }, tableDefinition({ 0, 1440, 2880 }, { restart, {} }) } },
            "c", 1, 0, 1, 1, "a\tb\nc\td\nafter\n", "a second restart starts a new merge" },
        { { { { u"p", u"q" }, tableDefinition({ 0, 1440, 2880 }) }, { { u"r", u"s" }, tableDefinition({ 0, 1442, 2880 }) } }, "s", 1, 1, 1, 1,
            "p\tq\nr\ts\nafter\n", "edges within three twips are one grid line" },
        { { { { u"p", u"q", u"z" }, tableDefinition({ 0, 1440, 1441, 2880 }) } }, "z", 0, 1, 1, 1, "p\nq\tz\nafter\n",
            "a cell narrower than the tolerance joins the one before, text and all" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::ImportResult result = importBuilt(tableDocument(c.rows));
        EXPECT_EQ(plain(result), c.plainText);
        const kit::TableCell* cell = cellOf(result, c.cell);
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->row, c.row);
        EXPECT_EQ(cell->column, c.column);
        EXPECT_EQ(cell->rowSpan, c.rowSpan);
        EXPECT_EQ(cell->columnSpan, c.columnSpan);
    }
}

TEST(DocTables, NestedTablesPointToTheirCell)
{
    Bytes innerCell = concat({ sprm(0x2416, { 1 }), sprm32(0x6649, 2), sprm(0x244B, { 1 }) });
    Bytes innerRow = concat({ sprm(0x2416, { 1 }), sprm32(0x6649, 2), sprm(0x244C, { 1 }), tableDefinition({ 0, 700, 1400 }) });
    WordFileBuilder builder;
    auto add = [&](const std::u16string& text, const Bytes& grpprl) {
        builder.text += text;
        builder.paragraphRuns.push_back({ std::uint32_t(builder.text.size()), 0, grpprl });
    };
    add(u"in1\r", innerCell);
    add(u"in2\r", innerCell);
    add(u"\r", innerRow);
    add(u"outer\x07", kInCell);
    add(u"o2\x07", kInCell);
    add(u"\x07", concat({ kRowEnd, tableDefinition({ 0, 1440, 2880 }) }));
    importer::ImportResult result = importBuilt(builder);
    EXPECT_EQ(result.text->string(), "in1\nin2\nouter\no2\n");
    const kit::TableCell* inner = cellOf(result, "in1");
    const kit::TableCell* outer = cellOf(result, "outer");
    ASSERT_TRUE(inner && outer);
    EXPECT_EQ(inner->nestingLevel, 2);
    EXPECT_EQ(cellOf(result, "in2")->column, 1);
    EXPECT_EQ(outer->nestingLevel, 1);
    EXPECT_NE(inner->tableId, outer->tableId);
    ASSERT_TRUE(inner->parent);
    EXPECT_EQ(inner->parent->tableId, outer->tableId);
    EXPECT_EQ(inner->parent->column, 0);
    EXPECT_EQ(*inner->parent, *outer) << "the inner table lies in the outer table's first cell";
    EXPECT_EQ(cellOf(result, "o2")->column, 1);
}

TEST(DocTables, BordersAndShading)
{
    // A red one-point single line (eighths of a point, type, colour index), and yellow shading.
    constexpr std::uint32_t redLine = 8 | (1 << 8) | (6 << 16);
    CellDefinition bordered { 0, { redLine, redLine, redLine, redLine } };
    Bytes shading = sprm(0xD609, { 4, 0xE0, 0x00, 0x00, 0x00 });
    Bytes tableBorders = { 0x05, 0xD6, 24 };
    for (int i = 0; i < 6; ++i)
        put32(tableBorders, 4 | (3 << 8)); // half-point double lines
    importer::ImportResult result = importBuilt(tableDocument({
        { { u"red", u"plain" }, concat({ tableDefinition({ 0, 1440, 2880 }, { bordered, {} }), shading, tableBorders }) },
    }));
    const kit::TableCell* red = cellOf(result, "red");
    const kit::TableCell* plainCell = cellOf(result, "plain");
    ASSERT_TRUE(red && plainCell);
    for (int side = 0; side < 4; ++side) {
        SCOPED_TRACE(side);
        EXPECT_EQ(red->borders[side].style, kit::LineStyle::Single);
        EXPECT_EQ(red->borders[side].width, 1);
        EXPECT_EQ(red->borders[side].color, kit::Color::calibratedRGB(1, 0, 0));
        EXPECT_EQ(plainCell->borders[side].style, kit::LineStyle::Double) << "the table's borders where the cell has none";
        EXPECT_EQ(plainCell->borders[side].width, 0.5f);
    }
    EXPECT_EQ(red->shading, kit::Color::calibratedRGB(1, 1, 0));
    EXPECT_FALSE(plainCell->shading);
}

TEST(DocTables, RowsWithoutDefinitionsStillMakeCells)
{
    importer::ImportResult result = importBuilt(tableDocument({ { { u"one", u"two", u"three" }, {} } }));
    EXPECT_EQ(plain(result), "one\ttwo\tthree\nafter\n");
    EXPECT_EQ(cellOf(result, "three")->column, 2);
}

namespace {

// A list table with one nine-level list (numbers "1.", letters "a)", "1.a.i" at the third level) and one
// simple bullet list in the Symbol font, and overrides: 1 and 3 use the numbered list (3 restarting at 5),
// 2 uses the bullets.
void addLists(WordFileBuilder& builder)
{
    Bytes lists;
    put16(lists, 2);
    lists = concat({ lists, listDefinition(0x1234, false), listDefinition(0x5678, true) });
    Bytes levels;
    auto level = [&](std::uint8_t format, const std::u16string& text, const Bytes& paragraph, const Bytes& character) {
        levels = concat({ levels, listLevel(1, format, text, paragraph, character) });
    };
    level(0, std::u16string(u"\0.", 2), concat({ sprm16(0x845E, 720), sprm16(0x8460, std::uint16_t(-360)) }), {});
    level(4, u"\x01)", {}, {});
    level(2, std::u16string(u"\0.\x01.\x02", 5), {}, {});
    for (int i = 3; i < 9; ++i)
        level(0, std::u16string(1, char16_t(i)), {}, {});
    level(23, u"\xF0B7", {}, sprm16(0x4A4F, 1));

    Bytes overrides;
    put32(overrides, 3);
    for (std::uint32_t id : { 0x1234u, 0x5678u, 0x1234u }) {
        put32(overrides, id);
        put32(overrides, 0);
        put32(overrides, 0);
        overrides.push_back(id == 0x1234u && overrides.size() > 40 ? 1 : 0);
        overrides.push_back(0);
        overrides.push_back(0);
        overrides.push_back(0);
    }
    for (int i = 0; i < 3; ++i) {
        put32(overrides, 0xFFFFFFFF);
        if (i == 2) {
            put32(overrides, 5); // start at 5
            put32(overrides, 0x10); // level 0, fStartAt
        }
    }
    builder.tableEntries[kPlfLst] = lists;
    builder.trailingBytes[kPlfLst] = levels;
    builder.tableEntries[kPlfLfo] = overrides;
    builder.tableEntries[kSttbfFfn] = fontTable({ { u"Times New Roman", 0 }, { u"Symbol", 2 } });
}

Bytes listed(std::uint16_t ilfo, std::uint8_t ilvl)
{
    return concat({ sprm16(0x460B, ilfo), sprm(0x260A, { ilvl }) });
}

} // namespace

TEST(DocLists, LabelsCountAndNest)
{
    WordFileBuilder builder = paragraphs({ u"one", u"two", u"sub a", u"sub b", u"three", u"deep", u"dot", u"restart", u"plain" },
        { listed(1, 0), listed(1, 0), listed(1, 1), listed(1, 1), listed(1, 0), listed(1, 2), listed(2, 0), listed(3, 0), {} });
    addLists(builder);
    importer::ImportResult result = importBuilt(builder);
    EXPECT_EQ(result.text->string(),
        "1.\tone\n2.\ttwo\na)\tsub a\nb)\tsub b\n3.\tthree\n3.a.i\tdeep\n\u2022\tdot\n5.\trestart\nplain\n");
    const kit::Attributes& label = attributesOf(result, "1.\t");
    EXPECT_TRUE(label.listLabel);
    EXPECT_FALSE(attributesOf(result, "one").listLabel);
    EXPECT_NE(attributesOf(result, "\u2022").fontFamily, "Symbol") << "the bullet is a Unicode character now";
    EXPECT_TRUE(attributesOf(result, "\u2022").listLabel);
    const kit::ParagraphStyle& style = attributesOf(result, "one").paragraphStyle();
    EXPECT_EQ(style.headIndent, 36) << "the level's indents";
    EXPECT_EQ(style.firstLineHeadIndent, 18);
}

TEST(DocLists, ParagraphsOutsideListsHaveNoLabel)
{
    const struct {
        Bytes grpprl;
        const char* why;
    } cases[] = {
        { listed(0, 0), "override 0 is no list" },
        { listed(0xF801, 0), "the explicit 'no list' value" },
        { listed(9, 0), "an override the table does not have" },
        { listed(1, 12), "level 12: the list skips this paragraph" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        WordFileBuilder builder = paragraphs({ u"text" }, { c.grpprl });
        addLists(builder);
        EXPECT_EQ(importBuilt(builder).text->string(), "text\n");
    }
}

TEST(DocLists, NumberFormats)
{
    using importer::doc::ListTable;
    const struct {
        std::int32_t number;
        std::uint8_t format;
        const char16_t* expected;
    } cases[] = {
        { 4, 0, u"4" }, { 14, 1, u"XIV" }, { 9, 2, u"ix" }, { 3999, 1, u"MMMCMXCIX" }, { 4000, 1, u"4000" }, { 1, 3, u"A" },
        { 26, 4, u"z" }, { 27, 4, u"aa" }, { 53, 3, u"AAA" }, { 2, 5, u"2nd" }, { 13, 5, u"13th" }, { 21, 5, u"21st" },
        { 7, 22, u"07" }, { 10, 22, u"10" }, { 5, 23, u"" }, { 5, 255, u"" }, { 0, 1, u"0" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.number) + " in format " + std::to_string(c.format));
        EXPECT_TRUE(ListTable::formatNumber(c.number, c.format) == c.expected);
    }
}

TEST(DocNotes, NotesFollowTheMainTextWithTheirMarks)
{
    const struct {
        std::u16string main;
        std::uint32_t reference;
        bool isEndnote;
        const char* expected;
        const char* why;
    } cases[] = {
        { u"Text\x02\r", 4, false, "Text1\n1 Note\n", "a footnote: number in the text and before the note" },
        { u"\x02\r", 0, false, "1\n1 Note\n", "a document that is all footnote" },
        { u"Text\x02\r", 4, true, "Texti\ni Note\n", "endnotes count in roman numerals" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        WordFileBuilder builder;
        builder.text = c.main + u"\x02 Note\r";
        std::uint32_t mainLength = std::uint32_t(c.main.size());
        (c.isEndnote ? builder.endnoteLength : builder.footnoteLength) = 7;
        builder.paragraphRuns = { { mainLength, 0, {} }, { mainLength + 7, 0, {} } };
        builder.characterRuns = { { c.reference, c.reference + 1, sprm(0x0855, { 1 }) }, { mainLength, mainLength + 1, sprm(0x0855, { 1 }) } };
        Bytes references, texts;
        put32(references, c.reference);
        put32(references, c.reference + 1);
        put16(references, 1);
        put32(texts, 0);
        put32(texts, 7);
        builder.tableEntries[c.isEndnote ? kPlcfendRef : kPlcffndRef] = references;
        builder.tableEntries[c.isEndnote ? kPlcfendTxt : kPlcffndTxt] = texts;
        auto result = importBuilt(builder);
        const std::string& text = result.text->string();
        EXPECT_EQ(text, c.expected);
        // The note knows its reference and its text, for a layout that puts it at the page's foot.
        ASSERT_TRUE(result.text->pageSetup());
        const auto& notes = result.text->pageSetup()->notes;
        ASSERT_EQ(notes.size(), 1u);
        EXPECT_EQ(notes[0].kind, c.isEndnote ? kit::NoteKind::Endnote : kit::NoteKind::Footnote);
        EXPECT_EQ(notes[0].reference, c.reference) << "the mark's byte: the text before it is ASCII";
        EXPECT_EQ(notes[0].mark, c.isEndnote ? "i" : "1");
        std::string shown = text.substr(notes[0].text.location, notes[0].text.length);
        EXPECT_EQ(shown, c.isEndnote ? "i Note\n" : "1 Note\n");
    }
}

TEST(DocSections, SectionBreaksStartPagesUnlessContinuous)
{
    WordFileBuilder builder;
    builder.text = u"one\x0Ctwo\x0Cthree\r";
    builder.paragraphRuns = { { 4, 0, {} }, { 8, 0, {} }, { 14, 0, {} } };
    builder.sections = { { 4, {} }, { 8, sprm(0x3009, { 2 }) }, { 14, sprm(0x3009, { 0 }) } };
    EXPECT_EQ(importBuilt(builder).text->string(), "one\ftwo\nthree\n")
        << "the second section starts a page, the third continues on the same one";
}

namespace {

std::vector<std::uint8_t> smallPng(int width, int height)
{
    std::string png = testsupport::pngBytes(width, height);
    return { png.begin(), png.end() };
}

// An inline picture's bytes in the Data stream: the picture header (goal size 1440 x 720 twips, scaled
// 100% x 50%), an empty shape, and one store entry holding the picture.
Bytes inlinePicture(std::uint16_t mapping, std::uint16_t blipType, std::uint16_t blipInstance, const Bytes& image)
{
    Bytes blip;
    put16(blip, std::uint16_t(blipInstance << 4));
    put16(blip, blipType);
    put32(blip, std::uint32_t(17 + image.size()));
    blip.resize(blip.size() + 16, 0);
    blip.push_back(0xFF);
    blip.insert(blip.end(), image.begin(), image.end());
    Bytes entry;
    put16(entry, std::uint16_t(0x2 | (6 << 4)));
    put16(entry, 0xF007);
    put32(entry, std::uint32_t(36 + blip.size()));
    Bytes header(36, 0);
    entry.insert(entry.end(), header.begin(), header.end());
    entry.insert(entry.end(), blip.begin(), blip.end());
    Bytes shape = { 0x0F, 0x00, 0x04, 0xF0, 0, 0, 0, 0 };
    Bytes picture(68, 0);
    std::uint32_t total = std::uint32_t(68 + shape.size() + entry.size());
    for (int i = 0; i < 4; ++i)
        picture[i] = std::uint8_t(total >> (8 * i));
    picture[4] = 68;
    picture[6] = std::uint8_t(mapping);
    picture[28] = 0xA0; // 1440
    picture[29] = 0x05;
    picture[30] = 0xD0; // 720
    picture[31] = 0x02;
    picture[32] = 0xE8; // 1000
    picture[33] = 0x03;
    picture[34] = 0xF4; // 500
    picture[35] = 0x01;
    if (mapping == 0x64)
        return concat({ picture, shape, entry });
    return concat({ picture, image });
}

importer::ImportResult pictureDocument(const Bytes& data)
{
    WordFileBuilder builder = paragraphs({ u"see \x01 here" });
    builder.characterRuns = { { 4, 5, concat({ sprm32(0x6A03, 0), sprm(0x0855, { 1 }) }) } };
    builder.data = data;
    return importBuilt(builder);
}

} // namespace

TEST(DocPictures, InlinePicturesBecomeAttachments)
{
    Bytes png = smallPng(2, 3);
    importer::ImportResult result = pictureDocument(inlinePicture(0x64, 0xF01E, 0x6E0, png));
    EXPECT_EQ(result.text->string(), "see \uFFFC here\n");
    const kit::Attributes& attributes = attributesOf(result, "\uFFFC");
    ASSERT_TRUE(attributes.attachment);
    EXPECT_EQ(attributes.attachment->mimeType, "image/png");
    EXPECT_EQ(attributes.attachment->bytes, png);
    EXPECT_EQ(attributes.attachment->size, (kit::Size { 72, 18 })) << "goal size times the scale";
    auto file = testsupport::temporaryFolder("pictures") / "picture.png";
    testsupport::writeFile(file, std::string(png.begin(), png.end()));
    testsupport::Image image = testsupport::readPng(file);
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 3);
}

TEST(DocPictures, PicturesThatCannotBeDrawnArePlaceholders)
{
    Bytes metafile(40, 0x11);
    const struct {
        Bytes data;
        const char* why;
    } cases[] = {
        { inlinePicture(0x64, 0xF01B, 0x216, metafile), "a WMF picture in the store" },
        { inlinePicture(0x08, 0, 0, metafile), "an old-style metafile picture" },
        { inlinePicture(0x64, 0xF01E, 0x6E0, Bytes(20, 0x42)), "a PNG record that holds no PNG" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::ImportResult result = pictureDocument(c.data);
        const kit::Attributes& attributes = attributesOf(result, "\uFFFC");
        ASSERT_TRUE(attributes.attachment);
        EXPECT_TRUE(attributes.attachment->bytes.empty());
        EXPECT_EQ(attributes.attachment->mimeType, "");
        EXPECT_EQ(attributes.attachment->size, (kit::Size { 72, 18 }));
    }
}

TEST(DocPictures, MissingPictureDataDropsTheCharacter)
{
    importer::ImportResult result = pictureDocument({});
    EXPECT_EQ(result.text->string(), "see  here\n");
}
