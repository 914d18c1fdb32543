#include "import/package/OpenPackage.h"

namespace importer {

ImportError importError(ZipOpenError error)
{
    switch (error) {
    case ZipOpenError::Truncated:
        return ImportError::Truncated;
    case ZipOpenError::Damaged:
        return ImportError::Damaged;
    case ZipOpenError::TooLarge:
        return ImportError::TooLarge;
    case ZipOpenError::NotZip:
        break;
    }
    return ImportError::NotKnownFormat;
}

const char* errorText(ZipOpenError error) { return errorText(importError(error)); }

ImportResult importFromPackage(
    std::span<const std::uint8_t> bytes, const std::function<ImportResult(ZipArchive&)>& read)
{
    auto opened = ZipArchive::open(bytes);
    if (!opened)
        return { nullptr, "none", importError(opened.error()) };
    return read(*opened);
}

} // namespace importer
