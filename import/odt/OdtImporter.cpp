#include "import/odt/OdtImporter.h"

#include "import/common/OutputBudget.h"
#include "import/odt/OdtReader.h"
#include "import/package/OpenPackage.h"
#include "import/package/XmlPart.h"

namespace importer {

namespace {

std::string trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

ImportResult readOdt(ZipArchive& archive)
{
    auto read = archive.readBuffer("content.xml");
    if (!read.buffer)
        return { nullptr, "odt", read.error == ZipReadError::Missing ? ImportError::NotKnownFormat : ImportError::Damaged };
    auto content = XmlPart::parse(std::move(read.buffer->data), read.buffer->size, true);
    if (!content || !content->root().child("office:body"))
        return { nullptr, "odt", ImportError::Damaged };
    std::optional<XmlPart> styles;
    if (auto stylesRead = archive.readBuffer("styles.xml"); stylesRead.buffer)
        styles = XmlPart::parse(std::move(stylesRead.buffer->data), stylesRead.buffer->size, true);
    return odt::OdtReader(archive, std::move(*content), std::move(styles)).read();
}

} // namespace

bool isOpenDocumentText(ZipArchive& archive)
{
    if (const auto* entry = archive.find("mimetype"); entry && entry->uncompressedSize < 256) {
        auto read = archive.read("mimetype");
        if (read.bytes) {
            std::string type = trimmed(*read.bytes);
            return type == "application/vnd.oasis.opendocument.text"
                || type == "application/vnd.oasis.opendocument.text-template"
                || type == "application/vnd.oasis.opendocument.text-master";
        }
    }
    // Without a mimetype entry the content itself says what it is.
    if (!archive.contains("content.xml") || archive.contains("[Content_Types].xml"))
        return false;
    auto read = archive.read("content.xml");
    if (!read.bytes)
        return false;
    auto content = XmlPart::parse(std::move(*read.bytes), true);
    return content && content->root().child("office:body").child("office:text");
}

// OpenDocument text as ODF 1.2 Part 1 describes it: headings and paragraphs (5.1), lists (5.3), sections
// (5.4), change tracking (5.5; deletions are not shown), spaces, tabs, line breaks and spans (6.1), notes
// (6.3), tables (9.1), frames and text boxes (10.4), styles and their inheritance (16) with the formatting
// properties of 20; the package as ODF 1.2 Part 3 describes it.
ImportResult importOdt(ZipArchive& archive)
{
    return importWithBudget([&archive] { return readOdt(archive); });
}

ImportResult importOdt(std::span<const std::uint8_t> bytes)
{
    return importFromPackage(bytes, [](ZipArchive& archive) -> ImportResult {
        if (!isOpenDocumentText(archive))
            return { nullptr, "none", ImportError::NotKnownFormat };
        return importOdt(archive);
    });
}

} // namespace importer
