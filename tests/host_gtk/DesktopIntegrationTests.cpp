// What `cmake --install` and the Debian package put where a desktop finds it, the installed program run
// from there, and `lectorin view` without a display.
#include "kit/foundation/Bundle.h"
#include "kit/foundation/Ascii.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <set>
#include <sstream>

namespace {

// MIME types compare without case.
std::set<std::string> split(const std::string& list, char separator)
{
    std::set<std::string> items;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, separator);) {
        if (!item.empty())
            items.insert(kit::asciiLower(item));
    }
    return items;
}

std::string desktopValue(const std::string& entry, const std::string& key)
{
    std::istringstream in(entry);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key + "=", 0) == 0)
            return line.substr(key.size() + 1);
    }
    return {};
}

// Installs the build into a fresh prefix (once per test process).
std::filesystem::path installedPrefix()
{
    static std::filesystem::path prefix;
    if (prefix.empty()) {
        prefix = testsupport::temporaryFolder("prefix");
        std::string output, errors;
        int status = testsupport::runCommand("cmake --install '" LECTORIN_BINARY_DIR "' --prefix '" + prefix.string() + "'", &output, &errors);
        EXPECT_EQ(status, 0) << errors;
    }
    return prefix;
}

// The installed program as a user runs it: no variable names its bundles.
std::string installedCommand(const std::filesystem::path& program, const std::string& arguments)
{
    return "env -u LECTORIN_BUNDLE -u LECTORIN_MAIN_BUNDLE -u LECTORIN_WINDOW_HOST '" + program.string() + "' " + arguments;
}

// Info.plist with another CFBundleVersion, to tell which bundle a program read.
void setBundleVersion(const std::filesystem::path& plist, const std::string& version)
{
    std::string text = testsupport::readText(plist);
    std::size_t key = text.find("<key>CFBundleVersion</key>");
    ASSERT_NE(key, std::string::npos);
    std::size_t open = text.find("<string>", key) + 8, close = text.find("</string>", open);
    testsupport::writeFile(plist, text.replace(open, close - open, version));
}

} // namespace

TEST(DesktopIntegration, InstallPlacesTheDesktopEntryAndTheMimeTypes)
{
    std::filesystem::path prefix = installedPrefix();
    std::filesystem::path desktop = prefix / "share/applications/lectorin.desktop";
    std::filesystem::path mime = prefix / "share/mime/packages/lectorin.xml";
    ASSERT_TRUE(std::filesystem::exists(desktop));
    ASSERT_TRUE(std::filesystem::exists(mime));
    EXPECT_TRUE(std::filesystem::exists(prefix / "bin/lectorin"));
    EXPECT_FALSE(std::filesystem::exists(prefix / "share/lectorin/bundle/desktop")) << "the desktop files are not bundle resources";
    EXPECT_TRUE(std::filesystem::exists(prefix / "share/icons/hicolor/scalable/apps/lectorin.svg"));

    std::string entry = testsupport::readText(desktop);
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_EQ(desktopValue(entry, "Exec"), "lectorin view %U") << "files and URLs open in the window host";
    EXPECT_EQ(desktopValue(entry, "Type"), "Application");
    EXPECT_EQ(desktopValue(entry, "Icon"), "lectorin") << "the icon installed beside it";
    // The entry opens exactly the types the plug-in bundle claims.
    const kit::Bundle& bundle = kit::Bundle::plugin();
    auto claimedTypes = bundle.claimedMIMETypes();
    std::set<std::string> claimed;
    for (const auto& type : claimedTypes)
        claimed.insert(kit::asciiLower(type));
    EXPECT_EQ(split(desktopValue(entry, "MimeType"), ';'), claimed);

    // Every claimed type is declared with a glob for each extension the bundle claims for it.
    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_file(mime.c_str()));
    pugi::xml_node info = xml.child("mime-info");
    ASSERT_TRUE(info);
    EXPECT_STREQ(info.attribute("xmlns").value(), "http://www.freedesktop.org/standards/shared-mime-info");
    std::set<std::string> declared, globbed;
    for (pugi::xml_node type : info.children("mime-type")) {
        declared.insert(kit::asciiLower(type.attribute("type").value()));
        for (pugi::xml_node alias : type.children("alias"))
            declared.insert(kit::asciiLower(alias.attribute("type").value()));
        for (pugi::xml_node glob : type.children("glob"))
            globbed.insert(std::string(glob.attribute("pattern").value()).substr(2));
    }
    EXPECT_EQ(declared, claimed);
    auto claimedExtensions = bundle.claimedExtensions();
    EXPECT_EQ(globbed, std::set<std::string>(claimedExtensions.begin(), claimedExtensions.end()));

    // The MIME database accepts the package (when the tool is there to say so).
    std::string output;
    if (testsupport::runCommand("command -v update-mime-database", &output) == 0) {
        EXPECT_EQ(testsupport::runCommand("update-mime-database '" + (prefix / "share/mime").string() + "' 2>&1", &output), 0) << output;
        EXPECT_TRUE(std::filesystem::exists(prefix / "share/mime/application/vnd.oasis.opendocument.text.xml")) << output;
    }
}

// The installed programs find everything relative to where they are, wherever the prefix is moved.
TEST(DesktopIntegration, TheInstalledProgramRunsFromItsOwnPrefix)
{
    std::filesystem::path moved = testsupport::temporaryFolder("moved") / "usr";
    std::filesystem::copy(installedPrefix(), moved, std::filesystem::copy_options::recursive);
    EXPECT_TRUE(std::filesystem::exists(moved / "libexec/lectorin/lectorin-window")) << "the window host, where lectorin looks";
    setBundleVersion(moved / "share/lectorin/bundle/Info.plist", "7.7.7");

    std::string output, errors;
    ASSERT_EQ(testsupport::runCommand(installedCommand(moved / "bin/lectorin", "--version"), &output, &errors), 0) << errors;
    EXPECT_EQ(output, "lectorin 7.7.7\n") << "the moved prefix's bundle, not the build tree's";

    std::filesystem::path document = testsupport::corpusPath("odfdo-collection.odt");
    ASSERT_EQ(testsupport::runCommand(installedCommand(moved / "bin/lectorin", "info '" + document.string() + "'"), &output, &errors), 0) << errors;
    EXPECT_NE(output.find("\"state\":\"loaded\""), std::string::npos) << output;
    std::filesystem::path png = testsupport::temporaryFolder("installed-render") / "page.png";
    ASSERT_EQ(testsupport::runCommand(installedCommand(moved / "bin/lectorin", "render '" + document.string() + "' -o '" + png.string() + "'"), &output, &errors), 0) << errors;
    testsupport::Image image = testsupport::readPng(png);
    ASSERT_GT(image.width, 100);
    std::size_t dark = 0;
    for (std::uint32_t pixel : image.pixels)
        dark += ((pixel >> 8) & 0xFF) < 128;
    EXPECT_GT(dark, 500u) << "the document's text is drawn";
}

// The manual page lists every command and option of the help text; completion offers them.
TEST(DesktopIntegration, TheManualPageAndCompletionFollowTheHelp)
{
    std::filesystem::path prefix = installedPrefix();
    std::string help, errors;
    ASSERT_EQ(testsupport::runCommand("'" LECTORIN_EXE "' --help", &help, &errors), 0);
    std::string manual;
    std::filesystem::path page = prefix / "share/man/man1/lectorin.1";
    ASSERT_TRUE(std::filesystem::exists(page));
    ASSERT_EQ(testsupport::runCommand("groff -man -Tascii -P-cbou -ww -z '" + page.string() + "' 2>&1", &manual), 0);
    EXPECT_EQ(manual, "") << "groff warns of nothing";
    ASSERT_EQ(testsupport::runCommand("groff -man -Tascii -P-cbou '" + page.string() + "' | tr -s ' \n' ' '", &manual), 0);
    for (const char* wanted : { "lectorin render [PAGE] [-o OUT.png]", "find text, list the matches", "--zoom-step N",
             "EXIT STATUS", "FILES", "reading.state" })
        EXPECT_NE(manual.find(wanted), std::string::npos) << wanted << "\n" << manual;
    for (const char* command : { "render", "info", "text", "print", "save", "find", "view", "browse", "defaults", "check-update", "prefs" }) {
        EXPECT_NE(help.find("  " + std::string(command) + " "), std::string::npos) << command;
        EXPECT_NE(manual.find(" lectorin " + std::string(command) + " "), std::string::npos) << command;
    }

    std::filesystem::path completion = prefix / "share/bash-completion/completions/lectorin";
    std::filesystem::path folder = testsupport::temporaryFolder("complete");
    testsupport::writeFile(folder / "report.docx", "x");
    const testsupport::Case<std::string, std::string> cases[] = {
        { "lectorin re", "render", "a command" },
        { "lectorin -", "--help --version", "the program's own options" },
        { "lectorin render --pa", "--pages --paper", "the options of every command" },
        { "lectorin render --window ", "preferences about", "an option's choices" },
        { "lectorin defaults w", "write", "a command's first word" },
        { "lectorin view " + (folder / "rep").string(), (folder / "report.docx").string(), "a document" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        // The word being completed may be empty: the last array element is then ''.
        std::string words = c.input + (c.input.back() == ' ' ? "''" : "");
        std::filesystem::path script = folder / "complete.sh";
        testsupport::writeFile(script, "source '" + completion.string() + "'\nCOMP_WORDS=(" + words
                + ")\nCOMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n_lectorin\necho \"${COMPREPLY[*]}\"\n");
        std::string output;
        ASSERT_EQ(testsupport::runCommand("bash '" + script.string() + "'", &output, &errors), 0) << errors;
        EXPECT_EQ(output, c.expected + "\n");
    }
}

// `cpack -G DEB` (into a folder of the test's, not build/): the package holds the installed tree under /usr,
// depends on the libraries the programs link and the fonts, and runs once unpacked anywhere.
TEST(DesktopIntegration, TheDebianPackageHoldsTheInstalledProgram)
{
    std::string output, errors;
    if (testsupport::runCommand("command -v dpkg-deb && command -v dpkg-shlibdeps", &output) != 0)
        GTEST_SKIP() << "dpkg-deb and dpkg-shlibdeps are not installed";
    std::filesystem::path folder = testsupport::temporaryFolder("deb");
    ASSERT_EQ(testsupport::runCommand("cd '" LECTORIN_BINARY_DIR "' && cpack -G DEB -B '" + folder.string() + "' 2>&1", &output), 0) << output;
    std::filesystem::path deb;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".deb")
            deb = entry.path();
    }
    ASSERT_FALSE(deb.empty()) << output;
    EXPECT_EQ(deb.filename().string().rfind("lectorin_", 0), 0u) << deb;

    ASSERT_EQ(testsupport::runCommand("dpkg-deb -f '" + deb.string() + "' Package Depends", &output), 0);
    for (const char* wanted : { "Package: lectorin", "libgtk-4-1", "libpango-1.0-0", "libcurl", "libplist", "libgsf-1-114",
             "fonts-liberation2", "fonts-crosextra-carlito" })
        EXPECT_NE(output.find(wanted), std::string::npos) << wanted << " in\n" << output;

    ASSERT_EQ(testsupport::runCommand("dpkg-deb -c '" + deb.string() + "' | awk '{ print $6 }'", &output), 0);
    std::set<std::string> files = split(output, '\n');
    for (const char* wanted : { "./usr/bin/lectorin", "./usr/libexec/lectorin/lectorin-window",
             "./usr/share/lectorin/bundle/info.plist", "./usr/share/lectorin/bundle/pluginview.nib",
             "./usr/share/lectorin/host/en.lproj/localizable.strings", "./usr/share/applications/lectorin.desktop",
             "./usr/share/mime/packages/lectorin.xml", "./usr/share/man/man1/lectorin.1",
             "./usr/share/bash-completion/completions/lectorin", "./usr/share/icons/hicolor/scalable/apps/lectorin.svg" })
        EXPECT_TRUE(files.count(wanted)) << wanted << " (lower case) in\n" << output;
    for (const auto& file : files)
        EXPECT_EQ(file.rfind("./usr/", 0) == 0 || file == "./", true) << file << " lies outside /usr";

    std::filesystem::path root = folder / "root";
    ASSERT_EQ(testsupport::runCommand("dpkg-deb -x '" + deb.string() + "' '" + root.string() + "'", &output), 0);
    ASSERT_EQ(testsupport::runCommand(installedCommand(root / "usr/bin/lectorin", "--version"), &output, &errors), 0) << errors;
    EXPECT_EQ(output, "lectorin " + kit::Bundle::plugin().version().value_or("?") + "\n");
}

TEST(ViewCommand, WithoutADisplayItSaysSoAndFails)
{
    std::string output, errors;
    int status = testsupport::runCommand("env -u DISPLAY -u WAYLAND_DISPLAY GDK_BACKEND=x11 '" LECTORIN_EXE "' view '" LECTORIN_SOURCE_DIR
                                         "/resources/sample/report.rtf'",
        &output, &errors);
    EXPECT_EQ(status, 1);
    EXPECT_NE(errors.find("needs a display"), std::string::npos) << errors;
    EXPECT_NE(errors.find("lectorin render"), std::string::npos) << "and says what works instead";
}
