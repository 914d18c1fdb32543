// The control words the reader understands, by what they change. Each handler returns false for a word
// that is not its own, so RtfReader::controlWord can try them in turn; words nobody knows are ignored.
// Which word means what is the keyword table's (RtfKeyword.cpp); here is what each meaning does. The words
// that open destinations are RtfDestinations.cpp's.
#include "import/rtf/RtfReader.h"

#include "import/common/Encoding.h"

#include <algorithm>
#include <cmath>

namespace importer::rtf {

namespace {

float twips(int value) { return float(value) / 20.0f; }

// A table edge (\cellx, \trleft), twips from the margin, kept within a few hundred metres of it so that the
// edges and widths computed from it (cells past a row's definition add a default width each) stay in range.
int tableEdge(int value)
{
    constexpr int kFarthest = 1 << 24;
    return std::clamp(value, -kFarthest, kFarthest);
}

bool isOn(const ControlWord& word) { return !word.hasParameter || word.parameter != 0; }

} // namespace

bool RtfReader::specialCharacterWord(const ControlWord& word)
{
    GroupState& current = state();
    bool isBody = current.destination == Destination::Body;
    switch (word.keyword) {
    case Keyword::ParagraphEnd:
        if (isBody)
            finishParagraph("\n");
        return true;
    case Keyword::LineBreak:
        appendText(kit::kLineSeparator);
        return true;
    case Keyword::Tab:
        appendText("\t");
        return true;
    case Keyword::PageBreak:
        if (isBody)
            finishParagraph("\f");
        return true;
    case Keyword::SectionBreak:
        if (isBody) {
            if (!story().current.runs.empty())
                finishParagraph("\n");
            if (current.story == 0) {
                m_pendingSectionBreak = true;
                beginNextSection();
            }
        }
        return true;
    case Keyword::ColumnBreak:
        if (isBody && !story().current.runs.empty())
            finishParagraph("\n");
        // The paragraph after it starts the next column of the body.
        if (isBody && current.story == 0)
            m_pendingColumnBreak = true;
        return true;
    case Keyword::CellEnd:
    case Keyword::NestedCellEnd:
        if (isBody)
            finishCell(word.keyword == Keyword::NestedCellEnd);
        return true;
    case Keyword::RowEnd:
    case Keyword::NestedRowEnd:
        if (isBody)
            finishRow(word.keyword == Keyword::NestedRowEnd);
        return true;
    case Keyword::Character:
        appendCharacter(char32_t(word.detail));
        return true;
    case Keyword::NoteNumber:
        appendText(std::to_string(current.story == 1 ? std::max(1, m_noteCount) : m_noteCount + 1));
        return true;
    default:
        return false;
    }
}

bool RtfReader::characterWord(const ControlWord& word)
{
    GroupState& current = state();
    CharacterState& c = current.character;
    int parameter = word.parameter;
    bool on = isOn(word);
    switch (word.keyword) {
    case Keyword::Plain:
        c = {};
        break;
    case Keyword::Font:
        if (current.destination == Destination::FontTable) {
            m_fonts.beginEntry(parameter);
            return true;
        }
        c.font = parameter;
        if (current.associated == FontRange::DoubleByte)
            c.eastAsianFont = parameter;
        break;
    case Keyword::AssociatedFont:
        if (current.associated == FontRange::DoubleByte)
            c.eastAsianFont = parameter;
        else if (current.associated == FontRange::RightToLeft)
            c.complexFont = parameter;
        break;
    case Keyword::FontRange:
        current.associated = FontRange(word.detail);
        break;
    case Keyword::FontSize:
        // Half points; a size of 0 or a damaged one falls back to 12 points, and the smallest is one point,
        // as in the Word binary reader.
        c.fontSize = word.hasParameter && parameter > 0 && parameter <= 3276 ? float(std::max(parameter, 2)) / 2.0f : 12;
        break;
    case Keyword::CharacterFlag: {
        static constexpr bool CharacterState::*kFlags[] = { &CharacterState::bold, &CharacterState::italic,
            &CharacterState::allCaps, &CharacterState::smallCaps, &CharacterState::hidden };
        c.*kFlags[std::size_t(word.detail)] = on;
        break;
    }
    case Keyword::Underline:
        c.underline = on ? kit::LineStyle(word.detail) : kit::LineStyle::None;
        break;
    case Keyword::NoUnderline:
        c.underline = kit::LineStyle::None;
        break;
    case Keyword::Strikethrough:
        c.strikethrough = on ? kit::LineStyle(word.detail) : kit::LineStyle::None;
        break;
    case Keyword::Foreground:
        c.foreground = parameter;
        break;
    case Keyword::Background:
        c.background = parameter;
        break;
    case Keyword::Superscript:
        c.superscript = on ? 1 : 0;
        break;
    case Keyword::Subscript:
        c.superscript = on ? -1 : 0;
        break;
    case Keyword::NoSuperscript:
        c.superscript = 0;
        break;
    case Keyword::Raise:
        c.baselineShift = float(word.hasParameter ? parameter : 6) / 2.0f;
        break;
    case Keyword::Lower:
        c.baselineShift = -float(word.hasParameter ? parameter : 6) / 2.0f;
        break;
    case Keyword::CharacterStyle:
        if (current.destination == Destination::StyleEntry) {
            m_styles.setEntryNumber(parameter);
            return true;
        }
        applyStyle(parameter, 0);
        break;
    default:
        return false;
    }
    current.attributes.reset();
    return true;
}

bool RtfReader::paragraphWord(const ControlWord& word)
{
    GroupState& current = state();
    ParagraphState& p = current.paragraph;
    kit::ParagraphStyle& style = p.style;
    int parameter = word.parameter;
    switch (word.keyword) {
    case Keyword::ParagraphDefaults:
        p = {};
        p.style = m_defaultParagraphStyle;
        if (m_borderSide != BorderSide::Cell && m_borderSide != BorderSide::Row)
            m_borderSide = BorderSide::None;
        break;
    case Keyword::Alignment:
        style.alignment = kit::TextAlignment(word.detail);
        break;
    case Keyword::LeftIndent: {
        float firstLineOffset = style.firstLineHeadIndent - style.headIndent;
        style.headIndent = twips(parameter);
        style.firstLineHeadIndent = style.headIndent + firstLineOffset;
        break;
    }
    case Keyword::FirstLineIndent:
        style.firstLineHeadIndent = style.headIndent + twips(parameter);
        break;
    case Keyword::RightIndent:
        style.tailIndent = std::max(0.0f, twips(parameter));
        break;
    case Keyword::SpaceBefore:
        style.spacingBefore = std::max(0.0f, twips(parameter));
        break;
    case Keyword::SpaceAfter:
        style.spacingAfter = std::max(0.0f, twips(parameter));
        break;
    case Keyword::LineSpacing:
        if (!word.hasParameter || parameter == 0 || parameter == 1000) {
            style.lineSpacingRule = kit::LineSpacingRule::Multiple;
            style.lineSpacing = 1;
        } else if (parameter < 0) {
            style.lineSpacingRule = kit::LineSpacingRule::Exact;
            style.lineSpacing = twips(-parameter);
        } else {
            // \sl alone means "at least"; \slmult1 after it turns it into a multiple of single spacing (240).
            style.lineSpacingRule = kit::LineSpacingRule::AtLeast;
            style.lineSpacing = twips(parameter);
        }
        break;
    case Keyword::LineSpacingMultiple:
        if (parameter == 1 && style.lineSpacingRule == kit::LineSpacingRule::AtLeast) {
            style.lineSpacingRule = kit::LineSpacingRule::Multiple;
            style.lineSpacing = style.lineSpacing * 20.0f / 240.0f;
        }
        break;
    case Keyword::TabPosition:
    case Keyword::BarTab:
        if (style.tabStops.size() < 64 && word.keyword == Keyword::TabPosition)
            style.tabStops.push_back({ twips(parameter), p.nextTabAlignment });
        p.nextTabAlignment = kit::TabAlignment::Left;
        break;
    case Keyword::TabKind:
        p.nextTabAlignment = kit::TabAlignment(word.detail);
        break;
    case Keyword::PageBreakBefore:
        style.pageBreakBefore = isOn(word);
        break;
    case Keyword::KeepWithNext:
        style.keepWithNext = isOn(word);
        break;
    case Keyword::OutlineLevel:
        // 0...8 are the outline's levels; anything else is body text.
        style.outlineLevel = std::uint8_t(parameter >= 0 && parameter <= 8 ? parameter + 1 : 0);
        break;
    case Keyword::RightToLeftParagraph:
        style.baseDirection = kit::WritingDirection::RightToLeft;
        break;
    case Keyword::LeftToRightParagraph:
        style.baseDirection = kit::WritingDirection::LeftToRight;
        break;
    case Keyword::InTable:
        p.isInTable = true;
        break;
    case Keyword::NewTable:
        p.startsTableAt = std::clamp(parameter, 0, RtfTableBuilder::kMaximumNesting);
        break;
    case Keyword::NestingLevel:
        p.nestingLevel = std::clamp(parameter, 0, RtfTableBuilder::kMaximumNesting);
        p.isInTable = parameter > 0;
        break;
    case Keyword::ListOverride:
        p.listOverride = parameter;
        break;
    case Keyword::ListLevelNumber:
        p.listLevel = std::clamp(parameter, 0, 8);
        break;
    case Keyword::ParagraphStyle:
        if (current.destination == Destination::StyleEntry) {
            m_styles.setEntryNumber(parameter);
            return true;
        }
        applyStyle(parameter, 0);
        break;
    case Keyword::BasedOn:
        if (current.destination == Destination::StyleEntry)
            m_styles.setBasedOn(parameter);
        break;
    case Keyword::ParagraphBorder:
        m_borderSide = BorderSide::Other; // paragraph, character and page borders are not drawn
        break;
    default:
        return false;
    }
    return true;
}

bool RtfReader::tableDefinitionWord(const ControlWord& word)
{
    int parameter = word.parameter;
    if (word.keyword == Keyword::RowDefaults) {
        // A nested row's definition comes inside \nesttableprops, after the paragraphs of its cells.
        int level = 1;
        if (state().paragraph.isInTable && state().paragraph.nestingLevel > 1)
            level = std::max(2, std::min(state().paragraph.nestingLevel, story().tables->depth()));
        m_rowLevel = level;
        m_rowDefinitions[level] = {};
        m_borderSide = BorderSide::None;
        m_cellShadingPercent.reset();
        m_cellPatternColor = 0;
        return true;
    }
    RowDefinition& row = rowDefinition();
    CellDefinition& cell = row.pending;
    auto color = [&](int index) { return m_colors.color(index); };
    switch (word.keyword) {
    case Keyword::CellEdge:
        if (m_cellShadingPercent && *m_cellShadingPercent > 0) {
            // A shading percentage mixes the pattern colour (black by default) into the background (white).
            float share = std::clamp(float(*m_cellShadingPercent) / 10000.0f, 0.0f, 1.0f);
            kit::Color background = cell.shading.value_or(kit::Color::whiteColor());
            kit::Color pattern = color(m_cellPatternColor).value_or(kit::Color::blackColor());
            auto mix = [&](float b, float f) { return b * (1 - share) + f * share; };
            cell.shading = kit::Color::calibratedRGB(mix(background.red(), pattern.red()),
                mix(background.green(), pattern.green()), mix(background.blue(), pattern.blue()));
        }
        cell.right = tableEdge(parameter);
        if (row.cells.size() < 4096)
            row.cells.push_back(cell);
        row.pending = {};
        m_cellShadingPercent.reset();
        m_cellPatternColor = 0;
        m_borderSide = BorderSide::None;
        return true;
    case Keyword::RowLeft:
        row.left = tableEdge(parameter);
        return true;
    case Keyword::GridEdge:
        if (row.gridEdges.size() < 128)
            row.gridEdges.push_back(tableEdge(parameter));
        return true;
    case Keyword::CellGap:
        row.gap = std::max(0, parameter);
        return true;
    case Keyword::HeaderRow:
        row.isHeader = true;
        return true;
    case Keyword::RowKeepsTogether:
        row.keepsTogether = true;
        return true;
    case Keyword::RowPadding:
        row.padding[std::size_t(word.detail)] = std::max(0, parameter);
        return true;
    case Keyword::CellPadding:
        cell.padding[std::size_t(word.detail)] = std::max(0, parameter);
        return true;
    case Keyword::MergeFirst:
        cell.mergeFirst = true;
        return true;
    case Keyword::Merge:
        cell.mergeContinue = true;
        return true;
    case Keyword::VerticalMergeFirst:
        cell.verticalMergeFirst = true;
        return true;
    case Keyword::VerticalMerge:
        cell.verticalMergeContinue = true;
        return true;
    case Keyword::CellBackground:
        cell.shading = color(parameter);
        return true;
    case Keyword::CellPatternColor:
        m_cellPatternColor = parameter;
        return true;
    case Keyword::CellShading:
        m_cellShadingPercent = parameter;
        return true;
    case Keyword::CellBorder:
        m_borderSide = BorderSide::Cell;
        m_borderIndex = word.detail;
        return true;
    case Keyword::RowBorder:
        m_borderSide = BorderSide::Row;
        m_borderIndex = word.detail;
        return true;
    case Keyword::BorderWidth:
    case Keyword::BorderColor:
    case Keyword::NoBorder:
    case Keyword::DoubleBorder:
    case Keyword::BorderSpacing:
    case Keyword::ThickBorder:
    case Keyword::SingleBorder:
        break;
    default:
        return false;
    }
    // The properties of the border that \clbrdr... or \trbrdr... named last.
    BorderDefinition* border = borderTarget();
    if (!border)
        return true;
    switch (word.keyword) {
    case Keyword::BorderWidth:
        border->border.width = twips(std::clamp(parameter, 0, 1000));
        break;
    case Keyword::BorderColor:
        border->border.color = color(parameter).value_or(kit::Color::blackColor());
        break;
    case Keyword::NoBorder:
        border->isSet = true;
        border->border.style = kit::LineStyle::None;
        break;
    case Keyword::DoubleBorder:
        border->isSet = true;
        border->border.style = kit::LineStyle::Double;
        break;
    case Keyword::BorderSpacing:
        break; // spacing and frame flags change nothing drawn here
    default:
        // \brdrs, \brdrth, \brdrdot, \brdrdash, \brdrhair, \brdrsh...: a single line.
        border->isSet = true;
        border->border.style = kit::LineStyle::Single;
        if (border->border.width == 0)
            border->border.width = word.keyword == Keyword::ThickBorder ? 1.0f : 0.5f;
        break;
    }
    if (m_borderSide == BorderSide::Page)
        pageBorderWord(word);
    return true;
}

bool RtfReader::documentWord(const ControlWord& word)
{
    GroupState& current = state();
    int parameter = word.parameter;
    switch (word.keyword) {
    case Keyword::CharacterSet:
        m_documentCodePage = word.detail;
        return true;
    case Keyword::CodePage:
        if (word.hasParameter && encoding::iconvNameForCodePage(parameter))
            m_documentCodePage = parameter;
        return true;
    case Keyword::DefaultFont:
        m_defaultFont = parameter;
        current.attributes.reset();
        return true;
    case Keyword::DefaultTab:
        if (parameter > 0) {
            m_defaultParagraphStyle.defaultTabInterval = twips(parameter);
            current.paragraph.style.defaultTabInterval = twips(parameter);
        }
        return true;
    case Keyword::UnicodeSkip:
        current.unicodeSkip = std::clamp(parameter, 0, 16);
        return true;
    case Keyword::FontCharset:
        if (current.destination == Destination::FontTable)
            m_fonts.setCharset(parameter);
        return true;
    case Keyword::FontCodePage:
        if (current.destination == Destination::FontTable)
            m_fonts.setCodePage(parameter);
        return true;
    case Keyword::ColorComponent:
        if (current.destination == Destination::ColorTable)
            m_colors.setComponent(word.detail, parameter);
        return true;
    case Keyword::SectionDefaults:
    case Keyword::SectionBreakPage:
        m_sectionBreaksPage = true;
        return true;
    case Keyword::SectionBreakNone:
        m_sectionBreaksPage = false;
        return true;
    default:
        break;
    }
    if (current.destination != Destination::Picture)
        return false;
    // The picture's measures by the detail of their words' rows.
    static constexpr void (RtfPicture::*kMeasures[])(int) = { &RtfPicture::setWidth, &RtfPicture::setHeight,
        &RtfPicture::setGoalWidth, &RtfPicture::setGoalHeight, &RtfPicture::setScaleX, &RtfPicture::setScaleY };
    if (word.keyword == Keyword::PictureFormat)
        m_picture.setFormat(RtfPicture::Format(word.detail));
    else if (word.keyword == Keyword::PictureMeasure)
        (m_picture.*kMeasures[std::size_t(word.detail)])(parameter);
    else
        return false;
    return true;
}

} // namespace importer::rtf
