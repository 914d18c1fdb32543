#include "import/doc/StoryReader.h"

#include "import/common/Encoding.h"
#include "import/common/FloatingObject.h"
#include "import/common/OutputBudget.h"
#include "import/common/PageFields.h"
#include "import/doc/CodePages.h"
#include "import/doc/InlinePicture.h"
#include "import/doc/ListTable.h"
#include "kit/text/VectorDrawing.h"

#include <algorithm>

namespace importer::doc {

namespace {

// Where a shape anchored in the text floats (the Spa of its anchor): its rectangle's corner from the origin
// that bx and by name, its wrap, and whether it lies below the text.
kit::FloatPlacement shapePlacement(const ShapeAnchor& anchor)
{
    using Frame = kit::FloatPlacement::Frame;
    using Wrap = kit::FloatPlacement::Wrap;
    kit::FloatPlacement placement;
    unsigned bx = (anchor.flags >> 1) & 3, by = (anchor.flags >> 3) & 3, wr = (anchor.flags >> 5) & 15;
    placement.horizontalFrame = bx == 1 ? Frame::Page : bx == 2 ? Frame::Column : Frame::Margin;
    placement.verticalFrame = by == 1 ? Frame::Page : by == 2 ? Frame::Paragraph : Frame::Margin;
    placement.offset = { std::clamp(twipsToPoints(anchor.left), -31680.0f, 31680.0f),
        std::clamp(twipsToPoints(anchor.top), -31680.0f, 31680.0f) };
    // 1: text above and below only; 3: text as if the shape were not there; the others wrap around it.
    placement.wrap = wr == 1 ? Wrap::TopAndBottom : wr == 3 ? Wrap::None : Wrap::Square;
    placement.behindText = (anchor.flags >> 14) & 1;
    return placement;
}

// The box a floating text box stands in: where its anchor puts it, drawn with its shape's fill and line.
std::shared_ptr<const kit::Attachment> textBoxFrame(const OfficeArt::Shape& shape, const ShapeAnchor& anchor, kit::Size size)
{
    auto attachment = std::make_shared<kit::Attachment>();
    attachment->size = size;
    attachment->alternativeText = shape.description;
    attachment->drawing = std::make_shared<const kit::VectorDrawing>(textBoxDrawing(size, shape.fill, shape.line, shape.lineWidth));
    attachment->placement = shapePlacement(anchor);
    return attachment;
}

constexpr char16_t kCellMark = 0x07;
constexpr char16_t kParagraphMark = 0x0D;
constexpr char16_t kPageBreak = 0x0C;
constexpr char16_t kFieldBegin = 0x13;
constexpr char16_t kFieldSeparator = 0x14;
constexpr char16_t kFieldEnd = 0x15;
constexpr std::size_t kMaximumFieldDepth = 256;
constexpr std::size_t kMaximumFieldCode = 4096;
// Text boxes cannot hold text boxes in Word; one level of nesting bounds damaged files.
constexpr int kMaximumTextBoxDepth = 1;

std::string toUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        encoding::appendUtf8(out, c);
    }
    return out;
}

void appendCodePoint(std::u16string& out, char32_t c)
{
    if (c >= 0x10000 && c <= 0x10FFFF) {
        c -= 0x10000;
        out.push_back(char16_t(0xD800 + (c >> 10)));
        out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
    } else {
        out.push_back(char16_t(c));
    }
}

} // namespace

StoryReader::StoryReader(WordDocument& document)
    : m_document(document)
    , m_formatting(document)
    , m_budget(4 * std::uint64_t(document.pieces.length()) + 4096)
{
}

std::optional<std::uint32_t> StoryReader::findMark(std::uint32_t from, std::uint32_t end, char& terminator) const
{
    const std::u16string& text = m_document.pieces.text();
    for (std::uint32_t cp = from; cp < end; ++cp) {
        char16_t c = text[cp];
        if (c == kParagraphMark) {
            terminator = '\n';
            return cp;
        }
        if (c == kCellMark && m_formatting.endsParagraphRun(cp)) {
            terminator = '\n';
            return cp;
        }
        if (c == kPageBreak) {
            // A section's last character ends its last paragraph; a page break may end one too.
            auto section = m_document.sectionBreaks.find(cp);
            if (section != m_document.sectionBreaks.end()) {
                terminator = section->second ? '\f' : '\n';
                return cp;
            }
            if (m_formatting.endsParagraphRun(cp)) {
                terminator = '\f';
                return cp;
            }
        }
    }
    return std::nullopt;
}

bool StoryReader::isShowingText() const
{
    return std::all_of(m_fields.begin(), m_fields.end(), [](const Field& field) { return field.inResult; });
}

std::string StoryReader::currentLink() const
{
    for (auto it = m_fields.rbegin(); it != m_fields.rend(); ++it) {
        if (!it->link.empty())
            return it->link;
    }
    return {};
}

kit::PageField StoryReader::currentPageField() const
{
    return m_fields.empty() ? kit::PageField::None : m_fields.back().pageField;
}

void StoryReader::appendText(Paragraph& paragraph, std::string_view text, const kit::Attributes& attributes)
{
    if (text.empty())
        return;
    // Each bookmark waiting marks one character of its own; several at one place take the next ones.
    while (!m_pendingAnchors.empty() && !text.empty()) {
        std::size_t length = 1;
        while (length < text.size() && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            ++length;
        Span span { std::string(text.substr(0, length)), attributes };
        span.attributes.link = currentLink();
        span.attributes.pageField = currentPageField();
        span.attributes.anchor = std::move(m_pendingAnchors.front());
        m_pendingAnchors.pop_front();
        paragraph.spans.push_back(std::move(span));
        text.remove_prefix(length);
    }
    if (text.empty())
        return;
    kit::Attributes shown = attributes;
    shown.link = currentLink();
    shown.pageField = currentPageField();
    if (!paragraph.spans.empty() && !paragraph.spans.back().attributes.listLabel
        && !paragraph.spans.back().attributes.attachment && shown == paragraph.spans.back().attributes) {
        paragraph.spans.back().text += text;
        return;
    }
    Span span { std::string(text), std::move(shown) };
    paragraph.spans.push_back(std::move(span));
}

void StoryReader::appendAttachment(Paragraph& paragraph, kit::Attachment attachment, const kit::Attributes& attributes)
{
    Span span { kit::kAttachmentCharacter, attributes };
    span.attributes.link = currentLink();
    if (!m_pendingAnchors.empty()) {
        span.attributes.anchor = std::move(m_pendingAnchors.front());
        m_pendingAnchors.pop_front();
    }
    span.attributes.attachment = std::make_shared<const kit::Attachment>(std::move(attachment));
    paragraph.spans.push_back(std::move(span));
}

std::u16string StoryReader::symbolText(const CharacterProperties& properties, char16_t character) const
{
    std::u16string out;
    std::uint16_t font = properties.symbolFont.value_or(properties.fonts[0]);
    // Symbol fonts' characters are stored as their byte, or as that byte in the private-use block U+F0xx.
    if (character < 0x100 || (character >= 0xF000 && character <= 0xF0FF))
        appendCodePoint(out, encoding::symbolFontCharacter(m_document.fonts.name(font), std::uint8_t(character & 0xFF)));
    else
        out.push_back(character);
    return out;
}

// Word 6 numbers paragraphs with a numbering description (ANLD) in the paragraph itself: a format, a start,
// and text before and after the number; levels 1-9 are outline levels, 10 a simple list, 11 bullets.
std::optional<std::u16string> StoryReader::word6Label(const ParagraphProperties& properties)
{
    const auto& anld = properties.word6Numbering;
    std::uint8_t level = properties.word6NumberingLevel;
    bool isNumbered = !anld.empty() && level >= 1 && level <= 11;
    bool continues = m_lastWasNumbered;
    m_lastWasNumbered = isNumbered;
    if (!isNumbered || anld.size() < 20)
        return std::nullopt;
    ByteReader bytes(anld);
    std::uint8_t format = *bytes.readU8(0);
    std::size_t before = std::min<std::size_t>(*bytes.readU8(1), 32), after = std::min<std::size_t>(*bytes.readU8(2), 32);
    std::int32_t start = bytes.readU16LE(10).value_or(1);
    // The texts: 32 characters, bytes in Word 6, UTF-16 units in the Word 97 form of the same structure.
    bool isWide = m_document.fib.version == WordVersion::Word97;
    auto character = [&](std::size_t i) -> char16_t {
        if (isWide)
            return char16_t(bytes.readU16LE(20 + 2 * i).value_or(0));
        auto byte = bytes.readU8(20 + i);
        return byte ? singleByteTable(m_document.codePage)[*byte] : 0;
    };
    std::u16string label;
    for (std::size_t i = 0; i < before; ++i)
        label.push_back(character(i));
    if (level == 11) {
        // A bullet: the text before holds the bullet character, usually in a symbol font.
        std::uint16_t font = bytes.readU16LE(6).value_or(0);
        if (m_document.fonts.isSymbolFont(font)) {
            for (char16_t& c : label)
                c = char16_t(encoding::symbolFontCharacter(m_document.fonts.name(font), std::uint8_t(c < 0x100 ? c : c & 0xFF)));
        }
        for (char16_t& c : label) {
            if (c >= 0xF000 && c <= 0xF0FF)
                c = u'\u2022';
        }
        if (label.empty())
            label.push_back(u'\u2022');
        return label;
    }
    std::size_t index = level == 10 ? 0 : level;
    if (level == 10 && !continues)
        m_word6Numbers[0] = 0;
    m_word6Numbers[index] = m_word6Numbers[index] ? m_word6Numbers[index] + 1 : std::max(start, 0);
    if (level <= 9) {
        for (std::size_t deeper = std::size_t(level) + 1; deeper <= 9; ++deeper)
            m_word6Numbers[deeper] = 0;
    }
    // Word 6's formats: 0 decimal, 1/2 roman, 3/4 letters, 5 ordinal; the same codes as later lists.
    label += ListTable::formatNumber(m_word6Numbers[index], format <= 5 ? format : 0);
    for (std::size_t i = before; i < std::max(before, after); ++i)
        label.push_back(character(i));
    std::erase(label, u'\0');
    return label;
}

void StoryReader::appendLabel(Paragraph& paragraph, const CharacterProperties& markProperties)
{
    const ParagraphProperties& properties = paragraph.properties;
    const ListTable::Level* level = m_document.lists.level(properties.listFormat, properties.listLevel);
    if (!level) {
        auto text = word6Label(properties);
        if (!text || text->empty())
            return;
        text->push_back(u'\t');
        kit::Attributes attributes = m_formatting.attributes(markProperties);
        attributes.listLabel = true;
        paragraph.spans.push_back({ toUtf8(*text), attributes });
        return;
    }
    m_lastWasNumbered = false;
    auto text = m_document.lists.nextLabel(properties.listFormat, properties.listLevel);
    if (!text || text->empty())
        return;
    CharacterProperties label = markProperties;
    forEachSprm(level->characterGrpprl, m_document.fib.version, [&](const Sprm& sprm) { label.apply(sprm, markProperties); });
    std::uint16_t font = label.fonts[0];
    bool isSymbol = m_document.fonts.isSymbolFont(font);
    std::u16string shown;
    bool mapped = false;
    for (char16_t unit : *text) {
        if ((unit >= 0xF000 && unit <= 0xF0FF) || (isSymbol && unit >= 0x20 && unit < 0x100)) {
            char32_t c = encoding::symbolFontCharacter(m_document.fonts.name(font), std::uint8_t(unit & 0xFF));
            // A glyph no Unicode character stands for still shows as a bullet.
            appendCodePoint(shown, c >= 0xF000 && c <= 0xF0FF ? U'\u2022' : c);
            mapped = true;
        } else {
            shown.push_back(unit);
        }
    }
    kit::Attributes attributes = m_formatting.attributes(label);
    if (mapped) {
        // The glyph is a Unicode character now: the symbol font would draw some other glyph for it.
        attributes.fontFamily = m_formatting.attributes(markProperties).fontFamily;
        if (attributes.fontFamilyEastAsian == attributes.fontFamily)
            attributes.fontFamilyEastAsian.clear();
    }
    attributes.listLabel = true;
    attributes.link.clear();
    if (level->follow == 0)
        shown.push_back(u'\t');
    else if (level->follow == 1)
        shown.push_back(u' ');
    paragraph.spans.push_back({ toUtf8(shown), attributes });
}

void StoryReader::appendCharacters(Paragraph& paragraph, std::uint32_t from, std::uint32_t to, const CharacterProperties& properties,
    const kit::Attributes& attributes, std::vector<std::uint32_t>& textBoxes)
{
    const std::u16string& text = m_document.pieces.text();
    bool isWord6 = m_document.fib.version == WordVersion::Word6;
    bool isOmitted = properties.isDeleted || properties.hidden;
    std::uint16_t font = properties.fonts[0];
    bool isSymbolFont = m_document.fonts.isSymbolFont(font);
    // Word 6 text is in the document's code page unless the font names a character set of its own; "ANSI"
    // and "default" fonts take the code page of the system the document was written on.
    std::uint8_t charset = m_document.fonts.charset(font);
    int fontCodePage = isWord6 && charset > 1 ? encoding::codePageForCharset(charset) : 0;
    bool redecode = isWord6 && fontCodePage && fontCodePage != m_document.codePage && fontCodePage != encoding::kCodePageSymbol
        && !encoding::isDoubleByteCodePage(fontCodePage);
    std::array<char16_t, 256> fontBytes {};
    if (redecode)
        fontBytes = singleByteTable(fontCodePage);

    std::u16string run;
    auto flush = [&] {
        if (!run.empty()) {
            appendText(paragraph, toUtf8(run), attributes);
            run.clear();
        }
    };
    for (std::uint32_t cp = from; cp < to; ++cp) {
        char16_t c = text[cp];
        if (auto [mark, last] = m_document.bookmarks.equal_range(cp); mark != last) {
            flush();
            for (; mark != last && m_pendingAnchors.size() < 64; ++mark)
                m_pendingAnchors.push_back(mark->second);
        }
        if (c == kFieldBegin || c == kFieldSeparator || c == kFieldEnd) {
            flush();
            if (c == kFieldBegin) {
                if (m_fields.size() < kMaximumFieldDepth)
                    m_fields.push_back({});
            } else if (!m_fields.empty()) {
                if (c == kFieldSeparator) {
                    m_fields.back().inResult = true;
                    std::string code = toUtf8(m_fields.back().code);
                    m_fields.back().link = hyperlinkOfInstruction(code);
                    m_fields.back().pageField = pageFieldOfInstruction(code);
                } else {
                    m_fields.pop_back();
                }
            }
            continue;
        }
        if (!isShowingText()) {
            if (!m_fields.empty() && !m_fields.back().inResult && m_fields.back().code.size() < kMaximumFieldCode)
                m_fields.back().code.push_back(c);
            continue;
        }
        if (isOmitted)
            continue;
        if (properties.isSpecial) {
            if (c == 0x01) {
                flush();
                if (properties.pictureOffset) {
                    const ByteReader& stream = isWord6 ? m_document.wordDocument : m_document.data;
                    if (auto picture = inlinePicture(stream, *properties.pictureOffset, m_document.wordDocument))
                        appendAttachment(paragraph, std::move(*picture), attributes);
                }
                continue;
            }
            if (c == 0x08) {
                flush();
                auto anchor = m_document.anchors.find(cp);
                if (anchor == m_document.anchors.end())
                    continue;
                std::uint32_t shapeId = anchor->second.shapeId;
                // A group's members carry the text boxes; the group itself has none.
                bool hasText = false;
                for (std::uint32_t member : m_document.drawing.groupMembers(shapeId)) {
                    if (m_document.textBoxes.count(member)) {
                        textBoxes.push_back(member);
                        hasText = true;
                    }
                }
                const OfficeArt::Shape* shape = m_document.drawing.shape(shapeId);
                const ShapeAnchor& frame = anchor->second;
                kit::Size size { std::clamp(twipsToPoints(double(frame.right) - frame.left), 1.f, 2000.f),
                    std::clamp(twipsToPoints(double(frame.bottom) - frame.top), 1.f, 2000.f) };
                if (m_document.textBoxes.count(shapeId)) {
                    textBoxes.push_back(shapeId);
                    if (shape) {
                        std::size_t at = 0;
                        for (const Span& span : paragraph.spans)
                            at += span.text.size();
                        paragraph.frameAnchors.push_back({ at, shapeId, textBoxFrame(*shape, frame, size), shape->textInsets });
                    }
                    continue;
                }
                if (hasText || !shape || !shape->pictureIndex)
                    continue;
                if (auto picture = m_document.drawing.picture(shape->pictureIndex, m_document.wordDocument, size)) {
                    picture->alternativeText = shape->description;
                    picture->placement = shapePlacement(frame);
                    appendAttachment(paragraph, std::move(*picture), attributes);
                }
                continue;
            }
            if (c == 0x02) {
                if (!m_noteMark.empty()) {
                    run += m_noteMark;
                } else if (auto reference = m_document.noteReferences.find(cp); reference != m_document.noteReferences.end()) {
                    flush();
                    std::size_t at = 0;
                    for (const Span& span : paragraph.spans)
                        at += span.text.size();
                    paragraph.noteReferences.push_back({ at, cp });
                    run += reference->second;
                }
                continue;
            }
            if (properties.symbolFont) {
                run += symbolText(properties, properties.symbolCharacter);
                continue;
            }
            if (c < 0x20)
                continue;
        }
        switch (c) {
        case 0x09:
            run.push_back(u'\t');
            continue;
        case 0x0B:
            run.push_back(u'\u2028');
            continue;
        case 0x0E: {
            // A column break: in a cell it breaks the line; elsewhere it ends the paragraph's text there and
            // the writer marks what follows as starting the next column.
            if (paragraph.depth > 0) {
                run.push_back(u'\u2028');
                continue;
            }
            flush();
            std::size_t at = 0;
            for (const Span& span : paragraph.spans)
                at += span.text.size();
            paragraph.columnBreaks.push_back(at);
            run.push_back(u'\n');
            continue;
        }
        case kPageBreak:
            run.push_back(u'\f');
            continue;
        case 0x1E:
            run.push_back(u'\u2011');
            continue;
        case 0x1F:
            run.push_back(u'\u00AD');
            continue;
        case 0xFFFE:
        case 0xFFFF:
            continue;
        default:
            break;
        }
        if (c < 0x20)
            continue;
        if (isWord6) {
            auto byte = m_document.pieces.rawByte(cp);
            if (byte && fontCodePage == encoding::kCodePageSymbol) {
                appendCodePoint(run, encoding::symbolFontCharacter(m_document.fonts.name(font), *byte));
                continue;
            }
            if (byte && redecode)
                c = fontBytes[*byte];
            run.push_back(c);
            continue;
        }
        if (isSymbolFont && (c < 0x100 || (c >= 0xF000 && c <= 0xF0FF))) {
            appendCodePoint(run, encoding::symbolFontCharacter(m_document.fonts.name(font), std::uint8_t(c & 0xFF)));
            continue;
        }
        run.push_back(c);
    }
    flush();
}

void StoryReader::readParagraph(std::uint32_t start, std::uint32_t mark, std::uint32_t end, char terminator, std::vector<Paragraph>& out)
{
    const std::u16string& text = m_document.pieces.text();
    bool hasMark = mark < end;
    std::uint32_t propertiesCp = hasMark ? mark : (mark > start ? mark - 1 : start);
    std::optional<TableProperties> row;
    Paragraph paragraph;
    paragraph.properties = m_formatting.paragraphProperties(propertiesCp, &row);
    paragraph.terminator = terminator;
    const CharacterProperties paragraphStyle = m_document.styles.characterProperties(paragraph.properties.istd);
    CharacterProperties markProperties = paragraphStyle;
    if (hasMark)
        markProperties = m_formatting.segmentAt(mark, mark + 1, paragraphStyle).properties;
    paragraph.terminatorAttributes = m_formatting.attributes(markProperties);

    int depth = paragraph.properties.depth();
    bool isCellMark = hasMark && text[mark] == kCellMark;
    if (depth == 1) {
        paragraph.endsRow = isCellMark && paragraph.properties.isRowEnd;
        paragraph.endsCell = isCellMark && !paragraph.endsRow;
    } else if (depth > 1) {
        paragraph.endsRow = paragraph.properties.isInnerRowEnd;
        paragraph.endsCell = !paragraph.endsRow && paragraph.properties.isInnerCellEnd;
    }
    paragraph.depth = depth;
    if (paragraph.endsRow)
        paragraph.row = std::move(row);

    if (!paragraph.endsRow && isShowingText())
        appendLabel(paragraph, markProperties);
    std::vector<std::uint32_t> textBoxes;
    for (std::uint32_t cp = start; cp < mark;) {
        Formatting::Segment segment = m_formatting.segmentAt(cp, mark, paragraphStyle);
        appendCharacters(paragraph, cp, segment.end, segment.properties, m_formatting.attributes(segment.properties), textBoxes);
        cp = segment.end;
    }
    out.push_back(std::move(paragraph));
    if (!textBoxes.empty())
        insertTextBoxes(textBoxes, out, out.size() - 1);
}

void StoryReader::insertTextBoxes(const std::vector<std::uint32_t>& shapes, std::vector<Paragraph>& out, std::size_t anchorIndex)
{
    if (m_textBoxDepth >= kMaximumTextBoxDepth)
        return;
    std::vector<Paragraph> boxes;
    auto savedFields = std::move(m_fields);
    auto savedMark = std::move(m_noteMark);
    ++m_textBoxDepth;
    for (std::uint32_t shape : shapes) {
        if (!m_placedTextBoxes.insert(shape).second)
            continue;
        auto range = m_document.textBoxes.at(shape);
        std::size_t first = boxes.size();
        read(range.first, range.second, boxes);
        for (std::size_t i = first; i < boxes.size(); ++i) {
            if (!boxes[i].frameShape)
                boxes[i].frameShape = shape;
        }
    }
    --m_textBoxDepth;
    m_fields = std::move(savedFields);
    m_noteMark = std::move(savedMark);
    if (boxes.empty())
        return;
    const Paragraph& anchor = out[anchorIndex];
    if (anchor.depth > 0) {
        // Inside a table the boxes' text joins the anchor's cell; before the cell's last paragraph, so the
        // cell still ends where Word ends it.
        for (auto& box : boxes) {
            box.frameShape.reset(); // a box in a table keeps its text in the cell
            box.depth = anchor.depth;
            box.endsCell = box.endsRow = false;
            box.row.reset();
            if (box.terminator == '\f')
                box.terminator = '\n';
        }
    }
    std::size_t at = anchor.endsCell || anchor.endsRow ? anchorIndex : anchorIndex + 1;
    out.insert(out.begin() + std::ptrdiff_t(at), std::make_move_iterator(boxes.begin()), std::make_move_iterator(boxes.end()));
}

void StoryReader::read(std::uint32_t start, std::uint32_t end, std::vector<Paragraph>& out)
{
    end = std::min(end, m_document.pieces.length());
    if (start >= end || end - start > m_budget)
        return;
    m_budget -= end - start;
    m_fields.clear();
    std::uint32_t cp = start;
    OutputBudget& budget = OutputBudget::current();
    while (cp < end && !budget.isExhausted()) {
        char terminator = '\n';
        auto mark = findMark(cp, end, terminator);
        std::size_t first = out.size();
        readParagraph(cp, mark ? *mark : end, end, terminator, out);
        markSectionStart(cp, first, out);
        cp = mark ? *mark + 1 : end;
        // The paragraphs stay alive until the table writer has turned them into text: they count too.
        for (std::size_t i = first; i < out.size(); ++i) {
            std::size_t cost = sizeof(Paragraph);
            for (const auto& span : out[i].spans)
                cost += sizeof(span) + span.text.size();
            budget.charge(cost);
        }
    }
    m_fields.clear();
}

void StoryReader::markSectionStart(std::uint32_t cp, std::size_t first, std::vector<Paragraph>& out)
{
    // Only the main text holds sections; text boxes read inside it come after their anchor's paragraph.
    const auto& sections = m_document.sections;
    if (m_textBoxDepth > 0 || first >= out.size() || cp >= m_document.fib.storyLength(Story::Main))
        return;
    bool begins = false;
    while (m_nextSection < sections.size() && sections[m_nextSection].startCp <= cp) {
        ++m_nextSection;
        begins = true;
    }
    if (begins)
        out[first].startsSection = int(m_nextSection - 1);
}

void StoryReader::readNote(const Note& note, std::vector<Paragraph>& out)
{
    m_noteMark = note.mark;
    read(note.textStart, note.textEnd, out);
    m_noteMark.clear();
}

void StoryReader::readUnplacedTextBoxes(std::vector<Paragraph>& out)
{
    for (const auto& [shape, range] : m_document.textBoxes) {
        if (m_placedTextBoxes.insert(shape).second)
            read(range.first, range.second, out);
    }
}

} // namespace importer::doc
