#include "import/revenge/TextCollector.h"

#include "import/common/Encoding.h"
#include "import/common/OutputBudget.h"
#include "import/package/ListNumbers.h"
#include "import/package/OdfBorder.h"
#include "import/package/OfficeImage.h"
#include "import/package/OfficeUnits.h"
#include "import/package/ScriptRuns.h"

#include <algorithm>
#include <cmath>
#include <string_view>
#include <utility>

namespace importer::revenge {

namespace {

using librevenge::RVNGPropertyList;

// Deeper tables, boxes and notes than any word processor writes are shown flat or not at all.
constexpr std::size_t kMaximumNesting = 16;
// Page spans past this many keep the last one's pages: the cap only bounds what hostile input costs.
constexpr std::size_t kMaximumSections = 10000;

// A property's text as valid UTF-8 (a damaged file's are not always) without control characters, at most
// maximumBytes long, cut at a character's start.
std::string stringProperty(const RVNGPropertyList& properties, const char* name, std::size_t maximumBytes = 4096)
{
    const librevenge::RVNGProperty* property = properties[name];
    if (!property)
        return {};
    librevenge::RVNGString value = property->getStr();
    if (!value.cstr())
        return {};
    std::string text
        = encoding::sanitizeUtf8({ reinterpret_cast<const std::uint8_t*>(value.cstr()), std::size_t(value.size()) });
    // Labels and marks are shown inline: control characters (line ends among them) have no place there.
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }),
        text.end());
    if (text.size() > maximumBytes) {
        std::size_t cut = maximumBytes;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
            --cut;
        text.resize(cut);
    }
    return text;
}

std::optional<int> intProperty(const RVNGPropertyList& properties, const char* name)
{
    const librevenge::RVNGProperty* property = properties[name];
    if (!property)
        return std::nullopt;
    double value = property->getDouble();
    if (!std::isfinite(value))
        return std::nullopt;
    return int(std::clamp(value, -1e6, 1e6));
}

// A length in points. librevenge stores inches unless the producer said otherwise.
std::optional<float> pointsProperty(const RVNGPropertyList& properties, const char* name)
{
    const librevenge::RVNGProperty* property = properties[name];
    if (!property)
        return std::nullopt;
    double value = property->getDouble();
    switch (property->getUnit()) {
    case librevenge::RVNG_INCH:
        value *= 72;
        break;
    case librevenge::RVNG_TWIP:
        value /= 20;
        break;
    case librevenge::RVNG_POINT:
    case librevenge::RVNG_GENERIC:
        break;
    default:
        return std::nullopt;
    }
    if (!std::isfinite(value))
        return std::nullopt;
    return float(std::clamp(value, -100000.0, 100000.0));
}

bool isPercent(const RVNGPropertyList& properties, const char* name)
{
    const librevenge::RVNGProperty* property = properties[name];
    return property && property->getUnit() == librevenge::RVNG_PERCENT;
}

kit::LineStyle lineStyle(const RVNGPropertyList& properties, const char* type, const char* style)
{
    std::string typeValue = stringProperty(properties, type);
    std::string styleValue = stringProperty(properties, style);
    if (typeValue == "none" || styleValue == "none" || (typeValue.empty() && styleValue.empty()))
        return kit::LineStyle::None;
    return typeValue == "double" ? kit::LineStyle::Double : kit::LineStyle::Single;
}

kit::Attributes spanAttributes(const RVNGPropertyList& properties)
{
    kit::Attributes attributes;
    if (std::string family = stringProperty(properties, "style:font-name"); !family.empty())
        attributes.fontFamily = family;
    attributes.fontFamilyEastAsian = stringProperty(properties, "style:font-name-asian");
    attributes.fontFamilyComplex = stringProperty(properties, "style:font-name-complex");
    if (!isPercent(properties, "fo:font-size")) {
        if (auto size = pointsProperty(properties, "fo:font-size"); size && *size >= 1)
            attributes.fontSize = std::min(*size, 1638.0f);
    }
    std::string weight = stringProperty(properties, "fo:font-weight");
    attributes.bold = weight == "bold" || std::atoi(weight.c_str()) >= 600;
    std::string style = stringProperty(properties, "fo:font-style");
    attributes.italic = style == "italic" || style == "oblique";
    attributes.underline = lineStyle(properties, "style:text-underline-type", "style:text-underline-style");
    attributes.strikethrough = lineStyle(properties, "style:text-line-through-type", "style:text-line-through-style");
    attributes.foreground = parseHexColor(stringProperty(properties, "fo:color"));
    attributes.background = parseHexColor(stringProperty(properties, "fo:background-color"));
    attributes.smallCaps = stringProperty(properties, "fo:font-variant") == "small-caps";
    attributes.allCaps = stringProperty(properties, "fo:text-transform") == "uppercase";
    // "super 58%", "sub 58%" or a percentage of the size, positive upwards.
    std::string position = stringProperty(properties, "style:text-position");
    if (position.rfind("super", 0) == 0)
        attributes.superscript = 1;
    else if (position.rfind("sub", 0) == 0)
        attributes.superscript = -1;
    else if (double shift = std::atof(position.c_str()); shift != 0)
        attributes.superscript = shift > 0 ? 1 : -1;
    return attributes;
}

kit::TextAlignment alignment(std::string_view value)
{
    if (value == "left" || value == "start")
        return kit::TextAlignment::Left;
    if (value == "center")
        return kit::TextAlignment::Center;
    if (value == "right" || value == "end")
        return kit::TextAlignment::Right;
    if (value == "justify" || value == "full")
        return kit::TextAlignment::Justified;
    return kit::TextAlignment::Natural;
}

std::vector<kit::TabStop> tabStops(const RVNGPropertyList& properties, float origin)
{
    std::vector<kit::TabStop> stops;
    const librevenge::RVNGPropertyListVector* list = properties.child("librevenge:tab-stops");
    if (!list)
        return stops;
    for (unsigned long i = 0; i < list->count() && stops.size() < 64; ++i) {
        const RVNGPropertyList& stop = (*list)[i];
        auto position = pointsProperty(stop, "style:position");
        if (!position || origin + *position < 0)
            continue;
        std::string type = stringProperty(stop, "style:type");
        kit::TabAlignment aligned = type == "center" ? kit::TabAlignment::Center
            : type == "right"                        ? kit::TabAlignment::Right
            : type == "char"                         ? kit::TabAlignment::Decimal
                                                     : kit::TabAlignment::Left;
        stops.push_back({ origin + *position, aligned });
    }
    std::sort(stops.begin(), stops.end(),
        [](const kit::TabStop& a, const kit::TabStop& b) { return a.location < b.location; });
    stops.erase(std::unique(stops.begin(), stops.end(),
                    [](const kit::TabStop& a, const kit::TabStop& b) { return a.location == b.location; }),
        stops.end());
    return stops;
}

// Word processors of the time wrote bullets in symbol fonts, in the private use area; the point is what
// they meant.
std::string bulletText(std::string bullet)
{
    if (bullet.empty())
        return "\xE2\x80\xA2";
    if (bullet.size() >= 3 && static_cast<unsigned char>(bullet[0]) == 0xEF
        && (static_cast<unsigned char>(bullet[1]) & 0xFC) == 0x80)
        return "\xE2\x80\xA2";
    return bullet;
}

std::vector<std::uint8_t> binaryData(const RVNGPropertyList& properties)
{
    const librevenge::RVNGProperty* property = properties["office:binary-data"];
    if (!property)
        return {};
    librevenge::RVNGBinaryData data(property->getStr());
    const unsigned char* buffer = data.getDataBuffer();
    if (!buffer)
        return {};
    return { buffer, buffer + data.size() };
}

} // namespace

TextCollector::TextCollector(std::size_t maximumLength)
    : m_out(std::make_shared<kit::TextStorage>())
    , m_maximumLength(maximumLength)
{
    m_targets.push_back({ m_out });
}

const kit::TableCell* TextCollector::openCell() const
{
    const auto& tables = m_targets.back().tables;
    return tables.empty() ? nullptr : tables.back().cell.get();
}

bool TextCollector::isBetweenCells() const
{
    const auto& tables = m_targets.back().tables;
    return !tables.empty() && !tables.back().cell;
}

kit::Attributes TextCollector::characterAttributes()
{
    kit::Attributes attributes = m_span;
    attributes.paragraph = target().paragraph;
    if (!target().tables.empty())
        attributes.tableCell = target().tables.back().cell;
    attributes.link = m_link;
    return attributes;
}

void TextCollector::appendRaw(std::string_view text, const kit::Attributes& attributes)
{
    if (m_truncated || text.empty())
        return;
    if (text.size() > m_maximumLength - m_length) {
        m_truncated = true;
        return;
    }
    m_length += text.size();
    // The import's budget counts what every reader of it made, attribute runs too.
    if (!OutputBudget::current().append(*target().storage, text, attributes))
        m_truncated = true;
}

void TextCollector::appendText(std::string_view text)
{
    if (isHidden() || isBetweenCells() || m_truncated)
        return;
    ensureParagraph();
    kit::Attributes attributes = characterAttributes();
    if (attributes.fontFamilyComplex.empty()) {
        appendRaw(text, attributes);
        return;
    }
    if (text.size() > m_maximumLength - m_length) {
        m_truncated = true;
        return;
    }
    m_length += text.size();
    if (!OutputBudget::current().charge(text.size())) {
        m_truncated = true;
        return;
    }
    kit::Attributes complex = attributes;
    complex.fontFamily = attributes.fontFamilyComplex;
    appendWithScripts(*target().storage, text, attributes, &complex);
}

void TextCollector::insertText(const librevenge::RVNGString& text)
{
    const char* bytes = text.cstr();
    if (!bytes)
        return;
    std::string valid
        = encoding::sanitizeUtf8({ reinterpret_cast<const std::uint8_t*>(bytes), std::size_t(text.size()) });
    std::string cleaned;
    cleaned.reserve(valid.size());
    for (char c : valid) {
        if (c == '\n' || c == '\r')
            cleaned += kit::kLineSeparator;
        else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
            cleaned += c;
    }
    appendText(cleaned);
}

void TextCollector::insertField(const RVNGPropertyList& properties)
{
    // The page number of a body text field is the first page's until pages are known.
    std::string type = stringProperty(properties, "librevenge:field-type");
    kit::PageField field = type == "text:page-number" ? kit::PageField::Page
        : type == "text:page-count"                   ? kit::PageField::NumPages
                                                      : kit::PageField::None;
    if (field == kit::PageField::None)
        return;
    // The pagination writes each page's own number over the first page's.
    m_span.pageField = field;
    appendText("1");
    m_span.pageField = kit::PageField::None;
}

void TextCollector::ensureParagraph()
{
    if (target().inParagraph)
        return;
    startParagraph(RVNGPropertyList(), nullptr);
    target().implicitParagraph = true;
}

void TextCollector::startParagraph(const RVNGPropertyList& properties, const ListLevel* list)
{
    if (isHidden() || isBetweenCells())
        return;
    Target& current = target();
    if (current.inParagraph)
        endParagraph('\n');

    kit::ParagraphStyle style;
    style.alignment = alignment(stringProperty(properties, "fo:text-align"));
    float left = pointsProperty(properties, "fo:margin-left").value_or(list ? list->labelIndent + list->labelWidth : 0);
    float indent = pointsProperty(properties, "fo:text-indent").value_or(list ? -list->labelWidth : 0);
    style.headIndent = std::max(0.0f, left);
    style.firstLineHeadIndent = std::max(0.0f, left + indent);
    style.tailIndent = std::max(0.0f, pointsProperty(properties, "fo:margin-right").value_or(0));
    style.spacingBefore = std::clamp(pointsProperty(properties, "fo:margin-top").value_or(0), 0.0f, 1000.0f);
    style.spacingAfter = std::clamp(pointsProperty(properties, "fo:margin-bottom").value_or(0), 0.0f, 1000.0f);
    if (const auto* height = properties["fo:line-height"]) {
        if (height->getUnit() == librevenge::RVNG_PERCENT) {
            double multiple = height->getDouble();
            if (std::isfinite(multiple) && multiple > 0)
                style.lineSpacing = float(std::clamp(multiple, 0.5, 10.0));
        } else if (auto exact = pointsProperty(properties, "fo:line-height"); exact && *exact > 0) {
            style.lineSpacingRule = kit::LineSpacingRule::Exact;
            style.lineSpacing = std::min(*exact, 1000.0f);
        }
    } else if (auto least = pointsProperty(properties, "style:line-height-at-least"); least && *least > 0) {
        style.lineSpacingRule = kit::LineSpacingRule::AtLeast;
        style.lineSpacing = std::min(*least, 1000.0f);
    }
    style.tabStops = tabStops(properties, style.headIndent);
    // The first body paragraph of a later page span starts its page.
    bool startsSpan = m_pageSpanBreak && m_targets.size() == 1;
    if (startsSpan)
        m_pageSpanBreak = false;
    style.pageBreakBefore
        = (startsSpan || stringProperty(properties, "fo:break-before") == "page") && current.tables.empty();
    style.keepWithNext = stringProperty(properties, "fo:keep-with-next") == "always";
    if (stringProperty(properties, "style:writing-mode").rfind("rl", 0) == 0)
        style.baseDirection = kit::WritingDirection::RightToLeft;
    style.outlineLevel = std::uint8_t(std::clamp(intProperty(properties, "text:outline-level").value_or(0), 0, 9));
    if (list)
        addLabelTabStop(style);

    current.paragraph = style == kit::ParagraphStyle {} ? nullptr : m_paragraphStyles.intern(style);
    current.inParagraph = true;
    current.implicitParagraph = false;

    if (!current.pendingCitation.empty()) {
        kit::Attributes mark = characterAttributes();
        mark.link.clear();
        mark.superscript = 1;
        appendRaw(current.pendingCitation, mark);
        mark.superscript = 0;
        appendRaw(" ", mark);
        current.pendingCitation.clear();
    }
}

void TextCollector::endParagraph(char terminator)
{
    Target& current = target();
    if (!current.inParagraph)
        return;
    kit::Attributes attributes = characterAttributes();
    attributes.link.clear();
    appendRaw(std::string_view(&terminator, 1), attributes);
    current.inParagraph = false;
    current.implicitParagraph = false;
    flushBoxes();
}

void TextCollector::flushBoxes()
{
    Target& current = target();
    // Past the limit nothing more is shown: a box would follow a paragraph cut short.
    if (m_truncated)
        current.pendingBoxes.clear();
    if (current.pendingBoxes.empty())
        return;
    auto boxes = std::move(current.pendingBoxes);
    current.pendingBoxes.clear();
    std::shared_ptr<const kit::TableCell> cell = current.tables.empty() ? nullptr : current.tables.back().cell;
    for (const auto& box : boxes) {
        std::size_t start = current.storage->length();
        current.storage->append(*box);
        // Inside a cell, the box's paragraphs belong to that cell, or they would break the table in two.
        if (cell && current.storage->length() > start) {
            current.storage->modifyAttributes({ start, current.storage->length() - start },
                [&](kit::Attributes& attributes) { attributes.tableCell = cell; });
        }
    }
}

void TextCollector::closeParagraph()
{
    if (isHidden())
        return;
    endParagraph('\n');
}

void TextCollector::openParagraph(const RVNGPropertyList& properties) { startParagraph(properties, nullptr); }

void TextCollector::openSpan(const RVNGPropertyList& properties)
{
    if (isHidden())
        return;
    m_span = spanAttributes(properties);
}

void TextCollector::closeSpan()
{
    if (isHidden())
        return;
    m_span = {};
}

void TextCollector::openLink(const RVNGPropertyList& properties)
{
    if (isHidden())
        return;
    m_link = stringProperty(properties, "xlink:href");
}

void TextCollector::openPageSpan(const RVNGPropertyList& properties)
{
    float width = pointsProperty(properties, "fo:page-width").value_or(612);
    float height = pointsProperty(properties, "fo:page-height").value_or(792);
    float horizontal = pointsProperty(properties, "fo:margin-left").value_or(72)
        + pointsProperty(properties, "fo:margin-right").value_or(72);
    float vertical = pointsProperty(properties, "fo:margin-top").value_or(72)
        + pointsProperty(properties, "fo:margin-bottom").value_or(72);
    if (width - horizontal >= 36 && height - vertical >= 36)
        m_textArea = { width - horizontal, height - vertical };
    // A page span inside a note or a header is out of order: it cannot start pages.
    if (m_targets.size() > 1 || m_sections.size() >= kMaximumSections)
        return;
    kit::PageSection section;
    section.start = m_out->length();
    section.paperSize = { std::clamp(width, 72.0f, 31680.0f / 20), std::clamp(height, 72.0f, 31680.0f / 20) };
    auto margin = [&](const char* name) {
        return std::clamp(pointsProperty(properties, name).value_or(72), 0.0f, 1000.0f);
    };
    section.margins.left = margin("fo:margin-left");
    section.margins.right = margin("fo:margin-right");
    section.margins.top = margin("fo:margin-top");
    section.margins.bottom = margin("fo:margin-bottom");
    // The libraries give the page's margins; its header and footer stand halfway into them.
    section.margins.header = section.margins.top / 2;
    section.margins.footer = section.margins.bottom / 2;
    // A span that starts where the last one did replaces it: nothing was written on its pages.
    if (!m_sections.empty() && m_sections.back().start == section.start)
        m_sections.pop_back();
    // Every page span starts on a page of its own.
    m_pageSpanBreak = section.start > 0;
    m_sections.push_back(std::move(section));
}

kit::PageSection& TextCollector::currentSection()
{
    if (m_sections.empty())
        m_sections.emplace_back();
    return m_sections.back();
}

void TextCollector::openStory(const RVNGPropertyList& properties, bool isHeader)
{
    OpenStory story;
    story.isHeader = isHeader;
    std::string occurrence = stringProperty(properties, "librevenge:occurrence");
    // The last page's header has no place in the model; odd pages take the default one.
    story.isHidden = isHidden() || m_targets.size() > 1 || occurrence == "last";
    if (occurrence == "even")
        story.kind = kit::HeaderFooterKind::Even;
    else if (occurrence == "first")
        story.kind = kit::HeaderFooterKind::First;
    m_stories.push_back(story);
    if (story.isHidden) {
        ++m_hiddenDepth;
        return;
    }
    pushTarget(false);
    target().isStory = true;
}

void TextCollector::closeStory()
{
    if (m_stories.empty())
        return;
    OpenStory story = m_stories.back();
    m_stories.pop_back();
    if (story.isHidden) {
        closeHidden();
        return;
    }
    // Notes and boxes the library left open inside the story end with it.
    while (m_targets.size() > 1 && !target().isStory)
        finishTarget();
    if (m_targets.size() < 2)
        return;
    std::shared_ptr<kit::TextStorage> storage = popTarget();
    kit::PageSection& section = currentSection();
    auto& stories = story.isHeader ? section.headers : section.footers;
    stories[std::size_t(story.kind)] = std::move(storage);
    if (story.kind == kit::HeaderFooterKind::First)
        section.titlePage = true;
    if (story.kind == kit::HeaderFooterKind::Even)
        m_evenAndOddHeaders = true;
}

TextCollector::ListLevel TextCollector::listLevel(const RVNGPropertyList& properties)
{
    ListLevel level;
    level.labelIndent = std::clamp(pointsProperty(properties, "text:space-before").value_or(0), 0.0f, 1000.0f);
    level.labelWidth = std::clamp(pointsProperty(properties, "text:min-label-width").value_or(18), 0.0f, 1000.0f);
    return level;
}

void TextCollector::openOrderedListLevel(const RVNGPropertyList& properties)
{
    if (isHidden())
        return;
    ListLevel level = listLevel(properties);
    level.ordered = true;
    level.numberFormat = odfNumberFormat(stringProperty(properties, "style:num-format"));
    level.prefix = stringProperty(properties, "style:num-prefix", 16);
    level.suffix = stringProperty(properties, "style:num-suffix", 16);
    level.next = std::clamp(intProperty(properties, "text:start-value").value_or(1), 0, 1000000);
    if (target().lists.size() < kMaximumNesting)
        target().lists.push_back(level);
}

void TextCollector::openUnorderedListLevel(const RVNGPropertyList& properties)
{
    if (isHidden())
        return;
    ListLevel level = listLevel(properties);
    level.bullet = bulletText(stringProperty(properties, "text:bullet-char", 16));
    if (target().lists.size() < kMaximumNesting)
        target().lists.push_back(level);
}

void TextCollector::closeListLevel()
{
    if (isHidden())
        return;
    if (!target().lists.empty())
        target().lists.pop_back();
}

void TextCollector::openListElement(const RVNGPropertyList& properties)
{
    if (isHidden() || isBetweenCells())
        return;
    if (target().lists.empty()) {
        startParagraph(properties, nullptr);
        return;
    }
    ListLevel& level = target().lists.back();
    startParagraph(properties, &level);
    std::string label
        = level.ordered ? level.prefix + formatListNumber(level.next, level.numberFormat) + level.suffix : level.bullet;
    if (level.ordered && level.next < 1000000)
        ++level.next;
    kit::Attributes attributes = characterAttributes();
    attributes.link.clear();
    attributes.listLabel = true;
    appendRaw(label + '\t', attributes);
}

void TextCollector::endCell(Table& table)
{
    endParagraph('\n');
    // The text model tells cells apart by their last paragraph break: whatever ended the cell's last
    // paragraph (a box after it, a nested table, nothing at all), the cell ends in a break of its own. Its
    // runs also keep it alive for the cells nested in it, which point to it.
    const kit::TextStorage& storage = *target().storage;
    if (storage.length() && storage.string().back() == '\n'
        && storage.attributesAt(storage.length() - 1).tableCell == table.cell) {
        table.cell = nullptr;
        return;
    }
    kit::Attributes attributes;
    attributes.tableCell = table.cell;
    appendRaw("\n", attributes);
    table.cell = nullptr;
}

void TextCollector::endTables()
{
    endParagraph('\n');
    auto& tables = target().tables;
    while (!tables.empty()) {
        if (tables.back().cell)
            endCell(tables.back());
        tables.pop_back();
    }
}

void TextCollector::finishTarget()
{
    bool isNote = target().isNote;
    bool isStory = target().isStory;
    std::shared_ptr<kit::TextStorage> storage = popTarget();
    // A header or footer ended out of order is not shown anywhere.
    if (!storage->length() || isStory)
        return;
    if (isNote) {
        m_notes.push_back(storage);
        return;
    }
    target().pendingBoxes.push_back(storage);
    if (!target().inParagraph)
        flushBoxes();
}

void TextCollector::pushTarget(bool isNote)
{
    // A note or a box is a document of its own: the span and link around it do not reach into it.
    Target inner { std::make_shared<kit::TextStorage>() };
    inner.isNote = isNote;
    inner.outerSpan = std::exchange(m_span, {});
    inner.outerLink = std::exchange(m_link, {});
    m_targets.push_back(std::move(inner));
}

std::shared_ptr<kit::TextStorage> TextCollector::popTarget()
{
    endTables();
    std::shared_ptr<kit::TextStorage> storage = target().storage;
    if (m_targets.size() > 1) {
        m_span = std::move(target().outerSpan);
        m_link = std::move(target().outerLink);
        m_targets.pop_back();
    }
    return storage;
}

void TextCollector::openNote(const RVNGPropertyList& properties, int& counter)
{
    ++counter;
    bool hidden = isHidden() || isBetweenCells() || m_targets.size() >= kMaximumNesting;
    m_noteIsHidden.push_back(hidden);
    if (hidden) {
        ++m_hiddenDepth;
        return;
    }
    std::string citation = stringProperty(properties, "librevenge:number", 16);
    if (citation.empty())
        citation = std::to_string(counter);
    ensureParagraph();
    kit::Attributes mark = characterAttributes();
    mark.superscript = 1;
    appendRaw(citation, mark);
    pushTarget(true);
    target().pendingCitation = citation;
}

void TextCollector::closeSubDocument(std::vector<bool>& isHiddenStack)
{
    if (isHiddenStack.empty())
        return;
    bool hidden = isHiddenStack.back();
    isHiddenStack.pop_back();
    if (hidden) {
        closeHidden();
        return;
    }
    if (m_targets.size() > 1)
        finishTarget();
}

void TextCollector::openFootnote(const RVNGPropertyList& properties) { openNote(properties, m_footnoteCount); }

void TextCollector::openEndnote(const RVNGPropertyList& properties) { openNote(properties, m_endnoteCount); }

void TextCollector::openTextBox(const RVNGPropertyList&)
{
    bool hidden = isHidden() || isBetweenCells() || m_targets.size() >= kMaximumNesting;
    m_boxIsHidden.push_back(hidden);
    if (hidden) {
        ++m_hiddenDepth;
        return;
    }
    pushTarget(false);
}

void TextCollector::openTable(const RVNGPropertyList& properties)
{
    if (isHidden())
        return;
    Target& current = target();
    if (isBetweenCells() || current.tables.size() >= kMaximumNesting) {
        // A table where none can stand keeps nothing of itself; the matching close ends the hiding.
        ++m_hiddenDepth;
        current.tables.push_back({ -1 });
        return;
    }
    endParagraph('\n');
    Table table;
    table.id = ++m_tableCount;
    if (const auto* columns = properties.child("librevenge:table-columns")) {
        for (unsigned long i = 0; i < columns->count() && i < 1000; ++i)
            table.columnWidths.push_back(
                std::clamp(pointsProperty((*columns)[i], "style:column-width").value_or(72), 1.0f, 10000.0f));
    }
    current.tables.push_back(std::move(table));
}

// A table that could not stand where it was opened (id < 0) takes no rows or cells, whatever the
// callbacks around it did to the hiding.
void TextCollector::openTableRow(const RVNGPropertyList& properties)
{
    if (isHidden() || target().tables.empty() || target().tables.back().id < 0)
        return;
    Table& table = target().tables.back();
    if (table.cell)
        closeTableCell();
    ++table.row;
    table.column = 0;
    const auto* header = properties["librevenge:is-header-row"];
    table.isHeaderRow = header && header->getInt() != 0;
}

void TextCollector::openTableCell(const RVNGPropertyList& properties)
{
    if (isHidden() || target().tables.empty() || target().tables.back().id < 0)
        return;
    if (target().tables.back().cell)
        closeTableCell();
    auto& tables = target().tables;
    Table& table = tables.back();
    table.row = std::max(table.row, 0);
    auto cell = std::make_shared<kit::TableCell>();
    cell->tableId = table.id;
    cell->row = std::clamp(intProperty(properties, "librevenge:row").value_or(table.row), 0, 1000000);
    cell->column = std::clamp(intProperty(properties, "librevenge:column").value_or(table.column), 0, 1000);
    cell->rowSpan = std::clamp(intProperty(properties, "table:number-rows-spanned").value_or(1), 1, 100000);
    cell->columnSpan = std::clamp(intProperty(properties, "table:number-columns-spanned").value_or(1), 1, 1000);
    cell->nestingLevel = int(tables.size());
    auto border = [&](const char* name) {
        return parseOdfBorder(stringProperty(properties, name)).value_or(kit::Border {});
    };
    cell->borders = { border("fo:border-top"), border("fo:border-left"), border("fo:border-bottom"),
        border("fo:border-right") };
    if (std::string all = stringProperty(properties, "fo:border"); !all.empty())
        cell->borders.fill(border("fo:border"));
    cell->shading = parseHexColor(stringProperty(properties, "fo:background-color"));
    cell->columnWidths = table.columnWidths;
    cell->isHeaderRow = table.isHeaderRow;
    if (tables.size() > 1)
        cell->parent = tables[tables.size() - 2].cell.get();
    table.column = cell->column + cell->columnSpan;
    table.cell = std::move(cell);
}

void TextCollector::closeTableCell()
{
    if (isHidden() || target().tables.empty() || !target().tables.back().cell)
        return;
    endCell(target().tables.back());
}

void TextCollector::closeTable()
{
    auto& tables = target().tables;
    if (tables.empty())
        return;
    if (tables.back().id < 0) {
        tables.pop_back();
        closeHidden();
        return;
    }
    if (isHidden())
        return;
    if (tables.back().cell)
        closeTableCell();
    tables.pop_back();
}

void TextCollector::openFrame(const RVNGPropertyList& properties)
{
    if (isHidden())
        return;
    auto width = pointsProperty(properties, "svg:width");
    auto height = pointsProperty(properties, "svg:height");
    if (width && height && *width > 0 && *height > 0)
        m_frameSize = kit::Size { *width, *height };
    else
        m_frameSize.reset();
}

void TextCollector::closeFrame()
{
    if (isHidden())
        return;
    m_frameSize.reset();
}

void TextCollector::insertBinaryObject(const RVNGPropertyList& properties)
{
    if (isHidden() || isBetweenCells() || m_truncated)
        return;
    std::vector<std::uint8_t> bytes = binaryData(properties);
    // A metafile often comes with a picture of itself that can be drawn.
    if (sniffImageType(bytes).empty()) {
        if (const auto* replacements = properties.child("librevenge:replacement-objects")) {
            for (unsigned long i = 0; i < replacements->count(); ++i) {
                std::vector<std::uint8_t> replacement = binaryData((*replacements)[i]);
                if (!sniffImageType(replacement).empty()) {
                    bytes = std::move(replacement);
                    break;
                }
            }
        }
    }
    if (bytes.size() > m_maximumLength - m_length) {
        m_truncated = true;
        return;
    }
    m_length += bytes.size();
    std::string alternative = stringProperty(properties, "librevenge:replacement-text", 1000);
    kit::Size size = m_frameSize.value_or(kit::Size {});
    std::shared_ptr<const kit::Attachment> attachment;
    if (!sniffImageType(bytes).empty())
        attachment = makeImageAttachment(std::string(bytes.begin(), bytes.end()), size, alternative, m_textArea);
    else
        attachment = makePlaceholderAttachment(size.width > 0 ? size : kit::Size { 72, 72 }, alternative, m_textArea);
    ensureParagraph();
    kit::Attributes attributes = characterAttributes();
    attributes.attachment = std::move(attachment);
    appendRaw(kit::kAttachmentCharacter, attributes);
}

void TextCollector::endDocument()
{
    // Notes and boxes left open end here, as if closed.
    m_hiddenDepth = 0;
    m_noteIsHidden.clear();
    m_boxIsHidden.clear();
    m_stories.clear();
    m_openComments = 0;
    while (m_targets.size() > 1)
        finishTarget();
    endParagraph('\n');
    endTables();
    // Note bodies were counted against the limit as they were read.
    for (const auto& note : m_notes) {
        if (!m_truncated)
            m_out->append(*note);
    }
    m_notes.clear();
    // Text cut at the limit ends its last paragraph (and cell) all the same.
    if (m_out->length() && m_out->string().back() != '\n') {
        kit::Attributes last = m_out->attributesAt(m_out->length() - 1);
        last.attachment = nullptr;
        last.link.clear();
        m_out->append("\n", last);
    }
    if (!m_sections.empty()) {
        auto setup = std::make_shared<kit::PageSetup>();
        setup->sections = std::move(m_sections);
        setup->evenAndOddHeaders = m_evenAndOddHeaders;
        // Sections start within the text, the first at its beginning.
        setup->sections.front().start = 0;
        for (auto& section : setup->sections)
            section.start = std::min(section.start, m_out->length());
        m_out->setPageSetup(std::move(setup));
        m_sections.clear();
    }
}

} // namespace importer::revenge
