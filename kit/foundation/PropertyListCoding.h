#pragma once

// The property-list readers and writer behind Value, and the text forms they share. Internal to kit.

#include "kit/foundation/Utf8.h"
#include "kit/foundation/Value.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kit::plist {

// Both readers apply Value's caps on depth and value count; the caller has already checked the size.
Result<Value, PropertyListFailure> readXml(std::span<const std::uint8_t> bytes);
Result<Value, PropertyListFailure> readBinary(std::span<const std::uint8_t> bytes);
std::string writeXml(const Value&);

// "YYYY-MM-DDTHH:MM:SSZ" (UTC) <-> whole seconds since 2001-01-01T00:00:00Z. The parser accepts exactly
// that form with a real calendar date (leap years included) and a year from 0001 to 9999.
std::string formatIsoDate(double secondsSince2001);
std::optional<double> parseIsoDate(std::string_view);

// Replaces each bad UTF-8 byte (kit::sanitizeUtf8's rule) and each NUL with U+FFFD.
std::string sanitizedUtf8(std::string_view);

} // namespace kit::plist
