// Fuzzes the .docx reader: a ZIP as it is, or parts (document, styles, numbering, footnotes, endnotes, settings,
// a picture) packed into a package with fixed content types and relationships. What comes out keeps the
// rules of every import (OutputChecks.h).
#include "OutputChecks.h"
#include "PackageInput.h"
#include "import/docx/DocxImporter.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzpackage::quietArchiveWarnings();
    std::string_view input(reinterpret_cast<const char*>(data), size);
    if (input.substr(0, 2) == "PK") {
        if (auto result = importer::importDocx({ data, size }); result.text)
            fuzzoutput::checkOutput(*result.text, "docx");
        return 0;
    }
    static const char* names[] = { "word/document.xml", "word/styles.xml", "word/numbering.xml", "word/footnotes.xml", "word/endnotes.xml",
        "word/settings.xml", "word/media/image1.png", "word/chunk.htm" };
    std::vector<std::pair<std::string, std::string>> entries {
        { "[Content_Types].xml",
            R"(<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"><Default Extension="htm" ContentType="text/html"/>)"
            R"(<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml"/></Types>)" },
        { "_rels/.rels",
            R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/></Relationships>)" },
        { "word/_rels/document.xml.rels",
            R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" Target="styles.xml"/>)"
            R"(<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/numbering" Target="numbering.xml"/>)"
            R"(<Relationship Id="rId4" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/footnotes" Target="footnotes.xml"/>)"
            R"(<Relationship Id="rId5" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/endnotes" Target="endnotes.xml"/>)"
            R"(<Relationship Id="rId6" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/settings" Target="settings.xml"/>)"
            R"(<Relationship Id="rId7" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/image" Target="media/image1.png"/>)"
            R"(<Relationship Id="rId8" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink" Target="http://example.com/" TargetMode="External"/>)"
            R"(<Relationship Id="rId9" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/aFChunk" Target="chunk.htm"/></Relationships>)" },
    };
    auto parts = fuzzpackage::splitParts(input);
    for (std::size_t i = 0; i < parts.size() && i < sizeof names / sizeof names[0]; ++i)
        entries.push_back({ names[i], std::move(parts[i]) });
    std::string zip = fuzzpackage::storedZip(entries);
    if (auto result = importer::importDocx({ reinterpret_cast<const std::uint8_t*>(zip.data()), zip.size() }); result.text)
        fuzzoutput::checkOutput(*result.text, "docx");
    return 0;
}
