#pragma once

#include "hosts/common/HostPage.h"
#include "kit/foundation/Value.h"
#include "kit/net/URL.h"

#include <optional>
#include <string>

namespace hosts {

// What every host makes of a page argument before it shows anything: the URL it names, the types the
// plug-in claims, and the arguments a plug-in view is created with.

// A path or URL as the command line gives it: a string with a scheme is a URL, anything else a path
// (relative to the current folder). Nothing for a URL that cannot be read.
std::optional<kit::URL> urlForPageArgument(const std::string& page);

// The bundled sample page shown when no page is given (a path).
std::string defaultPage();

// The claimed MIME types and extensions from the plug-in bundle's Info.plist.
ClaimedTypes claimedTypesFromBundle();

} // namespace hosts
