#pragma once

#include "import/Importer.h"

namespace importer {

// A ZIP container: .docx and its variants (.docm, .dotx, .dotm), or OpenDocument text (.odt, .ott), handed
// to the OpenDocument reader. A truncated container yields no text and the error "truncated"; a container
// that is neither yields "not a known format".
ImportResult importOfficeZip(std::span<const std::uint8_t> bytes);
// The same for a document embedded in another (w:altChunk); embeddingDepth counts the enclosing documents.
ImportResult importOfficeZip(std::span<const std::uint8_t> bytes, int embeddingDepth);

} // namespace importer
