// The control words the reader understands, by what they change. Each handler returns false for a word
// that is not its own, so RtfReader::controlWord can try them in turn; words nobody knows are ignored.
#include "import/rtf/RtfReader.h"

#include "import/common/Encoding.h"
#include "import/common/PageFields.h"

#include <algorithm>
#include <cmath>

namespace importer::rtf {

namespace {
// Notes whose places are kept; the text of later ones still comes after the body.
constexpr int kMaximumNotes = 100000;
} // namespace

namespace {

float twips(int value) { return float(value) / 20.0f; }

// A table edge (\cellx, \trleft), twips from the margin, kept within a few hundred metres of it so that the
// edges and widths computed from it (cells past a row's definition add a default width each) stay in range.
int tableEdge(int value)
{
    constexpr int kFarthest = 1 << 24;
    return std::clamp(value, -kFarthest, kFarthest);
}

bool isOn(bool hasParameter, int parameter) { return !hasParameter || parameter != 0; }

// Destinations whose text is never shown: document information, headers and footers (a page view of its
// own would draw them), note separators, index and contents entries, and Word's private tables.
constexpr std::string_view kHiddenDestinations[] = {
    "info", "ftnsep",
    "ftnsepc", "ftncn", "aftnsep", "aftnsepc", "aftncn", "nonshppict", "shprslt", "tc", "tcn", "xe", "txe",
    "private", "pntxta", "pntxtb", "pn", "listname", "revtbl", "filetbl", "author", "operator", "title",
    "subject", "keywords", "comment", "doccomm", "company", "manager", "category", "objdata", "objclass",
    "objname", "fldtype", "datafield", "themedata", "colorschememapping", "datastore", "latentstyles",
    "xmlnstbl", "rsidtbl", "generator", "mmathPr", "listpicture", "pgdsctbl", "annotation", "atnid",
    "atnauthor", "atndate", "bkmkend", "template", "userprops", "docvar",
    "blipuid", "do", "nonesttables", "fchars", "lchars", "formfield", "protusertbl", "wgrffmtfilter", "ftnsep", "passwordhash",
};

} // namespace

bool RtfReader::destinationWord(std::string_view word, bool hasParameter, int parameter)
{
    GroupState& current = state();
    Destination destination = current.destination;
    if (word == "fonttbl") {
        current.destination = Destination::FontTable;
        m_fontEntry = {};
        m_hasFontEntry = false;
        m_fontNumber = -1;
    } else if (word == "colortbl") {
        current.destination = Destination::ColorTable;
        m_colors.clear();
        m_red = m_green = m_blue = -1;
    } else if (word == "stylesheet") {
        current.destination = Destination::StyleSheet;
    } else if (word == "pict") {
        current.destination = Destination::Picture;
        m_picture = {};
    } else if (word == "shppict" || word == "shpinst" || word == "shptxt" || word == "result" || word == "shp"
        || word == "object") {
        // Containers whose content is shown: the picture of a shape, a text box's text, an object's result.
    } else if (word == "sn") {
        current.destination = Destination::ShapePropertyName;
        m_shapePropertyName.clear();
    } else if (word == "sv") {
        // Only a shape's picture and a picture's description are read; other properties are numbers and names.
        if (destination == Destination::Picture && m_shapePropertyName == "wzDescription")
            current.destination = Destination::PictureDescription;
        else if (m_shapePropertyName != "pib" || destination == Destination::Picture)
            current.destination = Destination::Skip;
    } else if (word == "picprop" || word == "sp") {
        if (destination != Destination::Picture && word == "picprop")
            current.destination = Destination::Skip;
    } else if (word == "header" || word == "headerl" || word == "headerr" || word == "headerf" || word == "footer"
        || word == "footerl" || word == "footerr" || word == "footerf") {
        if (!beginHeaderFooter(word))
            current.destination = Destination::Skip;
    } else if (word == "footnote") {
        if (current.story == 0 && destination == Destination::Body) {
            // The reference is the mark just written: the note's group follows it in the body paragraph.
            if (m_noteCount < kMaximumNotes) {
                std::size_t at = 0;
                for (const auto& run : story().current.runs)
                    at += run.text.size();
                story().current.noteReferences.emplace_back(at, m_noteCount);
                m_noteIsEndnote.push_back(false);
                m_pendingNoteStart = m_noteCount;
            }
            current.story = 1;
            current.paragraph = {};
            current.paragraph.style = m_defaultParagraphStyle;
            current.link.clear();
            current.isListLabel = false;
            current.attributes.reset();
            ++m_noteCount;
        } else {
            current.destination = Destination::Skip;
        }
    } else if (word == "ftnalt") {
        // An endnote rather than a footnote.
        if (current.story == 1 && !m_noteIsEndnote.empty())
            m_noteIsEndnote.back() = true;
    } else if (word == "field") {
        if (m_fields.size() < 64)
            m_fields.push_back({ {}, m_states.size() });
    } else if (word == "fldinst") {
        if (!m_fields.empty() && m_fields.back().depth + 1 == m_states.size())
            current.destination = Destination::FieldInstruction;
        else
            current.destination = Destination::Skip;
    } else if (word == "fldrslt") {
        if (!m_fields.empty()) {
            std::string url = hyperlinkOfInstruction(m_fields.back().instruction);
            if (!url.empty()) {
                current.link = url;
                current.attributes.reset();
            }
            if (kit::PageField field = pageFieldOfInstruction(m_fields.back().instruction); field != kit::PageField::None) {
                current.pageField = field;
                current.attributes.reset();
            }
        }
    } else if (word == "bkmkstart") {
        // A bookmark's name; it marks the text that follows it in the body.
        current.destination = current.story == 0 && destination == Destination::Body ? Destination::BookmarkName : Destination::Skip;
        m_bookmarkName.clear();
    } else if (word == "listtable") {
        current.destination = Destination::ListTable;
    } else if (word == "list" && destination == Destination::ListTable) {
        m_lists.beginList();
    } else if (word == "listid" && (destination == Destination::ListTable || destination == Destination::ListOverrideTable)) {
        if (destination == Destination::ListTable)
            m_lists.setListId(parameter);
        else
            m_listOverrideId = parameter;
    } else if (word == "listlevel" && destination == Destination::ListTable) {
        m_lists.beginLevel();
        current.destination = Destination::ListLevel;
        if (auto* level = m_lists.currentLevel())
            level->codePage = m_documentCodePage;
    } else if (word == "levelnfc" && destination == Destination::ListLevel) {
        if (auto* level = m_lists.currentLevel())
            level->numberFormat = parameter;
    } else if (word == "levelstartat" && destination == Destination::ListLevel) {
        if (auto* level = m_lists.currentLevel())
            level->startAt = parameter;
    } else if (word == "leveltext" && destination == Destination::ListLevel) {
        current.destination = Destination::LevelText;
        if (auto* level = m_lists.currentLevel())
            level->text.clear();
    } else if (word == "levelnumbers" && destination == Destination::ListLevel) {
        current.destination = Destination::LevelNumbers;
    } else if (word == "f" && destination == Destination::ListLevel) {
        if (auto* level = m_lists.currentLevel()) {
            auto font = m_fonts.find(parameter);
            if (font != m_fonts.end()) {
                level->fontName = font->second.isSymbol ? font->second.name : std::string();
                if (font->second.codePage)
                    level->codePage = font->second.codePage;
            }
        }
    } else if (destination == Destination::ListTable || destination == Destination::ListLevel
        || destination == Destination::LevelText || destination == Destination::LevelNumbers) {
        // Everything else inside the list table describes its look; \fi and \li are on the paragraphs too.
        if (word == "listname")
            current.destination = Destination::Skip;
    } else if (word == "listoverridetable") {
        current.destination = Destination::ListOverrideTable;
    } else if (destination == Destination::ListOverrideTable) {
        if (word == "ls")
            m_listOverrideNumber = parameter;
    } else if (word == "listtext" || word == "pntext" || word == "lectorinlabel") {
        if (current.character.hidden || current.isListLabel) {
            current.destination = Destination::Skip;
        } else {
            // Our own writer's labels are exact; other writers' are trimmed and given their tab.
            if (word == "lectorinlabel")
                story().current.hasVerbatimLabel = true;
            current.isListLabel = true;
            current.attributes.reset();
        }
    } else if (word == "nesttableprops") {
        // Read as body: it holds the nested row's \trowd ... \cellx and its \nestrow.
    } else if (word == "upr") {
        current.uprDestination = current.destination;
        current.destination = Destination::Skip;
        current.isUprAnsiPart = true;
    } else if (word == "ud") {
        // Outside \upr: a plain group.
    } else if (std::find(std::begin(kHiddenDestinations), std::end(kHiddenDestinations), word) != std::end(kHiddenDestinations)) {
        current.destination = Destination::Skip;
    } else {
        (void)hasParameter;
        return false;
    }
    return true;
}

bool RtfReader::specialCharacterWord(std::string_view word, bool hasParameter, int parameter)
{
    (void)hasParameter;
    (void)parameter;
    GroupState& current = state();
    if (word == "par") {
        if (current.destination == Destination::Body)
            finishParagraph("\n");
    } else if (word == "line") {
        appendText(kit::kLineSeparator);
    } else if (word == "tab") {
        appendText("\t");
    } else if (word == "page") {
        if (current.destination == Destination::Body)
            finishParagraph("\f");
    } else if (word == "sect") {
        if (current.destination == Destination::Body) {
            if (!story().current.runs.empty())
                finishParagraph("\n");
            if (current.story == 0) {
                m_pendingSectionBreak = true;
                beginNextSection();
            }
        }
    } else if (word == "column") {
        if (current.destination == Destination::Body && !story().current.runs.empty())
            finishParagraph("\n");
        // The paragraph after it starts the next column of the body.
        if (current.destination == Destination::Body && current.story == 0)
            m_pendingColumnBreak = true;
    } else if (word == "cell") {
        if (current.destination == Destination::Body)
            finishCell(false);
    } else if (word == "nestcell") {
        if (current.destination == Destination::Body)
            finishCell(true);
    } else if (word == "row") {
        if (current.destination == Destination::Body)
            finishRow(false);
    } else if (word == "nestrow") {
        if (current.destination == Destination::Body)
            finishRow(true);
    } else if (word == "emdash") {
        appendCharacter(0x2014);
    } else if (word == "endash") {
        appendCharacter(0x2013);
    } else if (word == "bullet") {
        appendCharacter(0x2022);
    } else if (word == "lquote") {
        appendCharacter(0x2018);
    } else if (word == "rquote") {
        appendCharacter(0x2019);
    } else if (word == "ldblquote") {
        appendCharacter(0x201C);
    } else if (word == "rdblquote") {
        appendCharacter(0x201D);
    } else if (word == "emspace") {
        appendCharacter(0x2003);
    } else if (word == "enspace") {
        appendCharacter(0x2002);
    } else if (word == "qmspace") {
        appendCharacter(0x2005);
    } else if (word == "zwj") {
        appendCharacter(0x200D);
    } else if (word == "zwnj") {
        appendCharacter(0x200C);
    } else if (word == "ltrmark") {
        appendCharacter(0x200E);
    } else if (word == "rtlmark") {
        appendCharacter(0x200F);
    } else if (word == "zwbo" || word == "zwnbo") {
        appendCharacter(word == "zwbo" ? 0x200B : 0x2060);
    } else if (word == "chftn") {
        appendText(std::to_string(current.story == 1 ? std::max(1, m_noteCount) : m_noteCount + 1));
    } else {
        return false;
    }
    return true;
}

bool RtfReader::characterWord(std::string_view word, bool hasParameter, int parameter)
{
    GroupState& current = state();
    CharacterState& c = current.character;
    bool on = isOn(hasParameter, parameter);
    if (word == "plain") {
        c = {};
    } else if (word == "f") {
        if (current.destination == Destination::FontTable) {
            if (m_hasFontEntry || m_fontNumber >= 0)
                commitFont();
            m_fontNumber = parameter;
            m_hasFontEntry = true;
            return true;
        }
        c.font = parameter;
        if (current.associated == AssociatedFont::DoubleByte)
            c.eastAsianFont = parameter;
    } else if (word == "af") {
        if (current.associated == AssociatedFont::DoubleByte)
            c.eastAsianFont = parameter;
        else if (current.associated == AssociatedFont::RightToLeft)
            c.complexFont = parameter;
    } else if (word == "loch") {
        current.associated = AssociatedFont::LowAnsi;
    } else if (word == "hich") {
        current.associated = AssociatedFont::HighAnsi;
    } else if (word == "dbch") {
        current.associated = AssociatedFont::DoubleByte;
    } else if (word == "rtlch") {
        current.associated = AssociatedFont::RightToLeft;
    } else if (word == "ltrch") {
        current.associated = AssociatedFont::None;
    } else if (word == "fs") {
        // Half points; a size of 0 or a damaged one falls back to 12 points, and the smallest is one point,
        // as in the Word binary reader.
        c.fontSize = hasParameter && parameter > 0 && parameter <= 3276 ? float(std::max(parameter, 2)) / 2.0f : 12;
    } else if (word == "b") {
        c.bold = on;
    } else if (word == "i") {
        c.italic = on;
    } else if (word == "ul" || word == "ulw" || word == "uld" || word == "uldash" || word == "uldashd"
        || word == "uldashdd" || word == "ulhair" || word == "ulhwave" || word == "ulldash" || word == "ulth"
        || word == "ulthd" || word == "ulthdash" || word == "ulthdashd" || word == "ulthdashdd"
        || word == "ulthldash" || word == "ulwave") {
        c.underline = on ? kit::LineStyle::Single : kit::LineStyle::None;
    } else if (word == "uldb" || word == "ululdbwave") {
        c.underline = on ? kit::LineStyle::Double : kit::LineStyle::None;
    } else if (word == "ulnone") {
        c.underline = kit::LineStyle::None;
    } else if (word == "strike") {
        c.strikethrough = on ? kit::LineStyle::Single : kit::LineStyle::None;
    } else if (word == "striked") {
        c.strikethrough = on ? kit::LineStyle::Double : kit::LineStyle::None;
    } else if (word == "caps") {
        c.allCaps = on;
    } else if (word == "scaps") {
        c.smallCaps = on;
    } else if (word == "v") {
        c.hidden = on;
    } else if (word == "cf") {
        c.foreground = parameter;
    } else if (word == "cb" || word == "highlight" || word == "chcbpat") {
        c.background = parameter;
    } else if (word == "super") {
        c.superscript = on ? 1 : 0;
    } else if (word == "sub") {
        c.superscript = on ? -1 : 0;
    } else if (word == "nosupersub") {
        c.superscript = 0;
    } else if (word == "up") {
        c.baselineShift = float(hasParameter ? parameter : 6) / 2.0f;
    } else if (word == "dn") {
        c.baselineShift = -float(hasParameter ? parameter : 6) / 2.0f;
    } else if (word == "cs") {
        if (current.destination == Destination::StyleEntry) {
            m_styleNumber = parameter;
            return true;
        }
        applyStyle(parameter, 0);
    } else {
        return false;
    }
    current.attributes.reset();
    return true;
}

bool RtfReader::paragraphWord(std::string_view word, bool hasParameter, int parameter)
{
    GroupState& current = state();
    ParagraphState& p = current.paragraph;
    kit::ParagraphStyle& style = p.style;
    if (word == "pard") {
        p = {};
        p.style = m_defaultParagraphStyle;
        if (m_borderSide != BorderSide::Cell && m_borderSide != BorderSide::Row)
            m_borderSide = BorderSide::None;
    } else if (word == "ql") {
        style.alignment = kit::TextAlignment::Left;
    } else if (word == "qr") {
        style.alignment = kit::TextAlignment::Right;
    } else if (word == "qc") {
        style.alignment = kit::TextAlignment::Center;
    } else if (word == "qj" || word == "qd") {
        style.alignment = kit::TextAlignment::Justified;
    } else if (word == "li") {
        float firstLineOffset = style.firstLineHeadIndent - style.headIndent;
        style.headIndent = twips(parameter);
        style.firstLineHeadIndent = style.headIndent + firstLineOffset;
    } else if (word == "fi") {
        style.firstLineHeadIndent = style.headIndent + twips(parameter);
    } else if (word == "ri") {
        style.tailIndent = std::max(0.0f, twips(parameter));
    } else if (word == "sb") {
        style.spacingBefore = std::max(0.0f, twips(parameter));
    } else if (word == "sa") {
        style.spacingAfter = std::max(0.0f, twips(parameter));
    } else if (word == "sl") {
        if (!hasParameter || parameter == 0 || parameter == 1000) {
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
    } else if (word == "slmult") {
        if (parameter == 1 && style.lineSpacingRule == kit::LineSpacingRule::AtLeast) {
            style.lineSpacingRule = kit::LineSpacingRule::Multiple;
            style.lineSpacing = style.lineSpacing * 20.0f / 240.0f;
        }
    } else if (word == "tx" || word == "tb") {
        if (style.tabStops.size() < 64 && word == "tx")
            style.tabStops.push_back({ twips(parameter), p.nextTabAlignment });
        p.nextTabAlignment = kit::TabAlignment::Left;
    } else if (word == "tqr") {
        p.nextTabAlignment = kit::TabAlignment::Right;
    } else if (word == "tqc") {
        p.nextTabAlignment = kit::TabAlignment::Center;
    } else if (word == "tqdec") {
        p.nextTabAlignment = kit::TabAlignment::Decimal;
    } else if (word == "pagebb") {
        style.pageBreakBefore = isOn(hasParameter, parameter);
    } else if (word == "keepn") {
        style.keepWithNext = isOn(hasParameter, parameter);
    } else if (word == "outlinelevel") {
        // 0...8 are the outline's levels; anything else is body text.
        style.outlineLevel = std::uint8_t(parameter >= 0 && parameter <= 8 ? parameter + 1 : 0);
    } else if (word == "rtlpar") {
        style.baseDirection = kit::WritingDirection::RightToLeft;
    } else if (word == "ltrpar") {
        style.baseDirection = kit::WritingDirection::LeftToRight;
    } else if (word == "intbl") {
        p.isInTable = true;
    } else if (word == "lectorinnewtable") {
        p.startsTableAt = std::clamp(parameter, 0, RtfTableBuilder::kMaximumNesting);
    } else if (word == "itap") {
        p.nestingLevel = std::clamp(parameter, 0, RtfTableBuilder::kMaximumNesting);
        p.isInTable = parameter > 0;
    } else if (word == "ls") {
        p.listOverride = parameter;
    } else if (word == "ilvl") {
        p.listLevel = std::clamp(parameter, 0, 8);
    } else if (word == "s") {
        if (current.destination == Destination::StyleEntry) {
            m_styleNumber = parameter;
            return true;
        }
        applyStyle(parameter, 0);
    } else if (word == "sbasedon") {
        if (current.destination == Destination::StyleEntry)
            m_styleEntry.basedOn = parameter;
    } else if (word == "brdrt" || word == "brdrb" || word == "brdrl" || word == "brdrr" || word == "box"
        || word == "brdrbtw" || word == "brdrbar" || word == "chbrdr" || word == "pgbrdrt" || word == "pgbrdrb"
        || word == "pgbrdrl" || word == "pgbrdrr") {
        m_borderSide = BorderSide::Other; // paragraph, character and page borders are not drawn
    } else {
        return false;
    }
    return true;
}

bool RtfReader::tableDefinitionWord(std::string_view word, bool hasParameter, int parameter)
{
    (void)hasParameter;
    if (word == "trowd") {
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
    auto color = [&](int index) -> std::optional<kit::Color> {
        if (index <= 0 || std::size_t(index) >= m_colors.size())
            return std::nullopt;
        return m_colors[std::size_t(index)];
    };
    if (word == "cellx") {
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
    } else if (word == "trleft") {
        row.left = tableEdge(parameter);
    } else if (word == "lectoringrid") {
        if (row.gridEdges.size() < 128)
            row.gridEdges.push_back(tableEdge(parameter));
    } else if (word == "trgaph") {
        row.gap = std::max(0, parameter);
    } else if (word == "trhdr") {
        row.isHeader = true;
    } else if (word == "trpaddt" || word == "trpaddl" || word == "trpaddb" || word == "trpaddr") {
        int side = word == "trpaddt" ? 0 : word == "trpaddl" ? 1 : word == "trpaddb" ? 2 : 3;
        row.padding[std::size_t(side)] = std::max(0, parameter);
    } else if (word == "clpadt" || word == "clpadl" || word == "clpadb" || word == "clpadr") {
        // Word writes the top padding as \clpadl and the left as \clpadt; readers and writers follow it.
        int side = word == "clpadl" ? 0 : word == "clpadt" ? 1 : word == "clpadb" ? 2 : 3;
        cell.padding[std::size_t(side)] = std::max(0, parameter);
    } else if (word == "clmgf") {
        cell.mergeFirst = true;
    } else if (word == "clmrg") {
        cell.mergeContinue = true;
    } else if (word == "clvmgf") {
        cell.verticalMergeFirst = true;
    } else if (word == "clvmrg") {
        cell.verticalMergeContinue = true;
    } else if (word == "clcbpat") {
        cell.shading = color(parameter);
    } else if (word == "clcfpat") {
        m_cellPatternColor = parameter;
    } else if (word == "clshdng") {
        m_cellShadingPercent = parameter;
    } else if (word == "clbrdrt" || word == "clbrdrl" || word == "clbrdrb" || word == "clbrdrr") {
        m_borderSide = BorderSide::Cell;
        m_borderIndex = word == "clbrdrt" ? 0 : word == "clbrdrl" ? 1 : word == "clbrdrb" ? 2 : 3;
    } else if (word == "trbrdrt" || word == "trbrdrl" || word == "trbrdrb" || word == "trbrdrr" || word == "trbrdrh"
        || word == "trbrdrv") {
        m_borderSide = BorderSide::Row;
        static constexpr std::string_view kRowBorders[] = { "trbrdrt", "trbrdrl", "trbrdrb", "trbrdrr", "trbrdrh", "trbrdrv" };
        m_borderIndex = int(std::find(std::begin(kRowBorders), std::end(kRowBorders), word) - std::begin(kRowBorders));
    } else if (word.substr(0, 4) == "brdr") {
        BorderDefinition* border = borderTarget();
        if (!border)
            return true;
        if (word == "brdrw") {
            border->border.width = twips(std::clamp(parameter, 0, 1000));
        } else if (word == "brdrcf") {
            border->border.color = color(parameter).value_or(kit::Color::blackColor());
        } else if (word == "brdrnone" || word == "brdrnil") {
            border->isSet = true;
            border->border.style = kit::LineStyle::None;
        } else if (word == "brdrdb" || word == "brdrtriple" || word.substr(0, 8) == "brdrthtn" || word.substr(0, 8) == "brdrtnth") {
            border->isSet = true;
            border->border.style = kit::LineStyle::Double;
        } else if (word == "brdrtbl") {
            border->isSet = true;
            border->border.style = kit::LineStyle::None;
        } else if (word == "brdrsp" || word == "brdrframe") {
            // spacing and frame flags change nothing drawn here
        } else {
            // \brdrs, \brdrth, \brdrdot, \brdrdash, \brdrhair, \brdrsh...: a single line.
            border->isSet = true;
            border->border.style = kit::LineStyle::Single;
            if (border->border.width == 0)
                border->border.width = word == "brdrth" ? 1.0f : 0.5f;
        }
    } else {
        return false;
    }
    return true;
}

bool RtfReader::documentWord(std::string_view word, bool hasParameter, int parameter)
{
    GroupState& current = state();
    if (word == "ansi") {
        m_documentCodePage = 1252;
    } else if (word == "mac") {
        m_documentCodePage = encoding::kCodePageMacRoman;
    } else if (word == "pc") {
        m_documentCodePage = 437;
    } else if (word == "pca") {
        m_documentCodePage = 850;
    } else if (word == "ansicpg") {
        if (hasParameter && encoding::iconvNameForCodePage(parameter))
            m_documentCodePage = parameter;
    } else if (word == "deff") {
        m_defaultFont = parameter;
        current.attributes.reset();
    } else if (word == "deftab") {
        if (parameter > 0) {
            m_defaultParagraphStyle.defaultTabInterval = twips(parameter);
            current.paragraph.style.defaultTabInterval = twips(parameter);
        }
    } else if (word == "uc") {
        current.unicodeSkip = std::clamp(parameter, 0, 16);
    } else if (word == "fcharset") {
        if (current.destination == Destination::FontTable) {
            int codePage = encoding::codePageForCharset(parameter);
            m_fontEntry.isSymbol = codePage == encoding::kCodePageSymbol;
            m_fontEntry.codePage = m_fontEntry.isSymbol ? 0 : codePage;
        }
    } else if (word == "cpg") {
        if (current.destination == Destination::FontTable && encoding::iconvNameForCodePage(parameter))
            m_fontEntry.codePage = parameter;
    } else if (word == "red" || word == "green" || word == "blue") {
        if (current.destination == Destination::ColorTable)
            (word == "red" ? m_red : word == "green" ? m_green : m_blue) = parameter;
    } else if (word == "sectd") {
        m_sectionBreaksPage = true;
    } else if (word == "sbknone" || word == "sbkcol") {
        m_sectionBreaksPage = false;
    } else if (word == "sbkpage" || word == "sbkeven" || word == "sbkodd") {
        m_sectionBreaksPage = true;
    } else if (current.destination == Destination::Picture) {
        if (word == "pngblip")
            m_picture.setFormat(RtfPicture::Format::Png);
        else if (word == "jpegblip")
            m_picture.setFormat(RtfPicture::Format::Jpeg);
        else if (word == "emfblip")
            m_picture.setFormat(RtfPicture::Format::Emf);
        else if (word == "wmetafile")
            m_picture.setFormat(RtfPicture::Format::WindowsMetafile);
        else if (word == "macpict")
            m_picture.setFormat(RtfPicture::Format::MacPict);
        else if (word == "dibitmap" || word == "wbitmap")
            m_picture.setFormat(RtfPicture::Format::Bitmap);
        else if (word == "picw")
            m_picture.setWidth(parameter);
        else if (word == "pich")
            m_picture.setHeight(parameter);
        else if (word == "picwgoal")
            m_picture.setGoalWidth(parameter);
        else if (word == "pichgoal")
            m_picture.setGoalHeight(parameter);
        else if (word == "picscalex")
            m_picture.setScaleX(parameter);
        else if (word == "picscaley")
            m_picture.setScaleY(parameter);
        else
            return false;
    } else {
        return false;
    }
    return true;
}

} // namespace importer::rtf
