#pragma once

#include "import/Importer.h"
#include "import/package/ZipArchive.h"

#include <functional>

namespace importer {

// What the import says of a container that does not open as ZIP: truncated, damaged, too large, or (not
// ZIP at all) not a known format; errorText spells it as the import error does.
ImportError importError(ZipOpenError error);
const char* errorText(ZipOpenError error);

// Opens bytes as a ZIP package and hands it to read. A container that does not open yields no text, the
// format "none" and the import error of the reason.
ImportResult importFromPackage(
    std::span<const std::uint8_t> bytes, const std::function<ImportResult(ZipArchive&)>& read);

} // namespace importer
