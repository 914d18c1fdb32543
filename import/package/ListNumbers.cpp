#include "import/package/ListNumbers.h"

#include "import/common/Encoding.h"
#include "kit/text/Numerals.h"

#include <algorithm>

namespace importer {

namespace {

std::string cyrillicLetters(int value, bool upper)
{
    // The Russian alphabet as Word counts it: without ё, й, ъ, ы, ь.
    static const char32_t lower[] = { U'а', U'б', U'в', U'г', U'д', U'е', U'ж', U'з', U'и', U'к', U'л', U'м', U'н', U'о',
        U'п', U'р', U'с', U'т', U'у', U'ф', U'х', U'ц', U'ч', U'ш', U'щ', U'э', U'ю', U'я' };
    return kit::letterNumeral(value, lower, upper);
}

std::string cardinalWords(int value)
{
    static const char* ones[] = { "Zero", "One", "Two", "Three", "Four", "Five", "Six", "Seven", "Eight", "Nine", "Ten",
        "Eleven", "Twelve", "Thirteen", "Fourteen", "Fifteen", "Sixteen", "Seventeen", "Eighteen", "Nineteen" };
    static const char* tens[] = { "", "", "Twenty", "Thirty", "Forty", "Fifty", "Sixty", "Seventy", "Eighty", "Ninety" };
    if (value < 0 || value >= 1000)
        return std::to_string(value);
    if (value < 20)
        return ones[value];
    if (value < 100)
        return std::string(tens[value / 10]) + (value % 10 ? std::string("-") + ones[value % 10] : std::string());
    std::string out = std::string(ones[value / 100]) + " Hundred";
    if (value % 100)
        out += " " + cardinalWords(value % 100);
    return out;
}

std::string ordinalWords(int value)
{
    static const struct {
        const char* cardinal;
        const char* ordinal;
    } irregular[] = { { "One", "First" }, { "Two", "Second" }, { "Three", "Third" }, { "Five", "Fifth" }, { "Eight", "Eighth" },
        { "Nine", "Ninth" }, { "Twelve", "Twelfth" } };
    std::string words = cardinalWords(value);
    if (value < 0 || value >= 1000)
        return words + kit::ordinalSuffix(value);
    for (const auto& entry : irregular) {
        std::string_view cardinal = entry.cardinal;
        if (words.size() >= cardinal.size() && words.compare(words.size() - cardinal.size(), cardinal.size(), cardinal) == 0)
            return words.substr(0, words.size() - cardinal.size()) + entry.ordinal;
    }
    if (!words.empty() && words.back() == 'y')
        return words.substr(0, words.size() - 1) + "ieth";
    return words + "th";
}

} // namespace

std::string_view odfNumberFormat(std::string_view numFormat)
{
    if (numFormat == "a")
        return "lowerLetter";
    if (numFormat == "A")
        return "upperLetter";
    if (numFormat == "i")
        return "lowerRoman";
    if (numFormat == "I")
        return "upperRoman";
    return numFormat.empty() ? "none" : "decimal";
}

std::string formatListNumber(int value, std::string_view format)
{
    if (format == "upperRoman" || format == "lowerRoman")
        return kit::romanNumeral(value, format == "upperRoman");
    if (format == "upperLetter" || format == "lowerLetter")
        return kit::letterNumeral(value, format == "upperLetter");
    if (format == "russianUpper")
        return cyrillicLetters(value, true);
    if (format == "russianLower")
        return cyrillicLetters(value, false);
    if (format == "decimalZero")
        return (value >= 0 && value < 10 ? "0" : "") + std::to_string(value);
    if (format == "ordinal")
        return std::to_string(value) + kit::ordinalSuffix(value);
    if (format == "cardinalText")
        return cardinalWords(value);
    if (format == "ordinalText")
        return ordinalWords(value);
    if (format == "none")
        return {};
    if (format == "decimalEnclosedCircle" && value >= 1 && value <= 20) {
        std::string out;
        encoding::appendUtf8(out, char32_t(0x2460 + value - 1));
        return out;
    }
    if (format == "decimalEnclosedParen")
        return "(" + std::to_string(value) + ")";
    if (format == "chicago" && value >= 1) {
        static const char32_t marks[] = { U'*', U'†', U'‡', U'§' };
        std::string out;
        int repeat = std::min((value - 1) / 4 + 1, 16);
        for (int i = 0; i < repeat; ++i)
            encoding::appendUtf8(out, marks[(value - 1) % 4]);
        return out;
    }
    return std::to_string(value);
}

void addLabelTabStop(kit::ParagraphStyle& style)
{
    if (style.headIndent <= style.firstLineHeadIndent)
        return;
    auto& stops = style.tabStops;
    bool hasStop = std::any_of(stops.begin(), stops.end(), [&](const kit::TabStop& stop) {
        return stop.location > style.firstLineHeadIndent && stop.location <= style.headIndent;
    });
    if (hasStop)
        return;
    stops.push_back({ style.headIndent, kit::TabAlignment::Left });
    std::sort(stops.begin(), stops.end(), [](const kit::TabStop& a, const kit::TabStop& b) { return a.location < b.location; });
}

} // namespace importer
