#pragma once

#include "WordFileBuilder.h"
#include "import/Importer.h"

#include <string>
#include <vector>

namespace testdoc {

// Imports bytes through the OLE2 route.
importer::ImportResult importBytes(const Bytes& bytes);
// Builds and imports; fails the test when no text comes back.
importer::ImportResult importBuilt(const WordFileBuilder& builder);
std::string plain(const importer::ImportResult& result);

// A document of paragraphs (each ends in its own paragraph run with the given grpprl).
WordFileBuilder paragraphs(const std::vector<std::u16string>& texts, const std::vector<Bytes>& grpprls = {});

// The table definition sprm (sprmTDefTable): cell edges in twips, and per cell its flags and four borders.
struct CellDefinition {
    std::uint16_t flags = 0;
    std::array<std::uint32_t, 4> borders {};
};
Bytes tableDefinition(const std::vector<std::int16_t>& edges, const std::vector<CellDefinition>& cells = {});

// The attributes at the first occurrence of needle in the storage's text.
const kit::Attributes& attributesOf(const importer::ImportResult& result, const std::string& needle);

} // namespace testdoc
