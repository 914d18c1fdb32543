#include "HtmlTestSupport.h"
#include "import/html/TableLayout.h"
#include "import/html/TextMeasure.h"
#include "support/Cases.h"

#include <numeric>
#include <pango/pangocairo.h>

using htmltest::attributesOf;
using htmltest::import;

namespace {

const kit::TableCell& cellOf(const kit::TextStorage& storage, const std::string& needle)
{
    static const kit::TableCell none;
    const kit::TableCell* cell = attributesOf(storage, needle).tableCell.get();
    EXPECT_TRUE(cell) << needle << " is not in a cell";
    return cell ? *cell : none;
}

float sum(const std::vector<float>& widths)
{
    return std::accumulate(widths.begin(), widths.end(), 0.0f);
}

} // namespace

TEST(HtmlTable, CellsCarryTheirPlaceOnTheGrid)
{
    auto storage = import(R"(<table border=1 cellpadding=4>
<thead><tr><th>H1<th>H2<th>H3</thead>
<tr><td rowspan=2>tall<td colspan=2>wide</tr>
<tr><td>b<td>c</tr>
<tr><td>d<td><p>two</p><p>paragraphs</p><td></td></tr>
</table>)");
    htmltest::expectWellFormed(*storage);
    EXPECT_EQ(importer::plainText(*storage), "H1\tH2\tH3\ntall\twide\nb\tc\nd\ttwo\nparagraphs\t\n");
    const auto& h2 = cellOf(*storage, "H2");
    EXPECT_EQ(h2.row, 0);
    EXPECT_EQ(h2.column, 1);
    EXPECT_TRUE(h2.isHeaderRow);
    EXPECT_TRUE(attributesOf(*storage, "H2").bold);
    EXPECT_EQ(attributesOf(*storage, "H2").paragraphStyle().alignment, kit::TextAlignment::Center);
    const auto& tall = cellOf(*storage, "tall");
    EXPECT_EQ(tall.rowSpan, 2);
    EXPECT_FALSE(tall.isHeaderRow);
    const auto& wide = cellOf(*storage, "wide");
    EXPECT_EQ(wide.columnSpan, 2);
    EXPECT_EQ(wide.column, 1);
    const auto& b = cellOf(*storage, "b");
    EXPECT_EQ(b.row, 2);
    EXPECT_EQ(b.column, 1) << "the row span of 'tall' takes column 0";
    EXPECT_EQ(&cellOf(*storage, "two"), &cellOf(*storage, "paragraphs")) << "both paragraphs belong to one cell";
    EXPECT_EQ(b.tableId, tall.tableId);
    EXPECT_EQ(b.nestingLevel, 1);
    EXPECT_EQ(b.borders[0].style, kit::LineStyle::Single) << "border=1 draws every cell";
    EXPECT_FLOAT_EQ(b.padding[1], 3) << "cellpadding 4 pixels";
    EXPECT_EQ(b.columnWidths.size(), 3u);
    EXPECT_EQ(b.columnWidths, tall.columnWidths) << "every cell knows the whole table's columns";
}

TEST(HtmlTable, SpansAreClampedToTheGrid)
{
    const struct {
        const char* html;
        const char* needle;
        int rowSpan;
        int columnSpan;
        const char* why;
    } cases[] = {
        { "<table><tr><td rowspan=9>x<td>a<tr><td>b</table>", "x", 2, 1, "a row span past the last row" },
        { "<table><tr><td rowspan=0>x<td>a<tr><td>b<tr><td>c</table>", "x", 3, 1, "rowspan 0 reaches the end" },
        { "<table><tr><td colspan=0>x<td>a</table>", "x", 1, 1, "colspan 0 is one" },
        { "<table><tr><td colspan=-3>x</table>", "x", 1, 1, "a negative span is one" },
        { "<table><tr><td colspan='2abc'>x<td>a</table>", "x", 1, 2, "digits before garbage count" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = import(c.html);
        const auto& cell = cellOf(*storage, c.needle);
        EXPECT_EQ(cell.rowSpan, c.rowSpan);
        EXPECT_EQ(cell.columnSpan, c.columnSpan);
        htmltest::expectWellFormed(*storage);
    }
}

TEST(HtmlTable, ShadingBordersAndPadding)
{
    auto storage = import(R"(<style>td.c { background-color: #00ff00; border-bottom: 2pt double red; padding: 0 6pt }</style>
<table bgcolor=yellow style='border: 1pt solid blue'><tr bgcolor="#ff0000"><td>row<td class=c>own<td style="background: none">plain</table>)");
    auto rgb = [](const std::optional<kit::Color>& c) { return c ? c->rgba() : std::array<float, 4> { -1, -1, -1, -1 }; };
    EXPECT_EQ(rgb(cellOf(*storage, "row").shading), (std::array<float, 4> { 1, 0, 0, 1 })) << "the row's colour";
    const auto& own = cellOf(*storage, "own");
    EXPECT_EQ(rgb(own.shading), (std::array<float, 4> { 0, 1, 0, 1 })) << "the cell's own colour wins";
    EXPECT_EQ(own.borders[2].style, kit::LineStyle::Double);
    EXPECT_FLOAT_EQ(own.borders[2].width, 2);
    EXPECT_FLOAT_EQ(own.padding[1], 6) << "padding in model order: top, left, bottom, right";
    EXPECT_FLOAT_EQ(own.padding[0], 0);
    EXPECT_EQ(own.borders[0].style, kit::LineStyle::Single) << "the table's frame on its top edge";
    EXPECT_EQ(cellOf(*storage, "row").borders[1].style, kit::LineStyle::Single) << "and on the first column's left";
    EXPECT_EQ(own.borders[1].style, kit::LineStyle::None) << "but not between cells";
}

TEST(HtmlTable, ColumnWidthsFollowTheContent)
{
    auto storage = import("<table><tr><td>a<td>incomprehensibilities<td>b c d e</table>");
    const auto& widths = cellOf(*storage, "a").columnWidths;
    ASSERT_EQ(widths.size(), 3u);
    EXPECT_GT(widths[1], widths[0] * 4) << "the column with a long word gets more room";
    EXPECT_GT(widths[2], widths[0]);
    EXPECT_LT(sum(widths), 468) << "a narrow table is as wide as its content, not the page";

    std::string longText(400, 'x');
    for (std::size_t i = 5; i < longText.size(); i += 6)
        longText[i] = ' ';
    storage = import("<table><tr><td>short<td>" + longText + "</table>");
    const auto& wrapped = cellOf(*storage, "short").columnWidths;
    EXPECT_NEAR(sum(wrapped), 468, 0.5f) << "a table whose text does not fit takes the text area";
    EXPECT_GT(wrapped[1], wrapped[0] * 5);
    EXPECT_GE(wrapped[0], importer::html::estimatedWidth("short", {})) << "no column below its longest word";
}

TEST(HtmlTable, GivenWidthsAreHonoured)
{
    const testsupport::Case<const char*, std::vector<float>> cases[] = {
        { "<table width=100%><tr><td>a<td>a</table>", { 234, 234 },
            "a full-width table shares its width in proportion to the content" },
        { "<table style='width: 4in'><tr><td width=72>a<td>b</table>", { 54, 234 },
            "a cell's width (72 CSS pixels) holds; the other column takes the rest" },
        { "<table style='width: 300pt'><colgroup><col width='20%'><col width='80%'></colgroup><tr><td>a<td>b</table>",
            { 60, 240 }, "percentages from col elements" },
        { "<table style='width: 20in'><tr><td>a<td>a</table>", { 234, 234 }, "no wider than the text area" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = import(c.input);
        const auto& widths = cellOf(*storage, "a").columnWidths;
        ASSERT_EQ(widths.size(), c.expected.size());
        for (std::size_t i = 0; i < widths.size(); ++i)
            EXPECT_NEAR(widths[i], c.expected[i], 0.5f) << "column " << i;
    }
}

TEST(HtmlTable, NestedTablesKnowTheirEnclosingCell)
{
    auto storage = import("<table width=100%><tr><td>left<td><table><tr><td>inner<td>cell</table>after</table>");
    htmltest::expectWellFormed(*storage);
    const auto& outer = cellOf(*storage, "after");
    const auto& inner = cellOf(*storage, "inner");
    EXPECT_EQ(inner.nestingLevel, 2);
    EXPECT_EQ(inner.parent, &outer) << "the nested cell points at the enclosing cell's attribute";
    EXPECT_NE(inner.tableId, outer.tableId);
    EXPECT_EQ(outer.nestingLevel, 1);
    float room = outer.columnWidths[std::size_t(outer.column)] - outer.padding[1] - outer.padding[3];
    EXPECT_LE(sum(inner.columnWidths), room + 0.01f) << "the inner table fits its cell";
    EXPECT_EQ(importer::plainText(*storage), "left\ninner\tcell\nafter\n");
}

TEST(HtmlTable, StrayContentAndCaptionsComeFirst)
{
    auto storage = import("<table><caption>The caption</caption>stray<tr><td>cell</td></tr></table>");
    auto paragraphs = htmltest::paragraphs(*storage);
    ASSERT_EQ(paragraphs.size(), 3u) << storage->string();
    EXPECT_EQ(paragraphs[0].text, "stray");
    EXPECT_EQ(paragraphs[1].text, "The caption");
    EXPECT_EQ(paragraphs[1].attributes.paragraphStyle().alignment, kit::TextAlignment::Center);
    EXPECT_FALSE(paragraphs[1].attributes.tableCell);
    EXPECT_TRUE(paragraphs[2].attributes.tableCell);
}

TEST(HtmlTable, FooterRowsComeLast)
{
    EXPECT_EQ(htmltest::plain("<table><tfoot><tr><td>foot</tfoot><tbody><tr><td>body</tbody><thead><tr><td>head</thead></table>"),
        "head\nbody\nfoot\n");
}

TEST(HtmlTable, RowsWiderThanTheColumnCapKeepTheirText)
{
    std::string html = "<table><tr>";
    for (int i = 0; i < 300; ++i)
        html += "<td>c" + std::to_string(i);
    auto storage = import(html + "</table>");
    htmltest::expectWellFormed(*storage);
    EXPECT_NE(storage->string().find("c299"), std::string::npos);
    EXPECT_LE(cellOf(*storage, "c0").columnWidths.size(), 256u);
}

TEST(HtmlTableLayout, DistributesLikeBrowsers)
{
    using importer::html::TableLayout;
    {
        SCOPED_TRACE("room for every maximum: the table is as wide as the maxima");
        TableLayout layout(2);
        layout.addCell(0, 1, 10, 50, {}, {});
        layout.addCell(1, 1, 20, 100, {}, {});
        EXPECT_EQ(layout.columnWidths(468, {}, {}), (std::vector<float> { 50, 100 }));
    }
    {
        SCOPED_TRACE("between minima and maxima: each gets its minimum and a share of what it wants beyond");
        TableLayout layout(2);
        layout.addCell(0, 1, 10, 110, {}, {});
        layout.addCell(1, 1, 10, 310, {}, {});
        auto widths = layout.columnWidths(220, {}, {});
        EXPECT_NEAR(widths[0], 10 + 100 * 0.5f, 0.01f);
        EXPECT_NEAR(widths[1], 10 + 300 * 0.5f, 0.01f);
    }
    {
        SCOPED_TRACE("not even the minima fit: shrink to the room");
        TableLayout layout(2);
        layout.addCell(0, 1, 300, 300, {}, {});
        layout.addCell(1, 1, 300, 300, {}, {});
        auto widths = layout.columnWidths(468, {}, {});
        EXPECT_NEAR(sum(widths), 468, 0.01f);
        EXPECT_NEAR(widths[0], widths[1], 0.01f);
    }
    {
        SCOPED_TRACE("a spanning cell spreads its excess over its columns by their maxima");
        TableLayout layout(2);
        layout.addCell(0, 1, 10, 10, {}, {});
        layout.addCell(1, 1, 10, 30, {}, {});
        layout.addCell(0, 2, 80, 80, {}, {});
        auto widths = layout.columnWidths(468, {}, {});
        EXPECT_NEAR(sum(widths), 80, 0.01f);
        EXPECT_GT(widths[1], widths[0]);
    }
    {
        SCOPED_TRACE("a fixed column keeps its width, the rest goes to the automatic one");
        TableLayout layout(2);
        layout.addCell(0, 1, 10, 500, 100.0f, {});
        layout.addCell(1, 1, 10, 20, {}, {});
        auto widths = layout.columnWidths(468, 400.0f, {});
        EXPECT_NEAR(widths[0], 100, 0.01f);
        EXPECT_NEAR(widths[1], 300, 0.01f);
    }
    {
        SCOPED_TRACE("percentages of the table's width");
        TableLayout layout(3);
        layout.setColumnWidth(0, {}, 50.0f);
        layout.addCell(1, 1, 5, 5, {}, {});
        layout.addCell(2, 1, 5, 15, {}, {});
        auto widths = layout.columnWidths(468, {}, 100.0f);
        EXPECT_NEAR(widths[0], 234, 0.01f);
        EXPECT_NEAR(widths[1] + widths[2], 234, 0.01f);
        EXPECT_NEAR(widths[2], 3 * widths[1], 0.01f) << "the rest in proportion to the maxima";
    }
    {
        SCOPED_TRACE("cells outside the grid are ignored");
        TableLayout layout(1);
        layout.addCell(5, 1, 1000, 1000, {}, {});
        layout.addCell(-1, 1, 1000, 1000, {}, {});
        EXPECT_EQ(layout.columnWidths(468, {}, {}), (std::vector<float> { 1 }));
    }
}

// The estimate that sizes columns, against the layout the pages use: within a few percent for Latin text.
TEST(HtmlTableLayout, WidthEstimatesAgreeWithPango)
{
    PangoFontMap* fontMap = pango_cairo_font_map_new();
    pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(fontMap), 72);
    PangoContext* context = pango_font_map_create_context(fontMap);
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context, options);
    pango_context_set_round_glyph_positions(context, FALSE);
    const struct {
        const char* family;
        bool bold;
        const char* text;
    } cases[] = {
        { "Times New Roman", false, "The quick brown fox jumps over the lazy dog." },
        { "Times New Roman", true, "Incomprehensibilities of Table Layout" },
        { "Arial", false, "Sphinx of black quartz, judge my vow: 1234567890" },
        { "Courier New", false, "monospace{code}();" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.family) + ": " + c.text);
        PangoLayout* layout = pango_layout_new(context);
        PangoFontDescription* font = pango_font_description_new();
        pango_font_description_set_family(font, c.family);
        pango_font_description_set_absolute_size(font, 12 * PANGO_SCALE);
        pango_font_description_set_weight(font, c.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_layout_set_font_description(layout, font);
        pango_layout_set_text(layout, c.text, -1);
        int width = 0, height = 0;
        pango_layout_get_size(layout, &width, &height);
        float measured = float(width) / PANGO_SCALE;
        kit::Attributes attributes;
        attributes.fontFamily = c.family;
        attributes.bold = c.bold;
        float estimate = importer::html::estimatedWidth(c.text, attributes);
        EXPECT_NEAR(estimate, measured, measured * 0.05f);
        pango_font_description_free(font);
        g_object_unref(layout);
    }
    cairo_font_options_destroy(options);
    g_object_unref(context);
    g_object_unref(fontMap);
}
