#include "import/rtf/RtfReader.h"

#include "import/common/Encoding.h"
#include "import/common/DocumentMarks.h"
#include "import/common/FloatingObject.h"
#include "import/common/OutputBudget.h"

#include <algorithm>

namespace importer::rtf {

namespace {

// Groups nested deeper than this share their parent's state: real documents stay far below it, and the
// state stack of a hostile file must not grow without end.
constexpr std::size_t kMaximumGroupDepth = 256;
// Work is counted in tokens, styles replayed included; a file may cost this many per byte before the
// reader gives up and keeps what it has.
constexpr std::size_t kWorkPerByte = 64;
constexpr std::size_t kMinimumWork = 1 << 20;

} // namespace

RtfReader::RtfReader(std::span<const std::uint8_t> data)
    : m_tokenizer(data)
    , m_data(data)
{
    m_workBudget = std::max(kMinimumWork, data.size() * kWorkPerByte);
    m_states.emplace_back();
    for (int i = 0; i < 2; ++i) {
        auto story = std::make_unique<Story>();
        Story* target = story.get();
        story->tables = std::make_unique<RtfTableBuilder>(
            [this, target](Paragraph&& paragraph) { emit(*target, std::move(paragraph)); }, m_nextTableId);
        m_stories.push_back(std::move(story));
    }
}

std::shared_ptr<kit::TextStorage> RtfReader::read()
{
    while (m_work++ < m_workBudget) {
        Token token = m_tokenizer.next();
        if (token.type == TokenType::End)
            break;
        switch (token.type) {
        case TokenType::GroupStart:
            groupStart();
            break;
        case TokenType::GroupEnd:
            groupEnd();
            break;
        case TokenType::ControlWord:
            controlWord(token.word, token.hasParameter, token.parameter);
            break;
        case TokenType::ControlSymbol:
            controlSymbol(token.symbol);
            break;
        case TokenType::Text:
            textBytes(token.bytes);
            break;
        case TokenType::HexByte:
            hexByte(token.byte);
            break;
        case TokenType::Binary:
            binaryData(token.bytes);
            break;
        case TokenType::End:
            break;
        }
    }
    flushText();
    // Whatever is still open ends here: a missing closing brace loses nothing. The paragraph being written
    // ends with the state it was written in (in a table cell, say).
    if (!story().current.runs.empty())
        story().tables->addParagraph(takeParagraph(""));
    while (m_states.size() > 1)
        groupEnd();
    for (std::size_t i = 0; i < m_stories.size(); ++i) {
        Story& story = *m_stories[i];
        if (!story.current.runs.empty()) {
            // The last paragraph needs no \par; it is read with the state of the outermost group.
            state().story = int(i);
            story.tables->addParagraph(takeParagraph(""));
        }
        story.tables->finish();
    }
    auto storage = std::make_shared<kit::TextStorage>(std::move(m_stories[0]->output));
    std::shared_ptr<const kit::PageSetup> setup = finishPageSetup(*storage);
    const kit::TextStorage& notes = m_stories[1]->output;
    if (notes.length()) {
        if (storage->length() && storage->string().back() != '\n' && storage->string().back() != '\f') {
            // The body's last paragraph ends here, in its last character's style; a picture there stays one.
            kit::Attributes end = storage->attributesAt(storage->length() - 1);
            end.attachment.reset();
            storage->append("\n", end);
        }
        std::size_t notesStart = storage->length();
        storage->append(notes);
        // The document's own pages place each note at the foot of its reference's page (or at the end).
        if (setup) {
            auto withNotes = std::make_shared<kit::PageSetup>(*setup);
            withNotes->notes = placedNotes(notesStart, storage->length());
            setup = std::move(withNotes);
        }
    }
    storage->setPageSetup(std::move(setup));
    return storage;
}

std::vector<kit::Note> RtfReader::placedNotes(std::size_t notesStart, std::size_t length) const
{
    // Each note's text runs from its first paragraph to the next note's, in the notes that follow the body.
    std::vector<kit::Note> placed;
    for (auto it = m_noteTextStarts.begin(); it != m_noteTextStarts.end(); ++it) {
        std::size_t start = notesStart + it->second;
        std::size_t end = std::next(it) == m_noteTextStarts.end() ? length : notesStart + std::next(it)->second;
        if (start >= end || end > length)
            continue;
        kit::Note note;
        std::size_t number = std::size_t(it->first);
        note.kind = number < m_noteIsEndnote.size() && m_noteIsEndnote[number] ? kit::NoteKind::Endnote
                                                                               : kit::NoteKind::Footnote;
        note.mark = std::to_string(number + 1);
        // The reference mark ends where the note's group began; a note whose reference is unknown points at
        // its own text, which keeps it after the body.
        auto reference = m_noteReferenceBytes.find(it->first);
        note.reference = reference != m_noteReferenceBytes.end() && reference->second > 0 && reference->second <= notesStart
            ? reference->second - 1
            : start;
        note.text = { start, end - start };
        placed.push_back(std::move(note));
    }
    return placed;
}

void RtfReader::groupStart()
{
    flushText();
    m_skipCount = 0;
    if (m_states.size() >= kMaximumGroupDepth) {
        ++m_overflowDepth;
        return;
    }
    GroupState copy = state();
    if (copy.destination == Destination::StyleSheet)
        copy.destination = Destination::StyleEntry;
    m_states.push_back(std::move(copy));
}

void RtfReader::groupEnd()
{
    flushText();
    m_skipCount = 0;
    m_nextIsIgnorable = false;
    if (m_overflowDepth) {
        --m_overflowDepth;
        return;
    }
    if (m_states.size() <= 1)
        return; // an extra closing brace: the document group is never closed early
    if (m_states.size() == 2 && !story().current.runs.empty()) {
        // The document's closing brace ends its last paragraph, with the state it was written in.
        story().tables->addParagraph(takeParagraph(""));
    }
    GroupState closed = std::move(m_states.back());
    m_states.pop_back();
    endDestination(closed);
    if (m_shape.depth > m_states.size())
        m_shape = {}; // the shape's group is closed
    while (!m_fields.empty() && m_fields.back().depth > m_states.size())
        m_fields.pop_back();
}

void RtfReader::endDestination(const GroupState& closed)
{
    const GroupState& parent = state();
    if (closed.destination == Destination::Picture && parent.destination != Destination::Picture) {
        finishPicture();
    } else if (closed.destination == Destination::ShapePropertyNumber && parent.destination != Destination::ShapePropertyNumber) {
        finishShapeProperty();
    } else if (closed.destination == Destination::FontTable) {
        m_fonts.endGroup(parent.destination != Destination::FontTable);
    } else if (closed.destination == Destination::StyleEntry && parent.destination != Destination::StyleEntry) {
        m_styles.finishEntry();
    } else if (closed.destination == Destination::BookmarkName && parent.destination != Destination::BookmarkName) {
        std::size_t first = m_bookmarkName.find_first_not_of(' ');
        std::size_t last = m_bookmarkName.find_last_not_of(' ');
        if (first != std::string::npos && m_pendingAnchors.size() < 64)
            m_pendingAnchors.push_back(m_bookmarkName.substr(first, last - first + 1));
    } else if (closed.destination == Destination::ListOverrideTable && parent.destination == Destination::ListOverrideTable) {
        if (m_listOverrideNumber)
            m_lists.addOverride(m_listOverrideNumber, m_listOverrideId);
        m_listOverrideNumber = m_listOverrideId = 0;
    }
    if (closed.story >= 1 && parent.story == 0) {
        // The end of a note, header or footer: its last paragraph needs no \par to end.
        Story& notes = *m_stories[std::size_t(closed.story)];
        if (notes.current.hasText()) {
            m_states.push_back(closed);
            finishParagraph("\n");
            m_states.pop_back();
        }
        notes.current = {};
    }
}

void RtfReader::controlSymbol(char symbol)
{
    flushText();
    if (symbol == '*') {
        m_nextIsIgnorable = true;
        return;
    }
    if (m_skipCount > 0) {
        --m_skipCount;
        return;
    }
    switch (symbol) {
    case '\\':
    case '{':
    case '}': {
        char text[2] = { symbol, 0 };
        appendText(text);
        break;
    }
    case '~':
        appendCharacter(0x00A0);
        break;
    case '-':
        appendCharacter(0x00AD);
        break;
    case '_':
        appendCharacter(0x2011);
        break;
    case '\t':
        appendText("\t");
        break;
    case ':':
        break; // a sub-entry separator of index entries, which are not shown
    default:
        break;
    }
}

void RtfReader::textBytes(std::span<const std::uint8_t> bytes)
{
    while (m_skipCount > 0 && !bytes.empty()) {
        --m_skipCount;
        bytes = bytes.subspan(1);
    }
    if (bytes.empty())
        return;
    m_pendingHighSurrogate = 0;
    switch (state().destination) {
    case Destination::StyleEntry:
        m_styles.appendName(bytes);
        return;
    case Destination::Skip:
    case Destination::StyleSheet:
    case Destination::ListTable:
    case Destination::ListLevel:
    case Destination::ListOverrideTable:
    case Destination::LevelNumbers:
        return;
    case Destination::Picture:
        m_picture.appendHex(bytes);
        return;
    case Destination::ColorTable:
        for (std::uint8_t byte : bytes) {
            if (byte == ';')
                m_colors.endEntry();
        }
        return;
    case Destination::LevelText:
        if (auto* level = m_lists.currentLevel()) {
            for (std::uint8_t byte : bytes) {
                if (level->text.size() < kMaxListLabelTemplate)
                    level->text.push_back(byte >= 0x80 ? RtfListTable::kRawByteFlag | byte : byte);
            }
        }
        return;
    default:
        m_pendingBytes.insert(m_pendingBytes.end(), bytes.begin(), bytes.end());
    }
}

void RtfReader::hexByte(std::uint8_t byte)
{
    if (m_skipCount > 0) {
        --m_skipCount;
        return;
    }
    switch (state().destination) {
    case Destination::Picture:
        m_picture.appendBinary(std::span(&byte, 1));
        return;
    case Destination::LevelText:
        if (auto* level = m_lists.currentLevel()) {
            if (level->text.size() < kMaxListLabelTemplate)
                level->text.push_back(byte >= 0x80 ? RtfListTable::kRawByteFlag | byte : byte);
        }
        return;
    default:
        m_pendingBytes.push_back(byte);
    }
}

void RtfReader::binaryData(std::span<const std::uint8_t> bytes)
{
    flushText();
    if (m_skipCount > 0) {
        --m_skipCount;
        return;
    }
    if (state().destination == Destination::Picture)
        m_picture.appendBinary(bytes);
}

const RtfFontTable::Font* RtfReader::currentFont() const
{
    return m_fonts.font(state().character.font < 0 ? m_defaultFont : state().character.font);
}

std::string RtfReader::decodeBytes(std::span<const std::uint8_t> bytes) const
{
    // A font's name is in its charset's code page, but a symbol font's name is plain text, not glyph numbers.
    bool isFontName = state().destination == Destination::FontTable;
    const RtfFontTable::Font* font = isFontName ? &m_fonts.entry() : currentFont();
    if (font && font->isSymbol && !isFontName) {
        std::string out;
        for (std::uint8_t byte : bytes)
            encoding::appendUtf8(out, encoding::symbolFontCharacter(font->name, byte));
        return out;
    }
    int codePage = font && font->codePage ? font->codePage : m_documentCodePage;
    return encoding::decode(bytes, codePage);
}

void RtfReader::flushText()
{
    if (m_pendingBytes.empty())
        return;
    std::string text = decodeBytes(m_pendingBytes);
    m_pendingBytes.clear();
    appendText(text);
}

void RtfReader::appendCharacter(char32_t character)
{
    flushText();
    const RtfFontTable::Font* font = currentFont();
    if (font && font->isSymbol && character >= 0xF020 && character <= 0xF0FF)
        character = encoding::symbolFontCharacter(font->name, std::uint8_t(character - 0xF000));
    std::string utf8;
    encoding::appendUtf8(utf8, character);
    appendText(utf8);
}

void RtfReader::appendText(std::string_view utf8)
{
    switch (state().destination) {
    case Destination::Body:
        appendBodyText(utf8);
        return;
    case Destination::FontTable:
        m_fonts.appendName(utf8);
        return;
    case Destination::FieldInstruction:
        if (!m_fields.empty() && m_fields.back().instruction.size() < 4096)
            m_fields.back().instruction.append(utf8);
        return;
    case Destination::ShapePropertyName:
        if (m_shapePropertyName.size() < 64)
            m_shapePropertyName.append(utf8);
        return;
    case Destination::PictureDescription:
        m_picture.appendAlternativeText(utf8);
        return;
    case Destination::ShapePropertyNumber:
        if (m_shapeValue.size() < 32)
            m_shapeValue.append(utf8);
        return;
    case Destination::BookmarkName:
        if (m_bookmarkName.size() < 256)
            m_bookmarkName.append(utf8);
        return;
    default:
        return;
    }
}

void RtfReader::appendBodyText(std::string_view utf8)
{
    if (state().character.hidden || state().isUprAnsiPart)
        return;
    // Controls mean nothing on paper (\line and \page bring their own characters), and a literal U+FFFC would
    // stand for a picture that is not there: the text is cleaned as every reader cleans its text.
    std::string clean = encoding::cleanMarkupText(utf8, encoding::LineEnds::AreDropped);
    if (clean.empty())
        return;
    auto attributes = currentAttributes();
    auto& runs = story().current.runs;
    // A bookmark marks the first character after it, in a run of its own; several at one place take the
    // next characters in turn.
    while (!m_pendingAnchors.empty() && !clean.empty() && state().story == 0) {
        std::size_t length = 1;
        while (length < clean.size() && (static_cast<unsigned char>(clean[length]) & 0xC0) == 0x80)
            ++length;
        kit::Attributes marked = *attributes;
        marked.anchor = std::move(m_pendingAnchors.front());
        m_pendingAnchors.pop_front();
        runs.push_back({ clean.substr(0, length), std::make_shared<const kit::Attributes>(std::move(marked)) });
        clean.erase(0, length);
    }
    if (clean.empty())
        return;
    if (!runs.empty() && (runs.back().attributes == attributes || *runs.back().attributes == *attributes))
        runs.back().text += clean;
    else
        runs.push_back({ std::move(clean), attributes });
}

std::shared_ptr<const kit::Attributes> RtfReader::currentAttributes()
{
    GroupState& current = state();
    if (current.attributes)
        return current.attributes;
    const CharacterState& c = current.character;
    kit::Attributes attributes;
    auto fontName = [&](int number) { return m_fonts.name(number < 0 ? m_defaultFont : number); };
    std::string family = fontName(c.font);
    if (!family.empty())
        attributes.fontFamily = family;
    if (c.eastAsianFont >= 0) {
        std::string name = fontName(c.eastAsianFont);
        if (name != attributes.fontFamily)
            attributes.fontFamilyEastAsian = name;
    }
    if (c.complexFont >= 0) {
        std::string name = fontName(c.complexFont);
        if (name != attributes.fontFamily)
            attributes.fontFamilyComplex = name;
    }
    attributes.fontSize = c.fontSize;
    attributes.bold = c.bold;
    attributes.italic = c.italic;
    attributes.underline = c.underline;
    attributes.strikethrough = c.strikethrough;
    attributes.allCaps = c.allCaps;
    attributes.smallCaps = c.smallCaps;
    attributes.foreground = m_colors.color(c.foreground);
    attributes.background = m_colors.color(c.background);
    attributes.superscript = c.superscript;
    attributes.baselineShift = c.baselineShift;
    attributes.link = current.link;
    attributes.pageField = current.pageField;
    attributes.listLabel = current.isListLabel;
    current.attributes = std::make_shared<const kit::Attributes>(std::move(attributes));
    return current.attributes;
}

std::shared_ptr<const kit::ParagraphStyle> RtfReader::paragraphStyle(const ParagraphState& paragraph)
{
    kit::ParagraphStyle style = paragraph.style;
    std::stable_sort(style.tabStops.begin(), style.tabStops.end(),
        [](const kit::TabStop& a, const kit::TabStop& b) { return a.location < b.location; });
    style.tabStops.erase(std::unique(style.tabStops.begin(), style.tabStops.end(),
                             [](const kit::TabStop& a, const kit::TabStop& b) { return a.location == b.location; }),
        style.tabStops.end());
    // The default style is no style at all, as in every other importer, so equal text compares equal.
    static const kit::ParagraphStyle kDefault;
    if (style == kDefault)
        return nullptr;
    if (m_lastParagraphStyle && *m_lastParagraphStyle == style)
        return m_lastParagraphStyle;
    m_lastParagraphStyle = std::make_shared<const kit::ParagraphStyle>(std::move(style));
    return m_lastParagraphStyle;
}

// The list label at the start of a paragraph: its own leading spaces go, and it ends in exactly one tab.
// A list paragraph without a label of its own gets one from the list table.
static void normalizeLabel(Paragraph& paragraph)
{
    auto& runs = paragraph.runs;
    std::size_t labelEnd = 0;
    while (labelEnd < runs.size() && runs[labelEnd].attributes->listLabel)
        ++labelEnd;
    if (labelEnd == 0)
        return;
    std::string label;
    for (std::size_t i = 0; i < labelEnd; ++i)
        label += runs[i].text;
    std::size_t first = label.find_first_not_of(" \t");
    if (first == std::string::npos) {
        runs.erase(runs.begin(), runs.begin() + std::ptrdiff_t(labelEnd));
        return;
    }
    // Trim the leading blanks run by run, then the trailing ones, and end with a tab.
    std::size_t toTrim = first;
    for (std::size_t i = 0; i < labelEnd && toTrim; ++i) {
        std::size_t cut = std::min(toTrim, runs[i].text.size());
        runs[i].text.erase(0, cut);
        toTrim -= cut;
    }
    for (std::size_t i = labelEnd; i-- > 0;) {
        std::string& text = runs[i].text;
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.pop_back();
        if (text.empty())
            continue;
        if (!runs[i].attributes->attachment) {
            text += '\t';
            break;
        }
        // A picture bullet keeps its U+FFFC alone; the tab follows in the label's style.
        kit::Attributes tab = *runs[i].attributes;
        tab.attachment.reset();
        runs.insert(runs.begin() + std::ptrdiff_t(i + 1), { "\t", std::make_shared<const kit::Attributes>(std::move(tab)) });
        ++labelEnd;
        break;
    }
    runs.erase(std::remove_if(runs.begin(), runs.begin() + std::ptrdiff_t(labelEnd), [](const Run& run) { return run.text.empty(); }),
        runs.begin() + std::ptrdiff_t(labelEnd));
}

Paragraph RtfReader::takeParagraph(const char* terminator)
{
    flushText();
    Paragraph paragraph = std::move(story().current);
    story().current = {};
    const ParagraphState& state = this->state().paragraph;
    paragraph.terminator = terminator;
    paragraph.level = state.isInTable ? std::max(1, state.nestingLevel) : 0;
    ParagraphState effective = state;
    bool isBody = this->state().story == 0;
    if (m_pendingSectionBreak && isBody) {
        // A \page right before the \sect has already started the page.
        if (m_sectionBreaksPage && paragraph.level == 0 && !m_bodyEndsInPageBreak)
            effective.style.pageBreakBefore = true;
        m_pendingSectionBreak = false;
        paragraph.startsSection = int(m_pageSections.size() - 1);
    }
    if (m_pendingNoteStart >= 0 && this->state().story == 1) {
        paragraph.startsNote = m_pendingNoteStart;
        m_pendingNoteStart = -1;
    }
    if (m_pendingColumnBreak && isBody && paragraph.level == 0) {
        effective.style.columnBreakBefore = true;
        m_pendingColumnBreak = false;
    }
    if (isBody)
        m_bodyEndsInPageBreak = std::string_view(terminator) == "\f";
    paragraph.style = paragraphStyle(effective);
    paragraph.startsTableAt = state.startsTableAt;
    if (!paragraph.hasVerbatimLabel)
        normalizeLabel(paragraph);
    bool hasLabel = !paragraph.runs.empty() && paragraph.runs.front().attributes->listLabel;
    if (state.listOverride > 0) {
        std::string generated = m_lists.nextLabel(state.listOverride, state.listLevel);
        if (!hasLabel && !generated.empty()) {
            kit::Attributes label = paragraph.runs.empty() ? *currentAttributes() : *paragraph.runs.front().attributes;
            label.listLabel = true;
            label.link.clear();
            label.attachment.reset(); // a paragraph that opens with a picture: the label is text
            paragraph.runs.insert(paragraph.runs.begin(), Run { generated + "\t", std::make_shared<const kit::Attributes>(std::move(label)) });
        }
    }
    auto terminatorAttributes = currentAttributes();
    if (terminatorAttributes->listLabel || !terminatorAttributes->link.empty()) {
        kit::Attributes plain = *terminatorAttributes;
        plain.listLabel = false;
        plain.link.clear();
        terminatorAttributes = std::make_shared<const kit::Attributes>(std::move(plain));
    }
    paragraph.terminatorAttributes = terminatorAttributes;
    return paragraph;
}

void RtfReader::finishParagraph(const char* terminator)
{
    story().tables->addParagraph(takeParagraph(terminator));
}

void RtfReader::finishCell(bool nested)
{
    Paragraph trailing = takeParagraph("");
    int level = nested ? std::max(2, state().paragraph.nestingLevel) : 1;
    trailing.terminator = "\n";
    Story& current = story();
    if (nested)
        level = std::max(2, level);
    current.tables->endCell(level, std::move(trailing));
}

void RtfReader::finishRow(bool nested)
{
    Paragraph trailing = takeParagraph("\n");
    Story& current = story();
    int level = 1;
    if (nested)
        level = std::max(2, std::min(state().paragraph.nestingLevel, current.tables->depth()));
    const RowDefinition& definition = m_rowDefinitions[level];
    current.tables->endRow(level, definition, std::move(trailing));
}

void RtfReader::emit(Story& target, Paragraph&& paragraph)
{
    if (&target == m_stories[0].get()) {
        for (auto [byte, note] : paragraph.noteReferences)
            m_noteReferenceBytes[note] = target.output.length() + byte;
    } else if (m_stories.size() > 1 && &target == m_stories[1].get() && paragraph.startsNote >= 0) {
        m_noteTextStarts.emplace(paragraph.startsNote, target.output.length());
    }
    if (paragraph.startsSection >= 0 && std::size_t(paragraph.startsSection) < m_pageSections.size()
        && &target == m_stories[0].get())
        m_pageSections[std::size_t(paragraph.startsSection)].start = target.output.length();
    std::shared_ptr<const kit::TableCell> cell;
    if (!paragraph.cells.empty())
        cell = paragraph.cells.back();
    // Each distinct run style of the paragraph becomes one attribute object with the paragraph's parts.
    std::vector<std::pair<const kit::Attributes*, std::shared_ptr<const kit::Attributes>>> made;
    auto combine = [&](const std::shared_ptr<const kit::Attributes>& attributes) {
        for (const auto& entry : made) {
            if (entry.first == attributes.get())
                return entry.second;
        }
        kit::Attributes copy = *attributes;
        copy.paragraph = paragraph.style;
        copy.tableCell = cell;
        auto combined = std::make_shared<const kit::Attributes>(std::move(copy));
        made.emplace_back(attributes.get(), combined);
        return combined;
    };
    for (auto& run : paragraph.runs) {
        if (!run.text.empty())
            OutputBudget::current().append(target.output, run.text, combine(run.attributes));
    }
    if (paragraph.terminator.empty())
        return;
    std::shared_ptr<const kit::Attributes> terminatorAttributes = paragraph.terminatorAttributes;
    if (!terminatorAttributes)
        terminatorAttributes = paragraph.runs.empty() ? std::make_shared<const kit::Attributes>() : paragraph.runs.back().attributes;
    OutputBudget::current().append(target.output, paragraph.terminator, combine(terminatorAttributes));
}

void RtfReader::finishPicture()
{
    GroupState& current = state();
    if (current.destination != Destination::Body || current.character.hidden || current.isUprAnsiPart) {
        m_picture = {};
        return;
    }
    flushText();
    kit::Attributes attributes = *currentAttributes();
    attributes.attachment = m_picture.attachment();
    m_picture = {};
    if (auto placement = shapePlacement(); placement && attributes.attachment)
        attributes.attachment = floatingCopy(*attributes.attachment, *placement);
    auto& runs = story().current.runs;
    runs.push_back({ kit::kAttachmentCharacter, std::make_shared<const kit::Attributes>(std::move(attributes)) });
}

void RtfReader::applyStyle(int number, int depth)
{
    const RtfStyleSheet::Style* style = m_styles.style(number);
    if (!style || depth > 8)
        return;
    // Replaying only changes the group's state, never the style sheet, so the pointer stays valid.
    if (style->basedOn >= 0 && style->basedOn != number)
        applyStyle(style->basedOn, depth + 1);
    for (const auto& word : style->words) {
        if (m_work++ >= m_workBudget)
            return;
        // Only formatting is replayed: a style cannot insert text or open destinations.
        if (!characterWord(word))
            paragraphWord(word);
    }
}

RowDefinition& RtfReader::rowDefinition()
{
    return m_rowDefinitions[m_rowLevel];
}

BorderDefinition* RtfReader::borderTarget()
{
    switch (m_borderSide) {
    case BorderSide::Cell:
        return &rowDefinition().pending.borders[std::size_t(m_borderIndex)];
    case BorderSide::Row:
        return &rowDefinition().borders[std::size_t(m_borderIndex)];
    case BorderSide::Page:
        return &m_pageBorder;
    default:
        return nullptr;
    }
}

void RtfReader::controlWord(std::string_view letters, bool hasParameter, int parameter)
{
    flushText();
    bool ignorable = m_nextIsIgnorable;
    m_nextIsIgnorable = false;
    GroupState& current = state();
    KeywordEntry entry = findKeyword(letters);
    ControlWord word { entry.keyword, entry.detail, parameter, hasParameter };
    Keyword keyword = word.keyword;

    if (current.destination == Destination::StyleEntry)
        m_styles.addWord(word);
    if (current.destination == Destination::Skip) {
        // Inside \upr the ANSI text is skipped; its \ud part holds the same text in Unicode.
        if (keyword == Keyword::UnicodePart && current.isUprAnsiPart) {
            current.destination = current.uprDestination;
            current.isUprAnsiPart = false;
        }
        return;
    }
    if (keyword == Keyword::Unicode) {
        if (m_skipCount > 0) {
            --m_skipCount;
            return;
        }
        char32_t value = char32_t(parameter < 0 ? parameter + 65536 : parameter) & 0xFFFF;
        m_skipCount = current.unicodeSkip;
        if (current.destination == Destination::LevelText) {
            if (auto* level = m_lists.currentLevel(); level && level->text.size() < kMaxListLabelTemplate)
                level->text.push_back(value);
            return;
        }
        if (value >= 0xD800 && value <= 0xDBFF) {
            m_pendingHighSurrogate = value;
            return;
        }
        if (value >= 0xDC00 && value <= 0xDFFF && m_pendingHighSurrogate) {
            value = 0x10000 + ((m_pendingHighSurrogate - 0xD800) << 10) + (value - 0xDC00);
        }
        m_pendingHighSurrogate = 0;
        appendCharacter(value);
        return;
    }
    if (m_skipCount > 0) {
        --m_skipCount;
        return;
    }
    m_pendingHighSurrogate = 0;
    if (destinationWord(word))
        return;
    // \* marks a destination to skip when unknown; the character and table styles of the stylesheet carry
    // it too, and are known.
    if (ignorable && keyword != Keyword::CharacterStyle && keyword != Keyword::TableStyle
        && keyword != Keyword::SectionStyle) {
        state().destination = Destination::Skip;
        return;
    }
    if (specialCharacterWord(word) || characterWord(word) || paragraphWord(word) || tableDefinitionWord(word)
        || pageSetupWord(word))
        return;
    documentWord(word);
}

} // namespace importer::rtf
