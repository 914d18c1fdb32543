#include "import/doc/Sprm.h"

#include <array>

namespace importer::doc {

namespace {

// Operand sizes of Word 6 and 95 sprms, by one-byte code. Codes no table lists are variable, as Word
// writes every sprm it added later with a length byte.
constexpr std::int8_t kVariable = -1; // a length byte, then that many bytes
constexpr std::int8_t kVariableWord = -2; // a 16-bit length that counts one more than the bytes after it

constexpr std::array<std::int8_t, 256> word6OperandSizes()
{
    std::array<std::int8_t, 256> sizes {};
    for (auto& size : sizes)
        size = kVariable;
    struct Row {
        std::uint8_t first, last;
        std::int8_t size;
    };
    constexpr Row rows[] = {
        { 0, 0, 0 }, { 2, 2, 2 }, { 4, 11, 1 }, { 13, 14, 1 }, { 16, 19, 2 }, { 20, 20, 4 }, { 21, 22, 2 },
        { 24, 25, 1 }, { 26, 28, 2 }, { 29, 29, 1 }, { 30, 36, 2 }, { 37, 37, 1 }, { 38, 43, 2 }, { 44, 44, 1 },
        { 45, 49, 2 }, { 50, 51, 1 }, { 52, 52, 0 }, { 65, 67, 1 }, { 69, 69, 2 }, { 70, 70, 4 }, { 71, 71, 1 },
        { 72, 72, 2 }, { 73, 73, 3 }, { 75, 75, 1 }, { 80, 80, 2 }, { 83, 83, 0 }, { 85, 92, 1 }, { 93, 93, 2 },
        { 94, 94, 1 }, { 95, 95, 3 }, { 96, 97, 2 }, { 98, 98, 1 }, { 99, 99, 2 }, { 100, 100, 1 }, { 101, 101, 2 },
        { 102, 102, 1 }, { 104, 104, 1 }, { 107, 107, 2 }, { 109, 110, 2 }, { 117, 119, 1 }, { 121, 124, 2 },
        { 131, 132, 1 }, { 136, 137, 3 }, { 138, 139, 1 }, { 140, 141, 2 }, { 142, 143, 1 }, { 144, 145, 2 },
        { 146, 147, 1 }, { 148, 149, 2 }, { 150, 153, 1 }, { 154, 157, 2 }, { 158, 159, 1 }, { 160, 161, 2 },
        { 162, 162, 1 }, { 163, 163, 0 }, { 164, 171, 2 }, { 182, 184, 2 }, { 185, 186, 1 }, { 187, 187, 12 },
        { 189, 189, 2 }, { 190, 190, kVariableWord }, { 192, 192, 4 }, { 193, 193, 5 }, { 194, 194, 4 },
        { 195, 195, 2 }, { 196, 196, 4 }, { 197, 198, 2 }, { 199, 199, 5 }, { 200, 200, 4 },
    };
    for (const auto& row : rows) {
        for (int code = row.first; code <= row.last; ++code)
            sizes[std::size_t(code)] = row.size;
    }
    return sizes;
}

constexpr auto kWord6OperandSizes = word6OperandSizes();

// The Word 97 sprm of the same property as a Word 6 one; 0 for those the importer does not read.
constexpr std::array<std::uint16_t, 256> word6CodeMap()
{
    std::array<std::uint16_t, 256> map {};
    map[2] = sprm::PIstd;
    map[5] = sprm::PJc80;
    map[7] = sprm::PFKeep;
    map[8] = sprm::PFKeepFollow;
    map[9] = sprm::PFPageBreakBefore;
    map[12] = sprm::PAnld;
    map[13] = sprm::PNLvlAnmWord6;
    map[15] = sprm::PChgTabsPapx;
    map[16] = sprm::PDxaRight80;
    map[17] = sprm::PDxaLeft80;
    map[18] = sprm::PNest80;
    map[19] = sprm::PDxaLeft180;
    map[20] = sprm::PDyaLine;
    map[21] = sprm::PDyaBefore;
    map[22] = sprm::PDyaAfter;
    map[23] = sprm::PChgTabs;
    map[24] = sprm::PFInTable;
    map[25] = sprm::PFTtp;
    map[47] = sprm::PShd80;
    map[65] = sprm::CFRMarkDel;
    map[66] = sprm::CFRMarkIns;
    map[67] = sprm::CFFldVanish;
    map[68] = sprm::CPicLocation;
    map[71] = sprm::CFData;
    map[74] = sprm::CSymbol;
    map[75] = sprm::CFOle2;
    map[80] = sprm::CIstd;
    map[82] = sprm::CDefault;
    map[83] = sprm::CPlain;
    map[85] = sprm::CFBold;
    map[86] = sprm::CFItalic;
    map[87] = sprm::CFStrike;
    map[88] = sprm::CFOutline;
    map[89] = sprm::CFShadow;
    map[90] = sprm::CFSmallCaps;
    map[91] = sprm::CFCaps;
    map[92] = sprm::CFVanish;
    map[93] = sprm::CFtcDefault;
    map[94] = sprm::CKul;
    map[95] = sprm::CSizePos;
    map[98] = sprm::CIco;
    map[99] = sprm::CHps;
    map[100] = sprm::CHpsInc;
    map[101] = sprm::CHpsPos;
    map[104] = sprm::CIss;
    map[109] = sprm::CHpsMul;
    map[117] = sprm::CFSpec;
    map[118] = sprm::CFObj;
    map[142] = sprm::SBkc;
    map[143] = sprm::SFTitlePage;
    map[144] = sprm::SCcolumns;
    map[145] = sprm::SDxaColumns;
    map[147] = sprm::SNfcPgn;
    map[150] = sprm::SFPgnRestart;
    map[153] = sprm::SGprfIhdt;
    map[156] = sprm::SDyaHdrTop;
    map[157] = sprm::SDyaHdrBottom;
    map[161] = sprm::SPgnStart97;
    map[162] = sprm::SBOrientation;
    map[164] = sprm::SXaPage;
    map[165] = sprm::SYaPage;
    map[166] = sprm::SDxaLeft;
    map[167] = sprm::SDxaRight;
    map[168] = sprm::SDyaTop;
    map[169] = sprm::SDyaBottom;
    map[170] = sprm::SDzaGutter;
    map[182] = sprm::TJc90;
    map[183] = sprm::TDxaLeft;
    map[184] = sprm::TDxaGapHalf;
    map[185] = sprm::TFCantSplit;
    map[186] = sprm::TTableHeader;
    map[187] = sprm::TTableBorders80;
    map[190] = sprm::TDefTable;
    map[191] = sprm::TDefTableShd80;
    map[197] = sprm::TMerge;
    map[198] = sprm::TSplit;
    return map;
}

constexpr auto kWord6CodeMap = word6CodeMap();

// sprmPChgTabs writes 255 in its length byte when the operand is longer than a byte can say; its size then
// follows from the two counts inside: deletions take a position and a tolerance (4 bytes), additions a
// position and a descriptor (3 bytes).
std::optional<std::size_t> changeTabsOperandSize(const ByteReader& grpprl, std::size_t operand)
{
    auto deletions = grpprl.readU8(operand);
    if (!deletions)
        return std::nullopt;
    std::size_t additionsAt = operand + 1 + std::size_t(*deletions) * 4;
    auto additions = grpprl.readU8(additionsAt);
    if (!additions)
        return std::nullopt;
    return additionsAt + 1 + std::size_t(*additions) * 3 - operand;
}

} // namespace

std::optional<std::pair<Sprm, std::size_t>> SprmDecoder::decode(const ByteReader& grpprl, std::size_t offset, WordVersion version)
{
    Sprm sprm;
    std::size_t operandAt = 0;
    std::size_t operandSize = 0;
    if (version == WordVersion::Word6) {
        auto code = grpprl.readU8(offset);
        if (!code)
            return std::nullopt;
        sprm.isWord6 = true;
        sprm.code = kWord6CodeMap[*code];
        std::int8_t size = kWord6OperandSizes[*code];
        if (size == kVariable || (*code == 23 && grpprl.readU8(offset + 1) != 255)) {
            auto length = grpprl.readU8(offset + 1);
            if (!length)
                return std::nullopt;
            operandAt = offset + 2;
            operandSize = *length;
        } else if (*code == 23) {
            operandAt = offset + 2;
            auto computed = changeTabsOperandSize(grpprl, operandAt);
            if (!computed)
                return std::nullopt;
            operandSize = *computed;
        } else if (size == kVariableWord) {
            auto length = grpprl.readU16LE(offset + 1);
            if (!length)
                return std::nullopt;
            operandAt = offset + 3;
            operandSize = *length ? *length - 1u : 0u;
        } else {
            operandAt = offset + 1;
            operandSize = std::size_t(size);
        }
    } else {
        auto code = grpprl.readU16LE(offset);
        if (!code)
            return std::nullopt;
        sprm.code = *code;
        operandAt = offset + 2;
        switch (*code >> 13) {
        case 0:
        case 1:
            operandSize = 1;
            break;
        case 2:
        case 4:
        case 5:
            operandSize = 2;
            break;
        case 3:
            operandSize = 4;
            break;
        case 7:
            operandSize = 3;
            break;
        default: {
            if (*code == sprm::TDefTable || *code == sprm::TDefTable10) {
                auto length = grpprl.readU16LE(operandAt);
                if (!length)
                    return std::nullopt;
                operandAt += 2;
                operandSize = *length ? *length - 1u : 0u;
                break;
            }
            auto length = grpprl.readU8(operandAt);
            if (!length)
                return std::nullopt;
            operandAt += 1;
            operandSize = *length;
            if (*code == sprm::PChgTabs && *length == 255) {
                auto computed = changeTabsOperandSize(grpprl, operandAt);
                if (!computed)
                    return std::nullopt;
                operandSize = *computed;
            }
            break;
        }
        }
    }
    auto operand = grpprl.slice(operandAt, operandSize);
    if (!operand)
        return std::nullopt;
    sprm.operand = *operand;
    return std::make_pair(sprm, operandAt + operandSize);
}

} // namespace importer::doc
