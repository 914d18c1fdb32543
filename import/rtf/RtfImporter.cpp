#include "import/rtf/RtfImporter.h"

#include "import/common/ByteReader.h"
#include "import/common/OutputBudget.h"
#include "import/rtf/RtfReader.h"
#include "import/rtf/RtfWriter.h"
#include "kit/text/RtfWriterHook.h"

namespace importer {

bool looksLikeRtf(std::span<const std::uint8_t> bytes)
{
    ByteReader reader(bytes);
    std::size_t offset = reader.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    // Leading white space is tolerated, as word processors do; anything else means it is not RTF.
    while (offset < bytes.size()
        && (bytes[offset] == ' ' || bytes[offset] == '\t' || bytes[offset] == '\r' || bytes[offset] == '\n'))
        ++offset;
    return reader.startsWith("{\\rtf", offset);
}

// RTF after the RTF 1.9.1 description: the header's font table (each font's \fcharset chooses its code page),
// colour table, style sheet and list tables; then the document area's section, paragraph and character
// formatting, tables, pictures, fields, footnotes and the \uN escapes with their \ucN fallbacks. A \*
// destination the reader does not know is skipped whole.
ImportResult importRtf(std::span<const std::uint8_t> bytes)
{
    if (!looksLikeRtf(bytes))
        return { nullptr, "none", ImportError::NotKnownFormat };
    return importWithBudget([bytes]() -> ImportResult {
        rtf::RtfReader reader(bytes);
        return { reader.read(), "rtf", ImportError::None };
    });
}

void installRtfHooks()
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
    kit::setRtfWriter(rtf::writeRtf);
}

} // namespace importer
