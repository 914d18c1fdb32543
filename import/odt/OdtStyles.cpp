#include "import/odt/OdtStyles.h"

#include "import/common/OutputBudget.h"
#include "import/common/Overlay.h"
#include "import/package/ListNumbers.h"
#include "import/package/OdfBorder.h"
#include "import/package/OfficeUnits.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace importer::odt {

namespace {

// A parent-style chain longer than this is a loop or an attack.
constexpr int kMaxStyleDepth = 32;

std::optional<float> lengthAttribute(pugi::xml_node node, const char* name, float low = -31680, float high = 31680)
{
    auto attribute = node.attribute(name);
    if (!attribute)
        return std::nullopt;
    auto value = parseLength(attribute.value());
    if (!value)
        return std::nullopt;
    return std::clamp(*value, low, high);
}

std::string unquoted(std::string_view family)
{
    while (!family.empty() && (family.front() == '\'' || family.front() == '"' || family.front() == ' '))
        family.remove_prefix(1);
    auto comma = family.find(',');
    if (comma != std::string_view::npos)
        family = family.substr(0, comma);
    while (!family.empty() && (family.back() == '\'' || family.back() == '"' || family.back() == ' '))
        family.remove_suffix(1);
    return std::string(family);
}

std::optional<bool> weightIsBold(pugi::xml_attribute attribute)
{
    if (!attribute)
        return std::nullopt;
    std::string_view value = attribute.value();
    if (value == "bold")
        return true;
    if (value == "normal")
        return false;
    auto number = parseInteger(value);
    return number ? std::optional<bool>(*number >= 600) : std::nullopt;
}

std::optional<bool> styleIsItalic(pugi::xml_attribute attribute)
{
    if (!attribute)
        return std::nullopt;
    std::string_view value = attribute.value();
    return value == "italic" || value == "oblique";
}

std::optional<kit::LineStyle> lineStyle(pugi::xml_node node, const char* styleName, const char* typeName)
{
    auto style = node.attribute(styleName), type = node.attribute(typeName);
    if (!style && !type)
        return std::nullopt;
    std::string_view styleValue = style.value(), typeValue = type.value();
    if (styleValue == "none" || typeValue == "none" || (!style && typeValue.empty()))
        return kit::LineStyle::None;
    return typeValue == "double" ? kit::LineStyle::Double : kit::LineStyle::Single;
}

std::optional<std::optional<kit::Color>> colorAttribute(pugi::xml_node node, const char* name)
{
    auto attribute = node.attribute(name);
    if (!attribute)
        return std::nullopt;
    return parseHexColor(attribute.value());
}

std::string styleKey(std::string_view family, std::string_view name)
{
    return std::string(family) + "/" + std::string(name);
}

} // namespace

std::string formatOdfNumber(int value, std::string_view format)
{
    return formatListNumber(value, odfNumberFormat(format));
}

void TextProperties::overlay(const TextProperties& over)
{
    take(fontFamily, over.fontFamily);
    take(fontFamilyAsian, over.fontFamilyAsian);
    take(fontFamilyComplex, over.fontFamilyComplex);
    if (over.size)
        size = over.size;
    else if (over.sizePercent)
        size = std::clamp(size.value_or(12) * *over.sizePercent, 1.0f, 1638.0f);
    if (over.sizeComplex)
        sizeComplex = over.sizeComplex;
    else if (over.sizeComplexPercent)
        sizeComplex = std::clamp(sizeComplex.value_or(size.value_or(12)) * *over.sizeComplexPercent, 1.0f, 1638.0f);
    take(bold, over.bold);
    take(boldComplex, over.boldComplex);
    take(italic, over.italic);
    take(italicComplex, over.italicComplex);
    take(smallCaps, over.smallCaps);
    take(allCaps, over.allCaps);
    take(hidden, over.hidden);
    take(underline, over.underline);
    take(strikethrough, over.strikethrough);
    take(color, over.color);
    take(background, over.background);
    take(superscript, over.superscript);
}

void TextProperties::apply(kit::Attributes& attributes, bool complex) const
{
    if (fontFamily)
        attributes.fontFamily = *fontFamily;
    if (fontFamilyAsian && *fontFamilyAsian != attributes.fontFamily)
        attributes.fontFamilyEastAsian = *fontFamilyAsian;
    if (fontFamilyComplex && *fontFamilyComplex != attributes.fontFamily)
        attributes.fontFamilyComplex = *fontFamilyComplex;
    attributes.fontSize = complex ? sizeComplex.value_or(size.value_or(12)) : size.value_or(12);
    attributes.bold = complex ? boldComplex.value_or(bold.value_or(false)) : bold.value_or(false);
    attributes.italic = complex ? italicComplex.value_or(italic.value_or(false)) : italic.value_or(false);
    attributes.underline = underline.value_or(kit::LineStyle::None);
    attributes.strikethrough = strikethrough.value_or(kit::LineStyle::None);
    attributes.smallCaps = smallCaps.value_or(false);
    attributes.allCaps = allCaps.value_or(false);
    attributes.foreground = color.value_or(std::nullopt);
    attributes.background = background.value_or(std::nullopt);
    attributes.superscript = superscript.value_or(0);
}

void ParagraphProperties::overlay(const ParagraphProperties& over)
{
    take(alignment, over.alignment);
    take(rightToLeft, over.rightToLeft);
    take(marginLeft, over.marginLeft);
    take(marginRight, over.marginRight);
    take(textIndent, over.textIndent);
    take(marginTop, over.marginTop);
    take(marginBottom, over.marginBottom);
    take(lineRule, over.lineRule);
    take(line, over.line);
    take(tabs, over.tabs);
    take(defaultTabInterval, over.defaultTabInterval);
    take(breakBefore, over.breakBefore);
    take(columnBreakBefore, over.columnBreakBefore);
    take(breakAfter, over.breakAfter);
    take(keepWithNext, over.keepWithNext);
}

kit::ParagraphStyle ParagraphProperties::makeStyle() const
{
    kit::ParagraphStyle style;
    bool rtl = rightToLeft.value_or(false);
    style.baseDirection = rtl ? kit::WritingDirection::RightToLeft : kit::WritingDirection::Natural;
    if (alignment)
        style.alignment = textAlignment(*alignment, rtl);
    // The margins are the paragraph's sides; in right-to-left text the leading edge is the right one.
    float leading = rtl ? marginRight.value_or(0) : marginLeft.value_or(0);
    float trailing = rtl ? marginLeft.value_or(0) : marginRight.value_or(0);
    style.headIndent = std::max(0.0f, leading);
    style.firstLineHeadIndent = std::max(0.0f, leading + textIndent.value_or(0));
    style.tailIndent = std::max(0.0f, trailing);
    style.spacingBefore = std::max(0.0f, marginTop.value_or(0));
    style.spacingAfter = std::max(0.0f, marginBottom.value_or(0));
    if (lineRule && line) {
        style.lineSpacingRule = *lineRule;
        style.lineSpacing = *line;
    }
    if (tabs) {
        // Tab positions count from the paragraph's indent.
        for (const auto& stop : *tabs)
            style.tabStops.push_back({ stop.location + leading, stop.alignment });
        std::sort(style.tabStops.begin(), style.tabStops.end(),
            [](const kit::TabStop& a, const kit::TabStop& b) { return a.location < b.location; });
    }
    if (defaultTabInterval && *defaultTabInterval > 0)
        style.defaultTabInterval = *defaultTabInterval;
    style.pageBreakBefore = breakBefore.value_or(false);
    style.columnBreakBefore = columnBreakBefore.value_or(false);
    style.keepWithNext = keepWithNext.value_or(false);
    return style;
}

const ListLevel* ListStyle::level(int oneBased) const
{
    if (oneBased < 1)
        return nullptr;
    int index = std::min(oneBased, 10) - 1;
    // Deeper levels than a style defines take its deepest one.
    for (int i = index; i >= 0; --i) {
        if (defined[std::size_t(i)])
            return &levels[std::size_t(i)];
    }
    return nullptr;
}

std::optional<std::string> ListStyle::label(int levelNumber, ListCounters& counters, std::optional<int> restartAt) const
{
    auto& values = counters.values;
    auto& used = counters.used;
    const ListLevel* level = this->level(levelNumber);
    if (!level)
        return std::nullopt;
    std::size_t index = std::size_t(std::clamp(levelNumber, 1, 10) - 1);
    if (restartAt)
        values[index] = *restartAt;
    else if (!used[index])
        values[index] = level->start;
    else if (values[index] < 1000000)
        ++values[index];
    used[index] = true;
    for (std::size_t deeper = index + 1; deeper < 10; ++deeper)
        used[deeper] = false;
    if (level->isBullet)
        return level->prefix + (level->bullet.empty() ? std::string("\xE2\x80\xA2") : level->bullet) + level->suffix;
    if (level->format.empty())
        return level->prefix.empty() && level->suffix.empty() ? std::nullopt : std::optional<std::string>(level->prefix + level->suffix);
    std::string numbers;
    std::size_t first = index + 1 >= std::size_t(level->displayLevels) ? index + 1 - std::size_t(level->displayLevels) : 0;
    for (std::size_t k = first; k <= index; ++k) {
        const ListLevel* shown = this->level(int(k) + 1);
        int value = used[k] ? values[k] : (shown ? shown->start : 1);
        if (!numbers.empty())
            numbers += '.';
        numbers += formatOdfNumber(value, shown ? shown->format : "1");
    }
    return level->prefix + numbers + level->suffix;
}

OdtStyles::OdtStyles(pugi::xml_node stylesRoot, pugi::xml_node contentRoot)
{
    readFontFaces(stylesRoot);
    readFontFaces(contentRoot);
    readStyles(stylesRoot.child("office:styles"), false);
    readStyles(contentRoot.child("office:automatic-styles"), true);
    m_stylesRoot = stylesRoot;
    readPageGeometry(stylesRoot);
}

void OdtStyles::readFontFaces(pugi::xml_node root)
{
    for (auto face : root.child("office:font-face-decls").children("style:font-face")) {
        std::string family = unquoted(face.attribute("svg:font-family").value());
        if (family.empty())
            family = face.attribute("style:name").value();
        m_fontFaces.emplace(face.attribute("style:name").value(), family);
    }
}

TextProperties OdtStyles::readTextProperties(pugi::xml_node node) const
{
    TextProperties text;
    if (!node)
        return text;
    auto font = [&](const char* nameAttribute, const char* familyAttribute, std::optional<std::string>& into) {
        if (auto name = node.attribute(nameAttribute)) {
            auto face = m_fontFaces.find(std::string_view(name.value()));
            into = face != m_fontFaces.end() ? face->second : std::string(name.value());
        } else if (auto family = node.attribute(familyAttribute)) {
            into = unquoted(family.value());
        }
    };
    font("style:font-name", "fo:font-family", text.fontFamily);
    font("style:font-name-asian", "style:font-family-asian", text.fontFamilyAsian);
    font("style:font-name-complex", "style:font-family-complex", text.fontFamilyComplex);
    auto size = [&](const char* name, std::optional<float>& absolute, std::optional<float>& percent) {
        std::string_view value = node.attribute(name).value();
        if (value.empty())
            return;
        if (auto share = parsePercent(value))
            percent = std::clamp(*share, 0.01f, 100.0f);
        else if (auto points = parseLength(value); points && *points > 0)
            absolute = std::clamp(*points, 1.0f, 1638.0f);
    };
    size("fo:font-size", text.size, text.sizePercent);
    size("style:font-size-complex", text.sizeComplex, text.sizeComplexPercent);
    text.bold = weightIsBold(node.attribute("fo:font-weight"));
    text.boldComplex = weightIsBold(node.attribute("style:font-weight-complex"));
    text.italic = styleIsItalic(node.attribute("fo:font-style"));
    text.italicComplex = styleIsItalic(node.attribute("style:font-style-complex"));
    if (auto variant = node.attribute("fo:font-variant"))
        text.smallCaps = std::string_view(variant.value()) == "small-caps";
    if (auto transform = node.attribute("fo:text-transform"))
        text.allCaps = std::string_view(transform.value()) == "uppercase";
    if (auto display = node.attribute("text:display"))
        text.hidden = std::string_view(display.value()) == "none";
    text.underline = lineStyle(node, "style:text-underline-style", "style:text-underline-type");
    text.strikethrough = lineStyle(node, "style:text-line-through-style", "style:text-line-through-type");
    text.color = colorAttribute(node, "fo:color");
    text.background = colorAttribute(node, "fo:background-color");
    if (auto position = node.attribute("style:text-position")) {
        std::string_view value = position.value();
        if (value.substr(0, 5) == "super")
            text.superscript = 1;
        else if (value.substr(0, 3) == "sub")
            text.superscript = -1;
        else if (auto shift = parsePercent(value.substr(0, value.find(' '))))
            text.superscript = *shift > 0 ? 1 : *shift < 0 ? -1 : 0;
    }
    return text;
}

Style OdtStyles::readStyle(pugi::xml_node node) const
{
    Style style;
    style.name = node.attribute("style:name").value();
    style.family = node.attribute("style:family").value();
    style.parent = node.attribute("style:parent-style-name").value();
    style.listStyle = node.attribute("style:list-style-name").value();
    style.masterPage = node.attribute("style:master-page-name").value();
    style.text = readTextProperties(node.child("style:text-properties"));

    pugi::xml_node paragraph = node.child("style:paragraph-properties");
    ParagraphProperties& p = style.paragraph;
    if (auto align = paragraph.attribute("fo:text-align")) {
        std::string_view value = align.value();
        p.alignment = value == "end" ? Alignment::End : value == "left" ? Alignment::Left : value == "right" ? Alignment::Right
            : value == "center" ? Alignment::Center : value == "justify" ? Alignment::Justify : Alignment::Start;
    }
    if (auto mode = paragraph.attribute("style:writing-mode")) {
        std::string_view value = mode.value();
        if (value != "page")
            p.rightToLeft = value.substr(0, 2) == "rl";
    }
    p.marginLeft = lengthAttribute(paragraph, "fo:margin-left");
    p.marginRight = lengthAttribute(paragraph, "fo:margin-right");
    p.textIndent = lengthAttribute(paragraph, "fo:text-indent");
    p.marginTop = lengthAttribute(paragraph, "fo:margin-top", 0);
    p.marginBottom = lengthAttribute(paragraph, "fo:margin-bottom", 0);
    if (auto height = paragraph.attribute("fo:line-height")) {
        std::string_view value = height.value();
        if (value == "normal") {
            p.lineRule = kit::LineSpacingRule::Multiple;
            p.line = 1;
        } else if (auto share = parsePercent(value)) {
            p.lineRule = kit::LineSpacingRule::Multiple;
            p.line = std::clamp(*share, 0.06f, 132.0f);
        } else if (auto exact = parseLength(value)) {
            p.lineRule = kit::LineSpacingRule::Exact;
            p.line = std::clamp(*exact, 0.5f, 1584.0f);
        }
    } else if (auto least = lengthAttribute(paragraph, "style:line-height-at-least", 0, 1584)) {
        p.lineRule = kit::LineSpacingRule::AtLeast;
        p.line = *least;
    }
    if (auto stops = paragraph.child("style:tab-stops")) {
        std::vector<kit::TabStop> tabs;
        for (auto stop : stops.children("style:tab-stop")) {
            auto position = lengthAttribute(stop, "style:position");
            if (!position || tabs.size() >= 64)
                continue;
            std::string_view type = stop.attribute("style:type").value();
            kit::TabAlignment alignment = type == "center" ? kit::TabAlignment::Center
                : type == "right" ? kit::TabAlignment::Right
                : type == "char" ? kit::TabAlignment::Decimal
                : kit::TabAlignment::Left;
            tabs.push_back({ *position, alignment });
        }
        p.tabs = std::move(tabs);
    }
    p.defaultTabInterval = lengthAttribute(paragraph, "style:tab-stop-distance", 0, 1584);
    if (auto before = paragraph.attribute("fo:break-before")) {
        p.breakBefore = std::string_view(before.value()) == "page";
        p.columnBreakBefore = std::string_view(before.value()) == "column";
    }
    if (auto after = paragraph.attribute("fo:break-after"))
        p.breakAfter = std::string_view(after.value()) == "page";
    if (auto keep = paragraph.attribute("fo:keep-with-next"))
        p.keepWithNext = std::string_view(keep.value()) == "always";

    if (pugi::xml_node graphic = node.child("style:graphic-properties")) {
        GraphicProperties& g = style.graphic;
        auto text = [&](const char* name) -> std::optional<std::string> {
            if (auto attribute = graphic.attribute(name))
                return std::string(attribute.value());
            return std::nullopt;
        };
        g.wrap = text("style:wrap");
        g.runThrough = text("style:run-through");
        g.horizontalPos = text("style:horizontal-pos");
        g.horizontalRel = text("style:horizontal-rel");
        g.verticalPos = text("style:vertical-pos");
        g.verticalRel = text("style:vertical-rel");
        const char* margins[] = { "fo:margin-top", "fo:margin-left", "fo:margin-bottom", "fo:margin-right" };
        for (std::size_t i = 0; i < 4; ++i)
            g.margins[i] = lengthAttribute(graphic, margins[i], 0, 1584);
        if (auto all = graphic.attribute("fo:border"))
            g.border = parseOdfBorder(all.value());
        else if (auto top = graphic.attribute("fo:border-top"))
            g.border = parseOdfBorder(top.value());
        std::string_view fillKind = graphic.attribute("draw:fill").value();
        if (fillKind == "none")
            g.background = std::optional<kit::Color>();
        else if (fillKind == "solid" && graphic.attribute("draw:fill-color"))
            g.background = colorAttribute(graphic, "draw:fill-color");
        else if (auto color = colorAttribute(graphic, "fo:background-color"))
            g.background = color;
        auto all = lengthAttribute(graphic, "fo:padding", 0, 1584);
        const char* paddings[] = { "fo:padding-top", "fo:padding-left", "fo:padding-bottom", "fo:padding-right" };
        for (std::size_t i = 0; i < 4; ++i) {
            auto side = lengthAttribute(graphic, paddings[i], 0, 1584);
            g.padding[i] = side ? side : all;
        }
    }

    pugi::xml_node cell = node.child("style:table-cell-properties");
    if (cell) {
        if (auto all = cell.attribute("fo:border")) {
            auto border = parseOdfBorder(all.value());
            style.cell.borders = { border, border, border, border };
        }
        const char* sides[] = { "fo:border-top", "fo:border-left", "fo:border-bottom", "fo:border-right" };
        for (std::size_t i = 0; i < 4; ++i) {
            if (auto side = cell.attribute(sides[i]))
                style.cell.borders[i] = parseOdfBorder(side.value());
        }
        if (auto all = lengthAttribute(cell, "fo:padding", 0, 1584))
            style.cell.padding = { all, all, all, all };
        const char* paddings[] = { "fo:padding-top", "fo:padding-left", "fo:padding-bottom", "fo:padding-right" };
        for (std::size_t i = 0; i < 4; ++i) {
            if (auto side = lengthAttribute(cell, paddings[i], 0, 1584))
                style.cell.padding[i] = side;
        }
        style.cell.background = colorAttribute(cell, "fo:background-color");
    }
    pugi::xml_node column = node.child("style:table-column-properties");
    style.columnWidth = lengthAttribute(column, "style:column-width", 0, 31680);
    if (auto relative = column.attribute("style:rel-column-width")) {
        if (auto share = parseNumber(std::string_view(relative.value()).substr(0, std::string_view(relative.value()).find('*'))); share && *share > 0)
            style.relativeColumnWidth = float(std::min(*share, 1e9));
    }
    style.rowKeepsTogether = std::string_view(node.child("style:table-row-properties").attribute("fo:keep-together").value()) == "always";
    pugi::xml_node table = node.child("style:table-properties");
    if (auto width = table.attribute("style:width"))
        style.tableWidth = parseLength(width.value());
    if (auto width = table.attribute("style:rel-width"))
        style.tableWidthPercent = parsePercent(width.value());
    return style;
}

ListStyle OdtStyles::readListStyle(pugi::xml_node node) const
{
    ListStyle list;
    for (auto levelNode : node.children()) {
        std::string_view name = levelNode.name();
        bool isNumber = name == "text:list-level-style-number" || name == "text:outline-level-style";
        bool isBullet = name == "text:list-level-style-bullet" || name == "text:list-level-style-image";
        if (!isNumber && !isBullet)
            continue;
        auto index = parseInteger(levelNode.attribute("text:level").value());
        if (!index || *index < 1 || *index > 10 || list.defined[std::size_t(*index - 1)])
            continue;
        ListLevel level;
        level.isBullet = isBullet;
        if (name == "text:list-level-style-bullet")
            level.bullet = cappedLabelTemplate(levelNode.attribute("text:bullet-char").value());
        else if (name == "text:list-level-style-image")
            level.bullet = "\xE2\x80\xA2";
        level.format = levelNode.attribute("style:num-format").value();
        level.prefix = cappedLabelTemplate(levelNode.attribute("style:num-prefix").value());
        level.suffix = cappedLabelTemplate(levelNode.attribute("style:num-suffix").value());
        level.displayLevels = int(std::clamp(parseInteger(levelNode.attribute("text:display-levels").value()).value_or(1), 1L, 10L));
        level.start = int(std::clamp(parseInteger(levelNode.attribute("text:start-value").value()).value_or(1), 0L, 1000000L));
        level.textStyle = levelNode.attribute("text:style-name").value();
        level.labelText = readTextProperties(levelNode.child("style:text-properties"));
        pugi::xml_node properties = levelNode.child("style:list-level-properties");
        if (std::string_view(properties.attribute("text:list-level-position-and-space-mode").value()) == "label-alignment") {
            pugi::xml_node alignment = properties.child("style:list-level-label-alignment");
            level.marginLeft = lengthAttribute(alignment, "fo:margin-left");
            level.textIndent = lengthAttribute(alignment, "fo:text-indent");
            std::string_view follower = alignment.attribute("text:label-followed-by").value();
            level.follower = follower == "space" ? LabelFollower::Space : follower == "nothing" ? LabelFollower::Nothing : LabelFollower::Tab;
        } else {
            float before = lengthAttribute(properties, "text:space-before").value_or(0);
            float width = lengthAttribute(properties, "text:min-label-width", 0).value_or(0);
            if (properties.attribute("text:space-before") || properties.attribute("text:min-label-width")) {
                level.marginLeft = before + width;
                level.textIndent = -width;
            }
        }
        list.levels[std::size_t(*index - 1)] = std::move(level);
        list.defined[std::size_t(*index - 1)] = true;
    }
    return list;
}

void OdtStyles::readStyles(pugi::xml_node container, bool automatic)
{
    for (auto node : container.children()) {
        std::string_view name = node.name();
        if (name == "style:style") {
            Style style = readStyle(node);
            std::string key = styleKey(style.family, style.name);
            (automatic ? m_automatic : m_common).emplace(std::move(key), std::move(style));
        } else if (name == "style:default-style") {
            Style style = readStyle(node);
            m_defaults.emplace(style.family, std::move(style));
        } else if (name == "text:list-style") {
            (automatic ? m_automaticLists : m_commonLists).emplace(node.attribute("style:name").value(), readListStyle(node));
        } else if (name == "text:outline-style" && !m_outline) {
            m_outline = readListStyle(node);
        }
    }
}

void OdtStyles::readPageGeometry(pugi::xml_node stylesRoot)
{
    pugi::xml_node masters = stylesRoot.child("office:master-styles");
    pugi::xml_node master = masters.find_child_by_attribute("style:master-page", "style:name", "Standard");
    if (!master)
        master = masters.child("style:master-page");
    std::string_view layoutName = master.attribute("style:page-layout-name").value();
    pugi::xml_node layout = stylesRoot.child("office:automatic-styles").find_child_by_attribute("style:page-layout", "style:name",
        std::string(layoutName).c_str());
    pugi::xml_node properties = layout.child("style:page-layout-properties");
    if (!properties)
        return;
    float width = lengthAttribute(properties, "fo:page-width", 36, 31680).value_or(612);
    float height = lengthAttribute(properties, "fo:page-height", 36, 31680).value_or(792);
    float left = lengthAttribute(properties, "fo:margin-left", 0, 31680).value_or(72);
    float right = lengthAttribute(properties, "fo:margin-right", 0, 31680).value_or(72);
    float top = lengthAttribute(properties, "fo:margin-top", 0, 31680).value_or(72);
    float bottom = lengthAttribute(properties, "fo:margin-bottom", 0, 31680).value_or(72);
    m_page.textWidth = std::max(width - left - right, 36.0f);
    m_page.textHeight = std::max(height - top - bottom, 36.0f);
}

pugi::xml_node OdtStyles::masterPage(std::string_view name) const
{
    pugi::xml_node masters = m_stylesRoot.child("office:master-styles");
    pugi::xml_node master;
    if (!name.empty())
        master = masters.find_child_by_attribute("style:master-page", "style:name", std::string(name).c_str());
    if (!master)
        master = masters.find_child_by_attribute("style:master-page", "style:name", "Standard");
    return master ? master : masters.child("style:master-page");
}

kit::PageSection OdtStyles::pageSection(pugi::xml_node master) const
{
    kit::PageSection section;
    std::string layoutName = master.attribute("style:page-layout-name").value();
    pugi::xml_node layout = m_stylesRoot.child("office:automatic-styles")
                                .find_child_by_attribute("style:page-layout", "style:name", layoutName.c_str());
    if (!layout)
        layout = m_stylesRoot.child("office:styles").find_child_by_attribute("style:page-layout", "style:name", layoutName.c_str());
    pugi::xml_node properties = layout.child("style:page-layout-properties");
    section.paperSize = { lengthAttribute(properties, "fo:page-width", 36, 31680).value_or(612),
        lengthAttribute(properties, "fo:page-height", 36, 31680).value_or(792) };
    if (std::string_view(properties.attribute("style:print-orientation").value()) == "landscape"
        && section.paperSize.width < section.paperSize.height)
        std::swap(section.paperSize.width, section.paperSize.height);
    kit::PageMargins& margins = section.margins;
    margins.left = lengthAttribute(properties, "fo:margin-left", 0, 31680).value_or(72);
    margins.right = lengthAttribute(properties, "fo:margin-right", 0, 31680).value_or(72);
    margins.top = lengthAttribute(properties, "fo:margin-top", 0, 31680).value_or(72);
    margins.bottom = lengthAttribute(properties, "fo:margin-bottom", 0, 31680).value_or(72);
    // Borders stand on the margins, with the header, footer and body inside them, their padding further in.
    static const char* const kBorderSides[] = { "fo:border-top", "fo:border-left", "fo:border-bottom", "fo:border-right" };
    static const char* const kPaddingSides[] = { "fo:padding-top", "fo:padding-left", "fo:padding-bottom", "fo:padding-right" };
    float* insets[] = { &margins.top, &margins.left, &margins.bottom, &margins.right };
    std::optional<kit::Border> allSides = parseOdfBorder(properties.attribute("fo:border").value());
    float allPadding = lengthAttribute(properties, "fo:padding", 0, 720).value_or(0);
    section.borders.measuredFromText = false;
    for (std::size_t side = 0; side < 4; ++side) {
        std::optional<kit::Border> border = parseOdfBorder(properties.attribute(kBorderSides[side]).value());
        if (!border)
            border = allSides;
        if (!border || border->style == kit::LineStyle::None)
            continue;
        section.borders.sides[side] = *border;
        section.borders.distances[side] = *insets[side];
        *insets[side] += border->width + lengthAttribute(properties, kPaddingSides[side], 0, 720).value_or(allPadding);
    }
    // A header stands at the top margin and the body below it, its height and spacing further down; a
    // footer likewise above the bottom margin. Without one the body starts at the margin itself.
    auto band = [&](const char* style, const char* spacing, const char* element, float& distance, float& margin) {
        distance = margin;
        pugi::xml_node bandProperties = layout.child(style).child("style:header-footer-properties");
        if (!bandProperties || !master.child(element))
            return;
        float height = lengthAttribute(bandProperties, "fo:min-height", 0, 31680)
                           .value_or(lengthAttribute(bandProperties, "svg:height", 0, 31680).value_or(0));
        margin += height + lengthAttribute(bandProperties, spacing, 0, 31680).value_or(0);
    };
    band("style:header-style", "fo:margin-bottom", "style:header", margins.header, margins.top);
    band("style:footer-style", "fo:margin-top", "style:footer", margins.footer, margins.bottom);
    pugi::xml_node columns = properties.child("style:columns");
    if (auto count = columns.attribute("fo:column-count").as_int(1); count > 1) {
        section.columnCount = std::min(count, 16);
        section.columnSpacing = lengthAttribute(columns, "fo:column-gap", 0, 720).value_or(0);
        std::string_view rule = columns.child("style:column-sep").attribute("style:style").value();
        section.columnSeparator = columns.child("style:column-sep") && rule != "none";
        // Columns of their own widths: each takes its relative share of the body ("2000*"), less the
        // indents at its sides, which make the room between it and its neighbours.
        struct Share {
            float relative, start, end;
        };
        std::vector<Share> shares;
        float total = 0;
        for (auto column : columns.children("style:column")) {
            float relative = std::clamp(std::strtof(column.attribute("style:rel-width").value(), nullptr), 0.0f, 1e6f);
            shares.push_back({ std::isfinite(relative) ? relative : 0,
                lengthAttribute(column, "fo:start-indent", 0, 720).value_or(0),
                lengthAttribute(column, "fo:end-indent", 0, 720).value_or(0) });
            total += shares.back().relative;
            if (shares.size() >= 16)
                break;
        }
        float body = section.paperSize.width - margins.left - margins.right;
        if (shares.size() == std::size_t(section.columnCount) && total > 0 && body > 0) {
            for (std::size_t i = 0; i < shares.size(); ++i) {
                float width = body * shares[i].relative / total - shares[i].start - shares[i].end;
                float after = i + 1 < shares.size() ? shares[i].end + shares[i + 1].start : 0;
                section.unequalColumns.push_back({ std::max(width, 1.0f), after });
            }
        }
    }
    section.pageColor = colorAttribute(properties, "fo:background-color").value_or(std::nullopt);
    return section;
}

GraphicProperties OdtStyles::graphicProperties(std::string_view name) const
{
    GraphicProperties merged;
    auto fill = [](auto& into, const auto& from) {
        if (!into && from)
            into = from;
    };
    const Style* style = find("graphic", name);
    for (int depth = 0; style && depth < 32; ++depth) {
        const GraphicProperties& own = style->graphic;
        fill(merged.wrap, own.wrap);
        fill(merged.runThrough, own.runThrough);
        fill(merged.horizontalPos, own.horizontalPos);
        fill(merged.horizontalRel, own.horizontalRel);
        fill(merged.verticalPos, own.verticalPos);
        fill(merged.verticalRel, own.verticalRel);
        for (std::size_t i = 0; i < 4; ++i) {
            fill(merged.margins[i], own.margins[i]);
            fill(merged.padding[i], own.padding[i]);
        }
        fill(merged.border, own.border);
        fill(merged.background, own.background);
        style = style->parent.empty() ? nullptr : find("graphic", style->parent);
    }
    if (auto it = m_defaults.find("graphic"); it != m_defaults.end()) {
        const GraphicProperties& own = it->second.graphic;
        fill(merged.wrap, own.wrap);
        fill(merged.runThrough, own.runThrough);
        for (std::size_t i = 0; i < 4; ++i)
            fill(merged.margins[i], own.margins[i]);
    }
    return merged;
}

const Style* OdtStyles::find(std::string_view family, std::string_view name) const
{
    std::string key = styleKey(family, name);
    if (auto it = m_automatic.find(key); it != m_automatic.end())
        return &it->second;
    if (auto it = m_common.find(key); it != m_common.end())
        return &it->second;
    return nullptr;
}

const OdtStyles::Resolved& OdtStyles::resolve(std::string_view family, std::string_view name)
{
    std::string key = styleKey(family, name);
    if (auto it = m_resolved.find(key); it != m_resolved.end())
        return *it->second;
    // The chain from the style up to its root, then layered from the family's default style down.
    std::vector<const Style*> chain;
    const Style* style = find(family, name);
    while (style && chain.size() < std::size_t(kMaxStyleDepth)) {
        if (std::find(chain.begin(), chain.end(), style) != chain.end())
            break;
        chain.push_back(style);
        if (style->parent.empty())
            break;
        // A parent is a common style; an automatic style never names another automatic one.
        auto parent = m_common.find(styleKey(family, style->parent));
        style = parent == m_common.end() ? nullptr : &parent->second;
    }
    auto resolved = std::make_unique<Resolved>();
    if (auto defaults = m_defaults.find(family); defaults != m_defaults.end()) {
        resolved->text = defaults->second.text;
        resolved->paragraph = defaults->second.paragraph;
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        resolved->text.overlay((*it)->text);
        resolved->paragraph.overlay((*it)->paragraph);
        if (!(*it)->listStyle.empty())
            resolved->listStyle = (*it)->listStyle;
    }
    // A master page starts a new page only where the style itself names it, not where a parent does.
    if (!chain.empty())
        resolved->masterPage = chain.front()->masterPage;
    const Resolved& result = *resolved;
    m_resolved.emplace(std::move(key), std::move(resolved));
    return result;
}

const ListStyle* OdtStyles::listStyle(std::string_view name) const
{
    if (auto it = m_automaticLists.find(name); it != m_automaticLists.end())
        return &it->second;
    if (auto it = m_commonLists.find(name); it != m_commonLists.end())
        return &it->second;
    return nullptr;
}

} // namespace importer::odt
