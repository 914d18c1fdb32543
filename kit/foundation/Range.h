#pragma once

#include <cstddef>

namespace kit {

// A half-open range of UTF-8 byte offsets (text indices and glyph indices are the same numbers).
struct Range {
    std::size_t location = 0;
    std::size_t length = 0;
    constexpr std::size_t end() const { return location + length; }
    constexpr bool contains(std::size_t i) const { return i >= location && i < end(); }
    constexpr bool operator==(const Range&) const = default;
};

} // namespace kit
