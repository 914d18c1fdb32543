#pragma once

#include <string>
#include <string_view>

namespace importer {

// A list or note number in a WordprocessingML number format (decimal, decimalZero, upperRoman, lowerRoman,
// upperLetter, lowerLetter, ordinal, cardinalText, ordinalText, russianUpper, russianLower,
// decimalEnclosedCircle, decimalEnclosedParen, chicago, none); other formats fall back to decimal.
std::string formatListNumber(int value, std::string_view format);

} // namespace importer
