#pragma once

#include "import/docx/DocxPackage.h"
#include "kit/text/TextStorage.h"

#include <memory>
#include <string>
#include <string_view>

namespace importer::docx {

// The text of an alternative-format chunk (w:altChunk) of a part: HTML through the HTML importer, RTF through
// the RTF reader, plain text, or an embedded .docx while chunkDepth allows; null for other formats.
std::shared_ptr<kit::TextStorage> importAltChunk(DocxPackage& package, const std::string& partName, std::string_view relationshipId,
    int chunkDepth);

// Appends another importer's text. Its tables get ids after tableCount, which grows past them; inside a cell of
// ours (enclosingCell) its paragraphs become paragraphs of that cell, its tables flattened into it.
void appendForeignText(kit::TextStorage& out, const kit::TextStorage& chunk, const std::shared_ptr<const kit::TableCell>& enclosingCell,
    int& tableCount);

} // namespace importer::docx
