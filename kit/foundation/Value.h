#pragma once

#include "kit/foundation/PropertyListError.h"
#include "kit/foundation/Result.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace kit {

// A property-list value: dictionary (string keys, sorted), array, integer, real, boolean, string (UTF-8),
// date or data. Values are plain data: copying a dictionary copies everything inside it.
class Value {
public:
    enum class Type { Dictionary, Array, Integer, Real, Boolean, String, Date, Data };

    using Array = std::vector<Value>;
    using Dictionary = std::map<std::string, Value, std::less<>>;
    using Bytes = std::vector<std::uint8_t>;

    // Limits applied to every property list read, so that hostile bytes cost bounded memory and stack.
    static constexpr std::size_t kMaxInputBytes = 16 * 1024 * 1024;
    static constexpr std::size_t kMaxDepth = 256; // nested dictionaries and arrays
    static constexpr std::size_t kMaxValueCount = 1 << 20;

    // Dates are seconds since 2001-01-01 00:00:00 UTC, held as whole seconds (rounded down) between the
    // years 1 and 9999, so that what is stored reads back identical and compares equal after truncation.
    static constexpr double kMinDate = -63113904000.0; // 0001-01-01T00:00:00Z
    static constexpr double kMaxDate = 252423993599.0; // 9999-12-31T23:59:59Z

    // An empty dictionary.
    Value();
    static Value dictionary(Dictionary entries = {});
    static Value array(Array elements = {});
    static Value integer(std::int64_t);
    static Value real(double);
    static Value boolean(bool);
    static Value string(std::string);
    // Rounds down to whole seconds and clamps to [kMinDate, kMaxDate]; NaN becomes 0 (the reference date).
    static Value date(double secondsSince2001);
    static Value data(Bytes);

    Type type() const;
    static const char* typeName(Type);

    bool isDictionary() const { return type() == Type::Dictionary; }
    bool isArray() const { return type() == Type::Array; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isReal() const { return type() == Type::Real; }
    bool isNumber() const { return isInteger() || isReal(); }
    bool isBoolean() const { return type() == Type::Boolean; }
    bool isString() const { return type() == Type::String; }
    bool isDate() const { return type() == Type::Date; }
    bool isData() const { return type() == Type::Data; }

    // Each accessor answers only for its own type; no accessor converts between types except that
    // asDouble() reads an integer too (as a number conversion would).
    std::optional<double> asDouble() const;
    std::optional<std::int64_t> asInteger() const;
    std::optional<bool> asBool() const;
    const std::string* asString() const;
    std::optional<double> asDate() const;
    const Bytes* asData() const;
    const Array* asArray() const;
    Array* asArray();
    const Dictionary* asDictionary() const;
    Dictionary* asDictionary();

    // nullptr unless this is a dictionary holding key.
    const Value* get(std::string_view key) const;
    // nullptr unless this is an array longer than index.
    const Value* at(std::size_t index) const;
    // Entries of a dictionary or elements of an array; 0 for every other type.
    std::size_t count() const;

    // Mutators of containers; calling them on another type is a programming error (asserted).
    void set(std::string key, Value value);
    bool remove(std::string_view key);
    void append(Value value);

    // Reads an XML or binary property list. Every value is checked for its type and content; anything
    // malformed, truncated, nested deeper than kMaxDepth or larger than the caps is refused as a whole.
    static Result<Value, PropertyListFailure> fromPropertyList(std::span<const std::uint8_t> bytes);
    static Result<Value, PropertyListFailure> fromPropertyList(std::string_view bytes);

    // An XML property list (UTF-8) that fromPropertyList reads back equal. Strings that are not valid UTF-8
    // or hold NUL have those bytes replaced by U+FFFD, since XML cannot carry them.
    std::string toXmlPropertyList() const;

    // Deep equality; reals compare as doubles (so NaN differs from itself).
    bool operator==(const Value&) const;

private:
    struct DateSeconds {
        double seconds;
        bool operator==(const DateSeconds&) const = default;
    };
    using Storage = std::variant<Dictionary, Array, std::int64_t, double, bool, std::string, DateSeconds, Bytes>;
    explicit Value(Storage storage);
    Storage m_storage;
};

} // namespace kit
