#pragma once

#include "import/Importer.h"
#include "import/package/ZipArchive.h"

namespace importer {

// Whether a package is an OpenDocument text or text template: its mimetype entry says so, or, without
// one, its content.xml holds an office:text body.
bool isOpenDocumentText(ZipArchive& archive);

// Reads content.xml and styles.xml of an OpenDocument text package into attributed text.
ImportResult importOdt(ZipArchive& archive);
// The same from the package's bytes.
ImportResult importOdt(std::span<const std::uint8_t> bytes);

} // namespace importer
