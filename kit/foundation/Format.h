#pragma once

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kit {

// Fills a format in the system's message style: each "%@" takes the next argument, "%N$@" takes the
// N-th (1-based) without moving the sequence, "%%" is a percent sign. An absent argument, or a
// placeholder beyond the arguments, prints "(null)". Anything else after a percent sign is copied as is.
std::string formatString(std::string_view format, const std::vector<std::optional<std::string>>& args);

// What one argument prints as: text as it is, a null C string or an empty optional as absent, numbers in
// their shortest decimal form.
inline std::optional<std::string> formatArgument(const std::string& text) { return text; }
inline std::optional<std::string> formatArgument(std::string_view text) { return std::string(text); }
inline std::optional<std::string> formatArgument(const char* text)
{
    return text ? std::optional<std::string>(text) : std::nullopt;
}
inline std::optional<std::string> formatArgument(std::optional<std::string> text) { return text; }
inline std::optional<std::string> formatArgument(std::nullopt_t) { return std::nullopt; }
template <typename Number>
requires std::is_arithmetic_v<Number> std::optional<std::string> formatArgument(Number number)
{
    if constexpr (std::is_same_v<Number, bool>)
        return std::string(number ? "1" : "0");
    else if constexpr (std::is_floating_point_v<Number>) {
        char text[64];
        auto [end, error] = std::to_chars(text, text + sizeof text, number);
        return std::string(text, error == std::errc() ? end : text);
    } else
        return std::to_string(number);
}

// formatString with arguments of mixed kinds: format("%@ of %@", name, 3).
template <typename... Args> std::string format(std::string_view text, const Args&... args)
{
    return formatString(text, { formatArgument(args)... });
}

} // namespace kit
