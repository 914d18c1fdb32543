#pragma once

#include "import/docx/DocxProperties.h"
#include "import/package/XmlChildPieces.h"
#include "import/package/XmlPart.h"
#include "import/package/ZipArchive.h"

#include <deque>
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
    // The style sheet keeps the part's bytes: styles are resolved from them as paragraphs ask for them,
    // each parsed only then (a long style sheet holds thousands that no paragraph takes).
    DocxStyles(std::optional<ZipArchive::Buffer> styles, ThemeFonts theme);

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
        pugi::xml_node node; // null until parsed from its markup
        std::size_t begin = 0, end = 0; // its markup in the part's bytes
    };
    // The style sheet's defaults and its styles' ids, from the whole part's tree.
    void index(pugi::xml_node root);
    void readDefaults(pugi::xml_node defaults);
    void addStyle(pugi::xml_node style, std::size_t begin, std::size_t end);
    // The style's own tree, parsed from its markup the first time it is asked for.
    pugi::xml_node node(RawStyle&);
    const ResolvedStyle* resolve(std::string_view id, int depth);
    std::optional<XmlPart> m_part;
    std::optional<ZipArchive::Buffer> m_bytes;
    XmlChildPieces m_tags; // the sheet's tags, around a style's markup to parse it alone
    std::deque<XmlPart> m_parsedStyles;
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
