#include "import/html/StyleResolver.h"

#include "import/html/CssValues.h"
#include "import/html/HtmlDom.h"

#include <algorithm>
#include <cstdio>

namespace importer::html {

namespace {

// The defaults of browsers for the elements documents use. Sizes of headings and margins are those of
// the common engines; sub and sup keep their size because the drawing shrinks them already.
constexpr const char* kDefaultStyleSheet = R"css(
html, body, div, p, address, blockquote, center, dl, dt, dd, form, fieldset, figure, figcaption, header,
footer, section, article, nav, aside, main, hgroup, details, summary, menu, dir, legend, h1, h2, h3, h4, h5,
h6, pre, listing, xmp, plaintext, hr, ul, ol, noscript, optgroup, search { display: block }
li { display: list-item }
table { display: table }
tr { display: table-row }
thead, tbody, tfoot { display: table-row-group }
td, th { display: table-cell }
caption { display: table-caption }
col, colgroup { display: table-column }
head, script, style, title, template, meta, link, base, param, datalist, iframe, embed, object, audio, video,
canvas, svg, select, input, area, map, noembed, noframes, frameset, frame { display: none }
h1 { font-size: 2em; margin: .67em 0; font-weight: bold }
h2 { font-size: 1.5em; margin: .83em 0; font-weight: bold }
h3 { font-size: 1.17em; margin: 1em 0; font-weight: bold }
h4 { margin: 1.33em 0; font-weight: bold }
h5 { font-size: .83em; margin: 1.67em 0; font-weight: bold }
h6 { font-size: .67em; margin: 2.33em 0; font-weight: bold }
p, dl, figure { margin: 1em 0 }
blockquote, figure { margin: 1em 40px }
address, cite, dfn, em, i, var { font-style: italic }
b, strong { font-weight: bold }
u, ins { text-decoration: underline }
s, strike, del { text-decoration: line-through }
sub { vertical-align: sub }
sup { vertical-align: super }
code, kbd, samp, tt, pre, listing, xmp, plaintext { font-family: monospace; font-size: -lectorin-monospace }
pre, listing, xmp, plaintext { white-space: pre; margin: 1em 0 }
textarea { white-space: pre-wrap; font-family: monospace; font-size: -lectorin-monospace }
nobr { white-space: nowrap }
ul, menu, dir { list-style-type: disc; margin: 1em 0; padding-left: 40px }
ol { list-style-type: decimal; margin: 1em 0; padding-left: 40px }
ul ul, ul ol, ol ul, ol ol, ul menu, ol menu, menu ul, menu ol, ul dir, ol dir { margin-top: 0; margin-bottom: 0 }
ul ul, ol ul, menu ul, ul menu, dir ul { list-style-type: circle }
ul ul ul, ul ol ul, ol ul ul, ol ol ul, menu ul ul { list-style-type: square }
dd { margin-left: 40px }
center, caption { text-align: center }
th { font-weight: bold; text-align: center }
td, th { padding: 1px }
a:link { color: #0000EE; text-decoration: underline }
small { font-size: smaller }
big { font-size: larger }
mark { background-color: yellow; color: black }
hr { margin: .5em 0 }
)css";

// Browsers show monospace text at 13 pixels where other text has 16, once: code inside pre does not
// shrink again. The default style sheet asks for that size with this keyword.
constexpr std::string_view kMonospaceSize = "-lectorin-monospace";
constexpr std::string_view kMonospaceFamily = "Courier New";

const StyleSheet& defaultStyleSheet()
{
    static const StyleSheet sheet = [] {
        StyleSheet s;
        s.addCss(kDefaultStyleSheet);
        return s;
    }();
    return sheet;
}

std::string cssColor(const kit::Color& color)
{
    auto c = color.rgba();
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "rgb(%d, %d, %d)", int(c[0] * 255 + 0.5f), int(c[1] * 255 + 0.5f),
        int(c[2] * 255 + 0.5f));
    return buffer;
}

// A width or height attribute: "50%" stays a percentage, a number is pixels.
std::string htmlLength(std::string_view value)
{
    value = trimmed(value);
    std::size_t digits = 0;
    while (digits < value.size() && ((value[digits] >= '0' && value[digits] <= '9') || value[digits] == '.'))
        ++digits;
    if (!digits)
        return {};
    std::string number(value.substr(0, digits));
    if (digits < value.size() && value[digits] == '%')
        return number + "%";
    return number + "px";
}

const xmlNode* enclosingTable(const xmlNode* element)
{
    for (const xmlNode* node = parentElement(element); node; node = parentElement(node)) {
        std::string_view name = elementName(node);
        if (name == "table")
            return node;
        if (name == "td" || name == "th")
            return nullptr;
    }
    return nullptr;
}

// HTML attributes that browsers map to CSS, as declarations below every author rule.
std::vector<CssDeclaration> presentationalHints(const xmlNode* element)
{
    std::vector<CssDeclaration> hints;
    auto add = [&](const char* property, std::string value) {
        if (!value.empty())
            hints.push_back({ property, std::move(value), false });
    };
    std::string_view name = elementName(element);
    bool isCellOrRow = name == "td" || name == "th" || name == "tr" || name == "thead" || name == "tbody" || name == "tfoot";
    bool isBlockText = name == "p" || name == "div" || name == "h1" || name == "h2" || name == "h3" || name == "h4"
        || name == "h5" || name == "h6" || name == "legend";
    if (isCellOrRow || isBlockText) {
        if (auto align = attribute(element, "align")) {
            std::string value = asciiLower(trimmed(*align));
            if (value == "left" || value == "right" || value == "center" || value == "justify")
                add("text-align", value);
            else if (value == "middle")
                add("text-align", "center");
        }
    }
    if (isCellOrRow || name == "table") {
        if (auto bgcolor = attribute(element, "bgcolor")) {
            if (auto color = parseColor(*bgcolor, true))
                add("background-color", cssColor(*color));
        }
    }
    if (name == "td" || name == "th" || name == "table" || name == "col" || name == "colgroup" || name == "img"
        || name == "hr") {
        if (auto width = attribute(element, "width"))
            add("width", htmlLength(*width));
    }
    if (name == "img" || name == "td" || name == "th") {
        if (auto height = attribute(element, "height"))
            add("height", htmlLength(*height));
    }
    if (name == "td" || name == "th") {
        if (const xmlNode* table = enclosingTable(element)) {
            if (auto padding = attribute(table, "cellpadding"))
                add("padding", htmlLength(*padding));
            auto border = attribute(table, "border");
            if (border) {
                std::string width = htmlLength(*border);
                if (width.empty() || width != "0px") {
                    std::string color = "gray";
                    if (auto bordercolor = attribute(table, "bordercolor")) {
                        if (auto parsed = parseColor(*bordercolor, true))
                            color = cssColor(*parsed);
                    }
                    add("border", "1px solid " + color);
                }
            }
        }
    }
    if (name == "body") {
        if (auto text = attribute(element, "text")) {
            if (auto color = parseColor(*text, true))
                add("color", cssColor(*color));
        }
    }
    if (name == "font") {
        if (auto color = attribute(element, "color")) {
            if (auto parsed = parseColor(*color, true))
                add("color", cssColor(*parsed));
        }
        if (auto face = attribute(element, "face"))
            add("font-family", *face);
        if (auto size = attribute(element, "size")) {
            if (auto points = htmlFontSize(*size))
                add("font-size", std::to_string(*points) + "pt");
        }
    }
    if (name == "ol" || name == "ul" || name == "li") {
        if (auto type = attribute(element, "type")) {
            std::string value(trimmed(*type));
            std::string lower = asciiLower(value);
            if (value == "1")
                add("list-style-type", "decimal");
            else if (value == "a")
                add("list-style-type", "lower-alpha");
            else if (value == "A")
                add("list-style-type", "upper-alpha");
            else if (value == "i")
                add("list-style-type", "lower-roman");
            else if (value == "I")
                add("list-style-type", "upper-roman");
            else if (lower == "disc" || lower == "circle" || lower == "square" || lower == "none")
                add("list-style-type", lower);
        }
    }
    if (auto dir = attribute(element, "dir")) {
        std::string value = asciiLower(trimmed(*dir));
        if (value == "rtl" || value == "ltr")
            add("direction", value);
    }
    if (hasAttribute(element, "hidden"))
        add("display", "none");
    return hints;
}

struct BorderSide {
    std::optional<kit::LineStyle> style; // nullopt: none
    float width = 3 * kPointsPerPixel; // medium
    std::optional<kit::Color> color;
};

struct Cascade {
    const ComputedStyle& parent;
    ComputedStyle& style;
    float percentBase;
    kit::LineStyle ownUnderline = kit::LineStyle::None;
    kit::LineStyle ownStrikethrough = kit::LineStyle::None;
    bool doubleDecoration = false;
    std::optional<kit::Color> ownBackground;
    std::array<BorderSide, 4> borders;

    std::optional<float> length(std::string_view value, bool unitlessPixels = false) const
    {
        return parseLength(value, style.fontSize, percentBase, unitlessPixels);
    }

    void apply(const CssDeclaration& declaration);
    void applyFont(std::string_view value);
    void applyBorder(std::string_view value, std::initializer_list<int> sides);
    void applyBorderPart(int side, const std::string& part, std::string_view token);
    void applyBoxSides(std::array<float, 4>& box, std::string_view value, bool allowNegative);
    void finish();
};

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

std::optional<bool> boldFor(std::string_view value)
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

void Cascade::applyBoxSides(std::array<float, 4>& box, std::string_view value, bool allowNegative)
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
void readBorderPart(BorderSide& side, std::string_view token, float fontSize)
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

void Cascade::applyBorder(std::string_view value, std::initializer_list<int> sides)
{
    BorderSide side;
    for (auto token : valueTokens(value))
        readBorderPart(side, token, style.fontSize);
    for (int s : sides)
        borders[s] = side;
}

void Cascade::applyFont(std::string_view value)
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
        else if (auto weight = boldFor(lower); weight && !(lower[0] >= '0' && lower[0] <= '9' && lower.find_first_not_of("0123456789") != std::string::npos))
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
    if (!parseFontSize(sizeToken, parent.fontSize))
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
    style.italic = italic;
    style.smallCaps = smallCaps;
    style.bold = bold;
    style.fontFamily = family;
    style.lineHeightRule = kit::LineSpacingRule::Multiple;
    style.lineHeight = 1;
    if (!lineHeightToken.empty())
        apply({ "line-height", std::string(lineHeightToken), false });
}

void Cascade::apply(const CssDeclaration& declaration)
{
    const std::string& property = declaration.property;
    std::string_view value = declaration.value;
    std::string lower = asciiLower(value);
    bool inherit = lower == "inherit";

    if (property == "font-family") {
        if (inherit)
            style.fontFamily = parent.fontFamily;
        else if (auto family = resolveFontFamily(value); !family.empty())
            style.fontFamily = family;
    } else if (property == "mso-fareast-font-family" || property == "mso-bidi-font-family") {
        std::string family = resolveFontFamily(value);
        (property == "mso-fareast-font-family" ? style.fontFamilyEastAsian : style.fontFamilyComplex) = family;
    } else if (property == "font-weight") {
        if (inherit)
            style.bold = parent.bold;
        else if (auto bold = boldFor(lower))
            style.bold = *bold;
    } else if (property == "font-style") {
        if (inherit)
            style.italic = parent.italic;
        else if (lower == "italic" || lower == "oblique" || lower == "normal")
            style.italic = lower != "normal";
    } else if (property == "font-variant" || property == "font-variant-caps") {
        if (inherit)
            style.smallCaps = parent.smallCaps;
        else if (lower == "small-caps" || lower == "normal" || lower == "all-small-caps")
            style.smallCaps = lower != "normal";
    } else if (property == "font") {
        applyFont(value);
    } else if (property == "text-transform") {
        if (inherit)
            style.allCaps = parent.allCaps;
        else if (lower == "uppercase" || lower == "none")
            style.allCaps = lower == "uppercase";
    } else if (property == "text-decoration" || property == "text-decoration-line") {
        for (auto token : valueTokens(lower)) {
            if (token == "underline")
                ownUnderline = kit::LineStyle::Single;
            else if (token == "line-through")
                ownStrikethrough = kit::LineStyle::Single;
            else if (token == "double")
                doubleDecoration = true;
            else if (token == "none") {
                ownUnderline = kit::LineStyle::None;
                ownStrikethrough = kit::LineStyle::None;
            }
        }
    } else if (property == "text-decoration-style") {
        doubleDecoration = lower == "double";
    } else if (property == "color") {
        if (inherit)
            style.color = parent.color;
        else if (auto color = parseColor(value))
            style.color = color;
    } else if (property == "background-color" || property == "background" || property == "mso-highlight") {
        if (lower == "none" || lower == "transparent")
            ownBackground.reset();
        for (auto token : valueTokens(value)) {
            if (auto color = parseColor(token)) {
                ownBackground = color;
                break;
            }
        }
    } else if (property == "text-align") {
        using kit::TextAlignment;
        if (inherit)
            style.textAlign = parent.textAlign;
        else if (lower == "left")
            style.textAlign = TextAlignment::Left;
        else if (lower == "right" || lower == "end")
            style.textAlign = TextAlignment::Right;
        else if (lower == "center" || lower == "-webkit-center" || lower == "-moz-center")
            style.textAlign = TextAlignment::Center;
        else if (lower == "justify")
            style.textAlign = TextAlignment::Justified;
        else if (lower == "start")
            style.textAlign = TextAlignment::Natural;
    } else if (property == "direction") {
        if (lower == "rtl")
            style.direction = kit::WritingDirection::RightToLeft;
        else if (lower == "ltr")
            style.direction = kit::WritingDirection::LeftToRight;
    } else if (property == "margin") {
        applyBoxSides(style.margin, value, true);
    } else if (property == "padding") {
        applyBoxSides(style.padding, value, false);
    } else if (property.rfind("margin-", 0) == 0 || property.rfind("padding-", 0) == 0) {
        bool isMargin = property[0] == 'm';
        std::string_view sideName = std::string_view(property).substr(isMargin ? 7 : 8);
        int side = sideName == "top" ? Top : sideName == "right" ? Right : sideName == "bottom" ? Bottom : sideName == "left" ? Left : -1;
        if (side < 0)
            return;
        if (lower == "auto") {
            (isMargin ? style.margin : style.padding)[side] = 0;
        } else if (auto points = length(value)) {
            (isMargin ? style.margin : style.padding)[side] = isMargin ? *points : std::max(0.0f, *points);
        }
    } else if (property == "text-indent") {
        if (auto points = length(value))
            style.textIndent = *points;
    } else if (property == "line-height") {
        if (lower == "normal") {
            style.lineHeightRule = kit::LineSpacingRule::Multiple;
            style.lineHeight = 1;
        } else if (inherit) {
            style.lineHeightRule = parent.lineHeightRule;
            style.lineHeight = parent.lineHeight;
        } else if (!lower.empty() && lower.back() == '%') {
            if (auto percent = parseLength(lower, 1, 100); percent && *percent > 0) {
                style.lineHeightRule = kit::LineSpacingRule::Multiple;
                style.lineHeight = std::clamp(*percent / 100, 0.5f, 10.0f);
            }
        } else if (auto multiple = parseLength(lower, 1, 1, true); multiple && lower.find_first_not_of("0123456789.") == std::string::npos) {
            // A bare number: parseLength took it as pixels; undo that.
            style.lineHeightRule = kit::LineSpacingRule::Multiple;
            style.lineHeight = std::clamp(*multiple / kPointsPerPixel, 0.5f, 10.0f);
        } else if (auto points = length(value); points && *points > 0) {
            style.lineHeightRule = kit::LineSpacingRule::Exact;
            style.lineHeight = std::min(*points, 1000.0f);
        }
    } else if (property == "page-break-before" || property == "break-before") {
        style.pageBreakBefore = lower == "always" || lower == "page" || lower == "left" || lower == "right"
            || lower == "recto" || lower == "verso";
    } else if (property == "page-break-after" || property == "break-after") {
        style.pageBreakAfter = lower == "always" || lower == "page" || lower == "left" || lower == "right"
            || lower == "recto" || lower == "verso";
    } else if (property == "display") {
        if (lower == "none")
            style.display = Display::None;
        else if (lower == "block" || lower == "flex" || lower == "grid" || lower == "flow-root")
            style.display = Display::Block;
        else if (lower == "list-item")
            style.display = Display::ListItem;
        else if (lower == "inline" || lower == "inline-block" || lower == "contents" || lower == "inline-flex")
            style.display = Display::Inline;
    } else if (property == "white-space") {
        if (lower == "normal")
            style.whiteSpace = WhiteSpace::Normal;
        else if (lower == "nowrap")
            style.whiteSpace = WhiteSpace::NoWrap;
        else if (lower == "pre")
            style.whiteSpace = WhiteSpace::Pre;
        else if (lower == "pre-wrap" || lower == "break-spaces")
            style.whiteSpace = WhiteSpace::PreWrap;
        else if (lower == "pre-line")
            style.whiteSpace = WhiteSpace::PreLine;
        else if (inherit)
            style.whiteSpace = parent.whiteSpace;
    } else if (property == "list-style-type" || property == "list-style") {
        for (auto token : valueTokens(lower)) {
            if (auto listStyle = listStyleFor(token)) {
                style.listStyle = *listStyle;
                break;
            }
        }
    } else if (property == "vertical-align") {
        if (lower == "super")
            style.verticalAlign = 1;
        else if (lower == "sub")
            style.verticalAlign = -1;
        else if (lower == "baseline")
            style.verticalAlign = 0;
    } else if (property == "width" || property == "height") {
        std::optional<float> points;
        if (lower != "auto")
            points = length(value);
        if (property == "height") {
            style.height = points;
        } else {
            style.width = lower.find('%') == std::string::npos ? points : std::nullopt;
            style.widthPercent.reset();
            if (lower.find('%') != std::string::npos) {
                if (auto percent = parseLength(lower, 1, 100))
                    style.widthPercent = std::clamp(*percent, 0.0f, 100.0f);
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

void Cascade::applyBorderPart(int side, const std::string& part, std::string_view token)
{
    BorderSide parsed;
    readBorderPart(parsed, token, style.fontSize);
    if (part == "style")
        borders[side].style = parsed.style;
    else if (part == "width")
        borders[side].width = parsed.width;
    else if (part == "color")
        borders[side].color = parsed.color;
}

void Cascade::finish()
{
    style.underline = std::max(parent.underline, ownUnderline == kit::LineStyle::None ? kit::LineStyle::None
            : doubleDecoration ? kit::LineStyle::Double : kit::LineStyle::Single);
    style.strikethrough = std::max(parent.strikethrough, ownStrikethrough == kit::LineStyle::None ? kit::LineStyle::None
            : doubleDecoration ? kit::LineStyle::Double : kit::LineStyle::Single);
    if (style.verticalAlign == 0)
        style.verticalAlign = parent.verticalAlign;
    style.background = ownBackground;
    // An inline box paints behind its text and its descendants' text; a block's background is its box's,
    // which the text model has only for table cells.
    if (style.display == Display::Inline && ownBackground)
        style.textBackground = ownBackground;
    for (int side = 0; side < 4; ++side) {
        const BorderSide& b = borders[side];
        if (b.style && b.width > 0)
            style.border[side] = { *b.style, b.width, b.color ? *b.color : (style.color ? *style.color : kit::Color()) };
        else
            style.border[side] = {};
    }
}

} // namespace

StyleResolver::StyleResolver(const xmlDoc* document)
{
    // Style elements count wherever they stand, in document order; a media attribute restricts them as
    // @media would.
    std::vector<const xmlNode*> stack;
    for (const xmlNode* node = document ? document->children : nullptr; node; node = node->next)
        stack.push_back(node);
    std::reverse(stack.begin(), stack.end());
    std::size_t visited = 0;
    while (!stack.empty() && ++visited < 2000000) {
        const xmlNode* node = stack.back();
        stack.pop_back();
        if (!isElement(node))
            continue;
        if (elementName(node) == "style") {
            std::string css = textContent(node);
            if (auto media = attribute(node, "media"))
                css = "@media " + *media + " {" + css + "}";
            auto type = attribute(node, "type");
            if (!type || asciiLower(trimmed(*type)) == "text/css" || trimmed(*type).empty())
                m_author.addCss(css);
            continue;
        }
        std::vector<const xmlNode*> children;
        for (const xmlNode* child = node->children; child; child = child->next)
            children.push_back(child);
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
}

ComputedStyle StyleResolver::computeStyle(const xmlNode* element, const ComputedStyle& parent, float percentBase)
{
    ComputedStyle style;
    // Inherited properties, and the ones that reach descendants' text.
    style.fontFamily = parent.fontFamily;
    style.fontFamilyEastAsian = parent.fontFamilyEastAsian;
    style.fontFamilyComplex = parent.fontFamilyComplex;
    style.fontSize = parent.fontSize;
    style.bold = parent.bold;
    style.italic = parent.italic;
    style.smallCaps = parent.smallCaps;
    style.allCaps = parent.allCaps;
    style.color = parent.color;
    style.textAlign = parent.textAlign;
    style.direction = parent.direction;
    style.lineHeightRule = parent.lineHeightRule;
    style.lineHeight = parent.lineHeight;
    style.textIndent = parent.textIndent;
    style.whiteSpace = parent.whiteSpace;
    style.listStyle = parent.listStyle;
    style.textBackground = parent.textBackground;
    style.link = parent.link;

    // Origins in ascending precedence: defaults, attributes, author rules, the style attribute, then the
    // important author rules and important style attribute.
    std::vector<const CssDeclaration*> ordered;
    std::vector<const CssDeclaration*> important;
    for (const CssRule* rule : defaultStyleSheet().matchingRules(element, m_keys)) {
        for (const auto& declaration : *rule->declarations)
            ordered.push_back(&declaration);
    }
    std::vector<CssDeclaration> hints = presentationalHints(element);
    for (const auto& declaration : hints)
        ordered.push_back(&declaration);
    for (const CssRule* rule : m_author.matchingRules(element, m_keys)) {
        for (const auto& declaration : *rule->declarations)
            (declaration.important ? important : ordered).push_back(&declaration);
    }
    std::vector<CssDeclaration> inlineDeclarations;
    if (auto inlineStyle = attribute(element, "style"))
        inlineDeclarations = parseDeclarations(*inlineStyle);
    std::vector<const CssDeclaration*> inlineImportant;
    for (const auto& declaration : inlineDeclarations)
        (declaration.important ? inlineImportant : ordered).push_back(&declaration);
    ordered.insert(ordered.end(), important.begin(), important.end());
    ordered.insert(ordered.end(), inlineImportant.begin(), inlineImportant.end());

    // The font size first: em lengths of every other property refer to it.
    for (const CssDeclaration* declaration : ordered) {
        if (declaration->property == "font-size") {
            if (asciiLower(declaration->value) == "inherit")
                style.fontSize = parent.fontSize;
            else if (declaration->value == kMonospaceSize)
                style.fontSize = parent.fontFamily == kMonospaceFamily ? parent.fontSize : parent.fontSize * 13 / 16;
            else if (auto size = parseFontSize(declaration->value, parent.fontSize))
                style.fontSize = *size;
        } else if (declaration->property == "font") {
            auto tokens = valueTokens(declaration->value);
            for (std::size_t i = 0; i + 1 < tokens.size(); ++i) {
                std::string_view token = tokens[i];
                token = token.substr(0, token.find('/'));
                if (boldFor(token) && token.find_first_not_of("0123456789") == std::string_view::npos)
                    continue; // a weight such as 700
                if (auto size = parseFontSize(token, parent.fontSize)) {
                    style.fontSize = *size;
                    break;
                }
            }
        }
    }

    Cascade cascade { parent, style, percentBase };
    for (const CssDeclaration* declaration : ordered) {
        if (declaration->property != "font-size")
            cascade.apply(*declaration);
    }
    cascade.finish();

    if (elementName(element) == "a") {
        if (auto href = attribute(element, "href")) {
            std::string target(trimmed(*href));
            if (isSafeLink(target) && !target.empty())
                style.link = target;
        }
    }
    return style;
}

bool isSafeLink(std::string_view href)
{
    std::string lower = asciiLower(trimmed(href));
    // Browsers ignore tabs and new lines inside a scheme ("java\nscript:"), so strip them before looking.
    lower.erase(std::remove_if(lower.begin(), lower.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }),
        lower.end());
    return lower.rfind("javascript:", 0) != 0 && lower.rfind("vbscript:", 0) != 0 && lower.rfind("data:", 0) != 0;
}

kit::Attributes ComputedStyle::characterAttributes() const
{
    kit::Attributes a;
    a.fontFamily = fontFamily;
    a.fontFamilyEastAsian = fontFamilyEastAsian == fontFamily ? std::string() : fontFamilyEastAsian;
    a.fontFamilyComplex = fontFamilyComplex == fontFamily ? std::string() : fontFamilyComplex;
    a.fontSize = fontSize;
    a.bold = bold;
    a.italic = italic;
    a.smallCaps = smallCaps;
    a.allCaps = allCaps;
    a.underline = underline;
    a.strikethrough = strikethrough;
    a.foreground = color;
    a.background = textBackground;
    a.superscript = verticalAlign;
    a.link = link;
    return a;
}

} // namespace importer::html
