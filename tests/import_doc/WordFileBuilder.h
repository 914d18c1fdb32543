#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace testdoc {

using Bytes = std::vector<std::uint8_t>;

// Little-endian writers for building structures byte by byte.
void put16(Bytes& out, std::uint16_t value);
void put32(Bytes& out, std::uint32_t value);
// A Word 97 sprm: its 16-bit code, then the operand as given (with its length byte when variable).
Bytes sprm(std::uint16_t code, std::initializer_list<std::uint8_t> operand);
Bytes sprm16(std::uint16_t code, std::uint16_t operand);
Bytes sprm32(std::uint16_t code, std::uint32_t operand);
Bytes concat(std::initializer_list<Bytes> parts);

// An OLE2 compound file with the given streams, written by libgsf.
Bytes compoundFile(const std::map<std::string, Bytes>& streams);

// Character formatting over CPs [start, end).
struct CharacterRun {
    std::uint32_t start = 0, end = 0;
    Bytes grpprl;
};
// Paragraph formatting of the paragraph whose mark is the character before end.
struct ParagraphRun {
    std::uint32_t end = 0;
    std::uint16_t istd = 0;
    Bytes grpprl;
};

// A Word 97 document built from its parts: the text of all stories as one piece (8-bit "compressed" or
// UTF-16), formatted disk pages for the runs, and any table-stream structure placed by its FIB index.
struct WordFileBuilder {
    std::u16string text;
    bool compressed = false;
    std::uint32_t mainLength = UINT32_MAX; // the rest of the text; by default all of it
    std::uint32_t footnoteLength = 0;
    std::uint32_t headerLength = 0;
    std::uint32_t commentLength = 0;
    std::uint32_t endnoteLength = 0;
    std::uint32_t textBoxLength = 0;
    std::uint16_t nFib = 0x00C1;
    bool encrypted = false;
    bool withTableStream = true;
    std::vector<CharacterRun> characterRuns;
    std::vector<ParagraphRun> paragraphRuns;
    std::map<int, Bytes> tableEntries; // FIB pair index → the structure's bytes in the table stream
    std::map<int, Bytes> trailingBytes; // placed right after an entry, outside its counted length (list levels)
    Bytes data; // the Data stream, when not empty
    // Sections: the CP after each section's last character, and its properties (written to WordDocument).
    std::vector<std::pair<std::uint32_t, Bytes>> sections;

    // The FC at which the text starts in the WordDocument stream.
    static constexpr std::uint32_t kTextOffset = 1024;

    Bytes wordDocumentStream() const;
    mutable std::vector<std::uint32_t> sectionOffsets; // where wordDocumentStream put the sections' properties
    Bytes build() const;
};

// FIB pair indices of the structures tests place.
enum Entry {
    kStshf = 1,
    kPlcffndRef = 2,
    kPlcffndTxt = 3,
    kPlcfSed = 6,
    kDop = 31,
    kPlcfBteChpx = 12,
    kPlcfBtePapx = 13,
    kSttbfFfn = 15,
    kClx = 33,
    kPlcfendRef = 46,
    kPlcfendTxt = 47,
    kPlfLst = 73,
    kPlfLfo = 74,
};

// The section table (PlcfSed): the sections' starting CPs, then for each the stream offset of its properties.
Bytes sectionTable(const std::vector<std::pair<std::uint32_t, Bytes>>& sections, const std::vector<std::uint32_t>& offsets);
// A font table with the given names and charsets.
Bytes fontTable(const std::vector<std::pair<std::u16string, std::uint8_t>>& fonts);
// A style sheet whose styles are paragraph styles (with paragraph and character grpprls) or character
// styles (empty paragraph grpprl and character == true); index = istd.
struct StyleDefinition {
    std::u16string name;
    bool isCharacterStyle = false;
    std::uint16_t base = 0x0FFF;
    Bytes paragraph;
    Bytes character;
};
Bytes styleSheet(const std::vector<StyleDefinition>& styles);

// One list definition of the list table (PlfLst): its id, nine levels without styles, simple (one level) or not.
Bytes listDefinition(std::uint32_t id, bool simple);
// One list level as it follows the list table: start number, number format, a tab after the label, the
// paragraph and character grpprls, then the label template (placeholders are the level numbers 0 to 8).
Bytes listLevel(std::int32_t start, std::uint8_t format, const std::u16string& text, const Bytes& paragraph = {},
    const Bytes& character = {});

} // namespace testdoc
