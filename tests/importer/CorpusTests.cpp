#include "import/Importer.h"
#include "import/common/Dump.h"
#include "import_rtf/RoundTrip.h"
#include "support/Cases.h"
#include "support/TestSupport.h"

#include <chrono>
#include <cstdio>
#include <glib.h>
#include <gtest/gtest.h>
#include <set>

namespace {

std::string fileName(const std::filesystem::path& path) { return path.filename().string(); }

// Words as the reference tool counts them: runs of letters, digits and underscores, case-folded.
std::vector<std::string> words(const std::string& text)
{
    std::vector<std::string> result;
    std::string current;
    auto flush = [&] {
        if (current.empty())
            return;
        gchar* folded = g_utf8_casefold(current.data(), gssize(current.size()));
        result.emplace_back(folded);
        g_free(folded);
        current.clear();
    };
    const gchar* p = text.data();
    const gchar* end = text.data() + text.size();
    while (p < end) {
        gunichar c = g_utf8_get_char_validated(p, end - p);
        const gchar* next = g_utf8_find_next_char(p, end);
        if (!next)
            next = end;
        bool isWordCharacter = c != gunichar(-1) && c != gunichar(-2)
            && (g_unichar_isalnum(c) || c == '_');
        if (isWordCharacter)
            current.append(p, std::size_t(next - p));
        else
            flush();
        p = next;
    }
    flush();
    return result;
}

// The length of the longest common subsequence of two word lists (Myers' O((N+M)D) algorithm), which
// counts the reference's words found in order. Gives up past maximumEdits and then returns nullopt.
std::optional<std::size_t> commonSubsequenceLength(const std::vector<std::string>& a, const std::vector<std::string>& b,
    long maximumEdits)
{
    const long n = long(a.size()), m = long(b.size());
    const long offset = maximumEdits + 1;
    std::vector<long> v(std::size_t(2 * offset + 1), 0);
    for (long d = 0; d <= maximumEdits; ++d) {
        for (long k = -d; k <= d; k += 2) {
            long x;
            if (k == -d || (k != d && v[std::size_t(offset + k - 1)] < v[std::size_t(offset + k + 1)]))
                x = v[std::size_t(offset + k + 1)];
            else
                x = v[std::size_t(offset + k - 1)] + 1;
            long y = x - k;
            while (x < n && y < m && a[std::size_t(x)] == b[std::size_t(y)]) {
                ++x;
                ++y;
            }
            v[std::size_t(offset + k)] = x;
            if (x >= n && y >= m)
                return std::size_t((n + m - d) / 2);
        }
    }
    return std::nullopt;
}

struct Recall {
    double bag = 0; // share of the reference's words found anywhere (with multiplicity)
    double order = 0; // share found in order
    std::size_t referenceWords = 0;
    std::size_t words = 0;
};

Recall measureRecall(const std::string& reference, const std::string& text)
{
    auto expected = words(reference);
    auto got = words(text);
    Recall recall;
    recall.referenceWords = expected.size();
    recall.words = got.size();
    if (expected.empty()) {
        recall.bag = recall.order = 1;
        return recall;
    }
    std::map<std::string, long> counts;
    for (const auto& word : got)
        ++counts[word];
    std::size_t found = 0;
    for (const auto& word : expected) {
        if (counts[word]-- > 0)
            ++found;
    }
    recall.bag = double(found) / double(expected.size());
    // Near-identical texts take few edits; a text far from its reference is measured on a prefix.
    auto common = commonSubsequenceLength(expected, got, 20000);
    if (!common) {
        expected.resize(std::min<std::size_t>(expected.size(), 4000));
        got.resize(std::min<std::size_t>(got.size(), 8000));
        common = commonSubsequenceLength(expected, got, long(expected.size() + got.size()));
    }
    recall.order = double(common.value_or(0)) / double(expected.size());
    return recall;
}

} // namespace

// The format is decided from the bytes; an .rtf without its header is text, as word processors treat it.
TEST(ImporterCorpus, DispatchesTextAndRtfByContent)
{
    auto files = testsupport::corpusFiles({ "txt", "rtf" });
    ASSERT_GE(files.size(), 17u);
    for (const auto& path : files) {
        SCOPED_TRACE(fileName(path));
        auto started = std::chrono::steady_clock::now();
        auto result = importer::importDocument(testsupport::readFile(path));
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        ASSERT_TRUE(result.text) << errorText(result.error);
        bool isRtf = path.extension() == ".rtf" && fileName(path) != "pandoc-tables.rtf";
        EXPECT_EQ(result.format, isRtf ? "rtf" : "text");
        EXPECT_LT(seconds, 10.0) << "imports in reasonable time";
        EXPECT_GT(result.text->length(), 0u);
    }
}

TEST(ImporterCorpus, RefusesWhatIsNotText)
{
    const struct {
        std::string bytes;
        const char* why;
    } cases[] = {
        { std::string("GIF89a\x01\0\x01\0\x80\0\0", 13), "an image" },
        { std::string("\x7F" "ELF\x02\x01\x01\0\0\0\0\0", 12), "a program" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        auto result = importer::importDocument({ reinterpret_cast<const std::uint8_t*>(c.bytes.data()), c.bytes.size() });
        EXPECT_FALSE(result.text);
        EXPECT_EQ(result.error, importer::ImportError::NotKnownFormat);
    }
    auto empty = importer::importDocument({});
    ASSERT_TRUE(empty.text) << "an empty file is an empty text document";
    EXPECT_EQ(empty.format, "text");
    EXPECT_EQ(empty.text->length(), 0u);
}

// Every document that imports, whatever its format, comes back from RTF with the same text and the same
// attributes after RTF's rounding.
TEST(ImporterCorpus, SurvivesTheRtfRoundTrip)
{
    auto files = testsupport::corpusFiles({ "txt", "rtf", "doc", "docx", "odt", "html", "htm", "html4", "html5" });
    std::size_t checked = 0;
    for (const auto& path : files) {
        SCOPED_TRACE(fileName(path));
        auto result = importer::importDocument(testsupport::readFile(path));
        if (!result.text)
            continue;
        std::string rtf = result.text->rtfFromRange({ 0, result.text->length() });
        auto back = kit::TextStorage::fromRtf({ reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size() });
        ASSERT_TRUE(back);
        EXPECT_EQ(back->string(), result.text->string());
        std::string expected = roundtrip::canonicalDump(*result.text);
        std::string actual = roundtrip::canonicalDump(*back);
        if (expected != actual) {
            // The first differing line says more than two long dumps.
            std::size_t at = 0;
            while (at < expected.size() && at < actual.size() && expected[at] == actual[at])
                ++at;
            std::size_t line = expected.rfind('\n', at);
            line = line == std::string::npos ? 0 : line + 1;
            ADD_FAILURE() << "expected: " << expected.substr(line, expected.find('\n', at) - line)
                          << "\nactual:   " << actual.substr(line, actual.find('\n', at) - line);
        }
        ++checked;
    }
    EXPECT_GE(checked, 17u) << "at least the text and RTF documents";
}

// Word recall against the reference texts, per file: the share of the reference's words found, and found in
// order. The figures are printed; the floors are what the importers reach now.
TEST(ImporterCorpus, RecallsTheWordsOfTheReferenceTexts)
{
    const testsupport::Case<const char*, double> cases[] = {
        { "pandoc-footnote.rtf", 0.97, "the note marks are glued to the words before them in the reference" },
        { "pandoc-formatting.rtf", 0.9, "hidden text is shown in the reference, not here" },
        { "pandoc-heading.rtf", 1.0, "" },
        { "pandoc-list_complex.rtf", 0.6, "the reference has its own list numbers" },
        { "pandoc-list_simple.rtf", 1.0, "" },
        { "pandoc-table_error_codes.rtf", 1.0, "" },
        { "pandoc-unicode.rtf", 1.0, "" },
        { "pandoc-writer.rtf", 0.95, "list numbers differ" },
        { "pandoc-testsuite.txt", 1.0, "" },
        { "poi-Bug47742-text.txt", 1.0, "" },
        { "unicodelipsum-Arabic-Lipsum.utf16.txt", 1.0, "" },
        { "unicodelipsum-Chinese-Lipsum.utf16.txt", 1.0, "" },
        { "unicodelipsum-english.utf16be.txt", 1.0, "" },
        { "unicodelipsum-japanese.utf16.txt", 1.0, "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        auto reference = std::filesystem::path(LECTORIN_CORPUS_REFERENCE_DIR) / (std::string(c.input) + ".txt");
        ASSERT_TRUE(std::filesystem::exists(reference));
        auto result = importer::importDocument(testsupport::readFile(testsupport::corpusPath(c.input)));
        ASSERT_TRUE(result.text);
        Recall recall = measureRecall(testsupport::readText(reference), importer::plainText(*result.text));
        std::printf("recall %-42s words %6zu/%6zu  bag %.3f  order %.3f\n", c.input, recall.words,
            recall.referenceWords, recall.bag, recall.order);
        EXPECT_GE(recall.order + 1e-9, c.expected) << c.why;
        EXPECT_GE(recall.bag + 1e-9, recall.order);
    }
}

// The documents of older word processors: each imports in its own format, with the reference's words, and
// none is mistaken for another by its file name (two WordPerfect files are called .doc).
TEST(ImporterCorpus, ReadsTheOlderWordProcessorsDocuments)
{
    const struct {
        const char* name;
        const char* format;
    } cases[] = {
        { "formatcorpus-TOPOPREC.WPD", "wordperfect" },
        { "formatcorpus-testWordPerfect_50.doc", "wordperfect" },
        { "formatcorpus-testWordPerfect_51_52.doc", "wordperfect" },
        { "poi-Word6_sections.doc", "doc" },
        { "poi-Word95.doc", "doc" },
        { "poi-word2.doc", "doc" },
        { "tika-testMSWriteFile.wri", "write" },
        { "tika-testPages.pages", "pages" },
        { "tika-testStarOffice-5.2-writer.sdw", "staroffice" },
        { "tika-testWORKS.wps", "works" },
        { "tika-testWORKSWordProcessor3.0.wps", "works" },
    };
    std::set<std::string> listed;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        listed.insert(c.name);
        auto path = std::filesystem::path(LECTORIN_CORPUS_LEGACY_DIR) / c.name;
        auto reference = std::filesystem::path(LECTORIN_CORPUS_REFERENCE_DIR) / (std::string(c.name) + ".txt");
        auto result = importer::importDocument(testsupport::readFile(path));
        ASSERT_TRUE(result.text) << errorText(result.error);
        EXPECT_EQ(result.format, c.format);
        Recall recall = measureRecall(testsupport::readText(reference), importer::plainText(*result.text));
        std::printf("recall %-42s words %6zu/%6zu  bag %.3f  order %.3f\n", c.name, recall.words, recall.referenceWords,
            recall.bag, recall.order);
        EXPECT_GE(recall.bag + 1e-9, 0.98);
        EXPECT_GE(recall.order + 1e-9, 0.98);
    }
    // A document added to the folder is added here too, or this says so.
    for (const auto& entry : std::filesystem::directory_iterator(LECTORIN_CORPUS_LEGACY_DIR)) {
        std::string name = entry.path().filename().string();
        if (name != "SOURCES.md" && !listed.count(name))
            ADD_FAILURE() << name << " is not among the cases";
    }
}
