#include "import/doc/PieceTable.h"

#include "import/doc/CodePages.h"

#include <algorithm>
#include <array>

namespace importer::doc {

namespace {

// A CP count no real document reaches (Word's own limit is far lower); a piece table that claims more is
// damaged, and its text stops there.
constexpr std::uint32_t kMaximumLength = 1u << 26;

} // namespace

PieceTable PieceTable::read(const Fib& fib, const ByteReader& clx, const ByteReader& wordDocument, int codePage)
{
    PieceTable table;
    std::vector<Piece> pieces;
    // The Clx: property grpprls (clxt 1) followed by the piece descriptors (clxt 2).
    std::size_t at = 0;
    while (at < clx.size()) {
        std::uint8_t clxt = *clx.readU8(at);
        if (clxt == 1) {
            auto size = clx.readU16LE(at + 1);
            auto grpprl = size ? clx.slice(at + 3, *size) : std::nullopt;
            if (!grpprl) {
                table.m_isTruncated = true;
                break;
            }
            table.m_grpprls.push_back(*grpprl);
            at += 3 + *size;
            continue;
        }
        if (clxt != 2)
            break;
        auto size = clx.readU32LE(at + 1);
        if (!size)
            break;
        ByteReader plc = clx.clippedSlice(at + 5, *size);
        if (plc.size() < *size)
            table.m_isTruncated = true;
        std::size_t count = plc.size() >= 4 ? (plc.size() - 4) / 12 : 0;
        std::size_t descriptors = (count + 1) * 4;
        for (std::size_t i = 0; i < count; ++i) {
            Piece piece;
            piece.cpStart = *plc.readU32LE(4 * i);
            piece.cpEnd = *plc.readU32LE(4 * (i + 1));
            std::uint32_t fc = *plc.readU32LE(descriptors + 8 * i + 2);
            piece.prm = *plc.readU16LE(descriptors + 8 * i + 6);
            if (fib.version == WordVersion::Word6) {
                piece.fc = fc;
                piece.isEightBit = true;
            } else if (fc & 0x40000000) {
                piece.fc = (fc & 0x3FFFFFFF) / 2;
                piece.isEightBit = true;
            } else {
                piece.fc = fc & 0x3FFFFFFF;
            }
            pieces.push_back(piece);
        }
        break;
    }
    if (pieces.empty() && fib.version == WordVersion::Word6) {
        // A Word 6 file saved without fast saves keeps its text in one run from fcMin.
        Piece piece;
        piece.fc = fib.fcMin;
        piece.isEightBit = true;
        piece.cpEnd = std::uint32_t(std::min<std::uint64_t>(fib.totalLength(), fib.fcMac > fib.fcMin ? fib.fcMac - fib.fcMin : 0));
        pieces.push_back(piece);
    }

    // Every character needs at least a byte of the stream; more text than that can only come from pieces
    // that share their bytes, which damaged files do and Word never does.
    const std::uint64_t maximumLength = std::min<std::uint64_t>(kMaximumLength, wordDocument.size());
    std::array<char16_t, 256> bytes = singleByteTable(codePage);
    bool isWord6 = fib.version == WordVersion::Word6;
    // Pieces follow each other in CP order; damaged tables with gaps or overlaps are laid end to end.
    std::uint32_t cp = 0;
    for (Piece piece : pieces) {
        if (piece.cpEnd <= piece.cpStart)
            continue;
        std::uint64_t count = std::min<std::uint64_t>(piece.cpEnd - piece.cpStart, maximumLength - cp);
        std::uint64_t width = piece.isEightBit ? 1 : 2;
        std::uint64_t available = piece.fc < wordDocument.size() ? (wordDocument.size() - piece.fc) / width : 0;
        if (available < count) {
            count = available;
            table.m_isTruncated = true;
        }
        if (count == 0)
            continue;
        piece.cpStart = cp;
        piece.cpEnd = cp + std::uint32_t(count);
        table.m_pieces.push_back(piece);
        table.m_text.reserve(table.m_text.size() + count);
        for (std::uint64_t i = 0; i < count; ++i) {
            if (piece.isEightBit) {
                std::uint8_t byte = *wordDocument.readU8(piece.fc + i);
                table.m_text.push_back(isWord6 ? bytes[byte] : compressedCharacter(byte));
                if (isWord6)
                    table.m_raw.push_back(byte);
            } else {
                table.m_text.push_back(char16_t(*wordDocument.readU16LE(piece.fc + 2 * i)));
                if (isWord6)
                    table.m_raw.push_back(0);
            }
        }
        cp = piece.cpEnd;
        if (cp >= maximumLength)
            break;
    }
    return table;
}

std::optional<std::uint8_t> PieceTable::rawByte(std::uint32_t cp) const
{
    if (cp >= m_raw.size())
        return std::nullopt;
    return m_raw[cp];
}

const PieceTable::Piece* PieceTable::pieceAt(std::uint32_t cp) const
{
    auto it = std::upper_bound(m_pieces.begin(), m_pieces.end(), cp, [](std::uint32_t value, const Piece& piece) {
        return value < piece.cpStart;
    });
    if (it == m_pieces.begin())
        return nullptr;
    --it;
    return cp < it->cpEnd ? &*it : nullptr;
}

std::optional<std::uint32_t> PieceTable::fcAt(std::uint32_t cp) const
{
    const Piece* piece = pieceAt(cp);
    if (!piece)
        return std::nullopt;
    return piece->fc + (cp - piece->cpStart) * (piece->isEightBit ? 1 : 2);
}

} // namespace importer::doc
