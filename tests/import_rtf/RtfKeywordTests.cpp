#include "import/rtf/RtfKeyword.h"
#include "support/Cases.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <set>
#include <string>

using importer::rtf::findKeyword;
using importer::rtf::Keyword;
using importer::rtf::keywordTable;

TEST(RtfKeyword, FindsEachWordByItsExactLetters)
{
    const testsupport::Case<const char*, Keyword> cases[] = {
        { "b", Keyword::Bold, "a one-letter word" },
        { "a", Keyword::Unknown, "before the first row" },
        { "zwnbo", Keyword::Character, "the last row" },
        { "zzz", Keyword::Unknown, "after the last row" },
        { "B", Keyword::Unknown, "control words are case-sensitive" },
        { "", Keyword::Unknown, "no letters" },
        { "fonttb", Keyword::Unknown, "a prefix of a word is not the word" },
        { "fonttbll", Keyword::Unknown, "nor is a word with more letters" },
        { "mmathPr", Keyword::HiddenDestination, "the one word with a capital letter" },
        { "sectd", Keyword::SectionDefaults, "a page setup word that the document's section state reads too" },
        { "brdrt", Keyword::ParagraphBorder, "a row of its own wins over the border-style prefix" },
        { "brdrtbl", Keyword::NoBorder, "the table border style is no line" },
        { "brdrdash", Keyword::SingleBorder, "a border style that has no row is a single line" },
        { "brdr", Keyword::SingleBorder, "the prefix alone too" },
        { "brdrthtnsg", Keyword::DoubleBorder, "the thick-thin styles are double lines" },
        { "brdrtnthmg", Keyword::DoubleBorder, "and the thin-thick ones" },
        { "brd", Keyword::Unknown, "shorter than the prefix" },
    };
    testsupport::expectEach(cases, [](const char* word) { return findKeyword(word).keyword; });
}

TEST(RtfKeyword, RowsCarryTheDetailsTheirWordsDifferBy)
{
    const testsupport::Case<const char*, int> cases[] = {
        { "emdash", 0x2014, "a character word carries its character" },
        { "zwbo", 0x200B, "the zero-width break" },
        { "zwnbo", 0x2060, "and the word joiner, not the same" },
        { "clpadl", 0, "Word's left cell padding is the top one" },
        { "clpadt", 1, "and its top one the left" },
        { "trpaddt", 0, "row padding keeps the usual order" },
        { "trbrdrv", 5, "the inside vertical border is the last of a row's six" },
        { "ansi", 1252, "a character set carries its code page" },
        { "pca", 850, "the PC character set of western Europe" },
        { "headery", 7, "the header distance is the same length for the document and a section" },
        { "b", 0, "a word without a detail" },
    };
    testsupport::expectEach(cases, [](const char* word) { return findKeyword(word).detail; });
}

TEST(RtfKeyword, TableIsSortedWithOneRowPerWord)
{
    auto table = keywordTable();
    ASSERT_GT(table.size(), 300u);
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end(), [](const auto& a, const auto& b) { return a.word < b.word; }));
    std::set<std::string_view> words;
    for (const auto& row : table) {
        SCOPED_TRACE(std::string(row.word));
        EXPECT_TRUE(words.insert(row.word).second);
        EXPECT_NE(row.keyword, Keyword::Unknown);
        // Every row is found again by its own letters: the search and the sort agree.
        EXPECT_EQ(findKeyword(row.word).keyword, row.keyword);
        EXPECT_TRUE(std::all_of(row.word.begin(), row.word.end(), [](char c) { return std::isalpha(static_cast<unsigned char>(c)); }));
    }
}
