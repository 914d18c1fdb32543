#include "hosts/common/Options.h"
#include "support/Cases.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Parses the words as `lectorin WORDS...` and gives the usage error as the command line prints it, or "ok".
std::string parse(const std::vector<std::string>& words)
{
    std::vector<std::string> storage { "lectorin" };
    storage.insert(storage.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (auto& word : storage)
        argv.push_back(word.data());
    auto parsed = hosts::parseOptions(int(argv.size()), argv.data());
    return parsed ? std::string("ok") : errorText(parsed.error());
}

} // namespace

TEST(Options, UsageErrorsNameTheOptionAndWhatItNeeds)
{
    const testsupport::Case<std::vector<std::string>, std::string> cases[] = {
        { {}, "no command", "nothing after the program's name" },
        { { "render", "-o" }, "-o needs a path", "a value option at the end of the line" },
        { { "render", "--output" }, "-o needs a path", "the long name is told by its short one" },
        { { "render", "--size", "800" }, "--size needs WIDTHxHEIGHT", "one side only" },
        { { "render", "--size", "0x600" }, "--size needs WIDTHxHEIGHT", "a side of zero" },
        { { "info", "--embed", "0" }, "--embed needs a number from 1", "embeds count from 1" },
        { { "render", "--pages", "3-2" }, "--pages needs N or A-B", "a range that runs backwards" },
        { { "render", "--timeout", "-1" }, "--timeout needs seconds", "a negative time" },
        { { "render", "--zoom-step", "10" }, "--zoom-step needs 0 to 9", "one past the last step" },
        { { "render", "--scroll", "10" }, "--scroll needs X,Y", "one coordinate" },
        { { "render", "--display" }, "--display needs WIDTHxHEIGHT@MMxMM", "no display" },
        { { "render", "--paper" }, "--paper needs letter, a4 or WIDTHxHEIGHT", "no paper" },
        { { "render", "--layout", "book" }, "--layout needs document or printer", "a layout we do not have" },
        { { "render", "--window", "help" }, "--window needs preferences or about", "a window we do not have" },
        { { "check-update", "--answer" }, "--answer needs a key or a button title", "no answer" },
        { { "prefs", "--color" }, "--color needs R,G,B[,A]", "no colour" },
        { { "prefs", "--auto-update", "yes" }, "--auto-update needs on or off", "neither on nor off" },
        { { "render", "--frobnicate" }, "unknown option --frobnicate", "an option we do not know, named" },
        { { "render", "page.doc", "-", "--pages", "2-4", "--zoom-step", "9" }, "ok", "a lone dash is a page" },
        { { "defaults", "write", "key", "-array", "1" }, "ok", "the defaults command keeps its own flags" },
    };
    testsupport::expectEach(cases, parse);
}

TEST(Options, ValuesLandInTheirFields)
{
    std::vector<std::string> storage { "lectorin", "render", "page.html", "--pages", "2-4", "--size", "640x480",
        "--embed", "3", "-o", "out.png" };
    std::vector<char*> argv;
    for (auto& word : storage)
        argv.push_back(word.data());
    auto parsed = hosts::parseOptions(int(argv.size()), argv.data());
    ASSERT_TRUE(parsed.ok()) << errorText(parsed.error());
    EXPECT_EQ(parsed->command, "render");
    EXPECT_EQ(parsed->positional, std::vector<std::string> { "page.html" });
    EXPECT_EQ(parsed->pages, (std::pair<int, int> { 2, 4 }));
    EXPECT_EQ(parsed->size, (kit::Size { 640, 480 }));
    EXPECT_EQ(parsed->embed, 3);
    EXPECT_EQ(parsed->output, "out.png");
}
