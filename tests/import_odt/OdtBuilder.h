#pragma once

// Builds small OpenDocument text packages for the importer's tests.

#include "import/Importer.h"
#include "import/common/Dump.h"
#include "import/odt/OdtImporter.h"
#include "import_docx/ZipBuilder.h"

#include <string>
#include <vector>

namespace testodt {

inline const char* kNamespaces = R"( xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0")"
                                 R"( xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0")"
                                 R"( xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0")"
                                 R"( xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0")"
                                 R"( xmlns:draw="urn:oasis:names:tc:opendocument:xmlns:drawing:1.0")"
                                 R"( xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0")"
                                 R"( xmlns:xlink="http://www.w3.org/1999/xlink" xmlns:dc="http://purl.org/dc/elements/1.1/")"
                                 R"( xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0")";

struct Parts {
    std::string body; // inside office:text
    std::string automaticStyles; // inside office:automatic-styles of content.xml
    std::string styles; // inside office:styles of styles.xml
    std::string fontFaces; // inside office:font-face-decls of styles.xml
    std::string masterStyles; // a page layout and master page; US Letter with one-inch margins when empty
    std::string mimetype = "application/vnd.oasis.opendocument.text";
    std::vector<testzip::Entry> extra;
};

inline std::vector<std::uint8_t> build(const Parts& parts)
{
    std::string master = parts.masterStyles.empty()
        ? R"(<office:automatic-styles><style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="8.5in" fo:page-height="11in" fo:margin-left="1in" fo:margin-right="1in" fo:margin-top="1in" fo:margin-bottom="1in"/></style:page-layout></office:automatic-styles><office:master-styles><style:master-page style:name="Standard" style:page-layout-name="pm1"/></office:master-styles>)"
        : parts.masterStyles;
    std::vector<testzip::Entry> entries;
    if (!parts.mimetype.empty())
        entries.push_back({ "mimetype", parts.mimetype, false });
    entries.push_back({ "content.xml",
        std::string(R"(<?xml version="1.0" encoding="UTF-8"?><office:document-content)") + kNamespaces + R"( office:version="1.2"><office:automatic-styles>)"
            + parts.automaticStyles + "</office:automatic-styles><office:body><office:text>" + parts.body
            + "</office:text></office:body></office:document-content>" });
    entries.push_back({ "styles.xml",
        std::string(R"(<?xml version="1.0" encoding="UTF-8"?><office:document-styles)") + kNamespaces + "><office:font-face-decls>" + parts.fontFaces
            + "</office:font-face-decls><office:styles>" + parts.styles + "</office:styles>" + master + "</office:document-styles>" });
    for (const auto& entry : parts.extra)
        entries.push_back(entry);
    return testzip::build(entries);
}

inline importer::ImportResult import(const Parts& parts)
{
    auto bytes = build(parts);
    return importer::importOdt(testzip::view(bytes));
}

inline importer::ImportResult importBody(const std::string& body, const std::string& automaticStyles = {}, const std::string& styles = {})
{
    Parts parts;
    parts.body = body;
    parts.automaticStyles = automaticStyles;
    parts.styles = styles;
    return import(parts);
}

inline std::string text(const importer::ImportResult& result)
{
    return result.text ? result.text->string() : "<no text: " + std::string(errorText(result.error)) + ">";
}

inline const kit::Attributes& attributesOf(const kit::TextStorage& storage, const std::string& needle)
{
    static const kit::Attributes none;
    auto at = storage.string().find(needle);
    return at == std::string::npos ? none : storage.attributesAt(at);
}

} // namespace testodt
