#pragma once

#include "kit/foundation/Range.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

class TextStorage;

// How a find compares: by default letters match whatever their case and a match may start or end inside
// a word. With wholeWords, a match must neither follow nor precede a letter or digit.
struct FindOptions {
    bool matchCase = false;
    bool wholeWords = false;
    bool operator==(const FindOptions&) const = default;
};

// Case-insensitive search over a whole storage, wrapping around its end. Letters are compared by their
// lower-case forms, one code point for one; the text is folded once per storage change and kept.
class TextFinder {
public:
    enum class Direction { Forward, Backward };

    // The next occurrence of needle after selection (Forward: starting at its end; Backward: ending at or
    // before its start), wrapping around; nullopt when the text has none or needle is empty.
    std::optional<Range> find(const std::shared_ptr<const TextStorage>&, std::string_view needle, Range selection,
        Direction, FindOptions options = {});

    // Every occurrence of needle in text, from the start, none overlapping the one before; at most limit.
    static std::vector<Range> findAll(std::string_view text, std::string_view needle, FindOptions options, std::size_t limit = SIZE_MAX);

    // The text with every character lower-cased where that keeps its UTF-8 length, so offsets are unchanged.
    static std::string fold(std::string_view);

private:
    std::weak_ptr<const TextStorage> m_storage; // weak: a new storage at a freed one's address is not it
    std::uint64_t m_changeCount = 0;
    std::string m_folded;
};

} // namespace kit
