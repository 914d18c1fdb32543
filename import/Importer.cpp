#include "import/Importer.h"

#include "import/common/ByteReader.h"
#include "import/doc/DocImporter.h"
#include "import/docx/DocxImporter.h"
#include "import/html/HtmlImporter.h"
#include "import/rtf/RtfImporter.h"
#include "import/text/TextImporter.h"

namespace importer {

ImportResult importDocument(std::span<const std::uint8_t> bytes)
{
    installRtfReader();
    ByteReader reader(bytes);
    // Containers first: their magic numbers cannot be mistaken for text.
    if (reader.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return importOle(bytes);
    if (reader.startsWith("PK\x03\x04") || reader.startsWith("PK\x05\x06"))
        return importOfficeZip(bytes);
    if (looksLikeRtf(bytes))
        return importRtf(bytes);
    if (looksLikeHtml(bytes))
        return importHtml(bytes);
    return importText(bytes);
}

void installRtfReader()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    kit::TextStorage::setRtfReader([](std::span<const std::uint8_t> bytes) -> std::shared_ptr<kit::TextStorage> {
        if (!looksLikeRtf(bytes))
            return nullptr;
        return importRtf(bytes).text;
    });
}

} // namespace importer
