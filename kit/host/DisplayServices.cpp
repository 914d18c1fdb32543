#include "kit/host/DisplayServices.h"

#include "kit/host/Host.h"

#include <map>

namespace kit::DisplayServices {

namespace {

// The one main display has id 1; its service port is 1 when the host knows the display at all.
constexpr DisplayID kMainDisplay = 1;

} // namespace

DisplayID mainDisplayID()
{
    return kMainDisplay;
}

const Value* currentMode(DisplayID display)
{
    static std::map<DisplayID, Value> modes;
    DisplayInfo info = display == kMainDisplay ? Host::current().mainDisplay() : DisplayInfo {};
    Value mode = Value::dictionary();
    mode.set("Width", Value::integer(info.present ? info.widthPixels : 0));
    mode.set("Height", Value::integer(info.present ? info.heightPixels : 0));
    return &(modes[display] = std::move(mode));
}

std::uint32_t ioServicePort(DisplayID display)
{
    if (display != kMainDisplay || !Host::current().mainDisplay().present)
        return 0;
    return 1;
}

std::optional<Value> createInfoDictionary(std::uint32_t service, std::uint32_t)
{
    if (service != 1)
        return std::nullopt;
    DisplayInfo display = Host::current().mainDisplay();
    if (!display.present)
        return std::nullopt;
    Value info = Value::dictionary();
    info.set("DisplayHorizontalImageSize", Value::integer(display.widthMillimetres));
    info.set("DisplayVerticalImageSize", Value::integer(display.heightMillimetres));
    return info;
}

} // namespace kit::DisplayServices
