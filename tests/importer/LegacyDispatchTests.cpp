#include "import/Importer.h"
#include "import/common/OutputBudget.h"
#include "import/sandbox/LegacyImporter.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace {

std::vector<std::uint8_t> legacyFile(const std::string& name)
{
    return testsupport::readFile(std::filesystem::path(LECTORIN_CORPUS_LEGACY_DIR) / name);
}

std::vector<std::uint8_t> bytesOf(const std::string& text) { return { text.begin(), text.end() }; }

std::string utf16le(const std::string& ascii)
{
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

// A stand-in for the helper program: a shell script that behaves badly in one way.
void useHelperScript(const std::string& name, const std::string& body)
{
    auto path = testsupport::temporaryFolder("helper") / name;
    testsupport::writeFile(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
    setenv("LECTORIN_REVENGE_HOST", path.c_str(), 1);
}

} // namespace

// Tests here point the importer at stand-in helpers; each puts the test program's own helper back after it.
class LegacyDispatch : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* helper = getenv("LECTORIN_REVENGE_HOST"))
            m_helper = helper;
    }
    void TearDown() override
    {
        if (m_helper)
            setenv("LECTORIN_REVENGE_HOST", m_helper->c_str(), 1);
        else
            unsetenv("LECTORIN_REVENGE_HOST");
    }

private:
    std::optional<std::string> m_helper;
};

// The libraries of older formats come after our own readers and before text: a WordPerfect file is one
// whatever it is called, containers our readers do not know go on to them, and text stays text.
TEST_F(LegacyDispatch, OlderFormatsComeAfterOurOwnReadersAndBeforeText)
{
    const struct {
        std::vector<std::uint8_t> bytes;
        const char* format;
        const char* words;
        const char* why;
    } cases[] = {
        { legacyFile("formatcorpus-testWordPerfect_50.doc"), "wordperfect", "Sluwe Sjaantje",
            "WordPerfect under a .doc name" },
        { legacyFile("tika-testWORKS.wps"), "works", "Microsoft Works", "an OLE2 file that is not Word's" },
        { legacyFile("tika-testStarOffice-5.2-writer.sdw"), "staroffice", "StarOffice", "StarOffice's OLE2" },
        { legacyFile("tika-testPages.pages"), "pages", "Sample pages document", "a ZIP that is neither ODF nor OOXML" },
        { legacyFile("tika-testMSWriteFile.wri"), "write", "Document Register",
            "a signature of two bytes and a header" },
        { legacyFile("poi-Word95.doc"), "doc", "", "Word 95 stays with our own reader" },
        { bytesOf("<?xml version=\"1.0\"?>\n<abiword version=\"1.0\"><section><p>Hello from "
                  "AbiWord</p></section></abiword>"),
            "abiword", "Hello from AbiWord", "AbiWord's XML is text the text reader would take" },
        { bytesOf("plain words\n"), "text", "plain words", "text" },
        { bytesOf(utf16le("UTF-16 without a byte-order mark\n")), "text", "UTF-16 without", "NULs, yet text" },
        { bytesOf(std::string("padded text\n") + std::string(40, '\0')), "text", "padded text",
            "text with trailing NUL padding" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = importer::importDocument(c.bytes);
        EXPECT_EQ(result.format, c.format);
        ASSERT_TRUE(result.text) << errorText(result.error);
        EXPECT_EQ(result.error, importer::ImportError::None);
        EXPECT_NE(result.text->string().find(c.words), std::string::npos) << result.text->string().substr(0, 300);
    }
    std::vector<std::uint8_t> noise;
    for (int i = 0; i < 5000; ++i)
        noise.push_back(std::uint8_t(i * 7919 % 251));
    auto unknown = importer::importDocument(noise);
    EXPECT_EQ(unknown.format, "none");
    EXPECT_EQ(unknown.error, importer::ImportError::NotKnownFormat) << "binary no library reads";
}

// Whatever the helper does, the importer answers with a result and this process lives on.
TEST_F(LegacyDispatch, AHelperThatFailsGivesAnImportError)
{
    importer::installRtfReader();
    auto wordPerfect = legacyFile("formatcorpus-testWordPerfect_50.doc");
    importer::sandbox::ChildLimits quick;
    quick.wallTime = std::chrono::milliseconds(500);
    const struct {
        const char* script;
        const char* format;
        const char* error;
        const char* why;
    } cases[] = {
        { "printf 'LECTORIN-REVENGE wordperfect\\n'; kill -SEGV $$", "wordperfect", "damaged",
            "a crash while parsing" },
        { "printf 'LECTORIN-REVENGE wordperfect\\n'; exec sleep 30", "wordperfect", "damaged",
            "an endless parse: the deadline" },
        { "kill -ABRT $$", "none", "damaged", "a crash while detecting" },
        { "printf 'LECTORIN-REVENGE wordperfect\\nencrypted\\n'", "wordperfect", "encrypted",
            "a password-protected file" },
        { "printf 'LECTORIN-REVENGE works\\nok\\nnot rtf at all'", "works", "damaged", "an answer that is not RTF" },
        { "printf 'something else\\n'", "none", "not a known format", "not the helper's greeting" },
        { "cat >/dev/null; printf 'LECTORIN-REVENGE none\\n'", "none", "not a known format", "no library reads it" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        useHelperScript("helper", c.script);
        auto result = importer::importLegacy(wordPerfect, quick);
        EXPECT_EQ(result.format, c.format);
        EXPECT_STREQ(errorText(result.error), c.error);
        EXPECT_FALSE(result.text);
    }
    useHelperScript(
        "answers", "cat >/dev/null; printf 'LECTORIN-REVENGE works\\nok\\n{\\\\rtf1 Recovered \\\\b words\\\\par}'");
    auto answered = importer::importLegacy(wordPerfect, quick);
    ASSERT_TRUE(answered.text) << errorText(answered.error);
    EXPECT_EQ(answered.format, "works");
    EXPECT_EQ(answered.text->string(), "Recovered words\n");
    EXPECT_TRUE(answered.text->attributesAt(10).bold);
}

TEST_F(LegacyDispatch, WithoutTheHelperOlderFormatsAreUnknown)
{
    setenv("LECTORIN_REVENGE_HOST", "/nonexistent/lectorin-revenge", 1);
    EXPECT_FALSE(importer::legacyHelperPath()) << "the test program has no helper beside it";
    auto result = importer::importDocument(legacyFile("formatcorpus-testWordPerfect_50.doc"));
    EXPECT_EQ(result.error, importer::ImportError::NotKnownFormat);
    EXPECT_EQ(importer::importDocument(bytesOf("plain words")).format, "text");
}

// The child and the RTF it hands back are charged against the import's one output budget: the child is
// told what is left of it, and a document that outgrows it in either process ends in "too large".
TEST_F(LegacyDispatch, OlderFormatsRunUnderTheImportsBudget)
{
    importer::installRtfReader();
    std::string abiword = "<?xml version=\"1.0\"?>\n<abiword version=\"1.0\"><section>";
    for (int i = 0; i < 4000; ++i)
        abiword += "<p>Paragraph " + std::to_string(i) + " of a long generated AbiWord document.</p>";
    abiword += "</section></abiword>";
    {
        importer::ImportBudgetScope scope(64 << 10);
        auto result = importer::importLegacy(bytesOf(abiword));
        EXPECT_EQ(result.format, "abiword");
        EXPECT_EQ(result.error, importer::ImportError::TooLarge) << "the child stops at the budget it was given";
        EXPECT_FALSE(result.text);
    }
    {
        importer::ImportBudgetScope scope(8 << 20);
        auto result = importer::importLegacy(bytesOf(abiword));
        ASSERT_TRUE(result.text) << errorText(result.error) << ": the same document within a larger budget";
        EXPECT_NE(result.text->string().find("Paragraph 3999 of"), std::string::npos);
    }

    auto wordPerfect = legacyFile("formatcorpus-testWordPerfect_50.doc");
    useHelperScript("budget", "cat >/dev/null; printf 'LECTORIN-REVENGE works\\nok\\n{\\\\rtf1 %s\\\\par}' \"$1\"");
    {
        importer::ImportBudgetScope scope(50000);
        auto told = importer::importLegacy(wordPerfect);
        ASSERT_TRUE(told.text) << errorText(told.error);
        EXPECT_EQ(told.text->string(), "--output-budget=50000\n") << "the child is told what is left";
    }
    useHelperScript("huge", "cat >/dev/null; printf 'LECTORIN-REVENGE works\\nok\\n{\\\\rtf1 '; "
                            "i=0; while [ $i -lt 3000 ]; do printf 'words of a huge answer\\\\par '; i=$((i+1)); done; "
                            "printf '}'");
    {
        importer::ImportBudgetScope scope(16 << 10);
        auto huge = importer::importLegacy(wordPerfect);
        EXPECT_TRUE(scope.budget().isExhausted()) << "the RTF read back is charged here";
        if (huge.text) {
            EXPECT_LT(huge.text->length(), std::size_t(16 << 10));
        }
    }
    useHelperScript("refuses", "cat >/dev/null; printf 'LECTORIN-REVENGE works\\ntoo large\\n'");
    EXPECT_EQ(importer::importLegacy(wordPerfect).error, importer::ImportError::TooLarge);
}
