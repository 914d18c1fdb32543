#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace importer {

// Base64 as documents carry it (data: URLs, OpenDocument binary data): white space ignored, padding optional,
// the URL-safe letters taken too; nullopt on any other character.
std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text);

} // namespace importer
