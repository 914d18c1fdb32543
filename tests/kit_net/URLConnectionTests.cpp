#include "LoopbackServer.h"
#include "kit/foundation/RunLoop.h"
#include "kit/net/URLConnection.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <atomic>
#include <cctype>
#include <fstream>
#include <gtest/gtest.h>

using kit::Error;
using kit::RunLoop;
using kit::URL;
using kit::URLConnection;
using kit::URLRequest;
using kit::URLResponse;
using nettest::LoopbackServer;
using nettest::Signal;

namespace {

constexpr auto kBound = std::chrono::seconds(10);

// Writes down every callback as a line ("response 200", "data <bytes>", "finish", "fail <code>"); data
// lines that follow one another are joined, so a sequence does not depend on how the bytes were split.
class Recorder : public kit::URLConnectionDelegate {
public:
    std::vector<std::string> events;
    std::vector<URLResponse> responses;
    std::vector<std::string> pieces;
    std::string body; // since the last response
    std::optional<Error> error;
    int endings = 0;
    // Runs after each callback has been recorded, with the callback's kind: "response", "data", "finish", "fail".
    std::function<void(URLConnection&, const std::string&)> after;

    bool hasEnded() const { return endings > 0; }

    void connectionDidReceiveResponse(URLConnection& connection, const URLResponse& response) override
    {
        events.push_back("response " + std::to_string(response.statusCode()));
        responses.push_back(response);
        body.clear();
        notify(connection, "response");
    }
    void connectionDidReceiveData(URLConnection& connection, std::span<const std::uint8_t> bytes) override
    {
        std::string text(bytes.begin(), bytes.end());
        pieces.push_back(text);
        body += text;
        if (!events.empty() && events.back().starts_with("data "))
            events.back() += text;
        else
            events.push_back("data " + text);
        notify(connection, "data");
    }
    void connectionDidFinishLoading(URLConnection& connection) override
    {
        events.push_back("finish");
        ++endings;
        notify(connection, "finish");
    }
    void connectionDidFailWithError(URLConnection& connection, const Error& failure) override
    {
        events.push_back("fail " + std::to_string(failure.code()));
        error = failure;
        ++endings;
        notify(connection, "fail");
    }

private:
    void notify(URLConnection& connection, const std::string& kind)
    {
        if (after)
            after(connection, kind);
    }
};

URL url(const std::string& string)
{
    auto parsed = URL::withString(string);
    EXPECT_TRUE(parsed) << string;
    return parsed.value_or(URL::fileURL("/nonexistent"));
}

std::unique_ptr<URLConnection> load(
    const std::string& string, Recorder& recorder, std::optional<URL> page = std::nullopt)
{
    URLRequest request(url(string));
    request.setMainDocumentURL(std::move(page));
    return URLConnection::start(request, &recorder);
}

bool waitForEnd(Recorder& recorder)
{
    return RunLoop::runUntil([&] { return recorder.hasEnded(); }, kBound);
}

std::string failingURL(const Recorder& recorder)
{
    return recorder.error ? recorder.error->userInfoValue(kit::ErrorFailingURLStringKey).value_or("(null)")
                          : "(no error)";
}

} // namespace

TEST(URLConnection, LoadsADocument)
{
    std::mutex mutex;
    std::string referrer;
    LoopbackServer server([&](httplib::Server& routes) {
        routes.Get("/doc.txt", [&](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            referrer = request.get_header_value("Referer");
            response.set_header("X-Served-By", "loopback");
            response.set_content("hello, document", "application/rtf; charset=utf-8");
        });
    });
    ASSERT_TRUE(server.isValid());
    Recorder recorder;
    auto connection = load(server.url("/doc.txt"), recorder, url(server.url("/page.html#section")));
    ASSERT_TRUE(connection);
    EXPECT_TRUE(recorder.events.empty()) << "nothing is reported before the run loop runs";
    ASSERT_TRUE(waitForEnd(recorder));

    EXPECT_EQ(recorder.events, (std::vector<std::string> { "response 200", "data hello, document", "finish" }));
    ASSERT_EQ(recorder.responses.size(), 1u);
    const URLResponse& response = recorder.responses[0];
    EXPECT_EQ(response.url().absoluteString(), server.url("/doc.txt"));
    EXPECT_EQ(response.mimeType(), "application/rtf");
    EXPECT_EQ(response.textEncodingName(), "utf-8");
    EXPECT_EQ(response.expectedContentLength(), 15);
    EXPECT_EQ(response.valueForHTTPHeaderField("x-served-by"), "loopback");
    std::lock_guard lock(mutex);
    EXPECT_EQ(referrer, server.url("/page.html")) << "the page is the referrer, without its fragment";
}

TEST(URLConnection, DecodesCompressedBodies)
{
    // The server compresses text for clients that accept it; the delegate must see the text itself.
    std::string text(5000, 'a');
    LoopbackServer server([&](httplib::Server& routes) {
        routes.Get("/page.html",
            [&](const httplib::Request&, httplib::Response& response) { response.set_content(text, "text/html"); });
    });
    Recorder recorder;
    auto connection = load(server.url("/page.html"), recorder);
    ASSERT_TRUE(connection);
    ASSERT_TRUE(waitForEnd(recorder));
    ASSERT_EQ(recorder.responses.size(), 1u);
    ASSERT_TRUE(recorder.responses[0].valueForHTTPHeaderField("Content-Encoding")) << "the server did not compress";
    EXPECT_EQ(recorder.body, text);
    EXPECT_EQ(recorder.responses[0].expectedContentLength(), -1) << "Content-Length counts compressed bytes";
}

TEST(URLConnection, FinishesA404WithItsBody)
{
    LoopbackServer server([](httplib::Server& routes) {
        routes.Get("/missing.doc", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("no such document", "text/html");
        });
    });
    Recorder recorder;
    auto connection = load(server.url("/missing.doc"), recorder);
    ASSERT_TRUE(connection);
    ASSERT_TRUE(waitForEnd(recorder));
    EXPECT_EQ(recorder.events, (std::vector<std::string> { "response 404", "data no such document", "finish" }))
        << "an HTTP error status is a completed load";
}

TEST(URLConnection, ReportsEveryRedirectWithItsBody)
{
    LoopbackServer server([](httplib::Server& routes) {
        routes.Get("/old/report.doc", [](const httplib::Request&, httplib::Response& response) {
            response.status = 302;
            response.set_header("Location", "../new/report.doc"); // relative, resolved against the old URL
            response.set_content("moved", "text/html");
        });
        routes.Get("/new/report.doc", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("the document", "application/msword");
        });
    });
    Recorder recorder;
    auto connection = load(server.url("/old/report.doc"), recorder);
    ASSERT_TRUE(connection);
    ASSERT_TRUE(waitForEnd(recorder));
    EXPECT_EQ(recorder.events,
        (std::vector<std::string> { "response 302", "data moved", "response 200", "data the document", "finish" }));
    ASSERT_EQ(recorder.responses.size(), 2u);
    EXPECT_EQ(recorder.responses[0].url().absoluteString(), server.url("/old/report.doc"));
    EXPECT_EQ(recorder.responses[1].url().absoluteString(), server.url("/new/report.doc"));
    EXPECT_EQ(recorder.body, "the document") << "the body after the last response";
    EXPECT_EQ(connection->currentURL().absoluteString(), server.url("/new/report.doc"));
}

TEST(URLConnection, RefusesRedirectsItMayNotFollow)
{
    std::atomic<int> loopRequests = 0;
    LoopbackServer server([&](httplib::Server& routes) {
        routes.Get("/to-file", [](const httplib::Request&, httplib::Response& response) {
            response.status = 302;
            response.set_header("Location", "file:///etc/hostname");
            response.set_content("moved", "text/plain");
        });
        routes.Get("/to-ftp", [](const httplib::Request&, httplib::Response& response) {
            response.status = 301;
            response.set_header("Location", "ftp://127.0.0.1/x.doc");
            response.set_content("moved", "text/plain");
        });
        routes.Get("/loop", [&](const httplib::Request&, httplib::Response& response) {
            ++loopRequests;
            response.status = 307;
            response.set_header("Location", "/loop");
        });
    });
    const struct {
        const char* path;
        int code;
        const char* failingURL;
        std::size_t responses;
        const char* why;
    } cases[] = {
        { "/to-file", -1102, "file:///etc/hostname", 1, "a page from the web may not read local files" },
        { "/to-ftp", -1002, "ftp://127.0.0.1/x.doc", 1, "only http and https are followed" },
        { "/loop", -1007, nullptr, 21, "twenty redirects are followed, not the twenty-first" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Recorder recorder;
        auto connection = load(server.url(c.path), recorder);
        ASSERT_TRUE(connection);
        ASSERT_TRUE(waitForEnd(recorder));
        EXPECT_EQ(recorder.responses.size(), c.responses) << "the refused redirect's own response is reported";
        EXPECT_EQ(recorder.events.back(), "fail " + std::to_string(c.code));
        EXPECT_EQ(recorder.endings, 1);
        EXPECT_EQ(failingURL(recorder), c.failingURL ? std::string(c.failingURL) : server.url("/loop"));
    }
    EXPECT_EQ(loopRequests.load(), 21);
}

TEST(URLConnection, FailsAfterTheDataOfABodyCutShort)
{
    LoopbackServer server([](httplib::Server& routes) {
        routes.Get("/cut.doc", [](const httplib::Request&, httplib::Response& response) {
            // Promises 1000 bytes, sends 300, then the connection closes.
            response.set_content_provider(
                1000, "application/msword", [](std::size_t, std::size_t, httplib::DataSink& sink) {
                    std::string part(300, 'a');
                    sink.write(part.data(), part.size());
                    return false;
                });
        });
    });
    Recorder recorder;
    auto connection = load(server.url("/cut.doc"), recorder);
    ASSERT_TRUE(connection);
    ASSERT_TRUE(waitForEnd(recorder));
    ASSERT_EQ(recorder.events.size(), 3u);
    EXPECT_EQ(recorder.events[0], "response 200");
    EXPECT_EQ(recorder.body, std::string(300, 'a')) << "what arrived is reported before the failure";
    EXPECT_EQ(recorder.events[2], "fail -1005");
    ASSERT_TRUE(recorder.error);
    EXPECT_EQ(recorder.error->localizedDescription(), "The network connection was lost.");
    EXPECT_EQ(failingURL(recorder), server.url("/cut.doc"));
}

TEST(URLConnection, DeliversASlowBodyPieceByPiece)
{
    // The server sends a piece only after the delegate has seen the previous one.
    Signal seen[3];
    LoopbackServer server([&](httplib::Server& routes) {
        routes.Get("/slow", [&](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider(
                "application/octet-stream", [&](std::size_t offset, httplib::DataSink& sink) {
                    int index = int(offset / 7);
                    if (index > 0 && !seen[index - 1].waitFor(kBound))
                        return false;
                    if (index == 3) {
                        sink.done();
                        return true;
                    }
                    std::string piece = "piece " + std::to_string(index);
                    return sink.write(piece.data(), piece.size());
                });
        });
    });
    Recorder recorder;
    recorder.after = [&](URLConnection&, const std::string& kind) {
        if (kind == "data" && recorder.pieces.size() <= 3)
            seen[recorder.pieces.size() - 1].raise();
    };
    auto connection = load(server.url("/slow"), recorder);
    ASSERT_TRUE(connection);
    ASSERT_TRUE(waitForEnd(recorder));
    EXPECT_EQ(recorder.pieces, (std::vector<std::string> { "piece 0", "piece 1", "piece 2" }));
    EXPECT_EQ(recorder.events.back(), "finish");
    EXPECT_EQ(recorder.responses.at(0).expectedContentLength(), -1) << "chunked: no length known";
}

TEST(URLConnection, FailsToConnectToARefusedPort)
{
    nettest::RefusingPort port;
    ASSERT_GT(port.port(), 0);
    std::string address = "http://127.0.0.1:" + std::to_string(port.port()) + "/doc.rtf";
    Recorder recorder;
    auto connection = load(address, recorder);
    ASSERT_TRUE(connection);
    ASSERT_TRUE(waitForEnd(recorder));
    EXPECT_EQ(recorder.events, (std::vector<std::string> { "fail -1004" }));
    EXPECT_EQ(recorder.error->localizedDescription(), "Could not connect to the server.");
    EXPECT_EQ(failingURL(recorder), address);
    EXPECT_EQ(recorder.error->domain(), "NSURLErrorDomain");
}

TEST(URLConnection, TimesOutWhenTheServerFallsSilent)
{
    Signal release;
    LoopbackServer server([&](httplib::Server& routes) {
        routes.Get("/stall", [&](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider(
                "application/octet-stream", [&](std::size_t offset, httplib::DataSink& sink) {
                    if (offset == 0)
                        return sink.write("partial", 7);
                    release.waitFor(kBound);
                    return false;
                });
        });
    });
    Recorder recorder;
    URLRequest request(url(server.url("/stall")));
    request.setTimeoutInterval(1);
    auto connection = URLConnection::start(request, &recorder);
    ASSERT_TRUE(connection);
    ASSERT_TRUE(RunLoop::runUntil([&] { return !recorder.pieces.empty(); }, kBound));
    auto lastByte = std::chrono::steady_clock::now();
    bool ended = waitForEnd(recorder);
    auto silence = std::chrono::steady_clock::now() - lastByte;
    release.raise();
    ASSERT_TRUE(ended);
    EXPECT_EQ(recorder.events, (std::vector<std::string> { "response 200", "data partial", "fail -1001" }));
    EXPECT_EQ(recorder.error->localizedDescription(), "The request timed out.");
    EXPECT_GE(silence, std::chrono::milliseconds(900)) << "the interval counts from the last byte";
    EXPECT_LT(silence, std::chrono::seconds(3)) << "and not from some average over seconds";
}

// The server keeps writing after the client cancelled; its writes must start failing, which they only do
// once the client has closed the socket.
class CancelTest : public testing::TestWithParam<const char*> { };

TEST_P(CancelTest, ClosesTheServersConnectionAndStopsCallbacks)
{
    Signal cancelled, writeFailed;
    LoopbackServer server([&](httplib::Server& routes) {
        routes.Get("/endless", [&](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider(
                "application/octet-stream", [&](std::size_t offset, httplib::DataSink& sink) {
                    if (offset == 0)
                        return sink.write("first", 5);
                    if (!cancelled.waitFor(kBound))
                        return false;
                    std::string block(16384, 'x');
                    for (auto deadline = std::chrono::steady_clock::now() + kBound;
                         std::chrono::steady_clock::now() < deadline;) {
                        if (!sink.write(block.data(), block.size())) {
                            writeFailed.raise();
                            return false;
                        }
                    }
                    return false;
                });
        });
    });
    std::string how = GetParam();
    Recorder recorder;
    std::unique_ptr<URLConnection> connection;
    recorder.after = [&](URLConnection& current, const std::string& kind) {
        if (kind != "data")
            return;
        if (how == "cancel inside the callback")
            current.cancel();
        else if (how == "destroy inside the callback")
            connection.reset();
    };
    connection = load(server.url("/endless"), recorder);
    ASSERT_TRUE(connection);
    ASSERT_TRUE(RunLoop::runUntil([&] { return !recorder.pieces.empty(); }, kBound));
    if (how == "cancel from outside")
        connection->cancel();
    else if (how == "destroy from outside")
        connection.reset();
    auto seenAtCancel = recorder.events;
    cancelled.raise();

    EXPECT_TRUE(RunLoop::runUntil([&] { return writeFailed.isRaised(); }, kBound)) << "the server never saw the close";
    // A second load through the same machinery ends after anything the first could still have sent.
    Recorder follower;
    auto next = load(server.url("/nothing-here"), follower);
    ASSERT_TRUE(next);
    ASSERT_TRUE(waitForEnd(follower));
    EXPECT_EQ(recorder.events, seenAtCancel) << "no callback after cancel";
    EXPECT_EQ(recorder.events, (std::vector<std::string> { "response 200", "data first" }));
    EXPECT_EQ(recorder.endings, 0);
    if (connection)
        connection->cancel(); // a second cancel is harmless
}

INSTANTIATE_TEST_SUITE_P(URLConnection, CancelTest,
    testing::Values(
        "cancel from outside", "destroy from outside", "cancel inside the callback", "destroy inside the callback"),
    [](const auto& info) {
        std::string name;
        for (const char* c = info.param; *c; ++c) {
            if (*c != ' ')
                name += name.empty() || c[-1] != ' ' ? *c : char(std::toupper(*c));
        }
        return name;
    });

TEST(URLConnection, SurvivesTheDelegateDestroyingItInAnyCallback)
{
    nettest::RefusingPort refusing;
    LoopbackServer server([](httplib::Server& routes) {
        routes.Get("/doc",
            [](const httplib::Request&, httplib::Response& response) { response.set_content("body", "text/plain"); });
    });
    auto temporary = testsupport::temporaryFolder("destroy");
    const struct {
        std::string address;
        std::optional<URL> page;
        const char* kind;
        std::vector<std::string> events;
    } cases[] = {
        { server.url("/doc"), std::nullopt, "response", { "response 200" } },
        { server.url("/doc"), std::nullopt, "data", { "response 200", "data body" } },
        { server.url("/doc"), std::nullopt, "finish", { "response 200", "data body", "finish" } },
        { "http://127.0.0.1:" + std::to_string(refusing.port()) + "/", std::nullopt, "fail", { "fail -1004" } },
        { URL::fileURL((temporary / "x.doc").string()).absoluteString(), url(server.url("/page")), "fail",
            { "fail -1102" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address + " destroyed on " + c.kind);
        Recorder recorder;
        std::unique_ptr<URLConnection> connection;
        bool destroyed = false;
        recorder.after = [&](URLConnection&, const std::string& kind) {
            if (kind == c.kind) {
                connection.reset();
                destroyed = true;
            }
        };
        connection = load(c.address, recorder, c.page);
        ASSERT_TRUE(connection);
        ASSERT_TRUE(RunLoop::runUntil([&] { return destroyed; }, kBound));
        Recorder follower;
        auto next = load(server.url("/doc"), follower);
        ASSERT_TRUE(waitForEnd(follower));
        EXPECT_EQ(recorder.events, c.events);
    }
}

TEST(URLConnection, RunsLoadsSideBySide)
{
    Signal fastDone;
    LoopbackServer server([&](httplib::Server& routes) {
        routes.Get("/slow", [&](const httplib::Request&, httplib::Response& response) {
            response.set_chunked_content_provider(
                "application/octet-stream", [&](std::size_t offset, httplib::DataSink& sink) {
                    if (offset == 0)
                        return sink.write("slow-start ", 11);
                    if (!fastDone.waitFor(kBound))
                        return false;
                    sink.write("slow-end", 8);
                    sink.done();
                    return true;
                });
        });
        routes.Get("/fast",
            [](const httplib::Request&, httplib::Response& response) { response.set_content("fast", "text/plain"); });
    });
    Recorder slow, fast;
    std::vector<std::string> order;
    slow.after = [&](URLConnection&, const std::string& kind) {
        if (kind == "finish")
            order.push_back("slow");
    };
    fast.after = [&](URLConnection&, const std::string& kind) {
        if (kind == "finish") {
            order.push_back("fast");
            fastDone.raise();
        }
    };
    auto slowConnection = load(server.url("/slow"), slow);
    ASSERT_TRUE(RunLoop::runUntil([&] { return !slow.pieces.empty(); }, kBound));
    auto fastConnection = load(server.url("/fast"), fast);
    ASSERT_TRUE(RunLoop::runUntil([&] { return slow.hasEnded() && fast.hasEnded(); }, kBound));
    EXPECT_EQ(order, (std::vector<std::string> { "fast", "slow" })) << "a stalled load must not hold up another";
    EXPECT_EQ(slow.body, "slow-start slow-end");
    EXPECT_EQ(fast.body, "fast");
}

TEST(URLConnection, LoadsLocalFiles)
{
    auto folder = testsupport::temporaryFolder("files");
    testsupport::writeFile(folder / "my report.rtf", "{\\rtf1 hello}");
    testsupport::writeFile(folder / "empty.txt", "");
    std::filesystem::create_directories(folder / "folder.doc");
    const struct {
        std::string name;
        std::vector<std::string> events;
        const char* mimeType;
        long long length;
        const char* why;
    } cases[] = {
        { "my report.rtf", { "response 0", "data {\\rtf1 hello}", "finish" }, "application/rtf", 13,
            "a file with a space" },
        { "empty.txt", { "response 0", "finish" }, "text/plain", 0, "an empty file still has a response" },
        { "missing.doc", { "fail -1100" }, nullptr, 0, "no such file" },
        { "folder.doc", { "fail -1101" }, nullptr, 0, "a folder" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        URL file = URL::fileURL((folder / c.name).string());
        Recorder recorder;
        auto connection = URLConnection::start(URLRequest(file), &recorder);
        ASSERT_TRUE(connection);
        ASSERT_TRUE(waitForEnd(recorder));
        EXPECT_EQ(recorder.events, c.events);
        if (c.mimeType) {
            ASSERT_EQ(recorder.responses.size(), 1u);
            EXPECT_EQ(recorder.responses[0].mimeType(), c.mimeType);
            EXPECT_EQ(recorder.responses[0].expectedContentLength(), c.length);
            EXPECT_EQ(recorder.responses[0].url(), file);
        } else
            EXPECT_EQ(failingURL(recorder), file.absoluteString());
    }
    Recorder missing;
    auto connection = URLConnection::start(URLRequest(URL::fileURL((folder / "missing.doc").string())), &missing);
    ASSERT_TRUE(waitForEnd(missing));
    EXPECT_EQ(missing.error->localizedDescription(), "The requested URL was not found on this server.");
}

TEST(URLConnection, ReadsLargeLocalFilesWholeAndHoldsThemToTheMaximum)
{
    auto folder = testsupport::temporaryFolder("large");
    // Several of the pieces the reader takes a turn each, with a byte of each position's own.
    std::string large(3 * 1024 * 1024 + 17, '\0');
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = char('a' + i % 26);
    testsupport::writeFile(folder / "large.txt", large);
    {
        Recorder recorder;
        auto connection = URLConnection::start(URLRequest(URL::fileURL((folder / "large.txt").string())), &recorder);
        ASSERT_TRUE(connection);
        ASSERT_TRUE(waitForEnd(recorder));
        ASSERT_EQ(recorder.responses.size(), 1u);
        EXPECT_EQ(recorder.responses[0].expectedContentLength(), (long long)large.size());
        EXPECT_GT(recorder.pieces.size(), 1u) << "a large file arrives over several turns";
        EXPECT_TRUE(recorder.body == large) << "every byte once, in order";
        EXPECT_EQ(recorder.events.back(), "finish");
    }
    {
        URLRequest request(URL::fileURL((folder / "large.txt").string()));
        request.setMaximumBodyLength(large.size() - 1);
        Recorder recorder;
        auto connection = URLConnection::start(request, &recorder);
        ASSERT_TRUE(waitForEnd(recorder));
        EXPECT_EQ(recorder.events, (std::vector<std::string> { "fail -1103" })) << "refused before any byte";
        EXPECT_EQ(recorder.error->localizedDescription(), "The document is larger than " + std::to_string(large.size() - 1)
                + " bytes.");
    }
}

namespace {

// The body of one load, once it has ended.
std::string bodyOfLoad(const URL& target)
{
    Recorder recorder;
    auto connection = URLConnection::start(URLRequest(target), &recorder);
    EXPECT_TRUE(connection && waitForEnd(recorder)) << target.absoluteString();
    return recorder.body;
}

bool networkLibraryIsMapped()
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line))
        if (line.find("libcurl") != std::string::npos)
            return true;
    return false;
}

} // namespace

TEST(URLConnection, LocalFilesAreReadWithoutLoadingTheNetworkLibrary)
{
    if (networkLibraryIsMapped())
        GTEST_SKIP() << "an earlier test of this process loaded it";
    auto folder = testsupport::temporaryFolder("unmapped");
    testsupport::writeFile(folder / "note.txt", "local");
    EXPECT_EQ(bodyOfLoad(URL::fileURL((folder / "note.txt").string())), "local");
    EXPECT_FALSE(networkLibraryIsMapped()) << "a command that opens a file starts without it";
    LoopbackServer server([](httplib::Server& routes) {
        routes.Get("/remote.txt",
            [](const httplib::Request&, httplib::Response& out) { out.set_content("remote", "text/plain"); });
    });
    EXPECT_EQ(bodyOfLoad(url(server.url("/remote.txt"))), "remote");
    EXPECT_TRUE(networkLibraryIsMapped()) << "the first load over the network loads it";
}

TEST(URLConnection, RefusesLocalFilesToPagesFromTheWebOnALaterTurn)
{
    auto folder = testsupport::temporaryFolder("policy");
    testsupport::writeFile(folder / "secret.doc", "secret");
    URL file = URL::fileURL((folder / "secret.doc").string());
    const testsupport::Case<std::optional<URL>, std::vector<std::string>> cases[] = {
        { url("http://example.com/page.html"), { "fail -1102" }, "a page from the web" },
        { url("https://example.com/page.html"), { "fail -1102" }, "a secure page from the web" },
        { url("data:text/html,page"), { "fail -1102" }, "a page from neither the web nor the disk" },
        { URL::fileURL((folder / "page.html").string()), { "response 0", "data secret", "finish" }, "a local page" },
        { std::nullopt, { "response 0", "data secret", "finish" }, "no page at all" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        URLRequest request(file);
        request.setMainDocumentURL(c.input);
        Recorder recorder;
        auto connection = URLConnection::start(request, &recorder);
        ASSERT_TRUE(connection) << "refused by policy, yet a connection: the failure is reported like any other";
        EXPECT_TRUE(recorder.events.empty()) << "not from inside start()";
        ASSERT_TRUE(waitForEnd(recorder));
        EXPECT_EQ(recorder.events, c.expected);
        if (recorder.error) {
            EXPECT_EQ(failingURL(recorder), file.absoluteString());
            EXPECT_FALSE(recorder.error->localizedDescription().empty());
        }
    }
}

TEST(URLConnection, MakesNoConnectionForSchemesItCannotLoad)
{
    const char* addresses[] = { "ftp://127.0.0.1/a.doc", "javascript:alert(1)", "data:text/plain,hello", "mailto:a@b.c",
        "relative/path.doc", "gopher://127.0.0.1/" };
    for (const char* address : addresses) {
        Recorder recorder;
        EXPECT_FALSE(load(address, recorder)) << address;
        EXPECT_FALSE(URLConnection::canHandleRequest(URLRequest(url(address)))) << address;
    }
    EXPECT_TRUE(URLConnection::canHandleRequest(URLRequest(url("HTTPS://example.com/"))));
}

TEST(URLConnection, EncodesAndNamesDocumentsEndToEnd)
{
    std::mutex mutex;
    std::vector<std::string> paths;
    LoopbackServer server([&](httplib::Server& routes) {
        routes.Get("/files/(.*)", [&](const httplib::Request& request, httplib::Response& response) {
            std::lock_guard lock(mutex);
            paths.push_back(request.path);
            response.set_content("doc", "application/msword");
        });
        routes.Get("/download.php", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Content-Disposition",
                "attachment; filename=\"fallback.docx\"; filename*=UTF-8''Gro%C3%9Fer%20Bericht.docx");
            response.set_content("docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document");
        });
    });
    auto page = url(server.url("/files/page.html"));
    const struct {
        const char* src;
        const char* serverPath;
        const char* filename;
    } cases[] = {
        { "my report.doc", "/files/my report.doc", "my report.doc" },
        { "Bericht über Lösung", "/files/Bericht über Lösung", "Bericht über Lösung.doc" },
        { "../download.php", nullptr, "Großer Bericht.docx" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.src);
        auto resolvedURL = URL::withString(c.src, page);
        ASSERT_TRUE(resolvedURL);
        Recorder recorder;
        auto connection = URLConnection::start(URLRequest(*resolvedURL), &recorder);
        ASSERT_TRUE(connection);
        ASSERT_TRUE(waitForEnd(recorder));
        ASSERT_EQ(recorder.responses.size(), 1u);
        EXPECT_EQ(recorder.responses[0].statusCode(), 200);
        EXPECT_EQ(recorder.responses[0].suggestedFilename(), c.filename);
        if (c.serverPath) {
            std::lock_guard lock(mutex);
            ASSERT_FALSE(paths.empty());
            EXPECT_EQ(paths.back(), c.serverPath) << "the server decodes what the client encoded";
        }
    }
}
