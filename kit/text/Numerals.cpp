#include "kit/text/Numerals.h"

#include "kit/foundation/Utf8.h"

namespace kit {

namespace {

bool isSpelled(int number)
{
    return number >= 1 && number <= kLargestSpelledNumber;
}

} // namespace

std::string romanNumeral(int number, bool upper)
{
    static const struct {
        int value;
        const char* lower;
        const char* upper;
    } kNumerals[] = { { 1000, "m", "M" }, { 900, "cm", "CM" }, { 500, "d", "D" }, { 400, "cd", "CD" },
        { 100, "c", "C" }, { 90, "xc", "XC" }, { 50, "l", "L" }, { 40, "xl", "XL" }, { 10, "x", "X" },
        { 9, "ix", "IX" }, { 5, "v", "V" }, { 4, "iv", "IV" }, { 1, "i", "I" } };
    if (!isSpelled(number))
        return std::to_string(number);
    std::string out;
    for (const auto& numeral : kNumerals) {
        for (; number >= numeral.value; number -= numeral.value)
            out += upper ? numeral.upper : numeral.lower;
    }
    return out;
}

std::string letterNumeral(int number, bool upper)
{
    static const char32_t kLatin[] = { U'a', U'b', U'c', U'd', U'e', U'f', U'g', U'h', U'i', U'j', U'k', U'l', U'm',
        U'n', U'o', U'p', U'q', U'r', U's', U't', U'u', U'v', U'w', U'x', U'y', U'z' };
    return letterNumeral(number, kLatin, upper);
}

std::string letterNumeral(int number, std::span<const char32_t> lowerCaseAlphabet, bool upper)
{
    if (!isSpelled(number) || lowerCaseAlphabet.empty())
        return std::to_string(number);
    int count = int(lowerCaseAlphabet.size());
    char32_t letter = lowerCaseAlphabet[std::size_t((number - 1) % count)] - (upper ? 0x20 : 0);
    std::string out;
    for (int repeat = (number - 1) / count + 1; repeat > 0; --repeat)
        appendUtf8(out, letter);
    return out;
}

const char* ordinalSuffix(int number)
{
    int lastTwo = number % 100;
    if (lastTwo >= 11 && lastTwo <= 13)
        return "th";
    switch (number % 10) {
    case 1:
        return "st";
    case 2:
        return "nd";
    case 3:
        return "rd";
    default:
        return "th";
    }
}

} // namespace kit
