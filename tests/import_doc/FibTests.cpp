#include "import/doc/Fib.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <optional>
#include <vector>

using importer::doc::Fib;
using importer::doc::FibError;

namespace {

// A WordDocument stream of size bytes whose FIB says nFib; the rest is zeros.
std::vector<std::uint8_t> stream(std::size_t size, std::uint16_t nFib)
{
    std::vector<std::uint8_t> bytes(size, 0);
    const std::uint8_t header[] = { 0xEC, 0xA5, std::uint8_t(nFib), std::uint8_t(nFib >> 8) };
    for (std::size_t i = 0; i < sizeof header && i < size; ++i)
        bytes[i] = header[i];
    return bytes;
}

} // namespace

TEST(Fib, SaysWhyItDoesNotParse)
{
    const testsupport::Case<std::vector<std::uint8_t>, std::optional<FibError>> cases[] = {
        { stream(11, 193), FibError::Truncated, "cut one byte before the end of the flags" },
        { stream(12, 100), FibError::Unsupported, "a version before Word 6" },
        { stream(12, 101), FibError::Truncated, "Word 6 without its second block of pairs" },
        { stream(33, 193), FibError::Truncated, "Word 97 cut before the count of its shorts" },
    };
    testsupport::expectEach(cases, [](const std::vector<std::uint8_t>& bytes) {
        auto parsed = Fib::parse(importer::ByteReader(bytes));
        return parsed.ok() ? std::nullopt : std::optional(parsed.error());
    });
    EXPECT_TRUE(Fib::parse(importer::ByteReader(stream(1024, 193))).ok()) << "a whole Word 97 FIB, all zeros";
}

TEST(Fib, ErrorsReadAsTheImportErrorsTheUserIsTold)
{
    const testsupport::Case<FibError, const char*> cases[] = {
        { FibError::Truncated, "truncated", "a FIB cut off" },
        { FibError::Unsupported, "not a known format", "a Word version we do not read" },
    };
    testsupport::expectEach(cases, [](FibError error) { return errorText(error); });
}
