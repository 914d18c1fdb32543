#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kit {

// Why bytes are not a property list we read: larger than we read, a broken XML form or a broken binary
// one. errorText spells each; the binary form's say "malformed binary property list" first.
enum class PropertyListError : std::uint8_t {
    TooLarge,

    // The XML form.
    NotXml, // detail: the XML parser's complaint; offset: the byte where it stopped
    NotOnePlist,
    RootNotPlist,
    EmptyPlist,
    NotOneValue, // detail: the element that must hold one value
    TextOnly, // detail: the element that may hold only text
    TooManyValues,
    TooDeep,
    NotEmpty, // detail: the element that must be empty
    StringNotUtf8,
    NotInteger, // detail: the text, at most 40 bytes of it
    NotReal, // detail: the text
    NotDate, // detail: the text
    NotBase64,
    UnknownElement, // detail: its name
    TextInDictionary,
    KeyExpected, // detail: the element found instead
    KeyNotUtf8,
    KeyWithoutValue, // detail: the key, at most 40 bytes of it
    TextInArray,

    // The binary form.
    BinaryUnreadable,
    NotBinary,
    BadTrailerSizes,
    BadTrailerCounts,
    OffsetTableOutside,
    ObjectOutside,
    NullObject,
    TruncatedInteger,
    WideInteger,
    MalformedReal,
    MalformedDate,
    DateOutOfRange,
    TruncatedData,
    TruncatedString,
    StringWithNul,
    TruncatedContainer,
    MissingObject,
    KeyNotString,
    UnknownObjectType,
    BinaryTooDeep,
    BinaryTooManyValues,
    SelfReference,
    NestedTooDeeply,
    StringNotUnicode,
    KeyNotUnicode,
    UnusedValueType,
};

struct PropertyListFailure {
    PropertyListError error = PropertyListError::NotXml;
    std::string detail; // what the error names: an element, a key, a value's text, the parser's complaint
    std::size_t offset = 0;
};

std::string errorText(const PropertyListFailure& failure);

} // namespace kit
