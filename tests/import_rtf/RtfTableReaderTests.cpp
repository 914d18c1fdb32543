// The readers of the document's font, colour and style tables, fed the words and text the RTF reader hands
// them as it meets them.
#include "import/rtf/RtfColorTable.h"
#include "import/rtf/RtfFontTable.h"
#include "import/rtf/RtfStyleSheet.h"

#include <gtest/gtest.h>
#include <span>
#include <string_view>

using namespace importer::rtf;

TEST(RtfFontTable, EntriesEndAtTheirSemicolonTheNextFontOrTheirGroup)
{
    RtfFontTable fonts;
    fonts.begin();
    fonts.beginEntry(0);
    fonts.appendName("  Times New Roman ;");
    fonts.beginEntry(1);
    fonts.setCharset(204);
    fonts.appendName("Arial Cyr");
    fonts.beginEntry(2); // no ';' after Arial Cyr: the next \f ends it
    fonts.appendName("Sym\tbol");
    fonts.endGroup(false); // a braced entry without its semicolon
    fonts.beginEntry(3);
    fonts.setCharset(2);
    fonts.appendName("Anything");
    fonts.endGroup(true);

    ASSERT_NE(fonts.font(0), nullptr);
    EXPECT_EQ(fonts.name(0), "Times New Roman") << "blanks around the name go";
    EXPECT_EQ(fonts.font(0)->codePage, 0) << "the document's code page";
    EXPECT_EQ(fonts.name(1), "Arial Cyr");
    EXPECT_EQ(fonts.font(1)->codePage, 1251) << "\\fcharset204 is Cyrillic";
    EXPECT_EQ(fonts.name(2), "Symbol") << "a control character is no part of a name";
    EXPECT_TRUE(fonts.font(2)->isSymbol) << "known by its name";
    EXPECT_TRUE(fonts.font(3)->isSymbol) << "known by its charset";
    EXPECT_EQ(fonts.font(4), nullptr);
    EXPECT_EQ(fonts.name(4), "");
}

TEST(RtfFontTable, OnlyACodePageThatCanBeDecodedCounts)
{
    RtfFontTable fonts;
    fonts.begin();
    fonts.beginEntry(0);
    fonts.setCodePage(932);
    fonts.setCodePage(12345);
    EXPECT_EQ(fonts.entry().codePage, 932) << "the entry being read, whose name is decoded in it";
    fonts.appendName("MS Mincho;");
    EXPECT_EQ(fonts.font(0)->codePage, 932);
    fonts.appendName("no number;");
    EXPECT_EQ(fonts.font(-1), nullptr) << "an entry without \\f is not kept";
}

TEST(RtfColorTable, AutomaticEntriesAndClampedComponents)
{
    RtfColorTable colors;
    colors.begin();
    colors.endEntry(); // the usual empty first entry: automatic
    colors.setComponent(0, 255);
    colors.setComponent(2, 51);
    colors.endEntry();
    colors.setComponent(1, 300);
    colors.setComponent(0, -4);
    colors.endEntry();
    EXPECT_EQ(colors.color(0), std::nullopt) << "index 0 is automatic whatever the table says";
    EXPECT_EQ(colors.color(1), kit::Color::calibratedRGB(1, 0, 0.2f)) << "a missing component is 0";
    EXPECT_EQ(colors.color(2), kit::Color::calibratedRGB(0, 1, 0)) << "components are clamped to 0-255";
    EXPECT_EQ(colors.color(3), std::nullopt) << "past the table";
    EXPECT_EQ(colors.color(-1), std::nullopt);
    colors.begin();
    EXPECT_EQ(colors.color(1), std::nullopt) << "a new table starts empty";
}

TEST(RtfStyleSheet, KeepsFormattingWordsAndMakesHeadingsOfTheirNames)
{
    auto bytes = [](std::string_view text) {
        return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    };
    RtfStyleSheet styles;
    styles.setEntryNumber(1);
    styles.addWord({ Keyword::ParagraphStyle, 0, 1, true });
    styles.setBasedOn(0);
    styles.addWord({ Keyword::BasedOn, 0, 0, true });
    styles.addWord({ Keyword::CharacterFlag, 0, 1, false });
    styles.appendName(bytes(" heading 2 ;"));
    styles.finishEntry();
    styles.setEntryNumber(2);
    styles.addWord({ Keyword::OutlineLevel, 0, 5, true });
    styles.appendName(bytes("heading 1;"));
    styles.finishEntry();
    styles.appendName(bytes("no number;"));
    styles.finishEntry();

    const RtfStyleSheet::Style* heading = styles.style(1);
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->basedOn, 0);
    ASSERT_EQ(heading->words.size(), 2u) << "the words that name and link styles are not replayed";
    EXPECT_EQ(heading->words[0].keyword, Keyword::CharacterFlag);
    EXPECT_EQ(heading->words[1].keyword, Keyword::OutlineLevel) << "\"heading 2\" is the outline's second level";
    EXPECT_EQ(heading->words[1].parameter, 1);
    ASSERT_NE(styles.style(2), nullptr);
    ASSERT_EQ(styles.style(2)->words.size(), 1u) << "an outline level of its own wins over the name";
    EXPECT_EQ(styles.style(2)->words[0].parameter, 5);
    EXPECT_EQ(styles.style(-1), nullptr);
    EXPECT_EQ(styles.style(3), nullptr);
}
