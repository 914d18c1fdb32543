#include "import/doc/SectionProperties.h"

#include "import/doc/Properties.h"

#include <algorithm>
#include <cstdlib>

namespace importer::doc {

namespace {

// Word's own limit for every page length: 22 inches.
constexpr std::int32_t kMaximumTwips = 31680;
constexpr float kMinimumPaperSide = 72;

float pointsOf(std::int32_t twips) { return twipsToPoints(std::clamp(std::abs(twips), 0, kMaximumTwips)); }

} // namespace

void SectionProperties::apply(const Sprm& sprm)
{
    switch (sprm.code) {
    case sprm::SBkc:
        breakKind = sprm.u8();
        break;
    case sprm::SFTitlePage:
        titlePage = sprm.u8() != 0;
        break;
    case sprm::SCcolumns:
        columnsLessOne = sprm.u16();
        break;
    case sprm::SDxaColumns:
        columnSpacing = sprm.i16();
        break;
    case sprm::SVjc:
        verticalAlignment = sprm.u8();
        break;
    case sprm::SPgbProp:
        pageBorderOptions = sprm.u16();
        break;
    case sprm::SFEvenlySpaced:
        evenlySpaced = sprm.u8() != 0;
        break;
    case sprm::SDxaColWidth:
    case sprm::SDxaColSpacing:
        if (std::size_t column = sprm.u8(); column < columnWidths.size())
            (sprm.code == sprm::SDxaColWidth ? columnWidths : columnSpaces)[column] = sprm.i16(1);
        break;
    case sprm::SLBetween:
        columnSeparator = sprm.u8() != 0;
        break;
    case sprm::SNfcPgn:
        pageNumberFormat = sprm.u8();
        break;
    case sprm::SFPgnRestart:
        restartsPageNumbers = sprm.u8() != 0;
        break;
    case sprm::SGprfIhdt:
        headerStories = sprm.u8();
        break;
    case sprm::SDyaHdrTop:
        headerDistance = sprm.u16();
        break;
    case sprm::SDyaHdrBottom:
        footerDistance = sprm.u16();
        break;
    case sprm::SPgnStart97:
        pageNumberStart = sprm.u16();
        break;
    case sprm::SPgnStart:
        pageNumberStart = std::int32_t(sprm.u32());
        break;
    case sprm::SBOrientation:
        isLandscape = sprm.u8() == 2;
        break;
    case sprm::SXaPage:
        pageWidth = sprm.u16();
        break;
    case sprm::SYaPage:
        pageHeight = sprm.u16();
        break;
    case sprm::SDxaLeft:
        leftMargin = sprm.u16();
        break;
    case sprm::SDxaRight:
        rightMargin = sprm.u16();
        break;
    case sprm::SDyaTop:
        topMargin = sprm.i16();
        break;
    case sprm::SDyaBottom:
        bottomMargin = sprm.i16();
        break;
    case sprm::SDzaGutter:
        gutter = sprm.u16();
        break;
    default:
        if (sprm.code >= sprm::SBrcTop80 && sprm.code <= sprm::SBrcRight80)
            pageBorders[sprm.code - sprm::SBrcTop80] = BorderLine::fromBrc80(sprm.operand, 0);
        else if (sprm.code >= sprm::SBrcTop && sprm.code <= sprm::SBrcRight)
            pageBorders[sprm.code - sprm::SBrcTop] = BorderLine::fromBrc(sprm.operand, 0);
        break;
    }
}

kit::PageSection SectionProperties::pageSection() const
{
    kit::PageSection section;
    section.paperSize
        = { std::max(pointsOf(pageWidth), kMinimumPaperSide), std::max(pointsOf(pageHeight), kMinimumPaperSide) };
    // Word stores a landscape page with its sides already swapped; one that says landscape over a portrait
    // size means the turned page.
    if (isLandscape && section.paperSize.width < section.paperSize.height)
        std::swap(section.paperSize.width, section.paperSize.height);
    section.margins = { pointsOf(topMargin), pointsOf(bottomMargin), pointsOf(leftMargin), pointsOf(rightMargin),
        pointsOf(headerDistance), pointsOf(footerDistance), pointsOf(gutter) };
    section.margins.isTopExact = topMargin < 0;
    section.margins.isBottomExact = bottomMargin < 0;
    section.titlePage = titlePage;
    section.columnCount = std::min<int>(columnsLessOne, 15) + 1;
    section.columnSpacing = std::min(pointsOf(columnSpacing), 36.0f * 20);
    section.columnSeparator = columnSeparator && section.columnCount > 1;
    if (!evenlySpaced && section.columnCount > 1) {
        for (int i = 0; i < section.columnCount; ++i)
            section.unequalColumns.push_back({ pointsOf(columnWidths[std::size_t(i)]), pointsOf(columnSpaces[std::size_t(i)]) });
        // A column without a width means the file gave none: the columns are of one width after all.
        if (std::any_of(section.unequalColumns.begin(), section.unequalColumns.end(),
                [](const kit::SectionColumn& column) { return column.width <= 0; }))
            section.unequalColumns.clear();
    }
    static const kit::VerticalAlignment kAlignments[] = { kit::VerticalAlignment::Top, kit::VerticalAlignment::Center,
        kit::VerticalAlignment::Justified, kit::VerticalAlignment::Bottom };
    section.verticalAlignment
        = verticalAlignment < std::size(kAlignments) ? kAlignments[verticalAlignment] : kit::VerticalAlignment::Top;
    section.borders.measuredFromText = ((pageBorderOptions >> 5) & 7) != 1;
    for (std::size_t side = 0; side < 4; ++side) {
        if (pageBorders[side].isSet()) {
            section.borders.sides[side] = pageBorders[side].border();
            section.borders.distances[side] = pageBorders[side].space;
        }
    }
    if (restartsPageNumbers)
        section.pageNumberStart = std::clamp(pageNumberStart, -1000000, 1000000);
    static const kit::PageNumberFormat kFormats[] = { kit::PageNumberFormat::Decimal, kit::PageNumberFormat::UpperRoman,
        kit::PageNumberFormat::LowerRoman, kit::PageNumberFormat::UpperLetter, kit::PageNumberFormat::LowerLetter };
    section.pageNumberFormat
        = pageNumberFormat < std::size(kFormats) ? kFormats[pageNumberFormat] : kit::PageNumberFormat::Decimal;
    return section;
}

} // namespace importer::doc
