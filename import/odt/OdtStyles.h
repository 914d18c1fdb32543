#pragma once

#include "import/common/ParagraphAlignment.h"
#include "kit/text/PageSetup.h"

#include "kit/text/Attributes.h"

#include <pugixml.hpp>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace importer::odt {

// style:text-properties as a layer over what lies beneath (defaults, parent styles, enclosing spans).
struct TextProperties {
    std::optional<std::string> fontFamily, fontFamilyAsian, fontFamilyComplex;
    std::optional<float> size, sizeComplex; // points, percentages already resolved against the layer below
    std::optional<float> sizePercent, sizeComplexPercent; // as written, until resolved by overlay()
    std::optional<bool> bold, boldComplex, italic, italicComplex, smallCaps, allCaps, hidden;
    std::optional<kit::LineStyle> underline, strikethrough;
    std::optional<std::optional<kit::Color>> color, background;
    std::optional<std::int8_t> superscript;
    void overlay(const TextProperties& over);
    // complex selects the complex-script size, weight and slant.
    void apply(kit::Attributes& attributes, bool complex) const;
};

using Alignment = ParagraphAlignment;

// style:paragraph-properties as a layer. Tab positions are relative to the paragraph's left margin.
struct ParagraphProperties {
    std::optional<Alignment> alignment;
    std::optional<bool> rightToLeft;
    std::optional<float> marginLeft, marginRight, textIndent, marginTop, marginBottom;
    std::optional<kit::LineSpacingRule> lineRule;
    std::optional<float> line;
    std::optional<std::vector<kit::TabStop>> tabs;
    std::optional<float> defaultTabInterval;
    std::optional<bool> breakBefore, breakAfter, keepWithNext;
    std::optional<bool> columnBreakBefore; // fo:break-before="column"
    void overlay(const ParagraphProperties& over);
    kit::ParagraphStyle makeStyle() const;
};

struct CellProperties {
    std::array<std::optional<kit::Border>, 4> borders; // top, left, bottom, right
    std::array<std::optional<float>, 4> padding;
    std::optional<std::optional<kit::Color>> background;
};

// Where a frame of this graphic style floats and how text flows around it (style:graphic-properties).
struct GraphicProperties {
    std::optional<std::string> wrap; // style:wrap
    std::optional<std::string> runThrough; // style:run-through: "foreground" or "background"
    std::optional<std::string> horizontalPos, horizontalRel, verticalPos, verticalRel;
    std::array<std::optional<float>, 4> margins; // top, left, bottom, right: the room kept free around it
    std::optional<kit::Border> border; // fo:border, or fo:border-top where the sides are given one by one
    // fo:background-color, or draw:fill-color where draw:fill is "solid"; an empty colour is transparent.
    std::optional<std::optional<kit::Color>> background;
    std::array<std::optional<float>, 4> padding; // fo:padding and its sides: top, left, bottom, right
};

struct Style {
    std::string name;
    std::string family;
    std::string parent;
    std::string listStyle; // style:list-style-name
    std::string masterPage; // style:master-page-name: a new page starts here
    TextProperties text;
    ParagraphProperties paragraph;
    CellProperties cell;
    GraphicProperties graphic;
    std::optional<float> columnWidth; // points
    std::optional<float> relativeColumnWidth; // the "n*" share
    std::optional<float> tableWidth;
    std::optional<float> tableWidthPercent;
    bool rowKeepsTogether = false; // a table row's fo:keep-together="always"
};

enum class LabelFollower : std::uint8_t { Tab, Space, Nothing };

struct ListLevel {
    bool isBullet = false;
    std::string bullet;
    std::string format; // style:num-format: "1", "a", "A", "i", "I", "" for none
    std::string prefix, suffix;
    int displayLevels = 1;
    int start = 1;
    std::string textStyle; // the label's text style
    std::optional<float> marginLeft, textIndent; // the paragraph's indents in this level (points)
    LabelFollower follower = LabelFollower::Tab;
    TextProperties labelText; // a bullet's font
};

// The numbers a list has reached, per level. They belong to a list and to the lists that continue it.
struct ListCounters {
    std::array<int, 10> values {};
    std::array<bool, 10> used {};
};

struct ListStyle {
    std::array<ListLevel, 10> levels;
    std::array<bool, 10> defined {};
    // The level's definition; deeper levels than the style defines take its deepest one.
    const ListLevel* level(int oneBased) const;
    // Counts an item at this level (restarting at restartAt when given) and returns its label: prefix, the
    // numbers of the levels it displays, suffix; or the bullet. nullopt when the level shows nothing.
    std::optional<std::string> label(int oneBased, ListCounters& counters, std::optional<int> restartAt) const;
};

struct PageGeometry {
    float textWidth = 468;
    float textHeight = 648;
};

// The styles of an OpenDocument text: font declarations, default, common and automatic styles of both parts,
// list and outline styles, and the page layout of the standard master page.
class OdtStyles {
public:
    OdtStyles(pugi::xml_node stylesRoot, pugi::xml_node contentRoot);

    // The style's own layer (nullptr when unknown). Automatic styles of content.xml come first.
    const Style* find(std::string_view family, std::string_view name) const;
    // Text and paragraph properties with the parent chain and the family's default style stacked in.
    struct Resolved {
        TextProperties text;
        ParagraphProperties paragraph;
        std::string listStyle;
        std::string masterPage;
    };
    const Resolved& resolve(std::string_view family, std::string_view name);

    const ListStyle* listStyle(std::string_view name) const;
    // A graphic style's properties with those it inherits from its parents filled in.
    GraphicProperties graphicProperties(std::string_view name) const;
    const ListStyle* outlineStyle() const { return m_outline ? &*m_outline : nullptr; }
    const PageGeometry& page() const { return m_page; }
    // A master page by name (the default one, "Standard" or the first, for an empty or unknown name) and
    // the page setup of its page layout: paper, orientation, margins, and the header and footer bands,
    // which ODF places inside the margins. Stories are left to the reader.
    pugi::xml_node masterPage(std::string_view name) const;
    kit::PageSection pageSection(pugi::xml_node master) const;

private:
    void readFontFaces(pugi::xml_node root);
    void readStyles(pugi::xml_node container, bool automatic);
    void readPageGeometry(pugi::xml_node stylesRoot);
    Style readStyle(pugi::xml_node node) const;
    ListStyle readListStyle(pugi::xml_node node) const;
    TextProperties readTextProperties(pugi::xml_node node) const;

    std::map<std::string, std::string, std::less<>> m_fontFaces; // style:font-face name → family
    std::map<std::string, Style, std::less<>> m_automatic; // "family/name"
    std::map<std::string, Style, std::less<>> m_common;
    std::map<std::string, Style, std::less<>> m_defaults; // by family
    std::map<std::string, ListStyle, std::less<>> m_automaticLists, m_commonLists;
    std::optional<ListStyle> m_outline;
    std::map<std::string, std::unique_ptr<Resolved>, std::less<>> m_resolved;
    PageGeometry m_page;
    pugi::xml_node m_stylesRoot;
};

// A list number in an OpenDocument number format ("1", "a", "A", "i", "I"); others fall back to decimal.
std::string formatOdfNumber(int value, std::string_view format);

} // namespace importer::odt
