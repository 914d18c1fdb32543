#pragma once

#include "import/Importer.h"
#include "import/package/ZipArchive.h"

#include <functional>

namespace importer {

// What the user is told of a container that does not open as ZIP.
const char* zipOpenErrorText(ZipOpenError);

// Opens bytes as a ZIP package and hands it to read. A container that does not open yields no text, the
// format "none" and zipOpenErrorText of the reason.
ImportResult importFromPackage(
    std::span<const std::uint8_t> bytes, const std::function<ImportResult(ZipArchive&)>& read);

} // namespace importer
