#include "pageview/DisplayResolution.h"

#include "kit/host/DisplayServices.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kMinimumPlausibleDPI = 50;
constexpr double kMaximumPlausibleDPI = 600;

// A stored number read as a 32-bit int the way a number conversion does: reals truncate, out-of-range
// values saturate. Anything that is not a number, and an absent key, read as 0.
int GetIntFromDictionaryForKey(const kit::Value& dictionary, const char* key)
{
    const kit::Value* value = dictionary.get(key);
    if (!value || !value->isNumber())
        return 0;
    double number = value->isInteger() ? double(*value->asInteger()) : *value->asDouble();
    if (std::isnan(number))
        return 0;
    if (number >= double(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (number <= double(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return int(number);
}

} // namespace

int GetIntFromDictionaryForKeyForTesting(const kit::Value& dictionary, const char* key)
{
    return GetIntFromDictionaryForKey(dictionary, key);
}

int GetDisplayDPI(const kit::Value& displayModeDict, std::uint32_t displayID, double* horizontalDPI, double* verticalDPI)
{
    int result = 1000;
    std::uint32_t service = kit::DisplayServices::ioServicePort(displayID);
    if (!service)
        return result;
    std::optional<kit::Value> info = kit::DisplayServices::createInfoDictionary(service, 0);
    if (!info)
        return result;
    double widthInches = double(GetIntFromDictionaryForKey(*info, "DisplayHorizontalImageSize")) / 25.4;
    double heightInches = double(GetIntFromDictionaryForKey(*info, "DisplayVerticalImageSize")) / 25.4;
    info.reset();
    // A zero size means the display does not know it: no finite density can come of it.
    if (!(widthInches > 0) || !(heightInches > 0))
        return result;
    double horizontal = double(GetIntFromDictionaryForKey(displayModeDict, "Width")) / widthInches;
    double vertical = double(GetIntFromDictionaryForKey(displayModeDict, "Height")) / heightInches;
    auto plausible = [](double dpi) { return dpi >= kMinimumPlausibleDPI && dpi <= kMaximumPlausibleDPI; };
    if (!plausible(horizontal) || !plausible(vertical))
        return result;
    *horizontalDPI = horizontal;
    *verticalDPI = vertical;
    return 0;
}
