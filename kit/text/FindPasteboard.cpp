#include "kit/text/FindPasteboard.h"

#include "kit/host/Host.h"

namespace kit {

std::string FindPasteboard::string() { return Host::current().findString(); }

void FindPasteboard::setString(std::string text) { Host::current().setFindString(std::move(text)); }

} // namespace kit
