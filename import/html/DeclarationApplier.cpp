#include "import/html/DeclarationApplier.h"

#include "import/html/CssValues.h"

#include <algorithm>
#include <cstdlib>

namespace importer::html {

namespace {

std::optional<ListStyle> listStyleFor(std::string_view keyword)
{
    static constexpr struct {
        const char* name;
        ListStyle style;
    } styles[] = {
        { "disc", ListStyle::Disc }, { "circle", ListStyle::Circle }, { "square", ListStyle::Square },
        { "decimal", ListStyle::Decimal }, { "decimal-leading-zero", ListStyle::DecimalLeadingZero },
        { "lower-alpha", ListStyle::LowerAlpha }, { "lower-latin", ListStyle::LowerAlpha },
        { "upper-alpha", ListStyle::UpperAlpha }, { "upper-latin", ListStyle::UpperAlpha },
        { "lower-roman", ListStyle::LowerRoman }, { "upper-roman", ListStyle::UpperRoman },
        { "lower-greek", ListStyle::LowerGreek }, { "none", ListStyle::None },
    };
    std::string lower = asciiLower(keyword);
    for (const auto& entry : styles) {
        if (lower == entry.name)
            return entry.style;
    }
    return std::nullopt;
}

} // namespace

std::optional<bool> isBoldWeight(std::string_view value)
{
    std::string lower = asciiLower(value);
    if (lower == "bold" || lower == "bolder")
        return true;
    if (lower == "normal" || lower == "lighter")
        return false;
    if (!lower.empty() && lower[0] >= '1' && lower[0] <= '9') {
        int weight = std::atoi(lower.c_str());
        return weight >= 600;
    }
    return std::nullopt;
}

void DeclarationApplier::applyBoxSides(std::array<float, 4>& box, std::string_view value, bool allowNegative)
{
    auto tokens = valueTokens(value);
    std::vector<float> values;
    for (auto token : tokens) {
        if (asciiLower(token) == "auto") {
            values.push_back(0);
            continue;
        }
        auto points = length(token);
        if (!points)
            return;
        values.push_back(allowNegative ? *points : std::max(0.0f, *points));
    }
    switch (values.size()) {
    case 1:
        box = { values[0], values[0], values[0], values[0] };
        break;
    case 2:
        box = { values[0], values[1], values[0], values[1] };
        break;
    case 3:
        box = { values[0], values[1], values[2], values[1] };
        break;
    case 4:
        box = { values[0], values[1], values[2], values[3] };
        break;
    default:
        break;
    }
}

// One part of a border shorthand: a style keyword, a width or a colour.
void DeclarationApplier::readBorderPart(BorderSide& side, std::string_view token, float fontSize) const
{
    std::string lower = asciiLower(token);
    if (lower == "none" || lower == "hidden") {
        side.style.reset();
    } else if (lower == "double") {
        side.style = kit::LineStyle::Double;
    } else if (lower == "solid" || lower == "dotted" || lower == "dashed" || lower == "groove" || lower == "ridge"
        || lower == "inset" || lower == "outset") {
        side.style = kit::LineStyle::Single;
    } else if (lower == "thin") {
        side.width = kPointsPerPixel;
    } else if (lower == "medium") {
        side.width = 3 * kPointsPerPixel;
    } else if (lower == "thick") {
        side.width = 5 * kPointsPerPixel;
    } else if (auto width = parseLength(token, fontSize, 0)) {
        side.width = std::clamp(*width, 0.0f, 72.0f);
    } else if (auto color = parseColor(token)) {
        side.color = color;
    }
}

void DeclarationApplier::applyBorder(std::string_view value, std::initializer_list<int> sides)
{
    BorderSide side;
    for (auto token : valueTokens(value))
        readBorderPart(side, token, m_style.fontSize);
    for (int s : sides)
        m_borders[s] = side;
}

void DeclarationApplier::applyFont(std::string_view value)
{
    auto tokens = valueTokens(value);
    if (tokens.size() < 2)
        return; // system fonts (caption, menu...) and lone keywords are not a full font
    bool italic = false, smallCaps = false, bold = false;
    std::size_t i = 0;
    for (; i < tokens.size(); ++i) {
        std::string lower = asciiLower(tokens[i]);
        if (lower == "italic" || lower == "oblique")
            italic = true;
        else if (lower == "small-caps")
            smallCaps = true;
        else if (auto weight = isBoldWeight(lower); weight && !(lower[0] >= '0' && lower[0] <= '9' && lower.find_first_not_of("0123456789") != std::string::npos))
            bold = *weight;
        else if (lower == "normal")
            continue;
        else
            break;
    }
    if (i >= tokens.size())
        return;
    std::string_view sizeToken = tokens[i];
    std::string_view lineHeightToken;
    std::size_t slash = sizeToken.find('/');
    if (slash != std::string_view::npos) {
        lineHeightToken = sizeToken.substr(slash + 1);
        sizeToken = sizeToken.substr(0, slash);
    }
    if (!parseFontSize(sizeToken, m_parent.fontSize))
        return;
    ++i;
    if (lineHeightToken.empty() && i < tokens.size() && tokens[i] == "/" && i + 1 < tokens.size()) {
        lineHeightToken = tokens[i + 1];
        i += 2;
    }
    if (i >= tokens.size())
        return;
    std::size_t familyStart = std::size_t(tokens[i].data() - value.data());
    std::string family = resolveFontFamily(value.substr(familyStart));
    if (family.empty())
        return;
    m_style.italic = italic;
    m_style.smallCaps = smallCaps;
    m_style.bold = bold;
    m_style.fontFamily = family;
    m_style.lineHeightRule = kit::LineSpacingRule::Multiple;
    m_style.lineHeight = 1;
    if (!lineHeightToken.empty())
        apply({ "line-height", std::string(lineHeightToken), false });
}

void DeclarationApplier::apply(const CssDeclaration& declaration)
{
    const std::string& property = declaration.property;
    std::string_view value = declaration.value;
    std::string lower = asciiLower(value);
    bool inherit = lower == "inherit";

    if (property == "font-family") {
        if (inherit)
            m_style.fontFamily = m_parent.fontFamily;
        else if (auto family = resolveFontFamily(value); !family.empty())
            m_style.fontFamily = family;
    } else if (property == "mso-fareast-font-family" || property == "mso-bidi-font-family") {
        std::string family = resolveFontFamily(value);
        (property == "mso-fareast-font-family" ? m_style.fontFamilyEastAsian : m_style.fontFamilyComplex) = family;
    } else if (property == "font-weight") {
        if (inherit)
            m_style.bold = m_parent.bold;
        else if (auto bold = isBoldWeight(lower))
            m_style.bold = *bold;
    } else if (property == "font-style") {
        if (inherit)
            m_style.italic = m_parent.italic;
        else if (lower == "italic" || lower == "oblique" || lower == "normal")
            m_style.italic = lower != "normal";
    } else if (property == "font-variant" || property == "font-variant-caps") {
        if (inherit)
            m_style.smallCaps = m_parent.smallCaps;
        else if (lower == "small-caps" || lower == "normal" || lower == "all-small-caps")
            m_style.smallCaps = lower != "normal";
    } else if (property == "font") {
        applyFont(value);
    } else if (property == "text-transform") {
        if (inherit)
            m_style.allCaps = m_parent.allCaps;
        else if (lower == "uppercase" || lower == "none")
            m_style.allCaps = lower == "uppercase";
    } else if (property == "text-decoration" || property == "text-decoration-line") {
        for (auto token : valueTokens(lower)) {
            if (token == "underline")
                m_ownUnderline = kit::LineStyle::Single;
            else if (token == "line-through")
                m_ownStrikethrough = kit::LineStyle::Single;
            else if (token == "double")
                m_doubleDecoration = true;
            else if (token == "none") {
                m_ownUnderline = kit::LineStyle::None;
                m_ownStrikethrough = kit::LineStyle::None;
            }
        }
    } else if (property == "text-decoration-style") {
        m_doubleDecoration = lower == "double";
    } else if (property == "color") {
        if (inherit)
            m_style.color = m_parent.color;
        else if (auto color = parseColor(value))
            m_style.color = color;
    } else if (property == "background-color" || property == "background" || property == "mso-highlight") {
        if (lower == "none" || lower == "transparent")
            m_ownBackground.reset();
        for (auto token : valueTokens(value)) {
            if (auto color = parseColor(token)) {
                m_ownBackground = color;
                break;
            }
        }
    } else if (property == "text-align") {
        using kit::TextAlignment;
        if (inherit)
            m_style.textAlign = m_parent.textAlign;
        else if (lower == "left")
            m_style.textAlign = TextAlignment::Left;
        else if (lower == "right" || lower == "end")
            m_style.textAlign = TextAlignment::Right;
        else if (lower == "center" || lower == "-webkit-center" || lower == "-moz-center")
            m_style.textAlign = TextAlignment::Center;
        else if (lower == "justify")
            m_style.textAlign = TextAlignment::Justified;
        else if (lower == "start")
            m_style.textAlign = TextAlignment::Natural;
    } else if (property == "direction") {
        if (lower == "rtl")
            m_style.direction = kit::WritingDirection::RightToLeft;
        else if (lower == "ltr")
            m_style.direction = kit::WritingDirection::LeftToRight;
    } else if (property == "margin") {
        applyBoxSides(m_style.margin, value, true);
    } else if (property == "padding") {
        applyBoxSides(m_style.padding, value, false);
    } else if (property.rfind("margin-", 0) == 0 || property.rfind("padding-", 0) == 0) {
        bool isMargin = property[0] == 'm';
        std::string_view sideName = std::string_view(property).substr(isMargin ? 7 : 8);
        int side = sideName == "top" ? Top : sideName == "right" ? Right : sideName == "bottom" ? Bottom : sideName == "left" ? Left : -1;
        if (side < 0)
            return;
        if (lower == "auto") {
            (isMargin ? m_style.margin : m_style.padding)[side] = 0;
        } else if (auto points = length(value)) {
            (isMargin ? m_style.margin : m_style.padding)[side] = isMargin ? *points : std::max(0.0f, *points);
        }
    } else if (property == "text-indent") {
        if (auto points = length(value))
            m_style.textIndent = *points;
    } else if (property == "line-height") {
        if (lower == "normal") {
            m_style.lineHeightRule = kit::LineSpacingRule::Multiple;
            m_style.lineHeight = 1;
        } else if (inherit) {
            m_style.lineHeightRule = m_parent.lineHeightRule;
            m_style.lineHeight = m_parent.lineHeight;
        } else if (!lower.empty() && lower.back() == '%') {
            if (auto percent = parseLength(lower, 1, 100); percent && *percent > 0) {
                m_style.lineHeightRule = kit::LineSpacingRule::Multiple;
                m_style.lineHeight = std::clamp(*percent / 100, 0.5f, 10.0f);
            }
        } else if (auto multiple = parseLength(lower, 1, 1, true); multiple && lower.find_first_not_of("0123456789.") == std::string::npos) {
            // A bare number: parseLength took it as pixels; undo that.
            m_style.lineHeightRule = kit::LineSpacingRule::Multiple;
            m_style.lineHeight = std::clamp(*multiple / kPointsPerPixel, 0.5f, 10.0f);
        } else if (auto points = length(value); points && *points > 0) {
            m_style.lineHeightRule = kit::LineSpacingRule::Exact;
            m_style.lineHeight = std::min(*points, 1000.0f);
        }
    } else if (property == "page-break-before" || property == "break-before") {
        m_style.pageBreakBefore = lower == "always" || lower == "page" || lower == "left" || lower == "right"
            || lower == "recto" || lower == "verso";
    } else if (property == "page-break-after" || property == "break-after") {
        m_style.pageBreakAfter = lower == "always" || lower == "page" || lower == "left" || lower == "right"
            || lower == "recto" || lower == "verso";
    } else if (property == "display") {
        if (lower == "none")
            m_style.display = Display::None;
        else if (lower == "block" || lower == "flex" || lower == "grid" || lower == "flow-root")
            m_style.display = Display::Block;
        else if (lower == "list-item")
            m_style.display = Display::ListItem;
        else if (lower == "inline" || lower == "inline-block" || lower == "contents" || lower == "inline-flex")
            m_style.display = Display::Inline;
    } else if (property == "white-space") {
        if (lower == "normal")
            m_style.whiteSpace = WhiteSpace::Normal;
        else if (lower == "nowrap")
            m_style.whiteSpace = WhiteSpace::NoWrap;
        else if (lower == "pre")
            m_style.whiteSpace = WhiteSpace::Pre;
        else if (lower == "pre-wrap" || lower == "break-spaces")
            m_style.whiteSpace = WhiteSpace::PreWrap;
        else if (lower == "pre-line")
            m_style.whiteSpace = WhiteSpace::PreLine;
        else if (inherit)
            m_style.whiteSpace = m_parent.whiteSpace;
    } else if (property == "list-style-type" || property == "list-style") {
        for (auto token : valueTokens(lower)) {
            if (auto listStyle = listStyleFor(token)) {
                m_style.listStyle = *listStyle;
                break;
            }
        }
    } else if (property == "vertical-align") {
        if (lower == "super")
            m_style.verticalAlign = 1;
        else if (lower == "sub")
            m_style.verticalAlign = -1;
        else if (lower == "baseline")
            m_style.verticalAlign = 0;
    } else if (property == "width" || property == "height") {
        std::optional<float> points;
        if (lower != "auto")
            points = length(value);
        if (property == "height") {
            m_style.height = points;
        } else {
            m_style.width = lower.find('%') == std::string::npos ? points : std::nullopt;
            m_style.widthPercent.reset();
            if (lower.find('%') != std::string::npos) {
                if (auto percent = parseLength(lower, 1, 100))
                    m_style.widthPercent = std::clamp(*percent, 0.0f, 100.0f);
            }
        }
    } else if (property == "border") {
        applyBorder(value, { Top, Right, Bottom, Left });
    } else if (property == "border-top" || property == "border-right" || property == "border-bottom"
        || property == "border-left") {
        std::string_view sideName = std::string_view(property).substr(7);
        int side = sideName == "top" ? Top : sideName == "right" ? Right : sideName == "bottom" ? Bottom : Left;
        applyBorder(value, { side });
    } else if (property == "border-style" || property == "border-width" || property == "border-color") {
        auto tokens = valueTokens(value);
        if (tokens.empty() || tokens.size() > 4)
            return;
        static constexpr std::size_t pick[4][4] = { { 0, 0, 0, 0 }, { 0, 1, 0, 1 }, { 0, 1, 2, 1 }, { 0, 1, 2, 3 } };
        for (int side = 0; side < 4; ++side)
            applyBorderPart(side, property.substr(7), tokens[pick[tokens.size() - 1][side]]);
    } else if (property.rfind("border-", 0) == 0) {
        // border-top-style, border-left-width, border-bottom-color...
        std::string_view rest = std::string_view(property).substr(7);
        std::size_t dash = rest.find('-');
        if (dash == std::string_view::npos)
            return;
        std::string_view sideName = rest.substr(0, dash);
        int side = sideName == "top" ? Top : sideName == "right" ? Right : sideName == "bottom" ? Bottom : sideName == "left" ? Left : -1;
        if (side >= 0)
            applyBorderPart(side, std::string(rest.substr(dash + 1)), value);
    }
}

void DeclarationApplier::applyBorderPart(int side, const std::string& part, std::string_view token)
{
    BorderSide parsed;
    readBorderPart(parsed, token, m_style.fontSize);
    if (part == "style")
        m_borders[side].style = parsed.style;
    else if (part == "width")
        m_borders[side].width = parsed.width;
    else if (part == "color")
        m_borders[side].color = parsed.color;
}

void DeclarationApplier::finish()
{
    m_style.underline = std::max(m_parent.underline, m_ownUnderline == kit::LineStyle::None ? kit::LineStyle::None
            : m_doubleDecoration ? kit::LineStyle::Double : kit::LineStyle::Single);
    m_style.strikethrough = std::max(m_parent.strikethrough, m_ownStrikethrough == kit::LineStyle::None ? kit::LineStyle::None
            : m_doubleDecoration ? kit::LineStyle::Double : kit::LineStyle::Single);
    if (m_style.verticalAlign == 0)
        m_style.verticalAlign = m_parent.verticalAlign;
    m_style.background = m_ownBackground;
    // An inline box paints behind its text and its descendants' text; a block's background is its box's,
    // which the text model has only for table cells.
    if (m_style.display == Display::Inline && m_ownBackground)
        m_style.textBackground = m_ownBackground;
    for (int side = 0; side < 4; ++side) {
        const BorderSide& b = m_borders[side];
        if (b.style && b.width > 0)
            m_style.border[side] = { *b.style, b.width, b.color ? *b.color : (m_style.color ? *m_style.color : kit::Color()) };
        else
            m_style.border[side] = {};
    }
}

DeclarationApplier::DeclarationApplier(const ComputedStyle& parent, ComputedStyle& style, float percentBase)
    : m_parent(parent)
    , m_style(style)
    , m_percentBase(percentBase)
{
}

std::optional<float> DeclarationApplier::length(std::string_view value, bool unitlessPixels) const
{
    return parseLength(value, m_style.fontSize, m_percentBase, unitlessPixels);
}

} // namespace importer::html
