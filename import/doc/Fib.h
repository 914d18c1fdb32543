#pragma once

#include "import/common/ByteReader.h"
#include "import/common/ImportError.h"
#include "kit/foundation/Result.h"

#include <array>
#include <cstdint>

namespace importer::doc {

// Why a WordDocument stream has no FIB we read: a version before Word 6, or a block cut off.
enum class FibError : std::uint8_t { Unsupported, Truncated };

// What the reader is told of a FIB that does not parse: a cut-off one is truncated, an older version a
// format we do not know; errorText spells it as the import error does.
ImportError importError(FibError error);
const char* errorText(FibError error);

// Which of the two binary layouts a WordDocument stream uses.
enum class WordVersion : std::uint8_t {
    Word6, // Word 6.0 and Word 95 (nFib 101-105): 8-bit text in the document's code page, one-byte sprms
    Word97, // Word 97 to 2003 (nFib 193 and later): UTF-16 or compressed text, two-byte sprms
};

// Indices of the (fc, lcb) pairs of the FIB, in the order both layouts store them.
enum class FibEntry : std::uint8_t {
    StshfOrig = 0,
    Stshf = 1,
    PlcffndRef = 2,
    PlcffndTxt = 3,
    PlcfandRef = 4,
    PlcfandTxt = 5,
    PlcfSed = 6,
    PlcfHdd = 11,
    PlcfBteChpx = 12,
    PlcfBtePapx = 13,
    SttbfFfn = 15,
    SttbfBkmk = 21,
    PlcfBkf = 22,
    Dop = 31,
    Clx = 33,
    PlcSpaMom = 40,
    PlcSpaHdr = 41,
    PlcfendRef = 46,
    PlcfendTxt = 47,
    DggInfo = 50,
    PlcftxbxTxt = 56,
    PlfLst = 73,
    PlfLfo = 74,
};

// The sub-documents, in the order their character positions follow each other.
enum class Story : std::uint8_t { Main, Footnotes, Headers, Macros, Comments, Endnotes, TextBoxes, HeaderTextBoxes };
inline constexpr int kStoryCount = 8;

// The File Information Block at the start of the WordDocument stream: where everything else lies.
struct Fib {
    WordVersion version = WordVersion::Word97;
    std::uint16_t nFib = 0;
    std::uint16_t lid = 0; // the language of the document's installation, which implies its code page
    bool isEncrypted = false; // encrypted or obfuscated: the text cannot be read without the password
    bool usesTable1 = false; // the table stream is "1Table" rather than "0Table"
    bool isComplex = false;
    std::uint32_t fcMin = 0; // Word 6: the first byte of the text when there is no piece table
    std::uint32_t fcMac = 0;
    std::array<std::uint32_t, kStoryCount> storyLengths {}; // in characters (CPs)
    std::uint16_t chpPageCount = 0; // Word 6: pages of character formatting, when the PLC lists fewer
    std::uint16_t papPageCount = 0;
    std::uint16_t chpFirstPage = 0;
    std::uint16_t papFirstPage = 0;

    struct Range {
        std::uint32_t fc = 0;
        std::uint32_t lcb = 0;
        bool isEmpty() const { return lcb == 0; }
    };
    Range entry(FibEntry which) const;

    // The first character position of a story, and the total of all stories.
    std::uint32_t storyStart(Story story) const;
    std::uint32_t storyLength(Story story) const { return storyLengths[std::size_t(story)]; }
    std::uint64_t totalLength() const;

    static kit::Result<Fib, FibError> parse(const ByteReader& wordDocument);

private:
    std::array<Range, 96> m_entries {};
    std::size_t m_entryCount = 0;
};

} // namespace importer::doc
