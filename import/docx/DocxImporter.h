#pragma once

#include "import/Importer.h"
#include "import/package/ZipArchive.h"

namespace importer {

// Whether a ZIP package may be a WordprocessingML one (.docx, .docm, .dotx, .dotm): it declares content
// types, which is where its main part's type is found.
bool isWordPackage(ZipArchive&);

// Reads a WordprocessingML package. A package without a main part of a word-processing type yields
// "not a known format". embeddingDepth counts the documents that enclose this one (w:altChunk).
ImportResult importDocx(ZipArchive&, int embeddingDepth = 0);
// The same from the package's bytes; a truncated container yields no text and the error "truncated".
ImportResult importDocx(std::span<const std::uint8_t> bytes, int embeddingDepth = 0);

} // namespace importer
