#include "import/Importer.h"

#include "import/common/OutputBudget.h"
#include "import/doc/DocImporter.h"
#include "import/doc/Word2Document.h"
#include "import/docx/DocxImporter.h"
#include "import/docx/WordXml2003.h"
#include "import/html/HtmlImporter.h"
#include "import/odt/FlatOpenDocument.h"
#include "import/odt/OdtImporter.h"
#include "import/package/OpenPackage.h"
#include "import/rtf/RtfImporter.h"
#include "import/sandbox/LegacyImporter.h"
#include "import/text/TextImporter.h"

#include <libxml/parser.h>
#include <optional>

namespace importer {

namespace {

// One format the importer knows from the bytes alone. A format that is a ZIP package goes in kPackages.
struct ByteFormat {
    bool (*sniff)(std::span<const std::uint8_t>);
    ImportResult (*import)(std::span<const std::uint8_t>);
    // A container or a guess that other formats share: when the reader finds the bytes are none of its
    // ("not a known format"), the rows after it try them.
    bool passesOnUnknown = false;
};
struct PackageFormat {
    bool (*sniff)(ZipArchive&);
    ImportResult (*import)(ZipArchive&);
};

// Tried in order; the first package format whose sniff accepts the archive reads it. OpenDocument comes
// first: its mimetype entry is the more specific claim.
ImportResult importOdtPackage(ZipArchive& archive) { return importOdt(archive); }
ImportResult importDocxPackage(ZipArchive& archive) { return importDocx(archive); }
constexpr PackageFormat kPackages[] = {
    { isOpenDocumentText, importOdtPackage },
    { isWordPackage, importDocxPackage },
};

ImportResult importPackage(std::span<const std::uint8_t> bytes)
{
    return importFromPackage(bytes, [](ZipArchive& archive) -> ImportResult {
        for (const auto& format : kPackages) {
            if (format.sniff(archive))
                return format.import(archive);
        }
        return { nullptr, "none", ImportError::NotKnownFormat };
    });
}

bool anyBytes(std::span<const std::uint8_t>) { return true; }

// Tried in order; the first whose sniff accepts the bytes imports them. Containers first: their magic
// numbers cannot be mistaken for text; XML formats are told by their root element (and may be UTF-16,
// which the older formats' libraries would be asked about); OLE2 and ZIP files that are not Word's or OpenDocument's (Works,
// StarOffice, Pages) go on to the libraries of older formats. Those come after every reader of our own
// and before text, which takes whatever no other format claimed.
constexpr ByteFormat kFormats[] = {
    { looksLikeOle, importOle, true },
    { looksLikeZip, importPackage, true },
    { looksLikeRtf, importRtf },
    { looksLikeFlatOpenDocument, importFlatOpenDocument, true },
    { looksLikeWordXml2003, importWordXml2003 },
    { looksLikeHtml, importHtml },
    { looksLikeWord2, importWord2 },
    { looksLikeLegacy, importLegacy, true },
    { anyBytes, importText },
};

} // namespace

ImportResult importDocument(std::span<const std::uint8_t> bytes, const ImportLimits& limits)
{
    installRtfHooks();
    return importWithBudget([bytes] {
        std::optional<ImportResult> declined;
        for (const auto& format : kFormats) {
            if (!format.sniff(bytes))
                continue;
            ImportResult result = format.import(bytes);
            if (format.passesOnUnknown && !result.text && result.error == ImportError::NotKnownFormat) {
                if (!declined)
                    declined = std::move(result);
                continue;
            }
            return result;
        }
        return declined ? *declined : ImportResult {};
    }, limits);
}

void prepareImports()
{
    installRtfHooks();
    xmlInitParser();
}

void installRtfReader()
{
    installRtfHooks();
}

} // namespace importer
