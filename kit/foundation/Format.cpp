#include "kit/foundation/Format.h"

#include <algorithm>

namespace kit {

std::string formatString(std::string_view format, const std::vector<std::optional<std::string>>& args)
{
    std::string out;
    out.reserve(format.size());
    std::size_t nextArgument = 0;
    auto append = [&](std::size_t index) {
        if (index < args.size() && args[index])
            out += *args[index];
        else
            out += "(null)";
    };
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 == format.size()) {
            out += c;
            continue;
        }
        char next = format[i + 1];
        if (next == '%') {
            out += '%';
            ++i;
            continue;
        }
        if (next == '@') {
            append(nextArgument++);
            ++i;
            continue;
        }
        // A positional "%N$@": digits, a dollar sign, then '@'. The number is capped while it is read so
        // that a long run of digits cannot overflow.
        std::size_t j = i + 1;
        std::size_t position = 0;
        while (j < format.size() && format[j] >= '0' && format[j] <= '9') {
            position = std::min<std::size_t>(position * 10 + std::size_t(format[j] - '0'), 1000000);
            ++j;
        }
        if (j > i + 1 && position > 0 && j + 1 < format.size() && format[j] == '$' && format[j + 1] == '@') {
            append(position - 1);
            i = j + 1;
            continue;
        }
        out += c;
    }
    return out;
}

} // namespace kit
