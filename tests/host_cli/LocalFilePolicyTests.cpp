// A page from the web must never get the text of a file on the machine it is shown on, whatever base URL it
// declares; a page that is itself a local file may still embed its neighbours. The built program is run on a
// page served from 127.0.0.1, as a user would run it.
#include "kit_net/LoopbackServer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kSecret = "Private notes of the user";

std::string run(const std::string& arguments, int* status)
{
    std::string output;
    *status = testsupport::runCommand(std::string(LECTORIN_EXE) + " " + arguments + " --paper letter", &output);
    return output;
}

} // namespace

TEST(LocalFilePolicy, AWebPageGetsNoLocalFileWhateverItsBaseSays)
{
    auto folder = testsupport::temporaryFolder("secret");
    testsupport::writeFile(folder / "notes.rtf", std::string("{\\rtf1\\ansi ") + kSecret + ".\\par}");
    std::string path = (folder / "notes.rtf").string(); // absolute: starts with '/'
    std::string directory = folder.string() + "/";
    const struct {
        std::string head, src;
        const char* why;
    } cases[] = {
        { "<base href=\"file:///\">", path.substr(1), "the reported attack: a file base and a relative src" },
        { "<base href=\"file://" + directory + "\">", "notes.rtf", "a base naming the file's folder" },
        { "<base href=\"file://localhost/\">", path.substr(1), "a file base with the local host named" },
        { "<base href=\"FILE:///\">", path.substr(1), "the scheme in capitals" },
        { "", "file://" + path, "no base, an absolute file URL" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        std::string page = "<html><head>" + c.head + "</head><body><embed src=\"" + c.src
            + "\" type=\"application/rtf\" width=\"400\" height=\"300\"></body></html>";
        nettest::LoopbackServer server([&](httplib::Server& s) {
            s.Get(
                "/page.html", [&](const httplib::Request&, httplib::Response& r) { r.set_content(page, "text/html"); });
        });
        ASSERT_TRUE(server.isValid());
        int status = -1;
        std::string text = run("text " + server.url("/page.html"), &status);
        EXPECT_EQ(text.find(kSecret), std::string::npos) << text;
        EXPECT_NE(status, 0) << "the embed failed, and the exit status says so";
        std::string info = run("info " + server.url("/page.html"), &status);
        EXPECT_NE(info.find("\"state\":\"failed\""), std::string::npos) << info;
    }
}

TEST(LocalFilePolicy, ALocalPageStillEmbedsLocalFiles)
{
    auto folder = testsupport::temporaryFolder("local");
    testsupport::writeFile(folder / "notes.rtf", std::string("{\\rtf1\\ansi ") + kSecret + ".\\par}");
    std::string path = (folder / "notes.rtf").string();
    testsupport::writeFile(folder / "page.html",
        "<html><head><base href=\"file:///\"></head><body><embed src=\"" + path.substr(1)
            + "\" type=\"application/rtf\"></body></html>");
    int status = -1;
    std::string text = run("text " + (folder / "page.html").string(), &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(text.find(kSecret), std::string::npos) << text;
    text = run("text " + path, &status);
    EXPECT_EQ(status, 0) << "a local document named on the command line is its own page";
    EXPECT_NE(text.find(kSecret), std::string::npos) << text;
}
