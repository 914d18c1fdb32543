#include "import/doc/DocImporter.h"

namespace importer {

// FIXME: placeholder until this format's reader lands.
ImportResult importOle(std::span<const std::uint8_t>)
{
    return { nullptr, "none", "not a known format" };
}

} // namespace importer
