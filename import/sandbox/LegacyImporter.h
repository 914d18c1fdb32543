#pragma once

#include "import/Importer.h"
#include "import/sandbox/ChildProcess.h"

#include <filesystem>
#include <optional>

namespace importer {

// Bytes that the libraries of older word processors may read: a signature one of them has (WordPerfect,
// AbiWord's XML, an OLE2 or ZIP container our own readers did not take, gzip), or bytes that are plainly
// not text. Cheap; the libraries themselves decide.
bool looksLikeLegacy(std::span<const std::uint8_t> bytes);

// Reads the bytes with those libraries in the helper program lectorin-revenge, run as a child process
// under limits, which hands the document back as RTF. "not a known format" when no library reads them (or
// the helper is not installed); a crash, a limit or the deadline gives "damaged", never a crash here. The
// RTF reader must be installed (importDocument does it).
ImportResult importLegacy(std::span<const std::uint8_t> bytes);
ImportResult importLegacy(std::span<const std::uint8_t> bytes, const sandbox::ChildLimits& limits);

// The helper: $LECTORIN_REVENGE_HOST, else beside this program, else in ../libexec/lectorin/.
std::optional<std::filesystem::path> legacyHelperPath();

} // namespace importer
