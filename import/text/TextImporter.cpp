#include "import/text/TextImporter.h"

namespace importer {

// FIXME: placeholder until this format's reader lands.
ImportResult importText(std::span<const std::uint8_t>)
{
    return { nullptr, "none", "not a known format" };
}

} // namespace importer
