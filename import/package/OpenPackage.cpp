#include "import/package/OpenPackage.h"

namespace importer {

const char* zipOpenErrorText(ZipOpenError error)
{
    switch (error) {
    case ZipOpenError::Truncated:
        return "truncated";
    case ZipOpenError::Damaged:
        return "damaged";
    case ZipOpenError::TooLarge:
        return "too large";
    case ZipOpenError::NotZip:
        break;
    }
    return "not a known format";
}

ImportResult importFromPackage(
    std::span<const std::uint8_t> bytes, const std::function<ImportResult(ZipArchive&)>& read)
{
    auto opened = ZipArchive::open(bytes);
    if (!opened.archive)
        return { nullptr, "none", zipOpenErrorText(opened.error) };
    return read(*opened.archive);
}

} // namespace importer
