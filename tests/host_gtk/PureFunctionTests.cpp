// The host's pure pieces: match counting, EDID reading, window sizing, file name extensions, page sniffing,
// window titles and print page setups.
#include "hosts/common/gtk/DisplayInformation.h"
#include "hosts/common/gtk/FindMatches.h"
#include "hosts/common/gtk/PrintPanel.h"
#include "hosts/common/gtk/SavePanel.h"
#include "hosts/gtk/DocumentWindow.h"
#include "hosts/gtk/PageProbe.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <vector>

using hosts::MatchCount;

TEST(FindMatches, CountsAndLocatesTheSelectedOccurrence)
{
    const std::string text = "Apple apple APPLE pie, appleapple.";
    const testsupport::Case<std::tuple<const char*, kit::Range>, MatchCount> cases[] = {
        { { "apple", { 0, 5 } }, { 1, 5 }, "case folded; the selection is the first" },
        { { "apple", { 6, 5 } }, { 2, 5 }, "the second" },
        { { "apple", { 28, 5 } }, { 5, 5 }, "the last, right after the fourth" },
        { { "apple", { 6, 4 } }, { 0, 5 }, "a selection one short of the match is not it" },
        { { "apple", { 7, 5 } }, { 0, 5 }, "a selection off by one is not it" },
        { { "pleap", { 25, 5 } }, { 1, 1 }, "an occurrence across two words" },
        { { "ppp", { 0, 0 } }, { 0, 0 }, "no occurrence" },
        { { "", { 0, 0 } }, { 0, 0 }, "an empty needle finds nothing" },
        { { "ea", { 27, 2 } }, { 1, 1 }, "one occurrence where two words join, selected" },
    };
    for (const auto& c : cases) {
        const auto& [needle, selection] = c.input;
        SCOPED_TRACE(c.why);
        EXPECT_EQ(hosts::countMatches(text, needle, selection), c.expected);
    }
    EXPECT_EQ(hosts::countMatches("aaaa", "aa", { 2, 2 }), (MatchCount { 2, 2 })) << "occurrences do not overlap";
    EXPECT_EQ(hosts::countMatches("aaaa", "aa", { 1, 2 }), (MatchCount { 0, 2 }))
        << "an overlapping selection is not counted";
    EXPECT_EQ(hosts::countMatches("ab", "abc", { 0, 0 }), (MatchCount { 0, 0 })) << "a needle longer than the text";
    EXPECT_EQ(hosts::countMatches("\xC3\x89T\xC3\x89 \xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", { 6, 5 }),
        (MatchCount { 2, 2 }))
        << "non-ASCII letters fold too, and offsets stay byte offsets";
}

TEST(FindMatches, LabelSaysWhereTheSelectionIs)
{
    EXPECT_EQ(hosts::matchCountLabel({ 3, 12 }, true), "3 of 12");
    EXPECT_EQ(hosts::matchCountLabel({ 0, 12 }, true), "12 matches");
    EXPECT_EQ(hosts::matchCountLabel({ 0, 1 }, true), "1 match");
    EXPECT_EQ(hosts::matchCountLabel({ 1, 1 }, true), "1 of 1");
    EXPECT_EQ(hosts::matchCountLabel({ 0, 0 }, true), "No matches");
    EXPECT_EQ(hosts::matchCountLabel({ 0, 0 }, false), "") << "an empty entry shows nothing";
}

namespace {

std::vector<std::uint8_t> edidWithSize(int width, int height, bool timing = true)
{
    std::vector<std::uint8_t> edid(128, 0);
    const std::uint8_t header[8] = { 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00 };
    std::copy(header, header + 8, edid.begin());
    if (timing) {
        edid[54] = 0x02; // pixel clock 148.5 MHz, as a 1920x1080 monitor sends
        edid[55] = 0x3A;
    }
    edid[66] = std::uint8_t(width & 0xFF);
    edid[67] = std::uint8_t(height & 0xFF);
    edid[68] = std::uint8_t(((width >> 8) & 0x0F) << 4 | ((height >> 8) & 0x0F));
    return edid;
}

} // namespace

TEST(DisplayInformation, PhysicalSizeFromTheFirstDetailedTiming)
{
    using Size = hosts::PhysicalSize;
    EXPECT_EQ(hosts::physicalSizeFromEDID(edidWithSize(527, 296)), (Size { 527, 296 })) << "a 24-inch monitor";
    EXPECT_EQ(hosts::physicalSizeFromEDID(edidWithSize(1872, 1053)), (Size { 1872, 1053 }))
        << "high bits of both sides";
    EXPECT_EQ(hosts::physicalSizeFromEDID(edidWithSize(256, 255)), (Size { 256, 255 })) << "just past the low byte";
    EXPECT_FALSE(hosts::physicalSizeFromEDID(edidWithSize(0, 0))) << "a projector reports no size";
    EXPECT_FALSE(hosts::physicalSizeFromEDID(edidWithSize(527, 0))) << "half a size is no size";
    EXPECT_FALSE(hosts::physicalSizeFromEDID(edidWithSize(527, 296, false))) << "a display descriptor, not a timing";
    auto truncated = edidWithSize(527, 296);
    truncated.resize(127);
    EXPECT_FALSE(hosts::physicalSizeFromEDID(truncated)) << "one byte short of a block";
    auto corrupt = edidWithSize(527, 296);
    corrupt[0] = 0x01;
    EXPECT_FALSE(hosts::physicalSizeFromEDID(corrupt)) << "no EDID header";
    EXPECT_FALSE(hosts::physicalSizeFromEDID({})) << "an output without the property";
}

TEST(DisplayInformation, InitialContentSizeKeepsToTheWorkArea)
{
    const kit::Size wanted { 900, 1100 }, chrome { 0, 46 }, minimum { 320, 240 };
    const testsupport::Case<GdkRectangle, kit::Size> cases[] = {
        { { 0, 0, 1920, 1200 }, { 900, 1100 }, "a tall screen: as asked" },
        { { 0, 0, 1920, 1146 }, { 900, 1100 }, "exactly tall enough with the header bar" },
        { { 0, 0, 1920, 1145 }, { 900, 1099 }, "one pixel short" },
        { { 0, 27, 1366, 741 }, { 900, 695 }, "a laptop with a top panel" },
        { { 0, 0, 800, 600 }, { 800, 554 }, "narrower than asked too" },
        { { 0, 0, 300, 200 }, { 320, 240 }, "never below the minimum" },
        { { 0, 0, 0, 0 }, { 900, 1100 }, "no monitor known: as asked" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        kit::Size size = hosts::initialContentSize(wanted, chrome, c.input, minimum);
        EXPECT_EQ(size, c.expected) << size.width << " x " << size.height;
    }
}

TEST(SavePanel, RequiredExtensionIsAppendedWhenMissing)
{
    const testsupport::Case<std::tuple<const char*, const char*>, const char*> cases[] = {
        { { "/tmp/report", "doc" }, "/tmp/report.doc", "no extension" },
        { { "/tmp/report.doc", "doc" }, "/tmp/report.doc", "already there" },
        { { "/tmp/REPORT.DOC", "doc" }, "/tmp/REPORT.DOC", "in other case" },
        { { "/tmp/report.docx", "doc" }, "/tmp/report.docx.doc", "a longer extension is another one" },
        { { "/tmp/report.txt", "doc" }, "/tmp/report.txt.doc", "another extension" },
        { { "/tmp/.doc", "doc" }, "/tmp/.doc", "a name that is only the extension keeps it" },
        { { "/tmp/report", "" }, "/tmp/report", "nothing required" },
    };
    for (const auto& c : cases) {
        const auto& [path, extension] = c.input;
        SCOPED_TRACE(c.why);
        EXPECT_EQ(hosts::pathWithRequiredExtension(path, extension), c.expected);
    }
}

TEST(PageProbe, MarkupIsRecognisedByItsFirstCharacter)
{
    auto bytes = [](const std::string& text) { return std::vector<std::uint8_t>(text.begin(), text.end()); };
    const testsupport::Case<std::string, bool> cases[] = {
        { "<!DOCTYPE html><html>", true, "a page" },
        { "\xEF\xBB\xBF  \r\n\t<html>", true, "a byte-order mark and white space first" },
        { std::string("\xFF\xFE<\0h\0", 6), true, "UTF-16 little-endian" },
        { "{\\rtf1\\ansi", false, "RTF" },
        { "PK\x03\x04", false, "a ZIP package (docx, odt)" },
        { "\xD0\xCF\x11\xE0", false, "an OLE2 Word file" },
        { "Dear reader,\n<b>", false, "text whose first character is not '<'" },
        { "   ", false, "only white space" },
        { "", false, "nothing" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return hosts::PageProbe::startsLikeMarkup(bytes(input)); });
}

TEST(DocumentWindow, TitleIsTheDocumentsFileName)
{
    EXPECT_EQ(
        hosts::DocumentWindow::titleForURL(kit::URL::withString("http://127.0.0.1:8080/docs/Annual%20Report.docx?x=1")),
        "Annual Report.docx");
    EXPECT_EQ(hosts::DocumentWindow::titleForURL(kit::URL::fileURL("/home/a/report.rtf")), "report.rtf");
    EXPECT_EQ(hosts::DocumentWindow::titleForURL(kit::URL::withString("http://example.org/")), "example.org")
        << "no file name: the host";
    EXPECT_EQ(hosts::DocumentWindow::titleForURL(std::nullopt), "Untitled");
}

TEST(PrintPanel, PageSetupMatchesTheJobsPaper)
{
    const struct {
        kit::Size paper;
        const char* name; // null: custom
        GtkPageOrientation orientation;
        const char* why;
    } cases[] = {
        { { 612, 792 }, GTK_PAPER_NAME_LETTER, GTK_PAGE_ORIENTATION_PORTRAIT, "US Letter" },
        { { 595.276f, 841.89f }, GTK_PAPER_NAME_A4, GTK_PAGE_ORIENTATION_PORTRAIT, "A4 in points" },
        { { 841.89f, 595.276f }, GTK_PAPER_NAME_A4, GTK_PAGE_ORIENTATION_LANDSCAPE, "A4 wider than tall" },
        { { 500, 700 }, nullptr, GTK_PAGE_ORIENTATION_PORTRAIT, "no standard paper" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        kit::GRefPtr<GtkPageSetup> held = hosts::pageSetupForPaper(c.paper);
        GtkPageSetup* setup = held.get();
        EXPECT_EQ(gtk_page_setup_get_orientation(setup), c.orientation);
        EXPECT_NEAR(gtk_page_setup_get_paper_width(setup, GTK_UNIT_POINTS), c.paper.width, 0.5);
        EXPECT_NEAR(gtk_page_setup_get_paper_height(setup, GTK_UNIT_POINTS), c.paper.height, 0.5);
        GtkPaperSize* size = gtk_page_setup_get_paper_size(setup);
        if (c.name)
            EXPECT_STREQ(gtk_paper_size_get_name(size), c.name);
        else
            EXPECT_TRUE(gtk_paper_size_is_custom(size));
    }
}
