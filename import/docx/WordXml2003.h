#pragma once

#include "import/Importer.h"

namespace importer {

// Word 2003 XML ("WordprocessingML 2003"): one XML file with a w:wordDocument root in the 2003 namespace,
// styles, list definitions, the body and its sections inline, pictures as w:binData. Told by the root
// element and its namespace, in UTF-8 or UTF-16, never by a name: plain XML is not claimed.
bool looksLikeWordXml2003(std::span<const std::uint8_t> bytes);

// Reads it with the WordprocessingML reader, into whose vocabulary its elements are translated; the format
// is "wordxml".
ImportResult importWordXml2003(std::span<const std::uint8_t> bytes);

} // namespace importer
