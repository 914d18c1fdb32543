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

bool RtfReader::pageSetupWord(const ControlWord& word)
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
    bool hasParameter = word.hasParameter;
    int parameter = word.parameter;
    float length = hasParameter ? points(parameter, 0) : 0;
    // The lengths by the detail of their words' rows: a document word sets one for the document, a section
    // word for its section alone; the header and footer distances use one word for both, the document's
    // before the first \sect.
    using Setter = void (*)(kit::PageSection&, float);
    static constexpr Setter kLengths[] = {
        [](kit::PageSection& s, float v) { s.paperSize.width = std::max(v, 72.0f); },
        [](kit::PageSection& s, float v) { s.paperSize.height = std::max(v, 72.0f); },
        [](kit::PageSection& s, float v) { s.margins.left = v; },
        [](kit::PageSection& s, float v) { s.margins.right = v; },
        [](kit::PageSection& s, float v) { s.margins.top = v; },
        [](kit::PageSection& s, float v) { s.margins.bottom = v; },
        [](kit::PageSection& s, float v) { s.margins.gutter = v; },
        [](kit::PageSection& s, float v) { s.margins.header = v; },
        [](kit::PageSection& s, float v) { s.margins.footer = v; },
    };
    auto setLength = [&](kit::PageSection& s) { kLengths[std::size_t(word.detail)](s, length); };
    auto turn = [](kit::PageSection& s) {
        if (s.paperSize.width < s.paperSize.height)
            std::swap(s.paperSize.width, s.paperSize.height);
    };
    switch (word.keyword) {
    case Keyword::SectionDefaults: {
        // Back to the document's setup; the reader's other section state (\sbk...) is reset elsewhere.
        std::size_t start = section.start;
        section = m_documentSection;
        section.start = start;
        return false;
    }
    case Keyword::DocumentLength:
    case Keyword::SectionLength:
    case Keyword::HeaderFooterDistance:
        if (!hasParameter)
            return false;
        if (word.keyword == Keyword::DocumentLength
            || (word.keyword == Keyword::HeaderFooterDistance && m_pageSections.size() == 1))
            both(setLength);
        else
            own(setLength);
        return true;
    case Keyword::PageNumberFormat:
        own([&](kit::PageSection& s) { s.pageNumberFormat = kit::PageNumberFormat(word.detail); });
        return true;
    case Keyword::Landscape:
        both(turn);
        return true;
    case Keyword::SectionLandscape:
        own(turn);
        return true;
    case Keyword::FacingPages:
        m_facingPages = true;
        return true;
    case Keyword::TitlePage:
        own([&](kit::PageSection& s) { s.titlePage = true; });
        return true;
    case Keyword::PageNumberStart:
        if (!hasParameter)
            return false;
        own([&](kit::PageSection& s) { s.pageNumberStart = std::clamp(parameter, -1000000, 1000000); });
        return true;
    case Keyword::Columns:
        if (!hasParameter)
            return false;
        own([&](kit::PageSection& s) { s.columnCount = std::clamp(parameter, 1, 16); });
        return true;
    case Keyword::ColumnSpacing:
        if (!hasParameter)
            return false;
        own([&](kit::PageSection& s) { s.columnSpacing = std::min(length, 720.0f); });
        return true;
    case Keyword::PageBorder:
        m_borderSide = BorderSide::Page;
        m_borderIndex = word.detail;
        m_pageBorder = {};
        return true;
    case Keyword::PageBorderOptions:
        own([&](kit::PageSection& s) { s.borders.measuredFromText = hasParameter && (parameter & 32); });
        return true;
    case Keyword::VerticalAlignment:
        own([&](kit::PageSection& s) { s.verticalAlignment = kit::VerticalAlignment(word.detail); });
        return true;
    case Keyword::ColumnNumber:
        if (!hasParameter)
            return false;
        m_columnNumber = std::size_t(std::clamp(parameter, 1, 16) - 1);
        return true;
    case Keyword::ColumnLength:
        if (!hasParameter)
            return false;
        // Columns of their own widths: each \colno names one, in turn; the count is \cols.
        own([&](kit::PageSection& s) {
            if (s.unequalColumns.size() <= m_columnNumber)
                s.unequalColumns.resize(m_columnNumber + 1);
            kit::SectionColumn& column = s.unequalColumns[m_columnNumber];
            (word.detail == 0 ? column.width : column.spaceAfter) = std::min(length, kMaximumPaperSide);
        });
        return true;
    case Keyword::ColumnSeparator:
        own([&](kit::PageSection& s) { s.columnSeparator = !hasParameter || parameter != 0; });
        return true;
    case Keyword::PageNumberRestart:
        own([&](kit::PageSection& s) { s.pageNumberStart = s.pageNumberStart.value_or(1); });
        return true;
    default:
        return false;
    }
}

void RtfReader::pageBorderWord(const ControlWord& word)
{
    std::size_t side = std::size_t(std::clamp(m_borderIndex, 0, 3));
    kit::PageBorders& borders = m_pageSections.back().borders;
    // The page border's \brsp is in points, as Word keeps it.
    if (word.keyword == Keyword::BorderSpacing && word.hasParameter)
        borders.distances[side] = float(std::clamp(word.parameter, 0, 1000));
    else if (m_pageBorder.isSet)
        borders.sides[side] = m_pageBorder.border;
    m_hasPageSetup = true;
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

bool RtfReader::beginHeaderFooter(bool isHeader, kit::HeaderFooterKind kind)
{
    GroupState& current = state();
    if (current.story != 0 || current.destination != Destination::Body
        || m_storyTargets.size() >= kMaximumHeaderFooterStories)
        return false;
    StoryTarget target;
    target.section = m_pageSections.size() - 1;
    target.isHeader = isHeader;
    target.kind = kind;
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
        // Widths for the \cols columns, each of them given one; else the columns are of one width.
        auto& columns = section.unequalColumns;
        bool complete = section.columnCount > 1 && columns.size() >= std::size_t(section.columnCount);
        columns.resize(complete ? std::size_t(section.columnCount) : 0);
        if (std::any_of(columns.begin(), columns.end(), [](const kit::SectionColumn& c) { return c.width <= 0; }))
            columns.clear();
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
