#pragma once

#include "import/package/XmlPart.h"
#include "import/package/ZipArchive.h"

#include <future>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace importer {

struct Relationship {
    std::string type; // the type URI's last segment: "officeDocument", "styles", "image", "hyperlink"...
    std::string target; // a part name resolved against the source part, or the URL when external
    bool isExternal = false;
};

// The Open Packaging Conventions layer of a .docx: content types, relationships and parts. Parts are found
// the way the conventions say (the package relationship to the main document, then that part's
// relationships), never by fixed paths.
class DocxPackage {
public:
    explicit DocxPackage(ZipArchive& archive);

    // The main document part and its content type; empty when the package holds no word-processing document.
    const std::string& mainPart() const { return m_mainPart; }
    std::string contentType(std::string_view partName) const;

    // The relationships of a part, by id. Read once per part.
    const std::map<std::string, Relationship, std::less<>>& relationships(const std::string& partName);
    // The target of the source part's first relationship of this type; empty when none.
    std::string relatedPart(const std::string& sourcePart, std::string_view type);

    std::optional<std::string> readPart(std::string_view partName);
    // The main part's bytes, inflated on a thread of their own while the caller reads the other parts; get()
    // waits for them (none when they cannot be read: mainPartDamaged then says whether they are damaged).
    // whenRead, if given, runs once the read has ended, as ZipArchive::readBufferConcurrently says.
    std::future<std::optional<ZipArchive::Buffer>> readMainPartConcurrently(
        std::function<void(const ZipArchive::Buffer*)> whenRead = {});
    std::optional<XmlPart> readXmlPart(std::string_view partName);
    // A part's bytes, for a reader that parses only some of them.
    std::optional<ZipArchive::Buffer> readPartBuffer(std::string_view partName);
    // Whether reading the main part failed for a reason other than its absence.
    bool mainPartDamaged() const { return m_mainPartDamaged; }
    ZipArchive& archive() { return m_archive; }

    // Whether a content type names the main part of a word-processing document (document, template,
    // macro-enabled variants).
    static bool isWordprocessingMainType(std::string_view contentType);

private:
    void readContentTypes();
    void findMainPart();
    ZipArchive& m_archive;
    std::map<std::string, std::string, std::less<>> m_defaults; // extension (lower case) → content type
    std::map<std::string, std::string, std::less<>> m_overrides; // normalised part name → content type
    std::map<std::string, std::map<std::string, Relationship, std::less<>>, std::less<>> m_relationships;
    std::string m_mainPart;
    bool m_mainPartDamaged = false;
};

// The folder part of a part name ("word/document.xml" → "word/"); "" for a part at the root.
std::string partFolder(std::string_view partName);
// The relationships part of a part ("word/document.xml" → "word/_rels/document.xml.rels").
std::string relationshipsPartName(std::string_view partName);

} // namespace importer
