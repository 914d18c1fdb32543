#include "kit/foundation/PropertyListError.h"
#include "kit/foundation/Value.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <string>

using kit::PropertyListError;
using kit::PropertyListFailure;

TEST(PropertyListError, EachErrorIsSpelledWithWhatItNames)
{
    using E = PropertyListError;
    const testsupport::Case<PropertyListFailure, std::string> cases[] = {
        { { E::TooLarge }, "property list larger than 16777216 bytes", "the size cap, in bytes" },
        { { E::NotXml, "unexpected end of data", 17 }, "not an XML document: unexpected end of data at byte 17",
            "the parser's complaint and where it stopped" },
        { { E::NotOneValue, "plist" }, "<plist> must hold exactly one value", "the element in angle brackets" },
        { { E::NotEmpty, "true" }, "<true/> must be empty", "an empty element's form" },
        { { E::NotInteger, "12x" }, "<integer> holds \"12x\", not a 64-bit integer", "the text in quotes" },
        { { E::KeyWithoutValue, "a@b" }, "the key \"a@b\" has no value", "a detail holding the placeholder's character" },
        { { E::TextInArray }, "<array> holds text outside its values", "an error that names nothing" },
        { { E::TooDeep }, "nested deeper than 256 levels", "the XML form's depth cap" },
        { { E::BinaryTooDeep }, "malformed binary property list: nested deeper than 256 levels",
            "the binary form's says which form" },
        { { E::BinaryTooManyValues },
            "malformed binary property list: more than 1048576 values once references are expanded",
            "the value cap counts what references expand to" },
        { { E::BinaryUnreadable }, "malformed binary property list", "the library's refusal says no more" },
        { { E::NotBinary }, "malformed binary property list: not a binary property list (bad header or too short)",
            "the first of the binary checks" },
        { { E::UnusedValueType }, "malformed binary property list: a value type that property lists do not use",
            "the last error of the enum" },
    };
    testsupport::expectEach(cases, [](const PropertyListFailure& failure) { return errorText(failure); });
}

// The readers stop at the first problem, name it and keep what the text needs to say where it is.
TEST(PropertyListError, ReadersSayWhereTheyStopped)
{
    using E = PropertyListError;
    const struct {
        const char* input;
        PropertyListFailure expected;
    } cases[] = {
        { "<plist><integer>twelve</integer></plist>", { E::NotInteger, "twelve" } },
        { "<plist><dict><key>k</key></dict></plist>", { E::KeyWithoutValue, "k" } },
        { "<plist><dict><string>v</string><key>k</key></dict></plist>", { E::KeyExpected, "string" } },
        { "<plist><frame/></plist>", { E::UnknownElement, "frame" } },
        { "<plist/>", { E::EmptyPlist } },
        { "bplist00", { E::NotBinary } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        auto read = kit::Value::fromPropertyList(std::string_view(c.input));
        ASSERT_FALSE(read.ok());
        EXPECT_EQ(read.error().error, c.expected.error);
        EXPECT_EQ(read.error().detail, c.expected.detail);
        EXPECT_EQ(errorText(read.error()), errorText(c.expected));
    }
}
