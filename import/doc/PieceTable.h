#pragma once

#include "import/common/ByteReader.h"
#include "import/doc/Fib.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace importer::doc {

// The document's text in character positions (CPs), assembled from the pieces of the piece table.
class PieceTable {
public:
    struct Piece {
        std::uint32_t cpStart = 0;
        std::uint32_t cpEnd = 0;
        std::uint32_t fc = 0; // byte offset of the first character in the WordDocument stream
        bool isEightBit = false; // one byte a character; otherwise UTF-16
        std::uint16_t prm = 0; // the piece's property modifier
    };

    // clx is the piece table's own bytes (from the table stream, or from WordDocument in Word 6 files);
    // empty when the file has none, and then the text runs from fcMin to fcMac.
    static PieceTable read(const Fib& fib, const ByteReader& clx, const ByteReader& wordDocument, int codePage);

    // One UTF-16 unit per CP. In Word 6 files every CP is one byte of the document's code page, already
    // decoded; rawByte gives the byte itself, for runs whose font uses another code page.
    const std::u16string& text() const { return m_text; }
    std::uint32_t length() const { return std::uint32_t(m_text.size()); }
    std::optional<std::uint8_t> rawByte(std::uint32_t cp) const;

    const std::vector<Piece>& pieces() const { return m_pieces; }
    const Piece* pieceAt(std::uint32_t cp) const;
    // The byte offset of a character in the WordDocument stream.
    std::optional<std::uint32_t> fcAt(std::uint32_t cp) const;
    // The grpprls of the piece table (indexed by a complex prm).
    const std::vector<ByteReader>& grpprls() const { return m_grpprls; }
    bool isTruncated() const { return m_isTruncated; }

private:
    std::u16string m_text;
    std::vector<std::uint8_t> m_raw; // Word 6: the bytes behind m_text
    std::vector<Piece> m_pieces;
    std::vector<ByteReader> m_grpprls;
    bool m_isTruncated = false;
};

} // namespace importer::doc
