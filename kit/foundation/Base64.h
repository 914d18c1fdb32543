#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

// The one base64 decoder, with the two rules its readers need. Both skip ASCII white space between digits.
enum class Base64Rule : std::uint8_t {
    // Property lists: the standard alphabet only, padding only where a final group needs it, and a final
    // group that is a whole number of bytes with no stray bits.
    Strict,
    // Documents (data: URLs, pictures inside XML), whose writers vary: the URL-safe letters too, padding
    // optional, the text ending at the first '=', and a lone final digit ignored.
    Forgiving,
};

// nullopt on a character outside the rule's alphabet (and, strictly, on misplaced padding or stray bits).
std::optional<std::vector<std::uint8_t>> decodeBase64(std::string_view text, Base64Rule rule);

// The standard alphabet, padded, on one line.
std::string encodeBase64(std::span<const std::uint8_t> bytes);

} // namespace kit
