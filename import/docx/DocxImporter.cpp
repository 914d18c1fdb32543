#include "import/docx/DocxImporter.h"

#include "import/common/OutputBudget.h"
#include "import/docx/DocxPackage.h"
#include "import/docx/DocxReader.h"
#include "import/package/OpenPackage.h"

namespace importer {

bool isWordPackage(ZipArchive& archive) { return archive.contains("[Content_Types].xml"); }

// WordprocessingML as ECMA-376 Part 1 describes it: the main document story (17.2), paragraphs, runs and
// their properties (17.3), tables (17.4), sections (17.6), styles (17.7), numbering (17.9), footnotes and
// endnotes (17.11), revisions (17.13.5; deletions are not shown), fields and hyperlinks (17.16), pictures
// through DrawingML's WordprocessingML drawing (20.4). The package, its content types and relationships
// follow ECMA-376 Part 2, the Open Packaging Conventions.
ImportResult importDocx(ZipArchive& archive, int embeddingDepth)
{
    return importWithBudget([&archive, embeddingDepth]() -> ImportResult {
        DocxPackage package(archive);
        if (package.mainPart().empty())
            return { nullptr, "none", ImportError::NotKnownFormat };
        return docx::DocxReader(package, embeddingDepth).read();
    });
}

ImportResult importDocx(std::span<const std::uint8_t> bytes, int embeddingDepth)
{
    return importFromPackage(
        bytes, [embeddingDepth](ZipArchive& archive) { return importDocx(archive, embeddingDepth); });
}

} // namespace importer
