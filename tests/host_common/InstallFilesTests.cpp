// The desktop entry, MIME package, manual page and completion written from the bundle and the help text.
#include "hosts/common/InstallFiles.h"
#include "kit/foundation/Bundle.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

namespace {

// A bundle claiming what the shipped one claims, plus a type another importer might add.
std::filesystem::path writeBundle()
{
    std::filesystem::path folder = testsupport::temporaryFolder("bundle");
    auto type = [](const char* name, const char* description, std::initializer_list<const char*> extensions) {
        std::string entry = "<key>" + std::string(name) + "</key><dict><key>WebPluginExtensions</key><array>";
        for (const char* extension : extensions)
            entry += "<string>" + std::string(extension) + "</string>";
        return entry + "</array><key>WebPluginTypeDescription</key><string>" + description + "</string></dict>";
    };
    testsupport::writeFile(folder / "Info.plist",
        "<plist version=\"1.0\"><dict><key>CFBundleVersion</key><string>2.5</string><key>WebPluginMIMETypes</key><dict>"
            + type("application/rtf", "Rich Text Format document", { "rtf" }) + type("TEXT/RTF", "RTF", { "RTF" })
            + type("application/vnd.oasis.opendocument.text", "OpenDocument text", { "odt" })
            + type("application/x-mswrite", "Write document & more", { "wri" })
            + "<key>not a type</key><dict/></dict></dict></plist>");
    return folder;
}

const char* const kHelp = "usage: lectorin COMMAND [PAGE] [OPTIONS]\n\n"
                          "PAGE is a document.\n\ncommands:\n"
                          "  render       draw the plug-in's box\n"
                          "      lectorin render [PAGE] [-o OUT.png] [--window preferences|about]\n"
                          "  defaults     read or write\n"
                          "      lectorin defaults read|write|delete [KEY [VALUE]]\n"
                          "  check-update run the check\n"
                          "      lectorin check-update [--answer KEY|TITLE]\n"
                          "\ncommon options:\n"
                          "  --paper letter|a4|WxH   the paper\n"
                          "  --help, --version       this text\n"
                          "\nexit status: 0 when it worked\n"
                          "\nfiles:\n  ~/.state  what it remembers,\n      over two lines\n";

} // namespace

TEST(InstallFiles, EveryClaimedTypeReachesTheDesktopEntryAndTheMimePackage)
{
    kit::Bundle bundle(writeBundle());
    auto types = installfiles::claimedTypes(bundle);
    ASSERT_EQ(types.size(), 3u) << "text/rtf is folded into application/rtf; a key without a slash is no type";
    EXPECT_EQ(types[0].type, "application/rtf");
    EXPECT_EQ(types[0].aliases, std::vector<std::string> { "TEXT/RTF" }) << "as the bundle spells it";
    EXPECT_EQ(types[0].extensions, std::vector<std::string> { "rtf" }) << "extensions compare without case";

    std::string entry = installfiles::desktopEntry("[Desktop Entry]\nName=X\nMimeType=old/type;\nExec=x\n", types);
    EXPECT_EQ(entry,
        "[Desktop Entry]\nName=X\nMimeType=application/rtf;TEXT/RTF;application/vnd.oasis.opendocument.text;"
        "application/x-mswrite;\nExec=x\n");
    EXPECT_NE(installfiles::desktopEntry("[Desktop Entry]\n", types).find("\nMimeType=application/rtf;"), std::string::npos)
        << "added when the template has none";

    pugi::xml_document xml;
    std::string package = installfiles::mimePackage(types);
    ASSERT_TRUE(xml.load_string(package.c_str())) << package;
    pugi::xml_node info = xml.child("mime-info");
    EXPECT_TRUE(info.find_child_by_attribute("mime-type", "type", "application/rtf").child("magic"));
    pugi::xml_node write = info.find_child_by_attribute("mime-type", "type", "application/x-mswrite");
    EXPECT_STREQ(write.child_value("comment"), "Write document & more") << "escaped, read back as written";
    EXPECT_STREQ(write.child("glob").attribute("pattern").value(), "*.wri");
    EXPECT_FALSE(write.child("sub-class-of")) << "not a ZIP package";
    EXPECT_STREQ(info.find_child_by_attribute("mime-type", "type", "application/vnd.oasis.opendocument.text")
                     .child("sub-class-of")
                     .attribute("type")
                     .value(),
        "application/zip");

    // The MIME database takes the package (when the tool is there to say so).
    std::string output;
    if (testsupport::runCommand("command -v update-mime-database", &output) == 0) {
        std::filesystem::path mime = testsupport::temporaryFolder("mime");
        std::filesystem::create_directories(mime / "packages");
        testsupport::writeFile(mime / "packages/lectorin.xml", package);
        EXPECT_EQ(testsupport::runCommand("update-mime-database '" + mime.string() + "' 2>&1", &output), 0) << output;
        EXPECT_TRUE(std::filesystem::exists(mime / "application/x-mswrite.xml"));
    }
}

TEST(InstallFiles, TheHelpTextBecomesAManualPageAndCompletion)
{
    installfiles::Help help = installfiles::parseHelp(kHelp);
    ASSERT_EQ(help.commands.size(), 3u);
    EXPECT_EQ(help.commands[2].name, "check-update") << "a long name leaves one space before the summary";
    EXPECT_EQ(help.commands[2].summary, "run the check");
    EXPECT_EQ(help.commands[0].name, "render");
    EXPECT_EQ(help.commands[0].summary, "draw the plug-in's box");
    EXPECT_EQ(help.commands[1].synopsis, "lectorin defaults read|write|delete [KEY [VALUE]]");
    ASSERT_EQ(help.options.size(), 2u);
    EXPECT_EQ(help.options[0].names, "--paper letter|a4|WxH");
    EXPECT_EQ(help.options[1].description, "this text");
    EXPECT_EQ(help.description, std::vector<std::string> { "PAGE is a document." });
    EXPECT_EQ(help.sections,
        (std::vector<std::string> { "exit status: 0 when it worked", "files:\n  ~/.state  what it remembers,\n      over two lines" }));
    EXPECT_EQ(help.optionWords(), (std::vector<std::string> { "--answer", "--help", "--paper", "--version", "--window", "-o" }));

    std::string page = installfiles::manualPage(help, "2.5");
    EXPECT_EQ(page.find(".TH LECTORIN 1"), page.find('\n') + 1);
    EXPECT_NE(page.find(".B \\-\\-paper letter|a4|WxH\nthe paper\n"), std::string::npos) << "hyphens escaped";
    EXPECT_NE(page.find(".SH \"EXIT STATUS\"\n0 when it worked"), std::string::npos);
    EXPECT_NE(page.find(".SH \"FILES\"\n.TP\n.B ~/.state\nwhat it remembers,\nover two lines\n"), std::string::npos) << page;

    std::string script = installfiles::bashCompletion(help);
    EXPECT_NE(script.find("--window) COMPREPLY=($(compgen -W 'preferences about'"), std::string::npos) << script;
    EXPECT_EQ(script.find("--paper) COMPREPLY"), std::string::npos) << "letter|a4|WxH has a placeholder: files instead";
    EXPECT_NE(script.find("defaults) COMPREPLY=($(compgen -W 'read write delete'"), std::string::npos);
}
