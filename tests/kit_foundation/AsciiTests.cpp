#include "kit/foundation/Ascii.h"

#include <gtest/gtest.h>

// The copies this replaced lowered with std::tolower, which follows the process's locale (the window host sets
// the user's): in an 8-bit locale it rewrites the bytes of UTF-8 characters. Only A-Z change now.
TEST(Ascii, LowersOnlyTheAsciiLetters)
{
    EXPECT_EQ(kit::asciiLower("Application/RTF; Charset=UTF-8"), "application/rtf; charset=utf-8");
    EXPECT_EQ(kit::asciiLower("@[`{"), "@[`{") << "the neighbours of A-Z and a-z stay";
    EXPECT_EQ(kit::asciiLower("\xC3\x89T\xC3\x89"), "\xC3\x89t\xC3\x89") << "UTF-8 bytes are never touched";
    static_assert(kit::asciiLower('Z') == 'z' && kit::asciiLower('\xC9') == '\xC9');
}

TEST(Ascii, ComparesIgnoringAsciiCase)
{
    EXPECT_TRUE(kit::equalsIgnoringAsciiCase("HYPERLINK", "hyperlink"));
    EXPECT_TRUE(kit::equalsIgnoringAsciiCase("", ""));
    EXPECT_FALSE(kit::equalsIgnoringAsciiCase("yes", "yes ")) << "lengths differ";
    EXPECT_FALSE(kit::equalsIgnoringAsciiCase("@", "`")) << "0x40 and 0x60 differ by the case bit but are not letters";
    EXPECT_FALSE(kit::equalsIgnoringAsciiCase("\xC3\xA9", "\xC3\x89")) << "é and É are not ASCII";
}
