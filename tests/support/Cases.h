#pragma once

#include <cstddef>
#include <gtest/gtest.h>
#include <source_location>
#include <type_traits>

namespace testsupport {

// One row of the usual table of cases: what goes in, what must come out, and why the row is there (the
// SCOPED_TRACE of a failure). Several inputs go in as a std::tuple, named again where the row is checked
// (`const auto& [installed, latest] = c.input;`); tables whose rows have several outputs declare their own row.
//
//     const testsupport::Case<const char*, bool> cases[] = {
//         { "{\\rtf1 x}", true, "the usual header" },
//     };
//     testsupport::expectEach(cases, [](const auto& input) { return looksLikeRtf(input); });
template <typename Input, typename Expected> struct Case {
    Input input;
    Expected expected;
    const char* why;
};

// Checks every row of a table: actual(row.input) must equal row.expected. A failure names the line of the
// call, the row's reason and its input; C strings compare by their characters, not their addresses.
template <typename Input, typename Expected, std::size_t N, typename Actual>
void expectEach(const Case<Input, Expected> (&cases)[N], Actual actual,
    std::source_location where = std::source_location::current())
{
    for (const auto& c : cases) {
        ::testing::ScopedTrace trace(where.file_name(), int(where.line()), c.why);
        auto result = actual(c.input);
        if constexpr (std::is_convertible_v<decltype(result), const char*> && std::is_convertible_v<Expected, const char*>)
            EXPECT_STREQ(result, c.expected) << "input: " << ::testing::PrintToString(c.input);
        else
            EXPECT_EQ(result, c.expected) << "input: " << ::testing::PrintToString(c.input);
    }
}

} // namespace testsupport
