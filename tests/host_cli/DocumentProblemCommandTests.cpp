// Documents that cannot be shown, through the built program: every headless command that shows a document
// exits 1 with the page's sentence on stderr, and render still writes the page that says it.
#include "support/TestSupport.h"
#include "support/Cases.h"

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status = -1;
    std::string output;
    std::string errors;
};

Outcome run(const std::string& arguments)
{
    Outcome result;
    result.status = testsupport::runCommand(
        std::string(LECTORIN_EXE) + " " + arguments + " --paper letter", &result.output, &result.errors);
    return result;
}

// Pixels of the first page's text area that are neither white nor near-white: where the sentence is drawn.
int inkInFirstPage(const testsupport::Image& image)
{
    // --pages renders a page with 16 pixels of background around it; Letter at 100 % with one-inch margins.
    int ink = 0;
    for (int y = 16 + 72; y < 16 + 792 - 72 && y < image.height; ++y) {
        for (int x = 16 + 72; x < 16 + 612 - 72 && x < image.width; ++x) {
            std::uint32_t p = image.at(x, y);
            if (((p >> 16) & 0xFF) < 160 && ((p >> 8) & 0xFF) < 160 && (p & 0xFF) < 160)
                ++ink;
        }
    }
    return ink;
}

} // namespace

TEST(DocumentProblemCommands, UnshowableDocumentsSayWhyOnThePageAndOnStderr)
{
    auto folder = testsupport::temporaryFolder("problems");
    testsupport::writeFile(folder / "zero.doc", "");
    testsupport::writeFile(folder / "blank.rtf", "{\\rtf1\\ansi \\par\\par\\page \\par}");
    testsupport::writeFile(folder / "cut.docx", "PK\x03\x04\x14\x00\x00\x00\x08\x00");
    const testsupport::Case<std::filesystem::path, const char*> cases[] = {
        { testsupport::corpusPath("poi-password_password_cryptoapi.doc"), "password-protected",
            "an encrypted Word binary file" },
        { testsupport::corpusPath("poi-bug53475-password-is-pass.docx"), "password-protected",
            "an encrypted Office Open XML package" },
        { folder / "zero.doc", "This document is empty.", "zero bytes" },
        { folder / "blank.rtf", "This document is empty.", "paragraph and page breaks only" },
        { folder / "cut.docx", "damaged or incomplete", "a ZIP cut off inside its first header" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto png = folder / (c.input.stem().string() + ".png");
        Outcome render = run("render " + c.input.string() + " --pages 1 -o " + png.string());
        EXPECT_EQ(render.status, 1);
        EXPECT_NE(render.errors.find(c.expected), std::string::npos) << render.errors;
        auto image = testsupport::readPng(folder / (c.input.stem().string() + "-1.png"));
        ASSERT_GT(image.height, 0) << "render writes the message page before it exits";
        EXPECT_GT(inkInFirstPage(image), 100) << "the sentence is drawn on the page";

        for (const char* command : { "text", "info", "find the" }) {
            SCOPED_TRACE(command);
            std::string arguments = command;
            std::string verb = arguments.substr(0, arguments.find(' '));
            std::string rest = arguments.size() > verb.size() ? arguments.substr(verb.size()) : std::string();
            Outcome other = run(verb + " " + c.input.string() + rest);
            EXPECT_EQ(other.status, 1);
            EXPECT_NE(other.errors.find(c.expected), std::string::npos) << other.errors;
        }
        Outcome print = run("print " + c.input.string() + " -o " + (folder / "out.pdf").string());
        EXPECT_EQ(print.status, 1);
        EXPECT_FALSE(std::filesystem::exists(folder / "out.pdf")) << "a message page is not printed as the document";
    }
}

TEST(DocumentProblemCommands, AShowableDocumentHasNoMessage)
{
    auto folder = testsupport::temporaryFolder("fine");
    testsupport::writeFile(folder / "fine.rtf", "{\\rtf1\\ansi Fine words.\\par}");
    Outcome info = run("info " + (folder / "fine.rtf").string());
    EXPECT_EQ(info.status, 0) << info.errors;
    EXPECT_NE(info.output.find("\"message\":null"), std::string::npos) << info.output;
    EXPECT_EQ(info.errors.find("cannot be shown"), std::string::npos);
}
