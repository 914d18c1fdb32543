#include "import/rtf/RtfImporter.h"
#include "import/rtf/RtfWriter.h"
#include "kit/text/PageSetup.h"
#include "import_rtf/RoundTrip.h"
#include "support/Cases.h"
#include "support/PngBytes.h"

#include <cairo.h>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

using kit::Attributes;
using kit::TextStorage;

namespace {

std::shared_ptr<TextStorage> readBack(const TextStorage& storage)
{
    std::string rtf = storage.rtfFromRange({ 0, storage.length() });
    auto result = importer::importRtf({ reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size() });
    EXPECT_TRUE(result.text) << rtf;
    return result.text ? result.text : std::make_shared<TextStorage>();
}

void expectRoundTrip(const TextStorage& storage)
{
    auto back = readBack(storage);
    EXPECT_EQ(back->string(), storage.string());
    EXPECT_EQ(roundtrip::canonicalDump(*back), roundtrip::canonicalDump(storage))
        << storage.rtfFromRange({ 0, storage.length() });
}

std::vector<std::uint8_t> smallPng(int width, int height)
{
    std::string png = testsupport::pngBytes(width, height);
    return { png.begin(), png.end() };
}

template<typename T> std::shared_ptr<const T> shared(T value) { return std::make_shared<const T>(std::move(value)); }

} // namespace

TEST(RtfWriter, KeepsEveryCharacterAttribute)
{
    const struct {
        std::function<void(Attributes&)> set;
        const char* why;
    } cases[] = {
        { [](Attributes& a) { a.fontFamily = "Arial"; }, "font family" },
        { [](Attributes& a) { a.fontFamilyEastAsian = "MS Mincho"; a.fontFamilyComplex = "Arial Unicode MS"; }, "per-script fonts" },
        { [](Attributes& a) { a.fontSize = 10.5f; }, "a half-point size" },
        { [](Attributes& a) { a.fontSize = 10.3f; }, "a size RTF rounds to half points" },
        { [](Attributes& a) { a.bold = a.italic = true; }, "bold italic" },
        { [](Attributes& a) { a.underline = kit::LineStyle::Double; }, "double underline" },
        { [](Attributes& a) { a.underline = kit::LineStyle::Single; a.strikethrough = kit::LineStyle::Double; }, "underline, double strike" },
        { [](Attributes& a) { a.strikethrough = kit::LineStyle::Single; }, "strike" },
        { [](Attributes& a) { a.allCaps = true; }, "caps" },
        { [](Attributes& a) { a.smallCaps = true; }, "small caps" },
        { [](Attributes& a) { a.foreground = kit::Color::calibratedRGB(0.2f, 0.4f, 0.6f); }, "foreground" },
        { [](Attributes& a) { a.foreground = kit::Color::white(0.5f); }, "a grey colour, converted" },
        { [](Attributes& a) { a.background = kit::Color::calibratedRGB(1, 1, 0); }, "background" },
        { [](Attributes& a) { a.superscript = 1; }, "superscript" },
        { [](Attributes& a) { a.superscript = -1; a.baselineShift = -1.5f; }, "subscript lowered further" },
        { [](Attributes& a) { a.baselineShift = 3; }, "raised" },
        { [](Attributes& a) { a.link = "http://example.org/path?q=1#frag"; }, "link" },
        { [](Attributes& a) { a.link = "file:///C:\\dir\\x.doc"; }, "link with backslashes" },
        { [](Attributes& a) { a.fontFamily = "Symbol"; }, "ASCII text in a symbol font stays ASCII" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TextStorage storage;
        storage.append("plain ", Attributes {});
        Attributes special;
        c.set(special);
        storage.append("special {text}\\", special);
        storage.append(" plain\n", Attributes {});
        expectRoundTrip(storage);
    }
}

TEST(RtfWriter, KeepsEveryParagraphAttribute)
{
    const struct {
        std::function<void(kit::ParagraphStyle&)> set;
        const char* why;
    } cases[] = {
        { [](auto& p) { p.alignment = kit::TextAlignment::Center; }, "centre" },
        { [](auto& p) { p.alignment = kit::TextAlignment::Justified; p.baseDirection = kit::WritingDirection::RightToLeft; }, "justified, right to left" },
        { [](auto& p) { p.alignment = kit::TextAlignment::Left; p.baseDirection = kit::WritingDirection::LeftToRight; }, "explicit left" },
        { [](auto& p) { p.firstLineHeadIndent = 18; p.headIndent = 36; p.tailIndent = 12.33f; }, "indents, one rounded to twips" },
        { [](auto& p) { p.firstLineHeadIndent = 0; p.headIndent = 36; }, "hanging indent" },
        { [](auto& p) { p.spacingBefore = 6; p.spacingAfter = 12; }, "spacing" },
        { [](auto& p) { p.lineSpacing = 1.5f; }, "one and a half lines" },
        { [](auto& p) { p.lineSpacingRule = kit::LineSpacingRule::Exact; p.lineSpacing = 14; }, "exact" },
        { [](auto& p) { p.lineSpacingRule = kit::LineSpacingRule::AtLeast; p.lineSpacing = 20; }, "at least" },
        { [](auto& p) { p.tabStops = { { 36, kit::TabAlignment::Left }, { 200, kit::TabAlignment::Decimal }, { 300, kit::TabAlignment::Right }, { 400, kit::TabAlignment::Center } }; }, "tab stops" },
        { [](auto& p) { p.pageBreakBefore = true; p.keepWithNext = true; }, "page break before, keep with next" },
        { [](auto& p) { p.defaultTabInterval = 18; }, "default tab interval" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        kit::ParagraphStyle style;
        c.set(style);
        Attributes attributes;
        attributes.paragraph = shared(style);
        TextStorage storage;
        storage.append("First\tparagraph\n", attributes);
        storage.append("Second\n", attributes);
        expectRoundTrip(storage);
    }
}

TEST(RtfWriter, KeepsSpecialCharactersAndLabels)
{
    TextStorage storage;
    Attributes label;
    label.listLabel = true;
    label.bold = true;
    storage.append("1.\t", label);
    storage.append("Żółw “quoted” 😀 中文 \xE2\x80\xA8 after a line break\f", Attributes {});
    storage.append("•\t", label);
    storage.append("Bullet on the next page\n", Attributes {});
    storage.append("Last without end", Attributes {});
    expectRoundTrip(storage);
}

TEST(RtfWriter, KeepsTablesWithSpansBordersAndNesting)
{
    auto cell = [](int table, int row, int column, int nesting = 1) {
        kit::TableCell c;
        c.tableId = table;
        c.row = row;
        c.column = column;
        c.nestingLevel = nesting;
        c.columnWidths = { 100, 150.5f, 72 };
        return c;
    };
    kit::TableCell a = cell(1, 0, 0);
    a.rowSpan = 2;
    a.borders[0] = { kit::LineStyle::Single, 1, kit::Color::calibratedRGB(1, 0, 0) };
    a.borders[2] = { kit::LineStyle::Double, 0.5f, kit::Color::blackColor() };
    a.shading = kit::Color::calibratedRGB(0.9f, 0.9f, 0.9f);
    a.padding = { 2, 4, 6, 8 };
    a.isHeaderRow = true;
    kit::TableCell b = cell(1, 0, 1);
    b.columnSpan = 2;
    b.isHeaderRow = true;
    kit::TableCell c = cell(1, 1, 1);
    c.rowKeepsTogether = true;
    kit::TableCell d = cell(1, 1, 2);
    d.rowKeepsTogether = true;
    auto sharedD = shared(d);
    kit::TableCell nested = cell(2, 0, 1, 2);
    nested.columnWidths = { 30, 40 };
    nested.parent = sharedD.get();
    kit::TableCell nested0 = nested;
    nested0.column = 0;

    auto in = [](const kit::TableCell& tableCell) {
        Attributes attributes;
        attributes.tableCell = std::make_shared<const kit::TableCell>(tableCell);
        return attributes;
    };
    Attributes inD;
    inD.tableCell = sharedD;
    TextStorage storage;
    storage.append("Before\n", Attributes {});
    storage.append("A spans two rows\n", in(a));
    storage.append("B spans two columns\nwith two paragraphs\n", in(b));
    storage.append("C\n", in(c));
    storage.append("D holds a table\n", inD);
    storage.append("n0\n", in(nested0));
    storage.append("n1\n", in(nested));
    storage.append("\n", inD);
    storage.append("After\n", Attributes {});
    expectRoundTrip(storage);
}

TEST(RtfWriter, KeepsPicturesAndPlaceholders)
{
    const struct {
        kit::Attachment attachment;
        const char* why;
    } cases[] = {
        { { smallPng(3, 2), "image/png", { 144, 96 }, "" }, "a PNG at its displayed size" },
        { { smallPng(1, 1), "image/png", { 10.33f, 20.5f }, "A red dot" }, "a PNG with a description, size rounded to twips" },
        { { {}, "", { 100, 50 }, "" }, "a placeholder" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Attributes attributes;
        attributes.attachment = shared(c.attachment);
        TextStorage storage;
        storage.append("Picture: ", Attributes {});
        storage.append(kit::kAttachmentCharacter, attributes);
        storage.append("\n", Attributes {});
        expectRoundTrip(storage);
        auto back = readBack(storage);
        ASSERT_TRUE(back->attributesAt(9).attachment);
        EXPECT_EQ(back->attributesAt(9).attachment->bytes, c.attachment.bytes);
    }
}

TEST(RtfWriter, WritesOnlyTheRange)
{
    TextStorage storage;
    Attributes bold;
    bold.bold = true;
    storage.append("one ", Attributes {});
    storage.append("two", bold);
    storage.append(" three\nfour\n", Attributes {});
    const testsupport::Case<kit::Range, std::string> cases[] = {
        { { 4, 3 }, "two", "inside a paragraph" },
        { { 0, 0 }, "", "nothing" },
        { { 8, 100 }, "three\nfour\n", "clipped at the end" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string rtf = storage.rtfFromRange(c.input);
        auto back = importer::importRtf({ reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size() }).text;
        ASSERT_TRUE(back);
        EXPECT_EQ(back->string(), c.expected);
        if (c.expected == "two") {
            EXPECT_TRUE(back->attributesAt(0).bold);
        }
    }
}

// Written with its page setup, the whole text carries each section's paper, margins, numbering and stories,
// the even pages' choice, and the page-number fields of a header, so that a text handed over as RTF (the
// document libraries' helper does) keeps its layout. Sections that link to their predecessor's stories stay
// linked; a copy of the text carries the text alone.
TEST(RtfWriter, KeepsThePageSetupOfTheWholeText)
{
    TextStorage storage;
    storage.append("first section\nsecond section\n", Attributes {});
    auto story = [](const std::string& text, kit::PageField field = kit::PageField::None) {
        auto out = std::make_shared<TextStorage>();
        out->append(text, Attributes {});
        Attributes number;
        number.pageField = field;
        if (field != kit::PageField::None)
            out->append("1", number);
        out->append("\n", Attributes {});
        return out;
    };
    kit::PageSetup setup;
    setup.evenAndOddHeaders = true;
    kit::PageSection first;
    first.paperSize = { 595.3f, 841.9f };
    first.margins = { 50, 60, 70, 80, 20, 25, 10 };
    first.titlePage = true;
    first.headers[0] = story("Page ", kit::PageField::Page);
    first.headers[1] = story("title page head");
    first.headers[2] = story("even head");
    first.footers[0] = story("of ", kit::PageField::NumPages);
    kit::PageSection second;
    second.start = 14;
    second.paperSize = { 792, 612 };
    second.pageNumberStart = 5;
    second.pageNumberFormat = kit::PageNumberFormat::LowerRoman;
    setup.sections = { first, second };
    storage.setPageSetup(std::make_shared<kit::PageSetup>(setup));

    std::string rtf = importer::rtf::writeRtfWithPageSetup(storage);
    auto back = importer::importRtf({ reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size() }).text;
    ASSERT_TRUE(back) << rtf;
    EXPECT_EQ(back->string(), storage.string());
    ASSERT_TRUE(back->pageSetup()) << rtf;
    const kit::PageSetup& read = *back->pageSetup();
    EXPECT_TRUE(read.evenAndOddHeaders);
    ASSERT_EQ(read.sections.size(), 2u);
    EXPECT_EQ(read.sections[1].start, 14u);
    for (std::size_t i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(read.sections[i].paperSize.width, setup.sections[i].paperSize.width, 0.05);
        EXPECT_NEAR(read.sections[i].paperSize.height, setup.sections[i].paperSize.height, 0.05);
        EXPECT_EQ(read.sections[i].margins, setup.sections[i].margins);
        EXPECT_EQ(read.sections[i].titlePage, setup.sections[i].titlePage);
        EXPECT_EQ(read.sections[i].pageNumberStart, setup.sections[i].pageNumberStart);
        EXPECT_EQ(read.sections[i].pageNumberFormat, setup.sections[i].pageNumberFormat);
    }
    const char* expected[] = { "Page 1\n", "title page head\n", "even head\n" };
    for (std::size_t kind = 0; kind < kit::kHeaderFooterKinds; ++kind) {
        auto header = read.header(1, kit::HeaderFooterKind(kind));
        ASSERT_TRUE(header) << kind << ": the second section links to the first one's";
        EXPECT_EQ(header->string(), expected[kind]);
    }
    EXPECT_EQ(read.header(0, kit::HeaderFooterKind::Default)->attributesAt(5).pageField, kit::PageField::Page);
    auto footer = read.footer(0, kit::HeaderFooterKind::Default);
    ASSERT_TRUE(footer);
    EXPECT_EQ(footer->string(), "of 1\n");
    EXPECT_EQ(footer->attributesAt(3).pageField, kit::PageField::NumPages);

    std::string copied = storage.rtfFromRange({ 0, storage.length() });
    auto copyBack = importer::importRtf({ reinterpret_cast<const std::uint8_t*>(copied.data()), copied.size() }).text;
    ASSERT_TRUE(copyBack);
    EXPECT_FALSE(copyBack->pageSetup()) << "what is copied is the text alone";
}

// A copied fragment keeps the bookmarks inside it, so its contents entries still find their headings: the
// bookmark is written where its text starts and ends, and an internal link names it as word processors do.
TEST(RtfWriter, KeepsBookmarksSoInternalLinksFindTheirTargets)
{
    TextStorage storage;
    Attributes link;
    link.link = "#_Toc12";
    Attributes heading;
    heading.anchor = "_Toc12";
    Attributes named;
    named.anchor = "Раздел 2";
    storage.append("Intro ", Attributes {});
    storage.append("Contents entry", link);
    storage.append("\nBody text\n", Attributes {});
    storage.append("Far heading\n", heading);
    storage.append("More text\n", Attributes {});
    storage.append("\n", named); // a bookmark on an empty paragraph
    storage.append("Last\n", Attributes {});
    const std::string& text = storage.string();
    std::size_t far = text.find("Far heading"), empty = text.find("More text\n") + 10;

    auto anchorLocation = [](const TextStorage& back, const std::string& name) -> std::optional<std::size_t> {
        for (const auto& run : back.runs()) {
            if (run.attributes->anchor == name)
                return run.location;
        }
        return std::nullopt;
    };
    const struct {
        std::size_t start;
        const char* why;
    } cases[] = {
        { 0, "the whole text" },
        { text.find("Contents"), "from the link on" },
        { far + 4, "from inside the heading: the bookmark starts the fragment" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string rtf = storage.rtfFromRange({ c.start, storage.length() - c.start });
        auto back = importer::importRtf({ reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size() }).text;
        ASSERT_TRUE(back);
        EXPECT_EQ(anchorLocation(*back, "_Toc12"), std::optional<std::size_t>(c.start <= far ? far - c.start : 0)) << rtf;
        // Read back, a bookmark marks the text that follows it: the empty paragraph's mark or the next line.
        auto emptyMark = anchorLocation(*back, "Раздел 2");
        ASSERT_TRUE(emptyMark) << rtf;
        EXPECT_GE(*emptyMark + c.start, empty);
        EXPECT_LE(*emptyMark + c.start, empty + 1);
        EXPECT_NE(rtf.find("{\\*\\bkmkend _Toc12}"), std::string::npos) << "the end is written for other readers";
        if (c.start <= text.find("Contents")) {
            std::size_t entry = text.find("Contents") - c.start;
            EXPECT_EQ(back->attributesAt(entry).link, "#_Toc12");
            EXPECT_NE(rtf.find("HYPERLINK \\\\l \"_Toc12\""), std::string::npos) << rtf;
        }
    }
}

// A section break keeps its kind through RTF: one after a page break or on a paragraph that breaks the page
// starts a page, one in running text stays continuous, and none gains a break it did not have.
TEST(RtfWriter, SectionBreaksKeepTheirKind)
{
    TextStorage storage;
    storage.append("one\ftwo\nthree\n", Attributes {});
    Attributes breaking;
    kit::ParagraphStyle style;
    style.pageBreakBefore = true;
    breaking.paragraph = std::make_shared<const kit::ParagraphStyle>(style);
    storage.append("four\n", breaking);
    kit::PageSetup setup;
    for (std::size_t start : { 0, 4, 8, 14 }) {
        kit::PageSection section;
        section.start = start;
        section.paperSize = { 500 + float(start), 700 };
        setup.sections.push_back(section);
    }
    storage.setPageSetup(std::make_shared<kit::PageSetup>(setup));

    std::string rtf = importer::rtf::writeRtfWithPageSetup(storage);
    auto back = importer::importRtf({ reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size() }).text;
    ASSERT_TRUE(back && back->pageSetup()) << rtf;
    EXPECT_EQ(roundtrip::canonicalDump(*back), roundtrip::canonicalDump(storage)) << rtf;
    EXPECT_EQ(roundtrip::pageSetupDump(back->pageSetup().get()), roundtrip::pageSetupDump(&setup)) << rtf;
    EXPECT_FALSE(back->attributesAt(8).paragraphStyle().pageBreakBefore) << "the continuous section: " << rtf;
    EXPECT_FALSE(back->attributesAt(4).paragraphStyle().pageBreakBefore) << "the page break already started its page";
    EXPECT_TRUE(back->attributesAt(14).paragraphStyle().pageBreakBefore);
}

TEST(RtfWriter, IndentsAtTheEndsOfTheRangeStayInRange)
{
    // \fi is written relative to \li; with both near the ends of an int of twips the difference would
    // overflow. It is written at the end of the range instead.
    kit::ParagraphStyle style;
    style.headIndent = -107374000;
    style.firstLineHeadIndent = 107374000;
    kit::Attributes attributes;
    attributes.paragraph = std::make_shared<const kit::ParagraphStyle>(style);
    kit::TextStorage storage("Far\n", attributes);
    std::string rtf = storage.rtfFromRange({ 0, storage.length() });
    EXPECT_NE(rtf.find("\\li-2147480000"), std::string::npos) << rtf;
    EXPECT_NE(rtf.find("\\fi2147483647"), std::string::npos) << rtf;
}
