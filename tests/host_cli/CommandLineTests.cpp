// The headless browser end to end: the built program run on real files, its PNG and PDF output read back.
#include "support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace {

std::string run(const std::string& arguments, int* status = nullptr, std::string* errors = nullptr)
{
    std::string output;
    int code
        = testsupport::runCommand(std::string(LECTORIN_EXE) + " " + arguments + " --paper letter", &output, errors);
    if (status)
        *status = code;
    return output;
}

std::filesystem::path writeDocument(const std::string& name, const std::string& bytes)
{
    auto path = testsupport::temporaryFolder("docs") / name;
    testsupport::writeFile(path, bytes);
    return path;
}

std::string longRtf(int paragraphs)
{
    std::string rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times New Roman;}}\\f0\\fs24 ";
    for (int i = 0; i < paragraphs; ++i)
        rtf += "Paragraph " + std::to_string(i)
            + " holds plain words about the harvest and the weather of the season.\\par ";
    return rtf + "}";
}

// The widest run of white pixels along the middle row of the image.
int whiteRunWidth(const testsupport::Image& image, int y)
{
    int best = 0, run = 0;
    for (int x = 0; x < image.width; ++x) {
        run = (image.at(x, y) & 0xFFFFFF) == 0xFFFFFF ? run + 1 : 0;
        best = std::max(best, run);
    }
    return best;
}

} // namespace

TEST(CommandLine, PagesAreRenderedAtEveryZoomStep)
{
    auto document = writeDocument("plain.rtf", "{\\rtf1\\ansi Short.\\par}");
    auto out = testsupport::temporaryFolder("zoom");
    const float factors[] = { 0.5f, 0.58f, 0.7f, 0.83f, 1.0f, 1.2f, 1.44f, 1.75f, 2.0f, 2.5f };
    for (int step = 0; step < 10; ++step) {
        SCOPED_TRACE("zoom step " + std::to_string(step));
        int status = -1;
        auto base = out / ("z" + std::to_string(step) + ".png");
        run("render " + document.string() + " --pages 1 --zoom-step " + std::to_string(step) + " -o " + base.string(),
            &status);
        ASSERT_EQ(status, 0);
        auto image = testsupport::readPng(out / ("z" + std::to_string(step) + "-1.png"));
        ASSERT_GT(image.height, 0);
        int expected = int(std::lround(612 * factors[step]));
        EXPECT_NEAR(whiteRunWidth(image, image.height / 2), expected, 1);
    }
}

TEST(CommandLine, RenderedPagesAreTheSameWhetherTheRestIsLaidOutOrNot)
{
    // The printer's paper: pages 2-3 are drawn once they are laid out, before the later ones are.
    auto document = writeDocument("long.rtf", longRtf(900));
    std::smatch pages;
    std::string info = run("info " + document.string());
    ASSERT_TRUE(std::regex_search(info, pages, std::regex("\"pages\":(\\d+)"))) << info;
    int count = std::stoi(pages[1]);
    ASSERT_GT(count, 10) << "enough pages after the range to be laid out later";
    auto out = testsupport::temporaryFolder("range");
    int status = -1;
    run("render " + document.string() + " --pages 2-3 -o " + (out / "part.png").string(), &status);
    ASSERT_EQ(status, 0);
    std::string listed = run("render " + document.string() + " --pages 1-9999 -o " + (out / "all.png").string(), &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), count) << "a range past the end stops at the last page";
    for (int page : { 2, 3 }) {
        SCOPED_TRACE("page " + std::to_string(page));
        auto part = testsupport::readFile(out / ("part-" + std::to_string(page) + ".png"));
        ASSERT_FALSE(part.empty());
        EXPECT_TRUE(part == testsupport::readFile(out / ("all-" + std::to_string(page) + ".png")));
    }
    EXPECT_FALSE(std::filesystem::exists(out / "part-4.png"));
}

// A long .docx shows its first pages before the rest of it is imported: the first page rendered then is
// the one rendered once the whole document is there (the four pages asked for here wait for it).
TEST(CommandLine, TheFirstPageOfALongDocumentIsTheSameBeforeTheRestIsImported)
{
    std::string document = testsupport::corpusPath("poi-bug65649.docx").string();
    auto out = testsupport::temporaryFolder("beginning");
    int status = -1;
    run("render " + document + " --pages 1 -o " + (out / "early.png").string(), &status);
    ASSERT_EQ(status, 0);
    run("render " + document + " --pages 1-4 -o " + (out / "whole.png").string(), &status);
    ASSERT_EQ(status, 0);
    auto early = testsupport::readFile(out / "early-1.png");
    ASSERT_FALSE(early.empty());
    EXPECT_TRUE(early == testsupport::readFile(out / "whole-1.png"));
    EXPECT_FALSE(std::filesystem::exists(out / "early-2.png"));
}

TEST(CommandLine, InfoDescribesEveryEmbedOfAHostPage)
{
    auto folder = testsupport::temporaryFolder("page");
    testsupport::writeFile(folder / "a.rtf", longRtf(120));
    testsupport::writeFile(folder / "b.txt", "Plain text.\n");
    testsupport::writeFile(folder / "page.html",
        "<html><body><embed src=\"a.rtf\" width=\"640\" height=\"480\"><embed src=\"missing.doc\">"
        "<embed src=\"b.txt\" type=\"application/rtf\" width=\"50%\"></body></html>");
    int status = -1;
    std::string out = run("info " + (folder / "page.html").string() + " --size 1000x800", &status);
    EXPECT_EQ(status, 1) << "one document failed";
    std::vector<std::string> lines;
    std::stringstream stream(out);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << out;
    EXPECT_NE(lines[0].find("\"state\":\"loaded\""), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\"format\":\"rtf\""), std::string::npos);
    EXPECT_NE(lines[0].find("\"paper\":[612,792]"), std::string::npos);
    EXPECT_NE(lines[0].find("\"margins\":[72,72,72,72]"), std::string::npos);
    EXPECT_TRUE(std::regex_search(lines[0], std::regex("\"pages\":[3-9]"))) << lines[0];
    EXPECT_NE(lines[1].find("\"state\":\"failed\""), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find("missing.doc"), std::string::npos);
    EXPECT_NE(lines[2].find("\"format\":\"text\""), std::string::npos)
        << "the format comes from the bytes, not the type";
    EXPECT_NE(lines[2].find("\"characters\":12"), std::string::npos) << lines[2];
}

TEST(CommandLine, ExitStatusesAndText)
{
    int status = -1;
    run("render --no-such-option", &status);
    EXPECT_EQ(status, 2);
    run("frobnicate", &status);
    EXPECT_EQ(status, 2);
    auto document = writeDocument("words.rtf", "{\\rtf1\\ansi One {\\b two}\\par Three\\tab four\\par}");
    std::string text = run("text " + document.string(), &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(text, "One two\nThree\tfour\n");
}

TEST(CommandLine, FindListsEveryMatchOnItsPage)
{
    auto document = writeDocument("find.rtf", longRtf(200));
    int status = -1;
    std::string out = run("find " + document.string() + " \"HARVEST and\" -o "
            + (testsupport::temporaryFolder("find") / "f.png").string(),
        &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("200 matches"), std::string::npos) << out.substr(out.size() > 200 ? out.size() - 200 : 0);
    EXPECT_EQ(out.rfind("page 1 bytes ", 0), 0u) << "the first match is on page 1";
    EXPECT_TRUE(std::regex_search(out, std::regex("page [2-9] bytes"))) << "later matches on later pages";
    std::string none = run("find " + document.string() + " zebra", &status);
    EXPECT_NE(none.find("0 matches"), std::string::npos);
}

TEST(CommandLine, SaveWritesTheDownloadedBytes)
{
    std::string bytes = "{\\rtf1\\ansi Saved \\'e9 bytes.\\par}";
    auto document = writeDocument("report.rtf", bytes);
    auto folder = testsupport::temporaryFolder("save");
    int status = -1;
    std::string out = run("save " + document.string() + " -o " + (folder / "copy").string(), &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, (folder / "copy.rtf").string() + "\n") << "the required extension is appended";
    EXPECT_EQ(testsupport::readText(folder / "copy.rtf"), bytes);

    const struct {
        std::filesystem::path target;
        const char* why;
    } failures[] = {
        { folder / "no-such-folder" / "x.rtf", "the folder does not exist" },
        { folder / "copy.rtf" / "x.rtf", "the folder is a regular file (fails for root too)" },
    };
    for (const auto& f : failures) {
        SCOPED_TRACE(f.why);
        run("save " + document.string() + " -o " + f.target.string(), &status);
        EXPECT_EQ(status, 1);
        EXPECT_FALSE(std::filesystem::exists(f.target));
    }
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++entries;
    EXPECT_EQ(entries, 1u) << "no temporary file left behind";
    run("save " + (folder / "absent.rtf").string() + " -o " + (folder / "x.rtf").string(), &status);
    EXPECT_EQ(status, 1) << "nothing loaded: no panel, nothing saved";
}

TEST(CommandLine, PrintWritesAPdfOfTheWholeText)
{
    auto document = writeDocument("print.rtf", longRtf(150));
    auto pdf = testsupport::temporaryFolder("print") / "out.pdf";
    int status = -1;
    std::string errors;
    run("print " + document.string() + " -o " + pdf.string(), &status, &errors);
    ASSERT_EQ(status, 0);
    std::smatch paginated;
    ASSERT_TRUE(std::regex_search(errors, paginated, std::regex("(\\d+) page\\(s\\) printed"))) << errors;
    std::string info;
    ASSERT_EQ(testsupport::runCommand("pdfinfo " + pdf.string(), &info), 0);
    EXPECT_NE(info.find("612 x 792 pts"), std::string::npos) << info;
    std::smatch pages;
    ASSERT_TRUE(std::regex_search(info, pages, std::regex("Pages:\\s+(\\d+)")));
    EXPECT_GE(std::stoi(pages[1]), 3);
    EXPECT_EQ(pages[1].str(), paginated[1].str()) << "the PDF has the pages the printout paginated";
    std::string text;
    testsupport::runCommand("pdftotext -layout " + pdf.string() + " -", &text);
    EXPECT_NE(text.find("Paragraph 0 holds"), std::string::npos);
    EXPECT_NE(text.find("Paragraph 149 holds"), std::string::npos) << "the whole text is printed";
    std::string fonts;
    testsupport::runCommand("pdffonts " + pdf.string(), &fonts);
    EXPECT_NE(fonts.find(" yes "), std::string::npos) << "fonts are embedded: " << fonts;
}

TEST(CommandLine, HeadlessCommandsLoadNoToolkit)
{
    // The dynamic loader's log names every library it maps, those loaded later with dlopen included.
    auto document = writeDocument("one.rtf", "{\\rtf1\\ansi One line.\\par}");
    std::string output, errors;
    int status = testsupport::runCommand(
        "LD_DEBUG=libs '" LECTORIN_EXE "' info '" + document.string() + "'", &output, &errors);
    EXPECT_EQ(status, 0);
    EXPECT_NE(output.find("\"pages\":1"), std::string::npos) << output;
    EXPECT_NE(errors.find("libcairo"), std::string::npos) << "the loader's log was read";
    for (const char* library : { "libgtk-4", "libwebkitgtk", "libjavascriptcoregtk" })
        EXPECT_EQ(errors.find(library), std::string::npos) << library;
}

TEST(CommandLine, WindowCommandsRunInTheWindowHost)
{
    // Without a display the window host itself answers, so `view` reached it through the launcher.
    std::string output, errors;
    int status
        = testsupport::runCommand("env -u DISPLAY -u WAYLAND_DISPLAY '" LECTORIN_EXE "' view x.doc", &output, &errors);
    EXPECT_EQ(status, 1) << errors;
    EXPECT_NE(errors.find("needs a display"), std::string::npos) << errors;
}
