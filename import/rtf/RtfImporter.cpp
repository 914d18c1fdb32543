#include "import/rtf/RtfImporter.h"

namespace importer {

// FIXME: placeholder until this format's reader lands.
ImportResult importRtf(std::span<const std::uint8_t>)
{
    return { nullptr, "none", "not a known format" };
}

} // namespace importer

namespace importer {
bool looksLikeRtf(std::span<const std::uint8_t>)
{
    return false;
}
} // namespace importer
