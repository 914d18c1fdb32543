#include "import/docx/WordXml2003.h"

#include "import/common/OutputBudget.h"
#include "import/docx/DocxImporter.h"
#include "import/package/XmlPart.h"
#include "import/package/XmlRoot.h"
#include "import/package/ZipWriter.h"
#include "kit/foundation/Base64.h"

#include <cctype>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace importer {

namespace {

constexpr std::string_view kWordXmlNamespace = "http://schemas.microsoft.com/office/word/2003/wordml";
constexpr const char* kMainNamespace = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
constexpr const char* kRelationshipNamespace = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kRelationshipTypes = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
// The package the translation makes stays within what the ZIP reader takes for one part.
constexpr std::size_t kMaxInput = std::size_t(256) << 20;

// Word 2003 wrote "first-line", "sz-cs" and "dotted-heavy" where its successor writes "firstLine", "szCs" and
// "dottedHeavy".
std::string camelCase(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    bool upper = false;
    for (char ch : name) {
        if (ch == '-') {
            upper = true;
            continue;
        }
        out += upper ? char(std::toupper(static_cast<unsigned char>(ch))) : ch;
        upper = false;
    }
    return out;
}

// The number formats of list levels, by the numbers Word 2003 gave them; others read as decimal.
const char* numberFormatName(int number)
{
    static constexpr std::pair<int, const char*> kFormats[] = { { 0, "decimal" }, { 1, "upperRoman" },
        { 2, "lowerRoman" }, { 3, "upperLetter" }, { 4, "lowerLetter" }, { 5, "ordinal" }, { 6, "cardinalText" },
        { 7, "ordinalText" }, { 22, "decimalZero" }, { 23, "bullet" }, { 255, "none" } };
    for (const auto& [code, name] : kFormats) {
        if (code == number)
            return name;
    }
    return "decimal";
}

// Elements whose values Word 2003 wrote with hyphens: underlines, highlights, shading, borders.
bool hasHyphenatedValue(std::string_view local)
{
    constexpr std::string_view kNames[] = { "u", "highlight", "shd", "top", "left", "bottom", "right", "insideH",
        "insideV", "between", "bar", "tl2br", "tr2bl", "pgNumType" };
    for (auto name : kNames) {
        if (local == name)
            return true;
    }
    return false;
}

// One part of the package being made: its XML and the relationships its content needs.
struct Part {
    struct Relationship {
        std::string id, type, target;
        bool isExternal = false;
    };

    Part(std::string partName, const char* rootName)
        : name(std::move(partName))
        , owned(std::make_unique<pugi::xml_document>())
    {
        root = owned->append_child(rootName);
    }
    Part(std::string partName, pugi::xml_node existingRoot)
        : name(std::move(partName))
        , root(existingRoot)
    {
    }

    std::string relate(std::string_view type, const std::string& target, bool isExternal = false)
    {
        for (const auto& relationship : relationships) {
            if (relationship.type == type && relationship.target == target && relationship.isExternal == isExternal)
                return relationship.id;
        }
        std::string id = "rIdW" + std::to_string(relationships.size() + 1);
        relationships.push_back({ id, std::string(type), target, isExternal });
        return id;
    }

    std::string name; // "word/document.xml"
    std::unique_ptr<pugi::xml_document> owned; // null for the document part, which is the input's own tree
    pugi::xml_node root;
    std::vector<Relationship> relationships;
};

// Turns a Word 2003 XML tree into the parts of the WordprocessingML package it would have become: the body
// is translated in place, styles, list definitions, notes and headers get parts of their own, pictures
// become media parts. Names, attributes and values are renamed where the two vocabularies differ; the
// wrappers Word 2003 added (sections, border groups, smart tags, inserted text) are unwrapped, deleted
// text and comments left out.
class Translator {
public:
    explicit Translator(pugi::xml_node root)
        : m_source(root)
        , m_document("word/document.xml", root)
    {
    }

    std::vector<ZipEntry> package();

private:
    enum class Action { Keep, Unwrap, Remove, Done };

    void collectPictures();
    void translate(pugi::xml_node container, Part& part, int depth);
    Action translateElement(pugi::xml_node node, Part& part);
    static void translateAttributes(pugi::xml_node node);
    static Action annotation(pugi::xml_node node);
    static void hyperlink(pugi::xml_node node, Part& part);
    void note(pugi::xml_node node);
    void sectionStories(pugi::xml_node section, Part& part);
    Part& newPart(std::string name, const char* rootName);
    void declareNamespaces(pugi::xml_node root) const;
    std::string serialize(const Part& part) const;
    std::string relationshipsXml(const Part& part) const;
    void buildStyles(Part& styles);
    void buildNumbering(Part& numbering);
    void buildSettings(Part& settings);

    pugi::xml_node m_source;
    Part m_document;
    std::vector<std::unique_ptr<Part>> m_parts; // every part but the document, in the order made
    Part* m_footnotes = nullptr;
    Part* m_endnotes = nullptr;
    int m_noteCount = 0;
    int m_storyCount = 0;
    std::map<std::string, std::string, std::less<>> m_pictures; // w:binData name → media target ("media/image1.png")
    std::vector<ZipEntry> m_media;
};

void Translator::collectPictures()
{
    struct Walker : pugi::xml_tree_walker {
        Translator& translator;
        explicit Walker(Translator& owner)
            : translator(owner)
        {
        }
        bool for_each(pugi::xml_node& node) override
        {
            if (depth() > kMaxXmlDepth || std::string_view(node.name()) != "w:binData")
                return true;
            std::string name = node.attribute("w:name").value();
            if (name.empty() || translator.m_pictures.count(name))
                return true;
            auto bytes = kit::decodeBase64(node.child_value(), kit::Base64Rule::Forgiving);
            if (!bytes)
                return true;
            std::string extension;
            if (auto dot = name.rfind('.'); dot != std::string::npos) {
                for (char ch : name.substr(dot + 1)) {
                    if (std::isalnum(static_cast<unsigned char>(ch)) && extension.size() < 5)
                        extension += char(std::tolower(static_cast<unsigned char>(ch)));
                }
            }
            std::string target = "media/image" + std::to_string(translator.m_media.size() + 1) + "."
                + (extension.empty() ? "bin" : extension);
            translator.m_pictures.emplace(name, target);
            translator.m_media.push_back({ "word/" + target, std::string(bytes->begin(), bytes->end()), false });
            return true;
        }
    } walker(*this);
    m_source.traverse(walker);
}

void Translator::translate(pugi::xml_node container, Part& part, int depth)
{
    if (depth > kMaxXmlDepth)
        return;
    for (pugi::xml_node node = container.first_child(); node;) {
        pugi::xml_node next = node.next_sibling();
        if (node.type() == pugi::node_element) {
            switch (translateElement(node, part)) {
            case Action::Keep:
                translateAttributes(node);
                translate(node, part, depth + 1);
                break;
            case Action::Unwrap: {
                // The children take the wrapper's place and are read in its turn.
                pugi::xml_node first = node.first_child();
                while (pugi::xml_node child = node.first_child())
                    container.insert_move_before(child, node);
                container.remove_child(node);
                if (first)
                    next = first;
                break;
            }
            case Action::Remove:
                container.remove_child(node);
                break;
            case Action::Done:
                break;
            }
        }
        node = next;
    }
}

Translator::Action Translator::translateElement(pugi::xml_node node, Part& part)
{
    std::string_view name = node.name();
    std::string_view prefix = name.substr(0, name.find(':') == std::string_view::npos ? 0 : name.find(':'));
    if (prefix == "wx" || name == "aml:content")
        return Action::Unwrap;
    if (name == "aml:annotation")
        return annotation(node);
    // Smart tags and other elements of namespaces the reader does not know only wrap text.
    if (prefix != "w" && prefix != "v" && prefix != "o" && prefix != "w10")
        return Action::Unwrap;
    if (name == "v:imagedata") {
        // The picture's bytes came earlier in the document under this name; the media part has them now.
        auto picture = m_pictures.find(std::string_view(node.attribute("src").value()));
        if (picture != m_pictures.end() && !node.attribute("r:id"))
            node.append_attribute("r:id").set_value(part.relate("image", picture->second).c_str());
    }
    if (prefix != "w")
        return Action::Keep;
    std::string_view local = name.substr(2);
    if (local == "binData")
        return Action::Remove;
    if ((local == "footnote" || local == "endnote") && std::string_view(node.parent().name()) == "w:r") {
        note(node);
        return Action::Done;
    }
    if (local == "listPr") {
        node.set_name("w:numPr");
        if (auto list = node.child("w:ilfo"))
            list.set_name("w:numId");
    } else if (local == "vmerge") {
        node.set_name("w:vMerge");
    } else if (local == "hlink") {
        hyperlink(node, part);
    } else if (local == "sectPr") {
        sectionStories(node, part);
    } else if (local == "nfc") {
        node.set_name("w:numFmt");
        auto value = node.attribute("w:val");
        value.set_value(numberFormatName(value.as_int(0)));
    } else if (local.find('-') != std::string_view::npos) {
        node.set_name(("w:" + camelCase(local)).c_str());
    }
    return Action::Keep;
}

void Translator::translateAttributes(pugi::xml_node node)
{
    std::string_view local = localName(node.name());
    for (auto attribute : node.attributes()) {
        std::string_view name = attribute.name();
        if (name.substr(0, 2) != "w:")
            continue;
        if (name == "w:fareast")
            attribute.set_name("w:eastAsia");
        else if (name.find('-') != std::string_view::npos)
            attribute.set_name(("w:" + camelCase(name.substr(2))).c_str());
        name = attribute.name();
        std::string_view value = attribute.value();
        bool hyphenated = value.find('-') != std::string_view::npos && !value.empty() && std::isalpha(static_cast<unsigned char>(value[0]));
        if (hyphenated && (name == "w:lineRule" || ((name == "w:val" || name == "w:fmt") && hasHyphenatedValue(local))))
            attribute.set_value(camelCase(value).c_str());
    }
}

Translator::Action Translator::annotation(pugi::xml_node node)
{
    std::string_view type = node.attribute("w:type").value();
    if (type == "Word.Insertion")
        return Action::Unwrap;
    if (type == "Word.Bookmark.Start" || type == "Word.Bookmark.End") {
        std::string id = node.attribute("aml:id").value();
        std::string name = node.attribute("w:name").value();
        while (node.first_attribute())
            node.remove_attribute(node.first_attribute());
        node.set_name(type == "Word.Bookmark.Start" ? "w:bookmarkStart" : "w:bookmarkEnd");
        node.append_attribute("w:id").set_value(id.c_str());
        if (!name.empty())
            node.append_attribute("w:name").set_value(name.c_str());
        return Action::Done;
    }
    // Deleted text, comments and records of formatting changes are not shown.
    return Action::Remove;
}

void Translator::hyperlink(pugi::xml_node node, Part& part)
{
    node.set_name("w:hyperlink");
    std::string destination = node.attribute("w:dest").value();
    std::string bookmark = node.attribute("w:bookmark").value();
    std::string tip = node.attribute("w:screenTip").value();
    for (const char* name : { "w:dest", "w:bookmark", "w:screenTip", "w:target" })
        node.remove_attribute(name);
    if (!destination.empty())
        node.append_attribute("r:id").set_value(part.relate("hyperlink", destination, true).c_str());
    if (!bookmark.empty())
        node.append_attribute("w:anchor").set_value(bookmark.c_str());
    if (!tip.empty())
        node.append_attribute("w:tooltip").set_value(tip.c_str());
}

// A note's text stands in its reference's run; it moves to the notes part, leaving the reference.
void Translator::note(pugi::xml_node node)
{
    bool isFootnote = std::string_view(node.name()) == "w:footnote";
    Part*& notes = isFootnote ? m_footnotes : m_endnotes;
    if (!notes)
        notes = &newPart(isFootnote ? "word/footnotes.xml" : "word/endnotes.xml", isFootnote ? "w:footnotes" : "w:endnotes");
    std::string id = std::to_string(++m_noteCount);
    pugi::xml_node body = notes->root.append_child(node.name());
    body.append_attribute("w:id").set_value(id.c_str());
    for (auto child : node.children())
        body.append_copy(child);
    while (pugi::xml_node child = node.first_child())
        node.remove_child(child);
    node.set_name(isFootnote ? "w:footnoteReference" : "w:endnoteReference");
    node.append_attribute("w:id").set_value(id.c_str());
    translate(body, *notes, 1);
}

// Word 2003 keeps a section's headers and footers inside its w:sectPr; they become parts of their own,
// referred to from there.
void Translator::sectionStories(pugi::xml_node section, Part& part)
{
    for (pugi::xml_node story = section.first_child(); story; story = story.next_sibling()) {
        std::string_view name = story.name();
        bool isHeader = name == "w:hdr";
        if (!isHeader && name != "w:ftr")
            continue;
        std::string_view type = story.attribute("w:type").value();
        const char* kind = type == "even" ? "even" : type == "first" ? "first" : "default";
        std::string target = std::string(isHeader ? "header" : "footer") + std::to_string(++m_storyCount) + ".xml";
        Part& storyPart = newPart("word/" + target, isHeader ? "w:hdr" : "w:ftr");
        for (auto child : story.children())
            storyPart.root.append_copy(child);
        translate(storyPart.root, storyPart, 1);
        while (story.first_child())
            story.remove_child(story.first_child());
        while (story.first_attribute())
            story.remove_attribute(story.first_attribute());
        story.set_name(isHeader ? "w:headerReference" : "w:footerReference");
        story.append_attribute("w:type").set_value(kind);
        story.append_attribute("r:id").set_value(part.relate(isHeader ? "header" : "footer", target).c_str());
    }
}

Part& Translator::newPart(std::string name, const char* rootName)
{
    m_parts.push_back(std::make_unique<Part>(std::move(name), rootName));
    return *m_parts.back();
}

// The package's parts bind the prefixes the readers expect; the input's other declarations are kept for the
// attributes that still carry their prefixes.
void Translator::declareNamespaces(pugi::xml_node root) const
{
    for (auto attribute : m_source.attributes()) {
        std::string_view name = attribute.name();
        if (name.substr(0, 5) == "xmlns" && attribute.value() != kWordXmlNamespace && name != "xmlns:w"
            && name != "xmlns:r" && !root.attribute(attribute.name()))
            root.append_attribute(attribute.name()).set_value(attribute.value());
    }
    if (!root.attribute("xmlns:w"))
        root.append_attribute("xmlns:w");
    root.attribute("xmlns:w").set_value(kMainNamespace);
    if (!root.attribute("xmlns:r"))
        root.append_attribute("xmlns:r").set_value(kRelationshipNamespace);
}

std::string Translator::serialize(const Part& part) const
{
    std::ostringstream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
    part.root.print(out, "", pugi::format_raw);
    return out.str();
}

std::string Translator::relationshipsXml(const Part& part) const
{
    pugi::xml_document xml;
    pugi::xml_node root = xml.append_child("Relationships");
    root.append_attribute("xmlns").set_value("http://schemas.openxmlformats.org/package/2006/relationships");
    for (const auto& relationship : part.relationships) {
        pugi::xml_node node = root.append_child("Relationship");
        node.append_attribute("Id").set_value(relationship.id.c_str());
        node.append_attribute("Type").set_value((std::string(kRelationshipTypes) + relationship.type).c_str());
        node.append_attribute("Target").set_value(relationship.target.c_str());
        if (relationship.isExternal)
            node.append_attribute("TargetMode").set_value("External");
    }
    std::ostringstream out;
    xml.save(out, "", pugi::format_raw);
    return out.str();
}

void Translator::buildStyles(Part& styles)
{
    // The document's default fonts are the defaults of every run.
    if (auto fonts = m_source.child("w:fonts").child("w:defaultFonts")) {
        pugi::xml_node properties = styles.root.append_child("w:docDefaults").append_child("w:rPrDefault").append_child("w:rPr");
        properties.append_copy(fonts).set_name("w:rFonts");
    }
    for (auto style : m_source.child("w:styles").children())
        styles.root.append_copy(style);
    translate(styles.root, styles, 1);
}

void Translator::buildNumbering(Part& numbering)
{
    pugi::xml_node lists = m_source.child("w:lists");
    // Definitions first, then the lists that use them, as the reader's vocabulary orders them.
    for (auto definition : lists.children("w:listDef")) {
        pugi::xml_node abstract = numbering.root.append_copy(definition);
        abstract.set_name("w:abstractNum");
        if (auto id = abstract.attribute("w:listDefId"))
            id.set_name("w:abstractNumId");
        if (auto type = abstract.child("w:plt")) {
            type.set_name("w:multiLevelType");
            std::string value = type.attribute("w:val").value();
            if (!value.empty())
                value[0] = char(std::tolower(static_cast<unsigned char>(value[0])));
            type.attribute("w:val").set_value(value.c_str());
        }
    }
    for (auto list : lists.children("w:list")) {
        pugi::xml_node instance = numbering.root.append_copy(list);
        instance.set_name("w:num");
        if (auto id = instance.attribute("w:ilfo"))
            id.set_name("w:numId");
        if (auto definition = instance.child("w:ilst"))
            definition.set_name("w:abstractNumId");
    }
    translate(numbering.root, numbering, 1);
}

void Translator::buildSettings(Part& settings)
{
    pugi::xml_node properties = m_source.child("w:docPr");
    for (const char* name : { "w:defaultTabStop", "w:evenAndOddHeaders" }) {
        if (auto setting = properties.child(name))
            settings.root.append_copy(setting);
    }
}

std::vector<ZipEntry> Translator::package()
{
    collectPictures();
    Part& styles = newPart("word/styles.xml", "w:styles");
    buildStyles(styles);
    Part& numbering = newPart("word/numbering.xml", "w:numbering");
    buildNumbering(numbering);
    Part& settings = newPart("word/settings.xml", "w:settings");
    buildSettings(settings);

    // The input's root becomes the document part's: only its body stays.
    for (pugi::xml_node child = m_source.first_child(); child;) {
        pugi::xml_node next = child.next_sibling();
        if (std::string_view(child.name()) != "w:body")
            m_source.remove_child(child);
        child = next;
    }
    translate(m_source.child("w:body"), m_document, 1);

    std::vector<ZipEntry> entries;
    entries.push_back({ "[Content_Types].xml",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/word/document.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
        "</Types>" });
    entries.push_back({ "_rels/.rels",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" Type=\"" + std::string(kRelationshipTypes) + "officeDocument\" Target=\"word/document.xml\"/>"
        "</Relationships>" });
    for (const auto& part : m_parts) {
        std::string_view name = part->name;
        std::string type(name.substr(5, name.size() - 5 - 4)); // "word/styles.xml" → "styles"
        if (type == "styles" || type == "numbering" || type == "settings" || type == "footnotes" || type == "endnotes")
            m_document.relate(type, std::string(name.substr(5)));
    }
    m_source.set_name("w:document");
    for (pugi::xml_attribute attribute = m_source.first_attribute(); attribute;) {
        pugi::xml_attribute next = attribute.next_attribute();
        if (std::string_view(attribute.value()) == kWordXmlNamespace)
            m_source.remove_attribute(attribute);
        attribute = next;
    }
    declareNamespaces(m_source);
    entries.push_back({ m_document.name, serialize(m_document) });
    entries.push_back({ "word/_rels/document.xml.rels", relationshipsXml(m_document) });
    for (const auto& part : m_parts) {
        declareNamespaces(part->root);
        entries.push_back({ part->name, serialize(*part) });
        if (!part->relationships.empty())
            entries.push_back({ "word/_rels/" + part->name.substr(5) + ".rels", relationshipsXml(*part) });
    }
    for (auto& media : m_media)
        entries.push_back(std::move(media));
    return entries;
}

ImportResult readWordXml2003(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() > kMaxInput)
        return { nullptr, "wordxml", ImportError::TooLarge };
    auto part = XmlPart::parse(std::string(bytes.begin(), bytes.end()));
    if (!part || std::string_view(part->root().name()) != "w:wordDocument")
        return { nullptr, "wordxml", ImportError::Damaged };
    Translator translator(part->root());
    std::vector<std::uint8_t> package = buildZip(translator.package());
    ImportResult result = importDocx(std::span<const std::uint8_t>(package.data(), package.size()));
    result.format = "wordxml";
    return result;
}

} // namespace

bool looksLikeWordXml2003(std::span<const std::uint8_t> bytes)
{
    auto root = xmlRootElement(bytes);
    return root && root->localName() == "wordDocument" && root->namespaceUri() == kWordXmlNamespace;
}

ImportResult importWordXml2003(std::span<const std::uint8_t> bytes)
{
    return importWithBudget([bytes] { return readWordXml2003(bytes); });
}

} // namespace importer
