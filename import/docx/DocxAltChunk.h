#pragma once

#include "import/docx/DocxPackage.h"
#include "kit/text/TextStorage.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace importer::docx {

// The chunk parts a document has imported, by part name; a part named by several chunks is imported once.
using AltChunkCache = std::map<std::string, std::shared_ptr<const kit::TextStorage>, std::less<>>;

// The text of an alternative-format chunk (w:altChunk) of a part: HTML through the HTML importer, RTF through
// the RTF reader, plain text, or an embedded .docx while chunkDepth allows; null for other formats. The
// import counts against the budget of the document's own.
std::shared_ptr<const kit::TextStorage> importAltChunk(DocxPackage& package, const std::string& partName,
    std::string_view relationshipId, int chunkDepth, AltChunkCache& cache);

// Appends another importer's text. Its tables get ids after tableCount, which grows past them; inside a cell of
// ours (enclosingCell) its paragraphs become paragraphs of that cell, its tables flattened into it.
void appendForeignText(kit::TextStorage& out, const kit::TextStorage& chunk, const std::shared_ptr<const kit::TableCell>& enclosingCell,
    int& tableCount);

} // namespace importer::docx
