#pragma once

#include "import/html/ComputedStyle.h"
#include "import/html/StyleSheet.h"

#include <libxml/tree.h>

namespace importer::html {

// The cascade: the browser's own defaults, presentational attributes (align, bgcolor, <font>...), the
// document's <style> sheets and style attributes, ordered by origin, importance, specificity and position.
class StyleResolver {
public:
    // Reads every <style> element of the document, in document order.
    explicit StyleResolver(const xmlDoc* document);

    // The element's style given its parent's. percentBase is the width percentages of margins, indents and
    // widths refer to (the containing block), in points.
    ComputedStyle computeStyle(const xmlNode* element, const ComputedStyle& parent, float percentBase);

    std::size_t authorRuleCount() const { return m_author.ruleCount(); }

private:
    StyleSheet m_author;
    ElementKeyCache m_keys;
};

// Whether a link target may be kept: scripts and embedded data are never something to follow.
bool isSafeLink(std::string_view href);

} // namespace importer::html
