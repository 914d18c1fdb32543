#include "hosts/common/gtk/FindMatches.h"

#include "kit/text/TextFinder.h"

namespace hosts {

MatchCount countMatches(std::string_view text, std::string_view needle, kit::Range selection, kit::FindOptions options)
{
    MatchCount count;
    for (kit::Range match : kit::TextFinder::findAll(text, needle, options)) {
        ++count.total;
        if (match == selection)
            count.index = count.total;
    }
    return count;
}

std::string matchCountLabel(MatchCount count, bool hasNeedle)
{
    if (!hasNeedle)
        return {};
    if (count.total == 0)
        return "No matches";
    if (count.index > 0)
        return std::to_string(count.index) + " of " + std::to_string(count.total);
    return std::to_string(count.total) + (count.total == 1 ? " match" : " matches");
}

} // namespace hosts
