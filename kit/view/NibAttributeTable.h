#pragma once

#include "kit/view/NibValue.h"

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kit {

// The per-class map from a nib attribute's name to what its value sets, beside ActionTable. A class with
// attributes keeps one static table in its setNibAttribute override; names the table does not know go on to
// the base class named beside it:
//
//     bool Control::setNibAttribute(std::string_view name, std::string_view value)
//     {
//         static const NibAttributeTable<Control, View> attributes {
//             { "tag", nib::set<nib::parseInteger, &Control::setTag> },
//         };
//         return attributes.apply(*this, name, value);
//     }
template <typename T, typename Base> class NibAttributeTable {
public:
    // False when the value text cannot be read; the target is then left as it was.
    using Apply = bool (*)(T& target, std::string_view value);
    struct Entry {
        std::string_view name;
        Apply apply;
    };

    NibAttributeTable(std::initializer_list<Entry> entries)
        : m_entries(entries)
    {
    }

    // Whether the value was read and set: by this table's row for name, else by Base's own attributes.
    bool apply(T& target, std::string_view name, std::string_view value) const
    {
        for (const auto& entry : m_entries) {
            if (entry.name == name)
                return entry.apply(target, value);
        }
        return target.Base::setNibAttribute(name, value);
    }

private:
    std::vector<Entry> m_entries;
};

namespace nib {

// Hands what a reader read to a setter; false (and no call) when the reader read nothing.
template <typename T, typename Setter, typename Value> bool apply(T& target, Setter setter, std::optional<Value> value)
{
    if (!value)
        return false;
    (target.*setter)(std::move(*value));
    return true;
}

// The common row: read the text with Parse, set it with Setter.
template <auto Parse, auto Setter, typename T> bool set(T& target, std::string_view text)
{
    return apply(target, Setter, Parse(text));
}

// Any text, as it stands.
inline std::optional<std::string> parseText(std::string_view text) { return std::string(text); }

// A number above zero (sizes of type).
inline std::optional<float> parsePositiveNumber(std::string_view text)
{
    auto number = parseNumber(text);
    if (!number || !(*number > 0))
        return std::nullopt;
    return number;
}

// One of a fixed set of words, each naming a value.
template <typename Value>
std::optional<Value> parseChoice(
    std::string_view text, std::initializer_list<std::pair<std::string_view, Value>> choices)
{
    for (const auto& [word, value] : choices) {
        if (word == text)
            return value;
    }
    return std::nullopt;
}

} // namespace nib

} // namespace kit
