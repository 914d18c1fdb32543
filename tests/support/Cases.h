#pragma once

namespace testsupport {

// One row of the usual table of cases: what goes in, what must come out, and why the row is there (the
// SCOPED_TRACE of a failure). Tables whose rows need more than one input or output declare their own row.
//
//     const testsupport::Case<const char*, bool> cases[] = {
//         { "{\\rtf1 x}", true, "the usual header" },
//     };
//     for (const auto& c : cases) {
//         SCOPED_TRACE(c.why);
//         EXPECT_EQ(looksLikeRtf(c.input), c.expected);
//     }
template <typename Input, typename Expected> struct Case {
    Input input;
    Expected expected;
    const char* why;
};

} // namespace testsupport
