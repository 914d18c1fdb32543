#pragma once

#include <cstdint>
#include <plist/plist.h>
#include <string>

namespace testsupport {

// libplist's binary form of root, which it frees: an independent producer of binary property lists.
inline std::string binaryPlist(plist_t root)
{
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    std::string binary(bytes ? std::string(bytes, length) : std::string());
    plist_to_bin_free(bytes);
    plist_free(root);
    return binary;
}

} // namespace testsupport
