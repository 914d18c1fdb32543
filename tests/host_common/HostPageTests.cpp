#include "hosts/common/HostPage.h"

#include <gtest/gtest.h>

using hosts::ClaimedTypes;
using hosts::parseHostPage;

namespace {

const ClaimedTypes kClaimed { { "application/msword", "application/rtf", "text/rtf" },
    { "doc", "docx", "rtf", "odt" } };

hosts::HostPage parse(const std::string& html)
{
    return parseHostPage({ reinterpret_cast<const std::uint8_t*>(html.data()), html.size() }, kClaimed);
}

} // namespace

TEST(HostPage, FindsClaimedEmbedsInDocumentOrder)
{
    auto page = parse(R"(<html><head><base href="http://example.test/docs/"></head><body>
        <embed src="a.doc" width="640" height="480">
        <embed src="movie.swf" type="application/x-shockwave-flash">
        <object data="b.bin" type="application/rtf" width="50%"><embed src="inner.doc"></object>
        <EMBED SRC="Report.DOCX?download=1">
        </body></html>)");
    ASSERT_EQ(page.embeds.size(), 3u) << "the flash movie is not ours; the object's fallback embed is not shown";
    EXPECT_EQ(page.baseHref, "http://example.test/docs/");
    EXPECT_EQ(page.embeds[0].attributes.at("src"), "a.doc");
    EXPECT_EQ(page.embeds[0].width, "640");
    EXPECT_EQ(page.embeds[1].attributes.at("src"), "b.bin") << "an object's data is its src; claimed by type";
    EXPECT_EQ(page.embeds[1].width, "50%");
    EXPECT_EQ(page.embeds[2].attributes.at("src"), "Report.DOCX?download=1")
        << "extensions are case-blind, query ignored";
}

TEST(HostPage, DocumentsThatAreNotHostPagesYieldNothing)
{
    const struct {
        std::string bytes;
        const char* why;
    } cases[] = {
        { "<html><body><p>No embeds here.</p></body></html>", "an HTML document without embeds is shown itself" },
        { "{\\rtf1 <embed src=\"a.doc\">}", "RTF that mentions an embed is not markup" },
        { std::string("PK\x03\x04\0\0<embed src=\"a.doc\">", 24), "binary bytes are never a page" },
        { "<embed src=\"\" type=\"text/plain\">", "unclaimed type and no extension" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto page = parse(c.bytes);
        EXPECT_TRUE(page.embeds.empty());
        EXPECT_TRUE(page.baseHref.empty());
    }
}

TEST(HostPage, ResolvesBoxDimensions)
{
    const struct {
        std::string value;
        float available, fallback, expected;
    } cases[] = {
        { "640", 900, 300, 640 },
        { "50%", 900, 300, 450 },
        { "", 900, 150, 150 },
        { "wide", 900, 300, 300 },
        { "-5", 900, 300, 300 },
        { "100.5px", 900, 300, 100.5f },
        { "nan", 900, 300, 300 },
        { "inf", 900, 300, 300 },
        { "1e39", 900, 300, 100000 },
        { "1e300%", 900, 300, 100000 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(hosts::resolveDimension(c.value, c.available, c.fallback), c.expected) << c.value;
}
