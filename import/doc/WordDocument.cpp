#include "import/doc/WordDocument.h"

#include "import/common/DocumentMarks.h"
#include "import/common/Encoding.h"
#include "import/doc/CodePages.h"
#include "import/doc/ListTable.h"
#include "import/doc/PageSetupReader.h"
#include "import/doc/StoryReader.h"
#include "import/doc/TableWriter.h"

namespace importer::doc {

namespace {

constexpr std::size_t kFspaSize = 26;
constexpr std::size_t kTextBoxEntrySize = 22;
constexpr std::size_t kSectionEntrySize = 12;
constexpr std::size_t kMaximumEntries = 1 << 20;
// Far more sections than any document has; each becomes a page section with six story slots.
constexpr std::size_t kMaximumSections = 100000;

// A PLC: n + 1 CPs followed by n entries of a fixed size.
struct Plc {
    ByteReader bytes;
    std::size_t count = 0;
    std::size_t entrySize = 0;
    Plc(const ByteReader& table, Fib::Range range, std::size_t size)
        : bytes(table.clippedSlice(range.fc, range.lcb))
        , entrySize(size)
    {
        count = bytes.size() >= 4 ? std::min((bytes.size() - 4) / (4 + size), kMaximumEntries) : 0;
    }
    std::uint32_t cp(std::size_t i) const { return bytes.readU32LE(4 * i).value_or(0); }
    ByteReader entry(std::size_t i) const { return bytes.clippedSlice(4 * (count + 1) + entrySize * i, entrySize); }
};


// The strings of an STTB: Word 97's extended form (0xFFFF, a count, the bytes of extra data after each
// string, then UTF-16 strings after their lengths), or Word 6's (its byte length, then 8-bit strings in the
// document's code page after their lengths).
std::vector<std::string> readStringTable(const ByteReader& sttb, int codePage)
{
    std::vector<std::string> strings;
    auto first = sttb.readU16LE(0);
    if (!first)
        return strings;
    if (*first == 0xFFFF) {
        std::size_t count = sttb.readU16LE(2).value_or(0);
        std::size_t extra = sttb.readU16LE(4).value_or(0);
        std::size_t at = 6;
        while (strings.size() < count) {
            auto length = sttb.readU16LE(at);
            if (!length || !sttb.contains(at + 2, 2 * std::size_t(*length)))
                break;
            strings.push_back(encoding::utf16ToUtf8(sttb.bytes().subspan(at + 2, 2 * std::size_t(*length)), false));
            at += 2 + 2 * std::size_t(*length) + extra;
        }
        return strings;
    }
    std::size_t end = std::min<std::size_t>(*first, sttb.size());
    for (std::size_t at = 2; at < end && strings.size() < kMaximumEntries;) {
        std::size_t length = sttb.readU8(at).value_or(0);
        if (at + 1 + length > end)
            break;
        strings.push_back(encoding::decode(sttb.bytes().subspan(at + 1, length), codePage));
        at += 1 + length;
    }
    return strings;
}

} // namespace

std::optional<ImportError> WordDocument::load()
{
    wordDocument = ByteReader(wordDocumentBytes);
    bool isWord6 = fib.version == WordVersion::Word6;
    table = isWord6 ? wordDocument : ByteReader(tableBytes);
    data = isWord6 ? wordDocument : ByteReader(dataBytes);
    codePage = isWord6 ? codePageForLanguage(fib.lid) : 1252;

    auto range = [&](FibEntry which) { return table.clippedSlice(fib.entry(which).fc, fib.entry(which).lcb); };
    pieces = PieceTable::read(fib, range(FibEntry::Clx), wordDocument, codePage);
    if (pieces.length() == 0 && fib.storyLength(Story::Main) > 0)
        return ImportError::Truncated;
    isTruncated = isTruncated || pieces.isTruncated();
    characterRuns = FormattingRuns::readCharacterRuns(fib, range(FibEntry::PlcfBteChpx), wordDocument);
    paragraphRuns = FormattingRuns::readParagraphRuns(fib, range(FibEntry::PlcfBtePapx), wordDocument, data);
    styles = StyleSheet::read(range(FibEntry::Stshf), fib.version);
    fonts = FontTable::read(range(FibEntry::SttbfFfn), fib.version, codePage);
    if (!isWord6)
        lists = ListTable::read(table, fib.entry(FibEntry::PlfLst), fib.entry(FibEntry::PlfLfo));
    if (auto tab = range(FibEntry::Dop).readU16LE(10); tab && *tab >= 36 && *tab <= 14400)
        defaultTabInterval = twipsToPoints(*tab);

    // Bookmarks: the i-th name starts at the i-th CP of the PLCF of their first characters, whatever the
    // size of its entries (four bytes in Word 97, two in Word 6).
    std::vector<std::string> names = readStringTable(range(FibEntry::SttbfBkmk), codePage);
    ByteReader starts = range(FibEntry::PlcfBkf);
    for (std::size_t i = 0; i < names.size() && starts.contains(4 * i, 4) && 4 * (i + 1) < starts.size(); ++i) {
        if (!names[i].empty())
            bookmarks.emplace(*starts.readU32LE(4 * i), std::move(names[i]));
    }

    ByteReader dop = range(FibEntry::Dop);
    facingPages = dop.readU8(0).value_or(0) & 1;
    separatorStories = dop.readU8(1).value_or(0);

    // Sections: each SED names its properties in WordDocument (none: the defaults); the character ending a
    // section says how the next one starts.
    Plc sectionTable(table, fib.entry(FibEntry::PlcfSed), kSectionEntrySize);
    for (std::size_t i = 0; i < sectionTable.count && sections.size() < kMaximumSections; ++i) {
        Section section;
        section.startCp = sectionTable.cp(i);
        // Starts must grow; a damaged table's others fold into the section before them.
        if (!sections.empty() && section.startCp <= sections.back().startCp)
            continue;
        auto sepx = sectionTable.entry(i).readI32LE(2);
        if (sepx && *sepx >= 0) {
            auto size = wordDocument.readU16LE(std::size_t(*sepx));
            ByteReader grpprl = size ? wordDocument.clippedSlice(std::size_t(*sepx) + 2, *size) : ByteReader();
            forEachSprm(grpprl, fib.version, [&](const Sprm& sprm) { section.properties.apply(sprm); });
        }
        if (!sections.empty())
            sectionBreaks[section.startCp - 1] = section.properties.startsNewPage();
        sections.push_back(section);
    }
    if (!sections.empty())
        sections.front().startCp = 0;

    if (!isWord6) {
        drawing = OfficeArt::read(range(FibEntry::DggInfo));
        // Shapes anchored in the main text, then in the headers and footers, whose positions count from the
        // start of their story.
        const std::pair<FibEntry, std::uint32_t> anchorTables[] = { { FibEntry::PlcSpaMom, 0 },
            { FibEntry::PlcSpaHdr, fib.storyStart(Story::Headers) } };
        for (auto [entryName, base] : anchorTables) {
            Plc shapes(table, fib.entry(entryName), kFspaSize);
            for (std::size_t i = 0; i < shapes.count; ++i) {
                ByteReader entry = shapes.entry(i);
                ShapeAnchor anchor;
                anchor.shapeId = entry.readU32LE(0).value_or(0);
                anchor.left = entry.readI32LE(4).value_or(0);
                anchor.top = entry.readI32LE(8).value_or(0);
                anchor.right = entry.readI32LE(12).value_or(0);
                anchor.bottom = entry.readI32LE(16).value_or(0);
                anchor.flags = entry.readU16LE(20).value_or(0);
                anchors.emplace(base + shapes.cp(i), anchor);
            }
        }
    }
    // Text boxes: each names the shape that shows it; the last entry only reserves space.
    std::uint32_t boxesStart = fib.storyStart(Story::TextBoxes);
    Plc boxes(table, fib.entry(FibEntry::PlcftxbxTxt), kTextBoxEntrySize);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> boxRanges;
    for (std::size_t i = 0; i + 1 <= boxes.count; ++i) {
        std::pair<std::uint32_t, std::uint32_t> text { boxesStart + boxes.cp(i), boxesStart + boxes.cp(i + 1) };
        boxRanges.push_back(text);
        ByteReader entry = boxes.entry(i);
        bool reusable = entry.readU16LE(8).value_or(1) != 0 || i + 1 == boxes.count;
        if (!reusable && text.second > text.first)
            textBoxes[entry.readU32LE(14).value_or(0)] = text;
    }
    for (const auto& [cp, anchor] : anchors) {
        std::vector<std::uint32_t> shapes = drawing.groupMembers(anchor.shapeId);
        shapes.push_back(anchor.shapeId);
        for (std::uint32_t id : shapes) {
            const OfficeArt::Shape* shape = drawing.shape(id);
            if (textBoxes.count(id) || !shape || !shape->textIdentifier)
                continue;
            std::size_t index = *shape->textIdentifier >> 16;
            if (index >= 1 && index <= boxRanges.size() && boxRanges[index - 1].second > boxRanges[index - 1].first)
                textBoxes[id] = boxRanges[index - 1];
        }
    }

    // Notes: references in the main text, texts in their own stories, numbered in order.
    auto readNotes = [&](FibEntry references, FibEntry texts, Story story, std::uint8_t format, std::vector<Note>& notes) {
        Plc refs(table, fib.entry(references), 2);
        Plc bodies(table, fib.entry(texts), 0);
        std::uint32_t base = fib.storyStart(story);
        std::int32_t number = 0;
        for (std::size_t i = 0; i < refs.count && i < bodies.count; ++i) {
            Note note;
            note.referenceCp = refs.cp(i);
            note.textStart = base + bodies.cp(i);
            note.textEnd = base + bodies.cp(i + 1);
            if (refs.entry(i).readI16LE(0).value_or(0) > 0)
                note.mark = ListTable::formatNumber(++number, format);
            if (!note.mark.empty())
                noteReferences[note.referenceCp] = note.mark;
            notes.push_back(note);
        }
    };
    readNotes(FibEntry::PlcffndRef, FibEntry::PlcffndTxt, Story::Footnotes, 0, footnotes);
    readNotes(FibEntry::PlcfendRef, FibEntry::PlcfendTxt, Story::Endnotes, 2, endnotes);
    // The document's endnote position (epc, the low bits at 0x36 of the DOP): 0 is the end of each section.
    if (!endnotes.empty() && !isWord6)
        endnotesAtSectionEnd = (range(FibEntry::Dop).readU16LE(0x36).value_or(3) & 3) == 0;
    return std::nullopt;
}

namespace {

// The notes as the text holds them: each one's text runs from where its first paragraph was written to where
// the next note's begins (the notes stand last, in order); a note whose reference was not written (inside a
// field code, say) keeps its text after the body and points at its own text.
std::vector<kit::Note> notesInText(
    const WordDocument& document, const std::vector<const Note*>& notes, const TableWriter& writer, std::size_t length)
{
    std::vector<kit::Note> placed;
    const auto& starts = writer.noteStarts();
    for (auto it = starts.begin(); it != starts.end(); ++it) {
        std::size_t index = std::size_t(it->first);
        if (index >= notes.size())
            continue;
        std::size_t end = std::next(it) == starts.end() ? length : std::next(it)->second;
        if (end <= it->second)
            continue;
        const Note& note = *notes[index];
        kit::Note out;
        out.kind = index < document.footnotes.size() ? kit::NoteKind::Footnote : kit::NoteKind::Endnote;
        auto reference = writer.noteReferences().find(note.referenceCp);
        out.reference = reference != writer.noteReferences().end() ? reference->second : it->second;
        for (char16_t unit : note.mark)
            encoding::appendUtf8(out.mark, unit >= 0xD800 && unit <= 0xDFFF ? U'\uFFFD' : char32_t(unit));
        out.text = { it->second, end - it->second };
        placed.push_back(std::move(out));
    }
    return placed;
}

} // namespace

ImportResult importWordDocument(WordDocument& document)
{
    ImportResult result;
    result.format = "doc";
    if (auto error = document.load()) {
        result.error = *error;
        return result;
    }
    StoryReader reader(document);
    std::vector<Paragraph> paragraphs;
    reader.read(0, document.fib.storyLength(Story::Main), paragraphs);
    reader.readUnplacedTextBoxes(paragraphs);
    std::vector<const Note*> notes;
    for (const auto* list : { &document.footnotes, &document.endnotes }) {
        for (const Note& note : *list) {
            std::size_t first = paragraphs.size();
            reader.readNote(note, paragraphs);
            if (paragraphs.size() > first)
                paragraphs[first].startsNote = int(notes.size());
            notes.push_back(&note);
        }
    }

    auto storage = std::make_shared<kit::TextStorage>();
    TableWriter writer(*storage, document.defaultTabInterval);
    writer.write(paragraphs);
    applyColumnBreaks(*storage, writer.columnBreaks());
    storage->setPageSetup(readPageSetup(document, reader, writer.sectionStarts(), storage->length()));
    std::vector<kit::Note> placedNotes = notesInText(document, notes, writer, storage->length());
    std::vector<kit::TextFrame> frames = writer.frames();
    if (!placedNotes.empty() || !frames.empty()) {
        auto setup = storage->pageSetup() ? std::make_shared<kit::PageSetup>(*storage->pageSetup())
                                          : std::make_shared<kit::PageSetup>();
        setup->notes = std::move(placedNotes);
        setup->endnotePlacement = document.endnotesAtSectionEnd ? kit::EndnotePlacement::EndOfSection
                                                                : kit::EndnotePlacement::EndOfDocument;
        setup->frames = std::move(frames);
        storage->setPageSetup(std::move(setup));
    }
    result.text = storage;
    if (document.isTruncated)
        result.error = ImportError::Truncated;
    return result;
}

} // namespace importer::doc
