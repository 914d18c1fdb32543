#include "kit/foundation/Result.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <tuple>

namespace {

enum class Problem { TooShort, TooLong };

kit::Result<int, Problem> lengthOf(const std::string& text)
{
    if (text.size() < 2)
        return kit::Result<int, Problem>::failure(Problem::TooShort);
    if (text.size() > 5)
        return kit::Result<int, Problem>::failure(Problem::TooLong);
    return int(text.size());
}

// Two tries in a row: the second runs only when the first gave a value.
kit::Result<std::string, Problem> describe(const std::string& first, const std::string& second, int& reached)
{
    int a = LECTORIN_TRY(lengthOf(first));
    ++reached;
    int b = LECTORIN_TRY(lengthOf(second));
    ++reached;
    return std::to_string(a) + "+" + std::to_string(b);
}

std::string outcome(const kit::Result<std::string, Problem>& result)
{
    if (result.ok())
        return result.value();
    return result.error() == Problem::TooShort ? "too short" : "too long";
}

} // namespace

TEST(Result, TryGivesTheValueOrReturnsTheErrorAtOnce)
{
    using Input = std::tuple<const char*, const char*>;
    const testsupport::Case<Input, std::tuple<std::string, int>> cases[] = {
        { { "abc", "de" }, { "3+2", 2 }, "both values: the function runs to its end" },
        { { "a", "de" }, { "too short", 0 }, "the first fails: nothing after it runs" },
        { { "abc", "toolong" }, { "too long", 1 }, "the second fails: its error, not the first's value" },
        { { "a", "toolong" }, { "too short", 0 }, "both would fail: the first error is the one returned" },
    };
    testsupport::expectEach(cases, [](const Input& input) {
        int reached = 0;
        std::string result = outcome(describe(std::get<0>(input), std::get<1>(input), reached));
        return std::tuple { result, reached };
    });
}

TEST(Result, TryMovesValuesAndConvertsErrors)
{
    // A value that cannot be copied comes out of the try by moving.
    auto make = [](bool fail) -> kit::Result<std::unique_ptr<int>, const char*> {
        if (fail)
            return kit::Result<std::unique_ptr<int>, const char*>::failure("no number");
        return std::make_unique<int>(7);
    };
    // The error of the inner result becomes the error type of the outer one (a C string into a std::string).
    auto twice = [&](bool fail) -> kit::Result<int> {
        std::unique_ptr<int> number = LECTORIN_TRY(make(fail));
        return *number * 2;
    };
    kit::Result<int> good = twice(false);
    ASSERT_TRUE(good.ok());
    EXPECT_EQ(*good, 14);
    kit::Result<int> bad = twice(true);
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error(), "no number");
    EXPECT_EQ(bad.valueOr(-1), -1);
}
