#include "import/html/StyleSheet.h"

#include "import/html/CssValues.h"
#include "import/html/HtmlDom.h"

#include <algorithm>
#include <optional>

namespace importer::html {

namespace {

// Caps that keep a hostile style sheet from costing more than a real one ever does.
constexpr std::size_t kMaxRules = 20000;
constexpr std::size_t kMaxCompounds = 16;
constexpr int kMaxMediaNesting = 8;
constexpr int kMatchBudget = 4096;
constexpr std::size_t kMaxClassesPerElement = 64;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isIdentCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
        || static_cast<unsigned char>(c) >= 0x80;
}

// Comments become a space; strings are kept whole so that "/*" inside quotes is not a comment.
std::string withoutComments(std::string_view css)
{
    std::string out;
    out.reserve(css.size());
    std::size_t i = 0;
    while (i < css.size()) {
        char c = css[i];
        if (c == '"' || c == '\'') {
            std::size_t close = css.find(c, i + 1);
            std::size_t end = close == std::string_view::npos ? css.size() : close + 1;
            out.append(css.substr(i, end - i));
            i = end;
            continue;
        }
        if (c == '/' && i + 1 < css.size() && css[i + 1] == '*') {
            std::size_t close = css.find("*/", i + 2);
            i = close == std::string_view::npos ? css.size() : close + 2;
            out += ' ';
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

// The position of the first of the characters at nesting depth 0, skipping strings; npos when none.
std::size_t findTopLevel(std::string_view text, std::size_t from, std::string_view characters)
{
    int depth = 0;
    for (std::size_t i = from; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"' || c == '\'') {
            std::size_t close = text.find(c, i + 1);
            if (close == std::string_view::npos)
                return std::string_view::npos;
            i = close;
            continue;
        }
        if (depth == 0 && characters.find(c) != std::string_view::npos)
            return i;
        if (c == '(' || c == '[')
            ++depth;
        else if ((c == ')' || c == ']') && depth > 0)
            --depth;
    }
    return std::string_view::npos;
}

// The position of the brace closing the one at open, or the end of the text when it is never closed.
std::size_t matchingBrace(std::string_view text, std::size_t open)
{
    int depth = 0;
    for (std::size_t i = open; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"' || c == '\'') {
            std::size_t close = text.find(c, i + 1);
            if (close == std::string_view::npos)
                return text.size();
            i = close;
            continue;
        }
        if (c == '{')
            ++depth;
        else if (c == '}' && --depth == 0)
            return i;
    }
    return text.size();
}

// A printed page is what the document becomes here: print and all media apply, screen and features do not.
bool mediaApplies(std::string_view prelude)
{
    std::string list = asciiLower(trimmed(prelude));
    if (list.empty())
        return true;
    std::size_t i = 0;
    while (i <= list.size()) {
        std::size_t comma = list.find(',', i);
        if (comma == std::string::npos)
            comma = list.size();
        std::string_view query = trimmed(std::string_view(list).substr(i, comma - i));
        if (query.rfind("only ", 0) == 0)
            query = trimmed(query.substr(5));
        std::size_t wordEnd = 0;
        while (wordEnd < query.size() && isIdentCharacter(query[wordEnd]))
            ++wordEnd;
        std::string_view type = query.substr(0, wordEnd);
        std::string_view rest = trimmed(query.substr(wordEnd));
        if ((type == "all" || type == "print") && rest.empty())
            return true;
        i = comma + 1;
    }
    return false;
}

std::optional<std::string> readIdentifier(std::string_view text, std::size_t& i)
{
    std::size_t start = i;
    while (i < text.size() && isIdentCharacter(text[i]))
        ++i;
    if (i == start)
        return std::nullopt;
    return asciiLower(text.substr(start, i - start));
}

std::optional<CssSelector> parseSelector(std::string_view text)
{
    CssSelector selector;
    int ids = 0, classes = 0, types = 0;
    std::size_t i = 0;
    char combinator = 0;
    while (i < text.size()) {
        if (isSpace(text[i])) {
            if (!selector.compounds.empty() && !combinator)
                combinator = ' ';
            ++i;
            continue;
        }
        if (text[i] == '>') {
            if (selector.compounds.empty())
                return std::nullopt;
            combinator = '>';
            ++i;
            continue;
        }
        CssCompound compound;
        bool any = false;
        if (text[i] == '*') {
            any = true;
            ++i;
        } else if (isIdentCharacter(text[i])) {
            compound.tag = *readIdentifier(text, i);
            any = true;
            ++types;
        }
        while (i < text.size()) {
            char c = text[i];
            if (c == '.' || c == '#') {
                ++i;
                auto name = readIdentifier(text, i);
                if (!name)
                    return std::nullopt;
                if (c == '.') {
                    compound.classes.push_back(*name);
                    ++classes;
                } else {
                    compound.id = *name;
                    ++ids;
                }
                any = true;
                continue;
            }
            if (c == ':') {
                ++i;
                auto name = readIdentifier(text, i);
                if (!name || *name != "link")
                    return std::nullopt;
                compound.link = true;
                ++classes;
                any = true;
                continue;
            }
            break;
        }
        if (!any)
            return std::nullopt; // '+', '~', '[', '\\' and anything else we do not read
        if (!selector.compounds.empty()) {
            if (!combinator)
                return std::nullopt;
            selector.combinators.push_back(combinator);
        }
        combinator = 0;
        selector.compounds.push_back(std::move(compound));
        if (selector.compounds.size() > kMaxCompounds)
            return std::nullopt;
    }
    if (selector.compounds.empty() || combinator == '>')
        return std::nullopt;
    selector.specificity = std::min(ids, 99) * 10000 + std::min(classes, 99) * 100 + std::min(types, 99);
    return selector;
}

bool compoundMatches(const CssCompound& compound, const ElementKey& key)
{
    if (!compound.tag.empty() && compound.tag != key.tag)
        return false;
    if (!compound.id.empty() && compound.id != key.id)
        return false;
    if (compound.link && !key.hasHref)
        return false;
    for (const auto& name : compound.classes) {
        if (std::find(key.classes.begin(), key.classes.end(), name) == key.classes.end())
            return false;
    }
    return true;
}

bool matchFrom(const CssSelector& selector, std::size_t k, const xmlNode* element, ElementKeyCache& keys, int& budget)
{
    if (--budget < 0 || !keys.takeMatchStep() || !compoundMatches(selector.compounds[k], keys.keyFor(element)))
        return false;
    if (k == 0)
        return true;
    if (selector.combinators[k - 1] == '>') {
        const xmlNode* parent = parentElement(element);
        return parent && matchFrom(selector, k - 1, parent, keys, budget);
    }
    for (const xmlNode* ancestor = parentElement(element); ancestor; ancestor = parentElement(ancestor)) {
        if (matchFrom(selector, k - 1, ancestor, keys, budget))
            return true;
        if (budget < 0 || !keys.hasMatchStepsLeft())
            return false;
    }
    return false;
}

} // namespace

const ElementKey& ElementKeyCache::keyFor(const xmlNode* element)
{
    auto found = m_keys.find(element);
    if (found != m_keys.end())
        return found->second;
    ElementKey key;
    key.tag = elementName(element);
    if (auto id = attribute(element, "id"))
        key.id = asciiLower(trimmed(*id));
    if (auto classes = attribute(element, "class")) {
        for (auto token : valueTokens(*classes)) {
            // Real elements have a few classes; a crafted one with thousands would make every match slow.
            if (key.classes.size() >= kMaxClassesPerElement)
                break;
            std::string name = asciiLower(token);
            if (std::find(key.classes.begin(), key.classes.end(), name) == key.classes.end())
                key.classes.push_back(std::move(name));
        }
    }
    key.hasHref = key.tag == "a" && hasAttribute(element, "href");
    return m_keys.emplace(element, std::move(key)).first->second;
}

std::vector<CssDeclaration> parseDeclarations(std::string_view block)
{
    std::vector<CssDeclaration> declarations;
    std::size_t i = 0;
    while (i < block.size()) {
        std::size_t end = findTopLevel(block, i, ";");
        if (end == std::string_view::npos)
            end = block.size();
        std::string_view part = block.substr(i, end - i);
        i = end + 1;
        std::size_t colon = part.find(':');
        if (colon == std::string_view::npos)
            continue;
        CssDeclaration declaration;
        declaration.property = asciiLower(trimmed(part.substr(0, colon)));
        std::string_view value = trimmed(part.substr(colon + 1));
        std::size_t bang = value.rfind('!');
        if (bang != std::string_view::npos && asciiLower(trimmed(value.substr(bang + 1))) == "important") {
            declaration.important = true;
            value = trimmed(value.substr(0, bang));
        }
        declaration.value = value;
        if (declaration.property.empty() || declaration.value.empty())
            continue;
        declarations.push_back(std::move(declaration));
    }
    return declarations;
}

void StyleSheet::addCss(std::string_view source)
{
    if (m_depth > kMaxMediaNesting)
        return;
    std::string css = withoutComments(source);
    std::string_view text(css);
    std::size_t i = 0;
    while (i < text.size() && m_rules.size() < kMaxRules) {
        if (isSpace(text[i]) || text[i] == '}' || text[i] == ';') {
            ++i;
            continue;
        }
        if (text.compare(i, 4, "<!--") == 0) {
            i += 4;
            continue;
        }
        if (text.compare(i, 3, "-->") == 0) {
            i += 3;
            continue;
        }
        if (text[i] == '@') {
            std::size_t nameStart = ++i;
            while (i < text.size() && isIdentCharacter(text[i]))
                ++i;
            std::string keyword = asciiLower(text.substr(nameStart, i - nameStart));
            std::size_t stop = findTopLevel(text, i, "{;");
            if (stop == std::string_view::npos)
                break;
            if (text[stop] == ';') {
                i = stop + 1;
                continue;
            }
            std::size_t close = matchingBrace(text, stop);
            if (keyword == "media" && mediaApplies(text.substr(i, stop - i))) {
                ++m_depth;
                addCss(text.substr(stop + 1, close - stop - 1));
                --m_depth;
            }
            i = close + 1;
            continue;
        }
        std::size_t open = findTopLevel(text, i, "{");
        if (open == std::string_view::npos)
            break;
        std::size_t close = matchingBrace(text, open);
        addRule(text.substr(i, open - i), text.substr(open + 1, close - open - 1));
        i = close + 1;
    }
}

void StyleSheet::addRule(std::string_view selectors, std::string_view block)
{
    auto declarations = std::make_shared<const std::vector<CssDeclaration>>(parseDeclarations(block));
    if (declarations->empty())
        return;
    unsigned order = m_nextOrder++;
    std::size_t i = 0;
    while (i <= selectors.size() && m_rules.size() < kMaxRules) {
        std::size_t comma = findTopLevel(selectors, i, ",");
        if (comma == std::string_view::npos)
            comma = selectors.size();
        if (auto selector = parseSelector(trimmed(selectors.substr(i, comma - i)))) {
            m_rules.push_back({ std::move(*selector), declarations, order });
            index(m_rules.size() - 1);
        }
        i = comma + 1;
    }
}

void StyleSheet::index(std::size_t rule)
{
    const CssCompound& subject = m_rules[rule].selector.compounds.back();
    if (!subject.id.empty())
        m_byId[subject.id].push_back(rule);
    else if (!subject.classes.empty())
        m_byClass[subject.classes.front()].push_back(rule);
    else if (!subject.tag.empty())
        m_byTag[subject.tag].push_back(rule);
    else
        m_universal.push_back(rule);
}

std::vector<const CssRule*> StyleSheet::matchingRules(const xmlNode* element, ElementKeyCache& keys) const
{
    std::vector<std::size_t> candidates;
    const ElementKey& key = keys.keyFor(element);
    auto gather = [&](const std::unordered_map<std::string, std::vector<std::size_t>>& map, const std::string& name) {
        auto found = map.find(name);
        if (found != map.end())
            candidates.insert(candidates.end(), found->second.begin(), found->second.end());
    };
    if (!key.id.empty())
        gather(m_byId, key.id);
    for (const auto& name : key.classes)
        gather(m_byClass, name);
    gather(m_byTag, std::string(key.tag));
    candidates.insert(candidates.end(), m_universal.begin(), m_universal.end());

    std::vector<const CssRule*> matched;
    for (std::size_t index : candidates) {
        const CssRule& rule = m_rules[index];
        int budget = kMatchBudget;
        if (matchFrom(rule.selector, rule.selector.compounds.size() - 1, element, keys, budget))
            matched.push_back(&rule);
    }
    std::stable_sort(matched.begin(), matched.end(), [](const CssRule* a, const CssRule* b) {
        if (a->selector.specificity != b->selector.specificity)
            return a->selector.specificity < b->selector.specificity;
        return a->order < b->order;
    });
    return matched;
}

bool selectorMatches(const CssSelector& selector, const xmlNode* element, ElementKeyCache& keys)
{
    int budget = kMatchBudget;
    return !selector.compounds.empty() && matchFrom(selector, selector.compounds.size() - 1, element, keys, budget);
}

} // namespace importer::html
