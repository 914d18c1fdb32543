#pragma once

#include "kit/text/ParagraphEngine.h"
#include "kit/text/TextStorage.h"

#include <algorithm>

namespace kit {

// Calls visit(attributes, from, to) for each attribute run of the paragraph, in order, with [from, to) the
// run's bytes within the paragraph (offsets from its first byte); stops early when visit returns false.
template <typename Visit> bool forEachParagraphRun(const ParagraphInput& input, Visit&& visit)
{
    const TextStorage& storage = *input.storage;
    const auto& runs = storage.runs();
    std::size_t paragraphEnd = input.start + input.length;
    auto after = std::upper_bound(runs.begin(), runs.end(), input.start,
        [](std::size_t i, const AttributeRun& run) { return i < run.location; });
    std::size_t r = after == runs.begin() ? 0 : std::size_t(after - runs.begin()) - 1;
    for (; r < runs.size() && runs[r].location < paragraphEnd; ++r) {
        std::size_t runEnd = r + 1 < runs.size() ? runs[r + 1].location : storage.length();
        std::size_t a = std::max(runs[r].location, input.start) - input.start;
        std::size_t b = std::min(runEnd, paragraphEnd) - input.start;
        if (a < b && !visit(*runs[r].attributes, a, b))
            return false;
    }
    return true;
}

} // namespace kit
