// Generated pages whose reading would cost time quadratic in their size: markers without their ends, and
// style sheets whose selectors ask about every ancestor of every element. Each import runs in a child with
// bounded memory and processor time (a bound far above what the import takes, far below what quadratic work
// would) and must end with the page's text.
#include "HtmlTestSupport.h"
#include "support/TestSupport.h"

#include <csignal>

using testsupport::repeated;

namespace {

// Imports the page in a bounded child; the child reports the length of the text and how often needle occurs.
std::string importBounded(const std::string& html, const std::string& needle)
{
    auto outcome = testsupport::runBoundedChild(
        [&] {
            auto result = importer::importHtml(htmltest::bytesOf(html));
            if (!result.text)
                return "failed " + std::string(errorText(result.error));
            const std::string& text = result.text->string();
            std::size_t count = 0;
            for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
                ++count;
            return "found " + std::to_string(count);
        },
        testsupport::kChildAddressSpace, 20);
    EXPECT_TRUE(outcome.exitedNormally) << "signal " << outcome.signal << " (" << SIGXCPU << " is the time bound)";
    return outcome.report;
}

} // namespace

TEST(HtmlHostile, MarkersWithoutTheirEndsAreLookedForNearby)
{
    const struct {
        std::string html;
        const char* why;
    } cases[] = {
        { "<html><head>" + repeated("<?xml version=\"1.0\" ", 200000) + "</head><body><p>end</p></body></html>",
            "XML declarations without ?> before the body (4 MB)" },
        { "<html><body><p>" + repeated("<![if x ", 400000) + "</p><p>end</p></body></html>",
            "conditional comment markers without ]> (3 MB)" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(importBounded(c.html, "end"), "found 1");
    }
}

TEST(HtmlHostile, SelectorMatchingHasOneBudgetPerDocument)
{
    // 2,000 rules of fifteen descendant compounds over 2,000 nested elements: each rule may look at every
    // ancestor of every element, billions of steps in all.
    std::string rules;
    for (int i = 0; i < 2000; ++i)
        rules += repeated("div ", 15) + "div.c" + std::to_string(i) + " { color: red }\n";
    std::string page = "<html><head><style>" + rules + "</style></head><body>" + repeated("<div>", 2000) + "<p>end</p>"
        + repeated("</div>", 2000) + "</body></html>";
    EXPECT_EQ(importBounded(page, "end"), "found 1");

    // One element with 100,000 classes and rules that each name several of them.
    std::string classes;
    for (int i = 0; i < 100000; ++i)
        classes += " k" + std::to_string(i);
    std::string classRules;
    for (int i = 0; i < 5000; ++i)
        classRules += ".k" + std::to_string(i) + ".k" + std::to_string(i + 1) + ".q { color: red }\n";
    std::string crowded = "<html><head><style>" + classRules + "</style></head><body>" + repeated("<p class=\"" + classes + "\">end</p>", 20)
        + "</body></html>";
    EXPECT_EQ(importBounded(crowded, "end"), "found 20");
}

TEST(HtmlHostile, StyleSheetsWithinTheBudgetStillApply)
{
    // The budget leaves real style sheets alone: a descendant selector many levels deep still matches.
    std::string page = "<html><head><style>div div div p.x { color: #ff0000 }</style></head><body>" + repeated("<div>", 40)
        + "<p class=\"x\">styled</p>" + repeated("</div>", 40) + "</body></html>";
    auto storage = htmltest::import(page);
    auto attributes = htmltest::attributesOf(*storage, "styled");
    ASSERT_TRUE(attributes.foreground);
    EXPECT_FLOAT_EQ(attributes.foreground->red(), 1);
    EXPECT_FLOAT_EQ(attributes.foreground->green(), 0);
}
