#pragma once

#include "kit/foundation/Range.h"
#include "kit/text/TextFinder.h"

#include <string>
#include <string_view>

namespace hosts {

// How many times the find string occurs in a text, and which of those occurrences is selected (1-based;
// 0 when the selection is not one of them). Occurrences are counted without overlapping, from the start,
// compared as the text views' search compares them.
struct MatchCount {
    int index = 0;
    int total = 0;
    bool operator==(const MatchCount&) const = default;
};
MatchCount countMatches(std::string_view text, std::string_view needle, kit::Range selection, kit::FindOptions options = {});

// What the find bar shows: "3 of 12", "12 matches", "1 match", "No matches", or nothing for an empty needle.
std::string matchCountLabel(MatchCount count, bool hasNeedle);

} // namespace hosts
