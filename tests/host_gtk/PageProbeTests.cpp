// The probe that tells a page from a document, against a loopback server: what it answers, and how much
// it waits for before answering.
#include "hosts/gtk/PageProbe.h"
#include "kit/foundation/RunLoop.h"
#include "kit_net/LoopbackServer.h"

#include <gtest/gtest.h>
#include <optional>

using namespace std::chrono_literals;

namespace {

const std::vector<std::string> kDocumentTypes { "application/rtf", "application/msword" };

class PageProbeTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_server = std::make_unique<nettest::LoopbackServer>([this](httplib::Server& server) {
            // Header fields at once, the bytes only after the release: a slow server.
            auto heldBack = [this](const std::string& body, const std::string& type) {
                return [this, body, type](const httplib::Request&, httplib::Response& response) {
                    response.set_content_provider(body.size(), type, [this, body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                        if (offset == 0 && !m_release.waitFor(30s))
                            return false;
                        return sink.write(body.data() + offset, std::min(length, body.size() - offset));
                    });
                };
            };
            server.Get("/held.rtf", heldBack("{\\rtf1 held}", "application/rtf"));
            server.Get("/held.bin", heldBack("{\\rtf1 held}", "application/octet-stream"));
            server.Get("/page.html", [](const httplib::Request&, httplib::Response& response) {
                response.set_content("<html><body><embed src=\"a.rtf\"></body></html>", "text/html");
            });
            server.Get("/undeclared", [](const httplib::Request&, httplib::Response& response) {
                response.set_content("\n  <html><body>no declared type</body></html>", "application/octet-stream");
            });
            server.Get("/short.bin", [](const httplib::Request&, httplib::Response& response) {
                response.set_content("{\\rtf1 tiny}", "application/octet-stream");
            });
            server.Get("/moved.rtf", [](const httplib::Request&, httplib::Response& response) {
                response.set_redirect("/page.html");
                response.set_content("", "application/rtf");
            });
        });
        ASSERT_TRUE(m_server->isValid());
    }
    void TearDown() override
    {
        // Handlers still holding back their bytes end before the server stops.
        m_release.raise();
        m_server.reset();
    }

    std::optional<hosts::PageProbe::Answer> probe(const std::string& url, std::chrono::milliseconds bound = 10s)
    {
        std::optional<hosts::PageProbe::Answer> answer;
        int answers = 0;
        auto parsed = kit::URL::withString(url);
        EXPECT_TRUE(parsed);
        hosts::PageProbe probe(*parsed, kDocumentTypes, [&](hosts::PageProbe::Answer a) {
            ++answers;
            answer = std::move(a);
        });
        kit::RunLoop::runUntil([&] { return answer.has_value(); }, bound);
        EXPECT_LE(answers, 1);
        return answer;
    }

    std::unique_ptr<nettest::LoopbackServer> m_server;
    nettest::Signal m_release;
};

} // namespace

TEST_F(PageProbeTest, AnswersAsSoonAsItKnows)
{
    const struct {
        const char* path;
        bool markup;
        bool failed;
        const char* why;
    } cases[] = {
        { "/held.rtf", false, false, "a declared document type is a document before any byte arrives" },
        { "/page.html", true, false, "a declared page is read whole" },
        { "/undeclared", true, false, "an undeclared response starting with '<' is a page" },
        { "/short.bin", false, false, "an undeclared response shorter than the sniffed length, not markup" },
        { "/moved.rtf", true, false, "a redirect's own type does not decide: the page it leads to does" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto answer = probe(m_server->url(c.path));
        ASSERT_TRUE(answer) << "no answer while the bytes are held back";
        EXPECT_EQ(answer->isMarkup, c.markup);
        EXPECT_EQ(answer->failed, c.failed);
        EXPECT_EQ(answer->bytes.empty(), !c.markup) << "only a page's bytes are kept";
    }
    auto page = probe(m_server->url("/page.html"));
    ASSERT_TRUE(page);
    EXPECT_EQ(std::string(page->bytes.begin(), page->bytes.end()), "<html><body><embed src=\"a.rtf\"></body></html>");
}

TEST_F(PageProbeTest, AnUnclaimedTypeWaitsForItsFirstBytes)
{
    // Nothing to decide by until the bytes come: no answer while the server holds them back (a bounded
    // look, since what is checked is that nothing happens).
    EXPECT_FALSE(probe(m_server->url("/held.bin"), 300ms)) << "answered without a byte";
    m_release.raise();
    auto answer = probe(m_server->url("/held.bin"));
    ASSERT_TRUE(answer);
    EXPECT_FALSE(answer->isMarkup);
    EXPECT_FALSE(answer->failed);
}

TEST_F(PageProbeTest, AnUnreachableURLFails)
{
    // A port nothing listens on: bound for a moment to learn a free one, then closed.
    int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(socket, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length), 0);
    close(socket);
    auto answer = probe("http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/gone.rtf");
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->failed);
    EXPECT_FALSE(answer->isMarkup);
}
