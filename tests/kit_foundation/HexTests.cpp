#include "kit/foundation/Hex.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

// One rule for every reader of hexadecimal text: the copies it replaced disagreed on bytes that are not
// digits (one returned a value for 'G'), so the edges of each range are pinned here.
TEST(Hex, ValuesOfDigitsAndMinusOneForEverythingElse)
{
    const testsupport::Case<unsigned char, int> cases[] = {
        { '0', 0, "first digit" },
        { '9', 9, "last digit" },
        { 'a', 10, "lower case" },
        { 'F', 15, "upper case" },
        { '/', -1, "just before '0'" },
        { ':', -1, "just after '9'" },
        { '@', -1, "just before 'A'" },
        { 'G', -1, "just after 'F'" },
        { 'g', -1, "just after 'f'" },
        { 0xC6, -1, "a byte with the high bit set is never a digit" },
    };
    testsupport::expectEach(cases, [&](const auto& input) { return kit::hexValue(input); });
    static_assert(kit::hexValue('b') == 11, "usable in constant expressions");
}
