#pragma once

#include <span>
#include <string>

namespace kit {

// The numbers a label or a page number spells out (roman numerals, letters) run from 1 to this; outside it
// every spelled style writes the number in decimal digits: roman numerals have no symbol past 3,999, and a
// letter repeated more than 154 times is no label.
inline constexpr int kLargestSpelledNumber = 3999;

// i, ii, iii, iv...; decimal outside 1 to kLargestSpelledNumber.
std::string romanNumeral(int number, bool upper);

// a...z, then aa...zz, aaa...: the letter repeats once more for each round of the alphabet, as word processors
// count; decimal outside 1 to kLargestSpelledNumber.
std::string letterNumeral(int number, bool upper);
// The same count over another alphabet, given in lower case, whose capitals stand 0x20 below each letter
// (the Russian alphabet as Word counts it, say).
std::string letterNumeral(int number, std::span<const char32_t> lowerCaseAlphabet, bool upper);

// "st", "nd", "rd" or "th": 1st, 2nd, 3rd, 4th, 11th, 12th, 13th, 21st.
const char* ordinalSuffix(int number);

} // namespace kit
