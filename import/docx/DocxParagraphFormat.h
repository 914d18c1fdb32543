#pragma once

#include "import/docx/DocxNumbering.h"
#include "import/docx/DocxStyles.h"

#include <optional>

namespace importer::docx {

// Everything a paragraph's formatting resolves to: its w:pPr stacked over the numbering level, its style,
// the table style of its cell and the document defaults.
struct ParagraphFormat {
    const ResolvedStyle* style = nullptr; // never null once resolved
    ParagraphMarkup markup; // w:pStyle, w:rPr, w:sectPr, w:framePr
    ParagraphProperties properties;
    RunProperties paragraphRun; // what the paragraph's runs start from
    RunProperties markRun; // the paragraph mark's
    kit::ParagraphStyle paragraphStyle;
    std::optional<int> numberingId; // the instance the paragraph is numbered by, when it is
    int numberingLevel = 0;
    const NumberingLevel* level = nullptr; // null when the paragraph has no label
    bool markRemoved = false; // a deleted or hidden mark: the paragraph joins the next one
    bool isDropCap = false; // a framed drop capital holding the first letters of the next paragraph
};

ParagraphFormat resolveParagraphFormat(pugi::xml_node paragraph, DocxStyles& styles, const DocxNumbering& numbering,
    const ConditionalFormat* cellFormat, float defaultTabInterval);

} // namespace importer::docx
