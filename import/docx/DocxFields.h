#pragma once

#include "kit/text/Attributes.h"

#include <string>
#include <string_view>
#include <vector>

namespace importer::docx {

// The fields open at the reading position. A complex field (w:fldChar begin … separate … end) shows its
// cached result, never its code; fields nest, and a field inside another's code belongs to that code. A simple
// field (w:fldSimple) is a field whose code is known and whose children are its result. Fields may span
// paragraphs and table cells (a table of contents does), so the stack lives as long as the document.
class DocxFields {
public:
    void begin();
    void appendInstruction(std::string_view text);
    void separate();
    void end();
    // A w:fldSimple: its code is given and its content is the result.
    void beginSimple(std::string_view instruction);
    void clear()
    {
        m_fields.clear();
        m_hiddenCount = m_overflow = 0;
    }

    // Whether text at this position is shown: outside fields, or inside the results of every open field.
    bool isShowingResult() const { return m_hiddenCount == 0; }
    // The target of the innermost hyperlink field whose result is being read; empty when none.
    const std::string& link() const;
    // What the pagination computes of the innermost field whose result is being read (PAGE, NUMPAGES,
    // SECTIONPAGES); None for every other field and outside fields.
    kit::PageField pageField() const;

private:
    struct Field {
        bool showsResult = false;
        std::string instruction;
        std::string link;
    };
    std::vector<Field> m_fields;
    int m_hiddenCount = 0; // open fields still in their code
    int m_overflow = 0; // fields begun past the cap, whose ends must not close ours
};

} // namespace importer::docx
