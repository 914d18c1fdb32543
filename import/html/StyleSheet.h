#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace importer::html {

struct CssDeclaration {
    std::string property; // lower case
    std::string value; // as written, trimmed, without "!important"
    bool important = false;
};

// Type, class and id selectors with :link, joined by descendant (' ') and child ('>') combinators.
// Selectors with anything else (attributes, siblings, other pseudo-classes) are not kept: they would match
// where the author did not mean them to.
struct CssCompound {
    std::string tag; // lower case; empty for any element
    std::string id; // lower case; ids and classes match regardless of case, as quirks-mode documents need
    std::vector<std::string> classes; // lower case
    bool link = false; // :link, an <a> with an href
};

struct CssSelector {
    std::vector<CssCompound> compounds; // left to right
    std::vector<char> combinators; // compounds.size() - 1 entries, ' ' or '>'
    int specificity = 0; // ids, then classes and pseudo-classes, then types, two decimal digits each
};

struct CssRule {
    CssSelector selector;
    std::shared_ptr<const std::vector<CssDeclaration>> declarations;
    unsigned order = 0; // position in the cascade: later rules win over earlier ones of equal specificity
};

// What selectors look at in an element, read from its attributes once.
struct ElementKey {
    std::string_view tag;
    std::string id;
    std::vector<std::string> classes;
    bool hasHref = false;
};

// What matching selectors against one document may use: each element's key, read once (selectors of
// descendants ask for their ancestors' keys often), and the document's budget of matching steps. Crafted
// style sheets (thousands of long descendant selectors over deeply nested elements) would otherwise ask for
// billions; once the budget is spent, no selector matches any more.
class ElementKeyCache {
public:
    // Far more than real documents use: a rule whose last compound matches an element costs a step for it
    // and one for each ancestor its selector looks at.
    static constexpr long kDocumentMatchSteps = 16L << 20;

    const ElementKey& keyFor(const xmlNode* element);
    // Takes one step of the document's budget; false once it is spent.
    bool takeMatchStep() { return m_matchSteps > 0 && --m_matchSteps >= 0; }
    bool hasMatchStepsLeft() const { return m_matchSteps > 0; }

private:
    std::unordered_map<const xmlNode*, ElementKey> m_keys;
    long m_matchSteps = kDocumentMatchSteps;
};

// The declarations of a style attribute or a rule's block.
std::vector<CssDeclaration> parseDeclarations(std::string_view block);

class StyleSheet {
public:
    // Adds the rules of a style sheet after those already there. @media blocks count for print and all;
    // other at-rules are skipped.
    void addCss(std::string_view css);
    // The rules whose selectors match, sorted by specificity then order (the last one wins).
    std::vector<const CssRule*> matchingRules(const xmlNode* element, ElementKeyCache& keys) const;
    std::size_t ruleCount() const { return m_rules.size(); }

private:
    void addRule(std::string_view selectors, std::string_view block);
    void index(std::size_t rule);

    std::vector<CssRule> m_rules;
    std::unordered_map<std::string, std::vector<std::size_t>> m_byId;
    std::unordered_map<std::string, std::vector<std::size_t>> m_byClass;
    std::unordered_map<std::string, std::vector<std::size_t>> m_byTag;
    std::vector<std::size_t> m_universal;
    unsigned m_nextOrder = 0;
    int m_depth = 0;
};

// Whether the selector matches the element, looking up its ancestors as far as combinators ask.
bool selectorMatches(const CssSelector& selector, const xmlNode* element, ElementKeyCache& keys);

} // namespace importer::html
