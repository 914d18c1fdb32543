#include "import/html/DeclarationApplier.h"

#include "import/html/CssValues.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>

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
    // What a row's handler reads: the declaration's value as written and in lower case, the property's name,
    // and the box side the row stands for.
    struct Declared {
        std::string_view property;
        std::string_view value;
        const std::string& lower;
        int side;
    };
    using Handler = void (*)(DeclarationApplier&, const Declared&);
    using Inherit = void (*)(const ComputedStyle& parent, ComputedStyle& style);
    // One row per property. A row with an inherit function takes the parent's value for `inherit`, once,
    // here; the others read `inherit` as any other value (which most ignore).
    struct Property {
        std::string_view name;
        Handler apply;
        Inherit inherit = nullptr;
        int side = 0;
    };
    static const Handler fontFamily = [](DeclarationApplier& a, const Declared& d) {
        if (auto family = resolveFontFamily(d.value); !family.empty())
            a.m_style.fontFamily = family;
    };
    static const Handler scriptFontFamily = [](DeclarationApplier& a, const Declared& d) {
        std::string family = resolveFontFamily(d.value);
        (d.property == "mso-fareast-font-family" ? a.m_style.fontFamilyEastAsian : a.m_style.fontFamilyComplex) = family;
    };
    static const Handler fontVariant = [](DeclarationApplier& a, const Declared& d) {
        if (d.lower == "small-caps" || d.lower == "normal" || d.lower == "all-small-caps")
            a.m_style.smallCaps = d.lower != "normal";
    };
    static const Handler textDecoration = [](DeclarationApplier& a, const Declared& d) {
        for (auto token : valueTokens(d.lower)) {
            if (token == "underline")
                a.m_ownUnderline = kit::LineStyle::Single;
            else if (token == "line-through")
                a.m_ownStrikethrough = kit::LineStyle::Single;
            else if (token == "double")
                a.m_doubleDecoration = true;
            else if (token == "none") {
                a.m_ownUnderline = kit::LineStyle::None;
                a.m_ownStrikethrough = kit::LineStyle::None;
            }
        }
    };
    static const Handler background = [](DeclarationApplier& a, const Declared& d) {
        if (d.lower == "none" || d.lower == "transparent")
            a.m_ownBackground.reset();
        for (auto token : valueTokens(d.value)) {
            if (auto color = parseColor(token)) {
                a.m_ownBackground = color;
                break;
            }
        }
    };
    static const Handler boxSide = [](DeclarationApplier& a, const Declared& d) {
        bool isMargin = d.property[0] == 'm';
        auto& box = isMargin ? a.m_style.margin : a.m_style.padding;
        if (d.lower == "auto")
            box[d.side] = 0;
        else if (auto points = a.length(d.value))
            box[d.side] = isMargin ? *points : std::max(0.0f, *points);
    };
    static const Handler pageBreak = [](DeclarationApplier& a, const Declared& d) {
        bool breaks = d.lower == "always" || d.lower == "page" || d.lower == "left" || d.lower == "right"
            || d.lower == "recto" || d.lower == "verso";
        (d.property.ends_with("before") ? a.m_style.pageBreakBefore : a.m_style.pageBreakAfter) = breaks;
    };
    static const Handler listStyle = [](DeclarationApplier& a, const Declared& d) {
        for (auto token : valueTokens(d.lower)) {
            if (auto style = listStyleFor(token)) {
                a.m_style.listStyle = *style;
                break;
            }
        }
    };
    static const Handler size = [](DeclarationApplier& a, const Declared& d) {
        std::optional<float> points;
        if (d.lower != "auto")
            points = a.length(d.value);
        if (d.property == "height") {
            a.m_style.height = points;
            return;
        }
        bool isPercent = d.lower.find('%') != std::string::npos;
        a.m_style.width = isPercent ? std::nullopt : points;
        a.m_style.widthPercent.reset();
        if (isPercent) {
            if (auto percent = parseLength(d.lower, 1, 100))
                a.m_style.widthPercent = std::clamp(*percent, 0.0f, 100.0f);
        }
    };
    static const Handler borderSide = [](DeclarationApplier& a, const Declared& d) { a.applyBorder(d.value, { d.side }); };
    static const Handler borderSides = [](DeclarationApplier& a, const Declared& d) {
        // border-style, border-width, border-color: one to four values, clockwise from the top.
        auto tokens = valueTokens(d.value);
        if (tokens.empty() || tokens.size() > 4)
            return;
        static constexpr std::size_t pick[4][4] = { { 0, 0, 0, 0 }, { 0, 1, 0, 1 }, { 0, 1, 2, 1 }, { 0, 1, 2, 3 } };
        std::string part(d.property.substr(7));
        for (int side = 0; side < 4; ++side)
            a.applyBorderPart(side, part, tokens[pick[tokens.size() - 1][side]]);
    };
    static const Handler borderPart = [](DeclarationApplier& a, const Declared& d) {
        // border-top-style, border-left-width, border-bottom-color...
        a.applyBorderPart(d.side, std::string(d.property.substr(d.property.rfind('-') + 1)), d.value);
    };

    static const Property kProperties[] = {
        { "font-family", fontFamily, [](const ComputedStyle& p, ComputedStyle& s) { s.fontFamily = p.fontFamily; } },
        { "mso-fareast-font-family", scriptFontFamily },
        { "mso-bidi-font-family", scriptFontFamily },
        { "font-weight",
            [](DeclarationApplier& a, const Declared& d) {
                if (auto bold = isBoldWeight(d.lower))
                    a.m_style.bold = *bold;
            },
            [](const ComputedStyle& p, ComputedStyle& s) { s.bold = p.bold; } },
        { "font-style",
            [](DeclarationApplier& a, const Declared& d) {
                if (d.lower == "italic" || d.lower == "oblique" || d.lower == "normal")
                    a.m_style.italic = d.lower != "normal";
            },
            [](const ComputedStyle& p, ComputedStyle& s) { s.italic = p.italic; } },
        { "font-variant", fontVariant, [](const ComputedStyle& p, ComputedStyle& s) { s.smallCaps = p.smallCaps; } },
        { "font-variant-caps", fontVariant, [](const ComputedStyle& p, ComputedStyle& s) { s.smallCaps = p.smallCaps; } },
        { "font", [](DeclarationApplier& a, const Declared& d) { a.applyFont(d.value); } },
        { "text-transform",
            [](DeclarationApplier& a, const Declared& d) {
                if (d.lower == "uppercase" || d.lower == "none")
                    a.m_style.allCaps = d.lower == "uppercase";
            },
            [](const ComputedStyle& p, ComputedStyle& s) { s.allCaps = p.allCaps; } },
        { "text-decoration", textDecoration },
        { "text-decoration-line", textDecoration },
        { "text-decoration-style", [](DeclarationApplier& a, const Declared& d) { a.m_doubleDecoration = d.lower == "double"; } },
        { "color",
            [](DeclarationApplier& a, const Declared& d) {
                if (auto color = parseColor(d.value))
                    a.m_style.color = color;
            },
            [](const ComputedStyle& p, ComputedStyle& s) { s.color = p.color; } },
        { "background-color", background },
        { "background", background },
        { "mso-highlight", background },
        { "text-align",
            [](DeclarationApplier& a, const Declared& d) {
                using kit::TextAlignment;
                if (d.lower == "left")
                    a.m_style.textAlign = TextAlignment::Left;
                else if (d.lower == "right" || d.lower == "end")
                    a.m_style.textAlign = TextAlignment::Right;
                else if (d.lower == "center" || d.lower == "-webkit-center" || d.lower == "-moz-center")
                    a.m_style.textAlign = TextAlignment::Center;
                else if (d.lower == "justify")
                    a.m_style.textAlign = TextAlignment::Justified;
                else if (d.lower == "start")
                    a.m_style.textAlign = TextAlignment::Natural;
            },
            [](const ComputedStyle& p, ComputedStyle& s) { s.textAlign = p.textAlign; } },
        { "direction",
            [](DeclarationApplier& a, const Declared& d) {
                if (d.lower == "rtl")
                    a.m_style.direction = kit::WritingDirection::RightToLeft;
                else if (d.lower == "ltr")
                    a.m_style.direction = kit::WritingDirection::LeftToRight;
            } },
        { "margin", [](DeclarationApplier& a, const Declared& d) { a.applyBoxSides(a.m_style.margin, d.value, true); } },
        { "padding", [](DeclarationApplier& a, const Declared& d) { a.applyBoxSides(a.m_style.padding, d.value, false); } },
        { "margin-top", boxSide, nullptr, Top },
        { "margin-right", boxSide, nullptr, Right },
        { "margin-bottom", boxSide, nullptr, Bottom },
        { "margin-left", boxSide, nullptr, Left },
        { "padding-top", boxSide, nullptr, Top },
        { "padding-right", boxSide, nullptr, Right },
        { "padding-bottom", boxSide, nullptr, Bottom },
        { "padding-left", boxSide, nullptr, Left },
        { "text-indent",
            [](DeclarationApplier& a, const Declared& d) {
                if (auto points = a.length(d.value))
                    a.m_style.textIndent = *points;
            } },
        { "line-height",
            [](DeclarationApplier& a, const Declared& d) {
                ComputedStyle& style = a.m_style;
                const std::string& lower = d.lower;
                if (lower == "normal") {
                    style.lineHeightRule = kit::LineSpacingRule::Multiple;
                    style.lineHeight = 1;
                } else if (!lower.empty() && lower.back() == '%') {
                    if (auto percent = parseLength(lower, 1, 100); percent && *percent > 0) {
                        style.lineHeightRule = kit::LineSpacingRule::Multiple;
                        style.lineHeight = std::clamp(*percent / 100, 0.5f, 10.0f);
                    }
                } else if (auto multiple = parseLength(lower, 1, 1, true); multiple && lower.find_first_not_of("0123456789.") == std::string::npos) {
                    // A bare number: parseLength took it as pixels; undo that.
                    style.lineHeightRule = kit::LineSpacingRule::Multiple;
                    style.lineHeight = std::clamp(*multiple / kPointsPerPixel, 0.5f, 10.0f);
                } else if (auto points = a.length(d.value); points && *points > 0) {
                    style.lineHeightRule = kit::LineSpacingRule::Exact;
                    style.lineHeight = std::min(*points, 1000.0f);
                }
            },
            [](const ComputedStyle& p, ComputedStyle& s) {
                s.lineHeightRule = p.lineHeightRule;
                s.lineHeight = p.lineHeight;
            } },
        { "page-break-before", pageBreak },
        { "break-before", pageBreak },
        { "page-break-after", pageBreak },
        { "break-after", pageBreak },
        { "display",
            [](DeclarationApplier& a, const Declared& d) {
                if (d.lower == "none")
                    a.m_style.display = Display::None;
                else if (d.lower == "block" || d.lower == "flex" || d.lower == "grid" || d.lower == "flow-root")
                    a.m_style.display = Display::Block;
                else if (d.lower == "list-item")
                    a.m_style.display = Display::ListItem;
                else if (d.lower == "inline" || d.lower == "inline-block" || d.lower == "contents" || d.lower == "inline-flex")
                    a.m_style.display = Display::Inline;
            } },
        { "white-space",
            [](DeclarationApplier& a, const Declared& d) {
                if (d.lower == "normal")
                    a.m_style.whiteSpace = WhiteSpace::Normal;
                else if (d.lower == "nowrap")
                    a.m_style.whiteSpace = WhiteSpace::NoWrap;
                else if (d.lower == "pre")
                    a.m_style.whiteSpace = WhiteSpace::Pre;
                else if (d.lower == "pre-wrap" || d.lower == "break-spaces")
                    a.m_style.whiteSpace = WhiteSpace::PreWrap;
                else if (d.lower == "pre-line")
                    a.m_style.whiteSpace = WhiteSpace::PreLine;
            },
            [](const ComputedStyle& p, ComputedStyle& s) { s.whiteSpace = p.whiteSpace; } },
        { "list-style-type", listStyle },
        { "list-style", listStyle },
        { "vertical-align",
            [](DeclarationApplier& a, const Declared& d) {
                if (d.lower == "super")
                    a.m_style.verticalAlign = 1;
                else if (d.lower == "sub")
                    a.m_style.verticalAlign = -1;
                else if (d.lower == "baseline")
                    a.m_style.verticalAlign = 0;
            } },
        { "width", size },
        { "height", size },
        { "border", [](DeclarationApplier& a, const Declared& d) { a.applyBorder(d.value, { Top, Right, Bottom, Left }); } },
        { "border-top", borderSide, nullptr, Top },
        { "border-right", borderSide, nullptr, Right },
        { "border-bottom", borderSide, nullptr, Bottom },
        { "border-left", borderSide, nullptr, Left },
        { "border-style", borderSides },
        { "border-width", borderSides },
        { "border-color", borderSides },
        { "border-top-style", borderPart, nullptr, Top },
        { "border-top-width", borderPart, nullptr, Top },
        { "border-top-color", borderPart, nullptr, Top },
        { "border-right-style", borderPart, nullptr, Right },
        { "border-right-width", borderPart, nullptr, Right },
        { "border-right-color", borderPart, nullptr, Right },
        { "border-bottom-style", borderPart, nullptr, Bottom },
        { "border-bottom-width", borderPart, nullptr, Bottom },
        { "border-bottom-color", borderPart, nullptr, Bottom },
        { "border-left-style", borderPart, nullptr, Left },
        { "border-left-width", borderPart, nullptr, Left },
        { "border-left-color", borderPart, nullptr, Left },
    };
    static const std::unordered_map<std::string_view, const Property*> kByName = [] {
        std::unordered_map<std::string_view, const Property*> byName;
        for (const auto& row : kProperties)
            byName.emplace(row.name, &row);
        return byName;
    }();

    auto found = kByName.find(declaration.property);
    if (found == kByName.end())
        return; // a property we do not read
    const Property& row = *found->second;
    std::string lower = asciiLower(declaration.value);
    if (row.inherit && lower == "inherit") {
        row.inherit(m_parent, m_style);
        return;
    }
    row.apply(*this, { row.name, declaration.value, lower, row.side });
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
