#include "import/docx/DocxImporter.h"

#include "import/common/OutputBudget.h"
#include "import/docx/DocxPackage.h"
#include "import/docx/DocxReader.h"
#include "import/package/OpenPackage.h"

namespace importer {

bool isWordPackage(ZipArchive& archive) { return archive.contains("[Content_Types].xml"); }

ImportResult importDocx(ZipArchive& archive, int embeddingDepth)
{
    return importWithBudget([&archive, embeddingDepth]() -> ImportResult {
        DocxPackage package(archive);
        if (package.mainPart().empty())
            return { nullptr, "none", "not a known format" };
        return docx::DocxReader(package, embeddingDepth).read();
    });
}

ImportResult importDocx(std::span<const std::uint8_t> bytes, int embeddingDepth)
{
    return importFromPackage(
        bytes, [embeddingDepth](ZipArchive& archive) { return importDocx(archive, embeddingDepth); });
}

} // namespace importer
