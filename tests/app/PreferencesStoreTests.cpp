// The settings as the plug-in reads and writes them in its preferences domain, against the real file.
#include "PreferencesTestSupport.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

using namespace preftest;

namespace {

constexpr kit::Color kDefaultColor = kit::Color::calibratedRGB(0.38f, 0.45f, 0.56f, 1.0f);

} // namespace

TEST(PreferencesStore, DomainIsTheFileTheSettingsLiveIn)
{
    Isolation isolation;
    EXPECT_STREQ(kPreferencesDomain, "org.nrv.internet-plugin.word");
    EXPECT_EQ(isolation.preferencesFile(), isolation.folder / "org.nrv.internet-plugin.word.plist");
    EXPECT_FALSE(std::filesystem::exists(isolation.preferencesFile())) << "reading alone writes nothing";
    EXPECT_EQ(readBackgroundColorPreference(), kDefaultColor);
    ASSERT_TRUE(writeBackgroundColorPreference(kit::Color::calibratedRGB(0.25f, 0.5f, 0.75f)));
    std::string file = testsupport::readText(isolation.preferencesFile());
    EXPECT_NE(file.find("<key>Background Color</key>"), std::string::npos) << file;
}

TEST(PreferencesStore, NoStoredSettingsMeanTheDefaults)
{
    Isolation isolation;
    kit::Color color = readBackgroundColorPreference();
    EXPECT_EQ(color.space(), kit::ColorSpace::CalibratedRGB);
    EXPECT_EQ(color.red(), 0.38f);
    EXPECT_EQ(color.green(), 0.45f);
    EXPECT_EQ(color.blue(), 0.56f);
    EXPECT_EQ(color.alpha(), 1.0f);
    EXPECT_FLOAT_EQ(color.red(), 0.3799999952f) << "single precision, as stored";
    bool valid = true;
    EXPECT_TRUE(readAutoUpdatePreference(&valid)) << "the automatic check is on";
    EXPECT_FALSE(valid) << "an absent key is not a valid boolean";
}

TEST(PreferencesStore, BackgroundColorReading)
{
    const testsupport::Case<std::optional<kit::Value>, kit::Color> cases[] = {
        { floats({ 1.0, 1.0, 1.0 }), kit::Color::calibratedRGB(1, 1, 1), "white" },
        { floats({ 0.0, 0.0, 0.0 }), kit::Color::calibratedRGB(0, 0, 0), "black" },
        { floats({ 0.1, 0.2 }), kit::Color::calibratedRGB(0.1f, 0.2f, 0.56f), "two elements: blue keeps its default" },
        { floats({ 0.1 }), kit::Color::calibratedRGB(0.1f, 0.45f, 0.56f), "one element" },
        { floats({}), kDefaultColor, "an empty array: every component keeps its default" },
        { floats({ 0.1, 0.2, 0.3, 0.0 }), kit::Color::calibratedRGB(0.1f, 0.2f, 0.3f), "a fourth element is no alpha" },
        { kit::Value::array({ kit::Value::integer(1), kit::Value::integer(0), kit::Value::integer(1) }),
            kit::Color::calibratedRGB(1, 0, 1), "integers read as floats (1 gives 1.0)" },
        { floats({ 0.123456789012, 0.5, 0.25 }), kit::Color::calibratedRGB(0.123456789012f, 0.5f, 0.25f),
            "a double-precision real is converted to single precision" },
        { kit::Value::array({ kit::Value::real(0.1), kit::Value::string("green"), kit::Value::real(0.3) }),
            kit::Color::calibratedRGB(0.1f, 0.45f, 0.3f), "a string element is no number: that component keeps its default" },
        { kit::Value::array({ kit::Value::boolean(true), kit::Value::real(0.2), kit::Value::array() }),
            kit::Color::calibratedRGB(0.38f, 0.2f, 0.56f), "a boolean or a nested array is no number either" },
        { kit::Value::string("0.1 0.2 0.3"), kDefaultColor, "a string is not an array" },
        { kit::Value::integer(1), kDefaultColor, "a number is not an array" },
        { kit::Value::dictionary({ { "0", kit::Value::real(0.1) } }), kDefaultColor, "a dictionary is not an array" },
        { kit::Value::array({ kit::Value::real(1e300), kit::Value::real(0.2), kit::Value::real(0.3) }),
            kit::Color::calibratedRGB(0.38f, 0.2f, 0.3f), "a real beyond single precision is no component" },
        { std::nullopt, kDefaultColor, "nothing stored" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Isolation isolation;
        if (c.input)
            store(kBackgroundColorKey, *c.input);
        kit::Color color = readBackgroundColorPreference();
        EXPECT_EQ(color, c.expected) << color.red() << " " << color.green() << " " << color.blue() << " " << color.alpha();
    }
}

TEST(PreferencesStore, AutoUpdateReading)
{
    const struct {
        std::optional<kit::Value> stored;
        bool on, valid;
        const char* why;
    } cases[] = {
        { std::nullopt, true, false, "absent: on" },
        { kit::Value::boolean(true), true, true, "true" },
        { kit::Value::boolean(false), false, true, "false: off" },
        { kit::Value::integer(0), false, true, "the number 0 is a valid false" },
        { kit::Value::string("NO"), false, true, "the string NO is a valid false" },
        { kit::Value::string("maybe"), true, false, "a string the boolean reader does not know: on" },
        { kit::Value::date(kNow), true, false, "a date is no boolean: on" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Isolation isolation;
        if (c.stored)
            store(kAutoUpdateKey, *c.stored);
        bool valid = !c.valid;
        EXPECT_EQ(readAutoUpdatePreference(&valid), c.on);
        EXPECT_EQ(valid, c.valid);
    }
}

TEST(PreferencesStore, ColorIsWrittenAsThreeFloatsWithoutAlpha)
{
    const struct {
        kit::Color picked;
        float red, green, blue;
        const char* why;
    } cases[] = {
        { kit::Color::calibratedRGB(0.2f, 0.4f, 0.6f, 0.5f), 0.2f, 0.4f, 0.6f, "alpha 0.5 is not stored" },
        { kit::Color::white(0.5f), 0.5f, 0.5f, 0.5f, "grey scale: its calibrated-RGB conversion" },
        { kit::Color::cmyk(0, 1, 1, 0), 1, 0, 0, "device CMYK: its calibrated-RGB conversion" },
        { kit::Color::deviceRGB(0.1f, 0.2f, 0.3f), 0.1f, 0.2f, 0.3f, "device RGB" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Isolation isolation;
        ASSERT_TRUE(writeBackgroundColorPreference(c.picked));
        std::optional<kit::Value> array = stored(kBackgroundColorKey);
        ASSERT_TRUE(array && array->isArray());
        ASSERT_EQ(array->count(), 3u) << "red, green and blue, nothing else";
        // Each element holds exactly the single-precision component.
        EXPECT_EQ(*array->at(0)->asDouble(), double(c.red));
        EXPECT_EQ(*array->at(1)->asDouble(), double(c.green));
        EXPECT_EQ(*array->at(2)->asDouble(), double(c.blue));
        EXPECT_EQ(readBackgroundColorPreference(), kit::Color::calibratedRGB(c.red, c.green, c.blue, 1))
            << "read back opaque";
    }
}

TEST(PreferencesStore, PatternColorStoresNothing)
{
    Isolation isolation;
    store(kBackgroundColorKey, floats({ 0.1, 0.2, 0.3 }));
    std::string before = testsupport::readText(isolation.preferencesFile());
    EXPECT_FALSE(writeBackgroundColorPreference(kit::Color::pattern()));
    EXPECT_EQ(testsupport::readText(isolation.preferencesFile()), before) << "the stored colour is untouched";
}

TEST(PreferencesStore, AutoUpdateIsWrittenAsABoolean)
{
    Isolation isolation;
    writeAutoUpdatePreference(false);
    EXPECT_EQ(stored(kAutoUpdateKey), kit::Value::boolean(false));
    writeAutoUpdatePreference(true);
    EXPECT_EQ(stored(kAutoUpdateKey), kit::Value::boolean(true));
    EXPECT_NE(testsupport::readText(isolation.preferencesFile()).find("<true/>"), std::string::npos);
}

// The plug-in view applies the stored colour while it is set up, fully opaque.
TEST(PreferencesStore, PluginViewShowsStoredColorOpaque)
{
    const testsupport::Case<std::optional<kit::Value>, kit::Color> cases[] = {
        { std::nullopt, kDefaultColor, "no stored settings: the grey-blue default" },
        { floats({ 1, 1, 1 }), kit::Color::calibratedRGB(1, 1, 1), "white" },
        { floats({ 0.2, 0.9 }), kit::Color::calibratedRGB(0.2f, 0.9f, 0.56f), "two elements" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Isolation isolation;
        nettest::RefusingPort refusing;
        installBundle("127.0.0.1:" + std::to_string(refusing.port()));
        RecordingHost host;
        if (c.input)
            store(kBackgroundColorKey, *c.input);
        OpenView view = openView();
        EXPECT_EQ(view.plugin->backgroundColor(), c.expected);
        EXPECT_EQ(view.plugin->backgroundColor().alpha(), 1.0f);
    }
}
