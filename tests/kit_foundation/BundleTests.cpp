#include "kit/foundation/Bundle.h"
#include "kit/foundation/StringsTable.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

using kit::Bundle;
using kit::StringsTable;

namespace {

// Sets environment variables for one test and restores them when it ends.
class ScopedEnvironment {
public:
    void set(const char* name, const char* value)
    {
        if (!m_saved.count(name)) {
            const char* old = std::getenv(name);
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnvironment()
    {
        for (const auto& [name, value] : m_saved) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

std::string utf16(const std::string& ascii, bool bigEndian)
{
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
        out += bigEndian ? std::string { '\0', c } : std::string { c, '\0' };
    }
    return out;
}

} // namespace

TEST(Bundle, ThePluginBundleDescribesItself)
{
    const Bundle& plugin = Bundle::plugin();
    EXPECT_EQ(plugin.path(), std::filesystem::path(LECTORIN_SOURCE_DIR) / "resources");
    EXPECT_EQ(plugin.name(), "Lectorin");
    EXPECT_EQ(plugin.version(), "1.0.0");
    EXPECT_EQ(plugin.identifier(), "org.nrv.internet-plugin.word");
    EXPECT_EQ(plugin.updateHost(), "updates.lectorin.invalid") << "a shipped check never leaves the machine";
    EXPECT_EQ(plugin.claimedMIMETypes(),
        (std::vector<std::string> { "application/msword", "application/rtf", "application/vnd.apple.pages",
            "application/vnd.ms-word.document.macroenabled.12", "application/vnd.ms-wordml", "application/vnd.ms-works",
            "application/vnd.oasis.opendocument.text", "application/vnd.oasis.opendocument.text-flat-xml",
            "application/vnd.oasis.opendocument.text-template",
            "application/vnd.openxmlformats-officedocument.wordprocessingml.document",
            "application/vnd.openxmlformats-officedocument.wordprocessingml.template", "application/vnd.stardivision.writer",
            "application/vnd.wordperfect", "application/wordperfect", "application/x-abiword",
            "application/x-iwork-pages-sffpages", "application/x-mswrite", "text/rtf" }));
    EXPECT_EQ(plugin.claimedExtensions(),
        (std::vector<std::string> { "abw", "doc", "docm", "docx", "dot", "dotx", "fodt", "odt", "ott", "pages", "rtf", "sdw", "wp",
            "wp5", "wp6", "wpd", "wps", "wri", "zabw" }));
    EXPECT_EQ(&Bundle::plugin(), &plugin) << "one bundle object per folder";
}

TEST(Bundle, TheFolderFollowsTheEnvironment)
{
    ScopedEnvironment environment;
    std::filesystem::path other = testsupport::temporaryFolder("other-bundle");
    testsupport::writeFile(other / "Info.plist",
        "<plist><dict><key>CFBundleName</key><string>Other</string>"
        "<key>CFBundleVersion</key><integer>2</integer></dict></plist>");
    const Bundle& original = Bundle::plugin();
    environment.set("LECTORIN_BUNDLE", other.c_str());
    const Bundle& moved = Bundle::plugin();
    EXPECT_EQ(moved.path(), other);
    EXPECT_EQ(moved.name(), "Other");
    EXPECT_EQ(moved.version(), std::nullopt) << "a version that is not a string is no version";
    EXPECT_EQ(original.name(), "Lectorin") << "an earlier reference still holds its bundle";

    environment.set("LECTORIN_BUNDLE", nullptr);
    EXPECT_EQ(Bundle::pluginFolder(), std::filesystem::path(LECTORIN_SOURCE_DIR) / "resources")
        << "the build tree has no share/ folder next to the program";
    environment.set("LECTORIN_MAIN_BUNDLE", nullptr);
    EXPECT_EQ(Bundle::mainFolder(), std::filesystem::path(LECTORIN_SOURCE_DIR) / "resources/host");
    EXPECT_EQ(Bundle::main().name(), "lectorin");
}

// An installed program finds its bundles in <prefix>/share/lectorin, from <prefix>/bin (lectorin) and from
// <prefix>/libexec/lectorin (the window host it starts).
TEST(Bundle, AnInstalledProgramFindsItsSharedFolder)
{
    std::filesystem::path prefix = testsupport::temporaryFolder("installed");
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix / "libexec/lectorin");
    std::filesystem::create_directories(prefix / "share/lectorin/bundle");
    std::filesystem::create_directories(prefix / "share/lectorin/host");
    testsupport::writeFile(prefix / "share/lectorin/bundle/Info.plist",
        "<plist><dict><key>CFBundleName</key><string>Installed</string></dict></plist>");
    testsupport::writeFile(prefix / "share/lectorin/host/Info.plist",
        "<plist><dict><key>CFBundleName</key><string>Installed host</string></dict></plist>");
    for (const char* program : { "bin/program", "libexec/lectorin/program" }) {
        SCOPED_TRACE(program);
        std::filesystem::copy_file(std::filesystem::read_symlink("/proc/self/exe"), prefix / program);
        std::string out, err;
        // Empty, not unset: the test main would otherwise point an unset variable at the source tree.
        int status
            = testsupport::runCommand("env LECTORIN_BUNDLE= LECTORIN_MAIN_BUNDLE= '" + (prefix / program).string()
                    + "' --gtest_filter=Bundle.DISABLED_PrintNames --gtest_also_run_disabled_tests",
                &out, &err);
        EXPECT_EQ(status, 0) << err;
        EXPECT_NE(out.find("plugin=Installed;main=Installed host;"), std::string::npos) << out;
    }
    EXPECT_FALSE(Bundle::installedFolder(prefix / "share/lectorin/host", "share/lectorin/bundle")) << "only from one or two levels below the prefix";
    EXPECT_FALSE(Bundle::installedFolder({}, "share/lectorin/bundle"));
}

// Run only as the child of the test above.
TEST(Bundle, DISABLED_PrintNames)
{
    std::printf("plugin=%s;main=%s;\n", Bundle::plugin().name().c_str(), Bundle::main().name().c_str());
}

TEST(Bundle, ToleratesAMissingOrBrokenInfoPlist)
{
    const struct {
        std::optional<std::string> contents;
        const char* why;
    } cases[] = {
        { std::nullopt, "no Info.plist" },
        { "<plist><dict><key>CFBundleName</key></dict></plist>", "a key without a value" },
        { "<plist><array><string>Lectorin</string></array></plist>", "a root that is not a dictionary" },
        { "\x00\x01\x02", "binary garbage" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::filesystem::path folder = testsupport::temporaryFolder("broken-bundle");
        if (c.contents)
            testsupport::writeFile(folder / "Info.plist", *c.contents);
        Bundle bundle(folder);
        EXPECT_EQ(bundle.infoDictionary().count(), 0u);
        EXPECT_EQ(bundle.name(), "");
        EXPECT_EQ(bundle.version(), std::nullopt);
        EXPECT_EQ(bundle.updateHost(), std::nullopt);
        EXPECT_TRUE(bundle.claimedMIMETypes().empty());
    }
}

TEST(Bundle, ResourcePathsStayInsideTheBundle)
{
    std::filesystem::path folder = testsupport::temporaryFolder("resource-bundle");
    std::filesystem::create_directories(folder / "nibs");
    testsupport::writeFile(folder / "nibs/PluginView.nib", "<nib/>");
    testsupport::writeFile(folder.parent_path() / "secret", "outside");
    Bundle bundle(folder);
    const testsupport::Case<const char*, bool> cases[] = {
        { "nibs/PluginView.nib", true, "a file in a subfolder" },
        { "nibs/./PluginView.nib", true, "a harmless dot" },
        { "nibs/Missing.nib", false, "no such file" },
        { "../secret", false, "leaves the bundle" },
        { "nibs/../../secret", false, "leaves the bundle after a detour" },
        { "/etc/passwd", false, "an absolute path" },
        { "", false, "no name" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto path = bundle.resourcePath(c.input);
        EXPECT_EQ(path.has_value(), c.expected);
        if (path) {
            EXPECT_EQ(testsupport::readText(*path), "<nib/>");
        }
    }
}

TEST(StringsTable, ParsesTheClassicForm)
{
    const char* text = R"(/* A block comment
   over two lines */
"plain" = "Plain";
// a line comment
"escapes" = "quote \" backslash \\ newline \n tab \t";
"unicode" = "\U00e9t\u00E9 \UD83D\UDE00 \UD800 lone";
"octal" = "\101\102";
bare_word = another.word;
"only key";
"spaced"   =
    "value" ;
"repeated" = "first";
"repeated" = "second";
"Grüße" = "Grüße, direkt";
)";
    StringsTable table = StringsTable::parse(text);
    EXPECT_EQ(table.error(), "");
    const testsupport::Case<const char*, const char*> cases[] = {
        { "plain", "Plain", "quoted pair" },
        { "escapes", "quote \" backslash \\ newline \n tab \t", "backslash escapes" },
        { "unicode", "\u00e9t\u00e9 \U0001F600 \uFFFD lone", "\\U units, a surrogate pair, a lone surrogate" },
        { "octal", "AB", "octal escapes" },
        { "bare_word", "another.word", "unquoted words" },
        { "only key", "only key", "a key alone maps to itself" },
        { "spaced", "value", "whitespace and line breaks between the parts" },
        { "repeated", "second", "the last definition wins" },
        { "Grüße", "Grüße, direkt", "UTF-8 text" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const std::string* value = table.lookup(c.input);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(*value, c.expected);
    }
    EXPECT_EQ(table.size(), std::size(cases));
}

TEST(StringsTable, ReadsUtf16AndStopsAtTheFirstError)
{
    for (bool bigEndian : { false, true }) {
        SCOPED_TRACE(bigEndian ? "UTF-16 big-endian" : "UTF-16 little-endian");
        StringsTable table = StringsTable::parse(utf16("\"OK\" = \"Gut\";", bigEndian));
        EXPECT_EQ(table.error(), "");
        ASSERT_NE(table.lookup("OK"), nullptr);
        EXPECT_EQ(*table.lookup("OK"), "Gut");
    }
    StringsTable bom = StringsTable::parse("\xEF\xBB\xBF\"a\" = \"b\";");
    ASSERT_NE(bom.lookup("a"), nullptr) << "a UTF-8 byte-order mark is not part of the first key";

    const testsupport::Case<const char*, std::size_t> cases[] = {
        { "\"a\" = \"1\";\n\"b\" = \"2\"\n\"c\" = \"3\";", 1, "a missing semicolon" },
        { "\"a\" = \"1\";\n\"b\" = \"unterminated;", 1, "an unterminated string" },
        { "\"a\" = \"1\";\n/* never closed", 1, "an unterminated comment" },
        { "\"a\" = ;", 0, "a missing value" },
        { "= \"value\";", 0, "a missing key" },
        { "\"a\" = \"1\";\n\"b\" = \"\\U\";", 1, "\\U without digits" },
        { "\"a\" = \"\xff\";", 0, "bytes that are not text" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        StringsTable table = StringsTable::parse(c.input);
        EXPECT_NE(table.error(), "");
        EXPECT_EQ(table.size(), c.expected) << "entries before the error are kept";
    }
    EXPECT_NE(StringsTable::parse("\"a\" = \"1\";\n\n\"b\" \"2\";").error().find("line 3"), std::string::npos);
}

TEST(Bundle, PreferredLanguagesComeFromTheEnvironment)
{
    ScopedEnvironment environment;
    const struct {
        const char *language, *all, *messages, *lang;
        std::vector<std::string> expected;
        const char* why;
    } cases[] = {
        { nullptr, nullptr, nullptr, nullptr, { "en" }, "nothing set: English" },
        { nullptr, nullptr, nullptr, "de_DE.UTF-8", { "de_DE", "de", "en" }, "LANG with a codeset" },
        { nullptr, nullptr, "fr_FR@euro", "de_DE.UTF-8", { "fr_FR", "fr", "en" }, "LC_MESSAGES before LANG" },
        { nullptr, "pt_BR.UTF-8", "fr_FR", "de_DE", { "pt_BR", "pt", "en" }, "LC_ALL before the rest" },
        { "sv:nb_NO", nullptr, nullptr, "de_DE", { "sv", "nb_NO", "nb", "de_DE", "de", "en" }, "LANGUAGE first" },
        { "", nullptr, nullptr, "C", { "en" }, "the C locale names no language" },
        { nullptr, nullptr, nullptr, "en_GB.UTF-8", { "en_GB", "en" }, "English is not repeated" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        environment.set("LANGUAGE", c.language);
        environment.set("LC_ALL", c.all);
        environment.set("LC_MESSAGES", c.messages);
        environment.set("LANG", c.lang);
        EXPECT_EQ(Bundle::preferredLanguages(), c.expected);
    }
}

TEST(Bundle, LocalizesThroughTheUsersLanguagesThenEnglish)
{
    ScopedEnvironment environment;
    std::filesystem::path folder = testsupport::temporaryFolder("host-bundle");
    std::filesystem::create_directories(folder / "en.lproj");
    std::filesystem::create_directories(folder / "de.lproj");
    std::filesystem::create_directories(folder / "pt_BR.lproj");
    testsupport::writeFile(folder / "en.lproj/Localizable.strings",
        "\"OK\" = \"OK\";\n\"Update Later\" = \"Later\";\n\"This copy of %@ is up to date.\" = \"%@ is current.\";");
    testsupport::writeFile(folder / "de.lproj/Localizable.strings", "\"OK\" = \"Gut\";");
    testsupport::writeFile(folder / "de.lproj/Alerts.strings", "\"OK\" = \"Jawohl\";");
    testsupport::writeFile(folder / "pt_BR.lproj/Localizable.strings", utf16("\"OK\" = \"Certo\";", false));
    Bundle bundle(folder);

    const struct {
        const char* lang;
        const char *key, *value, *table;
        const char* expected;
        const char* why;
    } cases[] = {
        { "de_DE.UTF-8", "OK", "", "", "Gut", "the user's language" },
        { "de_DE.UTF-8", "Update Later", "", "", "Later", "missing in German: the English table" },
        { "de_DE.UTF-8", "OK", "", "Alerts", "Jawohl", "a named table" },
        { "de_DE.UTF-8", "Update Later", "", "Alerts", "Update Later", "a table only German has: the key" },
        { "pt_BR.UTF-8", "OK", "", "", "Certo", "a regional folder, in UTF-16" },
        { "pt_PT.UTF-8", "OK", "", "", "OK", "another region of the language is not that folder" },
        { "ja_JP.UTF-8", "No such text", "", "", "No such text", "no translation: the key itself" },
        { "ja_JP.UTF-8", "No such text", "Fallback", "", "Fallback", "no translation and a value: the value" },
        { "ja_JP.UTF-8", "OK", "Fallback", "", "OK", "a translation wins over the value" },
        { "ja_JP.UTF-8", "This copy of %@ is up to date.", "", "", "%@ is current.", "placeholders pass through" },
        { "../../etc", "OK", "", "", "OK", "a hostile language name reads nothing outside" },
        { "de_DE.UTF-8", "OK", "", "../de.lproj/Localizable", "OK", "a hostile table name reads nothing" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        environment.set("LANGUAGE", nullptr);
        environment.set("LC_ALL", nullptr);
        environment.set("LC_MESSAGES", nullptr);
        environment.set("LANG", c.lang);
        EXPECT_EQ(bundle.localizedStringForKey(c.key, c.value, c.table), c.expected);
    }
}

TEST(Bundle, TheShippedHostStringsCoverTheUpdateCheck)
{
    ScopedEnvironment environment;
    environment.set("LANGUAGE", nullptr);
    environment.set("LC_ALL", "C");
    std::filesystem::path strings
        = std::filesystem::path(LECTORIN_SOURCE_DIR) / "resources/host/en.lproj/Localizable.strings";
    StringsTable table = StringsTable::parse(testsupport::readText(strings));
    EXPECT_EQ(table.error(), "") << "the shipped table must parse completely";
    EXPECT_EQ(table.size(), 8u);
    const char* keys[] = { "A new version of %@ is now available.", "More Info...", "Update Later",
        "This copy of %@ is up to date.", "OK", "The update check is currently not available." };
    for (const char* key : keys) {
        SCOPED_TRACE(key);
        EXPECT_EQ(
            Bundle(std::filesystem::path(LECTORIN_SOURCE_DIR) / "resources/host").localizedStringForKey(key, "", ""),
            key);
        EXPECT_NE(table.lookup(key), nullptr);
    }
}
