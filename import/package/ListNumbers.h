#pragma once

#include "kit/text/Attributes.h"

#include <string>
#include <string_view>

namespace importer {

// A list or note number in a WordprocessingML number format (decimal, decimalZero, upperRoman, lowerRoman,
// upperLetter, lowerLetter, ordinal, cardinalText, ordinalText, russianUpper, russianLower,
// decimalEnclosedCircle, decimalEnclosedParen, chicago, none); other formats fall back to decimal.
std::string formatListNumber(int value, std::string_view format);

// The number format above that an OpenDocument style:num-format names: "a", "A", "i", "I" the letters and
// Roman numerals, empty text none, anything else ("1" among them) decimal.
std::string_view odfNumberFormat(std::string_view numFormat);

// The tab after a list label reaches the hanging indent when no tab stop comes before it: adds a stop there
// when the paragraph hangs and has none between its first line and the indent.
void addLabelTabStop(kit::ParagraphStyle& style);

} // namespace importer
