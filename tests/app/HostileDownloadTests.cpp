// The plug-in view against servers that mean harm: each download ends within its bound with the error
// display, the bytes received are let go, and the view stays usable.
#include "PluginTestSupport.h"
#include "kit/foundation/Log.h"
#include "kit/net/URLRequest.h"
#include "kit/view/ProgressIndicator.h"
#include "kit_net/HostileServer.h"
#include "kit_net/LoopbackServer.h"

#include <gtest/gtest.h>

TEST(HostileDownload, EachEndsInTimeWithTheErrorDisplay)
{
    const std::string bomb = nettest::gzipOfZeros(kit::URLRequest::kDefaultMaximumBodyLength + 1);
    nettest::LoopbackServer server([&](httplib::Server& s) { nettest::addHostileRoutes(s, bomb, ".rtf"); });
    ASSERT_TRUE(server.isValid());
    const double usual = kit::URLRequest::defaultDeadlineInterval();
    const struct {
        const char* path;
        const char* logged; // in the logged failure
        double deadline; // seconds; a second instead of minutes for the trickle
        const char* why;
    } cases[] = {
        { "/bomb.rtf", "larger than 256 MB", usual, "a quarter of a megabyte of gzip decoding past the maximum" },
        { "/endless.rtf", "larger than 256 MB", usual, "a chunked body without end" },
        { "/trickle.rtf", "took longer", 1, "a byte every 50 ms, never idle" },
        { "/reset.rtf", "Error - ", usual, "the connection dropped mid-body" },
        { "/loop.rtf", "redirect", usual, "a redirect to itself" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        kit::URLRequest::setDefaultDeadlineIntervalForTesting(c.deadline);
        std::vector<std::string> log;
        kit::Log::setCaptureForTesting(&log);
        PluginFixture f;
        NRVLectorin& plugin
            = f.open(PluginFixture::arguments(server.url(c.path), server.url("/"), server.url("/page.html")));
        ASSERT_TRUE(f.waitUntilLoaded());
        kit::Log::setCaptureForTesting(nullptr);
        EXPECT_TRUE(plugin.hasFailed());
        EXPECT_FALSE(plugin.downloadIsComplete());
        EXPECT_FALSE(plugin.errorDisplay()->isHidden()) << "the user sees the failure";
        EXPECT_TRUE(plugin.progressIndicator()->isHidden());
        EXPECT_EQ(plugin.rawData(), nullptr) << "what arrived is let go";
        ASSERT_EQ(log.size(), 1u);
        EXPECT_NE(log[0].find(c.logged), std::string::npos) << log[0];
    }
    kit::URLRequest::setDefaultDeadlineIntervalForTesting(usual);
}
