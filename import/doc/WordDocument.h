#pragma once

#include "import/Importer.h"
#include "import/doc/Fib.h"
#include "import/doc/FontTable.h"
#include "import/doc/FormattingRuns.h"
#include "import/doc/ListTable.h"
#include "import/doc/OfficeArt.h"
#include "import/doc/PieceTable.h"
#include "import/doc/SectionProperties.h"
#include "import/doc/StyleSheet.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace importer::doc {

// A floating object's anchor (FSPA): which shape, and its frame in twips.
struct ShapeAnchor {
    std::uint32_t shapeId = 0;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0; // twips from the origin bx and by name
    std::uint16_t flags = 0; // fHdr, bx (2 bits), by (2), wr (4), wrk (4), fRcaSimple, fBelowText, fAnchorLock
};

// A note (footnote or endnote): where its reference stands, its text, and the mark shown for both.
struct Note {
    std::uint32_t referenceCp = 0;
    std::uint32_t textStart = 0; // absolute CPs
    std::uint32_t textEnd = 0;
    std::u16string mark;
};

// A section of the main text: the CP of its first character and its properties.
struct Section {
    std::uint32_t startCp = 0;
    SectionProperties properties;
};

// Everything read from a Word binary document that the story reader needs: the streams and the tables
// that describe the text.
struct WordDocument {
    Fib fib;
    std::vector<std::uint8_t> wordDocumentBytes;
    std::vector<std::uint8_t> tableBytes;
    std::vector<std::uint8_t> dataBytes;
    ByteReader wordDocument;
    ByteReader table; // the table stream; WordDocument itself in Word 6 files
    ByteReader data;
    int codePage = 1252;
    float defaultTabInterval = 36;
    PieceTable pieces;
    FormattingRuns characterRuns;
    FormattingRuns paragraphRuns;
    StyleSheet styles;
    FontTable fonts;
    ListTable lists;
    OfficeArt drawing;
    std::map<std::uint32_t, ShapeAnchor> anchors; // by the CP of their anchor character
    std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> textBoxes; // shape id → absolute CP range
    std::vector<Section> sections; // in text order; empty when the document has no section table
    std::map<std::uint32_t, bool> sectionBreaks; // CP of a section's last character → starts a new page
    bool facingPages = false; // even pages take the even headers and footers
    std::uint8_t separatorStories = 0; // Word 6: one bit per note separator story the header document lists
    std::vector<Note> footnotes;
    std::vector<Note> endnotes;
    bool endnotesAtSectionEnd = false; // else at the end of the document
    std::map<std::uint32_t, std::u16string> noteReferences; // CP of a reference mark → what it shows
    std::multimap<std::uint32_t, std::string> bookmarks; // CP of a bookmark's first character → its name (UTF-8)
    bool isTruncated = false;

    // Reads the streams' tables; the error when the document cannot be read at all.
    std::optional<ImportError> load();
};

// Converts a Word 97-2003 or Word 6/95 document whose streams were read from the OLE2 container.
ImportResult importWordDocument(WordDocument& document);

} // namespace importer::doc
