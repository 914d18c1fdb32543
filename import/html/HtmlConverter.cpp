#include "import/html/HtmlConverter.h"

#include "import/common/Encoding.h"
#include "import/common/OutputBudget.h"
#include "import/html/CssValues.h"
#include "import/html/HtmlDom.h"
#include "import/html/HtmlImage.h"
#include "import/html/TableConverter.h"
#include "kit/text/Numerals.h"

#include <algorithm>
#include <cstdlib>

namespace importer::html {

namespace {

// Deeper elements are read as plain text in their ancestor's style: recursion has to stop somewhere, and
// no real document nests this deep.
constexpr int kMaxDepth = 400;
// A block never gets narrower than this, however many indents pile up.
constexpr float kMinimumBlockWidth = 36;
// The font size of the empty paragraph that carries a rule, so the rule sits close under the text above.
constexpr float kRuleFontSize = 6;

// Bijective numbering over an alphabet: 1 → a, 26 → z, 27 → aa.
std::string alphabetic(int number, const std::vector<char32_t>& alphabet)
{
    std::u32string letters;
    while (number > 0) {
        --number;
        letters.insert(letters.begin(), alphabet[std::size_t(number) % alphabet.size()]);
        number /= int(alphabet.size());
    }
    std::string out;
    for (char32_t c : letters)
        encoding::appendUtf8(out, c);
    return out;
}

std::string upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    }
    return text;
}

// The marker of a list item, as browsers draw it: a bullet, or a number in the list's style and a dot.
std::string listLabel(ListStyle style, int number)
{
    switch (style) {
    case ListStyle::None:
        return {};
    case ListStyle::Disc:
        return "\xE2\x80\xA2"; // U+2022
    case ListStyle::Circle:
        return "\xE2\x97\xA6"; // U+25E6
    case ListStyle::Square:
        return "\xE2\x96\xAA"; // U+25AA
    default:
        break;
    }
    std::string text;
    bool positive = number > 0;
    switch (style) {
    case ListStyle::DecimalLeadingZero:
        text = (number >= 0 && number < 10 ? "0" : "") + std::to_string(number);
        break;
    case ListStyle::LowerAlpha:
    case ListStyle::UpperAlpha: {
        static const std::vector<char32_t> latin = [] {
            std::vector<char32_t> letters;
            for (char32_t c = 'a'; c <= 'z'; ++c)
                letters.push_back(c);
            return letters;
        }();
        text = positive ? alphabetic(number, latin) : std::to_string(number);
        if (style == ListStyle::UpperAlpha)
            text = upper(text);
        break;
    }
    case ListStyle::LowerRoman:
    case ListStyle::UpperRoman:
        text = kit::romanNumeral(number, style == ListStyle::UpperRoman);
        break;
    case ListStyle::LowerGreek: {
        static const std::vector<char32_t> greek = [] {
            std::vector<char32_t> letters;
            for (char32_t c = 0x3B1; c <= 0x3C9; ++c) {
                if (c != 0x3C2)
                    letters.push_back(c);
            }
            return letters;
        }();
        text = positive ? alphabetic(number, greek) : std::to_string(number);
        break;
    }
    default:
        text = std::to_string(number);
        break;
    }
    return text + ".";
}

std::optional<int> integerAttribute(const xmlNode* element, const char* name)
{
    auto value = attribute(element, name);
    if (!value)
        return std::nullopt;
    std::string_view text = trimmed(*value);
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    char* end = nullptr;
    std::string copy(text);
    long number = std::strtol(copy.c_str(), &end, 10);
    if (end == copy.c_str())
        return std::nullopt;
    return int(number);
}

// Elements whose content is never shown, whatever the style sheets say.
bool isHiddenElement(std::string_view name)
{
    return name == "head" || name == "title" || name == "script" || name == "style" || name == "template"
        || name == "noembed" || name == "xml";
}

bool isListContainer(std::string_view name)
{
    return name == "ul" || name == "ol" || name == "menu" || name == "dir";
}

kit::Attributes labelAttributes(const ComputedStyle& style)
{
    kit::Attributes a = style.characterAttributes();
    a.link.clear();
    a.underline = kit::LineStyle::None;
    a.strikethrough = kit::LineStyle::None;
    a.background.reset();
    a.superscript = 0;
    return a;
}

} // namespace

HtmlConverter::HtmlConverter(const xmlDoc* document, kit::TextStorage& storage)
    : m_document(document)
    , m_resolver(document)
    , m_builder(storage)
{
}

void HtmlConverter::convert()
{
    ComputedStyle initial;
    m_blocks.push_back({ initial, 0, 0, kAvailableWidth });
    const xmlNode* root = xmlDocGetRootElement(m_document);
    for (const xmlNode* node = root; node; node = node->next)
        convertNode(node, initial);
    finishParagraph(true);
    m_builder.flush();
}

kit::ParagraphStyle HtmlConverter::paragraphStyle(const Block& block) const
{
    const ComputedStyle& style = block.style;
    kit::ParagraphStyle p;
    p.alignment = style.textAlign;
    p.baseDirection = style.direction;
    bool rightToLeft = style.direction == kit::WritingDirection::RightToLeft;
    // Margins can add up past the page; the text keeps at least a narrow column of its own.
    float room = kAvailableWidth - kMinimumBlockWidth;
    float lead = std::clamp(rightToLeft ? block.rightIndent : block.leftIndent, 0.0f, room);
    float trail = std::clamp(rightToLeft ? block.leftIndent : block.rightIndent, 0.0f, room - lead);
    p.headIndent = lead;
    p.firstLineHeadIndent = std::clamp(lead + style.textIndent, 0.0f, room);
    p.tailIndent = trail;
    p.lineSpacingRule = style.lineHeightRule;
    p.lineSpacing = style.lineHeight;
    p.outlineLevel = block.outlineLevel;
    return p;
}

void HtmlConverter::finishParagraph(bool flushLabel)
{
    const Block& block = m_blocks.back();
    m_builder.finishParagraph(paragraphStyle(block), block.style.characterAttributes(),
        flushLabel && m_builder.hasPendingLabel());
}

void HtmlConverter::beginBlock(const ComputedStyle& style, std::uint8_t outlineLevel)
{
    finishParagraph(false);
    const Block& parent = m_blocks.back();
    Block block;
    block.style = style;
    block.outlineLevel = outlineLevel ? outlineLevel : parent.outlineLevel;
    float left = style.margin[Left] + style.padding[Left] + style.border[Left].width;
    float right = style.margin[Right] + style.padding[Right] + style.border[Right].width;
    block.leftIndent = parent.leftIndent + left;
    block.rightIndent = parent.rightIndent + right;
    block.width = std::max(kMinimumBlockWidth, parent.width - left - right);
    if (style.pageBreakBefore && m_builder.hasWrittenParagraph())
        m_builder.requestPageBreak();
    m_builder.addMargin(style.margin[Top]);
    m_blocks.push_back(std::move(block));
}

void HtmlConverter::endBlock()
{
    finishParagraph(true);
    const ComputedStyle& style = m_blocks.back().style;
    m_builder.addMargin(style.margin[Bottom]);
    if (style.pageBreakAfter)
        m_builder.requestPageBreak();
    if (m_blocks.size() > 1)
        m_blocks.pop_back();
}

void HtmlConverter::convertChildren(const xmlNode* element, const ComputedStyle& style)
{
    for (const xmlNode* child = element->children; child && !OutputBudget::current().isExhausted(); child = child->next)
        convertNode(child, style);
}

void HtmlConverter::convertNode(const xmlNode* node, const ComputedStyle& parentStyle)
{
    switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
        convertText(node, parentStyle);
        break;
    case XML_ELEMENT_NODE:
        if (m_depth >= kMaxDepth) {
            convertFlattened(node, parentStyle);
            break;
        }
        ++m_depth;
        convertElement(node, parentStyle);
        --m_depth;
        break;
    default:
        break; // comments, processing instructions, doctypes
    }
}

void HtmlConverter::convertText(const xmlNode* node, const ComputedStyle& style)
{
    if (!node->content)
        return;
    std::string_view text(reinterpret_cast<const char*>(node->content));
    if (node == m_skipNewlineIn) {
        // The new line right after <pre> belongs to the markup, not to the text.
        if (text.rfind("\r\n", 0) == 0)
            text.remove_prefix(2);
        else if (!text.empty() && (text[0] == '\n' || text[0] == '\r'))
            text.remove_prefix(1);
        m_skipNewlineIn = nullptr;
    }
    m_builder.appendText(text, style.characterAttributes(), style.whiteSpace);
}

void HtmlConverter::convertFlattened(const xmlNode* element, const ComputedStyle& style)
{
    std::vector<const xmlNode*> stack { element };
    while (!stack.empty()) {
        const xmlNode* node = stack.back();
        stack.pop_back();
        if (node->type == XML_TEXT_NODE || node->type == XML_CDATA_SECTION_NODE) {
            convertText(node, style);
            continue;
        }
        if (!isElement(node) || isHiddenElement(elementName(node)))
            continue;
        std::vector<const xmlNode*> children;
        for (const xmlNode* child = node->children; child; child = child->next)
            children.push_back(child);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
}

void HtmlConverter::convertElement(const xmlNode* element, const ComputedStyle& parentStyle)
{
    std::string_view name = elementName(element);
    if (isHiddenElement(name))
        return;
    if (name == "input") {
        convertFormControl(element, parentStyle);
        return;
    }
    ComputedStyle style = m_resolver.computeStyle(element, parentStyle, blockWidth());
    if (style.display == Display::None)
        return;
    if (name == "br") {
        if (style.pageBreakBefore || style.pageBreakAfter) {
            // Word's page break: <br clear=all style='page-break-before:always'>.
            const Block& block = m_blocks.back();
            m_builder.finishParagraph(paragraphStyle(block), style.characterAttributes(), true, kit::kPageBreak);
        } else {
            m_builder.appendLineBreak(style.characterAttributes());
        }
        return;
    }
    if (name == "img") {
        convertImage(element, style);
        return;
    }
    if (name == "hr") {
        convertRule(element, style);
        return;
    }
    if (name == "table" && m_cellStack.size() < TableConverter::kMaxNesting) {
        TableConverter(*this).convert(element, style);
        return;
    }
    if (style.display == Display::TableColumn)
        return;

    bool isList = isListContainer(name);
    if (isList) {
        ListContext list;
        if (name == "ol") {
            bool reversed = hasAttribute(element, "reversed");
            int items = 0;
            for (const xmlNode* child = element->children; child; child = child->next)
                items += isElement(child) && elementName(child) == "li";
            list.step = reversed ? -1 : 1;
            list.next = integerAttribute(element, "start").value_or(reversed ? items : 1);
        }
        m_lists.push_back(list);
    }
    if (name == "pre" || name == "listing" || name == "textarea" || name == "xmp") {
        const xmlNode* first = element->children;
        if (first && first->type == XML_TEXT_NODE)
            m_skipNewlineIn = first;
    }
    bool isQuote = name == "q";
    kit::Attributes quoteAttributes = style.characterAttributes();
    if (isQuote) {
        m_builder.appendText(m_quoteDepth % 2 ? "\xE2\x80\x98" : "\xE2\x80\x9C", quoteAttributes, WhiteSpace::Normal);
        ++m_quoteDepth;
    }

    bool isBlock = style.display != Display::Inline;
    if (style.display == Display::ListItem) {
        beginListItem(element, style);
    } else if (isBlock) {
        bool isHeading = name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
        beginBlock(style, isHeading ? std::uint8_t(name[1] - '0') : 0);
    }
    convertChildren(element, style);
    if (isBlock)
        endBlock();

    if (isQuote) {
        --m_quoteDepth;
        m_builder.appendText(m_quoteDepth % 2 ? "\xE2\x80\x99" : "\xE2\x80\x9D", quoteAttributes, WhiteSpace::Normal);
    }
    if (isList)
        m_lists.pop_back();
}

void HtmlConverter::beginListItem(const xmlNode* element, const ComputedStyle& style)
{
    // An item that starts before its parent item showed any text gets a line of its own for that label.
    if (m_builder.hasPendingLabel())
        finishParagraph(true);
    beginBlock(style);
    int number = 1;
    if (m_lists.empty())
        m_lists.push_back({});
    ListContext& list = m_lists.back();
    if (auto value = integerAttribute(element, "value"))
        list.next = *value;
    number = list.next;
    list.next += list.step;
    std::string text = listLabel(style.listStyle, number);
    if (!text.empty())
        m_builder.setLabel({ std::move(text), labelAttributes(style) });
}

void HtmlConverter::convertImage(const xmlNode* element, const ComputedStyle& style)
{
    auto attachment = std::make_shared<kit::Attachment>();
    std::string source = attribute(element, "src").value_or("");
    attachment->alternativeText = std::string(trimmed(attribute(element, "alt").value_or("")));
    float pixelWidth = 0, pixelHeight = 0;
    if (auto image = imageFromDataUrl(source)) {
        attachment->bytes = std::move(image->bytes);
        attachment->mimeType = image->mimeType;
        pixelWidth = float(image->pixelWidth);
        pixelHeight = float(image->pixelHeight);
    }
    std::optional<float> width = style.width;
    if (!width && style.widthPercent)
        width = blockWidth() * *style.widthPercent / 100;
    std::optional<float> height = style.height;
    if (width && *width <= 0)
        width.reset();
    if (height && *height <= 0)
        height.reset();
    float w, h;
    if (width && height) {
        w = *width;
        h = *height;
    } else if (width) {
        w = *width;
        h = pixelWidth > 0 ? w * pixelHeight / pixelWidth : w;
    } else if (height) {
        h = *height;
        w = pixelHeight > 0 ? h * pixelWidth / pixelHeight : h;
    } else if (pixelWidth > 0) {
        // An image without a size shows its pixels as CSS pixels, as browsers print it.
        w = pixelWidth * kPointsPerPixel;
        h = pixelHeight * kPointsPerPixel;
    } else {
        // A picture that is not here: a box with room for its alternative text, as a browser shows it.
        kit::Attributes text = style.characterAttributes();
        w = std::max(12.0f, estimatedWidth(attachment->alternativeText, text) + 4);
        h = std::max(12.0f, style.fontSize * 1.2f);
    }
    // Nothing wider than the text or taller than the page; the proportions stay.
    float scale = std::min({ 1.0f, blockWidth() / std::max(w, 1.0f), kAvailableHeight / std::max(h, 1.0f) });
    attachment->size = { std::max(1.0f, w * scale), std::max(1.0f, h * scale) };
    m_builder.appendAttachment(std::move(attachment), style.characterAttributes());
}

void HtmlConverter::convertRule(const xmlNode* element, const ComputedStyle& style)
{
    // A rule is a line of its own across the text: an empty one-cell table with only a bottom border,
    // since paragraphs carry no borders in the text model.
    finishParagraph(true);
    m_builder.addMargin(style.margin[Top]);
    m_builder.moveMarginToPreviousParagraph();

    kit::Border border { kit::LineStyle::Single, kPointsPerPixel, kit::Color::calibratedRGB(0.5f, 0.5f, 0.5f) };
    if (auto size = integerAttribute(element, "size"))
        border.width = std::clamp(float(*size), 1.0f, 20.0f) * kPointsPerPixel;
    if (auto color = attribute(element, "color")) {
        if (auto parsed = parseColor(*color, true))
            border.color = *parsed;
    }
    for (const kit::Border& side : style.border) {
        if (side.style != kit::LineStyle::None) {
            border = side;
            break;
        }
    }
    auto cell = std::make_shared<kit::TableCell>();
    cell->tableId = nextTableId();
    cell->nestingLevel = nestingLevel() + 1;
    cell->parent = currentCell();
    cell->padding = { 0, 0, 0, 0 };
    cell->borders[2] = border;

    auto record = std::make_unique<TableRecord>();
    record->layout = TableLayout(1);
    record->percent = style.widthPercent.value_or(100);
    if (style.width) {
        record->width = style.width;
        record->percent.reset();
    }
    record->cells.push_back(cell);
    record->enclosingCell = currentCell();

    auto saved = m_builder.enterCell(cell, nullptr);
    kit::Attributes attributes = style.characterAttributes();
    attributes.fontSize = kRuleFontSize;
    attributes.link.clear();
    kit::ParagraphStyle paragraph;
    m_builder.finishParagraph(paragraph, attributes, true);
    m_builder.leaveCell(std::move(saved));
    m_builder.addMargin(style.margin[Bottom]);
    closeTable(std::move(record));
}

void HtmlConverter::convertFormControl(const xmlNode* element, const ComputedStyle& parentStyle)
{
    std::string type = asciiLower(trimmed(attribute(element, "type").value_or("text")));
    bool checked = hasAttribute(element, "checked");
    kit::Attributes attributes = parentStyle.characterAttributes();
    if (type == "checkbox")
        m_builder.appendText(checked ? "\xE2\x98\x92 " : "\xE2\x98\x90 ", attributes, WhiteSpace::Normal);
    else if (type == "radio")
        m_builder.appendText(checked ? "\xE2\x97\x89 " : "\xE2\x97\x8B ", attributes, WhiteSpace::Normal);
    else if (type == "submit" || type == "button" || type == "reset")
        m_builder.appendText(attribute(element, "value").value_or(""), attributes, WhiteSpace::Normal);
}

void HtmlConverter::convertCellContent(const xmlNode* cell, const ComputedStyle& style, kit::TableCell* tableCell, float width)
{
    Block block;
    block.style = style;
    block.width = std::max(kMinimumBlockWidth, width);
    m_blocks.push_back(std::move(block));
    m_cellStack.push_back(tableCell);
    std::vector<ListContext> lists = std::move(m_lists);
    m_lists.clear();
    convertChildren(cell, style);
    // Every cell ends in a paragraph break, an empty cell too.
    const Block& content = m_blocks.back();
    m_builder.finishParagraph(paragraphStyle(content), content.style.characterAttributes(),
        m_builder.hasPendingLabel() || m_builder.paragraphsInScope() == 0);
    m_lists = std::move(lists);
    m_cellStack.pop_back();
    m_blocks.pop_back();
}

void HtmlConverter::convertAsBlock(const xmlNode* node, const ComputedStyle& parentStyle)
{
    if (node->type != XML_ELEMENT_NODE) {
        convertNode(node, parentStyle);
        finishParagraph(true);
        return;
    }
    ComputedStyle style = m_resolver.computeStyle(node, parentStyle, blockWidth());
    if (style.display == Display::None)
        return;
    beginBlock(style);
    convertChildren(node, style);
    endBlock();
}

void HtmlConverter::closeTable(std::unique_ptr<TableRecord> record)
{
    if (!m_cellRecords.empty()) {
        m_cellRecords.back()->nested.push_back(std::move(record));
        return;
    }
    float available = std::max(kMinimumBlockWidth, blockWidth());
    layOut(*record, available);
}

void HtmlConverter::layOut(TableRecord& record, float available)
{
    kit::ColumnWidths widths = record.layout.columnWidths(available, record.width, record.percent);
    for (const auto& cell : record.cells)
        cell->columnWidths = widths;
    for (const auto& nested : record.nested) {
        const kit::TableCell* cell = nested->enclosingCell;
        float room = available;
        if (cell) {
            room = 0;
            for (int c = cell->column; c < cell->column + cell->columnSpan && c < int(widths.size()); ++c)
                room += widths[std::size_t(c)];
            room -= cell->padding[1] + cell->padding[3] + cell->borders[1].width + cell->borders[3].width;
        }
        layOut(*nested, std::max(1.0f, room));
    }
}

} // namespace importer::html
