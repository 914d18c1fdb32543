#include "kit/net/URLRequest.h"

#include <algorithm>
#include <atomic>
#include <glib.h>

namespace kit {

namespace {

// Ten minutes: a document at the size limit still arrives over a link of half a megabyte per second.
std::atomic<double> s_defaultDeadlineInterval = 600;

} // namespace

double URLRequest::defaultDeadlineInterval() { return s_defaultDeadlineInterval; }

void URLRequest::setDefaultDeadlineIntervalForTesting(double seconds) { s_defaultDeadlineInterval = seconds; }

void URLRequest::setValueForHTTPHeaderField(const std::string& value, const std::string& name)
{
    std::erase_if(
        m_headerFields, [&](const auto& field) { return g_ascii_strcasecmp(field.first.c_str(), name.c_str()) == 0; });
    if (!value.empty())
        m_headerFields.emplace_back(name, value);
}

} // namespace kit
