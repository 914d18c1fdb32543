#pragma once

#include <map>
#include <string>
#include <string_view>

namespace kit {

// A localisation table in the classic .strings form:
//     /* comment */  "key" = "value";  // comment
// Keys and values are quoted (escapes \" \\ \n \t \r \a \b \f \v, octal \ooo, \UXXXX and \uXXXX as UTF-16
// code units, surrogate pairs joined) or bare words of letters, digits and _$+/:.-; `"key";` alone maps a
// key to itself. The file may be UTF-8 (with or without a byte-order mark) or UTF-16 with a byte-order mark.
class StringsTable {
public:
    // Parses as much as is well formed: on a syntax error the entries before it are kept and error() says
    // where it stopped, so that one broken line costs only the lines after it.
    static StringsTable parse(std::string_view bytes);

    const std::string* lookup(std::string_view key) const;
    std::size_t size() const { return m_entries.size(); }
    const std::string& error() const { return m_error; }

private:
    std::map<std::string, std::string, std::less<>> m_entries;
    std::string m_error;
};

} // namespace kit
