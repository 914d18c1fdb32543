#include "HtmlTestSupport.h"
#include "support/GoldenFile.h"
#include "support/TestSupport.h"

#include <cstdlib>
#include <glib.h>
#include <libxml/HTMLparser.h>
#include <map>

namespace {

std::vector<std::filesystem::path> corpusHtml()
{
    return testsupport::corpusFiles({ "html", "htm", "html4", "html5" });
}

// Runs of letters and digits: what a reader calls the words of a text, whatever the punctuation.
std::vector<std::string> words(const std::string& text, bool casefold)
{
    std::vector<std::string> result;
    std::string current;
    for (const char* p = text.c_str(); *p;) {
        gunichar c = g_utf8_get_char_validated(p, -1);
        const char* next = g_utf8_next_char(p);
        if (c == gunichar(-1) || c == gunichar(-2)) {
            ++p;
            continue;
        }
        if (g_unichar_isalnum(c) || c == '_') {
            current.append(p, std::size_t(next - p));
        } else if (!current.empty()) {
            result.push_back(current);
            current.clear();
        }
        p = next;
    }
    if (!current.empty())
        result.push_back(current);
    if (casefold) {
        for (auto& word : result) {
            gchar* folded = g_utf8_casefold(word.c_str(), -1);
            word = folded;
            g_free(folded);
        }
    }
    return result;
}

bool isBlockName(std::string_view name)
{
    static const char* blocks[] = { "p", "div", "h1", "h2", "h3", "h4", "h5", "h6", "li", "ul", "ol", "dl", "dt", "dd",
        "table", "tr", "td", "th", "caption", "thead", "tbody", "tfoot", "pre", "blockquote", "br", "hr", "section",
        "article", "header", "footer", "figure", "figcaption", "address", "center", "body", "nav", "aside", "main" };
    for (const char* block : blocks) {
        if (name == block)
            return true;
    }
    return false;
}

void collectBrowserText(const xmlNode* node, std::string& out)
{
    for (; node; node = node->next) {
        if (node->type == XML_TEXT_NODE && node->content) {
            out += reinterpret_cast<const char*>(node->content);
        } else if (node->type == XML_ELEMENT_NODE) {
            std::string_view name(reinterpret_cast<const char*>(node->name));
            if (name == "script" || name == "style" || name == "head" || name == "title")
                continue;
            bool block = isBlockName(name);
            if (block)
                out += '\n';
            collectBrowserText(node->children, out);
            if (block)
                out += '\n';
        }
    }
}

// The text a browser shows, read independently of the importer: libxml2's own parse of the raw file (its
// own encoding detection), the text of the body without scripts and styles, blocks kept apart.
std::string browserText(const std::vector<std::uint8_t>& bytes)
{
    htmlDocPtr document = htmlReadMemory(reinterpret_cast<const char*>(bytes.data()), int(bytes.size()), nullptr,
        nullptr, HTML_PARSE_NONET | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_RECOVER);
    std::string out;
    if (!document)
        return out;
    for (xmlNode* node = xmlDocGetRootElement(document); node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        for (xmlNode* child = node->children; child; child = child->next) {
            if (child->type == XML_ELEMENT_NODE && std::string_view(reinterpret_cast<const char*>(child->name)) == "body")
                collectBrowserText(child->children, out);
        }
    }
    xmlFreeDoc(document);
    return out;
}

double recall(const std::vector<std::string>& reference, const std::vector<std::string>& got)
{
    if (reference.empty())
        return 1;
    std::map<std::string, int> counts;
    for (const auto& word : got)
        ++counts[word];
    std::size_t found = 0;
    std::map<std::string, int> used;
    for (const auto& word : reference) {
        if (used[word] < counts[word]) {
            ++used[word];
            ++found;
        }
    }
    return double(found) / double(reference.size());
}

} // namespace

TEST(HtmlCorpus, EveryFileIsDetectedAndLoads)
{
    auto files = corpusHtml();
    ASSERT_GE(files.size(), 3u) << "the corpus holds three HTML files";
    for (const auto& file : files) {
        SCOPED_TRACE(file.filename().string());
        auto bytes = testsupport::readFile(file);
        EXPECT_TRUE(importer::looksLikeHtml(bytes));
        auto result = importer::importHtml(bytes);
        EXPECT_EQ(result.format, "html");
        ASSERT_TRUE(result.text);
        EXPECT_GT(result.text->length(), 1000u);
        htmltest::expectWellFormed(*result.text);
    }
}

TEST(HtmlCorpus, NoOtherDocumentLooksLikeHtml)
{
    auto others = testsupport::corpusFiles({ "txt", "rtf", "doc", "docx", "odt" });
    ASSERT_GT(others.size(), 50u);
    for (const auto& file : others) {
        SCOPED_TRACE(file.filename().string());
        EXPECT_FALSE(importer::looksLikeHtml(testsupport::readFile(file)));
    }
}

TEST(HtmlCorpus, BrowserTextAppearsWordForWordInOrder)
{
    for (const auto& file : corpusHtml()) {
        SCOPED_TRACE(file.filename().string());
        auto bytes = testsupport::readFile(file);
        auto expected = words(browserText(bytes), false);
        ASSERT_GT(expected.size(), 100u);
        auto result = importer::importHtml(bytes);
        ASSERT_TRUE(result.text);
        auto got = words(importer::plainText(*result.text), false);
        std::size_t g = 0;
        for (std::size_t e = 0; e < expected.size(); ++e) {
            std::size_t found = g;
            while (found < got.size() && got[found] != expected[e])
                ++found;
            if (found == got.size()) {
                std::string context;
                for (std::size_t k = e >= 5 ? e - 5 : 0; k < std::min(expected.size(), e + 5); ++k)
                    context += expected[k] + " ";
                FAIL() << "word " << e << " \"" << expected[e] << "\" missing or out of order near: " << context;
            }
            g = found + 1;
        }
    }
}

// The run dumps are reviewed like code; LECTORIN_UPDATE_GOLDEN=1 rewrites them after a deliberate change.
TEST(HtmlCorpus, RunDumpsMatchGoldenFiles)
{
    for (const auto& file : corpusHtml()) {
        SCOPED_TRACE(file.filename().string());
        auto result = importer::importHtml(testsupport::readFile(file));
        ASSERT_TRUE(result.text);
        testsupport::expectMatchesGolden(importer::dumpRuns(*result.text), "tests/import_html/golden/" + file.filename().string() + ".txt");
    }
}

TEST(HtmlCorpus, WordRecallAgainstReferenceTexts)
{
    std::size_t compared = 0;
    for (const auto& file : corpusHtml()) {
        std::filesystem::path reference = std::filesystem::path(LECTORIN_CORPUS_REFERENCE_DIR) / (file.filename().string() + ".txt");
        if (!std::filesystem::exists(reference))
            continue;
        SCOPED_TRACE(file.filename().string());
        auto result = importer::importHtml(testsupport::readFile(file));
        ASSERT_TRUE(result.text);
        double r = recall(words(testsupport::readText(reference), true), words(importer::plainText(*result.text), true));
        std::printf("%s word recall %.3f\n", file.filename().c_str(), r);
        EXPECT_GE(r, 0.98);
        ++compared;
    }
    EXPECT_GE(compared, 2u) << "two corpus HTML files have reference texts";
}
