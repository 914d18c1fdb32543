// What `cmake --install` puts where a desktop finds it, and `lectorin view` without a display.
#include "kit/foundation/Bundle.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cctype>
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <set>
#include <sstream>

namespace {

// MIME types compare without case.
std::string lower(std::string text)
{
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::set<std::string> split(const std::string& list, char separator)
{
    std::set<std::string> items;
    std::istringstream in(list);
    for (std::string item; std::getline(in, item, separator);) {
        if (!item.empty())
            items.insert(lower(item));
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

} // namespace

TEST(DesktopIntegration, InstallPlacesTheDesktopEntryAndTheMimeTypes)
{
    std::filesystem::path prefix = testsupport::temporaryFolder("prefix");
    std::string output, errors;
    ASSERT_EQ(testsupport::runCommand("cmake --install '" LECTORIN_BINARY_DIR "' --prefix '" + prefix.string() + "'", &output, &errors), 0) << errors;
    std::filesystem::path desktop = prefix / "share/applications/lectorin.desktop";
    std::filesystem::path mime = prefix / "share/mime/packages/lectorin.xml";
    ASSERT_TRUE(std::filesystem::exists(desktop));
    ASSERT_TRUE(std::filesystem::exists(mime));
    EXPECT_TRUE(std::filesystem::exists(prefix / "bin/lectorin"));
    EXPECT_FALSE(std::filesystem::exists(prefix / "share/lectorin/bundle/desktop")) << "the desktop files are not bundle resources";

    std::string entry = testsupport::readText(desktop);
    EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_EQ(desktopValue(entry, "Exec"), "lectorin view %U") << "files and URLs open in the window host";
    EXPECT_EQ(desktopValue(entry, "Type"), "Application");
    // The entry opens exactly the types the plug-in bundle claims.
    const kit::Bundle& bundle = kit::Bundle::plugin();
    auto claimedTypes = bundle.claimedMIMETypes();
    std::set<std::string> claimed;
    for (const auto& type : claimedTypes)
        claimed.insert(lower(type));
    EXPECT_EQ(split(desktopValue(entry, "MimeType"), ';'), claimed);

    // Every claimed type is declared with a glob for each extension the bundle claims for it.
    pugi::xml_document xml;
    ASSERT_TRUE(xml.load_file(mime.c_str()));
    pugi::xml_node info = xml.child("mime-info");
    ASSERT_TRUE(info);
    EXPECT_STREQ(info.attribute("xmlns").value(), "http://www.freedesktop.org/standards/shared-mime-info");
    std::set<std::string> declared, globbed;
    for (pugi::xml_node type : info.children("mime-type")) {
        declared.insert(lower(type.attribute("type").value()));
        for (pugi::xml_node alias : type.children("alias"))
            declared.insert(lower(alias.attribute("type").value()));
        for (pugi::xml_node glob : type.children("glob"))
            globbed.insert(std::string(glob.attribute("pattern").value()).substr(2));
    }
    EXPECT_EQ(declared, claimed);
    auto claimedExtensions = bundle.claimedExtensions();
    EXPECT_EQ(globbed, std::set<std::string>(claimedExtensions.begin(), claimedExtensions.end()));

    // The MIME database accepts the package (when the tool is there to say so).
    std::string ignored;
    if (testsupport::runCommand("command -v update-mime-database", &ignored) == 0) {
        EXPECT_EQ(testsupport::runCommand("update-mime-database '" + (prefix / "share/mime").string() + "' 2>&1", &output), 0) << output;
        EXPECT_TRUE(std::filesystem::exists(prefix / "share/mime/application/vnd.oasis.opendocument.text.xml")) << output;
    }
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
