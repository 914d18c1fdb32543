#include "import/rtf/RtfKeyword.h"
#include "support/Cases.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <utility>

using importer::rtf::findKeyword;
using importer::rtf::Keyword;
using importer::rtf::keywordTable;

// Each word's meaning, and the detail in which words of one meaning differ.
TEST(RtfKeyword, FindsEachWordByItsExactLetters)
{
    using Found = std::pair<Keyword, int>;
    const testsupport::Case<const char*, Found> cases[] = {
        { "b", { Keyword::CharacterFlag, 0 }, "a one-letter word: the first character flag, bold" },
        { "v", { Keyword::CharacterFlag, 4 }, "hidden text, the last flag" },
        { "a", { Keyword::Unknown, 0 }, "before the first row" },
        { "zwnbo", { Keyword::Character, 0x2060 }, "the last row: the word joiner" },
        { "zwbo", { Keyword::Character, 0x200B }, "the zero-width break, not the same character" },
        { "emdash", { Keyword::Character, 0x2014 }, "a character word carries its character" },
        { "zzz", { Keyword::Unknown, 0 }, "after the last row" },
        { "B", { Keyword::Unknown, 0 }, "control words are case-sensitive" },
        { "", { Keyword::Unknown, 0 }, "no letters" },
        { "fonttb", { Keyword::Unknown, 0 }, "a prefix of a word is not the word" },
        { "fonttbll", { Keyword::Unknown, 0 }, "nor is a word with more letters" },
        { "mmathPr", { Keyword::HiddenDestination, 0 }, "the one word with a capital letter" },
        { "sectd", { Keyword::SectionDefaults, 0 }, "a page setup word that the section state reads too" },
        { "clpadl", { Keyword::CellPadding, 0 }, "Word's left cell padding is the top one" },
        { "clpadt", { Keyword::CellPadding, 1 }, "and its top one the left" },
        { "trpaddt", { Keyword::RowPadding, 0 }, "row padding keeps the usual order" },
        { "trbrdrv", { Keyword::RowBorder, 5 }, "the inside vertical border is the last of a row's six" },
        { "ansi", { Keyword::CharacterSet, 1252 }, "a character set carries its code page" },
        { "pca", { Keyword::CharacterSet, 850 }, "the PC character set of western Europe" },
        { "headery", { Keyword::HeaderFooterDistance, 7 }, "one length for the document and a section" },
        { "brdrt", { Keyword::ParagraphBorder, 0 }, "a row of its own wins over the border-style prefix" },
        { "brdrtbl", { Keyword::NoBorder, 0 }, "the table border style is no line" },
        { "brdrdash", { Keyword::SingleBorder, 0 }, "a border style that has no row is a single line" },
        { "brdr", { Keyword::SingleBorder, 0 }, "the prefix alone too" },
        { "brdrthtnsg", { Keyword::DoubleBorder, 0 }, "the thick-thin styles are double lines" },
        { "brdrtnthmg", { Keyword::DoubleBorder, 0 }, "and the thin-thick ones" },
        { "brd", { Keyword::Unknown, 0 }, "shorter than the prefix" },
    };
    testsupport::expectEach(cases, [](const char* word) {
        auto entry = findKeyword(word);
        return Found { entry.keyword, entry.detail };
    });
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
