// The XML form of property lists. Reading walks a pugixml tree and checks every element itself, since a
// lenient reader turns `<real>abc</real>` into 0 and a key without a value into nothing at all.
#include "kit/foundation/PropertyListCoding.h"

#include "kit/foundation/Ascii.h"
#include "kit/foundation/Base64.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <pugixml.hpp>

namespace kit::plist {

namespace {

// Decimal or 0x-hexadecimal, optionally signed, within the range of a signed 64-bit integer.
std::optional<std::int64_t> parseInteger(std::string_view text)
{
    text = trimmedSpace(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty() || text.front() == '+' || text.front() == '-')
        return std::nullopt;
    std::uint64_t magnitude = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    constexpr std::uint64_t kMaxPositive = std::uint64_t(std::numeric_limits<std::int64_t>::max());
    if (!negative)
        return magnitude <= kMaxPositive ? std::optional<std::int64_t>(std::int64_t(magnitude)) : std::nullopt;
    if (magnitude > kMaxPositive + 1)
        return std::nullopt;
    return magnitude == kMaxPositive + 1 ? std::numeric_limits<std::int64_t>::min() : -std::int64_t(magnitude);
}

std::optional<double> parseReal(std::string_view text)
{
    text = trimmedSpace(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() || text.front() == '+' || text.front() == '-')
        return std::nullopt;
    if (equalsIgnoringAsciiCase(text, "nan"))
        return std::numeric_limits<double>::quiet_NaN();
    if (equalsIgnoringAsciiCase(text, "inf") || equalsIgnoringAsciiCase(text, "infinity"))
        return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    double number = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return negative ? -number : number;
}

class XmlReader {
public:
    Result<Value, PropertyListFailure> read(std::span<const std::uint8_t> bytes)
    {
        pugi::xml_document document;
        // Whitespace-only text is kept: a string may consist of spaces. Parsing as a fragment keeps text
        // outside the root element too, which a document parse would silently drop.
        pugi::xml_parse_result parsed = document.load_buffer(
            bytes.data(), bytes.size(), pugi::parse_default | pugi::parse_ws_pcdata | pugi::parse_fragment);
        if (!parsed)
            return fail({ E::NotXml, parsed.description(), std::size_t(parsed.offset) });
        pugi::xml_node root;
        for (pugi::xml_node child : document.children()) {
            if (child.type() == pugi::node_pcdata && trimmedSpace(child.value()).empty())
                continue;
            if (child.type() != pugi::node_element || root)
                return fail({ E::NotOnePlist });
            root = child;
        }
        if (!root || std::strcmp(root.name(), "plist") != 0)
            return fail({ E::RootNotPlist });
        pugi::xml_node top = onlyElementChild(root);
        if (m_error)
            return fail(m_error.value_or(PropertyListFailure {}));
        if (!top)
            return fail({ E::EmptyPlist });
        Value value;
        if (!readValue(top, 0, value))
            return fail(m_error.value_or(PropertyListFailure {}));
        return value;
    }

private:
    using E = PropertyListError;
    static Result<Value, PropertyListFailure> fail(PropertyListFailure failure)
    {
        return Result<Value, PropertyListFailure>::failure(std::move(failure));
    }

    // The first error stays: it is where the reading went wrong.
    bool error(PropertyListError what, std::string detail = {})
    {
        if (!m_error)
            m_error = PropertyListFailure { what, std::move(detail) };
        return false;
    }

    // The single element inside a container that may hold nothing but whitespace around it.
    pugi::xml_node onlyElementChild(pugi::xml_node parent)
    {
        pugi::xml_node found;
        for (pugi::xml_node child : parent.children()) {
            if (isIgnorable(child))
                continue;
            if (child.type() != pugi::node_element || found) {
                error(E::NotOneValue, parent.name());
                return {};
            }
            found = child;
        }
        return found;
    }

    static bool isIgnorable(pugi::xml_node node)
    {
        return node.type() == pugi::node_comment || node.type() == pugi::node_pi
            || (node.type() == pugi::node_pcdata && trimmedSpace(node.value()).empty());
    }

    // The text of an element that may hold only text (and comments between pieces of it).
    bool textOf(pugi::xml_node element, std::string& text)
    {
        text.clear();
        for (pugi::xml_node child : element.children()) {
            if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
                text += child.value();
            else if (child.type() != pugi::node_comment && child.type() != pugi::node_pi)
                return error(E::TextOnly, element.name());
        }
        return true;
    }

    bool isEmptyElement(pugi::xml_node element)
    {
        for (pugi::xml_node child : element.children()) {
            if (!isIgnorable(child))
                return false;
        }
        return true;
    }

    bool readValue(pugi::xml_node element, std::size_t depth, Value& out)
    {
        if (++m_valueCount > Value::kMaxValueCount)
            return error(E::TooManyValues);
        std::string_view name = element.name();
        std::string text;
        if (name == "dict" || name == "array") {
            if (depth >= Value::kMaxDepth)
                return error(E::TooDeep);
            return name == "dict" ? readDictionary(element, depth, out) : readArray(element, depth, out);
        }
        if (name == "true" || name == "false") {
            if (!isEmptyElement(element))
                return error(E::NotEmpty, std::string(name));
            out = Value::boolean(name == "true");
            return true;
        }
        if (!textOf(element, text))
            return false;
        if (name == "string") {
            if (!isValidUtf8(text))
                return error(E::StringNotUtf8);
            out = Value::string(std::move(text));
        } else if (name == "integer") {
            auto number = parseInteger(text);
            if (!number)
                return error(E::NotInteger, text.substr(0, 40));
            out = Value::integer(*number);
        } else if (name == "real") {
            auto number = parseReal(text);
            if (!number)
                return error(E::NotReal, text.substr(0, 40));
            out = Value::real(*number);
        } else if (name == "date") {
            auto seconds = parseIsoDate(text);
            if (!seconds)
                return error(E::NotDate, text.substr(0, 40));
            out = Value::date(*seconds);
        } else if (name == "data") {
            auto bytes = decodeBase64(text, Base64Rule::Strict);
            if (!bytes)
                return error(E::NotBase64);
            out = Value::data(std::move(*bytes));
        } else {
            return error(E::UnknownElement, std::string(name.substr(0, 40)));
        }
        return true;
    }

    bool readDictionary(pugi::xml_node element, std::size_t depth, Value& out)
    {
        Value::Dictionary entries;
        std::optional<std::string> pendingKey;
        for (pugi::xml_node child : element.children()) {
            if (isIgnorable(child))
                continue;
            if (child.type() != pugi::node_element)
                return error(E::TextInDictionary);
            if (!pendingKey) {
                if (std::strcmp(child.name(), "key") != 0)
                    return error(E::KeyExpected, child.name());
                std::string key;
                if (!textOf(child, key))
                    return false;
                if (!isValidUtf8(key))
                    return error(E::KeyNotUtf8);
                pendingKey = std::move(key);
                continue;
            }
            if (std::strcmp(child.name(), "key") == 0)
                return error(E::KeyWithoutValue, pendingKey->substr(0, 40));
            Value value;
            if (!readValue(child, depth + 1, value))
                return false;
            // A repeated key keeps its last value, as other readers of this format do.
            entries.insert_or_assign(std::move(*pendingKey), std::move(value));
            pendingKey.reset();
        }
        if (pendingKey)
            return error(E::KeyWithoutValue, pendingKey->substr(0, 40));
        out = Value::dictionary(std::move(entries));
        return true;
    }

    bool readArray(pugi::xml_node element, std::size_t depth, Value& out)
    {
        Value::Array elements;
        for (pugi::xml_node child : element.children()) {
            if (isIgnorable(child))
                continue;
            if (child.type() != pugi::node_element)
                return error(E::TextInArray);
            Value value;
            if (!readValue(child, depth + 1, value))
                return false;
            elements.push_back(std::move(value));
        }
        out = Value::array(std::move(elements));
        return true;
    }

    std::optional<PropertyListFailure> m_error;
    std::size_t m_valueCount = 0;
};

void appendEscaped(std::string& out, std::string_view text)
{
    std::string clean = sanitizedUtf8(text);
    for (char c : clean) {
        unsigned char byte = static_cast<unsigned char>(c);
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (byte < 0x20 && c != '\t' && c != '\n') {
            // A carriage return would be folded into a line feed by any reader; other control characters
            // are not allowed raw. Both travel as character references.
            char reference[8];
            std::snprintf(reference, sizeof reference, "&#%u;", unsigned(byte));
            out += reference;
        } else
            out += c;
    }
}

void appendReal(std::string& out, double number)
{
    if (std::isnan(number)) {
        out += "nan";
        return;
    }
    if (std::isinf(number)) {
        out += number < 0 ? "-infinity" : "+infinity";
        return;
    }
    // The shortest text that reads back as the same double, independent of the locale.
    char text[64];
    auto [end, error] = std::to_chars(text, text + sizeof text, number);
    out.append(text, error == std::errc() ? end : text);
}

void writeValue(std::string& out, const Value& value, int indent)
{
    out.append(std::size_t(indent), '\t');
    switch (value.type()) {
    case Value::Type::Dictionary:
        if (!value.count()) {
            out += "<dict/>\n";
            return;
        }
        out += "<dict>\n";
        for (const auto& [key, entry] : *value.asDictionary()) {
            out.append(std::size_t(indent + 1), '\t');
            out += "<key>";
            appendEscaped(out, key);
            out += "</key>\n";
            writeValue(out, entry, indent + 1);
        }
        out.append(std::size_t(indent), '\t');
        out += "</dict>\n";
        return;
    case Value::Type::Array:
        if (!value.count()) {
            out += "<array/>\n";
            return;
        }
        out += "<array>\n";
        for (const Value& element : *value.asArray())
            writeValue(out, element, indent + 1);
        out.append(std::size_t(indent), '\t');
        out += "</array>\n";
        return;
    case Value::Type::Integer:
        out += "<integer>" + std::to_string(*value.asInteger()) + "</integer>\n";
        return;
    case Value::Type::Real:
        out += "<real>";
        appendReal(out, *value.asDouble());
        out += "</real>\n";
        return;
    case Value::Type::Boolean:
        out += *value.asBool() ? "<true/>\n" : "<false/>\n";
        return;
    case Value::Type::String:
        out += "<string>";
        appendEscaped(out, *value.asString());
        out += "</string>\n";
        return;
    case Value::Type::Date:
        out += "<date>" + formatIsoDate(*value.asDate()) + "</date>\n";
        return;
    case Value::Type::Data: {
        std::string encoded = encodeBase64(*value.asData());
        out += "<data>";
        // Long data is wrapped so that the file stays readable; readers skip the whitespace.
        constexpr std::size_t kLine = 68;
        if (encoded.size() <= kLine) {
            out += encoded;
        } else {
            out += '\n';
            for (std::size_t i = 0; i < encoded.size(); i += kLine) {
                out.append(std::size_t(indent), '\t');
                out.append(encoded, i, kLine);
                out += '\n';
            }
            out.append(std::size_t(indent), '\t');
        }
        out += "</data>\n";
        return;
    }
    }
}

} // namespace

Result<Value, PropertyListFailure> readXml(std::span<const std::uint8_t> bytes) { return XmlReader().read(bytes); }

std::string writeXml(const Value& value)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n";
    writeValue(out, value, 0);
    out += "</plist>\n";
    return out;
}

} // namespace kit::plist
