#pragma once

#include <string_view>

namespace plugin {

// Compares two version strings as a case-insensitive, numeric string comparison does: letters without
// regard to case, runs of decimal digits at the same place by their numeric value (so 1.9 < 1.10), and a
// string that is a prefix of the other sorts first (1.0 < 1.0.1). Returns -1, 0 or 1.
int compareVersions(std::string_view a, std::string_view b);

} // namespace plugin
