#include "import/docx/DocxReader.h"

#include "import/common/Encoding.h"
#include "import/common/DocumentMarks.h"
#include "import/common/OutputBudget.h"
#include "import/docx/DocxAltChunk.h"
#include "import/docx/DocxMarkup.h"
#include "import/docx/DocxParagraphFormat.h"
#include "import/docx/DocxTableLayout.h"
#include "import/package/ListNumbers.h"
#include "import/package/OfficeUnits.h"
#include "import/package/ScriptRuns.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>

namespace importer::docx {

namespace {

// Restyling a drop capital rewrites the storage's runs; a document gets this many, as no real one has more.
constexpr int kMaxDropCaps = 64;

SectionGeometry sectionGeometry(pugi::xml_node sectPr)
{
    SectionGeometry geometry;
    pugi::xml_node size = sectPr.child("w:pgSz"), margins = sectPr.child("w:pgMar");
    auto twipsOf = [](pugi::xml_node node, const char* name, float fallback) {
        auto value = parseInteger(node.attribute(name).value());
        return value ? std::clamp(std::fabs(twips(*value)), 0.0f, 31680.0f) : fallback;
    };
    float width = twipsOf(size, "w:w", 612), height = twipsOf(size, "w:h", 792);
    float left = twipsOf(margins, "w:left", 72), right = twipsOf(margins, "w:right", 72);
    float top = twipsOf(margins, "w:top", 72), bottom = twipsOf(margins, "w:bottom", 72);
    geometry.textWidth = std::max(width - left - right, 36.0f);
    geometry.textHeight = std::max(height - top - bottom, 36.0f);
    std::string_view type = sectPr.child("w:type").attribute("w:val").value();
    geometry.startsOnNewPage = !(type == "continuous" || type == "nextColumn");

    kit::PageSection& page = geometry.page;
    page.paperSize = { std::max(width, 72.0f), std::max(height, 72.0f) };
    // Landscape is normally written with the sides already swapped; a file that says landscape over a
    // portrait size means the turned page.
    bool landscape = std::string_view(size.attribute("w:orient").value()) == "landscape";
    if (landscape && page.paperSize.width < page.paperSize.height)
        std::swap(page.paperSize.width, page.paperSize.height);
    page.margins = { top, bottom, left, right, twipsOf(margins, "w:header", 36), twipsOf(margins, "w:footer", 36),
        twipsOf(margins, "w:gutter", 0) };
    // A negative top or bottom margin is exact: the header or footer does not push the body.
    auto isNegative = [&](const char* name) { return parseInteger(margins.attribute(name).value()).value_or(0) < 0; };
    page.margins.isTopExact = isNegative("w:top");
    page.margins.isBottomExact = isNegative("w:bottom");
    if (auto titlePg = sectPr.child("w:titlePg"))
        page.titlePage = isOn(titlePg);
    // Columns of one width, or (equalWidth off) each w:col with its own width and the room after it.
    pugi::xml_node columns = sectPr.child("w:cols");
    auto isTrue = [](std::string_view value) { return value == "1" || value == "true" || value == "on"; };
    if (auto equal = columns.attribute("w:equalWidth"); equal && !isTrue(equal.value())) {
        for (auto column : columns.children("w:col")) {
            if (page.unequalColumns.size() >= 16)
                break;
            page.unequalColumns.push_back({ twipsOf(column, "w:w", 0), twipsOf(column, "w:space", 0) });
        }
        if (page.unequalColumns.size() < 2)
            page.unequalColumns.clear();
    }
    auto count = parseInteger(columns.attribute("w:num").value());
    if (!page.unequalColumns.empty() || (count && *count > 1)) {
        page.columnCount = page.unequalColumns.empty() ? int(std::min(*count, 16L)) : int(page.unequalColumns.size());
        page.columnSpacing = twipsOf(columns, "w:space", 36);
        page.columnSeparator = isTrue(columns.attribute("w:sep").value());
    }
    std::string_view alignment = sectPr.child("w:vAlign").attribute("w:val").value();
    page.verticalAlignment = alignment == "center" ? kit::VerticalAlignment::Center
        : alignment == "bottom"                    ? kit::VerticalAlignment::Bottom
        : alignment == "both"                      ? kit::VerticalAlignment::Justified
                                                   : kit::VerticalAlignment::Top;
    // The lines around the pages; their distances are points, from the text unless offsetFrom says the page.
    if (pugi::xml_node borders = sectPr.child("w:pgBorders")) {
        page.borders.measuredFromText = std::string_view(borders.attribute("w:offsetFrom").value()) != "page";
        static const char* const kSides[] = { "w:top", "w:left", "w:bottom", "w:right" };
        for (std::size_t side = 0; side < 4; ++side) {
            pugi::xml_node line = borders.child(kSides[side]);
            if (!line && side % 2)
                line = borders.child(side == 1 ? "w:start" : "w:end");
            if (auto border = parseBorder(line))
                page.borders.sides[side] = *border;
            if (auto space = parseInteger(line.attribute("w:space").value()))
                page.borders.distances[side] = float(std::clamp(*space, 0L, 1000L));
        }
    }
    pugi::xml_node numbers = sectPr.child("w:pgNumType");
    if (auto start = parseInteger(numbers.attribute("w:start").value()))
        page.pageNumberStart = int(std::clamp(*start, -1000000L, 1000000L));
    std::string_view format = numbers.attribute("w:fmt").value();
    if (format == "lowerRoman")
        page.pageNumberFormat = kit::PageNumberFormat::LowerRoman;
    else if (format == "upperRoman")
        page.pageNumberFormat = kit::PageNumberFormat::UpperRoman;
    else if (format == "lowerLetter")
        page.pageNumberFormat = kit::PageNumberFormat::LowerLetter;
    else if (format == "upperLetter")
        page.pageNumberFormat = kit::PageNumberFormat::UpperLetter;
    for (auto reference : sectPr.children()) {
        std::string_view name = reference.name();
        bool header = name == "w:headerReference";
        if (!header && name != "w:footerReference")
            continue;
        std::string_view kind = reference.attribute("w:type").value();
        std::size_t index = kind == "first" ? std::size_t(kit::HeaderFooterKind::First)
            : kind == "even"                ? std::size_t(kit::HeaderFooterKind::Even)
                                            : std::size_t(kit::HeaderFooterKind::Default);
        (header ? geometry.headerIds : geometry.footerIds)[index] = reference.attribute("r:id").value();
    }
    return geometry;
}

} // namespace

DocxReader::DocxReader(DocxPackage& package, int chunkDepth)
    : m_package(package)
    , m_chunkDepth(chunkDepth)
    , m_out(std::make_shared<kit::TextStorage>())
    , m_images(package.archive())
    , m_drawing(package, m_images)
    , m_partName(package.mainPart())
{
}

void DocxReader::readSettings()
{
    std::string eastAsianLanguage, bidiLanguage;
    if (auto settings = m_package.readXmlPart(m_package.relatedPart(m_partName, "settings"))) {
        pugi::xml_node root = settings->root();
        if (auto tab = parseInteger(root.child("w:defaultTabStop").attribute("w:val").value()); tab && *tab > 0)
            m_defaultTabInterval = std::clamp(twips(*tab), 1.0f, 1584.0f);
        if (auto format = root.child("w:footnotePr").child("w:numFmt"))
            m_footnoteFormat = format.attribute("w:val").value();
        if (auto format = root.child("w:endnotePr").child("w:numFmt"))
            m_endnoteFormat = format.attribute("w:val").value();
        if (std::string_view(root.child("w:endnotePr").child("w:pos").attribute("w:val").value()) == "sectEnd")
            m_endnotePlacement = kit::EndnotePlacement::EndOfSection;
        if (auto even = root.child("w:evenAndOddHeaders"))
            m_evenAndOddHeaders = isOn(even);
        pugi::xml_node languages = root.child("w:themeFontLang");
        eastAsianLanguage = languages.attribute("w:eastAsia").value();
        bidiLanguage = languages.attribute("w:bidi").value();
    }
    ThemeFonts theme;
    if (auto part = m_package.readXmlPart(m_package.relatedPart(m_partName, "theme")))
        theme = readThemeFonts(part->root(), eastAsianLanguage, bidiLanguage);
    m_styles = DocxStyles(m_package.readPartBuffer(m_package.relatedPart(m_partName, "styles")), theme);
    m_numbering = DocxNumbering(m_package.readXmlPart(m_package.relatedPart(m_partName, "numbering")), m_styles);
}

void DocxReader::scanSections(pugi::xml_node body)
{
    // A section ends at a paragraph holding its w:sectPr; the body's own w:sectPr describes the last one.
    std::size_t next = 0;
    for (auto child : body.children())
        scanSectionEnd(child, 0, true, next);
    readFinalSection(body.child("w:sectPr"));
}

void DocxReader::scanSectionEnd(pugi::xml_node child, int depth, bool adds, std::size_t& next)
{
    std::string_view name = child.name();
    if (name == "w:p") {
        if (auto sectPr = child.child("w:pPr").child("w:sectPr")) {
            m_sectionEnds[sectPr.internal_object()] = next++;
            if (adds)
                m_sections.push_back(sectionGeometry(sectPr));
        }
    } else if ((name == "w:sdt" || name == "w:customXml") && depth < 8) {
        for (auto inner : (name == "w:sdt" ? child.child("w:sdtContent") : child).children())
            scanSectionEnd(inner, depth + 1, adds, next);
    }
}

namespace {

// Marks between paragraphs: a paragraph's contextual spacing looks past them to the paragraph beside it, so
// a piece of the body carries them and that paragraph.
bool isSiblingLookedThrough(std::string_view name)
{
    std::size_t colon = name.find(':');
    std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
    return local == "bookmarkStart" || local == "bookmarkEnd" || local == "proofErr" || local == "commentRangeStart"
        || local == "commentRangeEnd" || local == "permStart" || local == "permEnd";
}

// A paragraph's neighbour is looked at for its paragraph style only: a piece carries any other as the bare
// element, however long the table it is.
bool isParagraph(std::string_view name)
{
    std::size_t colon = name.find(':');
    return (colon == std::string_view::npos ? name : name.substr(colon + 1)) == "p";
}

// Gives the whole memory pages within bytes back to the system; reading them afterwards gives zeros.
void releasePages(std::string_view bytes)
{
    const std::uintptr_t page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    std::uintptr_t begin = (std::uintptr_t(bytes.data()) + page - 1) / page * page;
    std::uintptr_t end = (std::uintptr_t(bytes.data()) + bytes.size()) / page * page;
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_DONTNEED);
}

// A body is read in pieces of about this many bytes of XML; one piece's tree is a few times as large.
constexpr std::size_t kBodyPieceBytes = 256 * 1024;

// The text that makes a beginning worth handing over: a few pages of prose, a page or two of a table.
constexpr std::size_t kBeginningBytes = 16 * 1024;

} // namespace

std::vector<std::string_view> finalSectionCandidates(std::string_view xml)
{
    std::vector<std::string_view> candidates;
    std::size_t bodyEnd = xml.rfind("</w:body>");
    if (bodyEnd == std::string_view::npos || bodyEnd == 0)
        return candidates;
    std::size_t end = xml.find_last_not_of(" \t\r\n", bodyEnd - 1);
    if (end == std::string_view::npos || xml[end] != '>')
        return candidates;
    ++end;
    std::string_view before = xml.substr(0, end);
    bool closed = before.ends_with("</w:sectPr>");
    if (!closed && !before.ends_with("/>"))
        return candidates;
    for (std::size_t limit = end; limit > 0 && candidates.size() < kFinalSectionCandidates;) {
        std::size_t start = before.rfind("<w:sectPr", limit - 1);
        if (start == std::string_view::npos || end - start > kFinalSectionBytes)
            break;
        limit = start;
        char next = start + 9 < end ? xml[start + 9] : '\0';
        if (next != ' ' && next != '>' && next != '/' && next != '\t' && next != '\r' && next != '\n')
            continue; // w:sectPrChange
        std::string_view markup = xml.substr(start, end - start);
        if (!closed && markup.find('>') + 1 != markup.size())
            break; // an empty element is its one tag
        candidates.push_back(markup);
    }
    return candidates;
}

// The main part's body as the thread that inflated the part scans it: its children, and which of them name a
// w:sectPr, for the reader to take as they come.
class BodyScan {
public:
    // On the inflating thread, once the read ended: bytes is null when there are none.
    void scan(const ZipArchive::Buffer* bytes)
    {
        std::optional<XmlChildScanner> scanner;
        if (bytes)
            scanner.emplace(bytes->view(), "body");
        bool found = scanner && scanner->findElement();
        {
            std::lock_guard lock(m_mutex);
            if (found) {
                m_xml = bytes->view();
                scanner->describeElement(m_element);
            }
            m_state = found ? State::Scanning : State::Failed;
        }
        m_changed.notify_all();
        if (!found)
            return;
        std::vector<XmlChildPieces::Child> children;
        std::vector<std::size_t> naming;
        std::size_t count = 0, publishedBytes = 0;
        auto publish = [&](State state) {
            {
                std::lock_guard lock(m_mutex);
                m_children.insert(m_children.end(), children.begin(), children.end());
                m_naming.insert(m_naming.end(), naming.begin(), naming.end());
                m_state = state;
                if (m_abandoned)
                    return false;
            }
            children.clear();
            naming.clear();
            m_changed.notify_all();
            return true;
        };
        while (std::optional<XmlChildPieces::Child> child = scanner->next()) {
            std::string_view markup = m_xml.substr(child->begin, child->end - child->begin);
            if (memmem(markup.data(), markup.size(), "sectPr", 6))
                naming.push_back(count);
            children.push_back(*child);
            ++count;
            // In batches: a reader waits for a piece's worth, or for the end of a section.
            if (child->end - publishedBytes >= kPublishBytes || (!naming.empty() && naming.back() + 1 == count)) {
                publishedBytes = child->end;
                if (!publish(State::Scanning))
                    return;
            }
        }
        publish(scanner->state() == XmlChildScanner::State::Finished ? State::Finished : State::Failed);
    }

    // Waits until the scan knows whether the body can be read in pieces; false when it cannot (no bytes, or a
    // part to parse whole). Else xml and the element's tags are those of the part.
    bool waitForElement(std::string_view& xml, XmlChildPieces& pieces)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_state != State::Waiting; });
        if (m_state == State::Failed)
            return false;
        xml = m_xml;
        pieces = m_element;
        return true;
    }

    // Waits for children beyond those pieces holds, and appends them and the section-naming ones; complete
    // says whether the scan has ended. False when it found the part cannot be cut after all.
    bool waitForMore(XmlChildPieces& pieces, std::vector<std::size_t>& naming, bool& complete)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_state != State::Scanning || m_children.size() > pieces.children.size(); });
        pieces.children.insert(pieces.children.end(), m_children.begin() + std::ptrdiff_t(pieces.children.size()),
            m_children.end());
        naming.insert(naming.end(), m_naming.begin() + std::ptrdiff_t(naming.size()), m_naming.end());
        complete = m_state == State::Finished;
        return m_state != State::Failed;
    }

    // The reader wants no more: the scan stops at its next batch.
    void abandon()
    {
        std::lock_guard lock(m_mutex);
        m_abandoned = true;
    }

private:
    enum class State { Waiting, Scanning, Finished, Failed };
    static constexpr std::size_t kPublishBytes = 64 * 1024;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    State m_state = State::Waiting;
    bool m_abandoned = false;
    std::string_view m_xml;
    XmlChildPieces m_element; // its tags and head
    std::vector<XmlChildPieces::Child> m_children;
    std::vector<std::size_t> m_naming;
};

bool DocxReader::readBodyInPieces(BodyScan& scan, std::size_t& piecesRead)
{
    piecesRead = 0;
    std::string_view xml;
    XmlChildPieces pieces;
    if (!scan.waitForElement(xml, pieces))
        return false;
    // The piece's own children, without those it carries for context.
    auto eachChild = [](pugi::xml_node body, std::size_t first, std::size_t count, auto&& visit) {
        for (pugi::xml_node child = body.first_child(); child && count; child = child.next_sibling()) {
            if (child.type() != pugi::node_element)
                continue;
            if (first) {
                --first;
                continue;
            }
            --count;
            visit(child);
        }
    };
    std::vector<std::size_t> naming; // children whose markup names a w:sectPr, in order
    bool complete = false;
    auto waitForMore = [&] {
        if (!scan.waitForMore(pieces, naming, complete))
            return false;
        pieces.groupChildren(kBodyPieceBytes, isSiblingLookedThrough, complete);
        return true;
    };
    // A paragraph's section is described where the section ends, which may be pieces later, and a section's
    // end asks whether the next one starts a page: the section-naming children are parsed for it on their
    // own, in order, ahead of the pieces. endsThrough[k]: the sections ended up to naming child k.
    std::vector<std::size_t> endsThrough;
    std::size_t sectionEnds = 0;
    std::optional<XmlPart> finalChild;
    pugi::xml_node finalSection;
    std::size_t finalEnd = 0; // where the markup of the one found from the end ends
    bool finalRead = false, firstFinalSeen = false;
    auto scanNamingChildren = [&] {
        for (std::size_t k = endsThrough.size(); k < naming.size(); ++k) {
            const XmlChildPieces::Child& child = pieces.children[naming[k]];
            std::optional<XmlPart> part = XmlPart::parse(pieces.alone(xml.substr(child.begin, child.end - child.begin)));
            if (!part)
                return false;
            pugi::xml_node node = part->root().child("w:body").first_child();
            scanSectionEnd(node, 0, true, sectionEnds);
            endsThrough.push_back(sectionEnds);
            // The first w:sectPr among the body's children closes the last section (the one found from the
            // end is it, in any body written as it should be).
            if (!firstFinalSeen && std::string_view(node.name()) == "w:sectPr") {
                firstFinalSeen = true;
                if (child.end != finalEnd) {
                    finalSection = node;
                    finalChild = std::move(part);
                }
            }
        }
        // Those were nodes of the trees just parsed (the final section's is kept).
        m_sectionEnds.clear();
        return true;
    };
    // The body's own w:sectPr, its last child, is found from the end of the part's text, so that its note
    // numbering, which the whole body's note references take, is known before the first piece is read.
    // Where it cannot be found that way (a part that writes it otherwise), the first piece waits for the
    // whole body's scan instead.
    bool finalKnown = false;
    for (std::string_view markup : finalSectionCandidates(xml)) {
        std::optional<XmlPart> part = XmlPart::parse(pieces.alone(markup));
        pugi::xml_node node = part ? part->root().child("w:body").first_child() : pugi::xml_node();
        if (std::string_view(node.name()) != "w:sectPr" || node.next_sibling())
            continue;
        finalSection = node;
        finalChild = std::move(part);
        finalEnd = std::size_t(markup.data() + markup.size() - xml.data());
        readNoteNumbering(finalSection);
        finalKnown = true;
        break;
    }
    // The sections ended before child c.
    auto endsBefore = [&](std::size_t c) {
        auto after = std::lower_bound(naming.begin(), naming.begin() + std::ptrdiff_t(endsThrough.size()), c);
        return after == naming.begin() ? std::size_t(0) : endsThrough[std::size_t(after - naming.begin()) - 1];
    };

    for (std::size_t i = 0;; ++i) {
        // A stop asked for (the view went away, say after showing the beginning) ends the read before the
        // next piece is parsed: one may hold a table of megabytes.
        if (!OutputBudget::current().charge(0)) {
            scan.abandon();
            break;
        }
        while ((i >= pieces.pieces.size() || !finalKnown) && !complete) {
            if (!waitForMore())
                return false;
        }
        if (i >= pieces.pieces.size())
            break;
        // The geometry of every section the piece has paragraphs of: the scan goes on until the last of them
        // ends, or the body's own w:sectPr closes the last section.
        for (;;) {
            if (!scanNamingChildren())
                return false;
            if (m_sections.size() > endsBefore(pieces.pieces[i].endChild))
                break;
            if (complete) {
                if (!finalRead)
                    readFinalSection(finalSection);
                finalRead = true;
                break;
            }
            if (!waitForMore())
                return false;
        }
        const XmlChildPieces::Piece& piece = pieces.pieces[i];
        std::size_t first = 0;
        std::optional<XmlPart> part = XmlPart::parse(pieces.pieceText(xml, i, first, isParagraph));
        if (!part)
            return false;
        pugi::xml_node body = part->root().child("w:body");
        std::size_t count = piece.endChild - piece.firstChild;
        // The section ends of this piece's tree, numbered as the scan numbered them.
        m_sectionEnds.clear();
        std::size_t section = endsBefore(piece.firstChild);
        eachChild(body, first, count, [&](pugi::xml_node child) { scanSectionEnd(child, 0, false, section); });
        eachChild(body, first, count, [&](pugi::xml_node child) {
            if (!OutputBudget::current().isExhausted())
                readBlock(child, 0);
        });
        piecesRead = i + 1;
        // The children before the next piece's (and those it carries) are read for good: their markup's
        // memory goes back to the system now, not once the whole body is read. What lies before the first
        // child stays: the scan still compares end tags with the names of the document and body elements.
        if (i + 1 < pieces.pieces.size()) {
            const XmlChildPieces::Piece& next = pieces.pieces[i + 1];
            std::size_t from = pieces.children.front().begin;
            std::size_t to = pieces.children[next.firstChild - next.contextBefore].begin;
            if (to > from)
                releasePages(xml.substr(from, to - from));
        }
        bool last = complete && i + 1 == pieces.pieces.size();
        if (!last && m_out->length() >= kBeginningBytes)
            handOverBeginning();
    }
    m_sectionEnds.clear();
    return true;
}

void DocxReader::handOverBeginning()
{
    // Only the outermost document's body has first pages to show.
    OutputBudget& budget = OutputBudget::current();
    if (m_chunkDepth != 0 || !budget.wantsBeginning())
        return;
    // Up to the last paragraph break: a paragraph whose mark was removed runs on into the next piece.
    const std::string& text = m_out->string();
    std::size_t last = text.find_last_of("\n\f");
    if (last == std::string::npos)
        return;
    auto beginning = std::make_shared<kit::TextStorage>(m_out->substring({ 0, last + 1 }));
    // What the end of the read gives the whole text, so far as it reaches into the beginning.
    applyAnchors(*beginning, m_anchors);
    applyColumnBreaks(*beginning, m_columnBreaks);
    budget.handOverBeginning(std::move(beginning));
}

void DocxReader::readFinalSection(pugi::xml_node sectPr)
{
    if (sectPr) {
        m_sections.push_back(sectionGeometry(sectPr));
        readNoteNumbering(sectPr);
    }
}

void DocxReader::readNoteNumbering(pugi::xml_node sectPr)
{
    if (auto format = sectPr.child("w:footnotePr").child("w:numFmt"))
        m_footnoteFormat = format.attribute("w:val").value();
    if (auto format = sectPr.child("w:endnotePr").child("w:numFmt"))
        m_endnoteFormat = format.attribute("w:val").value();
}

ImportResult DocxReader::read()
{
    // The main part, megabytes of XML in a long document, inflates while the styles are read, and its body
    // is scanned for its children there, while the reader takes the first of them. The body's tree is built
    // a piece at a time: the whole tree of a long document is several times its XML.
    auto scan = std::make_shared<BodyScan>();
    std::future<std::optional<ZipArchive::Buffer>> inflating
        = m_package.readMainPartConcurrently([scan](const ZipArchive::Buffer* bytes) { scan->scan(bytes); });
    readSettings();
    std::string_view xml;
    XmlChildPieces element;
    std::optional<XmlPart> document;
    std::optional<ZipArchive::Buffer> bytes;
    bool inPieces = scan->waitForElement(xml, element);
    if (inPieces)
        document = XmlPart::parse(element.head);
    if (!document) {
        inPieces = false;
        scan->abandon();
        bytes = inflating.get();
        if (bytes)
            document = XmlPart::parse(std::move(bytes->data), bytes->size);
    }
    if (!document) {
        if (m_package.mainPartDamaged())
            return { nullptr, "docx", ImportError::Damaged };
        return { nullptr, "docx", ImportError::NotKnownFormat };
    }
    // The document's page colour (w:background), which every page of every section shows.
    std::optional<kit::Color> pageColor = parseHexColor(document->root().child("w:background").attribute("w:color").value());
    m_body = m_out;
    std::size_t piecesRead = 0;
    if (inPieces && !readBodyInPieces(*scan, piecesRead)) {
        // A piece that would not parse, or markup the scan found it cannot cut through: before any piece was
        // read, the whole part is parsed instead; after, so would the whole part not parse.
        scan->abandon();
        if (piecesRead > 0)
            return { nullptr, "docx", ImportError::NotKnownFormat };
        inPieces = false;
        m_sections.clear(); // the sections scanned ahead are scanned again with the whole part
        bytes = inflating.get();
        document.reset();
        if (bytes)
            document = XmlPart::parse(std::move(bytes->data), bytes->size);
        if (!document)
            return { nullptr, "docx", ImportError::NotKnownFormat };
    }
    if (inPieces) {
        // The bytes the pieces were read from go once the scan is done with them.
        bytes = inflating.get();
    } else {
        pugi::xml_node body = document->root().child("w:body");
        scanSections(body);
        readBlocks(body, 0);
    }
    bytes.reset();
    closeOpenParagraph();
    m_fields.clear();
    std::shared_ptr<kit::PageSetup> setup = makePageSetup();
    for (auto& section : setup->sections)
        section.pageColor = pageColor;
    setup->notes = readNotes();
    setup->endnotePlacement = m_endnotePlacement;
    std::sort(m_frames.begin(), m_frames.end(),
        [](const kit::TextFrame& a, const kit::TextFrame& b) { return a.text.location < b.text.location; });
    setup->frames = std::move(m_frames);
    closeOpenParagraph();
    applyAnchors(*m_out, m_anchors);
    applyColumnBreaks(*m_out, m_columnBreaks);
    m_out->setPageSetup(std::move(setup));
    return { m_out, "docx", {} };
}

std::shared_ptr<kit::PageSetup> DocxReader::makePageSetup()
{
    auto setup = std::make_shared<kit::PageSetup>();
    setup->evenAndOddHeaders = m_evenAndOddHeaders;
    if (m_sections.empty())
        m_sections.push_back({});
    std::size_t start = 0;
    for (auto& section : m_sections) {
        // A section that holds no text (two breaks in a row, or a last one after the end) still counts: its
        // page setup is the one that follows the text before it.
        section.page.start = std::max(section.page.start, start);
        start = section.page.start;
        for (std::size_t kind = 0; kind < kit::kHeaderFooterKinds; ++kind) {
            section.page.headers[kind] = readStory(section.headerIds[kind]);
            section.page.footers[kind] = readStory(section.footerIds[kind]);
        }
        setup->sections.push_back(section.page);
    }
    return setup;
}

std::shared_ptr<kit::TextStorage> DocxReader::readStory(const std::string& relationshipId)
{
    if (relationshipId.empty())
        return nullptr;
    const auto& relationships = m_package.relationships(m_package.mainPart());
    auto relationship = relationships.find(relationshipId);
    if (relationship == relationships.end() || relationship->second.isExternal)
        return nullptr;
    const std::string& partName = relationship->second.target;
    if (auto it = m_stories.find(partName); it != m_stories.end())
        return it->second;
    if (m_stories.size() >= kMaxHeaderFooterParts)
        return nullptr;
    auto part = m_package.readXmlPart(partName);
    m_stories[partName] = nullptr;
    if (!part)
        return nullptr;
    // The story is read with the body's reader, into a storage of its own, as if it were a cell of its own:
    // nothing of the body's open state leaks in or out.
    auto story = std::make_shared<kit::TextStorage>();
    std::swap(m_out, story);
    std::string partBefore = std::exchange(m_partName, partName);
    const CellContext* cellBefore = std::exchange(m_cell, nullptr);
    bool openBefore = std::exchange(m_paragraphOpen, false);
    auto anchorsBefore = std::exchange(m_anchors, {});
    readBlocks(part->root(), 1);
    closeOpenParagraph();
    m_fields.clear();
    std::swap(m_out, story);
    m_partName = partBefore;
    m_cell = cellBefore;
    m_paragraphOpen = openBefore;
    m_anchors = std::move(anchorsBefore);
    m_stories[partName] = story;
    return story;
}

float DocxReader::availableWidth() const
{
    if (m_cell)
        return m_cell->contentWidth;
    return m_sectionIndex < m_sections.size() ? m_sections[m_sectionIndex].textWidth : SectionGeometry {}.textWidth;
}

kit::Size DocxReader::pictureLimit() const
{
    float height = m_sectionIndex < m_sections.size() ? m_sections[m_sectionIndex].textHeight : SectionGeometry {}.textHeight;
    return { availableWidth(), height };
}

kit::Attributes DocxReader::baseAttributes() const
{
    kit::Attributes attributes;
    attributes.paragraph = m_paragraphStyle;
    if (m_cell)
        attributes.tableCell = m_cell->cell;
    attributes.pageField = m_fields.pageField();
    if (!m_fields.link().empty())
        attributes.link = m_fields.link();
    else if (!m_hyperlinks.empty())
        attributes.link = m_hyperlinks.back();
    return attributes;
}

DocxReader::RunFormat DocxReader::makeRunFormat(const RunProperties& run) const
{
    RunFormat format;
    format.hidden = run.hidden.value_or(false);
    format.regular = baseAttributes();
    applyRunProperties(run, false, format.regular);
    kit::Attributes complex = format.regular;
    applyRunProperties(run, true, complex);
    if (!(complex == format.regular))
        format.complex = std::move(complex);
    format.isComplex = run.rightToLeft.value_or(false) || run.complexScript.value_or(false);
    return format;
}

void DocxReader::appendAttributed(std::string_view text, const kit::Attributes& attributes)
{
    if (text.empty())
        return;
    OutputBudget::current().append(*m_out, text, attributes);
    m_paragraphOpen = true;
}

void DocxReader::appendText(std::string_view text, const RunFormat& format)
{
    if (text.empty() || !m_fields.isShowingResult())
        return;
    std::string clean = encoding::cleanMarkupText(text);
    if (format.isComplex && format.complex)
        appendWithScripts(*m_out, clean, *format.complex, nullptr);
    else
        appendWithScripts(*m_out, clean, format.regular, format.complex ? &*format.complex : nullptr);
    m_paragraphOpen = true;
}

void DocxReader::endParagraph(char terminator)
{
    // Inside a table cell a page break cannot end the paragraph: the cell would lose its last break.
    if (terminator == kit::kPageBreak && m_cell)
        terminator = '\n';
    OutputBudget::current().append(*m_out, std::string_view(&terminator, 1), m_markAttributes);
    m_paragraphOpen = false;
}

void DocxReader::closeOpenParagraph()
{
    if (m_paragraphOpen)
        endParagraph('\n');
}

void DocxReader::readBlocks(pugi::xml_node container, int depth)
{
    if (depth > kMaxXmlDepth)
        return;
    for (auto child : container.children()) {
        if (OutputBudget::current().isExhausted())
            return;
        readBlock(child, depth);
    }
}

void DocxReader::readBlock(pugi::xml_node child, int depth)
{
    if (child.type() != pugi::node_element)
        return;
    std::string_view name = child.name();
    if (name == "w:p") {
        readParagraph(child, depth + 1);
    } else if (name == "w:tbl") {
        readTable(child, depth + 1);
    } else if (name == "w:sdt") {
        readBlocks(child.child("w:sdtContent"), depth + 1);
    } else if (name == "w:customXml" || name == "w:ins" || name == "w:moveTo") {
        readBlocks(child, depth + 1);
    } else if (name == "mc:AlternateContent") {
        readBlocks(chooseAlternative(child), depth + 1);
    } else if (name == "w:altChunk") {
        readAltChunk(child);
    } else if (name == "w:r" || name == "w:hyperlink" || name == "w:fldSimple") {
        // Runs straight in a cell or the body: Word would refuse them, but their text is still the document's.
        readInlineElement(child, depth + 1);
    }
}

void DocxReader::readParagraph(pugi::xml_node paragraph, int depth)
{
    ParagraphFormat format = resolveParagraphFormat(paragraph, m_styles, m_numbering, m_cell ? m_cell->format : nullptr, m_defaultTabInterval);
    kit::ParagraphStyle& paragraphStyle = format.paragraphStyle;

    std::size_t paragraphStart = m_out->length();
    std::optional<NumberingLabel> label;
    if (format.level && !m_paragraphOpen)
        label = m_numbering.nextLabel(*format.numberingId, format.numberingLevel);
    if (label && label->suffix == LabelSuffix::Tab)
        addLabelTabStop(paragraphStyle);

    // A paragraph whose mark was deleted or hidden continues the one before: it keeps that one's formatting.
    // After a drop capital it is the other way round: the letters take the paragraph's formatting.
    if (!m_paragraphOpen || m_dropCapStart) {
        m_paragraphStyle = m_paragraphStyles.intern(paragraphStyle);
        m_paragraphRun = format.paragraphRun;
    }
    if (m_dropCapStart) {
        std::size_t start = *m_dropCapStart;
        m_dropCapStart.reset();
        auto style = m_paragraphStyle;
        m_out->modifyAttributes({ start, m_out->length() - start }, [&](kit::Attributes& attributes) { attributes.paragraph = style; });
    }
    kit::Attributes markAttributes = baseAttributes();
    markAttributes.link.clear();
    applyRunProperties(format.markRun, false, markAttributes);

    if (label && !label->text.empty()) {
        RunProperties labelRun = format.markRun;
        labelRun.hidden.reset();
        labelRun.underline.reset();
        labelRun.overlay(format.level->run);
        if (label->replacedSymbolFont) {
            labelRun.fontAscii = format.markRun.fontAscii;
            labelRun.fontHighAnsi = format.markRun.fontHighAnsi;
        }
        kit::Attributes attributes = baseAttributes();
        attributes.link.clear();
        applyRunProperties(labelRun, false, attributes);
        attributes.listLabel = true;
        std::string text = encoding::cleanMarkupText(label->text);
        if (label->suffix == LabelSuffix::Tab)
            text += '\t';
        else if (label->suffix == LabelSuffix::Space)
            text += ' ';
        appendAttributed(text, attributes);
    }

    std::vector<std::pair<TextBox, std::size_t>> textBoxes;
    auto* outerBoxes = m_textBoxes;
    m_textBoxes = &textBoxes;
    m_hyperlinks.clear();
    readInline(paragraph, depth);
    m_hyperlinks.clear();
    m_textBoxes = outerBoxes;
    m_markAttributes = markAttributes;

    bool pageBreak = false;
    pugi::xml_node sectPr = format.markup.section;
    if (sectPr) {
        if (auto it = m_sectionEnds.find(sectPr.internal_object()); it != m_sectionEnds.end()) {
            m_sectionIndex = it->second + 1;
            pageBreak = m_sectionIndex < m_sections.size() && m_sections[m_sectionIndex].startsOnNewPage;
        }
    }
    if (pageBreak)
        endParagraph(kit::kPageBreak);
    else if ((!format.markRemoved && !format.isDropCap) || sectPr || !textBoxes.empty())
        endParagraph('\n');
    // The next section begins after its predecessor's last paragraph break.
    if (sectPr && m_sectionIndex < m_sections.size() && !m_cell)
        m_sections[m_sectionIndex].page.start = m_out->length();
    else if (format.isDropCap && m_paragraphOpen && m_dropCapCount++ < kMaxDropCaps)
        m_dropCapStart = paragraphStart;

    for (const auto& [box, anchor] : textBoxes) {
        std::size_t start = m_out->length();
        readBlocks(box.content, depth + 1);
        closeOpenParagraph();
        // Boxes of the body's own paragraphs can float on its pages; others keep their text in line.
        if (box.box && !m_cell && m_out == m_body && m_out->length() > start)
            m_frames.push_back({ { start, m_out->length() - start }, anchor, box.box, box.insets });
    }
}

void DocxReader::readInline(pugi::xml_node container, int depth)
{
    if (depth > kMaxXmlDepth)
        return;
    for (auto child : container.children()) {
        if (child.type() == pugi::node_element)
            readInlineElement(child, depth);
    }
}

void DocxReader::readInlineElement(pugi::xml_node child, int depth)
{
    std::string_view name = child.name();
    if (name == "w:r") {
        readRun(child, depth + 1);
    } else if (name == "w:hyperlink") {
        std::string target;
        std::string_view id = child.attribute("r:id").value();
        if (!id.empty()) {
            const auto& relationships = m_package.relationships(m_partName);
            if (auto it = relationships.find(id); it != relationships.end())
                target = it->second.target;
        }
        if (auto anchor = child.attribute("w:anchor"); anchor && *anchor.value())
            target += "#" + std::string(anchor.value());
        m_hyperlinks.push_back(target);
        readInline(child, depth + 1);
        m_hyperlinks.pop_back();
    } else if (name == "w:bookmarkStart") {
        // Word's own "_GoBack" and hidden "_Toc..." marks are bookmarks too: links of a table of contents
        // name them.
        m_anchors.push_back({ child.attribute("w:name").value(), m_out->length() });
    } else if (name == "w:fldSimple") {
        m_fields.beginSimple(child.attribute("w:instr").value());
        readInline(child, depth + 1);
        m_fields.end();
    } else if (name == "w:ins" || name == "w:moveTo" || name == "w:smartTag" || name == "w:customXml" || name == "w:dir"
        || name == "w:bdo") {
        readInline(child, depth + 1);
    } else if (name == "w:sdt") {
        readInline(child.child("w:sdtContent"), depth + 1);
    } else if (name == "mc:AlternateContent") {
        readInline(chooseAlternative(child), depth + 1);
    } else if (name == "m:oMath" || name == "m:oMathPara") {
        RunFormat format = makeRunFormat(m_paragraphRun);
        readMath(child, format, depth + 1);
    } else if (name == "w:p" && !m_cell && depth < kMaxXmlDepth) {
        // A paragraph inside a paragraph (content controls written wrongly): read it as the next one.
        closeOpenParagraph();
        readParagraph(child, depth + 1);
    }
}

void DocxReader::readRun(pugi::xml_node run, int depth)
{
    RunProperties properties = m_paragraphRun;
    pugi::xml_node rPr = run.first_child();
    if (std::string_view(rPr.name()) != "w:rPr")
        rPr = run.child("w:rPr");
    if (rPr) {
        std::string_view styleId;
        RunProperties direct = parseRunProperties(rPr, m_styles.theme(), &styleId);
        if (const ResolvedStyle* characterStyle = m_styles.characterStyle(styleId))
            properties.overlay(characterStyle->run);
        properties.overlay(direct);
    }
    RunFormat format = makeRunFormat(properties);
    readRunContent(run, format, depth);
}

void DocxReader::readRunContent(pugi::xml_node container, const RunFormat& format, int depth)
{
    if (depth > kMaxXmlDepth)
        return;
    for (auto child : container.children()) {
        if (child.type() != pugi::node_element)
            continue;
        const char* name = child.name();
        if (std::strncmp(name, "w:", 2) != 0) {
            if (std::strcmp(name, "mc:AlternateContent") == 0)
                readRunContent(chooseAlternative(child), format, depth + 1);
            continue;
        }
        std::string_view local(name + 2);
        // Field characters count even in hidden runs: they bracket what is shown.
        if (local == "fldChar") {
            std::string_view type = child.attribute("w:fldCharType").value();
            if (type == "begin")
                m_fields.begin();
            else if (type == "separate")
                m_fields.separate();
            else if (type == "end")
                m_fields.end();
            continue;
        }
        if (local == "instrText") {
            m_fields.appendInstruction(child.child_value());
            continue;
        }
        if (format.hidden)
            continue;
        if (local == "t") {
            appendText(child.child_value(), format);
        } else if (local == "tab" || local == "ptab") {
            appendText("\t", format);
        } else if (local == "br") {
            // A page break ends its paragraph; in a cell, where a page cannot begin, it breaks the line.
            std::string_view type = child.attribute("w:type").value();
            if (type == "page" && !m_cell && m_fields.isShowingResult()) {
                m_markAttributes = format.regular;
                m_markAttributes.link.clear();
                endParagraph(kit::kPageBreak);
            } else if (type == "column" && !m_cell && m_fields.isShowingResult()) {
                // The text after it starts the next column: a paragraph of its own, marked once the text is done.
                m_markAttributes = format.regular;
                m_markAttributes.link.clear();
                endParagraph('\n');
                m_columnBreaks.push_back(m_out->length());
            } else {
                appendText(kit::kLineSeparator, format);
            }
        } else if (local == "cr") {
            appendText(kit::kLineSeparator, format);
        } else if (local == "softHyphen") {
            appendText("\xC2\xAD", format);
        } else if (local == "noBreakHyphen") {
            appendText("\xE2\x80\x91", format);
        } else if (local == "sym") {
            auto code = std::strtol(child.attribute("w:char").value(), nullptr, 16);
            std::string font = child.attribute("w:font").value();
            if (code <= 0 || code > 0x10FFFF)
                continue;
            char32_t character = char32_t(code);
            RunFormat symbol = format;
            if (character >= 0xF000 && character <= 0xF0FF) {
                char32_t mapped = encoding::symbolFontCharacter(font, std::uint8_t(character & 0xFF));
                if (mapped >= 0xF000 && mapped <= 0xF0FF && !font.empty())
                    symbol.regular.fontFamily = font; // no Unicode equivalent: the font draws it
                character = mapped;
            } else if (!font.empty()) {
                symbol.regular.fontFamily = font;
            }
            symbol.complex.reset();
            std::string text;
            encoding::appendUtf8(text, character);
            appendText(text, symbol);
        } else if (local == "footnoteReference" || local == "endnoteReference") {
            readNoteReference(child, format, local == "endnoteReference");
        } else if (local == "footnoteRef" || local == "endnoteRef") {
            RunFormat mark = format;
            if (!mark.regular.superscript)
                mark.regular.superscript = 1;
            mark.complex.reset();
            appendText(m_noteMark, mark);
        } else if (local == "drawing") {
            if (m_fields.isShowingResult())
                readDrawingContent(m_drawing.readDrawing(child, m_partName, pictureLimit()), format);
        } else if (local == "pict" || local == "object") {
            if (m_fields.isShowingResult())
                readDrawingContent(m_drawing.readPicture(child, m_partName, pictureLimit()), format);
        } else if (local == "ruby") {
            readInline(child.child("w:rubyBase"), depth + 1);
        }
    }
}

void DocxReader::readDrawingContent(const DrawingContent& content, const RunFormat& format)
{
    for (const auto& attachment : content.attachments) {
        kit::Attributes attributes = format.regular;
        attributes.attachment = attachment;
        appendAttributed(kit::kAttachmentCharacter, attributes);
    }
    if (m_textBoxes) {
        for (const auto& box : content.textBoxes)
            m_textBoxes->push_back({ box, m_out->length() });
    }
}

void DocxReader::readMath(pugi::xml_node math, const RunFormat& format, int depth)
{
    if (depth > kMaxXmlDepth)
        return;
    for (auto child : math.children()) {
        if (child.type() != pugi::node_element)
            continue;
        std::string_view name = child.name();
        if (name == "m:t")
            appendText(child.child_value(), format);
        else if (name != "m:rPr" && name != "w:rPr" && name.substr(name.size() > 2 ? name.size() - 2 : 0) != "Pr")
            readMath(child, format, depth + 1);
    }
}

void DocxReader::readNoteReference(pugi::xml_node reference, const RunFormat& format, bool isEndnote)
{
    if (!m_fields.isShowingResult())
        return;
    std::string id = reference.attribute("w:id").value();
    std::string_view custom = reference.attribute("w:customMarkFollows").value();
    bool customMark = !custom.empty() && custom != "0" && custom != "false" && custom != "off";
    std::string mark;
    std::size_t at = m_out->length();
    if (!customMark) {
        int number = isEndnote ? ++m_endnoteCount : ++m_footnoteCount;
        mark = formatListNumber(number, isEndnote ? m_endnoteFormat : m_footnoteFormat);
        RunFormat shown = format;
        if (!shown.regular.superscript)
            shown.regular.superscript = 1;
        shown.complex.reset();
        appendText(mark, shown);
    }
    if (m_referencedNotes.insert({ isEndnote, id }).second)
        m_notes.push_back({ isEndnote, id, mark, at });
}

std::vector<kit::Note> DocxReader::readNotes()
{
    std::vector<kit::Note> placed;
    if (m_notes.empty())
        return placed;
    std::optional<XmlPart> parts[2];
    std::map<std::string, pugi::xml_node, std::less<>> notes[2];
    std::string partNames[2] = { m_package.relatedPart(m_package.mainPart(), "footnotes"),
        m_package.relatedPart(m_package.mainPart(), "endnotes") };
    for (int kind = 0; kind < 2; ++kind) {
        if (partNames[kind].empty())
            continue;
        parts[kind] = m_package.readXmlPart(partNames[kind]);
        if (!parts[kind])
            continue;
        for (auto note : parts[kind]->root().children())
            notes[kind].emplace(note.attribute("w:id").value(), note);
    }
    m_cell = nullptr;
    m_sectionIndex = m_sections.empty() ? 0 : m_sections.size() - 1;
    // Notes may refer to further notes; those join the end of the queue, each read once.
    for (std::size_t i = 0; i < m_notes.size(); ++i) {
        int kind = m_notes[i].isEndnote ? 1 : 0;
        auto it = notes[kind].find(m_notes[i].id);
        if (it == notes[kind].end())
            continue;
        m_partName = partNames[kind];
        m_noteMark = m_notes[i].mark;
        std::size_t start = m_out->length();
        readBlocks(it->second, 1);
        closeOpenParagraph();
        m_fields.clear();
        if (m_out->length() > start) {
            kit::NoteKind noteKind = m_notes[i].isEndnote ? kit::NoteKind::Endnote : kit::NoteKind::Footnote;
            placed.push_back({ noteKind, m_notes[i].reference, m_notes[i].mark, { start, m_out->length() - start } });
        }
    }
    m_partName = m_package.mainPart();
    return placed;
}

void DocxReader::readTable(pugi::xml_node table, int depth)
{
    if (depth > kMaxXmlDepth)
        return;
    closeOpenParagraph();
    int nestingLevel = m_cell ? m_cell->cell->nestingLevel + 1 : 1;
    TableLayout layout = layoutTable(table, m_styles, availableWidth(), nestingLevel);
    int tableId = ++m_tableCount;
    const CellContext* outer = m_cell;
    for (auto& laidOut : layout.cells) {
        auto cell = std::make_shared<kit::TableCell>(std::move(laidOut.cell));
        cell->columnWidths = layout.columnWidths;
        cell->tableId = tableId;
        cell->parent = outer ? outer->cell.get() : nullptr;
        CellContext context { cell, laidOut.format, laidOut.contentWidth };
        m_cell = &context;
        std::size_t start = m_out->length();
        readBlocks(laidOut.node, depth + 1);
        closeOpenParagraph();
        // Every cell ends in a paragraph break of its own, even an empty one or one ending in a nested table.
        if (m_out->length() == start || m_out->attributesAt(m_out->length() - 1).tableCell.get() != cell.get()) {
            RunProperties run = m_styles.defaultRun();
            run.overlay(laidOut.format->run);
            kit::Attributes attributes;
            applyRunProperties(run, false, attributes);
            attributes.paragraph = m_paragraphStyles.intern(makeParagraphStyle(laidOut.format->paragraph, m_defaultTabInterval));
            attributes.tableCell = cell;
            OutputBudget::current().append(*m_out, "\n", attributes);
        }
    }
    m_cell = outer;
    m_paragraphOpen = false;
}

void DocxReader::readAltChunk(pugi::xml_node chunk)
{
    auto imported = importAltChunk(m_package, m_partName, chunk.attribute("r:id").value(), m_chunkDepth, m_altChunks);
    if (!imported || imported->length() == 0)
        return;
    closeOpenParagraph();
    appendForeignText(*m_out, *imported, m_cell ? m_cell->cell : nullptr, m_tableCount);
    // The chunk's last paragraph may lack its break; it gets one in the chunk's formatting.
    char last = m_out->string().back();
    if (last != '\n' && last != kit::kPageBreak) {
        m_markAttributes = m_out->attributesAt(m_out->length() - 1);
        m_markAttributes.attachment.reset();
        m_paragraphOpen = true;
        closeOpenParagraph();
    }
}

} // namespace importer::docx
