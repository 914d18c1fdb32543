#include "hosts/cli/Json.h"

#include <gtest/gtest.h>

// The info lines (JSON) and the defaults commands (old-style property-list text) quote through one function;
// only the form of a control byte without a letter escape differs.
TEST(Quoting, LetterEscapesAreSharedAndOtherControlsFollowTheFormat)
{
    const struct {
        std::string text;
        const char* json;
        const char* propertyList;
        const char* why;
    } cases[] = {
        { "plain", "\"plain\"", "\"plain\"", "nothing to escape" },
        { "say \"hi\"\\", R"("say \"hi\"\\")", R"("say \"hi\"\\")", "quote and backslash" },
        { "a\nb\r\tc", R"("a\nb\r\tc")", R"("a\nb\r\tc")", "the letter escapes" },
        { std::string("\x01\x1f", 2), R"("\u0001\u001f")", R"("\001\037")", "other control bytes" },
        { std::string("nul\0x", 5), R"("nul\u0000x")", R"("nul\000x")", "a NUL stays inside the quotes" },
        { "caf\xC3\xA9 \x7f", "\"caf\xC3\xA9 \x7f\"", "\"caf\xC3\xA9 \x7f\"", "UTF-8 and DEL pass through" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(hosts::quoted(c.text, hosts::ControlEscape::Unicode), c.json);
        EXPECT_EQ(hosts::Json::quote(c.text), c.json);
        EXPECT_EQ(hosts::quoted(c.text, hosts::ControlEscape::Octal), c.propertyList);
    }
}
