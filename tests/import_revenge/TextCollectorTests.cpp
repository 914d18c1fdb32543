#include "import/common/OutputBudget.h"
#include "import/package/OfficeUnits.h"
#include "import/revenge/TextCollector.h"
#include "import_docx/DocxBuilder.h"

#include <gtest/gtest.h>

using importer::revenge::TextCollector;
using librevenge::RVNGPropertyList;

namespace {

RVNGPropertyList props(std::initializer_list<std::pair<const char*, const char*>> strings)
{
    RVNGPropertyList list;
    for (const auto& [name, value] : strings)
        list.insert(name, value);
    return list;
}

// A document of one paragraph holding one span.
void paragraph(
    TextCollector& c, const char* text, const RVNGPropertyList& paragraph = {}, const RVNGPropertyList& span = {})
{
    c.openParagraph(paragraph);
    c.openSpan(span);
    c.insertText(text);
    c.closeSpan();
    c.closeParagraph();
}

const kit::Attributes& at(const TextCollector& c, const std::string& needle)
{
    auto index = c.text()->string().find(needle);
    EXPECT_NE(index, std::string::npos) << needle << " in " << c.text()->string();
    return c.text()->attributesAt(index == std::string::npos ? 0 : index);
}

} // namespace

TEST(TextCollector, SpanPropertiesBecomeCharacterAttributes)
{
    TextCollector c;
    c.startDocument({});
    RVNGPropertyList sized = props({ { "style:font-name", "Courier New" }, { "fo:font-weight", "bold" } });
    sized.insert("fo:font-size", 14.0, librevenge::RVNG_POINT);
    paragraph(c, "sized", {}, sized);
    paragraph(c, "slanted", {},
        props({ { "fo:font-style", "italic" }, { "style:text-underline-type", "double" },
            { "style:text-underline-style", "solid" } }));
    paragraph(c, "struck", {},
        props({ { "style:text-line-through-style", "solid" }, { "fo:color", "#ff0000" },
            { "fo:background-color", "#00ff00" } }));
    paragraph(c, "raised", {}, props({ { "style:text-position", "super 58%" }, { "fo:font-variant", "small-caps" } }));
    paragraph(c, "lowered", {},
        props({ { "style:text-position", "-33% 58%" }, { "fo:text-transform", "uppercase" },
            { "fo:font-weight", "700" } }));
    paragraph(c, "unknown", {},
        props({ { "style:text-underline-style", "none" }, { "librevenge:made-up", "x" },
            { "fo:font-weight", "normal" } }));
    c.endDocument();

    EXPECT_EQ(c.text()->string(), "sized\nslanted\nstruck\nraised\nlowered\nunknown\n");
    EXPECT_EQ(at(c, "sized").fontFamily, "Courier New");
    EXPECT_EQ(at(c, "sized").fontSize, 14);
    EXPECT_TRUE(at(c, "sized").bold);
    EXPECT_TRUE(at(c, "slanted").italic);
    EXPECT_EQ(at(c, "slanted").underline, kit::LineStyle::Double);
    EXPECT_EQ(at(c, "struck").strikethrough, kit::LineStyle::Single);
    ASSERT_TRUE(at(c, "struck").foreground);
    EXPECT_EQ(*at(c, "struck").foreground, *importer::parseHexColor("ff0000"));
    ASSERT_TRUE(at(c, "struck").background);
    EXPECT_EQ(at(c, "raised").superscript, 1);
    EXPECT_TRUE(at(c, "raised").smallCaps);
    EXPECT_EQ(at(c, "lowered").superscript, -1);
    EXPECT_TRUE(at(c, "lowered").allCaps);
    EXPECT_TRUE(at(c, "lowered").bold) << "a numeric weight of 700 is bold";
    EXPECT_EQ(at(c, "unknown"), kit::Attributes {}) << "unknown and neutral properties change nothing";
}

TEST(TextCollector, ParagraphPropertiesInPointsFromTheirUnits)
{
    TextCollector c;
    RVNGPropertyList p
        = props({ { "fo:text-align", "justify" }, { "fo:break-before", "page" }, { "fo:keep-with-next", "always" } });
    p.insert("fo:margin-left", 0.5); // inches
    p.insert("fo:text-indent", -0.25);
    p.insert("fo:margin-right", 20.0, librevenge::RVNG_POINT);
    p.insert("fo:margin-top", 240.0, librevenge::RVNG_TWIP);
    p.insert("fo:line-height", 1.5, librevenge::RVNG_PERCENT);
    p.insert("text:outline-level", 2);
    librevenge::RVNGPropertyListVector tabs;
    RVNGPropertyList right = props({ { "style:type", "right" } });
    right.insert("style:position", 2.0);
    RVNGPropertyList left;
    left.insert("style:position", 1.0);
    tabs.append(right);
    tabs.append(left);
    p.insert("librevenge:tab-stops", tabs);
    paragraph(c, "styled", p);
    RVNGPropertyList exact;
    exact.insert("fo:line-height", 0.25); // inches: an exact height
    paragraph(c, "exact", exact);
    paragraph(c, "centred", props({ { "fo:text-align", "center" }, { "style:writing-mode", "rl-tb" } }));
    c.endDocument();

    const kit::ParagraphStyle& style = at(c, "styled").paragraphStyle();
    EXPECT_EQ(style.alignment, kit::TextAlignment::Justified);
    EXPECT_FLOAT_EQ(style.headIndent, 36);
    EXPECT_FLOAT_EQ(style.firstLineHeadIndent, 18) << "the first line hangs by the negative indent";
    EXPECT_FLOAT_EQ(style.tailIndent, 20);
    EXPECT_FLOAT_EQ(style.spacingBefore, 12);
    EXPECT_EQ(style.lineSpacingRule, kit::LineSpacingRule::Multiple);
    EXPECT_FLOAT_EQ(style.lineSpacing, 1.5f);
    EXPECT_TRUE(style.pageBreakBefore);
    EXPECT_TRUE(style.keepWithNext);
    EXPECT_EQ(style.outlineLevel, 2);
    ASSERT_EQ(style.tabStops.size(), 2u) << "sorted, measured from the text area's edge, not the indent";
    EXPECT_FLOAT_EQ(style.tabStops[0].location, 36 + 72);
    EXPECT_EQ(style.tabStops[0].alignment, kit::TabAlignment::Left);
    EXPECT_FLOAT_EQ(style.tabStops[1].location, 36 + 144);
    EXPECT_EQ(style.tabStops[1].alignment, kit::TabAlignment::Right);
    EXPECT_EQ(at(c, "exact").paragraphStyle().lineSpacingRule, kit::LineSpacingRule::Exact);
    EXPECT_FLOAT_EQ(at(c, "exact").paragraphStyle().lineSpacing, 18);
    EXPECT_EQ(at(c, "centred").paragraphStyle().alignment, kit::TextAlignment::Center);
    EXPECT_EQ(at(c, "centred").paragraphStyle().baseDirection, kit::WritingDirection::RightToLeft);
}

TEST(TextCollector, ListsGetLabelsCountedPerLevel)
{
    TextCollector c;
    RVNGPropertyList ordered = props({ { "style:num-format", "1" }, { "style:num-suffix", "." } });
    ordered.insert("text:start-value", 3);
    ordered.insert("text:space-before", 0.25);
    ordered.insert("text:min-label-width", 0.25);
    c.openOrderedListLevel(ordered);
    for (const char* item : { "third", "fourth" }) {
        c.openListElement({});
        c.insertText(item);
        c.closeListElement();
        if (std::string(item) == "third") {
            c.openOrderedListLevel(
                props({ { "style:num-format", "a" }, { "style:num-prefix", "(" }, { "style:num-suffix", ")" } }));
            c.openListElement({});
            c.insertText("inner");
            c.closeListElement();
            c.closeOrderedListLevel();
        }
    }
    c.closeOrderedListLevel();
    c.openUnorderedListLevel(props({ { "text:bullet-char", "\xEF\x82\xB7" } }));
    c.openListElement({});
    c.insertText("dotted");
    c.closeListElement();
    c.closeUnorderedListLevel();
    c.endDocument();

    EXPECT_EQ(c.text()->string(), "3.\tthird\n(a)\tinner\n4.\tfourth\n\xE2\x80\xA2\tdotted\n")
        << "a symbol font's private-use bullet is shown as a bullet";
    EXPECT_TRUE(at(c, "3.").listLabel);
    EXPECT_FALSE(at(c, "third").listLabel);
    const kit::ParagraphStyle& style = at(c, "third").paragraphStyle();
    EXPECT_FLOAT_EQ(style.headIndent, 36) << "label indent plus label width";
    EXPECT_FLOAT_EQ(style.firstLineHeadIndent, 18);
    ASSERT_FALSE(style.tabStops.empty());
    EXPECT_FLOAT_EQ(style.tabStops.front().location, 36) << "the label's tab reaches the text";
}

TEST(TextCollector, TablesMarkEveryCellParagraph)
{
    TextCollector c;
    RVNGPropertyList table;
    librevenge::RVNGPropertyListVector columns;
    for (double width : { 1.0, 2.0 }) {
        RVNGPropertyList column;
        column.insert("style:column-width", width);
        columns.append(column);
    }
    table.insert("librevenge:table-columns", columns);
    c.openTable(table);
    c.openTableRow(props({}));
    RVNGPropertyList wide = props({ { "fo:border-top", "0.0139in solid #0000ff" }, { "fo:border-left", "none" },
        { "fo:background-color", "#cccccc" } });
    wide.insert("table:number-columns-spanned", 2);
    c.openTableCell(wide);
    paragraph(c, "wide");
    c.closeTableCell();
    c.closeTableRow();
    c.openTableRow({});
    c.openTableCell({});
    c.closeTableCell(); // empty: still a paragraph break of its own
    c.openTableCell({});
    c.openTable({});
    c.openTableRow({});
    c.openTableCell({});
    paragraph(c, "nested");
    c.closeTableCell();
    c.closeTableRow();
    c.closeTable();
    c.closeTableCell();
    c.closeTableRow();
    c.closeTable();
    paragraph(c, "after");
    c.endDocument();

    EXPECT_EQ(c.text()->string(), "wide\n\nnested\n\nafter\n");
    const kit::TableCell* cell = at(c, "wide").tableCell.get();
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->columnSpan, 2);
    EXPECT_EQ(cell->columnWidths, (std::vector<float> { 72, 144 }));
    EXPECT_EQ(cell->borders[0].style, kit::LineStyle::Single);
    EXPECT_NEAR(cell->borders[0].width, 1.0, 0.01);
    EXPECT_EQ(cell->borders[1].style, kit::LineStyle::None);
    ASSERT_TRUE(cell->shading);
    const kit::TableCell* empty = c.text()->attributesAt(5).tableCell.get();
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->row, 1);
    EXPECT_EQ(empty->column, 0);
    const kit::TableCell* nested = at(c, "nested").tableCell.get();
    ASSERT_TRUE(nested);
    EXPECT_EQ(nested->nestingLevel, 2);
    EXPECT_NE(nested->tableId, cell->tableId);
    ASSERT_TRUE(nested->parent);
    EXPECT_EQ(nested->parent->column, 1);
    EXPECT_FALSE(at(c, "after").tableCell);
}

TEST(TextCollector, NotesFollowTheBodyAndHeadersGoToThePageSetup)
{
    TextCollector c;
    c.openHeader({});
    paragraph(c, "running head");
    c.closeHeader();
    c.openParagraph({});
    c.insertText("Body");
    c.openFootnote(props({ { "librevenge:number", "7" } }));
    paragraph(c, "the note", {}, props({ { "fo:font-style", "italic" } }));
    c.closeFootnote();
    c.insertText(" goes on");
    c.openComment({});
    paragraph(c, "a reviewer's remark");
    c.closeComment();
    c.closeParagraph();
    c.openFooter({});
    paragraph(c, "page foot");
    c.closeFooter();
    c.endDocument();

    EXPECT_EQ(c.text()->string(), "Body7 goes on\n7 the note\n");
    EXPECT_EQ(c.text()->attributesAt(4).superscript, 1) << "the citation in the body";
    EXPECT_FALSE(at(c, " goes on").italic) << "the note's span does not leak into the body";
    std::size_t noteStart = c.text()->string().find("7 the");
    EXPECT_EQ(c.text()->attributesAt(noteStart).superscript, 1) << "the citation starts the note";
    EXPECT_TRUE(at(c, "the note").italic);
    ASSERT_TRUE(c.text()->pageSetup()) << "a header without a page span still has a section to go to";
    const auto& setup = *c.text()->pageSetup();
    ASSERT_EQ(setup.sections.size(), 1u);
    ASSERT_TRUE(setup.header(0, kit::HeaderFooterKind::Default));
    EXPECT_EQ(setup.header(0, kit::HeaderFooterKind::Default)->string(), "running head\n");
    ASSERT_TRUE(setup.footer(0, kit::HeaderFooterKind::Default));
    EXPECT_EQ(setup.footer(0, kit::HeaderFooterKind::Default)->string(), "page foot\n");
}

// Each page span is a section of the page setup with its paper, margins and stories; a span's headers are
// its own, and which pages take one comes from its occurrence.
TEST(TextCollector, PageSpansBecomeSectionsWithTheirStories)
{
    TextCollector c;
    RVNGPropertyList a5;
    a5.insert("fo:page-width", 5.83, librevenge::RVNG_INCH);
    a5.insert("fo:page-height", 8.27, librevenge::RVNG_INCH);
    a5.insert("fo:margin-left", 0.5, librevenge::RVNG_INCH);
    a5.insert("fo:margin-top", 1.0, librevenge::RVNG_INCH);
    c.openPageSpan(a5);
    c.openHeader(props({ { "librevenge:occurrence", "odd" } }));
    c.openParagraph({});
    c.insertText("Page ");
    c.insertField(props({ { "librevenge:field-type", "text:page-number" } }));
    c.closeParagraph();
    c.closeHeader();
    c.openHeader(props({ { "librevenge:occurrence", "even" } }));
    paragraph(c, "even head");
    c.closeHeader();
    c.openFooter(props({ { "librevenge:occurrence", "first" } }));
    paragraph(c, "first foot");
    c.closeFooter();
    c.openHeader(props({ { "librevenge:occurrence", "last" } }));
    paragraph(c, "last head");
    c.closeHeader();
    paragraph(c, "first page");
    c.closePageSpan();
    c.openPageSpan({});
    c.openFooter({});
    c.openTextBox({});
    paragraph(c, "left open in the footer");
    c.closeFooter();
    paragraph(c, "second span");
    c.endDocument();

    EXPECT_EQ(c.text()->string(), "first page\nsecond span\n") << "no story shows in the body";
    ASSERT_TRUE(c.text()->pageSetup());
    const kit::PageSetup& setup = *c.text()->pageSetup();
    EXPECT_TRUE(setup.evenAndOddHeaders);
    ASSERT_EQ(setup.sections.size(), 2u);
    const kit::PageSection& first = setup.sections[0];
    EXPECT_EQ(first.start, 0u);
    EXPECT_NEAR(first.paperSize.width, 419.8, 0.1);
    EXPECT_NEAR(first.margins.left, 36, 0.01);
    EXPECT_NEAR(first.margins.top, 72, 0.01);
    EXPECT_NEAR(first.margins.header, 36, 0.01);
    EXPECT_TRUE(first.titlePage);
    auto odd = first.headers[std::size_t(kit::HeaderFooterKind::Default)];
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->string(), "Page 1\n");
    EXPECT_EQ(odd->attributesAt(5).pageField, kit::PageField::Page) << "the page number is a field";
    ASSERT_TRUE(first.headers[std::size_t(kit::HeaderFooterKind::Even)]);
    EXPECT_EQ(first.headers[std::size_t(kit::HeaderFooterKind::Even)]->string(), "even head\n");
    ASSERT_TRUE(first.footers[std::size_t(kit::HeaderFooterKind::First)]);
    EXPECT_EQ(first.footers[std::size_t(kit::HeaderFooterKind::First)]->string(), "first foot\n");
    const kit::PageSection& second = setup.sections[1];
    EXPECT_EQ(second.start, std::string("first page\n").size());
    EXPECT_TRUE(c.text()->attributesAt(second.start).paragraphStyle().pageBreakBefore) << "a page span starts its page";
    EXPECT_FALSE(c.text()->attributesAt(0).paragraphStyle().pageBreakBefore);
    EXPECT_EQ(second.paperSize, (kit::Size { 612, 792 }));
    ASSERT_TRUE(second.footers[std::size_t(kit::HeaderFooterKind::Default)]);
    EXPECT_EQ(second.footers[std::size_t(kit::HeaderFooterKind::Default)]->string(), "left open in the footer\n")
        << "a box left open ends with its story, and stays in it";
}

TEST(TextCollector, TextBoxesFollowTheirParagraphAndKeepTheirCell)
{
    TextCollector c;
    c.openParagraph({});
    c.insertText("anchor");
    c.openFrame({});
    c.openTextBox({});
    paragraph(c, "boxed");
    c.closeTextBox();
    c.closeFrame();
    c.insertText(" text");
    c.closeParagraph();
    c.openTable({});
    c.openTableRow({});
    c.openTableCell({});
    c.openParagraph({});
    c.insertText("cell");
    c.openTextBox({});
    paragraph(c, "cell box");
    c.closeTextBox();
    c.closeParagraph();
    c.closeTableCell();
    c.closeTableRow();
    c.closeTable();
    c.endDocument();

    EXPECT_EQ(c.text()->string(), "anchor text\nboxed\ncell\ncell box\n");
    EXPECT_FALSE(at(c, "boxed").tableCell);
    ASSERT_TRUE(at(c, "cell box").tableCell) << "a box in a cell stays in the cell";
    EXPECT_EQ(at(c, "cell box").tableCell->tableId, at(c, "cell").tableCell->tableId);
}

TEST(TextCollector, PicturesAreShownOrStandInBoxesOfTheirSize)
{
    TextCollector c;
    std::string png = testdocx::pngBytes(40, 20);
    RVNGPropertyList frame;
    frame.insert("svg:width", 2.0);
    frame.insert("svg:height", 1.0);
    RVNGPropertyList picture = props({ { "librevenge:mime-type", "image/png" } });
    picture.insert("office:binary-data",
        librevenge::RVNGBinaryData(reinterpret_cast<const unsigned char*>(png.data()), png.size()));
    c.openParagraph({});
    c.openFrame(frame);
    c.insertBinaryObject(picture);
    c.closeFrame();
    RVNGPropertyList metafile = props({ { "librevenge:mime-type", "image/wpg" } });
    const unsigned char wpg[] = { 0xFF, 'W', 'P', 'C', 0x10, 0, 0, 0 };
    metafile.insert("office:binary-data", librevenge::RVNGBinaryData(wpg, sizeof wpg));
    c.openFrame(frame);
    c.insertBinaryObject(metafile);
    c.closeFrame();
    c.closeParagraph();
    c.endDocument();

    std::string two = std::string(kit::kAttachmentCharacter) + kit::kAttachmentCharacter + "\n";
    ASSERT_EQ(c.text()->string(), two);
    auto shown = c.text()->attributesAt(0).attachment;
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->mimeType, "image/png");
    EXPECT_EQ(shown->size, (kit::Size { 144, 72 }));
    auto placeholder = c.text()->attributesAt(3).attachment;
    ASSERT_TRUE(placeholder);
    EXPECT_TRUE(placeholder->bytes.empty());
    EXPECT_EQ(placeholder->size, (kit::Size { 144, 72 }));
}

// Libraries call out of order on damaged files: nothing may crash, and the text keeps the model's rules.
TEST(TextCollector, RepairsCallbacksOutOfOrder)
{
    TextCollector c;
    c.closeParagraph();
    c.closeSpan();
    c.closeTable();
    c.closeTableCell();
    c.closeFootnote();
    c.closeTextBox();
    c.closeListElement();
    c.closeUnorderedListLevel();
    c.closeHeader();
    c.insertText("loose"); // no paragraph open
    c.openTableCell({}); // no table
    c.insertText(" words\x01\x02\r");
    c.openTable({});
    c.insertText("between cells");
    c.openTableRow({});
    c.openTableCell({});
    c.insertText("in a cell");
    c.openTableCell({}); // the previous one never closed
    c.insertText("next");
    c.openFootnote({});
    c.insertText("unclosed note");
    c.endDocument();

    std::string text = c.text()->string();
    EXPECT_EQ(text.find("between cells"), std::string::npos) << "text between cells has no place";
    EXPECT_EQ(text.find('\x01'), std::string::npos);
    EXPECT_EQ(text.rfind("loose words", 0), 0u) << text;
    EXPECT_NE(text.find(kit::kLineSeparator), std::string::npos) << "a carriage return inside text breaks the line";
    ASSERT_TRUE(at(c, "in a cell").tableCell);
    ASSERT_TRUE(at(c, "next").tableCell);
    EXPECT_EQ(at(c, "next").tableCell->column, 1);
    EXPECT_NE(text.find("1 unclosed note\n"), std::string::npos);
    EXPECT_EQ(text.back(), '\n');
}

TEST(TextCollector, KeepsTextWithinItsLimit)
{
    TextCollector c(1000);
    std::string line(99, 'x');
    for (int i = 0; i < 30; ++i)
        paragraph(c, line.c_str());
    c.endDocument();
    EXPECT_TRUE(c.truncated());
    EXPECT_LE(c.text()->length(), 1000u);
    EXPECT_GE(c.text()->length(), 900u);

    TextCollector exact(100);
    paragraph(exact, line.c_str());
    exact.endDocument();
    EXPECT_FALSE(exact.truncated()) << "99 characters and a paragraph break fit in 100";
    EXPECT_EQ(exact.text()->length(), 100u);
}

// Cells are told apart by their last paragraph break, so every cell must end in one whatever the library
// sent: an open paragraph, text without a paragraph, a box after the paragraph, the document's end.
TEST(TextCollector, EveryCellEndsInAParagraphBreakOfItsOwn)
{
    using Steps = void (*)(TextCollector&);
    const struct {
        Steps steps;
        const char* why;
    } cases[] = {
        { [](TextCollector& c) {
             c.openTableCell({});
             c.insertText("bare");
             c.closeTableCell();
         },
            "text without a paragraph" },
        { [](TextCollector& c) {
             c.openTableCell({});
             c.openParagraph({});
             c.insertText("open");
             c.openTableCell({});
             c.insertText("next");
         },
            "a paragraph left open when the next cell begins, the last one at the table's end" },
        { [](TextCollector& c) {
             c.openTableCell({});
             c.openParagraph({});
             c.insertText("boxed");
             c.openTextBox({});
             paragraph(c, "in the box");
             c.closeTextBox();
             c.closeParagraph();
             c.closeTableCell();
         },
            "a text box shown after the cell's paragraph" },
        { [](TextCollector& c) {
             c.openTableCell({});
             paragraph(c, "before");
             c.openTable({});
             c.openTableRow({});
             c.openTableCell({});
             c.insertText("inner");
             c.closeTable();
             c.closeTableCell();
         },
            "a nested table left open, then the outer cell's own break" },
        { [](TextCollector& c) {
             c.openTableCell({});
             c.openParagraph({});
             c.insertText("cut");
             c.openFootnote({});
             c.insertText("note");
         },
            "the document ends inside a note inside a cell" },
        { [](TextCollector& c) {
             c.openTableCell({});
             c.insertText("kept");
             c.closeTableCell();
             c.openTable({}); // between cells: nothing of it is kept
             c.closeComment(); // without its open: must not end that hiding
             c.openTableCell({});
             c.insertText("dropped");
             c.closeTable();
         },
            "a table where none can stand takes no cells" },
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.why);
        TextCollector c;
        c.openTable({});
        c.openTableRow({});
        row.steps(c);
        c.endDocument();
        const kit::TextStorage& text = *c.text();
        ASSERT_GT(text.length(), 0u);
        const auto& runs = text.runs();
        for (std::size_t i = 0; i < runs.size(); ++i) {
            const kit::TableCell* cell = runs[i].attributes->tableCell.get();
            const kit::TableCell* next = i + 1 < runs.size() ? runs[i + 1].attributes->tableCell.get() : nullptr;
            std::size_t end = i + 1 < runs.size() ? runs[i + 1].location : text.length();
            if (cell && (!next || !(*next == *cell))) {
                EXPECT_EQ(text.string()[end - 1], '\n') << "cell " << cell->column << " in " << text.string();
            }
        }
        EXPECT_EQ(text.string().back(), '\n');
        EXPECT_EQ(text.string().find("dropped"), std::string::npos);
    }
}

// The collector charges the import's shared budget: a document that outgrows it stops there, in whichever
// story it was.
TEST(TextCollector, ChargesTheImportsBudget)
{
    importer::ImportBudgetScope scope(4096);
    TextCollector c;
    std::string line(99, 'x');
    for (int i = 0; i < 100; ++i) {
        c.openTable({});
        c.openTableRow({});
        c.openTableCell({});
        paragraph(c, line.c_str());
        c.closeTable();
    }
    c.endDocument();
    EXPECT_TRUE(c.truncated());
    EXPECT_TRUE(scope.budget().isExhausted());
    EXPECT_LT(c.text()->length(), 4096u) << "attribute runs are charged too";
    EXPECT_EQ(c.text()->string().back(), '\n');
}
