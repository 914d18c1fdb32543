#include "kit/view/NibValue.h"

#include "kit/view/View.h"

#include <charconv>
#include <cstdlib>
#include <cmath>
#include <string>
#include <vector>

namespace kit::nib {

static std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> result;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t' || text[i] == '\n'))
            ++i;
        std::size_t start = i;
        while (i < text.size() && !(text[i] == ' ' || text[i] == ',' || text[i] == '\t' || text[i] == '\n'))
            ++i;
        if (i > start)
            result.push_back(text.substr(start, i - start));
    }
    return result;
}

std::optional<float> parseNumber(std::string_view text)
{
    auto parts = words(text);
    if (parts.size() != 1)
        return std::nullopt;
    // strtof needs a terminated string; std::from_chars for floats is missing from this libstdc++'s older modes.
    std::string copy(parts[0]);
    char* end = nullptr;
    float value = std::strtof(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<int> parseInteger(std::string_view text)
{
    auto parts = words(text);
    if (parts.size() != 1)
        return std::nullopt;
    int value = 0;
    auto [end, error] = std::from_chars(parts[0].data(), parts[0].data() + parts[0].size(), value);
    if (error != std::errc() || end != parts[0].data() + parts[0].size())
        return std::nullopt;
    return value;
}

std::optional<bool> parseBool(std::string_view text)
{
    if (text == "yes" || text == "true" || text == "1")
        return true;
    if (text == "no" || text == "false" || text == "0")
        return false;
    return std::nullopt;
}

static std::optional<std::vector<float>> numbers(std::string_view text, std::size_t count)
{
    auto parts = words(text);
    if (parts.size() != count)
        return std::nullopt;
    std::vector<float> values;
    for (auto part : parts) {
        auto value = parseNumber(part);
        if (!value)
            return std::nullopt;
        values.push_back(*value);
    }
    return values;
}

std::optional<Rect> parseRect(std::string_view text)
{
    auto v = numbers(text, 4);
    if (!v || (*v)[2] < 0 || (*v)[3] < 0)
        return std::nullopt;
    return Rect { (*v)[0], (*v)[1], (*v)[2], (*v)[3] };
}

std::optional<Size> parseSize(std::string_view text)
{
    auto v = numbers(text, 2);
    if (!v || (*v)[0] < 0 || (*v)[1] < 0)
        return std::nullopt;
    return Size { (*v)[0], (*v)[1] };
}

static bool isUnit(float v)
{
    return v >= 0 && v <= 1;
}

std::optional<Color> parseColor(std::string_view text)
{
    if (!text.empty() && text[0] == '#') {
        auto hex = text.substr(1);
        if (hex.size() != 6 && hex.size() != 8)
            return std::nullopt;
        float c[4] = { 0, 0, 0, 1 };
        for (std::size_t i = 0; i < hex.size() / 2; ++i) {
            unsigned byte = 0;
            auto [end, error] = std::from_chars(hex.data() + 2 * i, hex.data() + 2 * i + 2, byte, 16);
            if (error != std::errc() || end != hex.data() + 2 * i + 2)
                return std::nullopt;
            c[i] = byte / 255.0f;
        }
        return Color::calibratedRGB(c[0], c[1], c[2], c[3]);
    }
    auto parts = words(text);
    if (!parts.empty() && parts[0] == "white") {
        auto rest = text.substr(text.find("white") + 5);
        auto v = numbers(rest, parts.size() - 1);
        if (!v || v->empty() || v->size() > 2)
            return std::nullopt;
        for (float c : *v) {
            if (!isUnit(c))
                return std::nullopt;
        }
        return Color::white((*v)[0], v->size() == 2 ? (*v)[1] : 1);
    }
    if (parts.size() != 3 && parts.size() != 4)
        return std::nullopt;
    auto v = numbers(text, parts.size());
    if (!v)
        return std::nullopt;
    for (float c : *v) {
        if (!isUnit(c))
            return std::nullopt;
    }
    return Color::calibratedRGB((*v)[0], (*v)[1], (*v)[2], v->size() == 4 ? (*v)[3] : 1);
}

std::optional<unsigned> parseAutoresizing(std::string_view text)
{
    unsigned mask = ViewNotSizable;
    for (auto word : words(text)) {
        if (word == "width")
            mask |= ViewWidthSizable;
        else if (word == "height")
            mask |= ViewHeightSizable;
        else if (word == "minX")
            mask |= ViewMinXMargin;
        else if (word == "maxX")
            mask |= ViewMaxXMargin;
        else if (word == "minY")
            mask |= ViewMinYMargin;
        else if (word == "maxY")
            mask |= ViewMaxYMargin;
        else if (word != "none")
            return std::nullopt;
    }
    return mask;
}

} // namespace kit::nib
