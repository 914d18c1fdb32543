#include "kit/net/URLRequest.h"

#include <algorithm>
#include <glib.h>

namespace kit {

void URLRequest::setValueForHTTPHeaderField(const std::string& value, const std::string& name)
{
    std::erase_if(
        m_headerFields, [&](const auto& field) { return g_ascii_strcasecmp(field.first.c_str(), name.c_str()) == 0; });
    if (!value.empty())
        m_headerFields.emplace_back(name, value);
}

} // namespace kit
