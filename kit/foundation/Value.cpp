#include "kit/foundation/Value.h"

#include "kit/foundation/PropertyListCoding.h"

#include <cassert>
#include <cmath>
#include <cstring>

namespace kit {

Value::Value()
    : m_storage(Dictionary {})
{
}

Value::Value(Storage storage)
    : m_storage(std::move(storage))
{
}

Value Value::dictionary(Dictionary entries) { return Value(Storage(std::in_place_index<0>, std::move(entries))); }
Value Value::array(Array elements) { return Value(Storage(std::in_place_index<1>, std::move(elements))); }
Value Value::integer(std::int64_t number) { return Value(Storage(std::in_place_index<2>, number)); }
Value Value::real(double number) { return Value(Storage(std::in_place_index<3>, number)); }
Value Value::boolean(bool flag) { return Value(Storage(std::in_place_index<4>, flag)); }
Value Value::string(std::string text) { return Value(Storage(std::in_place_index<5>, std::move(text))); }
Value Value::data(Bytes bytes) { return Value(Storage(std::in_place_index<7>, std::move(bytes))); }

Value Value::date(double secondsSince2001)
{
    double seconds = std::isnan(secondsSince2001) ? 0.0 : std::floor(secondsSince2001);
    seconds = std::min(std::max(seconds, kMinDate), kMaxDate);
    return Value(Storage(std::in_place_index<6>, DateSeconds { seconds }));
}

Value::Type Value::type() const { return static_cast<Type>(m_storage.index()); }

const char* Value::typeName(Type type)
{
    switch (type) {
    case Type::Dictionary:
        return "dictionary";
    case Type::Array:
        return "array";
    case Type::Integer:
        return "integer";
    case Type::Real:
        return "real";
    case Type::Boolean:
        return "boolean";
    case Type::String:
        return "string";
    case Type::Date:
        return "date";
    case Type::Data:
        return "data";
    }
    return "unknown";
}

std::optional<double> Value::asDouble() const
{
    if (auto* number = std::get_if<double>(&m_storage))
        return *number;
    if (auto* number = std::get_if<std::int64_t>(&m_storage))
        return static_cast<double>(*number);
    return std::nullopt;
}

std::optional<std::int64_t> Value::asInteger() const
{
    if (auto* number = std::get_if<std::int64_t>(&m_storage))
        return *number;
    return std::nullopt;
}

std::optional<bool> Value::asBool() const
{
    if (auto* flag = std::get_if<bool>(&m_storage))
        return *flag;
    return std::nullopt;
}

const std::string* Value::asString() const { return std::get_if<std::string>(&m_storage); }

std::optional<double> Value::asDate() const
{
    if (auto* date = std::get_if<DateSeconds>(&m_storage))
        return date->seconds;
    return std::nullopt;
}

const Value::Bytes* Value::asData() const { return std::get_if<Bytes>(&m_storage); }
const Value::Array* Value::asArray() const { return std::get_if<Array>(&m_storage); }
Value::Array* Value::asArray() { return std::get_if<Array>(&m_storage); }
const Value::Dictionary* Value::asDictionary() const { return std::get_if<Dictionary>(&m_storage); }
Value::Dictionary* Value::asDictionary() { return std::get_if<Dictionary>(&m_storage); }

const Value* Value::get(std::string_view key) const
{
    auto* entries = asDictionary();
    if (!entries)
        return nullptr;
    auto found = entries->find(key);
    return found == entries->end() ? nullptr : &found->second;
}

const Value* Value::at(std::size_t index) const
{
    auto* elements = asArray();
    if (!elements || index >= elements->size())
        return nullptr;
    return &(*elements)[index];
}

std::size_t Value::count() const
{
    if (auto* entries = asDictionary())
        return entries->size();
    if (auto* elements = asArray())
        return elements->size();
    return 0;
}

void Value::set(std::string key, Value value)
{
    auto* entries = asDictionary();
    assert(entries);
    if (entries)
        entries->insert_or_assign(std::move(key), std::move(value));
}

bool Value::remove(std::string_view key)
{
    auto* entries = asDictionary();
    assert(entries);
    if (!entries)
        return false;
    auto found = entries->find(key);
    if (found == entries->end())
        return false;
    entries->erase(found);
    return true;
}

void Value::append(Value value)
{
    auto* elements = asArray();
    assert(elements);
    if (elements)
        elements->push_back(std::move(value));
}

bool Value::operator==(const Value& other) const { return m_storage == other.m_storage; }

Result<Value, PropertyListFailure> Value::fromPropertyList(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > kMaxInputBytes)
        return Result<Value, PropertyListFailure>::failure({ PropertyListError::TooLarge });
    if (bytes.size() >= 6 && std::memcmp(bytes.data(), "bplist", 6) == 0)
        return plist::readBinary(bytes);
    return plist::readXml(bytes);
}

Result<Value, PropertyListFailure> Value::fromPropertyList(std::string_view bytes)
{
    return fromPropertyList(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
}

std::string Value::toXmlPropertyList() const { return plist::writeXml(*this); }

} // namespace kit
