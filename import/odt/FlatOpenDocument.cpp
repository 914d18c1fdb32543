#include "import/odt/FlatOpenDocument.h"

#include "import/common/OutputBudget.h"
#include "import/odt/OdtReader.h"
#include "import/package/XmlPart.h"
#include "import/package/XmlRoot.h"
#include "import/package/ZipWriter.h"

namespace importer {

namespace {

constexpr std::string_view kOfficeNamespace = "urn:oasis:names:tc:opendocument:xmlns:office:1.0";

// A flat document has no other parts: a picture it links by a relative name is looked for in this empty
// archive and becomes a placeholder, as a missing part of a package does.
std::optional<ZipArchive> emptyArchive()
{
    // libgsf opens no archive without an entry; the archive does not own its bytes, which live on.
    static const std::vector<std::uint8_t> kBytes = buildZip({ { "mimetype", "application/vnd.oasis.opendocument.text", false } });
    auto opened = ZipArchive::open(kBytes);
    return opened ? std::optional<ZipArchive>(std::move(*opened)) : std::nullopt;
}

ImportResult readFlatOpenDocument(std::span<const std::uint8_t> bytes)
{
    auto content = XmlPart::parse(std::string(bytes.begin(), bytes.end()), true);
    if (!content)
        return { nullptr, "fodt", ImportError::Damaged };
    // A flat document of another kind that did not say so.
    if (!content->root().child("office:body").child("office:text"))
        return { nullptr, "none", ImportError::NotKnownFormat };
    auto archive = emptyArchive();
    if (!archive)
        return { nullptr, "fodt", ImportError::Damaged };
    ImportResult result = odt::OdtReader(*archive, std::move(*content), std::nullopt, true).read();
    result.format = "fodt";
    return result;
}

} // namespace

bool looksLikeFlatOpenDocument(std::span<const std::uint8_t> bytes)
{
    auto root = xmlRootElement(bytes);
    if (!root || root->localName() != "document" || root->namespaceUri() != kOfficeNamespace)
        return false;
    // Without a declared type the body says what it is; the reader then finds out.
    std::string_view type;
    for (const auto& [name, value] : root->attributes) {
        if (name.size() > 9 && std::string_view(name).substr(name.size() - 9) == ":mimetype")
            type = value;
    }
    return type.empty() || type == "application/vnd.oasis.opendocument.text"
        || type == "application/vnd.oasis.opendocument.text-template"
        || type == "application/vnd.oasis.opendocument.text-master";
}

ImportResult importFlatOpenDocument(std::span<const std::uint8_t> bytes)
{
    return importWithBudget([bytes] { return readFlatOpenDocument(bytes); });
}

} // namespace importer
