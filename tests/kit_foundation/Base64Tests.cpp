#include "kit/foundation/Base64.h"

#include <gtest/gtest.h>

namespace {

std::optional<std::string> decoded(std::string_view text, kit::Base64Rule rule)
{
    auto bytes = kit::decodeBase64(text, rule);
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

} // namespace

// Property lists and documents read base64 through one decoder; where their writers differ, so do the rules.
TEST(Base64, StrictAndForgivingRules)
{
    const std::optional<std::string> refused;
    const struct {
        std::string text;
        std::optional<std::string> strict, forgiving;
        const char* why;
    } cases[] = {
        { "TWFu", "Man", "Man", "one whole group" },
        { "TWE=", "Ma", "Ma", "padded to a whole group" },
        { "TWE", "Ma", "Ma", "unpadded" },
        { "TQ==", "M", "M", "two padding digits" },
        { " TW\r\nFu\t", "Man", "Man", "white space between digits" },
        { "", "", "", "nothing" },
        { "+/+/", "\xFB\xFF\xBF", "\xFB\xFF\xBF", "the standard letters for 62 and 63" },
        { "-_-_", refused, "\xFB\xFF\xBF", "the URL-safe letters only where documents are read" },
        { "TW!u", refused, refused, "a foreign character" },
        { "TWE=garbage!", refused, "Ma", "text after the padding: strictly an error, else the end" },
        { "T===", refused, "", "padding after one digit" },
        { "TWE==", refused, "Ma", "one padding digit too many" },
        { "TWFuT", refused, "Man", "a lone final digit carries no byte" },
        { "TWF=", refused, "Ma", "stray bits in the last digit" },
        { "=TWFu", refused, "", "padding first" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(decoded(c.text, kit::Base64Rule::Strict), c.strict);
        EXPECT_EQ(decoded(c.text, kit::Base64Rule::Forgiving), c.forgiving);
    }
}

TEST(Base64, EncodingRoundTripsEveryLength)
{
    std::string bytes;
    for (int length = 0; length < 7; ++length) {
        SCOPED_TRACE(length);
        std::string encoded = kit::encodeBase64({ reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size() });
        EXPECT_EQ(encoded.size(), (bytes.size() + 2) / 3 * 4) << "padded to whole groups";
        EXPECT_EQ(decoded(encoded, kit::Base64Rule::Strict), bytes);
        bytes += char(0xF0 + length);
    }
    EXPECT_EQ(kit::encodeBase64(std::vector<std::uint8_t> { 'M', 'a' }), "TWE=");
}
