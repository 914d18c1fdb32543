#include "kit/foundation/PropertyListError.h"

#include "kit/foundation/Value.h"

#include <iterator>

namespace kit {

namespace {

// In the order of the enum; '@' stands for the failure's detail. From BinaryUnreadable on, the text follows
// "malformed binary property list: ".
constexpr const char* kTexts[] = {
    "", // TooLarge, which names the size
    "", // NotXml, which names the parser's complaint and where
    "the document must hold one <plist> element and nothing else",
    "the root element is not <plist>",
    "<plist> holds no value",
    "<@> must hold exactly one value",
    "<@> may hold only text",
    "", // TooManyValues
    "", // TooDeep
    "<@/> must be empty",
    "a <string> is not valid UTF-8",
    "<integer> holds \"@\", not a 64-bit integer",
    "<real> holds \"@\", not a number",
    "<date> holds \"@\", not a date",
    "<data> is not base64",
    "unknown element <@>",
    "<dict> holds text outside its keys and values",
    "<dict> expected <key>, found <@>",
    "a <key> is not valid UTF-8",
    "the key \"@\" has no value",
    "<array> holds text outside its values",
    "", // BinaryUnreadable: the prefix alone
    "not a binary property list (bad header or too short)",
    "bad offset or reference size in the trailer",
    "bad object count or top object in the trailer",
    "the offset table lies outside the file",
    "an object offset lies outside the object area",
    "null and fill objects are not property-list values",
    "a truncated integer",
    "an integer beyond 64 bits",
    "a malformed real",
    "a malformed date",
    "a date outside 1933-2069",
    "truncated data",
    "a truncated string",
    "a string holding NUL",
    "a truncated container",
    "a reference to an object that does not exist",
    "a dictionary key that is not a string",
    "an object type that property lists do not use",
    "", // BinaryTooDeep
    "", // BinaryTooManyValues
    "a container refers to itself",
    "nested too deeply",
    "a string that is not valid Unicode",
    "a dictionary key that is not valid Unicode",
    "a value type that property lists do not use",
};
static_assert(std::size(kTexts) == std::size_t(PropertyListError::UnusedValueType) + 1, "one text for each error");

std::string tooDeep() { return "nested deeper than " + std::to_string(Value::kMaxDepth) + " levels"; }
std::string tooMany() { return "more than " + std::to_string(Value::kMaxValueCount) + " values"; }

} // namespace

std::string errorText(const PropertyListFailure& failure)
{
    using E = PropertyListError;
    switch (failure.error) {
    case E::TooLarge:
        return "property list larger than " + std::to_string(Value::kMaxInputBytes) + " bytes";
    case E::NotXml:
        return "not an XML document: " + failure.detail + " at byte " + std::to_string(failure.offset);
    case E::TooManyValues:
        return tooMany();
    case E::TooDeep:
        return tooDeep();
    case E::BinaryUnreadable:
        return "malformed binary property list";
    case E::BinaryTooDeep:
        return "malformed binary property list: " + tooDeep();
    case E::BinaryTooManyValues:
        return "malformed binary property list: " + tooMany() + " once references are expanded";
    default:
        break;
    }
    std::string text;
    for (const char* c = kTexts[std::size_t(failure.error)]; *c; ++c) {
        if (*c == '@')
            text += failure.detail;
        else
            text += *c;
    }
    return failure.error > E::BinaryUnreadable ? "malformed binary property list: " + text : text;
}

} // namespace kit
