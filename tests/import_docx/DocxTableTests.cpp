#include "DocxBuilder.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

using testdocx::attributesOf;
using testdocx::paragraph;

namespace {

std::string cell(const std::string& text, const std::string& properties = {})
{
    return "<w:tc>" + (properties.empty() ? std::string() : "<w:tcPr>" + properties + "</w:tcPr>") + paragraph(text) + "</w:tc>";
}

std::string grid(std::initializer_list<int> twips)
{
    std::string out = "<w:tblGrid>";
    for (int width : twips)
        out += "<w:gridCol w:w=\"" + std::to_string(width) + "\"/>";
    return out + "</w:tblGrid>";
}

const kit::TableCell& cellOf(const kit::TextStorage& storage, const std::string& text)
{
    static const kit::TableCell none;
    const auto& attributes = attributesOf(storage, text);
    return attributes.tableCell ? *attributes.tableCell : none;
}

// Every paragraph break inside a table carries the cell of the text before it.
void expectCellsEndInParagraphBreaks(const kit::TextStorage& storage)
{
    const std::string& text = storage.string();
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        auto here = storage.attributesAt(i).tableCell;
        auto next = storage.attributesAt(i + 1).tableCell;
        if (here != next && here) {
            EXPECT_EQ(text[i], '\n') << "a cell's last character at " << i << " is not a paragraph break";
        }
    }
}

} // namespace

TEST(DocxTables, CellsCarryTheirPlaceInTheGrid)
{
    auto result = testdocx::importBody(paragraph("Before") + "<w:tbl>" + grid({ 2000, 3000 }) + "<w:tr>" + cell("A1") + cell("B1") + "</w:tr><w:tr>"
        + cell("A2") + "<w:tc><w:p><w:r><w:t>B2 first</w:t></w:r></w:p><w:p><w:r><w:t>B2 second</w:t></w:r></w:p></w:tc></w:tr></w:tbl>"
        + paragraph("After"));
    ASSERT_TRUE(result.text);
    EXPECT_EQ(result.text->string(), "Before\nA1\nB1\nA2\nB2 first\nB2 second\nAfter\n");
    EXPECT_EQ(testdocx::text(result), "Before\nA1\tB1\nA2\tB2 first\nB2 second\nAfter\n");
    const struct {
        const char* text;
        int row, column;
    } cases[] = { { "A1", 0, 0 }, { "B1", 0, 1 }, { "A2", 1, 0 }, { "B2 first", 1, 1 }, { "B2 second", 1, 1 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto& tableCell = cellOf(*result.text, c.text);
        EXPECT_EQ(tableCell.row, c.row);
        EXPECT_EQ(tableCell.column, c.column);
        EXPECT_EQ(tableCell.nestingLevel, 1);
        EXPECT_EQ(tableCell.columnWidths, (std::vector<float> { 100, 150 }));
    }
    EXPECT_FALSE(attributesOf(*result.text, "Before").tableCell);
    EXPECT_FALSE(attributesOf(*result.text, "After").tableCell);
    EXPECT_EQ(cellOf(*result.text, "A1").tableId, cellOf(*result.text, "B2 first").tableId);
    expectCellsEndInParagraphBreaks(*result.text);
}

TEST(DocxTables, SpansAndVerticalMerges)
{
    // A | B C (B spans two columns)
    // A | D | E     (A merged down over two more rows, the last of which ends the merge)
    // A | F | G
    // H | I | J
    auto result = testdocx::importBody("<w:tbl>" + grid({ 1000, 1000, 1000 }) + "<w:tr>" + cell("A", "<w:vMerge w:val=\"restart\"/>")
        + cell("B", "<w:gridSpan w:val=\"2\"/>") + "</w:tr><w:tr>" + cell("", "<w:vMerge/>") + cell("D") + cell("E") + "</w:tr><w:tr>"
        + cell("ignored", "<w:vMerge w:val=\"continue\"/>") + cell("F") + cell("G") + "</w:tr><w:tr>" + cell("H") + cell("I") + cell("J")
        + "</w:tr></w:tbl>");
    ASSERT_TRUE(result.text);
    EXPECT_EQ(result.text->string(), "A\nB\nD\nE\nF\nG\nH\nI\nJ\n") << "continuation cells are not emitted";
    const struct {
        const char* text;
        int row, column, rowSpan, columnSpan;
    } cases[] = { { "A", 0, 0, 3, 1 }, { "B", 0, 1, 1, 2 }, { "D", 1, 1, 1, 1 }, { "G", 2, 2, 1, 1 }, { "H", 3, 0, 1, 1 } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto& tableCell = cellOf(*result.text, c.text);
        EXPECT_EQ(tableCell.row, c.row);
        EXPECT_EQ(tableCell.column, c.column);
        EXPECT_EQ(tableCell.rowSpan, c.rowSpan);
        EXPECT_EQ(tableCell.columnSpan, c.columnSpan);
    }
}

TEST(DocxTables, ColumnWidthsFitTheTextWidth)
{
    const struct {
        std::string sectPr;
        std::string gridXml;
        std::vector<float> expected;
        const char* why;
    } cases[] = {
        { "", grid({ 4680, 4680 }), { 234, 234 }, "exactly the Letter text width: unchanged" },
        { "", grid({ 4681, 4681 }), { 234, 234 }, "a hair wider: scaled to 468 points" },
        { "", grid({ 6000, 12000 }), { 156, 312 }, "twice too wide: halved, proportions kept" },
        { "", grid({ 1000, 2000 }), { 50, 100 }, "narrower tables keep their widths" },
        { "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/><w:pgMar w:left=\"1134\" w:right=\"1134\" w:top=\"1134\" w:bottom=\"1134\"/></w:sectPr>",
            grid({ 10000, 10000 }), { 240.95f, 240.95f }, "the section's A4 page and margins" },
        { "", "", { 234, 234 }, "no grid: equal shares of the text width" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = testdocx::importBody("<w:tbl>" + c.gridXml + "<w:tr>" + cell("L") + cell("R") + "</w:tr></w:tbl>" + c.sectPr);
        ASSERT_TRUE(result.text);
        const auto& widths = cellOf(*result.text, "L").columnWidths;
        ASSERT_EQ(widths.size(), c.expected.size());
        for (std::size_t i = 0; i < widths.size(); ++i)
            EXPECT_NEAR(widths[i], c.expected[i], 0.05f);
    }
}

TEST(DocxTables, BordersShadingAndPaddingFromStyleAndCell)
{
    testdocx::Parts parts;
    parts.styles = R"(<w:style w:type="table" w:default="1" w:styleId="TableNormal"><w:tblPr><w:tblCellMar><w:left w:w="108" w:type="dxa"/><w:right w:w="108" w:type="dxa"/></w:tblCellMar></w:tblPr></w:style>)"
                   R"(<w:style w:type="table" w:styleId="Grid"><w:basedOn w:val="TableNormal"/><w:tblPr><w:tblBorders>)"
                   R"(<w:top w:val="single" w:sz="8" w:color="000000"/><w:left w:val="single" w:sz="4"/><w:bottom w:val="double" w:sz="12" w:color="FF0000"/>)"
                   R"(<w:right w:val="single" w:sz="4"/><w:insideH w:val="single" w:sz="2" w:color="00FF00"/><w:insideV w:val="nil"/></w:tblBorders></w:tblPr>)"
                   R"(<w:tblStylePr w:type="firstRow"><w:rPr><w:b/></w:rPr><w:tcPr><w:shd w:val="clear" w:fill="0000FF"/></w:tcPr></w:tblStylePr></w:style>)";
    parts.body = "<w:tbl><w:tblPr><w:tblStyle w:val=\"Grid\"/><w:tblLook w:firstRow=\"1\"/></w:tblPr>" + grid({ 2000, 2000 }) + "<w:tr>" + cell("TL")
        + cell("TR") + "</w:tr><w:tr>" + cell("BL", "<w:tcBorders><w:left w:val=\"nil\"/></w:tcBorders><w:shd w:val=\"clear\" w:fill=\"FFFF00\"/>"
        "<w:tcMar><w:top w:w=\"40\" w:type=\"dxa\"/><w:left w:w=\"0\" w:type=\"dxa\"/></w:tcMar>") + cell("BR") + "</w:tr></w:tbl>";
    auto result = testdocx::import(parts);
    ASSERT_TRUE(result.text);
    const auto& topLeft = cellOf(*result.text, "TL");
    EXPECT_EQ(topLeft.borders[0].style, kit::LineStyle::Single) << "the table's top edge";
    EXPECT_EQ(topLeft.borders[0].width, 1);
    EXPECT_EQ(topLeft.borders[1].style, kit::LineStyle::Single) << "the table's left edge";
    EXPECT_EQ(topLeft.borders[2].width, 0.25f) << "between rows: the inside border";
    EXPECT_EQ(topLeft.borders[3].style, kit::LineStyle::None) << "between columns: the inside border, nil";
    EXPECT_TRUE(topLeft.shading) << "the first row's conditional shading";
    EXPECT_TRUE(attributesOf(*result.text, "TL").bold) << "the first row's conditional bold";
    EXPECT_EQ(topLeft.padding[1], 5.4f) << "cell margins of the style the table style is based on";
    const auto& bottomLeft = cellOf(*result.text, "BL");
    EXPECT_EQ(bottomLeft.borders[1].style, kit::LineStyle::None) << "the cell's own nil border";
    EXPECT_EQ(bottomLeft.borders[2].style, kit::LineStyle::Double) << "the table's bottom edge";
    EXPECT_EQ(bottomLeft.borders[2].width, 1.5f);
    ASSERT_TRUE(bottomLeft.shading);
    EXPECT_EQ(bottomLeft.shading->blue(), 0) << "the cell's own yellow";
    EXPECT_EQ(bottomLeft.padding[0], 2);
    EXPECT_EQ(bottomLeft.padding[1], 0);
    EXPECT_EQ(bottomLeft.padding[3], 5.4f);
    EXPECT_FALSE(attributesOf(*result.text, "BL").bold);
}

TEST(DocxTables, HeaderRowsAreTheMarkedRowsAtTheTopAndRowsMayKeepTogether)
{
    std::string header = "<w:trPr><w:tblHeader/></w:trPr>";
    auto result = testdocx::importBody("<w:tbl>" + grid({ 2000 }) + "<w:tr>" + header + cell("H1") + "</w:tr><w:tr>" + header + cell("H2") + "</w:tr><w:tr>"
        + cell("Body") + "</w:tr><w:tr>" + header + cell("Late") + "</w:tr>"
        + "<w:tr><w:trPr><w:cantSplit/></w:trPr>" + cell("Kept") + "</w:tr><w:tr><w:trPr><w:cantSplit w:val=\"0\"/></w:trPr>"
        + cell("Free") + "</w:tr></w:tbl>");
    ASSERT_TRUE(result.text);
    EXPECT_TRUE(cellOf(*result.text, "H1").isHeaderRow);
    EXPECT_TRUE(cellOf(*result.text, "H2").isHeaderRow);
    EXPECT_FALSE(cellOf(*result.text, "Body").isHeaderRow);
    EXPECT_FALSE(cellOf(*result.text, "Late").isHeaderRow) << "a marked row below the body repeats nothing";
    EXPECT_TRUE(cellOf(*result.text, "Kept").rowKeepsTogether);
    EXPECT_FALSE(cellOf(*result.text, "Free").rowKeepsTogether) << "w:val=\"0\" turns it off";
    EXPECT_FALSE(cellOf(*result.text, "Body").rowKeepsTogether);
}

TEST(DocxTables, NestedTablesKnowTheirEnclosingCell)
{
    auto result = testdocx::importBody("<w:tbl>" + grid({ 4000, 2000 }) + "<w:tr><w:tc>" + paragraph("Outer text") + "<w:tbl>" + grid({ 1500, 1500 })
        + "<w:tr>" + cell("Inner 1") + cell("Inner 2") + "</w:tr></w:tbl></w:tc>" + cell("Right") + "</w:tr></w:tbl>"
        + "<w:tbl><w:tr><w:tc><w:tbl><w:tr>" + cell("Only inner") + "</w:tr></w:tbl></w:tc></w:tr></w:tbl>");
    ASSERT_TRUE(result.text);
    const auto& outer = attributesOf(*result.text, "Outer");
    const auto& inner = attributesOf(*result.text, "Inner 2");
    ASSERT_TRUE(outer.tableCell && inner.tableCell);
    EXPECT_EQ(inner.tableCell->nestingLevel, 2);
    EXPECT_NE(inner.tableCell->tableId, outer.tableCell->tableId);
    EXPECT_EQ(inner.tableCell->parent, outer.tableCell.get());
    EXPECT_EQ(inner.tableCell->column, 1);
    EXPECT_EQ(cellOf(*result.text, "Right").nestingLevel, 1);
    // The outer cell ends after its nested table with a paragraph break of its own.
    EXPECT_EQ(result.text->string(), "Outer text\nInner 1\nInner 2\n\nRight\nOnly inner\n\n");
    std::size_t end = result.text->string().find("Inner 2\n") + 8;
    EXPECT_EQ(result.text->attributesAt(end).tableCell, outer.tableCell);
    const auto& onlyInner = cellOf(*result.text, "Only inner");
    ASSERT_TRUE(onlyInner.parent);
    EXPECT_EQ(result.text->attributesAt(result.text->length() - 1).tableCell.get(), onlyInner.parent)
        << "a cell holding only a table still has its own paragraph, which keeps the parent alive";
    expectCellsEndInParagraphBreaks(*result.text);
}

TEST(DocxTables, EmptyAndIrregularTablesStillCloseEveryCell)
{
    const testsupport::Case<std::string, const char*> cases[] = {
        { "<w:tbl><w:tr><w:tc></w:tc><w:tc>" + paragraph("x") + "</w:tc></w:tr></w:tbl>", "\nx\n", "a cell without paragraphs" },
        { "<w:tbl><w:tr>" + cell("a") + "</w:tr><w:tr>" + cell("b") + cell("c") + cell("d") + "</w:tr></w:tbl>", "a\nb\nc\nd\n", "rows of different lengths" },
        { "<w:tbl><w:tr>" + cell("a", "<w:gridSpan w:val=\"999999\"/>") + "</w:tr></w:tbl>", "a\n", "an absurd span" },
        { "<w:tbl><w:tr><w:sdt><w:sdtContent>" + cell("wrapped") + "</w:sdtContent></w:sdt></w:tr></w:tbl>", "wrapped\n", "a cell in a content control" },
        { "<w:tbl><w:sdt><w:sdtContent><w:tr>" + cell("row") + "</w:tr></w:sdtContent></w:sdt></w:tbl>", "row\n", "a row in a content control" },
        { "<w:tbl></w:tbl>", "", "no rows" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = testdocx::importBody(c.input);
        ASSERT_TRUE(result.text);
        EXPECT_EQ(result.text->string(), c.expected);
        expectCellsEndInParagraphBreaks(*result.text);
    }
}
