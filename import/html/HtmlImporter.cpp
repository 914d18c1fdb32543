#include "import/html/HtmlImporter.h"

namespace importer {

// FIXME: placeholder until this format's reader lands.
ImportResult importHtml(std::span<const std::uint8_t>)
{
    return { nullptr, "none", "not a known format" };
}

} // namespace importer

namespace importer {
bool looksLikeHtml(std::span<const std::uint8_t>)
{
    return false;
}
} // namespace importer
