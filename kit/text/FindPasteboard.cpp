#include "kit/text/FindPasteboard.h"

#include "kit/host/Host.h"

namespace kit {

std::string FindPasteboard::string() { return Host::current().findString(); }

void FindPasteboard::setString(std::string text) { Host::current().setFindString(std::move(text)); }

namespace {

// Process-wide, as the find string is: touched on the UI thread only.
FindOptions& sharedOptions()
{
    static FindOptions options;
    return options;
}

} // namespace

FindOptions FindPasteboard::options() { return sharedOptions(); }

void FindPasteboard::setOptions(FindOptions options) { sharedOptions() = options; }

} // namespace kit
