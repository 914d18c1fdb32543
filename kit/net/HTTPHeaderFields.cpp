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

namespace {

std::string_view trimmedField(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

} // namespace

HTTPHeadReader::Line HTTPHeadReader::read(std::string_view line)
{
    if (line.starts_with("HTTP/")) {
        // A status code has three digits; more would be no status, and would overflow.
        m_statusCode = 0;
        auto space = line.find(' ');
        std::size_t i = space == std::string_view::npos ? line.size() : space + 1;
        for (int digits = 0; i < line.size() && line[i] >= '0' && line[i] <= '9' && digits < 3; ++i, ++digits)
            m_statusCode = m_statusCode * 10 + (line[i] - '0');
        m_fields.clear();
        m_isReading = true;
        return Line::Status;
    }
    if (!m_isReading)
        return Line::Ignored;
    std::string_view trimmed = trimmedField(line);
    if (trimmed.empty()) {
        m_isReading = false;
        return Line::End;
    }
    if ((line[0] == ' ' || line[0] == '\t') && !m_fields.empty()) {
        m_fields.back().second += ' ';
        m_fields.back().second += trimmed;
        return Line::Field;
    }
    auto colon = line.find(':');
    if (colon == std::string_view::npos)
        return Line::Ignored;
    m_fields.emplace_back(std::string(trimmedField(line.substr(0, colon))), std::string(trimmedField(line.substr(colon + 1))));
    return Line::Field;
}

} // namespace kit
