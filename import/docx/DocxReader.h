#pragma once

#include "import/Importer.h"
#include "import/docx/DocxAltChunk.h"
#include "import/docx/DocxDrawing.h"
#include "import/docx/DocxFields.h"
#include "import/docx/DocxNumbering.h"
#include "import/docx/DocxPackage.h"
#include "import/package/XmlChildPieces.h"
#include "import/docx/DocxStyles.h"
#include "import/package/Interner.h"
#include "import/package/PackageImages.h"

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace importer::docx {

struct ConditionalFormat;

// The text area of a section, from w:pgSz and w:pgMar (points). US Letter with one-inch margins by default.
struct SectionGeometry {
    float textWidth = 468;
    float textHeight = 648;
    bool startsOnNewPage = true; // how this section begins after the one before it (w:type)
    kit::PageSection page; // its start is filled in as the body is read
    // w:headerReference and w:footerReference: the relationship id of each kind's part, empty for none.
    std::array<std::string, kit::kHeaderFooterKinds> headerIds, footerIds;
};

// Header and footer parts read per document at most; further references show no header.
inline constexpr std::size_t kMaxHeaderFooterParts = 128;

// Reads the main document part of a package into attributed text: the body's paragraphs and tables in
// order, then the texts of the footnotes and endnotes it refers to.
class BodyScan;

// Where the body's last child may be a w:sectPr written as word processors write it, found from the end of
// the main part's text: `<w:sectPr ...>...</w:sectPr>` (or `<w:sectPr .../>`), then only white space before
// `</w:body>`. The candidates run from each `<w:sectPr` to that end, the last first; the one that parses as
// a single element is it (a revision inside the element holds the section's earlier w:sectPr). None where
// the part does not end so. A section's properties are short: candidates stop at a few of them, within
// the part's last kilobytes.
std::vector<std::string_view> finalSectionCandidates(std::string_view xml);
inline constexpr std::size_t kFinalSectionCandidates = 4;
inline constexpr std::size_t kFinalSectionBytes = 64 * 1024;

class DocxReader {
public:
    // chunkDepth counts the .docx files this one is embedded in (w:altChunk), to bound recursion.
    DocxReader(DocxPackage& package, int chunkDepth);
    ImportResult read();

private:
    struct CellContext {
        std::shared_ptr<const kit::TableCell> cell;
        const ConditionalFormat* format = nullptr; // the table style's formatting for this cell
        float contentWidth = 0;
    };
    // Character attributes of one run: regular text, and the complex-script variant where it differs.
    struct RunFormat {
        kit::Attributes regular;
        std::optional<kit::Attributes> complex;
        bool isComplex = false; // w:rtl or w:cs: the whole run takes the complex-script variant
        bool hidden = false;
    };

    void readSettings();
    void scanSections(pugi::xml_node body);
    // One child of the body (or of a content control in it): a paragraph that ends a section is mapped to
    // section next, which is counted on; adds says the section's geometry is read too.
    void scanSectionEnd(pugi::xml_node child, int depth, bool adds, std::size_t& next);
    void readFinalSection(pugi::xml_node sectPr);
    // The note numbering formats of the body's own w:sectPr, which every note reference takes.
    void readNoteNumbering(pugi::xml_node sectPr);
    // The body of a large part, a piece at a time (see XmlChildPieces) as the scan finds them; false when a
    // piece would not parse, or the scan found the part cannot be cut after all; piecesRead counts those read.
    bool readBodyInPieces(BodyScan&, std::size_t& piecesRead);
    // Hands the text read so far over to whoever waits for the document's first pages.
    void handOverBeginning();

    void readBlocks(pugi::xml_node container, int depth);
    void readBlock(pugi::xml_node child, int depth);
    void readParagraph(pugi::xml_node paragraph, int depth);
    void readTable(pugi::xml_node table, int depth);
    void readAltChunk(pugi::xml_node chunk);
    void readInline(pugi::xml_node container, int depth);
    void readInlineElement(pugi::xml_node element, int depth);
    void readRun(pugi::xml_node run, int depth);
    void readRunContent(pugi::xml_node container, const RunFormat& format, int depth);
    void readMath(pugi::xml_node math, const RunFormat& format, int depth);
    void readNoteReference(pugi::xml_node reference, const RunFormat& format, bool isEndnote);
    void readDrawingContent(const DrawingContent& content, const RunFormat& format);
    // The notes' texts after the body's, and where each one stands, for the page setup.
    std::vector<kit::Note> readNotes();
    // The document's page setup from the sections scanned, with their header and footer stories.
    std::shared_ptr<kit::PageSetup> makePageSetup();
    // A header or footer part read into a story of its own; null when the part is missing.
    std::shared_ptr<kit::TextStorage> readStory(const std::string& relationshipId);

    RunFormat makeRunFormat(const RunProperties& run) const;
    kit::Attributes baseAttributes() const;
    void appendText(std::string_view text, const RunFormat& format);
    void appendAttributed(std::string_view text, const kit::Attributes& attributes);
    void endParagraph(char terminator);
    void closeOpenParagraph();
    float availableWidth() const;
    kit::Size pictureLimit() const;

    DocxPackage& m_package;
    int m_chunkDepth;
    AltChunkCache m_altChunks;
    std::shared_ptr<kit::TextStorage> m_out;
    std::shared_ptr<kit::TextStorage> m_body; // the document's own story, while headers and notes are read into others
    DocxStyles m_styles;
    DocxNumbering m_numbering;
    PackageImages m_images;
    DocxDrawing m_drawing;
    DocxFields m_fields;
    Interner<kit::ParagraphStyle> m_paragraphStyles;
    std::string m_partName; // the part being read: relationships resolve against it
    float m_defaultTabInterval = 36;

    std::vector<SectionGeometry> m_sections;
    std::map<const void*, std::size_t> m_sectionEnds; // w:sectPr node → its section's index
    std::size_t m_sectionIndex = 0;
    bool m_evenAndOddHeaders = false;
    std::map<std::string, std::shared_ptr<kit::TextStorage>, std::less<>> m_stories; // by part name

    const CellContext* m_cell = nullptr; // null outside tables
    int m_tableCount = 0;

    // The paragraph being read.
    std::shared_ptr<const kit::ParagraphStyle> m_paragraphStyle;
    RunProperties m_paragraphRun; // defaults, table style and paragraph style: what runs start from
    kit::Attributes m_markAttributes; // the paragraph mark's, for its '\n'
    bool m_paragraphOpen = false; // text was written since the last paragraph break
    std::vector<std::string> m_hyperlinks; // w:hyperlink targets, innermost last
    std::vector<std::pair<std::string, std::size_t>> m_anchors; // w:bookmarkStart names and where they stand
    std::vector<std::size_t> m_columnBreaks; // where the paragraphs after column breaks start
    // The text boxes anchored in the paragraph being read, each with the byte where it stands.
    std::vector<std::pair<TextBox, std::size_t>>* m_textBoxes = nullptr;
    std::vector<kit::TextFrame> m_frames; // the body's floating text boxes
    std::optional<std::size_t> m_dropCapStart; // where a drop capital waiting for its paragraph begins
    int m_dropCapCount = 0;

    struct NoteReference {
        bool isEndnote = false;
        std::string id;
        std::string mark;
        std::size_t reference = 0; // where its first reference mark stands in the body
    };
    std::vector<NoteReference> m_notes; // in order of first reference
    std::set<std::pair<bool, std::string>> m_referencedNotes;
    int m_footnoteCount = 0, m_endnoteCount = 0;
    std::string m_footnoteFormat = "decimal", m_endnoteFormat = "lowerRoman";
    kit::EndnotePlacement m_endnotePlacement = kit::EndnotePlacement::EndOfDocument;
    std::string m_noteMark; // the mark of the note being read, shown by its w:footnoteRef
};

} // namespace importer::docx
