#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kit {

// Header fields in the order they were received or set; names keep their spelling and compare without
// regard to ASCII case.
using HTTPHeaderFields = std::vector<std::pair<std::string, std::string>>;

// The first field of that name.
std::optional<std::string> headerFieldValue(const HTTPHeaderFields&, std::string_view name);

} // namespace kit
