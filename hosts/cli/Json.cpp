#include "hosts/cli/Json.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace hosts {

void Json::key(const char* name)
{
    if (!m_body.empty())
        m_body += ',';
    m_body += quote(name) + ':';
}

void Json::field(const char* name, const std::string& value)
{
    key(name);
    m_body += quote(value);
}

void Json::field(const char* name, double value)
{
    key(name);
    m_body += number(value);
}

void Json::nullField(const char* name)
{
    key(name);
    m_body += "null";
}

void Json::array(const char* name, std::initializer_list<double> values)
{
    array(name, std::span<const double>(values.begin(), values.size()));
}

void Json::array(const char* name, std::span<const double> values)
{
    key(name);
    m_body += '[';
    bool first = true;
    for (double v : values) {
        if (!first)
            m_body += ',';
        first = false;
        m_body += number(v);
    }
    m_body += ']';
}

std::string quoted(std::string_view text, ControlEscape controls)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buffer[8];
                if (controls == ControlEscape::Unicode)
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                else
                    std::snprintf(buffer, sizeof buffer, "\\%03o", c);
                out += buffer;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

std::string Json::quote(const std::string& text)
{
    return quoted(text, ControlEscape::Unicode);
}

std::string Json::number(double value)
{
    if (!std::isfinite(value))
        return "null";
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.0f", value);
        return buffer;
    }
    // Shortest text that reads back as the same single-precision value, for figures like 133.33334.
    char buffer[32];
    for (int precision = 6; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
        if (float(std::strtod(buffer, nullptr)) == float(value))
            break;
    }
    return buffer;
}

} // namespace hosts
