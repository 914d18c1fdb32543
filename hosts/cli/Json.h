#pragma once

#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace hosts {

// How a quoted string writes the control bytes that have no letter escape: \u0001 (JSON) or \001 (the
// old-style property-list text that the defaults commands print).
enum class ControlEscape { Unicode, Octal };

// text between double quotes, with \" \\ \n \r \t and the other control bytes escaped.
std::string quoted(std::string_view text, ControlEscape);

// A compact JSON object written field by field, in the order given.
class Json {
public:
    void field(const char* name, const std::string& value);
    void field(const char* name, const char* value) { field(name, std::string(value)); }
    void field(const char* name, double value);
    void nullField(const char* name);
    void array(const char* name, std::initializer_list<double> values);
    void array(const char* name, std::span<const double> values);
    std::string str() const { return "{" + m_body + "}"; }

    static std::string quote(const std::string& text);
    static std::string number(double value);

private:
    void key(const char* name);
    std::string m_body;
};

} // namespace hosts
