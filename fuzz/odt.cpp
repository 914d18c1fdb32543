// Fuzzes the OpenDocument text reader: a ZIP as it is, or parts (content, styles, a picture) packed into a
// package with a text mimetype. What comes out keeps the rules of every import (OutputChecks.h).
#include "OutputChecks.h"
#include "PackageInput.h"
#include "import/odt/OdtImporter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzpackage::quietArchiveWarnings();
    std::string_view input(reinterpret_cast<const char*>(data), size);
    if (input.substr(0, 2) == "PK") {
        if (auto result = importer::importOdt({ data, size }); result.text)
            fuzzoutput::checkOutput(*result.text, "odt");
        return 0;
    }
    static const char* names[] = { "content.xml", "styles.xml", "Pictures/a.png" };
    std::vector<std::pair<std::string, std::string>> entries { { "mimetype", "application/vnd.oasis.opendocument.text" } };
    auto parts = fuzzpackage::splitParts(input);
    for (std::size_t i = 0; i < parts.size() && i < sizeof names / sizeof names[0]; ++i)
        entries.push_back({ names[i], std::move(parts[i]) });
    std::string zip = fuzzpackage::storedZip(entries);
    if (auto result = importer::importOdt({ reinterpret_cast<const std::uint8_t*>(zip.data()), zip.size() }); result.text)
        fuzzoutput::checkOutput(*result.text, "odt");
    return 0;
}
