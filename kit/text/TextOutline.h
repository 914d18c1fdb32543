#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kit {

class TextStorage;

// The document's outline: its headings (paragraphs whose style has an outline level), in text order.
struct OutlineEntry {
    int level = 1; // 1...9
    std::string title; // the heading's text, white space collapsed, list label included
    std::size_t location = 0; // UTF-8 byte offset of the heading's first character
    bool operator==(const OutlineEntry&) const = default;
};

// At most kMaximumOutlineEntries headings (a hostile file could mark every paragraph), and each title at
// most about 200 bytes, cut on a character boundary with an ellipsis. Headings without visible text are
// left out.
inline constexpr std::size_t kMaximumOutlineEntries = 5000;
std::vector<OutlineEntry> outlineOfText(const kit::TextStorage& text);
// A paragraph's text as an outline shows it: one line, white space collapsed, pictures left out, cut as above.
std::string outlineTitle(std::string_view paragraph);

} // namespace kit
