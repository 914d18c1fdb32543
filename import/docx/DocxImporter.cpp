#include "import/docx/DocxImporter.h"

#include "import/docx/DocxPackage.h"
#include "import/docx/DocxReader.h"
#include "import/odt/OdtImporter.h"
#include "import/zip/ZipArchive.h"

namespace importer {

ImportResult importOfficeZip(std::span<const std::uint8_t> bytes)
{
    return importOfficeZip(bytes, 0);
}

ImportResult importOfficeZip(std::span<const std::uint8_t> bytes, int embeddingDepth)
{
    auto opened = ZipArchive::open(bytes);
    if (!opened.archive) {
        switch (opened.error) {
        case ZipOpenError::Truncated:
            return { nullptr, "none", "truncated" };
        case ZipOpenError::Damaged:
            return { nullptr, "none", "damaged" };
        case ZipOpenError::TooLarge:
            return { nullptr, "none", "too large" };
        case ZipOpenError::NotZip:
            break;
        }
        return { nullptr, "none", "not a known format" };
    }
    ZipArchive& archive = *opened.archive;
    if (isOpenDocumentText(archive))
        return importOdt(archive);
    DocxPackage package(archive);
    if (package.mainPart().empty())
        return { nullptr, "none", "not a known format" };
    return docx::DocxReader(package, embeddingDepth).read();
}

} // namespace importer
