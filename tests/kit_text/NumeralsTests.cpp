#include "kit/text/Numerals.h"
#include "kit/text/PageSetup.h"

#include <gtest/gtest.h>

// Every list and page-number style of every importer spells numbers through these, so one range holds for all:
// the readers once disagreed (one capped letters at 50 repeats and so gave 1,301 the label of 1,275; one wrote
// page numbers in roman numerals up to 100,000 as a hundred m's).
TEST(Numerals, SpellOneRangeAndWriteDigitsOutsideIt)
{
    const struct {
        int number;
        bool upper;
        const char* roman;
        const char* letters;
        const char* why;
    } cases[] = {
        { 1, false, "i", "a", "the first" },
        { 4, true, "IV", "D", "subtraction, capitals" },
        { 26, false, "xxvi", "z", "the end of the alphabet" },
        { 27, false, "xxvii", "aa", "the letter doubles after z" },
        { 53, true, "LIII", "AAA", "and triples after zz" },
        { 1994, true, "MCMXCIV", nullptr, "a roman form with every kind of subtraction" },
        { 3999, true, "MMMCMXCIX", nullptr, "the last spelled number" },
        { 4000, false, "4000", "4000", "one past it: digits" },
        { 0, false, "0", "0", "zero has no spelled form" },
        { -3, true, "-3", "-3", "nor have negative numbers" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(kit::romanNumeral(c.number, c.upper), c.roman);
        if (c.letters) {
            EXPECT_EQ(kit::letterNumeral(c.number, c.upper), c.letters);
        }
    }
    EXPECT_EQ(kit::letterNumeral(1301, false), std::string(51, 'a')) << "each round of the alphabet adds a letter";
    EXPECT_EQ(kit::letterNumeral(1994, true), std::string(77, 'R'));
    EXPECT_EQ(kit::letterNumeral(3999, false), std::string(154, 'u'));
    EXPECT_EQ(kit::formatPageNumber(4000, kit::PageNumberFormat::LowerRoman), "4000");
    EXPECT_EQ(kit::formatPageNumber(1301, kit::PageNumberFormat::LowerLetter), std::string(51, 'a'));
}

TEST(Numerals, CountOtherAlphabetsTheSameWay)
{
    static const char32_t greek[] = { U'α', U'β', U'γ' };
    EXPECT_EQ(kit::letterNumeral(2, greek, false), "β");
    EXPECT_EQ(kit::letterNumeral(4, greek, true), "ΑΑ");
    EXPECT_EQ(kit::letterNumeral(4000, greek, false), "4000");
    EXPECT_EQ(kit::letterNumeral(5, {}, false), "5") << "no alphabet: digits";
}

TEST(Numerals, OrdinalSuffixes)
{
    const struct {
        int number;
        const char* suffix;
    } cases[] = {
        { 1, "st" }, { 2, "nd" }, { 3, "rd" }, { 4, "th" }, { 0, "th" }, { 11, "th" }, { 12, "th" }, { 13, "th" },
        { 21, "st" }, { 22, "nd" }, { 101, "st" }, { 111, "th" }, { 112, "th" }, { 1003, "rd" },
    };
    for (const auto& c : cases)
        EXPECT_STREQ(kit::ordinalSuffix(c.number), c.suffix) << c.number;
}
