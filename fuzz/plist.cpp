// Property lists as preferences files and bundles hold them, XML or binary: both readers through Value's
// entry, with its caps on depth and value count. What reads must write as XML that reads back and writes
// the same XML again (a preferences file is written back after every change; a value XML cannot carry
// exactly, a NaN or a string that is not UTF-8, changes once and then stays).
#include "kit/foundation/Value.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto value = kit::Value::fromPropertyList(std::span<const std::uint8_t>(data, size));
    if (!value)
        return 0;
    std::string xml = value->toXmlPropertyList();
    auto again = kit::Value::fromPropertyList(std::string_view(xml));
    if (!again || again->toXmlPropertyList() != xml) {
        std::fprintf(stderr, "plist: rule broken: what reads writes as XML that reads back and writes the same\n");
        std::abort();
    }
    return 0;
}
