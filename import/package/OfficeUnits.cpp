#include "import/package/OfficeUnits.h"

#include "kit/foundation/Ascii.h"
#include "kit/foundation/Hex.h"

#include <charconv>
#include <cmath>
#include <string>

namespace importer {

namespace {

// Splits "12.5pt" into 12.5 and "pt"; nullopt when no number leads.
std::optional<std::pair<double, std::string_view>> numberAndUnit(std::string_view text)
{
    text = kit::trimmedBlanks(text);
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    if (text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || !std::isfinite(value))
        return std::nullopt;
    return std::make_pair(value, kit::trimmedBlanks(text.substr(std::size_t(end - text.data()))));
}

} // namespace

std::optional<float> parseLength(std::string_view text)
{
    auto parsed = numberAndUnit(text);
    if (!parsed)
        return std::nullopt;
    auto [value, unit] = *parsed;
    double points;
    if (unit.empty() || unit == "pt")
        points = value;
    else if (unit == "cm")
        points = value * 72 / 2.54;
    else if (unit == "mm")
        points = value * 72 / 25.4;
    else if (unit == "in" || unit == "inch")
        points = value * 72;
    else if (unit == "pc")
        points = value * 12;
    else if (unit == "px")
        points = value * 0.75; // CSS pixels: 96 to the inch
    else if (unit == "emu")
        points = value / 12700;
    else
        return std::nullopt;
    if (std::fabs(points) > 1e7)
        return std::nullopt;
    return float(points);
}

std::optional<float> parsePercent(std::string_view text)
{
    auto parsed = numberAndUnit(text);
    if (!parsed || parsed->second != "%" || std::fabs(parsed->first) > 1e6)
        return std::nullopt;
    return float(parsed->first / 100);
}

std::optional<kit::Color> parseHexColor(std::string_view text)
{
    text = kit::trimmedBlanks(text);
    if (!text.empty() && text.front() == '#')
        text.remove_prefix(1);
    if (text.size() != 6)
        return std::nullopt;
    int components[3];
    for (int i = 0; i < 3; ++i) {
        int high = kit::hexValue(text[2 * i]), low = kit::hexValue(text[2 * i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        components[i] = high * 16 + low;
    }
    return kit::Color::calibratedRGB(components[0] / 255.0f, components[1] / 255.0f, components[2] / 255.0f);
}

std::optional<double> parseNumber(std::string_view text)
{
    auto parsed = numberAndUnit(text);
    if (!parsed || !parsed->second.empty())
        return std::nullopt;
    return parsed->first;
}

std::optional<long> parseInteger(std::string_view text)
{
    // The common case, a plain decimal integer, without the floating-point parser.
    long value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc() && end == text.data() + text.size() && value > -2000000000L && value < 2000000000L)
        return value;
    auto number = parseNumber(text);
    if (!number || std::fabs(*number) > 2e9)
        return std::nullopt;
    return long(std::lround(*number));
}

} // namespace importer
