#include "kit/text/DocumentPages.h"

#include "kit/text/LayoutManager.h"
#include "kit/text/ParagraphEngine.h"
#include "kit/text/TextContainer.h"
#include "kit/text/TextStorage.h"

#include <algorithm>
#include <limits>
#include <tuple>

namespace kit {

namespace {

// Story layouts kept at once; a long document's pages show a few stories with many different numbers.
constexpr std::size_t kMaximumStoryLayouts = 64;
// Headers and footers grow downward from their band's edge without limit.
constexpr float kUnboundedHeight = 1e7f;
// The least body a page keeps between tall headers and footers.
constexpr float kMinimumBodyHeight = 72;

bool hasPageFields(const TextStorage& story)
{
    return std::any_of(story.runs().begin(), story.runs().end(),
        [](const AttributeRun& run) { return run.attributes->pageField != PageField::None; });
}

} // namespace

DocumentPages::DocumentPages(std::shared_ptr<const PageSetup> setup)
    : m_setup(setup ? std::move(setup) : std::make_shared<PageSetup>())
{
}

DocumentPages::~DocumentPages() = default;

void DocumentPages::paginate(LayoutManager& layout, const PageAdded& pageAdded)
{
    beginPagination(layout);
    while (!addPage(layout, pageAdded)) { }
}

void DocumentPages::beginPagination(LayoutManager& layout)
{
    m_pages.clear();
    m_storyLayouts.clear();
    layout.setPlacesNotes(true);
    m_bodyEnd = std::numeric_limits<std::size_t>::max();
    for (const Note& note : m_setup->notes)
        m_bodyEnd = std::min(m_bodyEnd, note.text.location);
    m_next = 0;
    m_emptyPages = 0;
    m_sectionPageCounts.assign(std::max<std::size_t>(m_setup->sections.size(), 1), 0);
}

bool DocumentPages::addPage(LayoutManager& layout, const PageAdded& pageAdded)
{
    static const PageSection kPrinterSection;
    std::size_t sectionIndex = m_setup->sectionIndexAt(m_next);
    const PageSection& section = sectionIndex < m_setup->sections.size() ? m_setup->sections[sectionIndex] : kPrinterSection;
    DocumentPage page;
    page.paperSize = section.paperSize;
    page.textRect = section.textRect();
    page.section = sectionIndex;
    const DocumentPage* previous = m_pages.empty() ? nullptr : &m_pages.back();
    page.ordinalInSection = previous && previous->section == sectionIndex ? previous->ordinalInSection + 1 : 1;
    if (page.ordinalInSection == 1 && section.pageNumberStart)
        page.number = *section.pageNumberStart;
    else
        page.number = previous ? previous->number + 1 : 1;
    page.textRect = bodyRect(page);
    m_pages.push_back(page);
    ++m_sectionPageCounts[std::min(page.section, m_sectionPageCounts.size() - 1)];

    auto container = std::make_unique<TextContainer>(page.textRect.size);
    container->setColumns(section.columnsAcross(page.textRect.width()));
    container->setVerticalAlignment(section.verticalAlignment);
    container->setPageRect({ -page.textRect.x(), -page.textRect.y(), page.paperSize.width, page.paperSize.height });
    TextContainer& added = *container;
    layout.addTextContainer(std::move(container));
    if (pageAdded)
        pageAdded(added, page);
    Range range = layout.glyphRangeForTextContainer(added);
    if (layout.textEndsInOrBeforeTextContainer(added))
        return true;
    pagePlaced(range);
    // Every page of an unfinished layout holds a line; the guard only keeps a fault there from adding pages
    // forever.
    return m_emptyPages > 2;
}

void DocumentPages::pagePlaced(Range glyphRange)
{
    m_emptyPages = glyphRange.length ? 0 : m_emptyPages + 1;
    if (glyphRange.end() <= m_bodyEnd)
        m_next = std::max(m_next, glyphRange.end());
}

void DocumentPages::adoptPage(const DocumentPage& page, Range glyphRange)
{
    m_pages.push_back(page);
    ++m_sectionPageCounts[std::min(page.section, m_sectionPageCounts.size() - 1)];
    pagePlaced(glyphRange);
}

HeaderFooterKind DocumentPages::kindFor(std::size_t page) const { return kindFor(m_pages[page]); }

HeaderFooterKind DocumentPages::kindFor(const DocumentPage& p) const
{
    bool titlePage = p.section < m_setup->sections.size() && m_setup->sections[p.section].titlePage;
    if (titlePage && p.ordinalInSection == 1)
        return HeaderFooterKind::First;
    if (m_setup->evenAndOddHeaders && p.number % 2 == 0)
        return HeaderFooterKind::Even;
    return HeaderFooterKind::Default;
}

std::shared_ptr<TextStorage> DocumentPages::headerFor(std::size_t page) const
{
    return page < m_pages.size() ? m_setup->header(m_pages[page].section, kindFor(page)) : nullptr;
}

std::shared_ptr<TextStorage> DocumentPages::footerFor(std::size_t page) const
{
    return page < m_pages.size() ? m_setup->footer(m_pages[page].section, kindFor(page)) : nullptr;
}

std::shared_ptr<TextStorage> DocumentPages::storyForPage(const std::shared_ptr<TextStorage>& story, std::size_t page) const
{
    if (!story || page >= m_pages.size() || !hasPageFields(*story))
        return story;
    const DocumentPage& p = m_pages[page];
    PageNumberFormat format = p.section < m_setup->sections.size() ? m_setup->sections[p.section].pageNumberFormat
                                                                   : PageNumberFormat::Decimal;
    auto result = std::make_shared<TextStorage>(story->substring({ 0, story->length() }));
    // Back to front, so that the offsets of the fields still to replace stay as they were.
    const auto& runs = story->runs();
    for (std::size_t i = runs.size(); i-- > 0;) {
        const Attributes& attributes = *runs[i].attributes;
        if (attributes.pageField == PageField::None)
            continue;
        std::size_t end = i + 1 < runs.size() ? runs[i + 1].location : story->length();
        std::string text;
        switch (attributes.pageField) {
        case PageField::Page:
            text = formatPageNumber(p.number, format);
            break;
        case PageField::NumPages:
            text = std::to_string(m_pages.size());
            break;
        case PageField::SectionPages:
            text = std::to_string(m_sectionPageCounts[std::min(p.section, m_sectionPageCounts.size() - 1)]);
            break;
        case PageField::None:
            break;
        }
        result->replaceCharacters({ runs[i].location, end - runs[i].location }, text, attributes);
    }
    return result;
}

LayoutManager& DocumentPages::storyLayout(const std::shared_ptr<TextStorage>& story, std::size_t page)
{
    std::shared_ptr<TextStorage> shown = storyForPage(story, page);
    return storyLayout(story, shown, shown == story ? std::string() : shown->string(), m_pages[page].textRect.width());
}

LayoutManager& DocumentPages::storyLayout(
    const std::shared_ptr<TextStorage>& story, const std::shared_ptr<TextStorage>& shown, std::string numbers, float width)
{
    StoryKey key { story.get(), std::move(numbers), width };
    auto it = m_storyLayouts.find(key);
    if (it != m_storyLayouts.end())
        return *it->second;
    if (m_storyLayouts.size() >= kMaximumStoryLayouts)
        m_storyLayouts.clear();
    auto layout = std::make_unique<LayoutManager>();
    layout->replaceTextStorage(shown);
    layout->addTextContainer(std::make_unique<TextContainer>(Size { width, kUnboundedHeight }));
    return *m_storyLayouts.emplace(key, std::move(layout)).first->second;
}

float DocumentPages::storyHeight(const std::shared_ptr<TextStorage>& story, std::size_t page)
{
    LayoutManager& layout = storyLayout(story, page);
    return layout.usedRectForTextContainer(*layout.textContainers().front()).height();
}

Rect DocumentPages::bodyRect(const DocumentPage& page)
{
    const PageSection* section = page.section < m_setup->sections.size() ? &m_setup->sections[page.section] : nullptr;
    Rect body = page.textRect;
    if (!section)
        return body;
    // The bands are measured with the stories' own field results (kept under no numbers, which no page's
    // fields give): the numbers are not known yet, and their digits hardly change a band's height.
    auto bandHeight = [&](const std::shared_ptr<TextStorage>& story) {
        if (!story)
            return 0.0f;
        LayoutManager& layout = storyLayout(story, story, std::string(), body.width());
        return layout.usedRectForTextContainer(*layout.textContainers().front()).height();
    };
    const PageMargins& margins = section->margins;
    float top = body.minY(), bottom = body.maxY();
    if (!margins.isTopExact)
        top = std::max(top, std::max(0.0f, margins.header) + bandHeight(m_setup->header(page.section, kindFor(page))));
    if (!margins.isBottomExact) {
        float band = bandHeight(m_setup->footer(page.section, kindFor(page)));
        bottom = std::min(bottom, page.paperSize.height - std::max(0.0f, margins.footer) - band);
    }
    // Bands that leave less than an inch between them keep the body an inch tall, running into the footer.
    float height = std::max(bottom - top, kMinimumBodyHeight);
    top = std::clamp(top, 0.0f, std::max(0.0f, page.paperSize.height - height));
    return { body.x(), top, body.width(), height };
}

Rect DocumentPages::headerRect(std::size_t page)
{
    auto story = headerFor(page);
    if (!story)
        return {};
    const DocumentPage& p = m_pages[page];
    float top = std::max(0.0f, m_setup->sections[p.section].margins.header);
    return { p.textRect.x(), top, p.textRect.width(), storyHeight(story, page) };
}

Rect DocumentPages::footerRect(std::size_t page)
{
    auto story = footerFor(page);
    if (!story)
        return {};
    const DocumentPage& p = m_pages[page];
    float height = storyHeight(story, page);
    float bottom = p.paperSize.height - std::max(0.0f, m_setup->sections[p.section].margins.footer);
    return { p.textRect.x(), std::max(0.0f, bottom - height), p.textRect.width(), height };
}

void DocumentPages::drawHeaderAndFooter(cairo_t* cr, std::size_t page, Point origin, Rect dirty)
{
    if (page >= m_pages.size())
        return;
    auto draw = [&](const std::shared_ptr<TextStorage>& story, Rect band) {
        if (!story || band.height() <= 0)
            return;
        LayoutManager& layout = storyLayout(story, page);
        Point at { origin.x + band.x(), origin.y + band.y() };
        layout.drawFloatsForContainer(cr, *layout.textContainers().front(), at, dirty);
        layout.drawGlyphsForContainer(cr, *layout.textContainers().front(), at, dirty);
    };
    draw(headerFor(page), headerRect(page));
    draw(footerFor(page), footerRect(page));
}

Color DocumentPages::paperColor(std::size_t page) const
{
    if (page >= m_pages.size() || m_pages[page].section >= m_setup->sections.size())
        return Color::whiteColor();
    return m_setup->sections[m_pages[page].section].pageColor.value_or(Color::whiteColor());
}

void DocumentPages::drawColumnRules(cairo_t* cr, std::size_t page, Point origin, const std::vector<ColumnBand>& bands) const
{
    if (page < m_pages.size())
        strokeColumnRules(cr, columnRules(page, origin, bands));
}

std::vector<std::pair<Point, Point>> DocumentPages::columnRules(
    std::size_t page, Point origin, const std::vector<ColumnBand>& bands) const
{
    std::vector<std::pair<Point, Point>> rules;
    if (page >= m_pages.size())
        return rules;
    const auto& sections = m_setup->sections;
    const Rect& text = m_pages[page].textRect;
    for (const ColumnBand& band : bands) {
        std::size_t index = band.section < sections.size() ? band.section : m_pages[page].section;
        const auto& columns = band.columns;
        float top = std::clamp(band.top, 0.0f, text.height()), bottom = std::clamp(band.bottom, 0.0f, text.height());
        if (index >= sections.size() || !sections[index].columnSeparator || columns.size() < 2 || bottom <= top)
            continue;
        for (std::size_t i = 1; i < columns.size(); ++i) {
            float x = origin.x + text.x() + (columns[i - 1].x + columns[i - 1].width + columns[i].x) / 2;
            rules.push_back({ { x, origin.y + text.y() + top }, { x, origin.y + text.y() + bottom } });
        }
    }
    return rules;
}

void DocumentPages::strokeColumnRules(cairo_t* cr, const std::vector<std::pair<Point, Point>>& rules)
{
    cairo_save(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 0.5);
    for (const auto& [from, to] : rules) {
        cairo_move_to(cr, from.x, from.y);
        cairo_line_to(cr, to.x, to.y);
    }
    cairo_stroke(cr);
    cairo_restore(cr);
}

Rect DocumentPages::pageBorderRect(std::size_t page) const
{
    if (page >= m_pages.size() || m_pages[page].section >= m_setup->sections.size())
        return {};
    const PageSection& section = m_setup->sections[m_pages[page].section];
    const PageBorders& borders = section.borders;
    if (borders.isEmpty())
        return {};
    auto half = [&](std::size_t side) {
        return borders.sides[side].style == LineStyle::None ? 0.0f : saneLength(borders.sides[side].width, 0, 100) / 2;
    };
    auto distance = [&](std::size_t side) { return saneLength(borders.distances[side], 0, 1000); };
    const Size& paper = m_pages[page].paperSize;
    Rect text = section.textRect();
    float top, left, bottom, right;
    if (borders.measuredFromText) {
        top = text.minY() - distance(0) - half(0);
        left = text.minX() - distance(1) - half(1);
        bottom = text.maxY() + distance(2) + half(2);
        right = text.maxX() + distance(3) + half(3);
    } else {
        top = distance(0) + half(0);
        left = distance(1) + half(1);
        bottom = paper.height - distance(2) - half(2);
        right = paper.width - distance(3) - half(3);
    }
    // The lines stay on the paper and out of the text area, however far the distances reach.
    top = std::clamp(top, half(0), std::max(half(0), text.minY()));
    left = std::clamp(left, half(1), std::max(half(1), text.minX()));
    bottom = std::clamp(bottom, std::min(text.maxY(), paper.height - half(2)), paper.height - half(2));
    right = std::clamp(right, std::min(text.maxX(), paper.width - half(3)), paper.width - half(3));
    return { left, top, right - left, bottom - top };
}

void DocumentPages::drawPageBorders(cairo_t* cr, std::size_t page, Point origin) const
{
    Rect rect = pageBorderRect(page);
    if (rect.isEmpty())
        return;
    cairo_save(cr);
    LayoutManager::drawBorders(cr, rect.offsetBy(origin.x, origin.y), m_setup->sections[m_pages[page].section].borders.sides);
    cairo_restore(cr);
}

} // namespace kit
