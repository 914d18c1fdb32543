#include "LoopbackServer.h"
#include "kit/net/SynchronousFetch.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using kit::URL;
using nettest::LoopbackServer;
using nettest::Signal;

namespace {

URL url(const std::string& string)
{
    auto parsed = URL::withString(string);
    EXPECT_TRUE(parsed) << string;
    return parsed.value_or(URL::fileURL("/nonexistent"));
}

std::string text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

} // namespace

TEST(SynchronousFetch, FetchesFollowingRedirectsAndKeepsTheStatus)
{
    LoopbackServer server([](httplib::Server& routes) {
        routes.Get("/lectorin/version.xml",
            [](const httplib::Request&, httplib::Response& response) { response.set_content("<plist/>", "text/xml"); });
        routes.Get("/old.xml", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/lectorin/version.xml", 301);
        });
        routes.Get("/gone.xml", [](const httplib::Request&, httplib::Response& response) {
            response.status = 500;
            response.set_content("server error", "text/plain");
        });
        routes.Get("/to-file", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("file:///etc/hostname");
        });
    });
    const struct {
        const char* path;
        int status;
        const char* body;
        std::optional<int> error;
        const char* finalPath;
        const char* why;
    } cases[] = {
        { "/lectorin/version.xml", 200, "<plist/>", std::nullopt, "/lectorin/version.xml", "plain fetch" },
        { "/old.xml", 200, "<plist/>", std::nullopt, "/lectorin/version.xml", "a redirect is followed" },
        { "/gone.xml", 500, "server error", std::nullopt, "/gone.xml", "an error status is the caller's to judge" },
        { "/to-file", 302, "", -1002, nullptr, "never redirected to a local file" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = kit::fetchSynchronously(url(server.url(c.path)), 1024);
        EXPECT_EQ(result.statusCode, c.status);
        EXPECT_EQ(text(result.body), c.body);
        EXPECT_EQ(result.error ? std::optional<int>(result.error->code()) : std::nullopt, c.error);
        if (c.finalPath) {
            EXPECT_EQ(result.url->absoluteString(), server.url(c.finalPath));
        } else {
            ASSERT_TRUE(result.error);
            EXPECT_EQ(result.error->userInfoValue(kit::ErrorFailingURLStringKey), "file:///etc/hostname");
        }
    }
}

TEST(SynchronousFetch, FailsOverTheSizeLimitRatherThanTruncating)
{
    LoopbackServer server([](httplib::Server& routes) {
        routes.Get("/sized", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(100, 's'), "text/plain");
        });
        // No Content-Length: the limit can only be found while reading.
        routes.Get("/chunked", [](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider(
                "application/octet-stream", [](std::size_t offset, httplib::DataSink& sink) {
                    if (offset >= 100) {
                        sink.done();
                        return true;
                    }
                    return sink.write(std::string(50, 'c').data(), 50);
                });
        });
    });
    for (const char* path : { "/sized", "/chunked" }) {
        const testsupport::Case<std::size_t, bool> cases[] = {
            { 99, false, "one byte short" },
            { 100, true, "exactly the limit" },
            { 101, true, "one byte spare" },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(path) + ": " + c.why);
            auto result = kit::fetchSynchronously(url(server.url(path)), c.input);
            EXPECT_EQ(result.succeeded(), c.expected);
            EXPECT_EQ(result.body.size(), c.expected ? 100u : 0u);
            if (!c.expected) {
                ASSERT_TRUE(result.error);
                EXPECT_EQ(result.error->code(), int(kit::URLErrorCode::DataLengthExceedsMaximum));
            }
        }
    }
}

TEST(SynchronousFetch, ReportsUnreachableAndSilentServers)
{
    nettest::RefusingPort refusing;
    auto refused = kit::fetchSynchronously(url("http://127.0.0.1:" + std::to_string(refusing.port()) + "/v.xml"), 1024);
    ASSERT_TRUE(refused.error);
    EXPECT_EQ(refused.error->code(), int(kit::URLErrorCode::CannotConnectToHost));
    EXPECT_EQ(refused.statusCode, 0);

    Signal release;
    LoopbackServer server([&](httplib::Server& routes) {
        routes.Get("/silent", [&](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider("application/octet-stream", [&](std::size_t, httplib::DataSink&) {
                release.waitFor(std::chrono::seconds(10));
                return false;
            });
        });
    });
    kit::FetchLimits limits;
    limits.totalTimeout = std::chrono::milliseconds(500);
    auto start = std::chrono::steady_clock::now();
    auto silent = kit::fetchSynchronously(url(server.url("/silent")), limits);
    auto elapsed = std::chrono::steady_clock::now() - start;
    release.raise();
    ASSERT_TRUE(silent.error);
    EXPECT_EQ(silent.error->code(), int(kit::URLErrorCode::TimedOut));
    EXPECT_GE(elapsed, std::chrono::milliseconds(450));
    EXPECT_LT(elapsed, std::chrono::seconds(5)) << "the total bound holds while headers have arrived";
}

TEST(SynchronousFetch, ReadsFilesAndRefusesOtherSchemes)
{
    auto folder = testsupport::temporaryFolder("fetch");
    testsupport::writeFile(folder / "version 2.xml", "<dict/>");
    auto file = kit::fetchSynchronously(URL::fileURL((folder / "version 2.xml").string()), 64);
    EXPECT_TRUE(file.succeeded());
    EXPECT_EQ(text(file.body), "<dict/>");
    EXPECT_EQ(file.statusCode, 0);

    auto missing = kit::fetchSynchronously(URL::fileURL((folder / "none.xml").string()), 64);
    ASSERT_TRUE(missing.error);
    EXPECT_EQ(missing.error->code(), int(kit::URLErrorCode::FileDoesNotExist));

    auto ftp = kit::fetchSynchronously(url("ftp://127.0.0.1/version.xml"), 64);
    ASSERT_TRUE(ftp.error);
    EXPECT_EQ(ftp.error->code(), int(kit::URLErrorCode::UnsupportedURL));
}
