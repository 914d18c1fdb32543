#include "import/docx/DocxParagraphFormat.h"

#include <string_view>

namespace importer::docx {

namespace {

// The next or previous sibling that is content, skipping bookmarks, comments' ranges and proofing marks.
pugi::xml_node contentSibling(pugi::xml_node node, bool forward)
{
    for (pugi::xml_node sibling = forward ? node.next_sibling() : node.previous_sibling(); sibling;
         sibling = forward ? sibling.next_sibling() : sibling.previous_sibling()) {
        if (sibling.type() != pugi::node_element)
            continue;
        std::string_view name = sibling.name();
        if (name == "w:bookmarkStart" || name == "w:bookmarkEnd" || name == "w:proofErr" || name == "w:commentRangeStart"
            || name == "w:commentRangeEnd" || name == "w:permStart" || name == "w:permEnd")
            continue;
        return sibling;
    }
    return {};
}

} // namespace

ParagraphFormat resolveParagraphFormat(pugi::xml_node paragraph, DocxStyles& styles, const DocxNumbering& numbering,
    const ConditionalFormat* cellFormat, float defaultTabInterval)
{
    ParagraphFormat format;
    pugi::xml_node pPr = paragraph.first_child();
    if (std::string_view(pPr.name()) != "w:pPr")
        pPr = paragraph.child("w:pPr");
    ParagraphProperties direct = parseParagraphProperties(pPr, &format.markup);
    const ResolvedStyle* style = styles.paragraphStyle(format.markup.style.attribute("w:val").value());
    format.style = style;

    format.properties = styles.defaultParagraph();
    format.paragraphRun = styles.defaultRun();
    if (cellFormat) {
        format.properties.overlay(cellFormat->paragraph);
        format.paragraphRun.overlay(cellFormat->run);
    }
    format.properties.overlay(style->paragraph);
    format.paragraphRun.overlay(style->run);

    // Numbering: the paragraph's own w:numPr, else its style's; the level's indents sit under direct ones. A
    // style's numbering without a level takes the level that names the style.
    format.numberingId = direct.numberingId ? direct.numberingId : style->paragraph.numberingId;
    if (direct.numberingLevel)
        format.numberingLevel = *direct.numberingLevel;
    else if (!direct.numberingId && style->paragraph.numberingLevel)
        format.numberingLevel = *style->paragraph.numberingLevel;
    else if (!direct.numberingId && format.numberingId)
        format.numberingLevel = numbering.levelForStyle(*format.numberingId, style->id);
    if (format.numberingId && *format.numberingId > 0)
        format.level = numbering.level(*format.numberingId, format.numberingLevel);
    if (format.level)
        format.properties.overlay(format.level->paragraph);
    format.properties.overlay(direct);

    format.markRun = format.paragraphRun;
    pugi::xml_node markProperties = format.markup.markProperties;
    format.markRun.overlay(parseRunProperties(markProperties, styles.theme()));
    format.markRemoved = markProperties.child("w:del") || markProperties.child("w:moveFrom") || format.markRun.hidden.value_or(false);
    std::string_view dropCap = format.markup.frame.attribute("w:dropCap").value();
    format.isDropCap = dropCap == "drop" || dropCap == "margin";

    format.paragraphStyle = makeParagraphStyle(format.properties, defaultTabInterval);
    // Spacing between neighbours of one style is dropped when the style asks (lists, mostly).
    if (format.properties.contextualSpacing.value_or(false)) {
        auto sameStyle = [&](pugi::xml_node sibling) {
            if (!sibling || std::string_view(sibling.name()) != "w:p")
                return false;
            return styles.paragraphStyle(sibling.child("w:pPr").child("w:pStyle").attribute("w:val").value()) == style;
        };
        if (sameStyle(contentSibling(paragraph, false)))
            format.paragraphStyle.spacingBefore = 0;
        if (sameStyle(contentSibling(paragraph, true)))
            format.paragraphStyle.spacingAfter = 0;
    }
    return format;
}

} // namespace importer::docx
