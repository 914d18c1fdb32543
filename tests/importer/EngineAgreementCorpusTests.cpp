// Every corpus document, imported as a reader gets it, paginated with the engine of our own and with
// Pango's, at three text widths: the pages must hold the same lines, broken at the same bytes, with the
// same boxes and baselines.

#include "import/Importer.h"
#include "kit/text/HarfBuzzParagraphEngine.h"
#include "kit/text/LayoutManager.h"
#include "kit/text/PangoParagraphEngine.h"
#include "kit/text/TextStorage.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <gtest/gtest.h>

namespace {

struct Paginated {
    std::vector<kit::Range> ranges;
    std::vector<std::vector<kit::LayoutManager::LineFragment>> fragments;
};

Paginated paginate(const std::shared_ptr<kit::TextStorage>& storage, std::unique_ptr<kit::ParagraphEngine> engine,
    kit::Size size, kit::HarfBuzzParagraphEngine::Statistics* statistics)
{
    auto* ours = dynamic_cast<kit::HarfBuzzParagraphEngine*>(engine.get());
    kit::LayoutManager layout(std::move(engine));
    layout.replaceTextStorage(storage);
    Paginated out;
    for (std::size_t page = 0; page < 3000; ++page) {
        layout.addTextContainer(std::make_unique<kit::TextContainer>(size));
        const kit::TextContainer& container = *layout.textContainers().back();
        out.ranges.push_back(layout.glyphRangeForTextContainer(container));
        out.fragments.push_back(layout.lineFragmentsForTextContainer(container));
        if (layout.textEndsInOrBeforeTextContainer(container))
            break;
    }
    if (ours && statistics)
        *statistics = ours->statistics();
    return out;
}

std::string describe(const kit::LayoutManager::LineFragment& f)
{
    return "bytes " + std::to_string(f.range.location) + "+" + std::to_string(f.range.length) + " at y "
        + std::to_string(f.rect.origin.y) + " height " + std::to_string(f.rect.size.height) + " baseline "
        + std::to_string(f.baseline);
}

// Documents whose pages are compared, or all of them with LECTORIN_AGREEMENT_CORPUS=all: the default set
// keeps the suite quick and still covers every format, tables, lists, long documents and other scripts.
std::vector<std::string> documents()
{
    static const char* const chosen[] = { "pandoc-testsuite.txt", "pandoc-writer.rtf", "pandoc-tables.docx",
        "pandoc-writer.html5", "pandoc-unicode.rtf", "pandoc-textMixedStyles.odt", "odfdo-collection.odt",
        "poi-bug59058.docx", "poi-IllustrativeCases.docx", "poi-ComplexNumberedLists.docx", "poi-Bug50936_3.doc",
        "poi-Word6.doc", "poi-innertable.doc", "poi-57603-seven_columns.doc", "unicodelipsum-english.utf16be.txt",
        "unicodelipsum-Arabic-Lipsum.utf16.txt", "poi-bib-chernigovka.netdo.ru_download_docs_17459.docx" };
    std::vector<std::string> names;
    const char* all = std::getenv("LECTORIN_AGREEMENT_CORPUS");
    for (const auto& path : testsupport::corpusFiles({ "doc", "docx", "rtf", "odt", "html", "html4", "html5", "txt" })) {
        std::string name = path.filename().string();
        if ((all && !std::strcmp(all, "all")) || std::find(std::begin(chosen), std::end(chosen), name) != std::end(chosen))
            names.push_back(name);
    }
    return names;
}

class EngineAgreementCorpus : public testing::TestWithParam<std::string> { };

} // namespace

TEST_P(EngineAgreementCorpus, PagesHoldTheSameLinesWithBothEngines)
{
    std::string bytes = testsupport::readText(testsupport::corpusPath(GetParam()));
    auto imported = importer::importDocument(
        { reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size() });
    if (!imported.text || imported.text->length() == 0)
        GTEST_SKIP() << "the importer made no text of it";
    // Letter with one-inch margins, a narrow column and a wide one; all as tall as a Letter text area.
    for (kit::Size size : { kit::Size { 468, 648 }, kit::Size { 251.5f, 648 }, kit::Size { 583.25f, 648 } }) {
        SCOPED_TRACE("text width " + std::to_string(size.width));
        kit::HarfBuzzParagraphEngine::Statistics statistics;
        Paginated ours = paginate(imported.text, std::make_unique<kit::HarfBuzzParagraphEngine>(), size, &statistics);
        Paginated pango = paginate(imported.text, std::make_unique<kit::PangoParagraphEngine>(), size, nullptr);
        ASSERT_EQ(ours.ranges.size(), pango.ranges.size()) << "page count";
        for (std::size_t page = 0; page < ours.ranges.size(); ++page) {
            ASSERT_EQ(ours.ranges[page], pango.ranges[page]) << "page " << page + 1;
            ASSERT_EQ(ours.fragments[page].size(), pango.fragments[page].size()) << "lines on page " << page + 1;
            for (std::size_t line = 0; line < ours.fragments[page].size(); ++line) {
                const auto& a = ours.fragments[page][line];
                const auto& b = pango.fragments[page][line];
                ASSERT_TRUE(a.range == b.range && a.rect == b.rect && a.baseline == b.baseline)
                    << "page " << page + 1 << " line " << line + 1 << ": ours " << describe(a) << ", Pango's "
                    << describe(b);
            }
        }
        // How much of the document the comparison covers: paragraphs our engine broke, and Pango's.
        std::string width = std::to_string(int(size.width));
        RecordProperty("taken_" + width, int(statistics.taken));
        RecordProperty("declined_" + width, int(statistics.declined));
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, EngineAgreementCorpus, testing::ValuesIn(documents()),
    [](const testing::TestParamInfo<std::string>& info) {
        std::string name = info.param;
        for (char& c : name) {
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        }
        return name;
    });
