#include "import/html/StyleResolver.h"

#include "import/html/CssValues.h"
#include "import/html/DeclarationApplier.h"
#include "import/html/PresentationalHints.h"
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
    style.anchor = parent.anchor;

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
                if (isBoldWeight(token) && token.find_first_not_of("0123456789") == std::string_view::npos)
                    continue; // a weight such as 700
                if (auto size = parseFontSize(token, parent.fontSize)) {
                    style.fontSize = *size;
                    break;
                }
            }
        }
    }

    DeclarationApplier applier(parent, style, percentBase);
    for (const CssDeclaration* declaration : ordered) {
        if (declaration->property != "font-size")
            applier.apply(*declaration);
    }
    applier.finish();

    // Any element's id, and an <a>'s name, is a place links of the document go to: its text carries the
    // name (the first run with it is where the bookmark is).
    if (auto id = attribute(element, "id"); id && !trimmed(*id).empty())
        style.anchor = std::string(trimmed(*id));
    else if (auto name = elementName(element) == "a" ? attribute(element, "name") : std::nullopt; name && !trimmed(*name).empty())
        style.anchor = std::string(trimmed(*name));
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

} // namespace importer::html
