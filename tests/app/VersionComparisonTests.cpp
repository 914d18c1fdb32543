#include "plugin/VersionComparison.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <tuple>

TEST(VersionComparison, CaseInsensitiveAndNumeric)
{
    const testsupport::Case<std::tuple<const char*, const char*>, int> cases[] = {
        { { "1.9", "1.10" }, -1, "digit runs compare by value, not character by character" },
        { { "1.10", "1.9" }, 1, "the same pair the other way round" },
        { { "1.0b2", "1.0B2" }, 0, "letters compare without regard to case" },
        { { "2.0", "1.5" }, 1, "an installed version later than the published one" },
        { { "1.0", "1.0.1" }, -1, "a shorter version that is a prefix sorts first" },
        { { "1.0", "1.0.0" }, -1, "trailing zeros still make a longer string, which sorts after" },
        { { "1.0", "1.0b1" }, -1, "a prefix sorts before any suffix, letters included" },
        { { "1.0b2", "1.0b10" }, -1, "digits after letters compare by value too" },
        { { "1.2.1", "1.2.1" }, 0, "identical" },
        { { "1.02", "1.2" }, 0, "leading zeros do not change a number's value" },
        { { "99999999999999999999999", "100000000000000000000000" }, -1, "runs longer than any integer type" },
        { { "1.a", "1.B" }, -1, "letters in alphabetical order whatever their case" },
        { { "", "1" }, -1, "no version sorts before any" },
        { { "", "" }, 0, "two empty strings" },
    };
    for (const auto& c : cases) {
        const auto& [installed, latest] = c.input;
        SCOPED_TRACE(c.why);
        EXPECT_EQ(plugin::compareVersions(installed, latest), c.expected) << installed << " vs " << latest;
        EXPECT_EQ(plugin::compareVersions(latest, installed), -c.expected) << "the comparison is antisymmetric";
    }
}
