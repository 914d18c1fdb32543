#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

// Compares dump with a reviewed golden file, named relative to the source tree ("tests/import_rtf/golden/a.runs").
// With LECTORIN_UPDATE_GOLDEN=1 in the environment the file is written instead, for review after a deliberate
// change. A difference is reported as the first line that differs, not as two whole dumps.
void expectMatchesGolden(const std::string& dump, const std::filesystem::path& relativePath);

} // namespace testsupport
