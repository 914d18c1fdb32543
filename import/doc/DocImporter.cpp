#include "import/doc/DocImporter.h"

#include "import/common/OutputBudget.h"
#include "import/doc/OleStorage.h"
#include "import/doc/WordDocument.h"

namespace importer {

bool looksLikeOle(std::span<const std::uint8_t> bytes)
{
    return ByteReader(bytes).startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1");
}

namespace {

ImportResult readOle(std::span<const std::uint8_t> bytes)
{
    ImportResult result;
    auto storage = doc::OleStorage::open(bytes);
    if (!storage) {
        result.error = ImportError::Truncated;
        return result;
    }
    // A password-protected Office Open XML package travels in an OLE2 file of its own.
    if (storage->hasStream("EncryptedPackage")) {
        result.error = ImportError::Encrypted;
        return result;
    }
    auto wordDocument = storage->readStream("WordDocument");
    if (!wordDocument) {
        result.error = ImportError::NotKnownFormat;
        return result;
    }
    result.format = "doc";
    auto parsed = doc::Fib::parse(ByteReader(wordDocument->bytes));
    if (!parsed) {
        result.error = doc::importError(parsed.error());
        return result;
    }
    if (parsed->isEncrypted) {
        result.error = ImportError::Encrypted;
        return result;
    }
    doc::WordDocument document;
    document.fib = *parsed;
    document.isTruncated = !wordDocument->isComplete;
    document.wordDocumentBytes = std::move(wordDocument->bytes);
    if (document.fib.version == doc::WordVersion::Word97) {
        // The FIB names one of two table streams; both can exist when Word left the old one behind.
        auto table = storage->readStream(document.fib.usesTable1 ? "1Table" : "0Table");
        if (!table) {
            result.error = ImportError::Truncated;
            return result;
        }
        document.isTruncated = document.isTruncated || !table->isComplete;
        document.tableBytes = std::move(table->bytes);
        if (auto data = storage->readStream("Data"))
            document.dataBytes = std::move(data->bytes);
    }
    return doc::importWordDocument(document);
}

} // namespace

// The Word binary reader follows [MS-DOC]: the Fib (2.5.1) locates the table stream's structures; text comes
// from the piece table, the Clx (2.9.38), as "Retrieving Text" (2.4.1) describes; paragraphs end as
// "Determining Paragraph Boundaries" (2.4.2) says; properties are applied as "Applying Properties" (2.4.6)
// says, from the style sheet, the FKPs and the Prl lists of single property modifiers (2.6). Word 6 and 95
// files keep an older FIB and 8-bit text of the same layout; the compound file itself ([MS-CFB]) is libgsf's.
ImportResult importOle(std::span<const std::uint8_t> bytes)
{
    return importWithBudget([bytes] { return readOle(bytes); });
}

} // namespace importer
