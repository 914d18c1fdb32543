#pragma once

#include "kit/foundation/Value.h"

#include <cstdint>

// The display's pixels per inch from its mode ("Width", "Height") and its physical image size. Returns 0
// and writes both outputs on success; returns 1000 and leaves them untouched when the display has no
// information, reports a zero size, or a density outside 50-600 pixels per inch (monitors that report bogus
// sizes would otherwise zoom the pages to absurd scales).
int GetDisplayDPI(const kit::Value& displayModeDict, std::uint32_t displayID, double* horizontalDPI, double* verticalDPI);

// Exposed for tests: the dictionary's number under key as a 32-bit integer, or 0.
int GetIntFromDictionaryForKeyForTesting(const kit::Value& dictionary, const char* key);
