// Small generated documents that would become gigabytes if every repetition they ask for were made: list
// labels rebuilt for each paragraph, spaces by the thousand, chunks embedded in chunks. Each import runs in a
// child process whose memory is bounded; it must end with a document whose repetitions were capped, or with
// "too large", and never take the process down.
#include "fuzz/OutputChecks.h"
#include "import/Importer.h"
#include "import/common/OutputBudget.h"
#include "import_docx/DocxBuilder.h"
#include "import_odt/OdtBuilder.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

using testsupport::repeated;

namespace {

// The longest number a list label shows: "Seven Hundred Seventy-Seven" in words is 27 bytes.
constexpr std::size_t kLongestNumberText = 40;

// What an import made, as one line the child process hands back: "too large", "failed <error>", or
// "text <bytes> <longest list label in bytes>".
std::string summary(const importer::ImportResult& result)
{
    if (!result.text)
        return result.error == importer::ImportError::TooLarge ? "too large" : "failed " + std::string(errorText(result.error));
    std::size_t longestLabel = 0;
    const auto& runs = result.text->runs();
    for (std::size_t r = 0; r < runs.size(); ++r) {
        std::size_t end = r + 1 < runs.size() ? runs[r + 1].location : result.text->length();
        if (runs[r].attributes->listLabel)
            longestLabel = std::max(longestLabel, end - runs[r].location);
    }
    return "text " + std::to_string(result.text->length()) + " " + std::to_string(longestLabel);
}

struct Verdict {
    bool tooLarge = false;
    bool hasText = false;
    std::size_t length = 0;
    std::size_t longestLabel = 0;
};

// Imports the bytes (through the one entry the program uses) in a bounded child and checks what every
// attack must leave: the child ended by itself, within its memory.
Verdict importBounded(const std::vector<std::uint8_t>& bytes)
{
    auto outcome = testsupport::runBoundedChild([&] { return summary(importer::importDocument({ bytes.data(), bytes.size() })); });
    EXPECT_TRUE(outcome.exitedNormally) << "signal " << outcome.signal << ", report: " << outcome.report;
    if (!testsupport::hasAddressSpaceLimit()) {
        EXPECT_LT(std::size_t(outcome.peakResidentKiB) * 1024, testsupport::kChildAddressSpace);
    }
    Verdict verdict;
    std::istringstream in(outcome.report);
    std::string kind;
    in >> kind;
    verdict.tooLarge = outcome.report == "too large";
    verdict.hasText = kind == "text";
    in >> verdict.length >> verdict.longestLabel;
    EXPECT_TRUE(verdict.tooLarge || verdict.hasText) << outcome.report;
    return verdict;
}

} // namespace

TEST(HostileImport, LongListLabelTemplatesAreCapped)
{
    // 30,000 placeholders of a number spelt out in words (the first level's, which never counts on), on each
    // of 20,000 paragraphs: tens of gigabytes if the template were taken whole. Capped, the labels are short
    // and the document is shown.
    constexpr std::size_t kParagraphs = 20000;
    testdocx::Parts docx;
    docx.numbering = R"(<w:abstractNum w:abstractNumId="0"><w:lvl w:ilvl="0"><w:start w:val="777"/><w:numFmt w:val="cardinalText"/>)"
                     R"(<w:lvlText w:val="%1"/></w:lvl><w:lvl w:ilvl="1">)"
                     R"(<w:lvlText w:val=")"
        + repeated("%1", 30000) + R"("/></w:lvl></w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num>)";
    docx.body = repeated(R"(<w:p><w:pPr><w:numPr><w:ilvl w:val="1"/><w:numId w:val="1"/></w:numPr></w:pPr><w:r><w:t>x</w:t></w:r></w:p>)", kParagraphs);

    testodt::Parts odt;
    odt.automaticStyles = R"(<text:list-style style:name="L1"><text:list-level-style-number text:level="1" style:num-format="1" style:num-prefix=")"
        + repeated("prefix ", 10000) + R"(" style:num-suffix=")" + repeated(")", 60000) + R"("/></text:list-style>)";
    odt.body = R"(<text:list text:style-name="L1">)" + repeated("<text:list-item><text:p>x</text:p></text:list-item>", kParagraphs) + "</text:list>";

    testodt::Parts bullets;
    bullets.automaticStyles = R"(<text:list-style style:name="L1"><text:list-level-style-bullet text:level="1" text:bullet-char=")"
        + repeated("\xE2\x80\xA2", 60000) + R"("/></text:list-style>)";
    bullets.body = odt.body;

    const testsupport::Case<std::vector<std::uint8_t>, std::size_t> cases[] = {
        { testdocx::build(docx), importer::kMaxListLabelTemplate / 2 * kLongestNumberText + 1, "docx w:lvlText of placeholders" },
        { testodt::build(odt), 2 * importer::kMaxListLabelTemplate * 4 + 16, "ODF number prefix and suffix" },
        { testodt::build(bullets), importer::kMaxListLabelTemplate * 4 + 1, "ODF bullet character" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_LT(c.input.size(), std::size_t(1) << 20) << "the attack is small";
        Verdict verdict = importBounded(c.input);
        ASSERT_TRUE(verdict.hasText) << "the capped labels fit the budget";
        EXPECT_GT(verdict.longestLabel, 0u);
        EXPECT_LE(verdict.longestLabel, c.expected);
        EXPECT_GE(verdict.length, kParagraphs * 2);
    }
}

TEST(HostileImport, RepetitionPastTheBudgetEndsTooLarge)
{
    // 10,000 paragraphs of twenty runs of a thousand spaces: 200 MB of output from a few kilobytes.
    testodt::Parts spaces;
    spaces.body = repeated("<text:p>" + repeated(R"(<text:s text:c="1000"/>)", 20) + "</text:p>", 10000);

    // One 1 MB HTML chunk named two hundred times: each copy counts.
    testdocx::Parts chunks;
    chunks.relationships.push_back({ "rIdChunk", "aFChunk", "chunk.htm" });
    chunks.extra.push_back({ "word/chunk.htm", "<html><body><p>" + repeated("words ", 170000) + "</p></body></html>" });
    chunks.body = repeated(R"(<w:altChunk r:id="rIdChunk"/>)", 200);

    // Chunks of chunks: three levels of documents, each naming the next a hundred times, around 10 KB of
    // text. A fresh budget per chunk would let each level stay under it while the whole grows to 10 GB.
    std::vector<std::uint8_t> inner;
    for (int level = 3; level >= 0; --level) {
        testdocx::Parts parts;
        if (inner.empty()) {
            parts.body = testdocx::paragraph(repeated("deep text ", 1000));
        } else {
            parts.relationships.push_back({ "rIdDoc", "aFChunk", "inner.docx" });
            parts.contentTypes.push_back({ "word/inner.docx", "application/vnd.openxmlformats-officedocument.wordprocessingml.document" });
            parts.extra.push_back({ "word/inner.docx", std::string(inner.begin(), inner.end()) });
            parts.body = repeated(R"(<w:altChunk r:id="rIdDoc"/>)", 100);
        }
        inner = testdocx::build(parts);
    }

    const struct {
        std::vector<std::uint8_t> bytes;
        const char* why;
    } cases[] = {
        { testodt::build(spaces), "ODF text:s with text:c" },
        { testdocx::build(chunks), "the same alternative-format chunk over and over" },
        { inner, "embedded documents multiplying at every level" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_LT(c.bytes.size(), std::size_t(2) << 20) << "the attack is small";
        Verdict verdict = importBounded(c.bytes);
        EXPECT_TRUE(verdict.tooLarge) << "text of " << verdict.length << " bytes";
    }
}

TEST(HostileImport, RepetitionWithinTheBudgetIsKept)
{
    // The same kinds of repetition at sizes real documents have are shown whole.
    testodt::Parts spaces;
    spaces.body = repeated("<text:p>a" + repeated(R"(<text:s text:c="1000"/>)", 20) + "b</text:p>", 100);
    auto result = importer::importDocument(testzip::view(testodt::build(spaces)));
    ASSERT_TRUE(result.text) << errorText(result.error);
    EXPECT_EQ(result.text->length(), 100 * (20 * 1000 + 3));

    testdocx::Parts chunks;
    chunks.relationships.push_back({ "rIdChunk", "aFChunk", "chunk.htm" });
    chunks.extra.push_back({ "word/chunk.htm", "<html><body><p>chunk</p></body></html>" });
    chunks.body = repeated(R"(<w:altChunk r:id="rIdChunk"/>)", 50);
    result = importer::importDocument(testzip::view(testdocx::build(chunks)));
    ASSERT_TRUE(result.text) << errorText(result.error);
    EXPECT_EQ(testdocx::text(result), repeated("chunk\n", 50)) << "a chunk named again is shown again";
}

TEST(HostileImport, RtfTextComesOutWithoutControlsOrStrayObjectCharacters)
{
    // As raw bytes, as hex escapes and as \u: DEL (which the document libraries hand over as it is in their
    // files), ESC, a C1 control, U+FFFC with no picture behind it. Raw line ends are no part of RTF text.
    const std::string rtf = "{\\rtf1\\ansi\\ansicpg1252 a\x7F" "b\\'7fc\x1B" "d\\u155?e\\u65532?f\x0Ag\\u127?h}";
    auto result = importer::importDocument(
        std::span(reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size()));
    ASSERT_TRUE(result.text) << errorText(result.error);
    EXPECT_EQ(result.text->string(), "abcde\xEF\xBF\xBD" "fgh");
    const char* rule = fuzzoutput::brokenRule(*result.text);
    EXPECT_FALSE(rule) << rule;
}

TEST(HostileImport, MarkupTextComesOutWithoutControlsOrStrayObjectCharacters)
{
    // Written as character references and as raw bytes: an escape sequence that would recolour a terminal,
    // a form feed inside a table cell (a page break there would split its row), a C1 control, U+FFFC with
    // no picture behind it, bytes that are not UTF-8, and a line end (it still parts the words around it).
    const std::string references = "a&#27;[31mb&#12;c&#x9B;d&#xFFFC;e&#10;y";
    const std::string raw = "f\x1B[0mg\x0Ch\xC2\x9Bi\xEF\xBF\xBCj\xFF\xC3k";
    const std::string expected = "a[31mbcd\xEF\xBF\xBD" "e y\nf[0mghi\xEF\xBF\xBDj\xEF\xBF\xBD\xEF\xBF\xBDk\n";

    testdocx::Parts docx;
    docx.body = "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>" + references + "</w:t></w:r></w:p><w:p><w:r><w:t>" + raw
        + "</w:t></w:r></w:p></w:tc></w:tr></w:tbl>";
    docx.numbering = R"(<w:abstractNum w:abstractNumId="0"><w:lvl w:ilvl="0"><w:numFmt w:val="decimal"/><w:lvlText w:val="&#27;]0;%1."/>)"
                     R"(</w:lvl></w:abstractNum><w:num w:numId="1"><w:abstractNumId w:val="0"/></w:num>)";
    docx.body += R"(<w:p><w:pPr><w:numPr><w:ilvl w:val="0"/><w:numId w:val="1"/></w:numPr></w:pPr><w:r><w:t>item</w:t></w:r></w:p>)";
    testodt::Parts odt;
    odt.body = "<table:table><table:table-column/><table:table-row><table:table-cell><text:p>" + references + "</text:p><text:p>" + raw
        + "</text:p></table:table-cell></table:table-row></table:table>";
    odt.automaticStyles = R"(<text:list-style style:name="L1"><text:list-level-style-number text:level="1" style:num-format="1")"
                          R"( style:num-prefix="&#27;]0;" style:num-suffix="."/></text:list-style>)";
    odt.body += R"(<text:list text:style-name="L1"><text:list-item><text:p>item</text:p></text:list-item></text:list>)";

    const struct {
        std::vector<std::uint8_t> bytes;
        const char* why;
    } cases[] = {
        { testdocx::build(docx), "docx" },
        { testodt::build(odt), "odt" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = importer::importDocument(testzip::view(c.bytes));
        ASSERT_TRUE(result.text) << errorText(result.error);
        const std::string& text = result.text->string();
        EXPECT_EQ(text.substr(0, expected.size()), expected);
        std::string label = text.substr(expected.size());
        EXPECT_EQ(label.substr(0, 5), "]0;1.") << "the label is cleaned too";
        EXPECT_EQ(label.substr(label.size() - 5), "item\n");
        const char* rule = fuzzoutput::brokenRule(*result.text);
        EXPECT_FALSE(rule) << rule;
    }
}
