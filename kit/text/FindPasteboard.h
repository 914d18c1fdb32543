#pragma once

#include <string>

namespace kit {

// The process-wide find string that every text view searches for. It is the host's: the host's find bar
// shows and edits the same text.
class FindPasteboard {
public:
    static std::string string();
    static void setString(std::string text);
};

} // namespace kit
