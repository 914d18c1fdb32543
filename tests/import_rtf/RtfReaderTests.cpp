#include "import/common/Dump.h"
#include "import/rtf/RtfImporter.h"
#include "support/Cases.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

using importer::importRtf;
using importer::plainText;

namespace {

std::span<const std::uint8_t> bytesOf(const std::string& text)
{
    return { reinterpret_cast<const std::uint8_t*>(text.data()), text.size() };
}

std::shared_ptr<kit::TextStorage> read(const std::string& rtf)
{
    auto result = importRtf(bytesOf(rtf));
    EXPECT_EQ(result.format, "rtf");
    return result.text ? result.text : std::make_shared<kit::TextStorage>();
}

// The attributes of the first occurrence of needle (which must be there).
const kit::Attributes& attributesOf(const kit::TextStorage& storage, const std::string& needle)
{
    static const kit::Attributes none;
    std::size_t at = storage.string().find(needle);
    EXPECT_NE(at, std::string::npos) << "\"" << needle << "\" not in \"" << storage.string() << "\"";
    return at == std::string::npos ? none : storage.attributesAt(at);
}

// One table row of count cells, each holding "x".
std::string manyCells(int count)
{
    std::string rtf = "{\\rtf1\\trowd";
    for (int i = 0; i < count; ++i)
        rtf += "\\cellx" + std::to_string((i + 1) * 10);
    rtf += "\\pard\\intbl ";
    for (int i = 0; i < count; ++i)
        rtf += "x\\cell ";
    return rtf + "\\row}";
}

} // namespace

TEST(RtfReader, RecognisesOnlyRtfHeaders)
{
    const testsupport::Case<std::string, bool> cases[] = {
        { "{\\rtf1\\ansi x}", true, "the usual header" },
        { "\xEF\xBB\xBF{\\rtf1 x}", true, "a UTF-8 byte-order mark before it" },
        { "\r\n  {\\rtf1 x}", true, "white space before it" },
        { "{\\rtf", true, "the shortest header" },
        { "{\\rt", false, "one letter short" },
        { "{\\pard Text\\par}", false, "an RTF fragment without the header is not RTF" },
        { "x{\\rtf1}", false, "text before the header" },
        { "", false, "nothing" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(importer::looksLikeRtf(bytesOf(c.input)), c.expected);
        auto result = importRtf(bytesOf(c.input));
        EXPECT_EQ(result.text != nullptr, c.expected);
        EXPECT_EQ(result.format, c.expected ? "rtf" : "none");
    }
}

TEST(RtfReader, DecodesTextInEachFontsCodePage)
{
    const std::string fonts = "{\\fonttbl{\\f0\\fcharset0 Times;}{\\f1\\fcharset204 Arial Cyr;}{\\f2\\fcharset128 MS Mincho;}"
                              "{\\f3\\fcharset2 Symbol;}{\\f4\\fcharset238 Arial CE;}{\\f5\\fcharset134 SimSun;}{\\f6 NoCharset;}}";
    const testsupport::Case<std::tuple<std::string, std::string>, std::string> cases[] = {
        { { "\\ansi\\ansicpg1251", "\\f1 \\'cf\\'f0\\'e8\\'e2\\'e5\\'f2" }, "Привет", "a Cyrillic font" },
        { { "\\ansi\\ansicpg1251", "\\f0 caf\\'e9" }, "café", "a Western font wins over \\ansicpg1251" },
        { { "\\ansi\\ansicpg1251", "\\f6 \\'cf" }, "П", "a font without a charset takes \\ansicpg" },
        { { "\\ansi", "\\f2 \\'82\\'a0\\'82\\'a2" }, "あい", "Shift-JIS lead and trail bytes as escapes" },
        { { "\\ansi", "\\f2 \\'83e" }, "テ", "a Shift-JIS trail byte written as a plain letter" },
        { { "\\ansi", "\\f5 \\'c4\\'e3\\'ba\\'c3" }, "你好", "GBK" },
        { { "\\ansi", "\\f3 \\'b7 \\'61" }, "• α", "the Symbol font's glyph numbers" },
        { { "\\ansi", "\\f4 \\'9e\\'e8" }, "žč", "Central European" },
        { { "\\ansi", "\\f3 \\u-3913?" }, "•", "Word's private-use alias of a Symbol glyph" },
        { { "\\mac", "\\f6 \\'8e" }, "é", "the Mac Roman document code page" },
    };
    for (const auto& c : cases) {
        const auto& [header, body] = c.input;
        SCOPED_TRACE(c.why);
        auto storage = read("{\\rtf1" + header + fonts + body + "}");
        EXPECT_EQ(storage->string(), c.expected);
    }
}

TEST(RtfReader, ReadsUnicodeEscapesAndSpecialCharacters)
{
    const testsupport::Case<std::string, std::string> cases[] = {
        { "\\u8364?", "€", "\\uc1 skips one fallback character" },
        { "\\uc2\\u228\\'e8a b", "ä b", "\\uc2 skips an escape and a letter" },
        { "\\uc0\\u945 a", "αa", "\\uc0 skips nothing" },
        { "{\\uc3\\u945 ab}c", "αc", "a group end stops the skipping" },
        { "\\u-10179?\\u-8704?", "😀", "a surrogate pair" },
        { "\\u-3913?", "\xEF\x82\xB7", "negative values are 16-bit" },
        { "a\\emdash b\\endash c\\bullet d", "a—b–c•d", "dashes and bullet" },
        { "\\lquote x\\rquote \\ldblquote y\\rdblquote", "‘x’“y”", "quotes" },
        { "a\\~b\\-c\\_d", "a\xC2\xA0" "b\xC2\xAD" "c\xE2\x80\x91" "d", "non-breaking space, optional and non-breaking hyphens" },
        { "\\{\\}\\\\", "{}\\", "escaped braces and backslash" },
        { "a\\tab b\\line c", "a\tb\xE2\x80\xA8" "c", "tab and line break" },
        { "one\\par two\\page three", "one\ntwo\fthree", "paragraph end and page break" },
        { "a\r\nb\nc", "abc", "line ends in the file are not content" },
        { "a\\\nb", "a\nb", "a backslash before a line end is a paragraph end" },
        { "a{\\v hidden}b", "ab", "hidden text is left out" },
        { "a\\'8", "a", "a truncated escape" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return read("{\\rtf1\\ansi " + input + "}")->string(); });
}

TEST(RtfReader, ReadsCharacterFormatting)
{
    const std::string header = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f1 Arial;}}"
                               "{\\colortbl;\\red255\\green0\\blue0;\\red0\\green0\\blue255;}";
    const testsupport::Case<std::string, std::function<bool(const kit::Attributes&)>> cases[] = {
        { "{\\f1 X}", [](const auto& a) { return a.fontFamily == "Arial"; }, "font" },
        { "X", [](const auto& a) { return a.fontFamily == "Times New Roman" && a.fontSize == 12; }, "the default font and size" },
        { "{\\fs21 X}", [](const auto& a) { return a.fontSize == 10.5f; }, "size in half points" },
        { "{\\b X}", [](const auto& a) { return a.bold; }, "bold" },
        { "{\\b\\b0 X}", [](const auto& a) { return !a.bold; }, "bold switched off by a zero parameter" },
        { "{\\i X}", [](const auto& a) { return a.italic; }, "italic" },
        { "{\\ul X}", [](const auto& a) { return a.underline == kit::LineStyle::Single; }, "underline" },
        { "{\\ulw X}", [](const auto& a) { return a.underline == kit::LineStyle::Single; }, "word underline drawn as single" },
        { "{\\uldb X}", [](const auto& a) { return a.underline == kit::LineStyle::Double; }, "double underline" },
        { "{\\ul\\ulnone X}", [](const auto& a) { return a.underline == kit::LineStyle::None; }, "underline off" },
        { "{\\strike X}", [](const auto& a) { return a.strikethrough == kit::LineStyle::Single; }, "strikethrough" },
        { "{\\striked1 X}", [](const auto& a) { return a.strikethrough == kit::LineStyle::Double; }, "double strikethrough" },
        { "{\\cf1 X}", [](const auto& a) { return a.foreground == kit::Color::calibratedRGB(1, 0, 0); }, "colour" },
        { "{\\cf0 X}", [](const auto& a) { return !a.foreground; }, "automatic colour" },
        { "{\\cf9 X}", [](const auto& a) { return !a.foreground; }, "a colour past the table" },
        { "{\\highlight2 X}", [](const auto& a) { return a.background == kit::Color::calibratedRGB(0, 0, 1); }, "highlight" },
        { "{\\chcbpat1 X}", [](const auto& a) { return a.background == kit::Color::calibratedRGB(1, 0, 0); }, "shading" },
        { "{\\cb2 X}", [](const auto& a) { return a.background.has_value(); }, "background" },
        { "{\\super X}", [](const auto& a) { return a.superscript == 1; }, "superscript" },
        { "{\\sub X}", [](const auto& a) { return a.superscript == -1; }, "subscript" },
        { "{\\up6 X}", [](const auto& a) { return a.baselineShift == 3; }, "raised 3 points (half points)" },
        { "{\\dn4 X}", [](const auto& a) { return a.baselineShift == -2; }, "lowered 2 points" },
        { "{\\caps X}", [](const auto& a) { return a.allCaps; }, "all caps, text not changed" },
        { "{\\scaps X}", [](const auto& a) { return a.smallCaps; }, "small caps" },
        { "{\\b\\i\\f1\\fs40\\plain X}", [](const auto& a) { return !a.bold && !a.italic && a.fontSize == 12 && a.fontFamily == "Times New Roman"; }, "\\plain resets" },
        { "{\\b Y}X", [](const auto& a) { return !a.bold; }, "a group end restores" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = read(header + c.input + "}");
        EXPECT_TRUE(c.expected(attributesOf(*storage, "X")));
    }
}

TEST(RtfReader, ReadsParagraphFormatting)
{
    const testsupport::Case<std::string, std::function<bool(const kit::ParagraphStyle&)>> cases[] = {
        { "\\qc X", [](const auto& p) { return p.alignment == kit::TextAlignment::Center; }, "centred" },
        { "\\qj X", [](const auto& p) { return p.alignment == kit::TextAlignment::Justified; }, "justified" },
        { "\\qr X", [](const auto& p) { return p.alignment == kit::TextAlignment::Right; }, "right" },
        { "X", [](const auto& p) { return p.alignment == kit::TextAlignment::Natural; }, "natural by default" },
        { "\\li720\\fi-360\\ri360 X", [](const auto& p) { return p.headIndent == 36 && p.firstLineHeadIndent == 18 && p.tailIndent == 18; }, "indents in twips" },
        { "\\fi-360\\li720 X", [](const auto& p) { return p.headIndent == 36 && p.firstLineHeadIndent == 18; }, "first-line indent before the left indent" },
        { "\\sb240\\sa120 X", [](const auto& p) { return p.spacingBefore == 12 && p.spacingAfter == 6; }, "spacing" },
        { "\\sl360\\slmult1 X", [](const auto& p) { return p.lineSpacingRule == kit::LineSpacingRule::Multiple && p.lineSpacing == 1.5f; }, "one and a half lines" },
        { "\\sl-300\\slmult0 X", [](const auto& p) { return p.lineSpacingRule == kit::LineSpacingRule::Exact && p.lineSpacing == 15; }, "exactly 15 points" },
        { "\\sl300\\slmult0 X", [](const auto& p) { return p.lineSpacingRule == kit::LineSpacingRule::AtLeast && p.lineSpacing == 15; }, "at least 15 points" },
        { "\\tx720\\tqr\\tx5000\\tqc\\tx3000\\tqdec\\tx4000 X", [](const auto& p) {
             return p.tabStops == std::vector<kit::TabStop> { { 36, kit::TabAlignment::Left }, { 150, kit::TabAlignment::Center },
                        { 200, kit::TabAlignment::Decimal }, { 250, kit::TabAlignment::Right } };
         }, "tab stops sorted, with alignments" },
        { "\\pagebb\\keepn X", [](const auto& p) { return p.pageBreakBefore && p.keepWithNext; }, "page break before, keep with next" },
        { "\\rtlpar X", [](const auto& p) { return p.baseDirection == kit::WritingDirection::RightToLeft; }, "right to left" },
        { "\\qc\\pard X", [](const auto& p) { return p.alignment == kit::TextAlignment::Natural; }, "\\pard resets" },
        { "X\\qc\\par", [](const auto& p) { return p.alignment == kit::TextAlignment::Center; }, "the properties at the paragraph end count" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = read("{\\rtf1\\ansi " + c.input + "\\par}");
        EXPECT_TRUE(c.expected(attributesOf(*storage, "X").paragraphStyle()));
    }
}

TEST(RtfReader, AppliesStylesWithTheirBases)
{
    auto storage = read("{\\rtf1{\\stylesheet{\\s0 Normal;}{\\s1\\qc\\b\\fs32 heading 1;}{\\s2\\sbasedon1\\i\\fs28 heading 2;}"
                        "{\\*\\cs10\\additive\\ul Link;}}\\pard\\plain\\s2 Sub\\par\\pard\\plain\\s0 Body {\\cs10 under}\\par}");
    EXPECT_EQ(storage->string(), "Sub\nBody under\n");
    const auto& sub = attributesOf(*storage, "Sub");
    EXPECT_TRUE(sub.bold) << "from the base style";
    EXPECT_TRUE(sub.italic);
    EXPECT_EQ(sub.fontSize, 14) << "the style's own size wins over its base's";
    EXPECT_EQ(sub.paragraphStyle().alignment, kit::TextAlignment::Center);
    EXPECT_FALSE(attributesOf(*storage, "Body").bold);
    EXPECT_EQ(attributesOf(*storage, "under").underline, kit::LineStyle::Single);
}

TEST(RtfReader, KeepsDestinationsThatAreNotShownOut)
{
    auto storage = read("{\\rtf1{\\info{\\title Secret title}{\\author Someone}}{\\header Head}{\\footer Foot}"
                        "{\\*\\generator Gen;}{\\*\\unknowndestination hidden}{\\unknownword shown}"
                        "{\\*\\bkmkstart b}Body{\\*\\bkmkend b}\\par}");
    EXPECT_EQ(storage->string(), "shownBody\n");
}

TEST(RtfReader, ReadsFieldsAndLinks)
{
    auto storage = read("{\\rtf1 See {\\field{\\*\\fldinst{HYPERLINK \"http://example.org/a\"}}{\\fldrslt{\\ul here}}} and "
                        "{\\field{\\*\\fldinst HYPERLINK \"doc.html\" \\\\l \"part\"}{\\fldrslt there}} and "
                        "{\\field{\\*\\fldinst PAGE}{\\fldrslt 7}}.\\par}");
    EXPECT_EQ(storage->string(), "See here and there and 7.\n");
    EXPECT_EQ(attributesOf(*storage, "here").link, "http://example.org/a");
    EXPECT_EQ(attributesOf(*storage, "there").link, "doc.html#part");
    EXPECT_EQ(attributesOf(*storage, "7").link, "");
    EXPECT_EQ(attributesOf(*storage, " and").link, "");
}

TEST(RtfReader, GathersFootnotesAtTheEnd)
{
    auto storage = read("{\\rtf1 First{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} One.} and second{\\super\\chftn}"
                        "{\\footnote\\pard{\\super\\chftn} Two.\\par} end.\\par}");
    EXPECT_EQ(storage->string(), "First1 and second2 end.\n1 One.\n2 Two.\n");
    EXPECT_EQ(attributesOf(*storage, "2 end").superscript, 1);
}

TEST(RtfReader, ReadsListLabels)
{
    const std::string lists = "{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc0\\levelstartat3{\\leveltext\\'02\\'00.;}"
                              "{\\levelnumbers\\'01;}}{\\listlevel\\levelnfc4{\\leveltext\\'03\\'00.\\'01;}{\\levelnumbers\\'01\\'03;}}"
                              "\\listid7}{\\list{\\listlevel\\levelnfc23\\f3{\\leveltext\\'01\\'b7;}}\\listid8}}"
                              "{\\*\\listoverridetable{\\listoverride\\listid7\\ls1}{\\listoverride\\listid8\\ls2}}";
    const testsupport::Case<std::string, std::string> cases[] = {
        { "\\pard\\ls1{\\listtext\\tab 1.\\tab}One\\par", "1.\tOne\n", "a label's leading tab goes, its last tab stays" },
        { "\\pard\\ls1{\\listtext 1.}One\\par", "1.\tOne\n", "a label without a tab gets one" },
        { "\\pard{\\pntext\\'b7\\tab}Old\\par", "·\tOld\n", "a Word 95 label" },
        { "\\pard\\ls1 A\\par\\pard\\ls1 B\\par\\pard\\ls1\\ilvl1 C\\par\\pard\\ls1\\ilvl1 D\\par\\pard\\ls1 E\\par",
            "3.\tA\n4.\tB\n4.a\tC\n4.b\tD\n5.\tE\n", "labels from the list table when the paragraphs have none" },
        { "\\pard\\ls2 Dot\\par", "•\tDot\n", "a Symbol bullet from the list table" },
        { "\\pard\\ls1{\\listtext\\tab}Blank\\par", "3.\tBlank\n", "a blank label is replaced by the list table's" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = read("{\\rtf1{\\fonttbl{\\f0 Times;}{\\f3\\fcharset2 Symbol;}}" + lists + c.input + "}");
        EXPECT_EQ(storage->string(), c.expected);
        kit::Range label;
        EXPECT_TRUE(storage->attributesAt(0, &label).listLabel);
        EXPECT_EQ(storage->string()[label.end() - 1], '\t') << "the label ends with its tab";
        EXPECT_FALSE(storage->attributesAt(label.end()).listLabel);
    }
}

TEST(RtfReader, ReadsTablesWithMergesBordersAndShading)
{
    auto storage = read("{\\rtf1{\\colortbl;\\red255\\green0\\blue0;\\red204\\green204\\blue204;}"
                        "\\trowd\\trgaph100\\trhdr\\clbrdrt\\brdrs\\brdrw20\\brdrcf1\\clcbpat2\\cellx2000\\clmgf\\cellx4000\\clmrg\\cellx6000"
                        "\\pard\\intbl A\\cell B\\par B2\\cell\\cell\\row"
                        "\\trowd\\trgaph100\\trkeep\\clvmgf\\cellx2000\\cellx4000\\cellx6000"
                        "\\pard\\intbl C\\cell D\\cell E\\cell\\row"
                        "\\trowd\\trgaph100\\clvmrg\\cellx2000\\cellx4000\\cellx6000"
                        "\\pard\\intbl\\cell F\\cell G\\cell\\row"
                        "\\pard After\\par}");
    EXPECT_EQ(storage->string(), "A\nB\nB2\nC\nD\nE\nF\nG\nAfter\n");
    EXPECT_EQ(plainText(*storage), "A\tB\nB2\nC\tD\tE\nF\tG\nAfter\n");
    const auto& a = *attributesOf(*storage, "A").tableCell;
    EXPECT_EQ(a.row, 0);
    EXPECT_EQ(a.column, 0);
    EXPECT_TRUE(a.isHeaderRow);
    EXPECT_EQ(a.borders[0].style, kit::LineStyle::Single);
    EXPECT_EQ(a.borders[0].width, 1);
    EXPECT_EQ(a.borders[0].color, kit::Color::calibratedRGB(1, 0, 0));
    EXPECT_EQ(a.borders[1].style, kit::LineStyle::None);
    EXPECT_EQ(a.shading, kit::Color::calibratedRGB(0.8f, 0.8f, 0.8f));
    EXPECT_EQ(a.padding[1], 5);
    EXPECT_EQ(a.columnWidths, (std::vector<float> { 100, 100, 100 }));
    const auto& b = *attributesOf(*storage, "B2").tableCell;
    EXPECT_EQ(b.column, 1);
    EXPECT_EQ(b.columnSpan, 2) << "\\clmgf and \\clmrg merge two grid columns";
    EXPECT_EQ(attributesOf(*storage, "B\n").tableCell, attributesOf(*storage, "B2").tableCell) << "one cell, two paragraphs";
    const auto& c = *attributesOf(*storage, "C").tableCell;
    EXPECT_EQ(c.rowSpan, 2) << "\\clvmgf over one \\clvmrg";
    EXPECT_TRUE(c.rowKeepsTogether) << "\\trkeep";
    EXPECT_FALSE(a.rowKeepsTogether);
    const auto& f = *attributesOf(*storage, "F").tableCell;
    EXPECT_EQ(f.row, 2);
    EXPECT_EQ(f.column, 1) << "the merged-away cell is not emitted";
    EXPECT_FALSE(attributesOf(*storage, "After").tableCell);
}

TEST(RtfReader, ReadsNestedTables)
{
    auto storage = read("{\\rtf1\\trowd\\cellx3000\\cellx6000"
                        "\\pard\\intbl Outer\\par"
                        "\\pard\\intbl\\itap2 In1\\nestcell In2\\nestcell{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000\\nestrow}"
                        "{\\nonesttables\\par}"
                        "\\pard\\intbl\\itap1\\cell Right\\cell\\row}");
    EXPECT_EQ(storage->string(), "Outer\nIn1\nIn2\n\nRight\n");
    const auto& outer = *attributesOf(*storage, "Outer").tableCell;
    const auto& inner = *attributesOf(*storage, "In2").tableCell;
    EXPECT_EQ(outer.nestingLevel, 1);
    EXPECT_EQ(inner.nestingLevel, 2);
    EXPECT_EQ(inner.column, 1);
    EXPECT_EQ(inner.columnWidths, (std::vector<float> { 50, 50 }));
    EXPECT_NE(inner.tableId, outer.tableId);
    ASSERT_TRUE(inner.parent);
    EXPECT_EQ(inner.parent, &outer) << "the nested cell points at the cell holding its table";
    // The outer cell ends with a paragraph of its own after the nested table.
    std::size_t emptyParagraph = storage->string().find("\n\n") + 1;
    EXPECT_EQ(storage->attributesAt(emptyParagraph).tableCell.get(), &outer);
    EXPECT_EQ(attributesOf(*storage, "Right").tableCell->column, 1);
}

TEST(RtfReader, KeepsTheTextOfDamagedTables)
{
    const testsupport::Case<std::string, std::string> cases[] = {
        { "\\trowd\\cellx1000\\pard\\intbl A\\cell B", "A\nB\n", "a row without \\row keeps its cells" },
        { "\\pard\\intbl A\\cell B\\cell\\row", "A\nB\n", "cells without a row definition" },
        { "\\trowd\\cellx1000\\pard\\intbl A\\cell B\\cell C\\cell\\row", "A\nB\nC\n", "more cells than \\cellx" },
        { "\\pard\\intbl\\itap3 Deep\\nestcell\\nestrow\\row", "Deep\n\n\n", "a cell that starts deeper opens the levels between, each ending with a paragraph of its own" },
        { "A\\nestrow\\row\\cell", "A\n\n\n", "row ends outside tables: A becomes a nested cell, the last \\cell an empty one" },
        { "\\trowd\\cellx5000\\cellx1000\\pard\\intbl A\\cell B\\cell\\row", "A\nB\n", "edges out of order" },
    };
    testsupport::expectEach(cases, [&](const auto& input) {
        auto storage = read("{\\rtf1 " + input + "}");
        return storage->string();
    });
}

TEST(RtfReader, ReadsPictures)
{
    // A 1 × 1 PNG, as hex.
    const std::string png = "89504e470d0a1a0a0000000d4948445200000001000000010806000000"
                            "1f15c4890000000d49444154789c6360f8cf000000040001ff5a1d3b0000000049454e44ae426082";
    const struct {
        std::string pict;
        std::string mimeType;
        kit::Size size;
        const char* why;
    } cases[] = {
        { "{\\pict\\pngblip\\picw1\\pich1\\picwgoal1440\\pichgoal720 " + png + "}", "image/png", { 72, 36 }, "goal size in twips" },
        { "{\\pict\\pngblip\\picwgoal1440\\pichgoal720\\picscalex50\\picscaley200 " + png + "}", "image/png", { 36, 72 }, "scaled" },
        { "{\\pict\\pngblip " + png + "}", "image/png", { 0.75f, 0.75f }, "pixels at 96 per inch" },
        { "{\\pict\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720 0100}", "", { 72, 36 }, "a metafile placeholder" },
        { "{\\pict\\emfblip\\picw2540\\pich1270 0100}", "", { 72, 36 }, "metafile size in hundredths of a millimetre" },
        { "{\\*\\shppict{\\pict\\pngblip\\picwgoal20\\pichgoal20 " + png + "}}{\\nonshppict{\\pict\\wmetafile8 00}}", "image/png", { 1, 1 }, "the shape picture, not its fallback" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = read("{\\rtf1 a" + c.pict + "b}");
        ASSERT_EQ(storage->string(), std::string("a") + kit::kAttachmentCharacter + "b");
        const auto& attachment = storage->attributesAt(1).attachment;
        ASSERT_TRUE(attachment);
        EXPECT_EQ(attachment->mimeType, c.mimeType);
        EXPECT_EQ(attachment->bytes.empty(), c.mimeType.empty());
        if (!c.mimeType.empty()) {
            EXPECT_EQ(attachment->bytes.size(), png.size() / 2);
        }
        EXPECT_NEAR(attachment->size.width, c.size.width, 0.01);
        EXPECT_NEAR(attachment->size.height, c.size.height, 0.01);
        EXPECT_FALSE(storage->attributesAt(0).attachment);
    }
    // \bin carries raw bytes: "\bin4 " then four bytes, braces among them.
    std::string raw = "{\\rtf1{\\pict\\pngblip\\picwgoal20\\pichgoal20\\bin4 {}\\x}}";
    auto storage = read(raw);
    ASSERT_TRUE(storage->length() && storage->attributesAt(0).attachment);
    EXPECT_EQ(storage->attributesAt(0).attachment->bytes, (std::vector<std::uint8_t> { '{', '}', '\\', 'x' }));
}

TEST(RtfReader, BreaksPagesAtSectionsThatStartOnANewPage)
{
    auto storage = read("{\\rtf1 One\\par\\sect\\sectd\\sbknone Two\\par\\sect\\sectd Three\\par\\sect}");
    EXPECT_EQ(storage->string(), "One\nTwo\nThree\n");
    EXPECT_FALSE(attributesOf(*storage, "Two").paragraphStyle().pageBreakBefore) << "\\sbknone: continuous";
    EXPECT_TRUE(attributesOf(*storage, "Three").paragraphStyle().pageBreakBefore) << "\\sectd: a new page";
}

TEST(RtfReader, SurvivesHostileInput)
{
    const struct {
        std::string rtf;
        const char* why;
    } cases[] = {
        { "{\\rtf1" + std::string(200000, '{') + "deep" + std::string(200000, '}') + "}", "groups nested 200,000 deep" },
        { "{\\rtf1 unclosed {\\b group", "groups never closed" },
        { "{\\rtf1 a}}}}}b", "too many closing braces" },
        { "{\\rtf1 \\bin999999999 abc}", "\\bin longer than the file" },
        { "{\\rtf1 \\fs99999999999999 \\li-2147483648 \\u99999999 x}", "numbers out of range" },
        { "{\\rtf1{\\stylesheet{\\s1\\sbasedon1 self;}{\\s2\\sbasedon3 a;}{\\s3\\sbasedon2 b;}}\\s1\\s2 x}", "style bases in a circle" },
        { "{\\rtf1" + std::string(50000, '\\') + "}", "backslashes only" },
        { manyCells(10000), "ten thousand cells in a row" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = importRtf(bytesOf(c.rtf));
        ASSERT_TRUE(result.text);
    }
    auto deep = read(cases[0].rtf);
    EXPECT_EQ(deep->string(), "deep");
    auto wide = read(cases[7].rtf);
    EXPECT_EQ(std::count(wide->string().begin(), wide->string().end(), 'x'), 10000) << "no text lost to the column cap";
    EXPECT_LE(wide->attributesAt(0).tableCell->columnWidths.size(), 64u);
    EXPECT_EQ(read("{\\rtf1 \\fs1 tiny}")->attributesAt(0).fontSize, 1) << "no size below one point";
    EXPECT_EQ(read("{\\rtf1 \\fs99999999999999 x}")->attributesAt(0).fontSize, 12) << "a damaged size is 12 points";
}

TEST(RtfReader, TableEdgesAtTheEndsOfTheNumberRangeStayInRange)
{
    // Edges at INT_MAX, INT_MIN and back, and a cell past the definition that adds a default width to the
    // last edge: every width is finite and not negative, every cell keeps its text, and all of them share
    // the one list of widths.
    std::string rtf = "{\\rtf1\\trowd\\trleft-2147483648\\cellx2147483647\\cellx-2147483648\\cellx2147483647"
                      "\\intbl a\\cell b\\cell c\\cell d\\cell\\row}";
    auto storage = read(rtf);
    EXPECT_EQ(storage->string(), "a\nb\nc\nd\n");
    const auto& first = *storage->attributesAt(0).tableCell;
    ASSERT_FALSE(first.columnWidths.empty());
    for (float width : first.columnWidths) {
        EXPECT_TRUE(std::isfinite(width));
        EXPECT_GE(width, 0);
    }
    for (std::size_t at : { 2, 4, 6 }) {
        const auto& cell = *storage->attributesAt(at).tableCell;
        EXPECT_TRUE(cell.columnWidths.isSharedWith(first.columnWidths)) << "cell at " << at;
        EXPECT_LE(cell.column + cell.columnSpan, int(first.columnWidths.size()));
    }
}

TEST(RtfReader, FontNamesLeaveOutControlCharacters)
{
    // \'b7 in a symbol font is the bullet; in any other font it is the code page's middle dot.
    const struct {
        std::string name;
        const char* family;
        const char* text;
        const char* why;
    } cases[] = {
        { "Symbol", "Symbol", "\xE2\x80\xA2\n", "the plain name" },
        { std::string("Sym\0\0bol", 8), "Symbol", "\xE2\x80\xA2\n", "NUL bytes of a damaged file inside the name" },
        { "Sym\\tab bol", "Symbol", "\xE2\x80\xA2\n", "a tab written as a control word" },
        { std::string("\x01Times\x1F", 7), "Times", "\xC2\xB7\n", "controls around a name that is no symbol font" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 " + c.name + ";}}\\f0 \\'b7\\par}";
        auto storage = read(rtf);
        EXPECT_EQ(storage->string(), c.text);
        EXPECT_EQ(attributesOf(*storage, "\n").fontFamily, c.family);
        // What was read writes and reads back the same, since the writer leaves control characters out too.
        std::string written = storage->rtfFromRange({ 0, storage->length() });
        EXPECT_EQ(read(written)->string(), c.text);
    }
}

TEST(RtfReader, APageBreakInsideATableEndsItsParagraphOnly)
{
    // A page break inside a cell would split its row over two pages, which no word processor does: inside
    // the table it ends its paragraph, and the cell still ends in a paragraph of its own. After the table
    // it is a page break again.
    const std::string row = "{\\rtf1\\trowd\\cellx4000\\pard\\intbl ";
    const testsupport::Case<std::string, const char*> cases[] = {
        { row + "A\\page\\cell\\row}", "A\n\n", "a page break before the cell mark: the cell mark ends the cell" },
        { row + "A\\page}", "A\n", "the file ends after a page break in an unfinished row" },
        { row + "A\\cell\\page\\row}", "A\n\n", "a page break between the last cell and the row end" },
        { row + "A\\cell\\row\\page}", "A\n\n", "a page break after the row, still in the table" },
        { row + "A\\cell\\row\\pard\\page}", "A\n\f", "a page break after the table is no part of it" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = read(c.input);
        EXPECT_EQ(storage->string(), c.expected);
        std::string written = storage->rtfFromRange({ 0, storage->length() });
        EXPECT_EQ(read(written)->string(), c.expected);
    }
}

TEST(RtfReader, ListLabelsLeaveOutControlCharacters)
{
    // Level texts hold the level placeholders (bytes 0 to 9) among their characters; other control
    // characters, as in damaged files, are no part of the label that the paragraph shows.
    const testsupport::Case<std::string, const char*> cases[] = {
        { "\\'02\\'00.", "1.\tA\n", "a placeholder and a full stop" },
        { "\\'04\\'12\\'00\\'18.", "1.\tA\n", "control bytes around the placeholder" },
        { "\\'03(\\'0a)", "()\tA\n", "the first byte past the placeholders" },
        { "\\'03(\\'1f)", "()\tA\n", "the last control byte" },
        { "\\'03( )", "( )\tA\n", "a space is text" },
        { "\\'03\\u18 ?\\'00.", "1.\tA\n", "a control character as a Unicode escape" },
        { "\\'03\\'00\x7f.", "1.\tA\n", "a delete character" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto storage = read("{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc0\\levelstartat1{\\leveltext " + c.input
            + ";}}\\listid1}}{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}\\pard\\ls1 A\\par}");
        EXPECT_EQ(storage->string(), c.expected);
        std::string written = storage->rtfFromRange({ 0, storage->length() });
        EXPECT_EQ(read(written)->string(), c.expected);
    }
}

TEST(RtfReader, APictureInAListLabelKeepsItsCharacterAlone)
{
    // A picture bullet: the label's tab follows the picture, and only the U+FFFC carries the attachment.
    auto storage = read("{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc23{\\leveltext \\'01\\u8226 ?;}}\\listid1}}"
                        "{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}\\pard\\ls1{\\listtext {\\pict\\pngblip 02}}"
                        " Item\\par}");
    ASSERT_TRUE(storage);
    const std::string& text = storage->string();
    ASSERT_EQ(text.substr(0, 4), std::string(kit::kAttachmentCharacter) + "\t");
    EXPECT_TRUE(storage->attributesAt(0).attachment);
    EXPECT_TRUE(storage->attributesAt(3).listLabel) << "the tab is part of the label";
    EXPECT_FALSE(storage->attributesAt(3).attachment) << "but no picture";

    // A list paragraph that opens with a picture and has no label of its own: the list table's label is
    // text before the picture.
    auto generated = read("{\\rtf1{\\*\\listtable{\\list{\\listlevel\\levelnfc0\\levelstartat1{\\leveltext \\'02\\'00.;}}"
                          "\\listid1}}{\\*\\listoverridetable{\\listoverride\\listid1\\ls1}}\\pard\\ls1{\\pict\\pngblip 02} Item\\par}");
    ASSERT_TRUE(generated);
    ASSERT_EQ(generated->string().substr(0, 6), std::string("1.\t") + kit::kAttachmentCharacter);
    EXPECT_TRUE(generated->attributesAt(0).listLabel);
    EXPECT_FALSE(generated->attributesAt(0).attachment);
    EXPECT_TRUE(generated->attributesAt(3).attachment);
}
