// Hostile pages and servers against the built program, run as a user would run it.
// A page from the web must never get the text of a file on the machine it is shown on, whatever base URL it
// declares; a page that is itself a local file may still embed its neighbours. The built program is run on a
// page served from 127.0.0.1, as a user would run it.
#include "kit_net/HostileServer.h"
#include "kit_net/LoopbackServer.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

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

// The whole program against a gzip bomb, as a page and as the document of a page: it ends well within its
// bound, reports the document failed, and its memory never nears a gibibyte (the largest child's peak
// resident size, which under AddressSanitizer includes the shadow memory it touched).
TEST(HostileServer, TheProgramSurvivesAGzipBombWithinItsBounds)
{
    const std::string bomb = nettest::gzipOfZeros((std::size_t(256) << 20) + 1);
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get("/bomb.rtf", [&](const httplib::Request&, httplib::Response& r) { nettest::sendGzipped(r, bomb); });
        s.Get("/page.html", [](const httplib::Request&, httplib::Response& r) {
            r.set_content("<html><body><embed src=\"bomb.rtf\" type=\"application/rtf\"></body></html>", "text/html");
        });
    });
    ASSERT_TRUE(server.isValid());
    for (const char* path : { "/bomb.rtf", "/page.html" }) {
        SCOPED_TRACE(path);
        auto started = std::chrono::steady_clock::now();
        int status = -1;
        std::string info = run("info " + server.url(path), &status);
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_LT(seconds, 30);
        EXPECT_EQ(status, 1) << "the document failed";
        EXPECT_NE(info.find("\"state\":\"failed\""), std::string::npos) << info;
    }
    rusage usage {};
    getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 1L << 20) << "kilobytes: under 1 GiB";
}
