#pragma once

#include "kit/text/TextFinder.h"

#include <string>

namespace kit {

// The process-wide find string that every text view searches for. It is the host's: the host's find bar
// shows and edits the same text.
class FindPasteboard {
public:
    static std::string string();
    static void setString(std::string text);
    // How every text view compares the find string (the find bar's match case and whole words).
    static FindOptions options();
    static void setOptions(FindOptions options);
};

} // namespace kit
