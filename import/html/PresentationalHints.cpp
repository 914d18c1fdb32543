#include "import/html/PresentationalHints.h"

#include "import/html/CssValues.h"
#include "import/html/HtmlDom.h"

#include <cstdio>

namespace importer::html {

namespace {

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

} // namespace

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

} // namespace importer::html
