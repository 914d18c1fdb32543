#pragma once

#include "import/docx/DocxProperties.h"
#include "import/package/XmlPart.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace importer::docx {

// The table style's formatting for one kind of cell (first row, banded columns...), w:tblStylePr.
struct ConditionalFormat {
    RunProperties run;
    ParagraphProperties paragraph;
    TableProperties table;
    CellProperties cell;
    void overlay(const ConditionalFormat& over);
};

// One style with everything it inherits through w:basedOn already stacked in.
struct ResolvedStyle {
    std::string id;
    RunProperties run;
    ParagraphProperties paragraph;
    TableProperties table;
    CellProperties cell;
    std::map<std::string, ConditionalFormat, std::less<>> conditionals; // by w:type ("firstRow", "band1Horz"...)
};

// styles.xml: the document defaults and the paragraph, character and table styles.
class DocxStyles {
public:
    DocxStyles() = default;
    // The style sheet keeps the part: styles are resolved from it as paragraphs ask for them.
    DocxStyles(std::optional<XmlPart> styles, ThemeFonts theme);

    const ThemeFonts& theme() const { return m_theme; }
    const RunProperties& defaultRun() const { return m_defaultRun; }
    const ParagraphProperties& defaultParagraph() const { return m_defaultParagraph; }

    // The style with this id, or the default style of its type when the id is empty or unknown.
    // Never null for paragraphs and tables (an empty style stands in); null for an unknown character style.
    const ResolvedStyle* paragraphStyle(std::string_view id);
    const ResolvedStyle* characterStyle(std::string_view id);
    const ResolvedStyle* tableStyle(std::string_view id);
    // The paragraph style whose id is given, without falling back to the default; for numbering styles too.
    const ResolvedStyle* styleById(std::string_view id);

private:
    struct RawStyle {
        std::string type;
        std::string basedOn;
        pugi::xml_node node;
    };
    const ResolvedStyle* resolve(std::string_view id, int depth);
    std::optional<XmlPart> m_part;
    ThemeFonts m_theme;
    RunProperties m_defaultRun;
    ParagraphProperties m_defaultParagraph;
    std::map<std::string, RawStyle, std::less<>> m_raw;
    std::map<std::string, std::unique_ptr<ResolvedStyle>, std::less<>> m_resolved;
    std::string m_defaultParagraphStyle, m_defaultTableStyle;
    ResolvedStyle m_empty;
};

// The theme's major and minor fonts. The East Asian and complex-script fonts fall back to the theme's font
// for the script of the document's languages (w:themeFontLang) when the scheme leaves them empty.
ThemeFonts readThemeFonts(pugi::xml_node themeRoot, std::string_view eastAsianLanguage, std::string_view bidiLanguage);

} // namespace importer::docx
