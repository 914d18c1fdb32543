#include "import/docx/DocxStyles.h"

#include "import/common/DocumentMarks.h"

namespace importer::docx {

namespace {

// A w:basedOn chain longer than this is a loop or an attack; Word itself stops far earlier.
constexpr int kMaxStyleDepth = 32;

ConditionalFormat parseConditional(pugi::xml_node node, const ThemeFonts& theme)
{
    ConditionalFormat format;
    format.run = parseRunProperties(node.child("w:rPr"), theme);
    format.paragraph = parseParagraphProperties(node.child("w:pPr"));
    format.table = parseTableProperties(node.child("w:tblPr"));
    format.cell = parseCellProperties(node.child("w:tcPr"));
    return format;
}

// The script tag a language's theme font is listed under ("ja-JP" → "Jpan").
std::string_view scriptForLanguage(std::string_view language)
{
    auto starts = [&](std::string_view prefix) { return language.substr(0, prefix.size()) == prefix; };
    if (starts("ja"))
        return "Jpan";
    if (starts("ko"))
        return "Hang";
    if (starts("zh-TW") || starts("zh-HK") || starts("zh-MO"))
        return "Hant";
    if (starts("zh"))
        return "Hans";
    if (starts("ar") || starts("fa") || starts("ur"))
        return "Arab";
    if (starts("he") || starts("yi"))
        return "Hebr";
    if (starts("th"))
        return "Thai";
    return {};
}

void readFontCollection(pugi::xml_node collection, std::string_view eastAsianScript, std::string_view bidiScript,
    std::string& latin, std::string& eastAsian, std::string& complex)
{
    latin = collection.child("a:latin").attribute("typeface").value();
    eastAsian = collection.child("a:ea").attribute("typeface").value();
    complex = collection.child("a:cs").attribute("typeface").value();
    for (auto font : collection.children("a:font")) {
        std::string_view script = font.attribute("script").value();
        if (eastAsian.empty() && !eastAsianScript.empty() && script == eastAsianScript)
            eastAsian = font.attribute("typeface").value();
        if (complex.empty() && !bidiScript.empty() && script == bidiScript)
            complex = font.attribute("typeface").value();
    }
}

} // namespace

void ConditionalFormat::overlay(const ConditionalFormat& over)
{
    run.overlay(over.run);
    paragraph.overlay(over.paragraph);
    table.overlay(over.table);
    cell.overlay(over.cell);
}

ThemeFonts readThemeFonts(pugi::xml_node themeRoot, std::string_view eastAsianLanguage, std::string_view bidiLanguage)
{
    ThemeFonts fonts;
    pugi::xml_node scheme = themeRoot.child("a:themeElements").child("a:fontScheme");
    std::string_view eastAsianScript = scriptForLanguage(eastAsianLanguage);
    std::string_view bidiScript = scriptForLanguage(bidiLanguage);
    readFontCollection(scheme.child("a:majorFont"), eastAsianScript, bidiScript, fonts.majorLatin, fonts.majorEastAsian,
        fonts.majorComplex);
    readFontCollection(scheme.child("a:minorFont"), eastAsianScript, bidiScript, fonts.minorLatin, fonts.minorEastAsian,
        fonts.minorComplex);
    return fonts;
}

DocxStyles::DocxStyles(std::optional<ZipArchive::Buffer> styles, ThemeFonts theme)
    : m_theme(std::move(theme))
{
    if (!styles)
        return;
    std::string_view xml = styles->view();
    XmlChildScanner scanner(xml, {});
    std::vector<XmlChildPieces::Child> children;
    while (std::optional<XmlChildPieces::Child> child = scanner.next())
        children.push_back(*child);
    XmlChildPieces element;
    if (scanner.foundElement())
        scanner.describeElement(element);
    // Every child's start tag, emptied, in one small document: the ids, types and defaults of the styles,
    // in the names the readers know.
    std::optional<XmlPart> starts;
    if (scanner.state() == XmlChildScanner::State::Finished && scanner.foundElement()) {
        std::string text = element.documentStartTag;
        for (const auto& child : children) {
            std::string_view tag = xml.substr(child.begin, child.startTagEnd - child.begin);
            text += tag.ends_with("/>") ? tag : std::string(tag.substr(0, tag.size() - 1)) + "/>";
        }
        text += element.closingTags;
        starts = XmlPart::parse(std::move(text));
    }
    if (!starts) {
        // Not a part to cut with confidence: its whole tree, as it parses.
        m_part = XmlPart::parse(std::move(styles->data), styles->size);
        if (m_part)
            index(m_part->root());
        return;
    }
    m_bytes = std::move(styles);
    m_tags = std::move(element);
    std::size_t i = 0;
    bool defaultsRead = false;
    for (pugi::xml_node tag = starts->root().first_child(); tag && i < children.size(); tag = tag.next_sibling()) {
        if (tag.type() != pugi::node_element)
            continue;
        const XmlChildPieces::Child& child = children[i++];
        std::string_view name = tag.name();
        if (name == "w:docDefaults" && !defaultsRead) {
            defaultsRead = true;
            RawStyle defaults { {}, {}, {}, child.begin, child.end };
            readDefaults(node(defaults));
        } else if (name == "w:style") {
            addStyle(tag, child.begin, child.end);
        }
    }
}

void DocxStyles::index(pugi::xml_node root)
{
    readDefaults(root.child("w:docDefaults"));
    for (auto style : root.children("w:style"))
        addStyle(style, 0, 0);
}

void DocxStyles::readDefaults(pugi::xml_node defaults)
{
    m_defaultRun = parseRunProperties(defaults.child("w:rPrDefault").child("w:rPr"), m_theme);
    m_defaultParagraph = parseParagraphProperties(defaults.child("w:pPrDefault").child("w:pPr"));
}

void DocxStyles::addStyle(pugi::xml_node style, std::size_t begin, std::size_t end)
{
    std::string id = style.attribute("w:styleId").value();
    std::string type = style.attribute("w:type").value();
    if (id.empty() || m_raw.count(id))
        return;
    std::string_view isDefault = style.attribute("w:default").value();
    if (isDefault == "1" || isDefault == "true" || isDefault == "on") {
        if (type == "paragraph" && m_defaultParagraphStyle.empty())
            m_defaultParagraphStyle = id;
        else if (type == "table" && m_defaultTableStyle.empty())
            m_defaultTableStyle = id;
    }
    RawStyle raw { type, {}, {}, begin, end };
    if (!m_bytes) {
        // From the whole tree: the style's node is there already.
        raw.node = style;
        raw.basedOn = style.child("w:basedOn").attribute("w:val").value();
    }
    m_raw.emplace(std::move(id), std::move(raw));
}

pugi::xml_node DocxStyles::node(RawStyle& raw)
{
    if (raw.node || !m_bytes)
        return raw.node;
    std::string_view markup = m_bytes->view().substr(raw.begin, raw.end - raw.begin);
    if (std::optional<XmlPart> part = XmlPart::parse(m_tags.alone(markup))) {
        m_parsedStyles.push_back(std::move(*part));
        raw.node = m_parsedStyles.back().root().first_child();
        raw.basedOn = raw.node.child("w:basedOn").attribute("w:val").value();
    }
    return raw.node;
}

const ResolvedStyle* DocxStyles::resolve(std::string_view id, int depth)
{
    if (auto it = m_resolved.find(id); it != m_resolved.end())
        return it->second.get(); // null while being resolved: a loop ends here
    auto raw = m_raw.find(id);
    if (raw == m_raw.end() || depth > kMaxStyleDepth)
        return nullptr;
    pugi::xml_node node = this->node(raw->second);
    m_resolved.emplace(std::string(id), nullptr);
    auto style = std::make_unique<ResolvedStyle>();
    style->id = std::string(id);
    if (!raw->second.basedOn.empty() && raw->second.basedOn != id) {
        if (const ResolvedStyle* base = resolve(raw->second.basedOn, depth + 1)) {
            style->run = base->run;
            style->paragraph = base->paragraph;
            style->table = base->table;
            style->cell = base->cell;
            style->conditionals = base->conditionals;
        }
    }
    style->run.overlay(parseRunProperties(node.child("w:rPr"), m_theme));
    style->paragraph.overlay(parseParagraphProperties(node.child("w:pPr")));
    // Word's built-in heading styles are named "heading 1"..."heading 9"; a file without w:outlineLvl in
    // them still means them as the outline.
    if (!style->paragraph.outlineLevel) {
        if (int level = headingLevelOfStyleName(node.child("w:name").attribute("w:val").value()))
            style->paragraph.outlineLevel = level;
    }
    style->table.overlay(parseTableProperties(node.child("w:tblPr")));
    style->cell.overlay(parseCellProperties(node.child("w:tcPr")));
    for (auto conditional : node.children("w:tblStylePr")) {
        std::string type = conditional.attribute("w:type").value();
        if (type.empty())
            continue;
        style->conditionals[type].overlay(parseConditional(conditional, m_theme));
    }
    const ResolvedStyle* result = style.get();
    m_resolved[std::string(id)] = std::move(style);
    return result;
}

const ResolvedStyle* DocxStyles::styleById(std::string_view id)
{
    if (id.empty())
        return nullptr;
    return resolve(id, 0);
}

const ResolvedStyle* DocxStyles::paragraphStyle(std::string_view id)
{
    if (const ResolvedStyle* style = styleById(id))
        return style;
    if (const ResolvedStyle* style = styleById(m_defaultParagraphStyle))
        return style;
    return &m_empty;
}

const ResolvedStyle* DocxStyles::characterStyle(std::string_view id)
{
    return styleById(id);
}

const ResolvedStyle* DocxStyles::tableStyle(std::string_view id)
{
    if (const ResolvedStyle* style = styleById(id))
        return style;
    if (const ResolvedStyle* style = styleById(m_defaultTableStyle))
        return style;
    return &m_empty;
}

} // namespace importer::docx
