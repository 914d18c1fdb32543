#include "kit/net/HTTPHeaderFields.h"

#include <glib.h>

namespace kit {

std::optional<std::string> headerFieldValue(const HTTPHeaderFields& fields, std::string_view name)
{
    for (const auto& [fieldName, value] : fields) {
        if (fieldName.size() == name.size() && g_ascii_strncasecmp(fieldName.data(), name.data(), name.size()) == 0)
            return value;
    }
    return std::nullopt;
}

} // namespace kit
