#include "import/Importer.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;

// RTF of many short paragraphs alternating bold and plain: every one is a run of its own, so the readers
// charge their budget tens of thousands of times.
std::vector<std::uint8_t> manyRunsRtf(int paragraphs)
{
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0 ";
    for (int i = 0; i < paragraphs; ++i)
        rtf += (i % 2 ? "{\\b bold words in a run}" : "plain words in a run") + std::string("\\par\n");
    rtf += "}";
    return { rtf.begin(), rtf.end() };
}

} // namespace

TEST(ImportLimits, AStopOrTheCpuTimeEndsTheImport)
{
    const std::vector<std::uint8_t> rtf = manyRunsRtf(40000);
    std::stop_source stopped;
    stopped.request_stop();
    const struct {
        importer::ImportLimits limits;
        bool hasText;
        const char* error;
        const char* why;
    } cases[] = {
        { {}, true, "", "no limits: the whole document" },
        { { std::stop_token {}, 60s }, true, "", "a CPU time it stays within" },
        { { stopped.get_token(), 0ms }, false, "stopped", "a stop requested: nothing is worth returning" },
        { { std::stop_token {}, 1ms }, false, "too large", "a millisecond cannot convert 40,000 paragraphs" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        importer::ImportResult result = importer::importDocument(rtf, c.limits);
        EXPECT_EQ(result.text != nullptr, c.hasText);
        EXPECT_STREQ(errorText(result.error), c.error);
        EXPECT_EQ(result.format, "rtf");
        if (result.text) {
            EXPECT_EQ(result.text->length(), std::size_t(40000 / 2) * (20 + 1 + 19 + 1));
        }
    }
    EXPECT_EQ(importer::importDocument(rtf).error, importer::ImportError::None) << "the limits of one import do not outlast it";
}
