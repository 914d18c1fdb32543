#include "import/docx/DocxProperties.h"

#include "import/common/Overlay.h"
#include "import/package/OfficeUnits.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace importer::docx {

namespace {

std::optional<long> integerAttribute(pugi::xml_node node, const char* name)
{
    pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute)
        return std::nullopt;
    return parseInteger(attribute.value());
}

// Lengths in twentieths of a point, clamped to what a page could hold: a hostile 2e9 stays harmless.
std::optional<float> twipsValue(std::string_view text)
{
    auto value = parseInteger(text);
    if (!value)
        return std::nullopt;
    return std::clamp(twips(*value), -31680.0f, 31680.0f);
}

std::optional<float> twipsAttribute(pugi::xml_node node, const char* name)
{
    pugi::xml_attribute attribute = node.attribute(name);
    return attribute ? twipsValue(attribute.value()) : std::nullopt;
}

std::optional<kit::Color> colorValue(std::string_view value)
{
    return parseHexColor(value);
}

struct NamedColor {
    const char* name;
    std::uint32_t rgb;
};

constexpr NamedColor kHighlightColors[] = {
    { "black", 0x000000 }, { "blue", 0x0000FF }, { "cyan", 0x00FFFF }, { "green", 0x00FF00 },
    { "magenta", 0xFF00FF }, { "red", 0xFF0000 }, { "yellow", 0xFFFF00 }, { "white", 0xFFFFFF },
    { "darkBlue", 0x000080 }, { "darkCyan", 0x008080 }, { "darkGreen", 0x008000 }, { "darkMagenta", 0x800080 },
    { "darkRed", 0x800000 }, { "darkYellow", 0x808000 }, { "darkGray", 0x808080 }, { "lightGray", 0xC0C0C0 },
};

kit::Color rgbColor(std::uint32_t rgb)
{
    return kit::Color::calibratedRGB(float(rgb >> 16 & 0xFF) / 255, float(rgb >> 8 & 0xFF) / 255, float(rgb & 0xFF) / 255);
}

std::optional<kit::Color> highlightColor(std::string_view name)
{
    for (const auto& color : kHighlightColors) {
        if (name == color.name)
            return rgbColor(color.rgb);
    }
    return std::nullopt;
}

kit::TabAlignment tabAlignment(std::string_view value)
{
    if (value == "center")
        return kit::TabAlignment::Center;
    if (value == "right" || value == "end")
        return kit::TabAlignment::Right;
    if (value == "decimal")
        return kit::TabAlignment::Decimal;
    return kit::TabAlignment::Left;
}

void parseBorders(pugi::xml_node container, std::array<std::optional<kit::Border>, BorderSideCount>& borders)
{
    for (auto side : container.children()) {
        std::string_view name = side.name();
        if (name == "w:top")
            borders[Top] = parseBorder(side);
        else if (name == "w:left" || name == "w:start")
            borders[Left] = parseBorder(side);
        else if (name == "w:bottom")
            borders[Bottom] = parseBorder(side);
        else if (name == "w:right" || name == "w:end")
            borders[Right] = parseBorder(side);
        else if (name == "w:insideH")
            borders[InsideHorizontal] = parseBorder(side);
        else if (name == "w:insideV")
            borders[InsideVertical] = parseBorder(side);
    }
}

void parseMargins(pugi::xml_node container, std::array<std::optional<float>, 4>& margins)
{
    for (auto side : container.children()) {
        std::string_view name = side.name();
        // Only widths in twips ("dxa", or no type) mean points; percentages of a cell margin are not used.
        std::string_view type = side.attribute("w:type").value();
        if (!type.empty() && type != "dxa")
            continue;
        auto width = twipsAttribute(side, "w:w");
        if (!width)
            continue;
        float value = std::max(0.0f, *width);
        if (name == "w:top")
            margins[0] = value;
        else if (name == "w:left" || name == "w:start")
            margins[1] = value;
        else if (name == "w:bottom")
            margins[2] = value;
        else if (name == "w:right" || name == "w:end")
            margins[3] = value;
    }
}

} // namespace

std::string ThemeFonts::resolve(std::string_view role) const
{
    if (role == "minorHAnsi" || role == "minorAscii")
        return minorLatin;
    if (role == "majorHAnsi" || role == "majorAscii")
        return majorLatin;
    if (role == "minorEastAsia")
        return minorEastAsian;
    if (role == "majorEastAsia")
        return majorEastAsian;
    if (role == "minorBidi")
        return minorComplex;
    if (role == "majorBidi")
        return majorComplex;
    return {};
}

bool isOn(pugi::xml_node node)
{
    pugi::xml_attribute value = node.attribute("w:val");
    if (!value)
        return true;
    std::string_view text = value.value();
    return !(text == "0" || text == "false" || text == "off" || text == "none");
}

void RunProperties::overlay(const RunProperties& over)
{
    take(fontAscii, over.fontAscii);
    take(fontHighAnsi, over.fontHighAnsi);
    take(fontEastAsian, over.fontEastAsian);
    take(fontComplex, over.fontComplex);
    take(size, over.size);
    take(sizeComplex, over.sizeComplex);
    take(bold, over.bold);
    take(boldComplex, over.boldComplex);
    take(italic, over.italic);
    take(italicComplex, over.italicComplex);
    take(allCaps, over.allCaps);
    take(smallCaps, over.smallCaps);
    take(hidden, over.hidden);
    take(rightToLeft, over.rightToLeft);
    take(complexScript, over.complexScript);
    take(strike, over.strike);
    take(doubleStrike, over.doubleStrike);
    take(underline, over.underline);
    take(color, over.color);
    take(highlight, over.highlight);
    take(shading, over.shading);
    take(verticalAlign, over.verticalAlign);
    take(position, over.position);
}

void ParagraphProperties::overlay(const ParagraphProperties& over)
{
    take(justification, over.justification);
    take(bidi, over.bidi);
    take(pageBreakBefore, over.pageBreakBefore);
    take(keepNext, over.keepNext);
    take(contextualSpacing, over.contextualSpacing);
    take(indentStart, over.indentStart);
    take(indentEnd, over.indentEnd);
    take(firstLine, over.firstLine);
    take(spacingBefore, over.spacingBefore);
    take(spacingAfter, over.spacingAfter);
    take(spacingBeforeAuto, over.spacingBeforeAuto);
    take(spacingAfterAuto, over.spacingAfterAuto);
    take(lineRule, over.lineRule);
    take(line, over.line);
    take(numberingId, over.numberingId);
    take(numberingLevel, over.numberingLevel);
    take(outlineLevel, over.outlineLevel);
    // Stops accumulate across layers; a hostile style chain cannot grow them without bound.
    if (tabs.size() + over.tabs.size() <= 256)
        tabs.insert(tabs.end(), over.tabs.begin(), over.tabs.end());
}

void TableProperties::overlay(const TableProperties& over)
{
    take(borders, over.borders);
    take(cellMargins, over.cellMargins);
    take(shading, over.shading);
    take(rowBandSize, over.rowBandSize);
    take(columnBandSize, over.columnBandSize);
    if (over.width || over.widthPercent) {
        width = over.width;
        widthPercent = over.widthPercent;
    }
}

void CellProperties::overlay(const CellProperties& over)
{
    take(borders, over.borders);
    take(margins, over.margins);
    take(shading, over.shading);
}

std::optional<kit::Color> parseShading(pugi::xml_node shd)
{
    std::string_view pattern = shd.attribute("w:val").value();
    auto fill = colorValue(shd.attribute("w:fill").value());
    auto color = colorValue(shd.attribute("w:color").value());
    if (pattern == "solid")
        return color.value_or(kit::Color::blackColor());
    if (pattern.size() > 3 && pattern.substr(0, 3) == "pct") {
        auto percent = parseInteger(pattern.substr(3));
        if (!percent || (!fill && !color))
            return fill;
        float share = std::clamp(float(*percent) / 100, 0.0f, 1.0f);
        auto front = color.value_or(kit::Color::blackColor()).rgba();
        auto back = fill.value_or(kit::Color::whiteColor()).rgba();
        return kit::Color::calibratedRGB(front[0] * share + back[0] * (1 - share), front[1] * share + back[1] * (1 - share),
            front[2] * share + back[2] * (1 - share));
    }
    return fill;
}

std::optional<kit::Border> parseBorder(pugi::xml_node node)
{
    if (!node)
        return std::nullopt;
    std::string_view style, size, color;
    for (auto attribute : node.attributes()) {
        std::string_view name = attribute.name();
        if (name == "w:val")
            style = attribute.value();
        else if (name == "w:sz")
            size = attribute.value();
        else if (name == "w:color")
            color = attribute.value();
    }
    kit::Border border;
    if (style.empty() || style == "nil" || style == "none")
        return border;
    border.style = (style == "double" || style.find("Thin") != std::string_view::npos || style == "triple")
        ? kit::LineStyle::Double
        : kit::LineStyle::Single;
    // w:sz is in eighths of a point; Word draws between a quarter point and six points.
    border.width = std::clamp(float(parseInteger(size).value_or(4)) / 8, 0.25f, 6.0f);
    border.color = colorValue(color).value_or(kit::Color::blackColor());
    return border;
}

RunProperties parseRunProperties(pugi::xml_node rPr, const ThemeFonts& theme, std::string_view* styleId)
{
    RunProperties run;
    for (auto node : rPr.children()) {
        const char* name = node.name();
        if (std::strncmp(name, "w:", 2) != 0)
            continue;
        std::string_view local(name + 2);
        if (local == "rStyle") {
            if (styleId)
                *styleId = node.attribute("w:val").value();
        } else if (local == "rFonts") {
            // One pass over the attributes: a theme font, when the theme names it, wins over the plain name.
            std::string_view plain[4], themed[4];
            for (auto attribute : node.attributes()) {
                const char* attributeName = attribute.name();
                if (std::strncmp(attributeName, "w:", 2) != 0)
                    continue;
                std::string_view key(attributeName + 2);
                if (key == "ascii")
                    plain[0] = attribute.value();
                else if (key == "hAnsi")
                    plain[1] = attribute.value();
                else if (key == "eastAsia")
                    plain[2] = attribute.value();
                else if (key == "cs")
                    plain[3] = attribute.value();
                else if (key == "asciiTheme")
                    themed[0] = attribute.value();
                else if (key == "hAnsiTheme")
                    themed[1] = attribute.value();
                else if (key == "eastAsiaTheme")
                    themed[2] = attribute.value();
                else if (key == "cstheme")
                    themed[3] = attribute.value();
            }
            std::optional<std::string>* fonts[4] = { &run.fontAscii, &run.fontHighAnsi, &run.fontEastAsian, &run.fontComplex };
            for (int i = 0; i < 4; ++i) {
                if (!themed[i].empty()) {
                    std::string resolved = theme.resolve(themed[i]);
                    if (!resolved.empty()) {
                        *fonts[i] = std::move(resolved);
                        continue;
                    }
                }
                if (!plain[i].empty())
                    *fonts[i] = std::string(plain[i]);
            }
        } else if (local == "b") {
            run.bold = isOn(node);
        } else if (local == "bCs") {
            run.boldComplex = isOn(node);
        } else if (local == "i") {
            run.italic = isOn(node);
        } else if (local == "iCs") {
            run.italicComplex = isOn(node);
        } else if (local == "caps") {
            run.allCaps = isOn(node);
        } else if (local == "smallCaps") {
            run.smallCaps = isOn(node);
        } else if (local == "vanish") {
            run.hidden = isOn(node);
        } else if (local == "rtl") {
            run.rightToLeft = isOn(node);
        } else if (local == "cs") {
            run.complexScript = isOn(node);
        } else if (local == "strike") {
            run.strike = isOn(node);
        } else if (local == "dstrike") {
            run.doubleStrike = isOn(node);
        } else if (local == "sz" || local == "szCs") {
            // Half-points; Word accepts 1 to 1638 points.
            if (auto value = integerAttribute(node, "w:val"); value && *value > 0)
                (local == "sz" ? run.size : run.sizeComplex) = std::clamp(float(*value) / 2, 1.0f, 1638.0f);
        } else if (local == "u") {
            std::string_view value = node.attribute("w:val").value();
            if (value == "none" || value == "0")
                run.underline = kit::LineStyle::None;
            else if (value == "double")
                run.underline = kit::LineStyle::Double;
            else
                run.underline = kit::LineStyle::Single;
        } else if (local == "color") {
            run.color = colorValue(node.attribute("w:val").value());
        } else if (local == "highlight") {
            run.highlight = highlightColor(node.attribute("w:val").value());
        } else if (local == "shd") {
            run.shading = parseShading(node);
        } else if (local == "vertAlign") {
            std::string_view value = node.attribute("w:val").value();
            run.verticalAlign = value == "superscript" ? 1 : value == "subscript" ? -1 : 0;
        } else if (local == "position") {
            if (auto value = integerAttribute(node, "w:val"))
                run.position = std::clamp(float(*value) / 2, -1584.0f, 1584.0f);
        }
    }
    return run;
}

ParagraphProperties parseParagraphProperties(pugi::xml_node pPr, ParagraphMarkup* markup)
{
    ParagraphProperties paragraph;
    for (auto node : pPr.children()) {
        const char* name = node.name();
        if (std::strncmp(name, "w:", 2) != 0)
            continue;
        std::string_view local(name + 2);
        if (markup) {
            if (local == "pStyle")
                markup->style = node;
            else if (local == "rPr")
                markup->markProperties = node;
            else if (local == "sectPr")
                markup->section = node;
            else if (local == "framePr")
                markup->frame = node;
        }
        if (local == "jc") {
            std::string_view value = node.attribute("w:val").value();
            if (value == "center")
                paragraph.justification = Justification::Center;
            else if (value == "right" || value == "end")
                paragraph.justification = Justification::End;
            else if (value == "both" || value == "distribute" || value == "lowKashida" || value == "mediumKashida"
                || value == "highKashida" || value == "thaiDistribute")
                paragraph.justification = Justification::Justify;
            else
                paragraph.justification = Justification::Start;
        } else if (local == "bidi") {
            paragraph.bidi = isOn(node);
        } else if (local == "pageBreakBefore") {
            paragraph.pageBreakBefore = isOn(node);
        } else if (local == "keepNext") {
            paragraph.keepNext = isOn(node);
        } else if (local == "outlineLvl") {
            // 0...8 are the outline's levels; 9 (and anything else) is body text.
            if (auto value = integerAttribute(node, "w:val"))
                paragraph.outlineLevel = *value >= 0 && *value <= 8 ? int(*value) + 1 : 0;
        } else if (local == "contextualSpacing") {
            paragraph.contextualSpacing = isOn(node);
        } else if (local == "ind") {
            // One pass over the attributes; the logical names (start, end) win over the physical ones.
            std::optional<float> start, left, end, right, hanging, first;
            for (auto attribute : node.attributes()) {
                std::string_view key = attribute.name();
                if (key.substr(0, 2) != "w:")
                    continue;
                key.remove_prefix(2);
                std::optional<float>* into = key == "start" ? &start : key == "left" ? &left : key == "end" ? &end : key == "right" ? &right
                    : key == "hanging" ? &hanging : key == "firstLine" ? &first : nullptr;
                if (into)
                    *into = twipsValue(attribute.value());
            }
            if (start || left)
                paragraph.indentStart = start ? start : left;
            if (end || right)
                paragraph.indentEnd = end ? end : right;
            if (hanging)
                paragraph.firstLine = -*hanging;
            else if (first)
                paragraph.firstLine = first;
        } else if (local == "spacing") {
            std::optional<float> before, after;
            std::optional<long> line;
            std::string_view rule;
            for (auto attribute : node.attributes()) {
                std::string_view key = attribute.name();
                if (key.substr(0, 2) != "w:")
                    continue;
                key.remove_prefix(2);
                std::string_view value = attribute.value();
                if (key == "before")
                    before = twipsValue(value);
                else if (key == "after")
                    after = twipsValue(value);
                else if (key == "line")
                    line = parseInteger(value);
                else if (key == "lineRule")
                    rule = value;
                else if (key == "beforeAutospacing")
                    paragraph.spacingBeforeAuto = value != "0" && value != "false";
                else if (key == "afterAutospacing")
                    paragraph.spacingAfterAuto = value != "0" && value != "false";
            }
            if (before)
                paragraph.spacingBefore = std::max(0.0f, *before);
            if (after)
                paragraph.spacingAfter = std::max(0.0f, *after);
            if (line && *line != 0) {
                if (rule == "exact") {
                    paragraph.lineRule = kit::LineSpacingRule::Exact;
                    paragraph.line = std::clamp(std::fabs(twips(*line)), 0.5f, 1584.0f);
                } else if (rule == "atLeast") {
                    paragraph.lineRule = kit::LineSpacingRule::AtLeast;
                    paragraph.line = std::clamp(twips(*line), 0.0f, 1584.0f);
                } else {
                    // 240ths of a line.
                    paragraph.lineRule = kit::LineSpacingRule::Multiple;
                    paragraph.line = std::clamp(float(*line) / 240, 0.06f, 132.0f);
                }
            }
        } else if (local == "tabs") {
            for (auto tab : node.children("w:tab")) {
                auto position = twipsAttribute(tab, "w:pos");
                if (!position)
                    continue;
                std::string_view value = tab.attribute("w:val").value();
                if (value == "bar")
                    continue; // A bar tab draws a rule; it is no stop.
                if (paragraph.tabs.size() < 64)
                    paragraph.tabs.push_back({ *position, tabAlignment(value), value == "clear" });
            }
        } else if (local == "numPr") {
            if (auto id = integerAttribute(node.child("w:numId"), "w:val"))
                paragraph.numberingId = int(*id);
            if (auto level = integerAttribute(node.child("w:ilvl"), "w:val"))
                paragraph.numberingLevel = int(std::clamp(*level, 0L, 8L));
        }
    }
    return paragraph;
}

TableProperties parseTableProperties(pugi::xml_node tblPr)
{
    TableProperties table;
    for (auto node : tblPr.children()) {
        std::string_view name = node.name();
        if (name == "w:tblBorders")
            parseBorders(node, table.borders);
        else if (name == "w:tblCellMar")
            parseMargins(node, table.cellMargins);
        else if (name == "w:shd")
            table.shading = parseShading(node);
        else if (name == "w:tblStyleRowBandSize")
            table.rowBandSize = int(std::clamp(integerAttribute(node, "w:val").value_or(1), 1L, 100L));
        else if (name == "w:tblStyleColBandSize")
            table.columnBandSize = int(std::clamp(integerAttribute(node, "w:val").value_or(1), 1L, 100L));
        else if (name == "w:tblW") {
            std::string_view type = node.attribute("w:type").value();
            std::string_view value = node.attribute("w:w").value();
            if (type == "pct") {
                // Fiftieths of a percent, or a percentage written out.
                if (auto percent = parsePercent(value))
                    table.widthPercent = *percent;
                else if (auto fiftieths = parseInteger(value))
                    table.widthPercent = float(*fiftieths) / 5000;
                if (table.widthPercent)
                    table.widthPercent = std::clamp(*table.widthPercent, 0.0f, 10.0f);
            } else if (type == "dxa" || type.empty()) {
                if (auto width = twipsAttribute(node, "w:w"); width && *width > 0)
                    table.width = *width;
            }
        }
    }
    return table;
}

CellProperties parseCellProperties(pugi::xml_node tcPr, CellMarkup* markup)
{
    CellProperties cell;
    for (auto node : tcPr.children()) {
        std::string_view name = node.name();
        if (markup) {
            if (name == "w:gridSpan")
                markup->gridSpan = node;
            else if (name == "w:vMerge")
                markup->verticalMerge = node;
            else if (name == "w:hMerge")
                markup->horizontalMerge = node;
            else if (name == "w:tcW")
                markup->width = node;
        }
        if (name == "w:tcBorders")
            parseBorders(node, cell.borders);
        else if (name == "w:tcMar")
            parseMargins(node, cell.margins);
        else if (name == "w:shd")
            cell.shading = parseShading(node);
    }
    return cell;
}

void applyRunProperties(const RunProperties& run, bool complex, kit::Attributes& attributes)
{
    if (run.fontAscii)
        attributes.fontFamily = *run.fontAscii;
    else if (run.fontHighAnsi)
        attributes.fontFamily = *run.fontHighAnsi;
    if (run.fontEastAsian && *run.fontEastAsian != attributes.fontFamily)
        attributes.fontFamilyEastAsian = *run.fontEastAsian;
    if (run.fontComplex && *run.fontComplex != attributes.fontFamily)
        attributes.fontFamilyComplex = *run.fontComplex;
    // Word sizes and weights complex-script text by the complex-script properties alone.
    if (complex) {
        attributes.fontSize = run.sizeComplex.value_or(10);
        attributes.bold = run.boldComplex.value_or(false);
        attributes.italic = run.italicComplex.value_or(false);
    } else {
        attributes.fontSize = run.size.value_or(10);
        attributes.bold = run.bold.value_or(false);
        attributes.italic = run.italic.value_or(false);
    }
    attributes.underline = run.underline.value_or(kit::LineStyle::None);
    if (run.doubleStrike.value_or(false))
        attributes.strikethrough = kit::LineStyle::Double;
    else if (run.strike.value_or(false))
        attributes.strikethrough = kit::LineStyle::Single;
    else
        attributes.strikethrough = kit::LineStyle::None;
    attributes.allCaps = run.allCaps.value_or(false);
    attributes.smallCaps = run.smallCaps.value_or(false);
    attributes.foreground = run.color.value_or(std::nullopt);
    // A highlight is drawn over the run's shading.
    attributes.background = run.highlight.value_or(std::nullopt);
    if (!attributes.background)
        attributes.background = run.shading.value_or(std::nullopt);
    attributes.superscript = run.verticalAlign.value_or(0);
    attributes.baselineShift = run.position.value_or(0);
}

kit::ParagraphStyle makeParagraphStyle(const ParagraphProperties& paragraph, float defaultTabInterval)
{
    kit::ParagraphStyle style;
    bool rightToLeft = paragraph.bidi.value_or(false);
    style.baseDirection = rightToLeft ? kit::WritingDirection::RightToLeft : kit::WritingDirection::Natural;
    // Word reads left and right of a right-to-left paragraph as its start and end.
    if (paragraph.justification)
        style.alignment = textAlignment(*paragraph.justification, rightToLeft);
    float start = paragraph.indentStart.value_or(0);
    style.headIndent = start;
    style.firstLineHeadIndent = start + paragraph.firstLine.value_or(0);
    style.tailIndent = std::max(0.0f, paragraph.indentEnd.value_or(0));
    // Automatic spacing is what Word gives HTML-like paragraphs: 14 points.
    style.spacingBefore = paragraph.spacingBeforeAuto.value_or(false) ? 14 : paragraph.spacingBefore.value_or(0);
    style.spacingAfter = paragraph.spacingAfterAuto.value_or(false) ? 14 : paragraph.spacingAfter.value_or(0);
    if (paragraph.lineRule && paragraph.line) {
        style.lineSpacingRule = *paragraph.lineRule;
        style.lineSpacing = *paragraph.line;
    }
    // Later layers add stops or clear inherited ones at the same position.
    std::vector<kit::TabStop> stops;
    for (const auto& tab : paragraph.tabs) {
        auto same = [&](const kit::TabStop& stop) { return std::fabs(stop.location - tab.position) < 0.5f; };
        stops.erase(std::remove_if(stops.begin(), stops.end(), same), stops.end());
        if (!tab.clear && tab.position >= 0)
            stops.push_back({ tab.position, tab.alignment });
    }
    std::sort(stops.begin(), stops.end(), [](const kit::TabStop& a, const kit::TabStop& b) { return a.location < b.location; });
    style.tabStops = std::move(stops);
    style.defaultTabInterval = defaultTabInterval;
    style.pageBreakBefore = paragraph.pageBreakBefore.value_or(false);
    style.keepWithNext = paragraph.keepNext.value_or(false);
    style.outlineLevel = std::uint8_t(std::clamp(paragraph.outlineLevel.value_or(0), 0, 9));
    return style;
}

} // namespace importer::docx
