#pragma once

#include "kit/foundation/Value.h"

#include <cstdint>
#include <optional>

namespace kit {

// The display services the zoom reads, answered from Host::current().mainDisplay(): the main display's
// id, its current mode as a dictionary ("Width", "Height" in logical pixels) and an information dictionary
// ("DisplayHorizontalImageSize", "DisplayVerticalImageSize" in millimetres).
namespace DisplayServices {

using DisplayID = std::uint32_t;

DisplayID mainDisplayID();
// The mode dictionary stays owned here, valid until the next call for the same display.
const Value* currentMode(DisplayID display);
// 0 when the display has no service (no display, or nothing known about it).
std::uint32_t ioServicePort(DisplayID display);
// A new dictionary the caller owns, or nothing when the service is unknown.
std::optional<Value> createInfoDictionary(std::uint32_t service, std::uint32_t options);

} // namespace DisplayServices

} // namespace kit
