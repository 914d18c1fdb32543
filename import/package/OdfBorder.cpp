#include "import/package/OdfBorder.h"

#include "import/package/OfficeUnits.h"

#include <algorithm>

namespace importer {

std::optional<kit::Border> parseOdfBorder(std::string_view text)
{
    kit::Border border;
    if (text.empty())
        return std::nullopt;
    bool hasStyle = false;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find(' ', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view token = text.substr(at, end - at);
        at = end + 1;
        if (token.empty())
            continue;
        if (token == "none" || token == "hidden")
            return kit::Border {};
        if (token == "double") {
            border.style = kit::LineStyle::Double;
            hasStyle = true;
        } else if (token == "solid" || token == "dotted" || token == "dashed" || token == "groove" || token == "ridge"
            || token == "inset" || token == "outset" || token == "dot-dash" || token == "dot-dot-dash" || token == "wave") {
            border.style = kit::LineStyle::Single;
            hasStyle = true;
        } else if (token == "thin") {
            border.width = 0.75f;
        } else if (token == "medium") {
            border.width = 1.5f;
        } else if (token == "thick") {
            border.width = 3;
        } else if (auto color = parseHexColor(token)) {
            border.color = *color;
        } else if (auto width = parseLength(token)) {
            border.width = std::clamp(*width, 0.0f, 12.0f);
        }
    }
    if (!hasStyle)
        border.style = border.width > 0 ? kit::LineStyle::Single : kit::LineStyle::None;
    if (border.style != kit::LineStyle::None && border.width <= 0)
        border.width = 0.75f;
    return border;
}

} // namespace importer
