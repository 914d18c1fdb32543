#include "import/doc/Properties.h"

#include <algorithm>

namespace importer::doc {

namespace {

// Word's "automatic" paragraph spacing, as it lays out paragraphs that came from HTML.
constexpr float kAutomaticSpacing = 14;

void removeTabs(std::vector<TabDefinition>& tabs, std::int16_t position, std::int16_t tolerance)
{
    std::erase_if(tabs, [&](const TabDefinition& tab) { return std::abs(tab.position - position) <= tolerance; });
}

void addTab(std::vector<TabDefinition>& tabs, std::int16_t position, std::uint8_t descriptor)
{
    removeTabs(tabs, position, 0);
    tabs.push_back({ position, std::uint8_t(descriptor & 7) });
}

// sprmPChgTabsPapx: deletions (positions), then additions (positions and descriptors).
void changeTabs(std::vector<TabDefinition>& tabs, const ByteReader& operand, bool hasTolerances)
{
    std::size_t at = 0;
    unsigned deletions = operand.readU8(at).value_or(0);
    at += 1;
    std::size_t tolerances = at + 2 * deletions;
    for (unsigned i = 0; i < deletions; ++i) {
        auto position = operand.readI16LE(at + 2 * i);
        if (!position)
            return;
        std::int16_t tolerance = hasTolerances ? operand.readI16LE(tolerances + 2 * i).value_or(0) : 0;
        removeTabs(tabs, *position, std::int16_t(std::clamp<int>(tolerance, 0, 1000)));
    }
    at += 2 * deletions * (hasTolerances ? 2 : 1);
    unsigned additions = operand.readU8(at).value_or(0);
    at += 1;
    std::size_t descriptors = at + 2 * additions;
    for (unsigned i = 0; i < additions; ++i) {
        auto position = operand.readI16LE(at + 2 * i);
        auto descriptor = operand.readU8(descriptors + i);
        if (!position || !descriptor)
            return;
        addTab(tabs, *position, *descriptor);
    }
    // Word never keeps more than 64 stops; a larger list can only come from a damaged file.
    if (tabs.size() > 64)
        tabs.resize(64);
}

} // namespace

void ParagraphProperties::apply(const Sprm& sprm)
{
    switch (sprm.code) {
    case sprm::PIstd:
        istd = sprm.u16();
        break;
    case sprm::PJc80:
        justification = sprm.u8();
        justificationIsLogical = false;
        break;
    case sprm::PJc:
        justification = sprm.u8();
        justificationIsLogical = true;
        break;
    case sprm::PFKeep:
        keepTogether = sprm.u8() != 0;
        break;
    case sprm::PFKeepFollow:
        keepWithNext = sprm.u8() != 0;
        break;
    case sprm::PFPageBreakBefore:
        pageBreakBefore = sprm.u8() != 0;
        break;
    case sprm::POutLvl:
        outlineLevel = sprm.u8();
        break;
    case sprm::PIlvl:
        listLevel = sprm.u8();
        break;
    case sprm::PIlfo:
        listFormat = sprm.u16();
        hasListFormat = true;
        break;
    case sprm::PChgTabsPapx:
        changeTabs(tabs, sprm.operand, false);
        break;
    case sprm::PChgTabs:
        changeTabs(tabs, sprm.operand, true);
        break;
    case sprm::PDxaRight80:
    case sprm::PDxaRight:
        rightIndent = sprm.i16();
        break;
    case sprm::PDxaLeft80:
    case sprm::PDxaLeft:
        leftIndent = sprm.i16();
        break;
    case sprm::PNest80:
    case sprm::PNest:
        leftIndent = std::max(0, leftIndent + sprm.i16());
        break;
    case sprm::PDxaLeft180:
    case sprm::PDxaLeft1:
        firstLineIndent = sprm.i16();
        break;
    case sprm::PDyaLine:
        lineSpacing = sprm.i16(0);
        lineSpacingIsMultiple = sprm.i16(2);
        break;
    case sprm::PDyaBefore:
        spaceBefore = sprm.u16();
        break;
    case sprm::PDyaAfter:
        spaceAfter = sprm.u16();
        break;
    case sprm::PFInTable:
        inTable = sprm.u8() != 0;
        break;
    case sprm::PFTtp:
        isRowEnd = sprm.u8() != 0;
        break;
    case sprm::PFBiDi:
        isRightToLeft = sprm.u8() != 0;
        break;
    case sprm::PItap:
        tableDepth = std::clamp<std::int32_t>(std::int32_t(sprm.u32()), 0, 64);
        hasTableDepth = true;
        break;
    case sprm::PDtap:
        tableDepth = std::clamp<std::int32_t>(depth() + std::int32_t(sprm.u32()), 0, 64);
        hasTableDepth = true;
        break;
    case sprm::PFInnerTableCell:
        isInnerCellEnd = sprm.u8() != 0;
        break;
    case sprm::PFInnerTtp:
        isInnerRowEnd = sprm.u8() != 0;
        break;
    case sprm::PFDyaBeforeAuto:
        spaceBeforeAuto = sprm.u8() != 0;
        break;
    case sprm::PFDyaAfterAuto:
        spaceAfterAuto = sprm.u8() != 0;
        break;
    case sprm::PAnld: {
        const auto bytes = sprm.operand.bytes();
        word6Numbering.assign(bytes.begin(), bytes.end());
        break;
    }
    case sprm::PNLvlAnmWord6:
        word6NumberingLevel = sprm.u8();
        break;
    default:
        break;
    }
}

kit::ParagraphStyle ParagraphProperties::style(float defaultTabInterval) const
{
    kit::ParagraphStyle style;
    style.baseDirection = isRightToLeft ? kit::WritingDirection::RightToLeft : kit::WritingDirection::LeftToRight;
    // Logical values name the start and the end of the line; the older physical ones name left and right.
    switch (justification) {
    case 0:
        style.alignment = justificationIsLogical ? kit::TextAlignment::Natural
            : (isRightToLeft ? kit::TextAlignment::Left : kit::TextAlignment::Natural);
        break;
    case 1:
        style.alignment = kit::TextAlignment::Center;
        break;
    case 2:
        style.alignment = justificationIsLogical && isRightToLeft ? kit::TextAlignment::Left : kit::TextAlignment::Right;
        break;
    default:
        style.alignment = kit::TextAlignment::Justified;
        break;
    }
    style.headIndent = std::max(0.f, twipsToPoints(leftIndent));
    style.firstLineHeadIndent = std::max(0.f, twipsToPoints(leftIndent + firstLineIndent));
    style.tailIndent = std::max(0.f, twipsToPoints(rightIndent));
    style.spacingBefore = spaceBeforeAuto ? kAutomaticSpacing : std::max(0.f, twipsToPoints(spaceBefore));
    style.spacingAfter = spaceAfterAuto ? kAutomaticSpacing : std::max(0.f, twipsToPoints(spaceAfter));
    if (lineSpacingIsMultiple) {
        style.lineSpacingRule = kit::LineSpacingRule::Multiple;
        style.lineSpacing = lineSpacing > 0 ? std::clamp(float(lineSpacing) / 240, 0.25f, 10.f) : 1.f;
    } else if (lineSpacing > 0) {
        style.lineSpacingRule = kit::LineSpacingRule::AtLeast;
        style.lineSpacing = twipsToPoints(lineSpacing);
    } else if (lineSpacing < 0) {
        style.lineSpacingRule = kit::LineSpacingRule::Exact;
        style.lineSpacing = twipsToPoints(-lineSpacing);
    }
    std::vector<TabDefinition> sorted = tabs;
    std::sort(sorted.begin(), sorted.end(), [](const auto& a, const auto& b) { return a.position < b.position; });
    for (const auto& tab : sorted) {
        if (tab.alignment == 4 || tab.position < 0)
            continue; // a bar tab draws a line and stops nothing
        static constexpr kit::TabAlignment alignments[] = { kit::TabAlignment::Left, kit::TabAlignment::Center,
            kit::TabAlignment::Right, kit::TabAlignment::Decimal };
        style.tabStops.push_back({ twipsToPoints(tab.position), alignments[std::min<unsigned>(tab.alignment, 3)] });
    }
    style.defaultTabInterval = defaultTabInterval;
    style.pageBreakBefore = pageBreakBefore;
    style.keepWithNext = keepWithNext;
    style.outlineLevel = std::uint8_t(outlineLevel >= 0 && outlineLevel <= 8 ? outlineLevel + 1 : 0);
    return style;
}

} // namespace importer::doc
