// Servers that mean harm: a body that decodes to far more than it weighs, one that never ends, one that
// trickles, one cut off, a redirect to itself. Every load ends within its bound with the failure that says
// why, and no more than the maximum body length ever reaches the delegate.
#include "kit/foundation/RunLoop.h"
#include "kit/net/URLConnection.h"
#include "kit_net/HostileServer.h"
#include "kit_net/LoopbackServer.h"

#include <gtest/gtest.h>

namespace {

// Counts what arrives instead of keeping it: the bodies here are too large to copy around.
class Counter : public kit::URLConnectionDelegate {
public:
    std::size_t bytes = 0; // since the last response
    std::size_t largestPiece = 0;
    std::optional<kit::Error> error;
    bool ended = false;

    void connectionDidReceiveResponse(kit::URLConnection&, const kit::URLResponse&) override { bytes = 0; }
    void connectionDidReceiveData(kit::URLConnection&, std::span<const std::uint8_t> data) override
    {
        bytes += data.size();
        largestPiece = std::max(largestPiece, data.size());
    }
    void connectionDidFinishLoading(kit::URLConnection&) override { ended = true; }
    void connectionDidFailWithError(kit::URLConnection&, const kit::Error& failure) override
    {
        error = failure;
        ended = true;
    }
};

constexpr std::size_t kMegabyte = 1 << 20;

} // namespace

TEST(DownloadLimits, EveryHostileBodyEndsInTimeWithItsFailure)
{
    const std::string bomb = nettest::gzipOfZeros(kit::URLRequest::kDefaultMaximumBodyLength + 1);
    const std::string megabyte = nettest::gzipOfZeros(kMegabyte);
    ASSERT_LT(bomb.size(), 1u << 20) << "the bomb weighs little on the wire";
    nettest::LoopbackServer server([&](httplib::Server& s) {
        nettest::addHostileRoutes(s, bomb);
        s.Get("/megabyte", [&](const httplib::Request&, httplib::Response& r) { nettest::sendGzipped(r, megabyte); });
    });
    ASSERT_TRUE(server.isValid());
    constexpr std::size_t kDefault = kit::URLRequest::kDefaultMaximumBodyLength;
    const struct {
        const char* path;
        std::size_t maximum;
        double deadline;
        std::optional<kit::URLErrorCode> failure; // nullopt: finishes
        double bound; // seconds
        const char* why;
    } cases[] = {
        { "/bomb", kDefault, 0, kit::URLErrorCode::DataLengthExceedsMaximum, 30,
            "gzip: one byte past the default maximum" },
        { "/megabyte", kMegabyte, 0, std::nullopt, 10, "decoded exactly to the maximum: loads" },
        { "/megabyte", kMegabyte - 1, 0, kit::URLErrorCode::DataLengthExceedsMaximum, 10, "one byte over" },
        { "/endless", 8 * kMegabyte, 0, kit::URLErrorCode::DataLengthExceedsMaximum, 10, "a chunked body without end" },
        { "/trickle", kDefault, 1.0, kit::URLErrorCode::TimedOut, 5, "never idle, yet past the deadline" },
        { "/reset", kDefault, 0, kit::URLErrorCode::NetworkConnectionLost, 10, "the server drops the connection" },
        { "/loop", kDefault, 0, kit::URLErrorCode::HTTPTooManyRedirects, 10, "a redirect to itself" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        kit::URLRequest request(*kit::URL::withString(server.url(c.path)));
        request.setMaximumBodyLength(c.maximum);
        request.setDeadlineInterval(c.deadline);
        Counter counter;
        auto started = std::chrono::steady_clock::now();
        auto connection = kit::URLConnection::start(request, &counter);
        ASSERT_TRUE(connection);
        ASSERT_TRUE(kit::RunLoop::runUntil([&] { return counter.ended; }, std::chrono::seconds(int(c.bound))));
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_LE(counter.bytes, c.maximum) << "nothing past the maximum reaches the delegate";
        if (!c.failure) {
            EXPECT_FALSE(counter.error) << counter.error->localizedDescription();
            EXPECT_EQ(counter.bytes, c.maximum);
            continue;
        }
        ASSERT_TRUE(counter.error);
        EXPECT_EQ(counter.error->code(), int(*c.failure)) << counter.error->localizedDescription();
        EXPECT_FALSE(counter.error->localizedDescription().empty());
        if (c.deadline > 0) {
            EXPECT_GE(seconds, c.deadline * 0.9) << "not before the deadline";
        }
    }
}

TEST(DownloadLimits, TheDeadlineCountsAcrossRedirects)
{
    // Each hop answers within the inactivity time-out, yet the hops together take longer than the deadline.
    nettest::LoopbackServer server([&](httplib::Server& s) {
        s.Get(R"(/hop/(\d+))", [](const httplib::Request& q, httplib::Response& r) {
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            r.status = 302;
            r.set_header("Location", "/hop/" + std::to_string(std::stoi(q.matches[1]) + 1));
        });
    });
    kit::URLRequest request(*kit::URL::withString(server.url("/hop/0")));
    request.setTimeoutInterval(1);
    request.setDeadlineInterval(0.8);
    Counter counter;
    auto connection = kit::URLConnection::start(request, &counter);
    ASSERT_TRUE(kit::RunLoop::runUntil([&] { return counter.ended; }, std::chrono::seconds(5)));
    ASSERT_TRUE(counter.error);
    EXPECT_EQ(counter.error->code(), int(kit::URLErrorCode::TimedOut)) << counter.error->localizedDescription();
}
