// The page setup of an RTF document: the document's paper and margins, each section's own, and the
// headers and footers each section holds.
#include "import/rtf/RtfReader.h"

#include <algorithm>
#include <cmath>

namespace importer::rtf {

namespace {

// Header and footer groups read per document; later ones are skipped.
constexpr std::size_t kMaximumHeaderFooterStories = 128;
// Paper sides as RTF may state them, in points: no real paper is larger than 22 inches by far.
constexpr float kMaximumPaperSide = 31680.0f / 20;

float points(int twipsValue, float minimum) { return std::clamp(std::fabs(float(twipsValue)) / 20, minimum, kMaximumPaperSide); }

} // namespace

bool RtfReader::pageSetupWord(std::string_view word, bool hasParameter, int parameter)
{
    // Document words set the document's defaults and, until a section says otherwise, the section being read.
    kit::PageSection& section = m_pageSections.back();
    auto both = [&](auto apply) {
        apply(m_documentSection);
        if (m_pageSections.size() == 1)
            apply(section);
        m_hasPageSetup = true;
    };
    auto own = [&](auto apply) {
        apply(section);
        m_hasPageSetup = true;
    };
    float length = hasParameter ? points(parameter, 0) : 0;
    if (word == "sectd") {
        // Back to the document's setup; the reader's other section state (\sbk...) is reset elsewhere.
        std::size_t start = section.start;
        section = m_documentSection;
        section.start = start;
        return false;
    }
    using Setter = void (*)(kit::PageSection&, float);
    // Lengths a document word sets for the document and a section word for its section alone; the header
    // and footer distances use one word for both, the document's before the first \sect.
    static const struct {
        std::string_view document, section;
        Setter set;
    } kLengths[] = {
        { "paperw", "pgwsxn", [](kit::PageSection& s, float v) { s.paperSize.width = std::max(v, 72.0f); } },
        { "paperh", "pghsxn", [](kit::PageSection& s, float v) { s.paperSize.height = std::max(v, 72.0f); } },
        { "margl", "marglsxn", [](kit::PageSection& s, float v) { s.margins.left = v; } },
        { "margr", "margrsxn", [](kit::PageSection& s, float v) { s.margins.right = v; } },
        { "margt", "margtsxn", [](kit::PageSection& s, float v) { s.margins.top = v; } },
        { "margb", "margbsxn", [](kit::PageSection& s, float v) { s.margins.bottom = v; } },
        { "gutter", "guttersxn", [](kit::PageSection& s, float v) { s.margins.gutter = v; } },
        { "headery", "headery", [](kit::PageSection& s, float v) { s.margins.header = v; } },
        { "footery", "footery", [](kit::PageSection& s, float v) { s.margins.footer = v; } },
    };
    if (hasParameter) {
        for (const auto& entry : kLengths) {
            bool document = word == entry.document && (entry.document != entry.section || m_pageSections.size() == 1);
            if (document)
                both([&](kit::PageSection& s) { entry.set(s, length); });
            else if (word == entry.section)
                own([&](kit::PageSection& s) { entry.set(s, length); });
            if (document || word == entry.section)
                return true;
        }
    }
    static const struct {
        std::string_view word;
        kit::PageNumberFormat format;
    } kNumberFormats[] = { { "pgndec", kit::PageNumberFormat::Decimal }, { "pgnlcrm", kit::PageNumberFormat::LowerRoman },
        { "pgnucrm", kit::PageNumberFormat::UpperRoman }, { "pgnlcltr", kit::PageNumberFormat::LowerLetter },
        { "pgnucltr", kit::PageNumberFormat::UpperLetter } };
    for (const auto& entry : kNumberFormats) {
        if (word == entry.word) {
            own([&](kit::PageSection& s) { s.pageNumberFormat = entry.format; });
            return true;
        }
    }
    auto turn = [](kit::PageSection& s) {
        if (s.paperSize.width < s.paperSize.height)
            std::swap(s.paperSize.width, s.paperSize.height);
    };
    if (word == "landscape")
        both(turn);
    else if (word == "lndscpsxn")
        own(turn);
    else if (word == "facingp")
        m_facingPages = true;
    else if (word == "titlepg")
        own([&](kit::PageSection& s) { s.titlePage = true; });
    else if (word == "pgnstarts" && hasParameter)
        own([&](kit::PageSection& s) { s.pageNumberStart = std::clamp(parameter, -1000000, 1000000); });
    else if (word == "cols" && hasParameter)
        own([&](kit::PageSection& s) { s.columnCount = std::clamp(parameter, 1, 16); });
    else if (word == "colsx" && hasParameter)
        own([&](kit::PageSection& s) { s.columnSpacing = std::min(length, 720.0f); });
    else if (word == "pgnrestart")
        own([&](kit::PageSection& s) { s.pageNumberStart = s.pageNumberStart.value_or(1); });
    else
        return false;
    return true;
}

void RtfReader::beginNextSection()
{
    // A new section keeps the properties of the one before it until \sectd or its own words change them;
    // headers and footers it does not define are its predecessor's by linking, not by copying.
    if (m_pageSections.size() >= 100000)
        return;
    kit::PageSection next = m_pageSections.back();
    next.headers = {};
    next.footers = {};
    next.titlePage = false;
    next.pageNumberStart.reset();
    m_pageSections.push_back(std::move(next));
}

bool RtfReader::beginHeaderFooter(std::string_view word)
{
    GroupState& current = state();
    if (current.story != 0 || current.destination != Destination::Body
        || m_storyTargets.size() >= kMaximumHeaderFooterStories)
        return false;
    StoryTarget target;
    target.section = m_pageSections.size() - 1;
    target.isHeader = word.starts_with("header");
    char side = word.size() > 6 ? word[6] : '\0';
    target.kind = side == 'f' ? kit::HeaderFooterKind::First
        : side == 'l'         ? kit::HeaderFooterKind::Even
                              : kit::HeaderFooterKind::Default;
    auto story = std::make_unique<Story>();
    Story* added = story.get();
    story->tables = std::make_unique<RtfTableBuilder>(
        [this, added](Paragraph&& paragraph) { emit(*added, std::move(paragraph)); }, m_nextTableId);
    int index = int(m_stories.size());
    m_stories.push_back(std::move(story));
    m_storyTargets[index] = target;
    current.story = index;
    current.paragraph = {};
    current.paragraph.style = m_defaultParagraphStyle;
    current.link.clear();
    current.isListLabel = false;
    current.attributes.reset();
    m_hasPageSetup = true;
    return true;
}

std::shared_ptr<const kit::PageSetup> RtfReader::finishPageSetup(const kit::TextStorage& body)
{
    if (!m_hasPageSetup)
        return nullptr;
    auto setup = std::make_shared<kit::PageSetup>();
    setup->evenAndOddHeaders = m_facingPages;
    std::size_t start = 0;
    for (auto& section : m_pageSections) {
        // A section whose first paragraph never came (a \sect at the very end) starts where the text ends.
        section.start = std::clamp(section.start, start, body.length());
        start = section.start;
    }
    m_pageSections.front().start = 0;
    for (auto& [index, target] : m_storyTargets) {
        Story& story = *m_stories[std::size_t(index)];
        if (target.section >= m_pageSections.size() || story.output.length() == 0)
            continue;
        auto text = std::make_shared<kit::TextStorage>(std::move(story.output));
        auto& stories = target.isHeader ? m_pageSections[target.section].headers : m_pageSections[target.section].footers;
        stories[std::size_t(target.kind)] = std::move(text);
    }
    setup->sections = std::move(m_pageSections);
    return setup;
}

} // namespace importer::rtf
