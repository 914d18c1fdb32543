#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kit {

// Header fields in the order they were received or set; names keep their spelling and compare without
// regard to ASCII case.
using HTTPHeaderFields = std::vector<std::pair<std::string, std::string>>;

// The first field of that name.
std::optional<std::string> headerFieldValue(const HTTPHeaderFields&, std::string_view name);

// Reads the heads of the responses of one transfer line by line, as curl hands them over: each response
// (every redirect hop, every interim 1xx) starts with its status line and ends with an empty line; folded
// lines continue the field before; lines after a head (a chunked body's trailers) are no fields of it.
class HTTPHeadReader {
public:
    enum class Line { Ignored, Status, Field, End };
    Line read(std::string_view line);
    void reset() { *this = {}; }

    // Of the last status line: its three digits, 0 when it had none.
    int statusCode() const { return m_statusCode; }
    const HTTPHeaderFields& fields() const { return m_fields; }
    // True after a head whose status is 1xx: another response follows.
    bool isInterim() const { return m_statusCode >= 100 && m_statusCode < 200; }

private:
    int m_statusCode = 0;
    HTTPHeaderFields m_fields;
    bool m_isReading = false;
};

} // namespace kit
