#include "import/docx/DocxImporter.h"

namespace importer {

// FIXME: placeholder until this format's reader lands.
ImportResult importOfficeZip(std::span<const std::uint8_t>)
{
    return { nullptr, "none", "not a known format" };
}

} // namespace importer
