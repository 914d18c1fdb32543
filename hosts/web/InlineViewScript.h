#pragma once

#include "hosts/common/HostPage.h"

#include <string>

namespace hosts {

// The JavaScript world the web host's scripts run in: the page's own scripts cannot see it, reach its
// message handler or change what its code reads (its globals are its own).
inline constexpr const char* kInlineViewWorld = "lectorin";
// The scheme that serves inline views: lectorin-embed://<token>/...
inline constexpr const char* kInlineViewScheme = "lectorin-embed";
// The message handler of that world.
inline constexpr const char* kInlineViewHandler = "lectorin";

// The user script (all frames, at document start, in kInlineViewWorld). In a page frame it replaces every
// <embed> and <object> the plug-in claims (by type, else by the extension of src/data) by an <iframe> of the
// same box, also for elements the page's scripts add later; the host answers the view's URL. In a frame of
// kInlineViewScheme it turns trusted clicks on the view's controls into commands for its own token.
std::string inlineViewScript(const ClaimedTypes& claimed);

} // namespace hosts
