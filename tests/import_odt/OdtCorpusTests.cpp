#include "import/common/Dump.h"
#include "import/odt/OdtImporter.h"
#include "support/GoldenFile.h"
#include "support/TestSupport.h"
#include "support/WordRecall.h"
#include "support/ZipEntry.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

// An independent reading of an OpenDocument text's visible body, kept simple on purpose: the text of
// content.xml's paragraphs and headings, with text boxes after their paragraph, tracked changes, annotations
// and cached list numbers skipped, and the bodies of notes at the end (their citations stay where they are).
class OdtTextReader {
public:
    explicit OdtTextReader(const std::vector<std::uint8_t>& bytes)
    {
        if (auto xml = testsupport::zipEntry(bytes, "content.xml"))
            m_document.load_buffer(xml->data(), xml->size(), pugi::parse_default | pugi::parse_ws_pcdata);
    }

    std::string text()
    {
        readBlocks(m_document.document_element().child("office:body").child("office:text"));
        for (std::size_t i = 0; i < m_notes.size(); ++i)
            readBlocks(m_notes[i]);
        return m_out;
    }

private:
    void readBlocks(pugi::xml_node container)
    {
        for (auto child : container.children()) {
            std::string_view name = child.name();
            if (name == "text:p" || name == "text:h") {
                std::vector<pugi::xml_node> boxes;
                readInline(child, boxes);
                m_out += '\n';
                for (auto box : boxes)
                    readBlocks(box);
            } else if (name == "text:tracked-changes" || name == "office:annotation" || name == "text:table-of-content-source") {
                continue;
            } else if (child.type() == pugi::node_element) {
                readBlocks(child);
            }
        }
    }

    void readInline(pugi::xml_node node, std::vector<pugi::xml_node>& boxes)
    {
        for (auto child : node.children()) {
            if (child.type() == pugi::node_pcdata) {
                m_out += child.value();
                continue;
            }
            std::string_view name = child.name();
            if (name == "text:s" || name == "text:tab" || name == "text:line-break") {
                m_out += ' ';
            } else if (name == "text:note") {
                // The citation is visible where the note is anchored; the body comes at the end.
                readInline(child.child("text:note-citation"), boxes);
                m_notes.push_back(child.child("text:note-body"));
            } else if (name == "draw:text-box") {
                boxes.push_back(child);
            } else if (name == "office:annotation" || name == "text:tracked-changes" || name == "text:number") {
                continue;
            } else {
                readInline(child, boxes);
            }
        }
    }

    pugi::xml_document m_document;
    std::vector<pugi::xml_node> m_notes;
    std::string m_out;
};

importer::ImportResult importFile(const std::filesystem::path& path)
{
    auto bytes = testsupport::readFile(path);
    return importer::importOdt({ bytes.data(), bytes.size() });
}

} // namespace

TEST(OdtCorpus, ImportedTextHoldsTheVisibleBodyInOrder)
{
    auto files = testsupport::corpusFiles({ "odt", "ott" });
    ASSERT_FALSE(files.empty());
    for (const auto& path : files) {
        std::string name = path.filename().string();
        SCOPED_TRACE(name);
        auto bytes = testsupport::readFile(path);
        auto result = importer::importOdt({ bytes.data(), bytes.size() });
        ASSERT_TRUE(result.text) << errorText(result.error);
        wordrecall::expectWordsInOrder(name, OdtTextReader(bytes).text(), importer::plainText(*result.text));
    }
}

TEST(OdtCorpus, WordRecallAgainstReferenceTexts)
{
    EXPECT_GE(wordrecall::expectReferenceRecallOfCorpus({ "odt", "ott" }, importFile, 0.97), 5u);
}

TEST(OdtCorpus, SectionsAndTextBoxesAreRead)
{
    // A document whose text lives in sections and in frames inside paragraphs: some readers show nothing.
    auto result = importFile(testsupport::corpusPath("odfdo-collection.odt"));
    ASSERT_TRUE(result.text);
    EXPECT_GT(wordrecall::words(importer::plainText(*result.text)).size(), 8000u);
    auto pagebreak = importFile(testsupport::corpusPath("odfdo-pagebreak.odt"));
    ASSERT_TRUE(pagebreak.text);
    EXPECT_EQ(importer::plainText(*pagebreak.text), "first paragraph\n\fsecond paragraph\n");
}

TEST(OdtCorpus, GoldenRunDumps)
{
    const char* files[] = { "pandoc-textMixedStyles.odt", "pandoc-tableWithSpans.odt", "pandoc-orderedListMixed.odt", "odfdo-dormeur_notes.odt",
        "pandoc-image.odt" };
    for (const char* file : files) {
        SCOPED_TRACE(file);
        auto result = importFile(testsupport::corpusPath(file));
        ASSERT_TRUE(result.text) << errorText(result.error);
        testsupport::expectMatchesGolden(importer::dumpRuns(*result.text), "tests/import_odt/golden/" + std::string(file) + ".txt");
    }
}
