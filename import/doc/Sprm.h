#pragma once

#include "import/common/ByteReader.h"
#include "import/doc/Fib.h"

#include <cstdint>

namespace importer::doc {

// One property modifier: an operation code and its operand. Word 6 and 95 codes are translated to the
// Word 97 code of the same property, so that one set of appliers serves both layouts; isWord6 tells the
// few appliers whose operand layout differs.
struct Sprm {
    std::uint16_t code = 0;
    ByteReader operand;
    bool isWord6 = false;

    std::uint8_t u8(std::size_t offset = 0) const { return operand.readU8(offset).value_or(0); }
    std::uint16_t u16(std::size_t offset = 0) const { return operand.readU16LE(offset).value_or(0); }
    std::int16_t i16(std::size_t offset = 0) const { return operand.readI16LE(offset).value_or(0); }
    std::uint32_t u32(std::size_t offset = 0) const { return operand.readU32LE(offset).value_or(0); }
    // The sprm group: 1 paragraph, 2 character, 3 picture, 4 section, 5 table.
    int group() const { return (code >> 10) & 7; }
};

// Calls visit(const Sprm&) for each sprm of a grpprl, in order; stops quietly at one that runs past the end.
template<typename Visit> void forEachSprm(const ByteReader& grpprl, WordVersion version, Visit&& visit);

// Internals of the iteration, exposed for the template.
struct SprmDecoder {
    // The sprm starting at offset, and the offset after it; nullopt when it does not fit.
    static std::optional<std::pair<Sprm, std::size_t>> decode(const ByteReader& grpprl, std::size_t offset, WordVersion version);
};

template<typename Visit> void forEachSprm(const ByteReader& grpprl, WordVersion version, Visit&& visit)
{
    std::size_t offset = 0;
    while (offset < grpprl.size()) {
        auto next = SprmDecoder::decode(grpprl, offset, version);
        if (!next)
            return;
        visit(next->first);
        offset = next->second;
    }
}

// Word 97 sprm codes the importer reads. Word 6 codes map onto these.
namespace sprm {
// Character.
inline constexpr std::uint16_t CFRMarkDel = 0x0800;
inline constexpr std::uint16_t CFRMarkIns = 0x0801;
inline constexpr std::uint16_t CFFldVanish = 0x0802;
inline constexpr std::uint16_t CPicLocation = 0x6A03;
inline constexpr std::uint16_t CFData = 0x0806;
inline constexpr std::uint16_t CSymbol = 0x6A09;
inline constexpr std::uint16_t CFOle2 = 0x080A;
inline constexpr std::uint16_t CHighlight = 0x2A0C;
inline constexpr std::uint16_t CIstd = 0x4A30;
inline constexpr std::uint16_t CDefault = 0x2A32;
inline constexpr std::uint16_t CPlain = 0x2A33;
inline constexpr std::uint16_t CFBold = 0x0835;
inline constexpr std::uint16_t CFItalic = 0x0836;
inline constexpr std::uint16_t CFStrike = 0x0837;
inline constexpr std::uint16_t CFOutline = 0x0838;
inline constexpr std::uint16_t CFShadow = 0x0839;
inline constexpr std::uint16_t CFSmallCaps = 0x083A;
inline constexpr std::uint16_t CFCaps = 0x083B;
inline constexpr std::uint16_t CFVanish = 0x083C;
inline constexpr std::uint16_t CFtcDefault = 0x4A3D;
inline constexpr std::uint16_t CKul = 0x2A3E;
inline constexpr std::uint16_t CSizePos = 0xEA3F;
inline constexpr std::uint16_t CIco = 0x2A42;
inline constexpr std::uint16_t CHps = 0x4A43;
inline constexpr std::uint16_t CHpsInc = 0x2A44;
inline constexpr std::uint16_t CHpsPos = 0x4845;
inline constexpr std::uint16_t CIss = 0x2A48;
inline constexpr std::uint16_t CHpsMul = 0x4A4D;
inline constexpr std::uint16_t CRgFtc0 = 0x4A4F;
inline constexpr std::uint16_t CRgFtc1 = 0x4A50;
inline constexpr std::uint16_t CRgFtc2 = 0x4A51;
inline constexpr std::uint16_t CFDStrike = 0x2A53;
inline constexpr std::uint16_t CFImprint = 0x0854;
inline constexpr std::uint16_t CFSpec = 0x0855;
inline constexpr std::uint16_t CFObj = 0x0856;
inline constexpr std::uint16_t CFEmboss = 0x0858;
inline constexpr std::uint16_t CFBiDi = 0x085A;
inline constexpr std::uint16_t CFBoldBi = 0x085C;
inline constexpr std::uint16_t CFItalicBi = 0x085D;
inline constexpr std::uint16_t CFtcBi = 0x4A5E;
inline constexpr std::uint16_t CIcoBi = 0x4A60;
inline constexpr std::uint16_t CHpsBi = 0x4A61;
inline constexpr std::uint16_t CShd80 = 0x4866;
inline constexpr std::uint16_t CCv = 0x6870;
inline constexpr std::uint16_t CShd = 0xCA71;
inline constexpr std::uint16_t CFComplexScripts = 0x0882;
inline constexpr std::uint16_t CFSpecVanish = 0x0818;

// Paragraph.
inline constexpr std::uint16_t PIstd = 0x4600;
inline constexpr std::uint16_t PJc80 = 0x2403;
inline constexpr std::uint16_t PFKeep = 0x2405;
inline constexpr std::uint16_t PFKeepFollow = 0x2406;
inline constexpr std::uint16_t PFPageBreakBefore = 0x2407;
inline constexpr std::uint16_t PIlvl = 0x260A;
inline constexpr std::uint16_t POutLvl = 0x2640;
inline constexpr std::uint16_t PIlfo = 0x460B;
inline constexpr std::uint16_t PChgTabsPapx = 0xC60D;
inline constexpr std::uint16_t PDxaRight80 = 0x840E;
inline constexpr std::uint16_t PDxaLeft80 = 0x840F;
inline constexpr std::uint16_t PNest80 = 0x4610;
inline constexpr std::uint16_t PDxaLeft180 = 0x8411;
inline constexpr std::uint16_t PDyaLine = 0x6412;
inline constexpr std::uint16_t PDyaBefore = 0xA413;
inline constexpr std::uint16_t PDyaAfter = 0xA414;
inline constexpr std::uint16_t PChgTabs = 0xC615;
inline constexpr std::uint16_t PFInTable = 0x2416;
inline constexpr std::uint16_t PFTtp = 0x2417;
inline constexpr std::uint16_t PShd80 = 0x442D;
inline constexpr std::uint16_t PAnld = 0xC63E;
inline constexpr std::uint16_t PFBiDi = 0x2441;
inline constexpr std::uint16_t PHugePapx = 0x6646;
inline constexpr std::uint16_t PItap = 0x6649;
inline constexpr std::uint16_t PDtap = 0x664A;
inline constexpr std::uint16_t PFInnerTableCell = 0x244B;
inline constexpr std::uint16_t PFInnerTtp = 0x244C;
inline constexpr std::uint16_t PFDyaBeforeAuto = 0x245B;
inline constexpr std::uint16_t PFDyaAfterAuto = 0x245C;
inline constexpr std::uint16_t PDxaRight = 0x845D;
inline constexpr std::uint16_t PDxaLeft = 0x845E;
inline constexpr std::uint16_t PNest = 0x465F;
inline constexpr std::uint16_t PDxaLeft1 = 0x8460;
inline constexpr std::uint16_t PJc = 0x2461;
inline constexpr std::uint16_t PTableProps = 0x646B;
// Word 6 paragraph numbering level (no Word 97 equivalent; a private code).
inline constexpr std::uint16_t PNLvlAnmWord6 = 0x25FF;

// Section.
inline constexpr std::uint16_t SBkc = 0x3009;
inline constexpr std::uint16_t SFTitlePage = 0x300A;
inline constexpr std::uint16_t SCcolumns = 0x500B;
inline constexpr std::uint16_t SDxaColumns = 0x900C;
inline constexpr std::uint16_t SLBetween = 0x3019; // a rule between columns
inline constexpr std::uint16_t SFEvenlySpaced = 0x3005; // columns of one width
inline constexpr std::uint16_t SVjc = 0x301A; // vertical alignment: 0 top, 1 centre, 2 justified, 3 bottom
inline constexpr std::uint16_t SPgbProp = 0x522F; // page border options; bits 5-7: measured from (0 text, 1 page)
inline constexpr std::uint16_t SBrcTop80 = 0x702B; // page borders, Word 97's form: top, left, bottom, right
inline constexpr std::uint16_t SBrcRight80 = 0x702E;
inline constexpr std::uint16_t SBrcTop = 0xD234; // and Word 2000's
inline constexpr std::uint16_t SBrcRight = 0xD237;
inline constexpr std::uint16_t SDxaColWidth = 0xF203; // a column's index, then its width
inline constexpr std::uint16_t SDxaColSpacing = 0xF204; // a column's index, then the room after it
inline constexpr std::uint16_t SNfcPgn = 0x300E;
inline constexpr std::uint16_t SFPgnRestart = 0x3011;
inline constexpr std::uint16_t SGprfIhdt = 0x3014;
inline constexpr std::uint16_t SDyaHdrTop = 0xB017;
inline constexpr std::uint16_t SDyaHdrBottom = 0xB018;
inline constexpr std::uint16_t SPgnStart97 = 0x501C;
inline constexpr std::uint16_t SBOrientation = 0x301D;
inline constexpr std::uint16_t SXaPage = 0xB01F;
inline constexpr std::uint16_t SYaPage = 0xB020;
inline constexpr std::uint16_t SDxaLeft = 0xB021;
inline constexpr std::uint16_t SDxaRight = 0xB022;
inline constexpr std::uint16_t SDyaTop = 0x9023;
inline constexpr std::uint16_t SDyaBottom = 0x9024;
inline constexpr std::uint16_t SDzaGutter = 0xB025;
inline constexpr std::uint16_t SPgnStart = 0x7044;

// Table.
inline constexpr std::uint16_t TJc90 = 0x5400;
inline constexpr std::uint16_t TDxaLeft = 0x9601;
inline constexpr std::uint16_t TDxaGapHalf = 0x9602;
inline constexpr std::uint16_t TFCantSplit = 0x3403;
inline constexpr std::uint16_t TTableHeader = 0x3404;
inline constexpr std::uint16_t TFCantSplit90 = 0x3466;
inline constexpr std::uint16_t TTableBorders80 = 0xD605;
inline constexpr std::uint16_t TDefTable10 = 0xD606;
inline constexpr std::uint16_t TDefTable = 0xD608;
inline constexpr std::uint16_t TDefTableShd80 = 0xD609;
inline constexpr std::uint16_t TDefTableShd3rd = 0xD60C;
inline constexpr std::uint16_t TDefTableShd = 0xD612;
inline constexpr std::uint16_t TTableBorders = 0xD613;
inline constexpr std::uint16_t TDefTableShd2nd = 0xD616;
inline constexpr std::uint16_t TSetBrc80 = 0xD620;
inline constexpr std::uint16_t TInsert = 0x7621;
inline constexpr std::uint16_t TDelete = 0x5622;
inline constexpr std::uint16_t TDxaCol = 0x7623;
inline constexpr std::uint16_t TMerge = 0x5624;
inline constexpr std::uint16_t TSplit = 0x5625;
inline constexpr std::uint16_t TVertMerge = 0xD62B;
inline constexpr std::uint16_t TSetBrc = 0xD62F;
inline constexpr std::uint16_t TCellPaddingDefault = 0xD634;
} // namespace sprm

} // namespace importer::doc
