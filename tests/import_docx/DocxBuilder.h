#pragma once

// Builds small .docx packages from WordprocessingML fragments for the importer's tests.

#include "ZipBuilder.h"
#include "import/Importer.h"
#include "import/common/Dump.h"
#include "import/docx/DocxImporter.h"
#include "support/PngBytes.h"

#include <cairo.h>

#include <string>
#include <vector>

namespace testdocx {

inline const char* kNamespaces = R"( xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main")"
                                 R"( xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships")"
                                 R"( xmlns:wp="http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing")"
                                 R"( xmlns:a="http://schemas.openxmlformats.org/drawingml/2006/main")"
                                 R"( xmlns:pic="http://schemas.openxmlformats.org/drawingml/2006/picture")"
                                 R"( xmlns:mc="http://schemas.openxmlformats.org/markup-compatibility/2006")"
                                 R"( xmlns:wps="http://schemas.microsoft.com/office/word/2010/wordprocessingShape")"
                                 R"( xmlns:v="urn:schemas-microsoft-com:vml" xmlns:o="urn:schemas-microsoft-com:office:office")"
                                 R"( xmlns:m="http://schemas.openxmlformats.org/officeDocument/2006/math")";

struct Relationship {
    std::string id, type, target;
    bool external = false;
};

struct Parts {
    std::string body; // inside w:body
    std::string beforeBody; // elements of w:document before w:body: w:background
    std::string styles; // inside w:styles; no part when empty
    std::string numbering; // inside w:numbering
    std::string footnotes, endnotes; // inside w:footnotes / w:endnotes
    std::string settings; // inside w:settings
    std::string theme; // a whole theme part
    std::string mainPath = "word/document.xml";
    std::string mainType = "application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml";
    std::vector<Relationship> relationships; // of the main part, besides those of the parts above
    std::vector<testzip::Entry> extra; // media and other parts
    std::vector<std::pair<std::string, std::string>> contentTypes; // extra overrides: part name, type
};

inline std::string folderOf(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

inline std::vector<std::uint8_t> build(const Parts& parts)
{
    std::vector<testzip::Entry> entries;
    std::string folder = folderOf(parts.mainPath);
    std::string file = parts.mainPath.substr(folder.size());
    std::string types = R"(<?xml version="1.0" encoding="UTF-8"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">)"
                        R"(<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>)"
                        R"(<Default Extension="xml" ContentType="application/xml"/><Default Extension="png" ContentType="image/png"/>)"
                        R"(<Default Extension="emf" ContentType="image/x-emf"/><Default Extension="htm" ContentType="text/html"/>)"
                        R"(<Override PartName="/)"
        + parts.mainPath + R"(" ContentType=")" + parts.mainType + R"("/>)";
    for (const auto& [name, type] : parts.contentTypes)
        types += R"(<Override PartName="/)" + name + R"(" ContentType=")" + type + R"("/>)";
    types += "</Types>";
    entries.push_back({ "[Content_Types].xml", types });
    entries.push_back({ "_rels/.rels",
        R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
        R"(<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target=")"
            + parts.mainPath + R"("/></Relationships>)" });
    entries.push_back({ parts.mainPath,
        std::string(R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document)") + kNamespaces + ">" + parts.beforeBody + "<w:body>" + parts.body
            + "</w:body></w:document>" });

    std::vector<Relationship> relationships = parts.relationships;
    const std::string base = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    auto addPart = [&](const std::string& content, const char* element, const char* name, const char* type) {
        if (content.empty())
            return;
        entries.push_back({ folder + name,
            std::string(R"(<?xml version="1.0"?><w:)") + element + kNamespaces + ">" + content + "</w:" + element + ">" });
        relationships.push_back({ std::string("rIdPart") + name, base + type, name });
    };
    addPart(parts.styles, "styles", "styles.xml", "styles");
    addPart(parts.numbering, "numbering", "numbering.xml", "numbering");
    addPart(parts.footnotes, "footnotes", "footnotes.xml", "footnotes");
    addPart(parts.endnotes, "endnotes", "endnotes.xml", "endnotes");
    addPart(parts.settings, "settings", "settings.xml", "settings");
    if (!parts.theme.empty()) {
        entries.push_back({ folder + "theme/theme1.xml", parts.theme });
        relationships.push_back({ "rIdTheme", base + "theme", "theme/theme1.xml" });
    }
    std::string rels = R"(<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)";
    for (const auto& relationship : relationships) {
        std::string type = relationship.type.find("://") == std::string::npos ? base + relationship.type : relationship.type;
        rels += R"(<Relationship Id=")" + relationship.id + R"(" Type=")" + type + R"(" Target=")" + relationship.target + '"'
            + (relationship.external ? R"( TargetMode="External")" : "") + "/>";
    }
    rels += "</Relationships>";
    entries.push_back({ folder + "_rels/" + file + ".rels", rels });
    for (const auto& entry : parts.extra)
        entries.push_back(entry);
    return testzip::build(entries);
}

inline importer::ImportResult import(const Parts& parts)
{
    auto bytes = build(parts);
    return importer::importDocx(testzip::view(bytes));
}

inline importer::ImportResult importBody(const std::string& body)
{
    Parts parts;
    parts.body = body;
    return import(parts);
}

inline std::string text(const importer::ImportResult& result)
{
    return result.text ? importer::plainText(*result.text) : "<no text: " + std::string(errorText(result.error)) + ">";
}

// A paragraph holding one run of text with run properties.
inline std::string paragraph(const std::string& text, const std::string& runProperties = {}, const std::string& paragraphProperties = {})
{
    std::string out = "<w:p>";
    if (!paragraphProperties.empty())
        out += "<w:pPr>" + paragraphProperties + "</w:pPr>";
    out += "<w:r>";
    if (!runProperties.empty())
        out += "<w:rPr>" + runProperties + "</w:rPr>";
    return out + R"(<w:t xml:space="preserve">)" + text + "</w:t></w:r></w:p>";
}

// The attributes of the first character of the first occurrence of needle.
inline const kit::Attributes& attributesOf(const kit::TextStorage& storage, const std::string& needle)
{
    static const kit::Attributes none;
    auto at = storage.string().find(needle);
    if (at == std::string::npos)
        return none;
    return storage.attributesAt(at);
}

// A real PNG of the given pixel size, written by Cairo.
inline std::string pngBytes(int width, int height)
{
    return testsupport::pngBytes(width, height);
}

} // namespace testdocx
