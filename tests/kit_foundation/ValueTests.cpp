#include "kit/foundation/Value.h"
#include "support/Cases.h"
#include "support/PlistBytes.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <plist/plist.h>
#include <random>
#include <string>
#include <vector>

using kit::Value;

namespace {

std::string wrap(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">" + body + "</plist>";
}

std::string nested(std::size_t levels, const std::string& open, const std::string& close, const std::string& inner)
{
    std::string text;
    for (std::size_t i = 0; i < levels; ++i)
        text += open;
    text += inner;
    for (std::size_t i = 0; i < levels; ++i)
        text += close;
    return text;
}

// Lays out a binary property list from hand-made objects: one-byte references and offsets wide enough
// for the file, so that tests can build exactly the structure they mean, broken ones included.
struct BinaryBuilder {
    std::vector<std::vector<std::uint8_t>> objects;
    std::size_t referenceSize = 1;

    std::size_t add(std::vector<std::uint8_t> object)
    {
        objects.push_back(std::move(object));
        return objects.size() - 1;
    }
    std::vector<std::uint8_t> reference(std::size_t index) const
    {
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = referenceSize; i-- > 0;)
            bytes.push_back(std::uint8_t(index >> (8 * i)));
        return bytes;
    }
    std::vector<std::uint8_t> container(std::uint8_t type, const std::vector<std::size_t>& references) const
    {
        std::vector<std::uint8_t> bytes;
        if (references.size() < 15 || type == 0xD0) {
            bytes.push_back(std::uint8_t(type | (type == 0xD0 ? references.size() / 2 : references.size())));
        } else {
            bytes = { std::uint8_t(type | 0x0F), 0x12 };
            for (int shift = 24; shift >= 0; shift -= 8)
                bytes.push_back(std::uint8_t(references.size() >> shift));
        }
        for (std::size_t reference : references) {
            auto encoded = this->reference(reference);
            bytes.insert(bytes.end(), encoded.begin(), encoded.end());
        }
        return bytes;
    }
    std::string build(std::size_t top = 0) const
    {
        std::string out = "bplist00";
        std::vector<std::uint64_t> offsets;
        for (const auto& object : objects) {
            offsets.push_back(out.size());
            out.append(object.begin(), object.end());
        }
        std::uint64_t table = out.size();
        for (std::uint64_t offset : offsets) {
            for (int shift = 24; shift >= 0; shift -= 8)
                out += char(offset >> shift);
        }
        std::string trailer(32, '\0');
        trailer[6] = 4;
        trailer[7] = char(referenceSize);
        for (int i = 0; i < 8; ++i) {
            trailer[8 + i] = char(std::uint64_t(objects.size()) >> (56 - 8 * i));
            trailer[16 + i] = char(std::uint64_t(top) >> (56 - 8 * i));
            trailer[24 + i] = char(table >> (56 - 8 * i));
        }
        return out + trailer;
    }
};

std::vector<std::uint8_t> asciiString(const std::string& text)
{
    std::vector<std::uint8_t> bytes { std::uint8_t(0x50 | text.size()) };
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

std::vector<std::uint8_t> dateObject(double seconds)
{
    std::uint64_t bits;
    std::memcpy(&bits, &seconds, 8);
    std::vector<std::uint8_t> bytes { 0x33 };
    for (int shift = 56; shift >= 0; shift -= 8)
        bytes.push_back(std::uint8_t(bits >> shift));
    return bytes;
}

// libplist's own binary writer, fed with our XML: an independent producer of binary property lists.
std::string binaryFromXml(const std::string& xml)
{
    plist_t root = nullptr;
    plist_from_xml(xml.data(), std::uint32_t(xml.size()), &root);
    EXPECT_NE(root, nullptr) << "libplist refused our XML:\n" << xml;
    if (!root)
        return {};
    return testsupport::binaryPlist(root);
}

Value everyKind()
{
    Value root = Value::dictionary();
    root.set("integer max", Value::integer(std::numeric_limits<std::int64_t>::max()));
    root.set("integer min", Value::integer(std::numeric_limits<std::int64_t>::min()));
    root.set("integer zero", Value::integer(0));
    root.set("real", Value::real(0.45));
    root.set("real float", Value::real(double(0.38f)));
    root.set("real tiny", Value::real(5e-324));
    root.set("real huge", Value::real(-1.7976931348623157e308));
    root.set("real negative zero", Value::real(-0.0));
    root.set("true", Value::boolean(true));
    root.set("false", Value::boolean(false));
    root.set("markup", Value::string("a < b && c > d; \"quoted\" 'apostrophe' ]]>"));
    root.set("controls", Value::string("tab\there\r\nline\x01\x1f end"));
    root.set("unicode", Value::string("Grüße, Привет, שלום, 漢字, 😀"));
    root.set("spaces", Value::string("   "));
    root.set("", Value::string("the empty key"));
    root.set("date", Value::date(700000000));
    root.set("date before 2001", Value::date(-978307200)); // 1970-01-01
    root.set("empty data", Value::data({}));
    root.set("data", Value::data({ 0, 1, 2, 0xFF, 0xFE }));
    Value::Bytes longData;
    for (int i = 0; i < 300; ++i)
        longData.push_back(std::uint8_t(i * 7));
    root.set("long data", Value::data(longData));
    root.set("empty array", Value::array());
    root.set("empty dictionary", Value::dictionary());
    Value colour = Value::array();
    colour.append(Value::real(double(0.38f)));
    colour.append(Value::integer(1));
    colour.append(Value::array({ Value::dictionary({ { "deep", Value::boolean(true) } }) }));
    root.set("array", colour);
    return root;
}

} // namespace

TEST(Value, AccessorsAnswerOnlyForTheirOwnType)
{
    const Value values[]
        = { Value::dictionary({ { "k", Value::integer(1) } }), Value::array({ Value::integer(1) }), Value::integer(7),
              Value::real(2.5), Value::boolean(true), Value::string("s"), Value::date(3.7), Value::data({ 1 }) };
    for (const Value& value : values) {
        SCOPED_TRACE(Value::typeName(value.type()));
        EXPECT_EQ(value.asDouble().has_value(), value.isNumber());
        EXPECT_EQ(value.asInteger().has_value(), value.isInteger()) << "a real is not an integer";
        EXPECT_EQ(value.asBool().has_value(), value.isBoolean()) << "numbers are not booleans here";
        EXPECT_EQ(value.asString() != nullptr, value.isString());
        EXPECT_EQ(value.asDate().has_value(), value.isDate()) << "a date is not a number, nor a number a date";
        EXPECT_EQ(value.asData() != nullptr, value.isData());
        EXPECT_EQ(value.asArray() != nullptr, value.isArray());
        EXPECT_EQ(value.asDictionary() != nullptr, value.isDictionary());
        EXPECT_EQ(value.get("k") != nullptr, value.isDictionary());
        EXPECT_EQ(value.at(0) != nullptr, value.isArray());
        EXPECT_EQ(value.count(), value.isDictionary() || value.isArray() ? 1u : 0u);
    }
    EXPECT_EQ(Value::integer(7).asDouble(), 7.0);
    EXPECT_EQ(Value::date(3.7).asDate(), 3.0) << "dates hold whole seconds";
    EXPECT_EQ(Value::array({ Value::integer(1) }).at(1), nullptr) << "one past the end";
    EXPECT_EQ(Value::dictionary().get("missing"), nullptr);
}

TEST(Value, DatesAreWholeSecondsRoundedDownAndClamped)
{
    const struct {
        double given, stored;
        const char* why;
    } cases[] = {
        { 0.999, 0, "just below a second" },
        { 1.0, 1, "exactly a second" },
        { -0.5, -1, "before the reference date rounds toward the past, not toward zero" },
        { std::nan(""), 0, "NaN has no meaning as a date: the reference date" },
        { 1e300, Value::kMaxDate, "far future clamps to the last writable second" },
        { -std::numeric_limits<double>::infinity(), Value::kMinDate, "far past clamps" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Value::date(c.given).asDate(), c.stored);
        auto back = Value::fromPropertyList(Value::date(c.given).toXmlPropertyList());
        ASSERT_TRUE(back.ok()) << errorText(back.error());
        EXPECT_EQ(back->asDate(), c.stored);
    }
}

TEST(Value, ReadsDatesOnlyInTheirOneForm)
{
    const testsupport::Case<const char*, std::optional<double>> cases[] = {
        { "2001-01-01T00:00:00Z", 0.0, "the reference date" },
        { "1970-01-01T00:00:00Z", -978307200.0, "the Unix epoch" },
        { "2024-02-29T23:59:59Z", 730943999.0, "a leap day's last second" },
        { "2000-02-29T12:00:00Z", -26481600.0, "2000 is a leap year (divisible by 400)" },
        { " 2001-01-01T00:00:01Z\n", 1.0, "surrounding whitespace from pretty-printing" },
        { "0001-01-01T00:00:00Z", Value::kMinDate, "the first writable date" },
        { "9999-12-31T23:59:59Z", Value::kMaxDate, "the last writable date" },
        { "2023-02-29T00:00:00Z", std::nullopt, "2023 has no 29 February" },
        { "1900-02-29T00:00:00Z", std::nullopt, "1900 is not a leap year" },
        { "2001-13-01T00:00:00Z", std::nullopt, "month 13" },
        { "2001-00-01T00:00:00Z", std::nullopt, "month 0" },
        { "2001-04-31T00:00:00Z", std::nullopt, "April has 30 days" },
        { "2001-01-01T24:00:00Z", std::nullopt, "hour 24" },
        { "2001-01-01T00:60:00Z", std::nullopt, "minute 60" },
        { "2001-01-01T00:00:60Z", std::nullopt, "second 60" },
        { "2001-01-01T00:00:00", std::nullopt, "no zone" },
        { "2001-01-01 00:00:00Z", std::nullopt, "space instead of T" },
        { "0000-01-01T00:00:00Z", std::nullopt, "year 0" },
        { "not a date", std::nullopt, "prose" },
        { "", std::nullopt, "empty" },
        { "2001-01-01T00:00:00.5Z", std::nullopt, "fractions are not part of the form" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto read = Value::fromPropertyList(wrap(std::string("<date>") + c.input + "</date>"));
        ASSERT_EQ(read.ok(), c.expected.has_value()) << (read.ok() ? "accepted" : errorText(read.error()));
        if (c.expected) {
            EXPECT_EQ(read->asDate(), *c.expected);
        }
    }
}

TEST(Value, ReadsNumbersStrictly)
{
    constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
    const testsupport::Case<const char*, std::optional<double>> cases[] = {
        { "<integer>42</integer>", 42, "plain" },
        { "<integer> -7 </integer>", -7, "signed, padded" },
        { "<integer>+7</integer>", 7, "explicit plus" },
        { "<integer>0x1F</integer>", 31, "hexadecimal" },
        { "<integer>9223372036854775807</integer>", double(kMax), "largest 64-bit value" },
        { "<integer>9223372036854775808</integer>", std::nullopt, "one past the largest" },
        { "<integer>-9223372036854775808</integer>", double(kMin), "smallest 64-bit value" },
        { "<integer>-9223372036854775809</integer>", std::nullopt, "one below the smallest" },
        { "<integer>12a</integer>", std::nullopt, "trailing garbage" },
        { "<integer></integer>", std::nullopt, "empty" },
        { "<integer>--1</integer>", std::nullopt, "two signs" },
        { "<integer>1.5</integer>", std::nullopt, "a real in an integer" },
        { "<integer>0x</integer>", std::nullopt, "a prefix without digits" },
        { "<real>0.45</real>", 0.45, "plain" },
        { "<real>0.45000000000000001</real>", 0.45, "seventeen digits as other writers produce" },
        { "<real>-1e-3</real>", -0.001, "exponent" },
        { "<real>3</real>", 3, "integral" },
        { "<real>.5</real>", 0.5, "no leading digit" },
        { "<real>+infinity</real>", std::numeric_limits<double>::infinity(), "infinity as written elsewhere" },
        { "<real>-INF</real>", -std::numeric_limits<double>::infinity(), "infinity in capitals" },
        { "<real>abc</real>", std::nullopt, "letters" },
        { "<real></real>", std::nullopt, "empty" },
        { "<real>1.5x</real>", std::nullopt, "trailing garbage" },
        { "<real>1,5</real>", std::nullopt, "a decimal comma" },
        { "<real>1e999</real>", std::nullopt, "beyond a double" },
        { "<real>0x10</real>", std::nullopt, "hexadecimal is not a real" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto read = Value::fromPropertyList(wrap(c.input));
        ASSERT_EQ(read.ok(), c.expected.has_value()) << (read.ok() ? "accepted" : errorText(read.error()));
        if (c.expected) {
            EXPECT_EQ(read->asDouble(), *c.expected);
        }
    }
    auto notNumber = Value::fromPropertyList(wrap("<real>nan</real>"));
    ASSERT_TRUE(notNumber.ok());
    EXPECT_TRUE(std::isnan(*notNumber->asDouble()));
}

TEST(Value, RefusesMalformedXml)
{
    const struct {
        std::string text;
        const char* why;
    } cases[] = {
        { wrap("<dict><key>a</key></dict>"), "a last key without a value" },
        { wrap("<dict><key>a</key><key>b</key><string/></dict>"), "a key followed by a key" },
        { wrap("<dict><string>x</string></dict>"), "a value without a key" },
        { wrap("<dict>text<key>a</key><true/></dict>"), "text inside a dictionary" },
        { wrap("<array><true/>stray</array>"), "text inside an array" },
        { wrap("<dict><key><b/></key><true/></dict>"), "an element inside a key" },
        { wrap("<string>a<b>c</b></string>"), "an element inside a string" },
        { wrap("<true>yes</true>"), "text inside a boolean" },
        { wrap("<data>!!!!</data>"), "not base64" },
        { wrap("<data>QQ=</data>"), "incomplete padding" },
        { wrap("<data>Q</data>"), "a lone base64 digit" },
        { wrap("<data>QQ==QQ==</data>"), "data after padding" },
        { wrap("<set/>"), "an element property lists do not have" },
        { wrap("<string>\xff\xfe</string>"), "bytes that are not UTF-8" },
        { wrap("<true/><false/>"), "two values at the top" },
        { wrap(""), "no value at all" },
        { wrap("loose text"), "text instead of a value" },
        { "<dict><key>a</key><true/></dict>", "no <plist> root" },
        { "<?xml version=\"1.0\"?><plist><true/></plist><plist><true/></plist>", "two roots" },
        { "garbage<plist><true/></plist>", "text before the root" },
        { "<plist><true/></plist>garbage", "text after the root" },
        { "<plist><dict><key>a</key><string>b</string>", "truncated: open elements" },
        { "<plist><dict><key>a</key><string>b</str", "truncated inside a tag" },
        { "<plist><array></dict></plist>", "mismatched end tag" },
        { "", "empty input" },
        { "{ a = b; }", "not XML" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto read = Value::fromPropertyList(c.text);
        EXPECT_FALSE(read.ok());
        if (!read.ok()) {
            EXPECT_FALSE(errorText(read.error()).empty()) << "a refusal says why";
        }
    }
}

TEST(Value, ReadsWellFormedXmlVariants)
{
    const testsupport::Case<std::string, Value> cases[] = {
        { wrap("<string/>"), Value::string(""), "an empty string element" },
        { wrap("<string>  </string>"), Value::string("  "), "whitespace is content in a string" },
        { wrap("<string>a&amp;b &lt;c&gt; &#x263A;</string>"), Value::string("a&b <c> \u263A"), "references" },
        { wrap("<string><![CDATA[<raw>]]> and text</string>"), Value::string("<raw> and text"), "CDATA" },
        { wrap("<string>a<!-- note -->b</string>"), Value::string("ab"), "a comment splits nothing" },
        { wrap("<dict><key>k</key><integer>1</integer><key>k</key><integer>2</integer></dict>"),
            Value::dictionary({ { "k", Value::integer(2) } }), "a repeated key keeps its last value" },
        { wrap("\n <!-- c -->\n <dict>\n\t<key>a</key>\n\t<array>\n\t\t<true/>\n\t</array>\n </dict>\n"),
            Value::dictionary({ { "a", Value::array({ Value::boolean(true) }) } }), "pretty-printed" },
        { "<?xml version=\"1.0\"?>\n<!DOCTYPE plist PUBLIC \"-//X//DTD PLIST 1.0//EN\" \"x.dtd\">\n"
          "<plist version=\"1.0\"><data>\n  AAEC\n  /w==\n</data></plist>",
            Value::data({ 0, 1, 2, 0xFF }), "a doctype, and data over several lines" },
        { wrap("<data></data>"), Value::data({}), "empty data" },
        { wrap("<data>AAE</data>"), Value::data({ 0, 1 }), "unpadded base64" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto read = Value::fromPropertyList(c.input);
        ASSERT_TRUE(read.ok()) << errorText(read.error());
        EXPECT_EQ(*read, c.expected);
    }

    // UTF-16 with a byte-order mark, as some editors save property lists.
    std::string utf8 = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><plist><string>Grüße</string></plist>";
    std::string utf16 = "\xFF\xFE";
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c == 0xC3) { // the two non-ASCII letters in this text are U+00FC and U+00DF
            unsigned next = static_cast<unsigned char>(utf8[++i]);
            utf16 += char(0xC0 | (next & 0x3F));
        } else {
            utf16 += char(c);
        }
        utf16 += '\0';
    }
    auto wide = Value::fromPropertyList(utf16);
    ASSERT_TRUE(wide.ok()) << errorText(wide.error());
    EXPECT_EQ(*wide, Value::string("Grüße"));
}

TEST(Value, XmlRoundTripKeepsEveryKindExactly)
{
    Value original = everyKind();
    std::string xml = original.toXmlPropertyList();
    auto back = Value::fromPropertyList(xml);
    ASSERT_TRUE(back.ok()) << errorText(back.error()) << "\n" << xml;
    EXPECT_EQ(*back, original) << xml;
    EXPECT_TRUE(std::signbit(*back->get("real negative zero")->asDouble()));
    EXPECT_EQ(back->toXmlPropertyList(), xml) << "writing is deterministic";
    EXPECT_NE(xml.find("<real>0.45</real>"), std::string::npos) << "shortest exact form, no locale";
    EXPECT_NE(xml.find("&#13;"), std::string::npos) << "a carriage return must survive line-end folding";

    // Text that XML cannot carry is replaced, never written raw into a file no reader accepts.
    Value broken = Value::string(std::string("a\0b\xff", 4));
    auto cleaned = Value::fromPropertyList(broken.toXmlPropertyList());
    ASSERT_TRUE(cleaned.ok()) << errorText(cleaned.error());
    EXPECT_EQ(*cleaned->asString(), "a\uFFFDb\uFFFD");
}

TEST(Value, ReadsBinaryFromAnIndependentWriter)
{
    Value original = everyKind();
    std::string binary = binaryFromXml(original.toXmlPropertyList());
    ASSERT_EQ(binary.substr(0, 8), "bplist00");
    auto back = Value::fromPropertyList(binary);
    ASSERT_TRUE(back.ok()) << errorText(back.error());
    EXPECT_EQ(*back, original);
}

TEST(Value, BinaryNestingAtTheCapBoundary)
{
    const testsupport::Case<std::size_t, bool> cases[] = {
        { Value::kMaxDepth - 1, true, "one below the cap" },
        { Value::kMaxDepth, true, "at the cap" },
        { Value::kMaxDepth + 1, false, "one above the cap" },
        { 100000, false, "deep enough to overflow the stack of a recursive parser" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        BinaryBuilder builder;
        builder.referenceSize = 4;
        for (std::size_t i = 0; i + 1 < c.input; ++i)
            builder.add(builder.container(0xA0, { i + 1 }));
        builder.add({ 0xA0 });
        auto binary = Value::fromPropertyList(builder.build());
        EXPECT_EQ(binary.ok(), c.expected) << (binary.ok() ? "accepted" : errorText(binary.error()));

        auto xml = Value::fromPropertyList(wrap(nested(c.input, "<array>", "</array>", "")));
        EXPECT_EQ(xml.ok(), c.expected) << (xml.ok() ? "accepted" : errorText(xml.error()));
    }
}

TEST(Value, RefusesMalformedBinary)
{
    auto valid = [] {
        BinaryBuilder builder;
        builder.add(builder.container(0xD0, { 1, 2 }));
        builder.add(asciiString("key"));
        builder.add({ 0x09 });
        return builder;
    };
    ASSERT_TRUE(Value::fromPropertyList(valid().build()).ok()) << "the base of the broken cases must be sound";

    struct Case {
        std::string bytes;
        const char* why;
    };
    std::vector<Case> cases;
    {
        BinaryBuilder builder;
        builder.add(builder.container(0xA0, { 0 }));
        cases.push_back({ builder.build(), "an array that contains itself" });
    }
    {
        BinaryBuilder builder;
        builder.add(builder.container(0xA0, { 1 }));
        builder.add(builder.container(0xA0, { 0 }));
        cases.push_back({ builder.build(), "two arrays in a cycle" });
    }
    {
        // Each level names the next one twice: 60 levels expand to 2^60 values.
        BinaryBuilder builder;
        for (std::size_t i = 0; i < 60; ++i)
            builder.add(builder.container(0xA0, { i + 1, i + 1 }));
        builder.add({ 0x09 });
        cases.push_back({ builder.build(), "shared references that expand exponentially" });
    }
    {
        BinaryBuilder builder;
        builder.add(builder.container(0xD0, { 1, 2 }));
        builder.add({ 0x10, 0x05 });
        builder.add({ 0x09 });
        cases.push_back({ builder.build(), "a dictionary key that is an integer" });
    }
    {
        BinaryBuilder builder;
        builder.add(builder.container(0xA0, { 5 }));
        cases.push_back({ builder.build(), "a reference past the last object" });
    }
    {
        BinaryBuilder builder;
        builder.add(dateObject(3e9));
        cases.push_back({ builder.build(), "a date beyond 32-bit seconds" });
    }
    {
        BinaryBuilder builder;
        builder.add(dateObject(std::numeric_limits<double>::quiet_NaN()));
        cases.push_back({ builder.build(), "a NaN date" });
    }
    {
        BinaryBuilder builder;
        builder.add({ 0x80, 0x01 });
        cases.push_back({ builder.build(), "a keyed-archive UID" });
    }
    {
        BinaryBuilder builder;
        builder.add({ 0x00 });
        cases.push_back({ builder.build(), "a null object" });
    }
    {
        BinaryBuilder builder;
        builder.add({ 0x53, 'a', 0, 'b' });
        cases.push_back({ builder.build(), "a string with NUL inside, which a C string would cut short" });
    }
    {
        BinaryBuilder builder;
        builder.add({ 0x52, 0xC3, 0x28 });
        cases.push_back({ builder.build(), "a string that is not UTF-8" });
    }
    {
        BinaryBuilder builder;
        builder.add({ 0x14, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0 });
        cases.push_back({ builder.build(), "a 128-bit integer beyond 64 bits" });
    }
    {
        BinaryBuilder builder;
        builder.add({ 0x4F, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 1, 2 });
        cases.push_back({ builder.build(), "data claiming an enormous length" });
    }
    {
        std::string bytes = valid().build();
        bytes[bytes.size() - 26] = 9;
        cases.push_back({ bytes, "an offset size of 9" });
    }
    {
        std::string bytes = valid().build();
        bytes[bytes.size() - 1] = char(0xF0);
        cases.push_back({ bytes, "an offset table beyond the file" });
    }
    {
        std::string bytes = valid().build();
        bytes[bytes.size() - 9] = 3;
        cases.push_back({ bytes, "a top object that does not exist" });
    }
    {
        std::string bytes = valid().build();
        bytes[6] = '1';
        cases.push_back({ bytes, "an unknown format version" });
    }
    std::string whole = valid().build();
    for (std::size_t length = 0; length < whole.size(); ++length)
        cases.push_back({ whole.substr(0, length), "truncated" });

    for (const auto& c : cases) {
        SCOPED_TRACE(c.why + (" (" + std::to_string(c.bytes.size()) + " bytes)"));
        auto read = Value::fromPropertyList(c.bytes);
        EXPECT_FALSE(read.ok());
    }
}

TEST(Value, CapsBoundTheWorkOfHostileInput)
{
    std::string tooLarge = wrap("<string>" + std::string(Value::kMaxInputBytes, 'x') + "</string>");
    auto large = Value::fromPropertyList(tooLarge);
    ASSERT_FALSE(large.ok());
    EXPECT_EQ(large.error().error, kit::PropertyListError::TooLarge);
    EXPECT_NE(errorText(large.error()).find("larger"), std::string::npos) << errorText(large.error());

    std::string many;
    for (std::size_t i = 0; i <= Value::kMaxValueCount; ++i)
        many += "<true/>";
    EXPECT_FALSE(Value::fromPropertyList(wrap("<array>" + many + "</array>")).ok()) << "one value past the cap";
    many.resize(many.size() - 7 * 2);
    EXPECT_TRUE(Value::fromPropertyList(wrap("<array>" + many + "</array>")).ok()) << "array plus values at the cap";
}

// Random damage to valid files must never crash or hang, and whatever is still accepted must be a value
// that writes and reads back unchanged.
TEST(Value, SurvivesMutatedInput)
{
    std::string xml = everyKind().toXmlPropertyList();
    std::string binary = binaryFromXml(xml);
    std::mt19937 random(20240229);
    int accepted = 0;
    for (const std::string* base : { &xml, &binary }) {
        for (int round = 0; round < 1500; ++round) {
            std::string bytes = *base;
            int edits = 1 + int(random() % 4);
            for (int e = 0; e < edits; ++e) {
                std::size_t at = random() % bytes.size();
                switch (random() % 3) {
                case 0:
                    bytes[at] = char(random());
                    break;
                case 1:
                    bytes.erase(at, 1 + random() % 8);
                    break;
                default:
                    bytes.insert(at, 1, char(random()));
                }
                if (bytes.empty())
                    bytes = "x";
            }
            auto read = Value::fromPropertyList(bytes);
            if (!read.ok())
                continue;
            ++accepted;
            auto again = Value::fromPropertyList(read->toXmlPropertyList());
            ASSERT_TRUE(again.ok()) << errorText(again.error());
            // NaN never equals itself, so compare the written forms.
            EXPECT_EQ(again->toXmlPropertyList(), read->toXmlPropertyList());
        }
    }
    EXPECT_GT(accepted, 0) << "some mutations (inside strings and data) leave a valid file";
}
