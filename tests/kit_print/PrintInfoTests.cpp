#include "kit/print/PrintInfo.h"
#include "support/Cases.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <tuple>

using namespace kit;

namespace {

// Sets environment variables for one test and restores them afterwards.
class ScopedEnvironment {
public:
    void set(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        m_saved.push_back({ name, old ? std::optional<std::string>(old) : std::nullopt });
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
            if (it->second)
                setenv(it->first.c_str(), it->second->c_str(), 1);
            else
                unsetenv(it->first.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

bool sameSize(Size a, Size b) { return std::abs(a.width - b.width) < 0.01f && std::abs(a.height - b.height) < 0.01f; }

} // namespace

TEST(PrintInfo, PaperNames)
{
    const testsupport::Case<const char*, std::optional<Size>> cases[] = {
        { "letter", Size { 612, 792 }, "US Letter" },
        { "A4", Size { 595.2756f, 841.8898f }, "A4, any case" },
        { " a4\n", Size { 595.2756f, 841.8898f }, "surrounding white space, as in /etc/papersize" },
        { "500x700", Size { 500, 700 }, "width x height in points" },
        { "500x", std::nullopt, "a missing height" },
        { "0x700", std::nullopt, "a zero side" },
        { "-5x700", std::nullopt, "a negative side" },
        { "500x700junk", std::nullopt, "trailing junk" },
        { "tabloid", std::nullopt, "an unknown name" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto size = PrintInfo::paperSizeForName(c.input);
        ASSERT_EQ(size.has_value(), c.expected.has_value());
        if (size) {
            EXPECT_TRUE(sameSize(*size, *c.expected));
        }
    }
}

TEST(PrintInfo, DefaultPaperComesFromTheEnvironmentFirst)
{
    const testsupport::Case<std::tuple<const char*, const char*>, Size> cases[] = {
        { { "a4", "en_US.UTF-8" }, { 595.2756f, 841.8898f }, "LECTORIN_PAPER wins over the locale" },
        { { "300x400", nullptr }, { 300, 400 }, "custom points" },
        { { nullptr, "en_US.UTF-8" }, { 612, 792 }, "a Letter locale" },
        { { nullptr, "de_DE.UTF-8" }, { 595.2756f, 841.8898f }, "an A4 locale" },
        { { "nonsense", "fr_FR" }, { 595.2756f, 841.8898f },
            "an unreadable LECTORIN_PAPER falls through to the locale" },
    };
    for (const auto& c : cases) {
        const auto& [lectorinPaper, lcPaper] = c.input;
        SCOPED_TRACE(c.why);
        ScopedEnvironment environment;
        environment.set("LECTORIN_PAPER", lectorinPaper);
        environment.set("LC_PAPER", lcPaper);
        EXPECT_TRUE(sameSize(PrintInfo::defaultPaperSize(), c.expected));
    }
}

TEST(PrintInfo, SharedSettingsUseTheTestEnvironmentsLetter)
{
    EXPECT_TRUE(sameSize(PrintInfo::shared()->paperSize(), { 612, 792 }));
    EXPECT_EQ(PrintInfo::shared().get(), PrintInfo::shared().get()) << "one shared object";
}

TEST(PrintInfo, DictionaryRoundTripAndCopiesAreIndependent)
{
    PrintInfo info;
    info.setPaperSize({ 595.2756f, 841.8898f });
    info.setLeftMargin(50);
    info.setRightMargin(40);
    info.setTopMargin(30);
    info.setBottomMargin(20);
    info.setHorizontalPagination(PrintInfo::Pagination::Fit);
    info.setVerticalPagination(PrintInfo::Pagination::Clip);
    info.setHorizontallyCentered(false);
    info.setVerticallyCentered(false);
    info.setOrientation(PrintInfo::Orientation::Landscape);
    EXPECT_TRUE(sameSize(info.paperSize(), { 841.8898f, 595.2756f })) << "landscape swaps the sides";

    PrintInfo read(info.dictionary());
    EXPECT_TRUE(sameSize(read.paperSize(), info.paperSize()));
    EXPECT_EQ(read.orientation(), PrintInfo::Orientation::Landscape);
    EXPECT_EQ(read.leftMargin(), 50);
    EXPECT_EQ(read.rightMargin(), 40);
    EXPECT_EQ(read.topMargin(), 30);
    EXPECT_EQ(read.bottomMargin(), 20);
    EXPECT_EQ(read.horizontalPagination(), PrintInfo::Pagination::Fit);
    EXPECT_EQ(read.verticalPagination(), PrintInfo::Pagination::Clip);
    EXPECT_FALSE(read.isHorizontallyCentered());
    EXPECT_FALSE(read.isVerticallyCentered());

    PrintInfo copy = read;
    copy.setLeftMargin(72);
    EXPECT_EQ(read.leftMargin(), 50) << "a copy is a separate object";
    EXPECT_EQ(copy.imageableRect(), (Rect { 72, 30, 841.8898f - 72 - 40, 595.2756f - 30 - 20 }));
}

TEST(PrintInfo, MalformedDictionaryEntriesKeepTheDefaults)
{
    Value dictionary = Value::dictionary();
    dictionary.set("NSLeftMargin", Value::string("wide"));
    dictionary.set("NSTopMargin", Value::real(-3));
    dictionary.set("NSHorizontalPagination", Value::integer(7));
    Value paper = Value::array();
    paper.append(Value::real(0));
    paper.append(Value::real(100));
    dictionary.set("NSPaperSize", std::move(paper));
    PrintInfo defaults;
    PrintInfo read(dictionary);
    EXPECT_EQ(read.leftMargin(), defaults.leftMargin());
    EXPECT_EQ(read.topMargin(), defaults.topMargin());
    EXPECT_EQ(read.horizontalPagination(), defaults.horizontalPagination());
    EXPECT_TRUE(sameSize(read.paperSize(), defaults.paperSize())) << "a zero side is no paper";
}
