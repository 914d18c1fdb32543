#pragma once

// Small .docx packages with a page setup, shared by the importer's tests and the command line's.

#include "DocxBuilder.h"

#include <string>

namespace testdocx {

// A header or footer part: its XML element ("hdr" or "ftr") around content, and the relationship to it.
inline void addStory(Parts& parts, const std::string& id, const char* element, const std::string& content)
{
    std::string name = id + ".xml";
    parts.extra.push_back({ "word/" + name,
        std::string(R"(<?xml version="1.0"?><w:)") + element + kNamespaces + ">" + content + "</w:" + element + ">" });
    parts.relationships.push_back({ id, element == std::string("hdr") ? "header" : "footer", name });
}

// A field with its code and cached result, as Word writes PAGE and NUMPAGES.
inline std::string complexField(const std::string& code, const std::string& cached)
{
    return R"(<w:r><w:fldChar w:fldCharType="begin"/></w:r><w:r><w:instrText xml:space="preserve"> )" + code
        + R"( </w:instrText></w:r><w:r><w:fldChar w:fldCharType="separate"/></w:r><w:r><w:t>)" + cached
        + R"(</w:t></w:r><w:r><w:fldChar w:fldCharType="end"/></w:r>)";
}

// Two sections. Section one, two pages: A4 portrait, margins of 1, 1.25, 0.75 and 0.5 inch (top,
// bottom, left, right), header and footer half an inch from the edges, a title page whose header says
// "First page header" while the other pages say "Running header"; the footer reads "Page N of M".
// Section two: A4 landscape with inch margins, one page for a few paragraphs, its headers and footers
// linked to section one's. The first three pages' bodies start with Alpha, Bravo and Charlie.
inline Parts twoSectionDocument(int landscapeParagraphs = 1)
{
    Parts parts;
    addStory(parts, "rIdFirst", "hdr", paragraph("First page header"));
    addStory(parts, "rIdHeader", "hdr", paragraph("Running header"));
    addStory(parts, "rIdFooter", "ftr",
        "<w:p>" + std::string(R"(<w:r><w:t xml:space="preserve">Page </w:t></w:r>)") + complexField("PAGE", "9")
            + R"(<w:r><w:t xml:space="preserve"> of </w:t></w:r>)" + complexField("NUMPAGES", "9") + "</w:p>");
    std::string first = R"(<w:sectPr><w:headerReference w:type="default" r:id="rIdHeader"/>)"
                        R"(<w:headerReference w:type="first" r:id="rIdFirst"/><w:footerReference w:type="default" r:id="rIdFooter"/>)"
                        R"(<w:footerReference w:type="first" r:id="rIdFooter"/>)"
                        R"(<w:pgSz w:w="11906" w:h="16838"/><w:pgMar w:top="1440" w:right="720" w:bottom="1800" w:left="1080")"
                        R"( w:header="720" w:footer="720" w:gutter="0"/><w:titlePg/></w:sectPr>)";
    parts.body = paragraph("Alpha opens the first page.") + "<w:p><w:r><w:br w:type=\"page\"/></w:r></w:p>"
        + paragraph("Bravo ends the portrait section.", "", first);
    parts.body += paragraph("Charlie opens the landscape section.");
    for (int i = 0; i < landscapeParagraphs; ++i)
        parts.body += paragraph("Landscape words, many of them, to fill the wide page with ordinary running text.");
    parts.body += R"(<w:sectPr><w:pgSz w:w="16838" w:h="11906" w:orient="landscape"/>)"
                  R"(<w:pgMar w:top="1440" w:right="1440" w:bottom="1440" w:left="1440" w:header="708" w:footer="708" w:gutter="0"/></w:sectPr>)";
    return parts;
}

} // namespace testdocx
