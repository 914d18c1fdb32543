#pragma once

#include "kit/foundation/Value.h"

#include <filesystem>
#include <optional>
#include <string_view>

namespace kit {

// Per-user settings, one XML property list per domain at $XDG_CONFIG_HOME/<domain>.plist (~/.config when
// the variable is unset or not absolute). Nothing is cached: every read reads the file, and every write
// is complete and durable before it returns, so that several processes can share a domain:
//  - writers serialise on an exclusive flock of <domain>.plist.lock, a file that is never renamed (a lock
//    on a file that a rename replaces would not exclude the next writer);
//  - under the lock a writer re-reads the file, applies its change, writes a temporary file in the same
//    folder, fsyncs it, renames it over the plist and fsyncs the folder, so that a reader sees the old or
//    the new file, never a partial one, even after a crash;
//  - a file that is not a property list with a dictionary at its root reads as empty, and the next write
//    moves it to <domain>.plist.corrupt rather than overwriting what a user might want back.
class Preferences {
public:
    // The folder; the first write creates it (and missing parents) with mode 0700. Reads never create it.
    static std::filesystem::path folder();
    static std::filesystem::path fileForDomain(std::string_view domain);

    // The value stored under key, or nothing when the key, the file or a readable file is missing.
    static std::optional<Value> copyValue(std::string_view key, std::string_view domain);
    // Every entry of the domain (an empty dictionary when there are none).
    static Value copyDomain(std::string_view domain);

    // Stores value under key, or removes the key when value is absent. Returns whether the domain's file
    // now holds the change; a failure is also remembered for synchronize().
    static bool setValue(std::string_view key, std::optional<Value> value, std::string_view domain);

    // Writes are durable when setValue returns, so this only reports: false when a write to the domain
    // failed since the last synchronize(), or when the domain name cannot name a file.
    static bool synchronize(std::string_view domain);

    // Reads key as a boolean. Valid forms: a boolean; any number (non-zero is true); the strings "YES",
    // "true", "NO" and "false" in any case. Anything else, or no value, returns false with *valid false.
    static bool getAppBooleanValue(std::string_view key, std::string_view domain, bool* valid);

    // A domain names a file in the folder: not empty, no '/', not "." or "..", no NUL, at most 200 bytes.
    static bool isValidDomain(std::string_view domain);
};

} // namespace kit
