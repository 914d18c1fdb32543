#include "import/odt/OdtReader.h"

#include "import/odt/OdtFrames.h"
#include "import/odt/OdtTableLayout.h"

#include "import/common/Encoding.h"
#include "import/common/FloatingObject.h"
#include "import/common/OutputBudget.h"
#include "import/package/ListNumbers.h"
#include "import/package/OfficeImage.h"
#include "import/package/OfficeUnits.h"
#include "import/package/ScriptRuns.h"
#include "kit/foundation/Base64.h"

#include <algorithm>
#include <utility>
#include <cstring>

namespace importer::odt {

namespace {

// Tables may repeat rows and cells by the million; no document reads more cells than this.
constexpr std::size_t kMaxCells = 100000;

bool isWhiteSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

bool isShape(std::string_view name)
{
    return name == "draw:custom-shape" || name == "draw:rect" || name == "draw:ellipse" || name == "draw:circle"
        || name == "draw:line" || name == "draw:polyline" || name == "draw:polygon" || name == "draw:path"
        || name == "draw:connector" || name == "draw:caption" || name == "draw:measure" || name == "draw:regular-polygon";
}

bool isDrawing(std::string_view name)
{
    return name == "draw:frame" || name == "draw:a" || name == "draw:g" || isShape(name);
}

// The text of an element's descendants, for titles and citations.
std::string textContent(pugi::xml_node node, int depth = 0)
{
    std::string out;
    if (depth > 16)
        return out;
    for (auto child : node.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            out += child.value();
        else if (child.type() == pugi::node_element)
            out += textContent(child, depth + 1);
    }
    return out;
}

bool hasTextContent(pugi::xml_node shape)
{
    return shape.child("text:p") || shape.child("text:h") || shape.child("text:list");
}

} // namespace

OdtReader::OdtReader(ZipArchive& archive, XmlPart content, std::optional<XmlPart> styles, bool stylesInContent)
    : m_content(std::move(content))
    , m_stylesPart(std::move(styles))
    , m_hasStyles(stylesInContent || m_stylesPart)
    , m_styles(stylesInContent ? m_content.root() : m_stylesPart ? m_stylesPart->root() : pugi::xml_node(),
          m_content.root())
    , m_images(archive)
    , m_out(std::make_shared<kit::TextStorage>())
{
}

ImportResult OdtReader::read()
{
    pugi::xml_node text = m_content.root().child("office:body").child("office:text");
    beginSection({});
    m_body = m_out;
    readBlocks(text, 0);
    std::shared_ptr<kit::PageSetup> setup;
    if (m_hasStyles) {
        setup = std::make_shared<kit::PageSetup>();
        setup->sections = std::move(m_sections);
    }
    std::vector<kit::Note> notes = readNotes();
    if (setup) {
        setup->notes = std::move(notes);
        std::sort(m_frames.begin(), m_frames.end(),
            [](const kit::TextFrame& a, const kit::TextFrame& b) { return a.text.location < b.text.location; });
        setup->frames = std::move(m_frames);
    }
    applyAnchors(*m_out, m_anchors);
    m_out->setPageSetup(std::move(setup));
    return { m_out, "odt", {} };
}

void OdtReader::beginSection(std::string_view masterName)
{
    // Sections past this many keep the last one's pages: the cap only bounds what hostile files cost.
    constexpr std::size_t kMaxSections = 10000;
    if (m_sections.size() >= kMaxSections || !m_hasStyles)
        return;
    pugi::xml_node master = m_styles.masterPage(masterName);
    kit::PageSection section = m_styles.pageSection(master);
    section.start = m_out->length();
    // The first paragraph's own master page replaces the default one the text opened with.
    if (!m_sections.empty() && m_sections.back().start == section.start)
        m_sections.pop_back();
    auto story = [&](const char* element) {
        pugi::xml_node node = master.child(element);
        return node && std::string_view(node.attribute("style:display").value()) != "false" ? readStory(node) : nullptr;
    };
    section.headers[std::size_t(kit::HeaderFooterKind::Default)] = story("style:header");
    section.headers[std::size_t(kit::HeaderFooterKind::First)] = story("style:header-first");
    section.headers[std::size_t(kit::HeaderFooterKind::Even)] = story("style:header-left");
    section.footers[std::size_t(kit::HeaderFooterKind::Default)] = story("style:footer");
    section.footers[std::size_t(kit::HeaderFooterKind::First)] = story("style:footer-first");
    section.footers[std::size_t(kit::HeaderFooterKind::Even)] = story("style:footer-left");
    // A master page's headers are its own: absent ones are not taken from the previous master page.
    auto& defaultHeader = section.headers[std::size_t(kit::HeaderFooterKind::Default)];
    auto& defaultFooter = section.footers[std::size_t(kit::HeaderFooterKind::Default)];
    if (!defaultHeader)
        defaultHeader = std::make_shared<kit::TextStorage>();
    if (!defaultFooter)
        defaultFooter = std::make_shared<kit::TextStorage>();
    section.titlePage = section.headers[std::size_t(kit::HeaderFooterKind::First)] || section.footers[std::size_t(kit::HeaderFooterKind::First)];
    m_sections.push_back(std::move(section));
}

std::shared_ptr<kit::TextStorage> OdtReader::readStory(pugi::xml_node node)
{
    if (auto it = m_stories.find(node.internal_object()); it != m_stories.end())
        return it->second;
    auto story = std::make_shared<kit::TextStorage>();
    std::swap(m_out, story);
    const CellContext* cell = std::exchange(m_cell, nullptr);
    bool first = std::exchange(m_isFirstParagraph, true);
    auto lists = std::exchange(m_lists, {});
    auto anchors = std::exchange(m_anchors, {});
    readBlocks(node, 1);
    applyAnchors(*m_out, m_anchors);
    m_anchors = std::move(anchors);
    m_lists = std::move(lists);
    m_isFirstParagraph = first;
    m_cell = cell;
    std::swap(m_out, story);
    m_stories[node.internal_object()] = story;
    return story;
}

float OdtReader::availableWidth() const
{
    return m_cell ? m_cell->contentWidth : m_styles.page().textWidth;
}

kit::Size OdtReader::pictureLimit() const
{
    return { availableWidth(), m_styles.page().textHeight };
}

kit::Attributes OdtReader::attributesFor(const TextProperties& text, bool complex) const
{
    kit::Attributes attributes;
    attributes.paragraph = m_paragraphStyle;
    if (m_cell)
        attributes.tableCell = m_cell->cell;
    attributes.link = m_link;
    attributes.pageField = m_pageField;
    text.apply(attributes, complex);
    return attributes;
}

void OdtReader::appendText(std::string_view text, const TextProperties& properties)
{
    if (text.empty() || properties.hidden.value_or(false))
        return;
    kit::Attributes regular = attributesFor(properties, false);
    kit::Attributes complex = attributesFor(properties, true);
    appendWithScripts(*m_out, encoding::cleanMarkupText(text), regular, complex == regular ? nullptr : &complex);
}

// Runs of spaces, tabs and line ends in OpenDocument text are one space, and a paragraph's leading white
// space is none; text:s and text:tab carry the spaces and tabs that count.
void OdtReader::appendCollapsed(std::string_view text, const TextProperties& properties)
{
    std::string collapsed;
    collapsed.reserve(text.size());
    for (char ch : text) {
        if (isWhiteSpace(ch)) {
            if (!m_lastWasSpace)
                collapsed += ' ';
            m_lastWasSpace = true;
        } else {
            collapsed += ch;
            m_lastWasSpace = false;
        }
    }
    appendText(collapsed, properties);
}

void OdtReader::appendAttachment(std::shared_ptr<const kit::Attachment> attachment, const TextProperties& properties)
{
    kit::Attributes attributes = attributesFor(properties, false);
    attributes.attachment = std::move(attachment);
    OutputBudget::current().append(*m_out, kit::kAttachmentCharacter, attributes);
    m_lastWasSpace = false;
}

void OdtReader::endParagraph(char terminator)
{
    if (terminator == kit::kPageBreak && m_cell)
        terminator = '\n';
    OutputBudget::current().append(*m_out, std::string_view(&terminator, 1), m_markAttributes);
}

void OdtReader::readBlocks(pugi::xml_node container, int depth)
{
    if (depth > kMaxXmlDepth || OutputBudget::current().isExhausted())
        return;
    for (auto child : container.children()) {
        if (OutputBudget::current().isExhausted())
            return;
        if (child.type() != pugi::node_element)
            continue;
        std::string_view name = child.name();
        if (name == "text:p") {
            readParagraph(child, false, depth + 1);
        } else if (name == "text:h") {
            readParagraph(child, true, depth + 1);
        } else if (name == "text:list") {
            readList(child, depth + 1);
        } else if (name == "table:table") {
            readTable(child, depth + 1);
        } else if (name == "text:section") {
            if (std::string_view(child.attribute("text:display").value()) != "none")
                readBlocks(child, depth + 1);
        } else if (name == "text:table-of-content" || name == "text:illustration-index" || name == "text:table-index"
            || name == "text:object-index" || name == "text:user-index" || name == "text:alphabetical-index"
            || name == "text:bibliography") {
            readBlocks(child.child("text:index-body"), depth + 1);
        } else if (name == "text:index-title" || name == "text:index-body" || name == "text:numbered-paragraph") {
            readBlocks(child, depth + 1);
        } else if (isDrawing(name)) {
            readBlockDrawing(child, depth + 1);
        }
    }
}

std::optional<std::string> OdtReader::nextLabel(ListContext& list, const ListLevel*& level)
{
    level = list.style ? list.style->level(list.level) : nullptr;
    if (!level)
        return std::nullopt;
    auto text = list.style->label(list.level, *list.counters, list.restartAt);
    list.restartAt.reset();
    return text;
}

std::optional<std::string> OdtReader::nextHeadingLabel(int outlineLevel, const ListLevel*& level)
{
    const ListStyle* outline = m_styles.outlineStyle();
    level = outline ? outline->level(outlineLevel) : nullptr;
    if (!level)
        return std::nullopt;
    return outline->label(outlineLevel, m_outlineCounters, std::nullopt);
}

void OdtReader::readParagraph(pugi::xml_node paragraph, bool isHeading, int depth)
{
    std::string_view styleName = paragraph.attribute("text:style-name").value();
    const OdtStyles::Resolved& resolved = m_styles.resolve("paragraph", styleName);
    ParagraphProperties properties = resolved.paragraph;
    TextProperties text = resolved.text;

    const ListLevel* level = nullptr;
    std::optional<std::string> label;
    if (!m_lists.empty()) {
        ListContext& list = m_lists.back();
        if (list.labelPending) {
            label = nextLabel(list, level);
            list.labelPending = false;
        } else if (list.style) {
            // A further paragraph of a list item lines up with the item's text.
            if (const ListLevel* current = list.style->level(list.level); current && current->marginLeft) {
                properties.marginLeft = current->marginLeft;
                properties.textIndent = 0;
            }
        }
    } else if (isHeading && std::string_view(paragraph.attribute("text:is-list-header").value()) != "true") {
        if (auto outlineLevel = parseInteger(paragraph.attribute("text:outline-level").value()); outlineLevel && *outlineLevel >= 1)
            label = nextHeadingLabel(int(std::min(*outlineLevel, 10L)), level);
    }
    if (level && level->marginLeft) {
        properties.marginLeft = level->marginLeft;
        properties.textIndent = level->textIndent.value_or(0);
        // Indents set on the paragraph itself win over the list's.
        if (const Style* own = m_styles.find("paragraph", styleName)) {
            if (own->paragraph.marginLeft)
                properties.marginLeft = own->paragraph.marginLeft;
            if (own->paragraph.textIndent)
                properties.textIndent = own->paragraph.textIndent;
        }
    }
    if (!resolved.masterPage.empty() && !m_isFirstParagraph && !m_cell)
        properties.breakBefore = true;
    if (!resolved.masterPage.empty() && !m_cell && m_lists.empty() && m_out.get() && m_sections.size())
        beginSection(resolved.masterPage);
    m_isFirstParagraph = false;

    kit::ParagraphStyle paragraphStyle = properties.makeStyle();
    // A heading without a level is of level 1; levels past 9 stay in the outline at its deepest level.
    if (isHeading) {
        auto outlineLevel = parseInteger(paragraph.attribute("text:outline-level").value());
        paragraphStyle.outlineLevel = std::uint8_t(std::clamp(outlineLevel.value_or(1), 1L, 9L));
    }
    if (label && level && level->follower == LabelFollower::Tab)
        addLabelTabStop(paragraphStyle);
    m_paragraphStyle = m_paragraphStyles.intern(paragraphStyle);
    m_link.clear();
    m_markAttributes = attributesFor(text, false);
    m_lastWasSpace = true;

    if (label && !label->empty()) {
        TextProperties labelProperties = text;
        labelProperties.hidden.reset();
        if (!level->textStyle.empty())
            labelProperties.overlay(m_styles.resolve("text", level->textStyle).text);
        labelProperties.overlay(level->labelText);
        std::string shown = encoding::cleanMarkupText(*label);
        if (level->follower == LabelFollower::Tab)
            shown += '\t';
        else if (level->follower == LabelFollower::Space)
            shown += ' ';
        kit::Attributes attributes = attributesFor(labelProperties, false);
        attributes.listLabel = true;
        OutputBudget::current().append(*m_out, shown, attributes);
    }
    if (!m_noteCitation.empty()) {
        TextProperties citation = text;
        citation.superscript = 1;
        appendText(m_noteCitation, citation);
        appendText(" ", text);
        m_noteCitation.clear();
    }

    std::vector<TextBox> textBoxes;
    auto* outerBoxes = m_textBoxes;
    m_textBoxes = &textBoxes;
    readInline(paragraph, text, depth);
    m_textBoxes = outerBoxes;
    m_link.clear();
    endParagraph(properties.breakAfter.value_or(false) ? kit::kPageBreak : '\n');
    readTextBoxes(textBoxes, depth);
}

void OdtReader::readTextBoxes(const std::vector<TextBox>& textBoxes, int depth, bool anchoredAfter)
{
    std::size_t first = m_frames.size();
    for (const TextBox& box : textBoxes) {
        std::size_t start = m_out->length();
        readBlocks(box.content, depth + 1);
        // Boxes of the body's own paragraphs can float on its pages; others keep their text in line.
        if (box.box && !m_cell && m_out == m_body && m_out->length() > start)
            m_frames.push_back({ { start, m_out->length() - start }, box.anchor, box.box, box.insets, box.growsWithText });
    }
    if (anchoredAfter) {
        for (std::size_t f = first; f < m_frames.size(); ++f)
            m_frames[f].anchor = m_out->length();
    }
}

void OdtReader::readInline(pugi::xml_node container, const TextProperties& text, int depth)
{
    if (depth > kMaxXmlDepth || OutputBudget::current().isExhausted())
        return;
    for (auto child : container.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            appendCollapsed(child.value(), text);
            continue;
        }
        if (child.type() != pugi::node_element)
            continue;
        std::string_view name = child.name();
        if (name == "text:span") {
            TextProperties span = text;
            span.overlay(m_styles.resolve("text", child.attribute("text:style-name").value()).text);
            readInline(child, span, depth + 1);
        } else if (name == "text:s") {
            auto count = parseInteger(child.attribute("text:c").value());
            appendText(std::string(std::size_t(std::clamp(count.value_or(1), 1L, 1000L)), ' '), text);
            m_lastWasSpace = false;
        } else if (name == "text:tab") {
            appendText("\t", text);
            m_lastWasSpace = false;
        } else if (name == "text:line-break") {
            appendText(kit::kLineSeparator, text);
            m_lastWasSpace = true;
        } else if (name == "text:a") {
            std::string outer = m_link;
            m_link = child.attribute("xlink:href").value();
            TextProperties linked = text;
            if (auto style = child.attribute("text:style-name"))
                linked.overlay(m_styles.resolve("text", style.value()).text);
            readInline(child, linked, depth + 1);
            m_link = outer;
        } else if (name == "text:bookmark" || name == "text:bookmark-start") {
            // The target of links to "#name" (tables of contents, cross-references): the text after it.
            if (auto bookmark = child.attribute("text:name"); *bookmark.value())
                m_anchors.push_back({ bookmark.value(), m_out->length() });
        } else if (name == "text:note") {
            pugi::xml_node citation = child.child("text:note-citation");
            std::string mark = citation.attribute("text:label") ? citation.attribute("text:label").value() : textContent(citation);
            TextProperties superscript = text;
            superscript.superscript = 1;
            std::size_t at = m_out->length();
            appendText(mark, superscript);
            m_lastWasSpace = false;
            bool isEndnote = std::string_view(child.attribute("text:note-class").value()) == "endnote";
            m_notes.push_back({ child.child("text:note-body"), mark, at, isEndnote });
        } else if (name == "text:ruby") {
            readInline(child.child("text:ruby-base"), text, depth + 1);
        } else if (isDrawing(name)) {
            readDrawingObject(child, text, depth + 1);
        } else if (name == "office:annotation" || name == "office:annotation-end" || name == "text:number"
            || name == "text:tracked-changes" || name == "text:hidden-text" || name == "text:hidden-paragraph"
            || name == "text:soft-page-break" || name == "text:change" || name == "text:change-start" || name == "text:change-end"
            || name == "text:note-citation" || name == "text:note-body" || name == "text:ruby-text") {
            continue;
        } else if (name == "text:page-number" || name == "text:page-count") {
            kit::PageField outer = std::exchange(m_pageField, name == "text:page-number" ? kit::PageField::Page : kit::PageField::NumPages);
            readInline(child, text, depth + 1);
            m_pageField = outer;
        } else if (name.substr(0, 5) == "text:") {
            // Fields (page numbers, dates, references, variables) and metadata show their text.
            readInline(child, text, depth + 1);
        }
    }
}

void OdtReader::readDrawingObject(pugi::xml_node object, const TextProperties& text, int depth)
{
    if (depth > kMaxXmlDepth)
        return;
    std::string_view name = object.name();
    if (name == "draw:a") {
        std::string outer = m_link;
        m_link = object.attribute("xlink:href").value();
        for (auto child : object.children())
            readDrawingObject(child, text, depth + 1);
        m_link = outer;
        return;
    }
    if (name == "draw:g") {
        for (auto child : object.children())
            readDrawingObject(child, text, depth + 1);
        return;
    }
    auto length = [&](const char* attribute) {
        auto value = parseLength(object.attribute(attribute).value());
        return value ? std::clamp(*value, 0.0f, 100000.0f) : 0.0f;
    };
    kit::Size size { length("svg:width"), length("svg:height") };
    if (name == "draw:line")
        size = { std::fabs(length("svg:x2") - length("svg:x1")), std::fabs(length("svg:y2") - length("svg:y1")) };
    std::string alternativeText = textContent(object.child("svg:title"));
    if (alternativeText.empty())
        alternativeText = textContent(object.child("svg:desc"));

    if (isShape(name)) {
        if (hasTextContent(object) && m_textBoxes)
            m_textBoxes->push_back({ object, nullptr, {}, m_out->length() });
        appendAttachment(makePlaceholderAttachment(size, alternativeText, pictureLimit()), text);
        return;
    }
    if (name != "draw:frame")
        return;

    std::shared_ptr<const kit::Attachment> attachment;
    bool holdsObject = false;
    pugi::xml_node textBox;
    for (auto child : object.children()) {
        std::string_view kind = child.name();
        if (kind == "draw:text-box") {
            if (!textBox)
                textBox = child;
        } else if (kind == "draw:object" || kind == "draw:object-ole" || kind == "draw:plugin" || kind == "draw:applet"
            || kind == "draw:floating-frame") {
            holdsObject = true;
        } else if (kind == "draw:image" && (!attachment || attachment->mimeType.empty())) {
            // A frame may offer one picture in several formats (SVG and PNG): the first that can travel wins.
            std::shared_ptr<const kit::Attachment> candidate;
            if (auto data = child.child("office:binary-data")) {
                if (auto bytes = kit::decodeBase64(data.child_value(), kit::Base64Rule::Forgiving))
                    candidate = makeImageAttachment(std::string(bytes->begin(), bytes->end()), size, alternativeText, pictureLimit());
            } else {
                std::string_view href = child.attribute("xlink:href").value();
                if (href.find("://") == std::string_view::npos && !href.empty())
                    candidate = m_images.image(std::string(href), size, alternativeText, pictureLimit());
            }
            if (candidate && (!attachment || !candidate->mimeType.empty()))
                attachment = candidate;
        }
    }
    if (!attachment && (holdsObject || !textBox))
        attachment = makePlaceholderAttachment(size, alternativeText, pictureLimit());
    // Frames anchored to the paragraph, a character or the page float where their style puts them.
    GraphicProperties graphic = m_styles.graphicProperties(object.attribute("draw:style-name").value());
    auto placement = framePlacement(object, graphic);
    if (textBox && m_textBoxes) {
        TextBox box { textBox, nullptr, frameInsets(graphic), m_out->length() };
        if (!(size.height > 0)) {
            // Without a height the frame is as tall as its text, and at least its least height.
            box.growsWithText = true;
            auto least = parseLength(object.attribute("fo:min-height").value());
            if (!least)
                least = parseLength(textBox.attribute("fo:min-height").value());
            size.height = std::clamp(least.value_or(0), 0.0f, 100000.0f);
        }
        // A frame that is a text box and nothing else floats with its text inside.
        if (placement && !attachment && size.width > 0) {
            auto frame = std::make_shared<kit::Attachment>();
            frame->size = size;
            frame->alternativeText = alternativeText;
            frame->drawing = std::make_shared<const kit::VectorDrawing>(frameBoxDrawing(graphic, size));
            frame->placement = placement;
            box.box = std::move(frame);
        }
        m_textBoxes->push_back(box);
    }
    if (!attachment)
        return;
    if (placement)
        attachment = floatingCopy(*attachment, *placement);
    appendAttachment(attachment, text);
}

// A frame anchored to the page or the body rather than in a paragraph: it gets a paragraph of its own.
void OdtReader::readBlockDrawing(pugi::xml_node object, int depth)
{
    const OdtStyles::Resolved& resolved = m_styles.resolve("paragraph", "");
    m_paragraphStyle = m_paragraphStyles.intern(resolved.paragraph.makeStyle());
    m_markAttributes = attributesFor(resolved.text, false);
    std::vector<TextBox> textBoxes;
    auto* outerBoxes = m_textBoxes;
    m_textBoxes = &textBoxes;
    std::size_t start = m_out->length();
    readDrawingObject(object, resolved.text, depth);
    m_textBoxes = outerBoxes;
    bool ownParagraph = m_out->length() > start;
    if (ownParagraph)
        endParagraph('\n');
    readTextBoxes(textBoxes, depth, !ownParagraph);
}

void OdtReader::readList(pugi::xml_node list, int depth)
{
    std::string_view styleName = list.attribute("text:style-name").value();
    const ListStyle* style = styleName.empty() ? nullptr : m_styles.listStyle(styleName);
    if (!style && styleName.empty() && !m_lists.empty())
        style = m_lists.back().style;
    if (!style) {
        // Without a list style of its own, a list takes the one its first paragraph's style names.
        if (auto first = list.select_node(".//text:p | .//text:h")) {
            const auto& resolved = m_styles.resolve("paragraph", first.node().attribute("text:style-name").value());
            if (!resolved.listStyle.empty())
                style = m_styles.listStyle(resolved.listStyle);
        }
    }
    std::shared_ptr<ListCounters> counters;
    if (m_lists.empty()) {
        std::string_view continues = list.attribute("text:continue-list").value();
        bool continuesNumbering = std::string_view(list.attribute("text:continue-numbering").value()) == "true";
        if (auto it = m_listsById.find(continues); !continues.empty() && it != m_listsById.end())
            counters = it->second;
        else if (continuesNumbering && m_lastList)
            counters = m_lastList;
        else
            counters = std::make_shared<ListCounters>();
        if (auto id = list.attribute("xml:id"); id && *id.value())
            m_listsById[id.value()] = counters;
        m_lastList = counters;
    } else {
        counters = m_lists.back().counters;
        // An item that opens with a sub-list shows no label of its own.
        m_lists.back().labelPending = false;
    }
    int level = m_lists.empty() ? 1 : std::min(m_lists.back().level + 1, 10);
    m_lists.push_back({ counters, style, level, false, std::nullopt });
    std::size_t index = m_lists.size() - 1;
    for (auto item : list.children()) {
        std::string_view name = item.name();
        if (name != "text:list-item" && name != "text:list-header")
            continue;
        m_lists[index].labelPending = name == "text:list-item";
        if (auto start = parseInteger(item.attribute("text:start-value").value()))
            m_lists[index].restartAt = int(std::clamp(*start, 0L, 1000000L));
        readBlocks(item, depth + 1);
        m_lists[index].labelPending = false;
        m_lists[index].restartAt.reset();
    }
    m_lists.pop_back();
}

void OdtReader::readTable(pugi::xml_node table, int depth)
{
    if (depth > kMaxXmlDepth)
        return;
    int nestingLevel = m_cell ? m_cell->cell->nestingLevel + 1 : 1;
    OdtTableLayout layout = layoutOdtTable(table, m_styles, availableWidth(), nestingLevel, kMaxCells);
    int tableId = ++m_tableCount;
    const CellContext* outer = m_cell;
    for (auto& laidOut : layout.cells) {
        auto cell = std::make_shared<kit::TableCell>(std::move(laidOut.cell));
        cell->tableId = tableId;
        cell->columnWidths = layout.columnWidths;
        cell->parent = outer ? outer->cell.get() : nullptr;
        CellContext context { cell, laidOut.contentWidth };
        m_cell = &context;
        std::size_t start = m_out->length();
        readBlocks(laidOut.node, depth + 1);
        // Every cell ends in a paragraph break of its own, even an empty one or one ending in a nested table.
        if (m_out->length() == start || m_out->attributesAt(m_out->length() - 1).tableCell.get() != cell.get()) {
            const OdtStyles::Resolved& resolved = m_styles.resolve("paragraph", "");
            m_paragraphStyle = m_paragraphStyles.intern(resolved.paragraph.makeStyle());
            m_markAttributes = attributesFor(resolved.text, false);
            endParagraph('\n');
        }
        m_cell = outer;
    }
}

std::vector<kit::Note> OdtReader::readNotes()
{
    m_cell = nullptr;
    m_lists.clear();
    std::vector<kit::Note> placed;
    // Bodies of notes found while reading notes join the end of the queue.
    for (std::size_t i = 0; i < m_notes.size() && i < 100000; ++i) {
        m_noteCitation = m_notes[i].citation;
        std::size_t start = m_out->length();
        readBlocks(m_notes[i].body, 1);
        m_noteCitation.clear();
        if (m_out->length() > start) {
            kit::NoteKind kind = m_notes[i].isEndnote ? kit::NoteKind::Endnote : kit::NoteKind::Footnote;
            placed.push_back({ kind, m_notes[i].reference, m_notes[i].citation, { start, m_out->length() - start } });
        }
    }
    return placed;
}

} // namespace importer::odt
