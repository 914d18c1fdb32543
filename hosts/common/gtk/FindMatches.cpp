#include "hosts/common/gtk/FindMatches.h"

#include "kit/text/TextFinder.h"

namespace hosts {

MatchCount countMatches(std::string_view text, std::string_view needle, kit::Range selection)
{
    MatchCount count;
    if (needle.empty() || needle.size() > text.size())
        return count;
    // Folding keeps every character's UTF-8 length, so offsets into the folded text are offsets into the text.
    std::string foldedText = kit::TextFinder::fold(text);
    std::string foldedNeedle = kit::TextFinder::fold(needle);
    std::size_t position = foldedText.find(foldedNeedle);
    while (position != std::string::npos) {
        ++count.total;
        if (position == selection.location && selection.length == foldedNeedle.size())
            count.index = count.total;
        position = foldedText.find(foldedNeedle, position + foldedNeedle.size());
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
