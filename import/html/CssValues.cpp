#include "import/html/CssValues.h"

#include "kit/foundation/Ascii.h"

#include "kit/foundation/Hex.h"
#include "kit/geometry/Hsl.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace importer::html {

namespace {

struct NamedColor {
    const char* name;
    std::uint32_t rgb;
};

// The CSS colour keywords (sorted for binary search).
constexpr NamedColor kNamedColors[] = {
    { "aliceblue", 0xF0F8FF },
    { "antiquewhite", 0xFAEBD7 },
    { "aqua", 0x00FFFF },
    { "aquamarine", 0x7FFFD4 },
    { "azure", 0xF0FFFF },
    { "beige", 0xF5F5DC },
    { "bisque", 0xFFE4C4 },
    { "black", 0x000000 },
    { "blanchedalmond", 0xFFEBCD },
    { "blue", 0x0000FF },
    { "blueviolet", 0x8A2BE2 },
    { "brown", 0xA52A2A },
    { "burlywood", 0xDEB887 },
    { "cadetblue", 0x5F9EA0 },
    { "chartreuse", 0x7FFF00 },
    { "chocolate", 0xD2691E },
    { "coral", 0xFF7F50 },
    { "cornflowerblue", 0x6495ED },
    { "cornsilk", 0xFFF8DC },
    { "crimson", 0xDC143C },
    { "cyan", 0x00FFFF },
    { "darkblue", 0x00008B },
    { "darkcyan", 0x008B8B },
    { "darkgoldenrod", 0xB8860B },
    { "darkgray", 0xA9A9A9 },
    { "darkgreen", 0x006400 },
    { "darkgrey", 0xA9A9A9 },
    { "darkkhaki", 0xBDB76B },
    { "darkmagenta", 0x8B008B },
    { "darkolivegreen", 0x556B2F },
    { "darkorange", 0xFF8C00 },
    { "darkorchid", 0x9932CC },
    { "darkred", 0x8B0000 },
    { "darksalmon", 0xE9967A },
    { "darkseagreen", 0x8FBC8F },
    { "darkslateblue", 0x483D8B },
    { "darkslategray", 0x2F4F4F },
    { "darkslategrey", 0x2F4F4F },
    { "darkturquoise", 0x00CED1 },
    { "darkviolet", 0x9400D3 },
    { "deeppink", 0xFF1493 },
    { "deepskyblue", 0x00BFFF },
    { "dimgray", 0x696969 },
    { "dimgrey", 0x696969 },
    { "dodgerblue", 0x1E90FF },
    { "firebrick", 0xB22222 },
    { "floralwhite", 0xFFFAF0 },
    { "forestgreen", 0x228B22 },
    { "fuchsia", 0xFF00FF },
    { "gainsboro", 0xDCDCDC },
    { "ghostwhite", 0xF8F8FF },
    { "gold", 0xFFD700 },
    { "goldenrod", 0xDAA520 },
    { "gray", 0x808080 },
    { "green", 0x008000 },
    { "greenyellow", 0xADFF2F },
    { "grey", 0x808080 },
    { "honeydew", 0xF0FFF0 },
    { "hotpink", 0xFF69B4 },
    { "indianred", 0xCD5C5C },
    { "indigo", 0x4B0082 },
    { "ivory", 0xFFFFF0 },
    { "khaki", 0xF0E68C },
    { "lavender", 0xE6E6FA },
    { "lavenderblush", 0xFFF0F5 },
    { "lawngreen", 0x7CFC00 },
    { "lemonchiffon", 0xFFFACD },
    { "lightblue", 0xADD8E6 },
    { "lightcoral", 0xF08080 },
    { "lightcyan", 0xE0FFFF },
    { "lightgoldenrodyellow", 0xFAFAD2 },
    { "lightgray", 0xD3D3D3 },
    { "lightgreen", 0x90EE90 },
    { "lightgrey", 0xD3D3D3 },
    { "lightpink", 0xFFB6C1 },
    { "lightsalmon", 0xFFA07A },
    { "lightseagreen", 0x20B2AA },
    { "lightskyblue", 0x87CEFA },
    { "lightslategray", 0x778899 },
    { "lightslategrey", 0x778899 },
    { "lightsteelblue", 0xB0C4DE },
    { "lightyellow", 0xFFFFE0 },
    { "lime", 0x00FF00 },
    { "limegreen", 0x32CD32 },
    { "linen", 0xFAF0E6 },
    { "magenta", 0xFF00FF },
    { "maroon", 0x800000 },
    { "mediumaquamarine", 0x66CDAA },
    { "mediumblue", 0x0000CD },
    { "mediumorchid", 0xBA55D3 },
    { "mediumpurple", 0x9370DB },
    { "mediumseagreen", 0x3CB371 },
    { "mediumslateblue", 0x7B68EE },
    { "mediumspringgreen", 0x00FA9A },
    { "mediumturquoise", 0x48D1CC },
    { "mediumvioletred", 0xC71585 },
    { "midnightblue", 0x191970 },
    { "mintcream", 0xF5FFFA },
    { "mistyrose", 0xFFE4E1 },
    { "moccasin", 0xFFE4B5 },
    { "navajowhite", 0xFFDEAD },
    { "navy", 0x000080 },
    { "oldlace", 0xFDF5E6 },
    { "olive", 0x808000 },
    { "olivedrab", 0x6B8E23 },
    { "orange", 0xFFA500 },
    { "orangered", 0xFF4500 },
    { "orchid", 0xDA70D6 },
    { "palegoldenrod", 0xEEE8AA },
    { "palegreen", 0x98FB98 },
    { "paleturquoise", 0xAFEEEE },
    { "palevioletred", 0xDB7093 },
    { "papayawhip", 0xFFEFD5 },
    { "peachpuff", 0xFFDAB9 },
    { "peru", 0xCD853F },
    { "pink", 0xFFC0CB },
    { "plum", 0xDDA0DD },
    { "powderblue", 0xB0E0E6 },
    { "purple", 0x800080 },
    { "rebeccapurple", 0x663399 },
    { "red", 0xFF0000 },
    { "rosybrown", 0xBC8F8F },
    { "royalblue", 0x4169E1 },
    { "saddlebrown", 0x8B4513 },
    { "salmon", 0xFA8072 },
    { "sandybrown", 0xF4A460 },
    { "seagreen", 0x2E8B57 },
    { "seashell", 0xFFF5EE },
    { "sienna", 0xA0522D },
    { "silver", 0xC0C0C0 },
    { "skyblue", 0x87CEEB },
    { "slateblue", 0x6A5ACD },
    { "slategray", 0x708090 },
    { "slategrey", 0x708090 },
    { "snow", 0xFFFAFA },
    { "springgreen", 0x00FF7F },
    { "steelblue", 0x4682B4 },
    { "tan", 0xD2B48C },
    { "teal", 0x008080 },
    { "thistle", 0xD8BFD8 },
    { "tomato", 0xFF6347 },
    { "turquoise", 0x40E0D0 },
    { "violet", 0xEE82EE },
    { "wheat", 0xF5DEB3 },
    { "white", 0xFFFFFF },
    { "whitesmoke", 0xF5F5F5 },
    { "yellow", 0xFFFF00 },
    { "yellowgreen", 0x9ACD32 },
};

// The system colours Word writes into its style sheets ("windowtext", "window").
constexpr NamedColor kSystemColors[] = {
    { "buttonface", 0xF0F0F0 },
    { "buttontext", 0x000000 },
    { "canvas", 0xFFFFFF },
    { "canvastext", 0x000000 },
    { "graytext", 0x6D6D6D },
    { "highlight", 0x3399FF },
    { "highlighttext", 0xFFFFFF },
    { "window", 0xFFFFFF },
    { "windowtext", 0x000000 },
};

kit::Color fromRgb(std::uint32_t rgb, float alpha = 1)
{
    return kit::Color::calibratedRGB(
        float((rgb >> 16) & 0xFF) / 255, float((rgb >> 8) & 0xFF) / 255, float(rgb & 0xFF) / 255, alpha);
}

std::optional<kit::Color> hexColor(std::string_view hex)
{
    if (!std::all_of(hex.begin(), hex.end(), [](char c) { return kit::hexValue(c) >= 0; }))
        return std::nullopt;
    auto nibble = [&](std::size_t i) { return kit::hexValue(hex[i]); };
    auto pair = [&](std::size_t i) { return nibble(i) * 16 + nibble(i + 1); };
    switch (hex.size()) {
    case 3:
    case 4: {
        std::uint32_t rgb = std::uint32_t(nibble(0) * 17) << 16 | std::uint32_t(nibble(1) * 17) << 8 | nibble(2) * 17;
        return fromRgb(rgb, hex.size() == 4 ? float(nibble(3) * 17) / 255 : 1);
    }
    case 6:
    case 8: {
        std::uint32_t rgb = std::uint32_t(pair(0)) << 16 | std::uint32_t(pair(2)) << 8 | pair(4);
        return fromRgb(rgb, hex.size() == 8 ? float(pair(6)) / 255 : 1);
    }
    default:
        return std::nullopt;
    }
}

// HTML's legacy colour parsing for attributes: non-hex digits become zero, the digits are split in three
// and each part is cut to two digits.
std::optional<kit::Color> legacyColor(std::string_view value)
{
    if (value.empty() || value.size() > 128)
        return std::nullopt;
    std::string digits;
    for (char c : value)
        digits += kit::hexValue(c) >= 0 ? c : '0';
    while (digits.size() % 3)
        digits += '0';
    std::size_t part = digits.size() / 3;
    auto component = [&](std::size_t index) {
        std::string_view p = std::string_view(digits).substr(index * part, part);
        if (p.size() > 8)
            p = p.substr(p.size() - 8);
        while (p.size() > 2 && p.front() == '0')
            p.remove_prefix(1);
        if (p.size() > 2)
            p = p.substr(0, 2);
        int v = 0;
        for (char c : p)
            v = v * 16 + kit::hexValue(c);
        return v;
    };
    return fromRgb(std::uint32_t(component(0)) << 16 | std::uint32_t(component(1)) << 8 | component(2));
}

std::optional<float> parseNumber(std::string_view text, std::string_view* unit)
{
    std::string copy(text);
    const char* begin = copy.c_str();
    char* end = nullptr;
    float value = std::strtof(begin, &end);
    if (end == begin || !std::isfinite(value))
        return std::nullopt;
    // strtof would read hexadecimal and "inf"; CSS numbers are plain decimals.
    for (const char* p = begin; p < end; ++p) {
        if (!((*p >= '0' && *p <= '9') || *p == '.' || *p == '-' || *p == '+' || *p == 'e' || *p == 'E'))
            return std::nullopt;
    }
    *unit = text.substr(std::size_t(end - begin));
    return value;
}

// The arguments of a functional notation such as rgb(1 2 3 / 50%) or rgb(1, 2, 3).
std::vector<std::string_view> functionArguments(std::string_view inside)
{
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i < inside.size()) {
        while (i < inside.size() && (inside[i] == ' ' || inside[i] == ',' || inside[i] == '/' || inside[i] == '\t'))
            ++i;
        std::size_t start = i;
        while (i < inside.size() && !(inside[i] == ' ' || inside[i] == ',' || inside[i] == '/' || inside[i] == '\t'))
            ++i;
        if (i > start)
            parts.push_back(inside.substr(start, i - start));
    }
    return parts;
}

float clamp01(float v) { return std::clamp(v, 0.0f, 1.0f); }

std::optional<float> channel(std::string_view text, float scale)
{
    std::string_view unit;
    auto v = parseNumber(text, &unit);
    if (!v)
        return std::nullopt;
    if (unit == "%")
        return clamp01(*v / 100);
    if (!unit.empty())
        return std::nullopt;
    return clamp01(*v / scale);
}

std::optional<kit::Color> functionalColor(std::string_view name, std::string_view inside)
{
    auto args = functionArguments(inside);
    if (args.size() < 3 || args.size() > 4)
        return std::nullopt;
    float alpha = 1;
    if (args.size() == 4) {
        auto a = channel(args[3], 1);
        if (!a)
            return std::nullopt;
        alpha = *a;
    }
    if (name == "rgb" || name == "rgba") {
        auto r = channel(args[0], 255), g = channel(args[1], 255), b = channel(args[2], 255);
        if (!r || !g || !b)
            return std::nullopt;
        return kit::Color::calibratedRGB(*r, *g, *b, alpha);
    }
    if (name == "hsl" || name == "hsla") {
        std::string_view unit;
        auto hue = parseNumber(args[0], &unit);
        auto s = channel(args[1], 100), l = channel(args[2], 100);
        if (!hue || !s || !l)
            return std::nullopt;
        float h = std::fmod(*hue / 360, 1.0f);
        if (h < 0)
            h += 1;
        return kit::colorFromHsl({ h, *s, *l }, alpha);
    }
    return std::nullopt;
}

bool isGeneric(std::string_view name)
{
    return name == "serif" || name == "sans-serif" || name == "monospace" || name == "cursive" || name == "fantasy"
        || name == "system-ui" || name == "ui-serif" || name == "ui-sans-serif" || name == "ui-monospace";
}

std::string genericFamily(std::string_view name)
{
    if (name == "sans-serif" || name == "system-ui" || name == "ui-sans-serif")
        return "Arial";
    if (name == "monospace" || name == "ui-monospace")
        return "Courier New";
    return "Times New Roman";
}

// Families the layout draws with their own metrics or a metric-compatible twin, lower case.
constexpr std::array kFaithfulFamilies {
    "times new roman",
    "times",
    "arial",
    "helvetica",
    "courier new",
    "courier",
    "calibri",
    "cambria",
    "liberation serif",
    "liberation sans",
    "liberation mono",
    "liberation sans narrow",
    "arial narrow",
    "carlito",
    "caladea",
    "dejavu serif",
    "dejavu sans",
    "dejavu sans mono",
    "nimbus roman",
    "nimbus sans",
    "nimbus mono ps",
    "symbol",
    "wenquanyi micro hei",
    "wenquanyi micro hei mono",
};

} // namespace

std::string asciiLower(std::string_view text)
{
    return kit::asciiLower(text);
}

std::string_view trimmed(std::string_view text)
{
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> valueTokens(std::string_view value)
{
    std::vector<std::string_view> tokens;
    std::size_t i = 0;
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
    while (i < value.size()) {
        if (space(value[i])) {
            ++i;
            continue;
        }
        if (value[i] == ',') {
            tokens.push_back(value.substr(i, 1));
            ++i;
            continue;
        }
        std::size_t start = i;
        int depth = 0;
        while (i < value.size()) {
            char c = value[i];
            if (c == '"' || c == '\'') {
                std::size_t close = value.find(c, i + 1);
                i = close == std::string_view::npos ? value.size() : close + 1;
                continue;
            }
            if (c == '(')
                ++depth;
            else if (c == ')' && depth > 0)
                --depth;
            else if (depth == 0 && (space(c) || c == ','))
                break;
            ++i;
        }
        tokens.push_back(value.substr(start, i - start));
    }
    return tokens;
}

std::optional<kit::Color> parseColor(std::string_view value, bool legacyAttribute)
{
    value = trimmed(value);
    if (value.empty())
        return std::nullopt;
    std::string lower = asciiLower(value);
    if (lower == "transparent")
        return std::nullopt;
    if (lower[0] == '#') {
        if (auto color = hexColor(std::string_view(lower).substr(1)))
            return color;
        return legacyAttribute ? legacyColor(std::string_view(lower).substr(1)) : std::nullopt;
    }
    auto named = std::lower_bound(std::begin(kNamedColors), std::end(kNamedColors), lower,
        [](const NamedColor& entry, const std::string& key) { return key.compare(entry.name) > 0; });
    if (named != std::end(kNamedColors) && lower == named->name)
        return fromRgb(named->rgb);
    for (const auto& entry : kSystemColors) {
        if (lower == entry.name)
            return fromRgb(entry.rgb);
    }
    std::size_t paren = lower.find('(');
    if (paren != std::string::npos && lower.back() == ')')
        return functionalColor(std::string_view(lower).substr(0, paren),
            std::string_view(lower).substr(paren + 1, lower.size() - paren - 2));
    if (legacyAttribute)
        return legacyColor(lower);
    return std::nullopt;
}

std::optional<float> parseLength(std::string_view value, float fontSize, float percentBase, bool unitlessPixels)
{
    value = trimmed(value);
    std::string_view unit;
    auto number = parseNumber(value, &unit);
    if (!number)
        return std::nullopt;
    std::string u = asciiLower(unit);
    float v = *number;
    float points;
    if (u.empty()) {
        if (v != 0 && !unitlessPixels)
            return std::nullopt;
        points = v * kPointsPerPixel;
    } else if (u == "px") {
        points = v * kPointsPerPixel;
    } else if (u == "pt") {
        points = v;
    } else if (u == "pc") {
        points = v * 12;
    } else if (u == "in") {
        points = v * 72;
    } else if (u == "cm") {
        points = v * 72 / 2.54f;
    } else if (u == "mm") {
        points = v * 72 / 25.4f;
    } else if (u == "q") {
        points = v * 72 / 101.6f;
    } else if (u == "em") {
        points = v * fontSize;
    } else if (u == "ex" || u == "ch") {
        points = v * fontSize / 2;
    } else if (u == "rem") {
        points = v * kMediumFontSize;
    } else if (u == "%") {
        points = v * percentBase / 100;
    } else {
        return std::nullopt;
    }
    // Nothing on a page is wider than a few metres; a bigger number is an attack on the arithmetic.
    if (!std::isfinite(points))
        return std::nullopt;
    return std::clamp(points, -10000.0f, 10000.0f);
}

std::optional<float> parseFontSize(std::string_view value, float parentSize)
{
    static constexpr struct {
        const char* keyword;
        float pixels;
    } keywords[] = {
        { "xx-small", 9 },
        { "x-small", 10 },
        { "small", 13 },
        { "medium", 16 },
        { "large", 18 },
        { "x-large", 24 },
        { "xx-large", 32 },
        { "xxx-large", 48 },
    };
    std::string lower = asciiLower(trimmed(value));
    for (const auto& k : keywords) {
        if (lower == k.keyword)
            return k.pixels * kPointsPerPixel;
    }
    if (lower == "larger")
        return parentSize * 1.2f;
    if (lower == "smaller")
        return parentSize / 1.2f;
    auto length = parseLength(lower, parentSize, parentSize);
    if (!length || *length < 0)
        return std::nullopt;
    // A zero-sized font cannot be drawn; very large ones break every layout.
    return std::clamp(*length, 1.0f, 1638.0f);
}

std::optional<float> htmlFontSize(std::string_view value)
{
    static constexpr float pixels[] = { 10, 13, 16, 18, 24, 32, 48 };
    value = trimmed(value);
    if (value.empty())
        return std::nullopt;
    int sign = 0;
    if (value[0] == '+' || value[0] == '-') {
        sign = value[0] == '+' ? 1 : -1;
        value.remove_prefix(1);
    }
    int number = 0;
    std::size_t digits = 0;
    while (digits < value.size() && value[digits] >= '0' && value[digits] <= '9' && digits < 4)
        number = number * 10 + (value[digits++] - '0');
    if (!digits)
        return std::nullopt;
    int size = sign ? 3 + sign * number : number;
    size = std::clamp(size, 1, 7);
    return pixels[size - 1] * kPointsPerPixel;
}

std::string resolveFontFamily(std::string_view list)
{
    std::vector<std::string> families;
    std::size_t i = 0;
    while (i <= list.size()) {
        std::size_t comma = list.find(',', i);
        if (comma == std::string_view::npos)
            comma = list.size();
        std::string_view part = trimmed(list.substr(i, comma - i));
        if (part.size() >= 2 && (part.front() == '"' || part.front() == '\'') && part.back() == part.front())
            part = part.substr(1, part.size() - 2);
        part = trimmed(part);
        if (!part.empty())
            families.emplace_back(part);
        i = comma + 1;
    }
    for (const auto& family : families) {
        std::string lower = asciiLower(family);
        if (isGeneric(lower))
            return genericFamily(lower);
        if (std::find(kFaithfulFamilies.begin(), kFaithfulFamilies.end(), lower) != kFaithfulFamilies.end())
            return family;
    }
    return families.empty() ? std::string() : families.front();
}

} // namespace importer::html
